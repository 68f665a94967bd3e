// What the analysis puts in the result window, and how a failure of it reaches the user.
#include <gtest/gtest.h>

#include "harness.h"
#include "ui/main/select_ids.h"

namespace {

namespace id = pelmora::ui::select_ids;
using e2e::App;

constexpr wchar_t kCaption[] = L"Pelmora 3.1";

std::wstring FieldOf(const std::wstring& document, int field) {
  App app(L"\"" + document + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  if (!w) return L"<no window>";
  return e2e::Text(e2e::Child(w, field).hwnd);
}

TEST(PlacedImages, DistinctNamesInDocumentOrderWithJapaneseNames) {
  // CR LF lines, Shift-JIS folder names (trail bytes 0x5C among them), repeats.
  EXPECT_EQ(FieldOf(e2e::DocumentFile("02-japanese-links-crlf.ai"), id::txtImage),
            L"C:\\Users\\User\\Documents\\にゅーぷれ\\kumo.png\r\n"
            L"C:\\Users\\User\\Downloads\\1413398.png\r\n"
            L"C:\\Users\\User\\Documents\\にゅーぷれ\\ソフト表示.png\r\n"
            L"C:\\Users\\User\\Downloads\\2420217.png\r\n"
            L"C:\\Users\\User\\Downloads\\sozai_image_124483.png\r\n"
            L"C:\\Users\\User\\Documents\\にゅーぷれ\\ゲーム機.png");
  // CR-only lines: the second name follows a lone CR.
  EXPECT_EQ(FieldOf(e2e::DocumentFile("03-cut-name-cr.ai"), id::txtImage),
            L"/Users/hano/Library/Application Support/Adobe/Creative Cloud Libraries/LIBS/"
            L"C19039B45B43F6D30A495E53_7127234d5b164dfe0a495d22/creative_cloud/dcx/"
            L"abfd988e-2bce-4494-868a-6c33d7ac471f/components/bf1241ab-fa13-4bbd-8e43-bbc83cd6d727.\r\n"
            L"/Users/hano/Downloads/CFハンフレット.jpg");
  // Sixteen lines naming one file, behind a PDF part.
  EXPECT_EQ(FieldOf(e2e::DocumentFile("01-pdf-based-late-creator.ai"), id::txtImage),
            L"/Users/designer/Creative Cloud Files/gopher/gopher.psd");
}

TEST(MacBinary, HeaderBeforeTheDocumentIsReported) {
  std::string mac(128, '\0');
  mac[1] = 8;
  mac.replace(2, 8, "logo.eps");
  const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 8.0\r";
  const std::wstring dir = e2e::NewTempDir();
  e2e::WriteFileBytes(dir + L"\\mac.eps", mac + eps);
  e2e::WriteFileBytes(dir + L"\\plain.eps", eps);

  App app(L"\"" + dir + L"\\mac.eps\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtMac).hwnd), L"あり");
  // The header is reported, not skipped: the document behind it is analysed all the same.
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtVersionString).hwnd), L"Adobe Illustrator(R) 8.0");
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtEpsorAI).hwnd), L"EPSファイル (EPS)");
  EXPECT_EQ(FieldOf(dir + L"\\plain.eps", id::txtMac), L"なし");
}

TEST(RunTimeError, UnreadableDocumentEndsInOneMessageAndNoWindow) {
  const std::wstring dir = e2e::NewTempDir();
  const std::wstring path = dir + L"\\locked.eps";
  e2e::WriteFileBytes(path, "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: x\r\n");
  // Held with no sharing at all, as a program that writes the file exclusively would.
  HANDLE lock = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);

  App app(L"\"" + path + L"\"");
  const auto box = e2e::WaitMessageBox(app.pid());
  ASSERT_TRUE(box.hwnd);
  EXPECT_EQ(box.caption, L"Pelmora");
  EXPECT_NE(box.text.find(L" (エラー番号:75)"), std::wstring::npos) << e2e::Narrow(box.text);
  EXPECT_EQ(box.text.find(L"\n"), std::wstring::npos);
  EXPECT_EQ(box.buttons.size(), 1u);
  EXPECT_TRUE(box.hasIcon);
  EXPECT_FALSE(e2e::FindTopWindow(app.pid(), kCaption));
  e2e::CloseMessageBox(box);
  EXPECT_TRUE(app.WaitExit());
  ::CloseHandle(lock);
}

}  // namespace
