#include "wizard/drawing.hpp"

#include "wizard_fixture.hpp"

namespace {
struct Blt {
  int x, y, w, h, sx, sy;
  bool operator==(const Blt&) const = default;
};

std::vector<Blt> Blts(const FakeSurface& s) {
  std::vector<Blt> out;
  for (const auto& c : s.Calls("BitBlt")) {
    EXPECT_EQ(c.args[6], double(SRCCOPY));
    out.push_back({int(c.args[0]), int(c.args[1]), int(c.args[2]), int(c.args[3]), int(c.args[4]), int(c.args[5])});
  }
  return out;
}

TEST(TileBitmapTest, TilesRightAndDownCuttingAtTheEdges) {
  FakeSurface dest(100, 100), src(40, 30);
  TileBitmap(dest, 0, 0, 100, 70, src, 40, 30, 0, 0);
  const std::vector<Blt> want = {{0, 0, 40, 30, 0, 0},  {40, 0, 40, 30, 0, 0},  {80, 0, 20, 30, 0, 0},
                                 {0, 30, 40, 30, 0, 0}, {40, 30, 40, 30, 0, 0}, {80, 30, 20, 30, 0, 0},
                                 {0, 60, 40, 10, 0, 0}, {40, 60, 40, 10, 0, 0}, {80, 60, 20, 10, 0, 0}};
  EXPECT_EQ(Blts(dest), want);
}

TEST(TileBitmapTest, StartOffsetOnlyAffectsTheFirstRowAndColumn) {
  FakeSurface dest(100, 100), src(40, 30);
  TileBitmap(dest, 5, 7, 60, 40, src, 40, 30, 10, 20);
  const std::vector<Blt> want = {
      {5, 7, 30, 10, 10, 20}, {35, 7, 30, 10, 0, 20}, {5, 17, 30, 30, 10, 0}, {35, 17, 30, 30, 0, 0}};
  EXPECT_EQ(Blts(dest), want);
}

TEST(TileBitmapTest, OffsetsBeyondTheSourceWrapButEqualOnesDoNot) {
  FakeSurface dest(100, 100), src(40, 30);
  TileBitmap(dest, 0, 0, 10, 10, src, 40, 30, 45, 65);
  EXPECT_EQ(Blts(dest), (std::vector<Blt>{{0, 0, 10, 10, 5, 5}}));
  // srcX equal to srcW is not reduced: the first tile is 0 wide and the next starts at column 0.
  FakeSurface dest2(100, 100);
  TileBitmap(dest2, 0, 0, 10, 10, src, 40, 30, 40, 0);
  EXPECT_EQ(Blts(dest2), (std::vector<Blt>{{0, 0, 0, 10, 40, 0}, {0, 0, 10, 10, 0, 0}}));
}

TEST(TileBitmapTest, LargerSourceGivesOneCutTileAndEmptySourceNothing) {
  FakeSurface dest(100, 100), src(501, 67);
  TileBitmap(dest, 0, 0, 300, 50, src, 501, 67, 0, 0);
  EXPECT_EQ(Blts(dest), (std::vector<Blt>{{0, 0, 300, 50, 0, 0}}));
  FakeSurface empty(100, 100);
  TileBitmap(empty, 0, 0, 300, 50, src, 0, 67, 0, 0);
  TileBitmap(empty, 0, 0, 300, 50, src, 501, 0, 0, 0);
  EXPECT_TRUE(empty.calls.empty());
}

double Chars(const std::string& s) { return 100.0 * s.size(); }

TEST(ShortenTextTest, FittingBlankAndShortenedTexts) {
  EXPECT_EQ(ShortenTextTo("  setup.msi  ", true, 900, Chars), "setup.msi");
  EXPECT_EQ(ShortenTextTo("    ", true, 10, Chars), "");
  // 20 characters of 100 twips in 1000 twips: 10 fit, 5 on each side.
  EXPECT_EQ(ShortenTextTo("abcdefghijklmnopqrst", true, 1000, Chars), "abcde...pqrst");
  EXPECT_EQ(ShortenTextTo("abcdefghijklmnopqrst", false, 1000, Chars), "abcdefghij...");
  // Odd room: the middle form keeps the same number on each side.
  EXPECT_EQ(ShortenTextTo("abcdefghijklmnopqrst", true, 1150, Chars), "abcde...pqrst");
}

TEST(ShortenTextTest, UsesTheAverageWidthAndCountsCharactersNotBytes) {
  // Measured 1250 for 10 characters: average 125, so 700 \ 125 = 5, 2 a side.
  const auto measure = [](const std::string&) { return 1250.0; };
  EXPECT_EQ(ShortenTextTo("ääääbbbbcc", true, 700, measure), "ää...cc");
  // A measured width below the number of characters cannot be averaged: unshortened.
  EXPECT_EQ(ShortenTextTo("abcdef", true, 2, [](const std::string&) { return 5.0; }), "abcdef");
}

TEST(RoundHalfEvenTest, HalvesGoToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(66.6), 67);
}

