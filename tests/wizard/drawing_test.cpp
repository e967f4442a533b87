// The drawing routines: tiling the header picture, shortening texts to a
// width, the header band and the progress bar.
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

TEST(TileBitmapTest, TilesFromTheOffsetAndCutsAtTheEdges) {
  struct Row {
    const char* name;
    int x, y, w, h, srcW, srcH, srcX, srcY;
    std::vector<Blt> want;
  } rows[] = {
      // clang-format off
      {"3x3 cut right and below", 0, 0, 100, 70, 40, 30, 0, 0, {{0, 0, 40, 30, 0, 0}, {40, 0, 40, 30, 0, 0}, {80, 0, 20, 30, 0, 0}, {0, 30, 40, 30, 0, 0}, {40, 30, 40, 30, 0, 0}, {80, 30, 20, 30, 0, 0}, {0, 60, 40, 10, 0, 0}, {40, 60, 40, 10, 0, 0}, {80, 60, 20, 10, 0, 0}}},
      {"offset only in the first row and column", 5, 7, 60, 40, 40, 30, 10, 20, {{5, 7, 30, 10, 10, 20}, {35, 7, 30, 10, 0, 20}, {5, 17, 30, 30, 10, 0}, {35, 17, 30, 30, 0, 0}}},
      {"offsets beyond the source wrap", 0, 0, 10, 10, 40, 30, 45, 65, {{0, 0, 10, 10, 5, 5}}},
      {"an offset equal to the width does not", 0, 0, 10, 10, 40, 30, 40, 0, {{0, 0, 0, 10, 40, 0}, {0, 0, 10, 10, 0, 0}}},
      {"a larger source is one cut tile", 0, 0, 300, 50, 501, 67, 0, 0, {{0, 0, 300, 50, 0, 0}}},
      {"an empty source draws nothing", 0, 0, 300, 50, 0, 67, 0, 0, {}},
      // clang-format on
  };
  for (const Row& r : rows) {
    FakeSurface dest(100, 100), src(r.srcW, r.srcH);
    TileBitmap(dest, r.x, r.y, r.w, r.h, src, r.srcW, r.srcH, r.srcX, r.srcY);
    EXPECT_EQ(Blts(dest), r.want) << r.name;
  }
}

TEST(ShortenTextTest, KeepsWhatFitsAndShortensInTheMiddleOrAtTheEnd) {
  const auto chars = [](const std::string& s) { return 100.0 * s.size(); };
  const auto fixed = [](const std::string&) { return 1250.0; };  // 10 characters: 125 each
  struct Row {
    std::string text;
    bool middle;
    int width;
    std::function<double(const std::string&)> measure;
    std::string want;
  } rows[] = {
      {"  setup.msi  ", true, 900, chars, "setup.msi"},
      {"    ", true, 10, chars, ""},
      {"abcdefghijklmnopqrst", true, 1000, chars, "abcde...pqrst"},  // 10 fit: 5 a side
      {"abcdefghijklmnopqrst", false, 1000, chars, "abcdefghij..."},
      {"abcdefghijklmnopqrst", true, 1150, chars, "abcde...pqrst"},           // odd room: even sides
      {"ääääbbbbcc", true, 700, fixed, "ää...cc"},                            // characters, not bytes
      {"abcdef", true, 2, [](const std::string&) { return 5.0; }, "abcdef"},  // cannot be averaged
  };
  for (const Row& r : rows)
    EXPECT_EQ(ShortenTextTo(r.text, r.middle, static_cast<std::int16_t>(r.width), r.measure), r.want) << r.text;
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
}

TEST_F(WizardTest, TheHeaderTilesThePictureAndCentresTheTitle) {
  frmMain& f = Start();
  window.picture1.calls.clear();
  window.picture1.textHeight = 20;
  f.DrawHeader("Title", 14);
  const auto& calls = window.picture1.calls;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[1].op, "Cls");
  EXPECT_EQ(calls[2].args, std::vector<double>{double(0xFFFFFF)});  // white text
  EXPECT_EQ(window.picture1.fontSize, 14);
  EXPECT_EQ(Blts(window.picture1), (std::vector<Blt>{{0, 0, 501, 67, 0, 0}}));
  EXPECT_EQ(window.picture1.Calls("BitBlt")[0].source, &window.picBitmap);
  const auto print = window.picture1.Calls("Print");
  ASSERT_EQ(print.size(), 1u);
  EXPECT_EQ(print[0].text, "Title");
  EXPECT_EQ(print[0].args, (std::vector<double>{13, 23}));  // (67 - 20) \ 2 from the top
}

TEST_F(WizardTest, TheProgressBarIsClampedFilledAndYields) {
  frmMain& f = Start();
  const int yields = events.doEvents;
  struct Row {
    int percent;
    std::string label;
    double width;  // of the filled box; 0: none
  } rows[] = {
      {-5, "0", 0}, {250, "100", 6715}, {100, "100", 6715}, {33, "33", (6715.0f / 100.0f) * 33.0f}, {0, "0", 0}};
  for (const Row& r : rows) {
    window.picLoad.calls.clear();
    f.ShowProgress(r.percent);
    EXPECT_EQ(window.picLoad.calls.front().op, "Cls");
    EXPECT_EQ(Caption(Ctl::lblLoad), r.label);
    const auto fill = window.picLoad.Calls("FillBox");
    EXPECT_EQ(fill.size(), r.width ? 1u : 0u) << r.percent;
    if (!fill.empty()) {
      EXPECT_EQ(fill[0].args, (std::vector<double>{0, 0, r.width, 300, double(0x900000)}));
    }
  }
  EXPECT_EQ(events.doEvents, yields + 5);
  window.outerWidthTwips = 7800;  // the line under the band follows the window's width
  f.Form_Resize();
  EXPECT_EQ(window.Ctrl(Ctl::frPicture).Geometry(), (TwipsRect{-30, 1000, 7800, 30}));
}
}  // namespace
