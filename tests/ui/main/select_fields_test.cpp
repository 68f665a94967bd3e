// What the result window's fields show for an analysis.
#include <gtest/gtest.h>

#include "ui/main/select_fields.h"

namespace {

using namespace pelmora;

TEST(KindText, OnlyTheExactKindsAreNamed) {
  EXPECT_EQ(ui::KindText("EPS"), L"EPSファイル (EPS)");
  EXPECT_EQ(ui::KindText("AI"), L"Illustrator形式ファイル (AI)");
  for (const char* other : {"", "eps", "Ai", "PDF", "EPS "}) EXPECT_EQ(ui::KindText(other), L"（不明）") << other;
}

TEST(ImageListText, JoinsTheCountedSlotsAndTrimsTheWholeText) {
  const std::vector<std::string> names{"  C:\\a.psd ", " C:\\b.tif ", "C:\\c.eps  "};
  EXPECT_EQ(ui::ImageListText(names, 3), L"C:\\a.psd \r\n C:\\b.tif \r\nC:\\c.eps");
  EXPECT_EQ(ui::ImageListText(names, 1), L"C:\\a.psd");
  EXPECT_EQ(ui::ImageListText(names, 0), L"");
  EXPECT_EQ(ui::ImageListText(names, -1), L"");
  EXPECT_EQ(ui::ImageListText({"", "C:\\x.ai"}, 2), L"\r\nC:\\x.ai");
  EXPECT_EQ(ui::ImageListText({"\x89\xe6\x91\x9c.psd"}, 1), L"画像.psd");
}

TEST(BuildSelectFields, EmptyStartShowsUnknownKindAndNoMacHeader) {
  const ui::SelectFields f = ui::BuildSelectFields(analysis::AnalysisResult{}, L"ignored");
  EXPECT_EQ(f.txtFile, L"");
  EXPECT_EQ(f.txtVersionString, L"");
  EXPECT_EQ(f.txtCreatorVersion, L"");
  EXPECT_EQ(f.txtEpsorAI, L"（不明）");
  EXPECT_EQ(f.txtMac, L"なし");
  EXPECT_EQ(f.txtImage, L"");
}

TEST(BuildSelectFields, DocumentFieldsComeFromTheResult) {
  analysis::AnalysisResult r;
  r.strFile = L"c:\\work\\logo.eps";
  r.vstrVersionString = "Adobe Illustrator(R) 8.0";
  r.vstrCreatorVersion = "8.0.1";
  r.vblnMac = true;
  r.strFiletype = "AI";
  r.rastrLinkImage = {"C:\\img\\a.psd", "C:\\img\\b.tif"};
  r.vlngLinkImage = 2;
  const ui::SelectFields f = ui::BuildSelectFields(r, L"Logo.EPS");
  EXPECT_EQ(f.txtFile, L"Logo.EPS");
  EXPECT_EQ(f.txtVersionString, L"Adobe Illustrator(R) 8.0");
  EXPECT_EQ(f.txtCreatorVersion, L"8.0.1");
  EXPECT_EQ(f.txtEpsorAI, L"Illustrator形式ファイル (AI)");
  EXPECT_EQ(f.txtMac, L"あり");
  EXPECT_EQ(f.txtImage, L"C:\\img\\a.psd\r\nC:\\img\\b.tif");

  r.vlngLinkImage = 0;  // names left in the array are not shown
  EXPECT_EQ(ui::BuildSelectFields(r, L"Logo.EPS").txtImage, L"");
}

TEST(SelectCaption, ShowsMajorAndMinorWithoutLeadingZeros) {
  EXPECT_EQ(ui::SelectCaption({}), L"Pelmora 3.1");
  EXPECT_EQ(ui::SelectCaption({L"Pelmora", 3, 10, 5}), L"Pelmora 3.10");
}

}  // namespace