TEST_F(WizardTest, DrawHeaderTilesThePictureAndCentresTheTitle) {
  frmMain& f = Start();
  window.picture1.calls.clear();
  window.picture1.textHeight = 20;
  f.DrawHeader("Title", 14);
  const auto& calls = window.picture1.calls;
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls[0].op, "FontSize");
  EXPECT_EQ(calls[1].op, "Cls");
  EXPECT_EQ(calls[2].op, "ForeColor");
  EXPECT_EQ(calls[2].args[0], double(0xFFFFFF));
  // The header picture is the band's size: one tile.
  EXPECT_EQ(Blts(window.picture1), (std::vector<Blt>{{0, 0, 501, 67, 0, 0}}));
  EXPECT_EQ(window.picture1.Calls("BitBlt")[0].source, &window.picBitmap);
  const auto print = window.picture1.Calls("Print");
  ASSERT_EQ(print.size(), 1u);
  EXPECT_EQ(print[0].text, "Title");
  EXPECT_EQ(print[0].args[0], 13);
  EXPECT_EQ(print[0].args[1], 23);  // (67 - 20) \ 2
  EXPECT_TRUE(window.picture1.autoRedraw);
}

TEST_F(WizardTest, ShowProgressClampsFillsAndYields) {
  frmMain& f = Start();
  const auto fill = [&](int percent) {
    window.picLoad.calls.clear();
    f.ShowProgress(percent);
    return window.picLoad.Calls("FillBox");
  };
  const int yields = events.doEvents;
  EXPECT_TRUE(fill(-5).empty());
  EXPECT_EQ(Caption(Ctl::lblLoad), "0");
  EXPECT_EQ(window.picLoad.calls.front().op, "Cls");
  auto full = fill(250);
  ASSERT_EQ(full.size(), 1u);
  EXPECT_EQ(full[0].args, (std::vector<double>{0, 0, 6715, 300, double(0x900000)}));
  EXPECT_EQ(Caption(Ctl::lblLoad), "100");
  EXPECT_EQ(fill(100)[0].args[2], 6715);
  EXPECT_FLOAT_EQ(static_cast<float>(fill(33)[0].args[2]), (6715.0f / 100.0f) * 33.0f);
  EXPECT_EQ(Caption(Ctl::lblLoad), "33");
  EXPECT_TRUE(fill(0).empty());
  EXPECT_EQ(events.doEvents, yields + 5);
}

TEST_F(WizardTest, FormResizePutsTheLineUnderTheBand) {
  frmMain& f = Start();
  window.outerWidthTwips = 7800;
  f.Form_Resize();
  EXPECT_EQ(window.Ctrl(Ctl::frPicture).Geometry(), (TwipsRect{-30, 1000, 7800, 30}));
}

TEST(LayoutTest, EveryControlHasItsDesignPlace) {
  EXPECT_EQ(DesignOf(Ctl::Cmd1).rect, (TwipsRect{4915, 5085, 1100, 340}));
  EXPECT_EQ(DesignOf(Ctl::lblInfo3).rect, (TwipsRect{1700, 2700, 4000, 200}));
  EXPECT_EQ(DesignOf(Ctl::lblStatus2).rect, (TwipsRect{200, 2400, 1400, 200}));
  EXPECT_EQ(std::string(DesignOf(Ctl::Frame1).caption), "Larkspire Browser AutoUpdate");
  for (const auto& d : MainWindowDesign()) EXPECT_EQ(&DesignOf(d.id), &d) << d.name;
  EXPECT_EQ(Cmd(3), Ctl::Count);
  EXPECT_EQ(PageFrame(1), Ctl::Count);
}
}  // namespace
