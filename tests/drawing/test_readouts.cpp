#include <cmath>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "readouts.h"

namespace {

using namespace vthud;

template <typename F, typename... A>
std::string Text(F format, A... args) {
  char buf[32];
  EXPECT_EQ(format(args..., buf, sizeof buf), buf);
  return buf;
}

TEST(Readouts, PrintedText) {
  // 1.05 lies above 1.05 as a double but below it as a float, and 1.651 cm
  // flips a tenth of an inch the same way: they tell the readouts that round
  // through single precision from those that must not.
  const struct {
    std::string got;
    const char* want;
  } cases[] = {
      {Text(FormatSceneFrame, 42LL), "00042"},
      {Text(FormatSceneFrame, -42LL), "-0042"},
      {Text(FormatTimecode, 1, 2, 3, 4), "01:02:03:04"},
      {Text(FormatFocalLength, 1.05), "1.0"},
      {Text(FormatFStop, 1.05), "1.0"},
      {Text(FormatFocusDistance, 100.0, true), "100.0cm"},
      {Text(FormatFocusDistance, 1.05, true), "1.0cm"},
      {Text(FormatFocusDistance, 100.0, false), " 3'03.4\""},
      {Text(FormatFocusDistance, 30.48, false), " 1'00.0\""},
      {Text(FormatFocusDistance, 30.47, false), " 0'12.0\""},
      {Text(FormatFocusDistance, 1000.0, false), "32'09.7\""},
      {Text(FormatFocusDistance, 1.651, false), " 0'00.7\""},
      {Text(FormatInterocular, 6.5, true), "6.50cm"},
      {Text(FormatInterocular, 0.055, true), "0.06cm"},
      {Text(FormatInterocular, 6.5, false), "2.56\""},
      {Text(FormatConvergence, 1.05, true), "1.1cm"},
      {Text(FormatConvergence, 1.651, false), " 0'00.6\""},
      {Text(FormatFramesPerSecond, 40.0), "25.0"},
      {Text(FormatFramesPerSecond, 0.0), "0.0"},
      {Text(FormatFramesPerSecond, -5.0), "0.0"},
      {Text(FormatValue, 1.05), "1.1"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "row " << i;
}

TEST(Readouts, FeetAndInchesSaturateBeyondTheIntRange) {
  EXPECT_EQ(Text(FormatFocusDistance, 1e308, false), "178956970'00.0\"");
  EXPECT_EQ(Text(FormatConvergence, -1e308, false), "-178956970'00.0\"");
  EXPECT_EQ(Text(FormatConvergence, std::nan(""), false), " 0'00.0\"");
  EXPECT_EQ(Text(FormatConvergence, HUGE_VAL, false), "178956970'00.0\"");
}

TEST(Readouts, LongTextIsCutToTheBuffer) {
  char buf[8] = "XXXXXXX";
  FormatTimecode(10, 20, 30, 40, buf, 5);
  EXPECT_STREQ(buf, "10:2");
  EXPECT_EQ(buf[5], 'X');
}

TEST(Readouts, FocalLengthPerApertureMode) {
  // 2 x 1 inch film, fov 90, horizontal fov 60: each mode reads different
  // inputs, so a swapped one shows.
  const struct {
    int mode;
    double mm;
  } cases[] = {
      {0, 12.7},
      {1, 25.4},
      {2, 25.4 * 1.7320508075688772},
      {3, 50.0},
      {4, 25.4 / 0.5022185117656606},
      {-1, 25.4 / 0.5022185117656606},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(FocalLengthMm(c.mode, 2.0, 1.0, 90.0, 60.0, 50.0), c.mm, 1e-9) << "mode " << c.mode;
}

}  // namespace
