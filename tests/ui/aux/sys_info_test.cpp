// Where the system-information tool is looked for, and what a registry value turns into.
#include "ui/aux/sys_info.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "analysis/run_error.h"

namespace {

using namespace pelmora;
using namespace pelmora::ui;

using Buffer = std::array<unsigned char, kKeyValueBytes>;

Buffer Utf16(const std::wstring& text) {
  Buffer b{};
  for (std::size_t i = 0; i < text.size() && 2 * i + 1 < b.size(); ++i) {
    b[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
    b[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
  }
  return b;
}

Buffer Dword(std::uint32_t v) {
  Buffer b{};
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
  return b;
}

TEST(KeyValueText, TurnsEachTypeIntoText) {
  struct Case {
    const char* name;
    std::uint32_t type;
    Buffer buffer;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"text", kRegSz, Utf16(L"C:\\Tools\\msinfo32.exe"), L"C:\\Tools\\msinfo32.exe"},
      {"japanese text", kRegSz, Utf16(L"C:\\ツール\\情報.exe"), L"C:\\ツール\\情報.exe"},
      {"text cut at its NUL", kRegSz, Utf16(std::wstring(L"abc\0def", 7)), L"abc"},
      {"empty text", kRegSz, Buffer{}, L""},
      {"number", kRegDword, Dword(21), L"21"},
      {"number above 0xFFFF", kRegDword, Dword(0x12345678), L"305419896"},
      {"number with the top bit", kRegDword, Dword(0xFFFFFFFF), L"-1"},
      {"expandable text is another type", 2, Utf16(L"%SystemRoot%\\x.exe"), L"before"},
      {"binary", 3, Utf16(L"xyz"), L"before"},
      {"multi-string", 7, Utf16(L"a"), L"before"},
  };
  for (const Case& c : cases) {
    std::wstring KeyVal = L"before";
    KeyValueText(c.type, c.buffer, KeyVal);
    EXPECT_EQ(KeyVal, c.expected) << c.name;
  }
}

TEST(KeyValueText, ABufferWithoutNulIsAnInvalidProcedureCall) {
  Buffer full;
  full.fill('a');
  for (std::uint32_t type : {kRegSz, kRegDword, 3u}) {
    std::wstring KeyVal = L"before";
    try {
      KeyValueText(type, full, KeyVal);
      ADD_FAILURE() << "no failure for type " << type;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), err::kInvalidProcedureCall);
    }
    EXPECT_EQ(KeyVal, L"before");
  }
}

// A registry, a file system and a process start that record what StartSysInfo asks of them.
class FakeHost final : public SysInfoHost {
 public:
  struct Value {
    std::wstring text;     // what KeyVal becomes
    bool leaves = false;   // found, but of a type that leaves KeyVal as it was
    bool throws = false;   // the read itself fails
  };
  std::map<std::wstring, Value> values;  // "key|value name"
  std::set<std::wstring> files;          // exist and start
  std::vector<std::wstring> calls;

  bool GetKeyValue(const std::wstring& KeyName, const std::wstring& SubKeyRef, std::wstring& KeyVal) override {
    calls.push_back(L"get " + SubKeyRef);
    const auto it = values.find(KeyName + L"|" + SubKeyRef);
    if (it == values.end()) {
      KeyVal.clear();
      return false;
    }
    if (it->second.throws) throw RunError(err::kInvalidProcedureCall);
    if (!it->second.leaves) KeyVal = it->second.text;
    return true;
  }
  bool FileExists(const std::wstring& path) override {
    calls.push_back(L"exists " + path);
    return files.count(path) > 0;
  }
  void Start(const std::wstring& path) override {
    calls.push_back(L"start " + path);
    if (!files.count(path)) throw RunError(err::kFileNotFound);
  }
  void Message(const std::wstring& text, int style) override {
    calls.push_back(L"message " + text + L" " + std::to_wstring(style));
  }
};

const std::wstring kPath = std::wstring(kMsinfoKey) + L"|PATH";
const std::wstring kFolder = std::wstring(kLocationKey) + L"|MSINFO";
const std::wstring kMessage = L"message 現時点ではｼｽﾃﾑ情報を使用できません 0";

