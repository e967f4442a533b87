// The drawing routines: tiling the header picture and shortening texts to
// a width (the band and the bar are the window test's).
#include "wizard/drawing.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "fakes/fake_window.hpp"

namespace {
using Blt = FakeSurface::Blt;

TEST(TileBitmapTest, TilesFromTheOffsetAndCutsAtTheEdges) {
  struct Row {
    const char* name;
    int x, y, w, h, srcW, srcH, srcX, srcY;
    std::vector<Blt> want;
  } rows[] = {
      // clang-format off
      // (The header picture, larger than its band, is one tile cut as the last one here.)
      {"3x3 cut right and below", 0, 0, 100, 70, 40, 30, 0, 0, {{0, 0, 40, 30, 0, 0}, {40, 0, 40, 30, 0, 0}, {80, 0, 20, 30, 0, 0}, {0, 30, 40, 30, 0, 0}, {40, 30, 40, 30, 0, 0}, {80, 30, 20, 30, 0, 0}, {0, 60, 40, 10, 0, 0}, {40, 60, 40, 10, 0, 0}, {80, 60, 20, 10, 0, 0}}},
      {"offset only in the first row and column", 5, 7, 60, 40, 40, 30, 10, 20, {{5, 7, 30, 10, 10, 20}, {35, 7, 30, 10, 0, 20}, {5, 17, 30, 30, 10, 0}, {35, 17, 30, 30, 0, 0}}},
      {"offsets beyond the source wrap", 0, 0, 10, 10, 40, 30, 45, 65, {{0, 0, 10, 10, 5, 5}}},
      {"an offset equal to the width does not", 0, 0, 10, 10, 40, 30, 40, 0, {{0, 0, 0, 10, 40, 0}, {0, 0, 10, 10, 0, 0}}},
      {"an empty source draws nothing", 0, 0, 300, 50, 0, 67, 0, 0, {}},
      // clang-format on
  };
  for (const Row& r : rows) {
    FakeSurface dest, src;
    TileBitmap(dest, r.x, r.y, r.w, r.h, src, r.srcW, r.srcH, r.srcX, r.srcY);
    EXPECT_EQ(dest.blits, r.want) << r.name;
  }
}

TEST(ShortenTextTest, KeepsWhatFitsAndShortensInTheMiddleOrAtTheEnd) {
  const auto chars = [](const std::string& s) { return 100.0 * s.size(); };
  const auto fixed = [](const std::string&) { return 1250.0; };  // 10 characters: 125 each
  // clang-format off
  struct Row {
    std::string text;
    bool middle;
    int width;
    std::function<double(const std::string&)> measure;
    std::string want;
  } rows[] = {
      {"  setup.msi  ", true, 900, chars, "setup.msi"}, {"    ", true, 10, chars, ""},
      {"abcdefghijklmnopqrst", true, 1000, chars, "abcde...pqrst"},  // 10 fit: 5 a side
      {"abcdefghijklmnopqrst", false, 1000, chars, "abcdefghij..."},
      {"abcdefghijklmnopqrst", true, 1150, chars, "abcde...pqrst"},           // odd room: even sides
      {"ääääbbbbcc", true, 700, fixed, "ää...cc"},                            // characters, not bytes
      {"abcdef", true, 2, [](const std::string&) { return 5.0; }, "abcdef"}};  // cannot be averaged
  // clang-format on
  for (const Row& r : rows)
    EXPECT_EQ(ShortenTextTo(r.text, r.middle, static_cast<std::int16_t>(r.width), r.measure), r.want) << r.text;
  EXPECT_EQ((std::vector{RoundHalfEven(2.5), RoundHalfEven(3.5), RoundHalfEven(-0.5)}), (std::vector{2, 4, 0}));
}

}  // namespace
