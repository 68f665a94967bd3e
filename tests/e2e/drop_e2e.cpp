// Documents dragged onto the result window: each goes to a new instance and the window closes;
// anything without a file list is refused.
#include <gtest/gtest.h>
#include <ole2.h>

#include <algorithm>
#include <future>
#include <set>
#include <thread>

#include "harness.h"
#include "ui/aux/aux_ids.h"
#include "ui/main/select_ids.h"

namespace {

namespace id = pelmora::ui::select_ids;
using e2e::App;

constexpr wchar_t kCaption[] = L"Pelmora 3.1";

// Result windows of instances other than those in `known`.
std::vector<HWND> OtherResultWindows(const std::set<DWORD>& known) {
  std::vector<HWND> out;
  for (HWND h : e2e::TopWindowsWithCaption(kCaption)) {
    if (!known.count(e2e::WindowPid(h))) out.push_back(h);
  }
  return out;
}

std::set<DWORD> ResultWindowPids() {
  std::set<DWORD> pids;
  for (HWND h : e2e::TopWindowsWithCaption(kCaption)) pids.insert(e2e::WindowPid(h));
  return pids;
}

// Waits for `n` new result windows whose file fields are filled; returns their file names.
std::multiset<std::wstring> WaitNewWindows(const std::set<DWORD>& known, size_t n, std::vector<DWORD>& pids) {
  std::multiset<std::wstring> names;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const auto windows = OtherResultWindows(known);
    names.clear();
    pids.clear();
    for (HWND h : windows) {
      names.insert(e2e::Text(e2e::Child(h, id::txtFile).hwnd));
      pids.push_back(e2e::WindowPid(h));
    }
    if (windows.size() >= n && !names.count(L"")) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return names;
}

// Two small documents of the test's own, in a new folder.
std::vector<std::wstring> TwoDocuments() {
  const std::wstring dir = e2e::NewTempDir();
  std::vector<std::wstring> paths{dir + L"\\first.eps", dir + L"\\second.eps"};
  for (const auto& p : paths) e2e::WriteFileBytes(p, "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Test\r\n");
  return paths;
}

struct Spawned {
  std::vector<DWORD> pids;
  ~Spawned() {
    for (DWORD pid : pids) e2e::CloseProcess(pid);
  }
};

TEST(Drop, ThreeDocumentsOpenThreeInstancesAndCloseTheWindow) {
  const char* files[] = {"05-ps2-lf.eps", "04-ill6-crlf.eps", "01-pdf-based-late-creator.ai"};
  std::vector<std::wstring> paths;
  for (const char* f : files) paths.push_back(e2e::DocumentFile(f));
  std::vector<std::string> before;
  for (const auto& p : paths) before.push_back(e2e::ReadFileBytes(p));

  // Started empty: a drop there behaves as on a filled window.
  App app(L"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  const std::set<DWORD> known = ResultWindowPids();

  const e2e::DragResult drag = e2e::DragFiles(paths, w);
  Spawned spawned;
  const auto names = WaitNewWindows(known, 3, spawned.pids);

  EXPECT_TRUE(drag.reachedTarget);
  EXPECT_EQ(drag.effectOverTarget, static_cast<DWORD>(DROPEFFECT_COPY));
  // Under Wine the instance can end before its reply to the drop leaves it: the incoming call
  // runs on the window's thread, but another thread sends the reply, and the process's end
  // may overtake it. The drop itself has then happened all the same.
  EXPECT_TRUE(drag.hr == DRAGDROP_S_DROP || drag.hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED)) << std::hex << drag.hr;
  const std::multiset<std::wstring> expected{e2e::Widen(files[0]), e2e::Widen(files[1]), e2e::Widen(files[2])};
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(e2e::WaitGone(w));
  EXPECT_TRUE(app.WaitExit());
  for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(e2e::ReadFileBytes(paths[i]), before[i]) << files[i];
}

TEST(Drop, NameOutsideTheAnsiCodePageWithBlanksArrivesIntact) {
  const std::wstring dir = e2e::NewTempDir();
  // U+2713 has no code page 932 form: an ANSI call would turn it into '?'.
  const std::wstring name = L"配置 テスト \u2713.eps";
  const std::wstring path = dir + L"\\" + name;
  const std::string bytes = e2e::ReadFileBytes(e2e::DocumentFile("04-ill6-crlf.eps"));
  e2e::WriteFileBytes(path, bytes);

  App app(L"\"" + e2e::DocumentFile("05-ps2-lf.eps") + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  const std::set<DWORD> known = ResultWindowPids();

  const e2e::DragResult drag = e2e::DragFiles({path}, w);
  Spawned spawned;
  const auto names = WaitNewWindows(known, 1, spawned.pids);

  EXPECT_TRUE(drag.reachedTarget);
  EXPECT_EQ(names, std::multiset<std::wstring>{name});
  EXPECT_TRUE(app.WaitExit());
  EXPECT_EQ(e2e::ReadFileBytes(path), bytes);
  ::DeleteFileW(path.c_str());
  ::RemoveDirectoryW(dir.c_str());
}

TEST(Drop, TextIsRefusedAndItsDropChangesNothing) {
  App app(L"\"" + e2e::DocumentFile("04-ill6-crlf.eps") + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  const std::set<DWORD> known = ResultWindowPids();

  const e2e::DragResult drag = e2e::DragText(e2e::DocumentFile("05-ps2-lf.eps"), w);

  EXPECT_TRUE(drag.reachedTarget);
  EXPECT_EQ(drag.effectOverTarget, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(drag.effect, static_cast<DWORD>(DROPEFFECT_NONE));
  e2e::WaitIdle(w);
  EXPECT_TRUE(::IsWindowVisible(w));
  EXPECT_TRUE(app.Running());
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtFile).hwnd), L"04-ill6-crlf.eps");
  EXPECT_TRUE(OtherResultWindows(known).empty());
  EXPECT_TRUE(e2e::Dialogs(app.pid()).empty());
}

// The result window is disabled under the notes window: a drop would start the document and
// close both windows under the user's hands. Once the notes are closed the same drop is taken.
TEST(Drop, RefusedWhileAModalWindowIsOpen) {
  App app(L"\"" + e2e::DocumentFile("04-ill6-crlf.eps") + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  e2e::Click(e2e::Child(w, id::cmdType).hwnd);
  HWND notes = e2e::WaitWindow(app.pid(), L"形式とバージョンについて");
  ASSERT_TRUE(notes);
  ASSERT_FALSE(::IsWindowEnabled(w));
  // Out of the way of the drag, which ends a quarter down the result window.
  RECT rw{};
  ::GetWindowRect(w, &rw);
  ::SetWindowPos(notes, nullptr, rw.left, rw.top + (rw.bottom - rw.top) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  e2e::WaitIdle(notes);
  const std::set<DWORD> known = ResultWindowPids();
  const std::vector<std::wstring> docs = TwoDocuments();

  const e2e::DragResult refused = e2e::DragFiles({docs[0]}, w);
  EXPECT_TRUE(refused.reachedTarget);
  EXPECT_EQ(refused.effectOverTarget, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(refused.effect, static_cast<DWORD>(DROPEFFECT_NONE));
  e2e::WaitIdle(w);
  EXPECT_TRUE(::IsWindowVisible(notes));
  EXPECT_TRUE(::IsWindowVisible(w));
  EXPECT_TRUE(OtherResultWindows(known).empty());
  EXPECT_TRUE(app.Running());

  e2e::Click(::GetDlgItem(notes, pelmora::ui::aux_ids::type::cmdClose));
  ASSERT_TRUE(e2e::WaitGone(notes));
  e2e::WaitIdle(w);
  ASSERT_TRUE(::IsWindowEnabled(w));
  const e2e::DragResult taken = e2e::DragFiles({docs[0]}, w);
  Spawned spawned;
  EXPECT_EQ(taken.effectOverTarget, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(WaitNewWindows(known, 1, spawned.pids), std::multiset<std::wstring>{L"first.eps"});
  EXPECT_TRUE(app.WaitExit());
}

TEST(Drop, FailedStartShowsOneErrorAndTheWindowStays) {
  // The command line names the running program's own file; a copy is renamed while it runs.
  const std::wstring dir = e2e::NewTempDir();
  const std::wstring exe = dir + L"\\pelmora-copy.exe";
  const std::wstring moved = dir + L"\\pelmora-moved.exe";
  ASSERT_TRUE(::CopyFileW(e2e::PelmoraExe().c_str(), exe.c_str(), FALSE));
  {
    App app(L"", exe);
    HWND w = e2e::WaitWindow(app.pid(), kCaption);
    ASSERT_TRUE(w);
    ASSERT_TRUE(::MoveFileW(exe.c_str(), moved.c_str())) << "could not rename the running copy: " << ::GetLastError();
    const std::set<DWORD> known = ResultWindowPids();

    const std::vector<std::wstring> docs = TwoDocuments();
    auto pending = std::async(std::launch::async, [&] { return e2e::DragFiles(docs, w); });
    const e2e::MessageBoxInfo box = e2e::WaitMessageBox(app.pid());
    ASSERT_TRUE(box.hwnd);
    EXPECT_EQ(box.caption, L"Pelmora");
    EXPECT_NE(box.text.find(L"指定されたファイルは存在しません"), std::wstring::npos) << e2e::Narrow(box.text);
    // The source's drag, on a thread of another program, has returned while the box is up: it
    // never waits for the user to find and close a box.
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the drag waits for the box";
    EXPECT_TRUE(::IsWindow(box.hwnd));
    e2e::CloseMessageBox(box);
    const e2e::DragResult drag = pending.get();

    // The box was the whole of the handling: no second box, no instance, window open.
    e2e::WaitGone(box.hwnd);
    e2e::WaitIdle(w);
    EXPECT_EQ(drag.hr, DRAGDROP_S_DROP);
    EXPECT_EQ(drag.effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "a source must never read a move";
    EXPECT_TRUE(e2e::Dialogs(app.pid()).empty());
    EXPECT_TRUE(OtherResultWindows(known).empty());
    EXPECT_TRUE(::IsWindowVisible(w));
    EXPECT_TRUE(app.Running());
  }
  ::DeleteFileW(moved.c_str());
  ::RemoveDirectoryW(dir.c_str());
}

// A start that fails after the first has already closed the window: its box, shown with no window
// of the program left, stays until the user presses OK, and only then does the process end.
TEST(Drop, LaterFailedStartKeepsItsBoxUntilOk) {
  const std::wstring exe = e2e::PelmoraExe().substr(0, e2e::PelmoraExe().find_last_of(L"\\/") + 1) +
                           L"pelmora_failstart.exe";
  const std::vector<std::wstring> docs = TwoDocuments();
  App app(L"", exe);
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  const std::set<DWORD> known = ResultWindowPids();

  const e2e::DragResult drag = e2e::DragFiles(docs, w);
  EXPECT_TRUE(drag.reachedTarget);
  Spawned spawned;
  const auto names = WaitNewWindows(known, 1, spawned.pids);
  EXPECT_EQ(names, std::multiset<std::wstring>{L"first.eps"});

  const e2e::MessageBoxInfo box = e2e::WaitMessageBox(app.pid());
  ASSERT_TRUE(box.hwnd) << "no box for the second document";
  EXPECT_FALSE(::IsWindow(w)) << "the first start closes the window";
  EXPECT_NE(box.text.find(L"指定されたファイルは存在しません"), std::wstring::npos) << e2e::Narrow(box.text);
  EXPECT_FALSE(e2e::WaitGone(box.hwnd, 2000)) << "the box closed without OK";
  EXPECT_TRUE(app.Running());
  e2e::CloseMessageBox(box);
  EXPECT_TRUE(app.WaitExit());
}

}  // namespace