TEST(StartSysInfo, TriesThePathThenTheFolderAndElseSaysItCannot) {
  struct Case {
    const char* name;
    std::map<std::wstring, FakeHost::Value> values;
    std::set<std::wstring> files;
    std::vector<std::wstring> calls;
  };
  const std::wstring tool = L"C:\\Program Files\\MSInfo\\msinfo32.exe";
  const std::wstring folderTool = L"C:\\Shared\\MSInfo\\MSINFO32.EXE";
  const Case cases[] = {
      {"path value: started without an existence test",
       {{kPath, {tool}}, {kFolder, {L"C:\\Shared\\MSInfo"}}},
       {tool},
       {L"get PATH", L"start " + tool}},
      {"path value naming no file: the failed start ends in the message, not in the folder",
       {{kPath, {tool}}, {kFolder, {L"C:\\Shared\\MSInfo"}}},
       {folderTool},
       {L"get PATH", L"start " + tool, kMessage}},
      {"path value of another type: found, but nothing to start",
       {{kPath, {L"", true}}, {kFolder, {L"C:\\Shared\\MSInfo"}}},
       {folderTool},
       {L"get PATH", L"start ", kMessage}},
      {"folder value holding the tool",
       {{kFolder, {L"C:\\Shared\\MSInfo"}}},
       {folderTool},
       {L"get PATH", L"get MSINFO", L"exists " + folderTool, L"start " + folderTool}},
      {"folder value without the tool",
       {{kFolder, {L"C:\\Shared\\MSInfo"}}},
       {},
       {L"get PATH", L"get MSINFO", L"exists " + folderTool, kMessage}},
      {"neither value", {}, {tool}, {L"get PATH", L"get MSINFO", kMessage}},
      {"a failing read goes straight to the message",
       {{kPath, {L"", false, true}}, {kFolder, {L"C:\\Shared\\MSInfo"}}},
       {folderTool},
       {L"get PATH", kMessage}},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.values = c.values;
    host.files = c.files;
    StartSysInfo(host);
    EXPECT_EQ(host.calls, c.calls) << c.name;
  }
}

TEST(NativeSystemPath, TheThirtyTwoBitProgramReachesTheRealSystem32ThroughSysnative) {
  struct Case {
    std::wstring path, windows;
    bool wow64;
    std::wstring out;
  };
  const Case cases[] = {
      {L"C:\\Windows\\System32\\msinfo32.exe", L"C:\\Windows", true, L"C:\\Windows\\Sysnative\\msinfo32.exe"},
      {L"c:\\WINDOWS\\system32\\MSINFO32.EXE", L"C:\\Windows\\", true, L"C:\\Windows\\Sysnative\\MSINFO32.EXE"},
      {L"\"C:\\Windows\\System32\\msinfo32.exe\"", L"C:\\Windows", true, L"\"C:\\Windows\\Sysnative\\msinfo32.exe\""},
      {L"C:\\Windows\\System32", L"C:\\Windows", true, L"C:\\Windows\\Sysnative"},
      // Not redirected: other folders, other names that merely start alike, the 64-bit program.
      {L"C:\\Windows\\System32\\msinfo32.exe", L"C:\\Windows", false, L"C:\\Windows\\System32\\msinfo32.exe"},
      {L"C:\\Windows\\System320\\msinfo32.exe", L"C:\\Windows", true, L"C:\\Windows\\System320\\msinfo32.exe"},
      {L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe", L"C:\\Windows", true,
       L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe"},
      {L"D:\\Windows\\System32\\msinfo32.exe", L"C:\\Windows", true, L"D:\\Windows\\System32\\msinfo32.exe"},
      {L"C:\\Windows\\System32\\msinfo32.exe", L"", true, L"C:\\Windows\\System32\\msinfo32.exe"},
      {L"", L"C:\\Windows", true, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NativeSystemPath(c.path, c.windows, c.wow64), c.out) << std::string(c.path.begin(), c.path.end());
  }
}

}  // namespace
