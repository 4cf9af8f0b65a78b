#include <gtest/gtest.h>

#include <cmath>

#include "mask_geometry.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

TEST(MaskGeometry, ValuesWithoutAGeometryStayInsideTheDrawingRange) {
  const double kNaN = std::nan("");
  const struct {
    const char* what;
    double zoom, aspect, share;
  } cases[] = {{"zero aspect", 0, 0, 0.5},       {"NaN aspect", 0, kNaN, 0.5}, {"NaN zoom", kNaN, 2.35, 0.5},
               {"huge zoom", -1e308, 2.35, 0.5}, {"NaN share", 0, 2.35, kNaN}, {"tiny aspect", 0, 1e-308, 0.5}};
  for (const auto& c : cases) {
    const vthud::MaskGeometry g = vthud::ComputeMaskGeometry(kW, kH, c.zoom, c.aspect, c.share);
    for (int v : {g.pictureWidth, g.side, g.top, g.bottom}) {
      EXPECT_LE(v, 1 << 20) << c.what;
      EXPECT_GE(v, -(1 << 20)) << c.what;
    }
    int lQuads[4][4][2];
    vthud::MaskQuads(g, kW, kH, lQuads);
  }
  // NaN has no bar: a NaN aspect draws the picture full height.
  const vthud::MaskGeometry g = vthud::ComputeMaskGeometry(kW, kH, 0, kNaN, 0.5);
  EXPECT_EQ(g.top, 0);
  EXPECT_EQ(g.bottom, 0);
}

TEST(MaskGeometry, Bars) {
  const struct {
    double zoom, aspect, share;
    int pictureWidth, side, top, bottom;
  } cases[] = {
      {0, 2.35, 0.5, 1920, 0, 131, 131},
      {0, 1.85, 0.5, 1920, 0, 21, 21},
      {0, 3.0, 0.25, 1920, 0, 110, 330},
      {0, 2.35, 0.0, 1920, 0, 0, 262},
      {0, 2.35, 1.0, 1920, 0, 262, 0},
      {50, 2.35, 0.5, 960, 480, 335, 335},
      // 5% and 10% land exactly on 1824 and 1728 only in single precision.
      {5, 2.35, 0.5, 1824, 48, 151, 151},
      {10, 2.35, 0.5, 1728, 96, 172, 172},
      {100, 2.35, 0.5, 0, 960, 540, 540},
      // Picture taller than the canvas: negative bars, truncated toward zero.
      {0, 1.5, 0.5, 1920, 0, -100, -100},
      {0, 1.7, 0.5, 1920, 0, -24, -24},
  };
  for (const auto& c : cases) {
    const vthud::MaskGeometry g = vthud::ComputeMaskGeometry(kW, kH, c.zoom, c.aspect, c.share);
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " aspect " << c.aspect << " share " << c.share);
    EXPECT_EQ(g.pictureWidth, c.pictureWidth);
    EXPECT_EQ(g.side, c.side);
    EXPECT_EQ(g.top, c.top);
    EXPECT_EQ(g.bottom, c.bottom);
  }
  EXPECT_NEAR(vthud::ComputeMaskGeometry(kW, kH, 0, 2.35, 0.5).spare, 262.9787f, 1e-4f);
}

TEST(MaskGeometry, Quads) {
  // Uneven share (top 190, bottom 570) so the two bars cannot be confused.
  const int want[4][4][2] = {
      {{0, 1080}, {0, 890}, {1920, 890}, {1920, 1080}},      // top
      {{0, 890}, {0, 570}, {480, 570}, {480, 890}},          // left
      {{0, 570}, {0, 0}, {1920, 0}, {1920, 570}},            // bottom
      {{1440, 890}, {1440, 570}, {1920, 570}, {1920, 890}},  // right
  };
  int got[4][4][2];
  vthud::MaskQuads(vthud::ComputeMaskGeometry(kW, kH, 50, 3.0, 0.25), kW, kH, got);
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ((&got[0][0][0])[i], (&want[0][0][0])[i]) << "quad " << i / 8 << " vertex " << i % 8 / 2;
}

}  // namespace
