// What a plate gives a run the command line left open, decided without
// ffmpeg: from a video's facts or a sequence's files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"
#include "plate_defaults.h"

namespace {

TEST(PlateDefaults, TheCommandLineWinsAndTheClockFollowsTheRate) {
  vthud_tool::PlateRun lVideo;
  lVideo.name = "take.mov";
  lVideo.video = true;
  lVideo.facts.frames = 48;
  lVideo.facts.rateNumerator = 24000;
  lVideo.facts.rateDenominator = 1001;
  vthud_tool::PlateRun lSequence;
  lSequence.name = "p.%04d.exr";
  lSequence.sequence = true;
  lSequence.firstFile = 1001;
  lSequence.lastFile = 1100;
  struct Case {
    const vthud_tool::PlateRun* plate;
    std::vector<std::string> arguments;
    std::string fps;
    long long first, last, clockNumerator, clockDenominator;
  };
  const Case lCases[] = {
      {&lVideo, {}, "23.976", 0, 47, 1001000, 24000},
      {&lVideo, {"--clock-ms", "40"}, "23.976", 0, 47, 40, 1},
      {&lVideo, {"--fps", "23.976", "--frame", "7"}, "23.976", 7, 7, 1001000, 24000},
      {&lVideo, {"--draws", R"([{"frame": 3}])"}, "23.976", 0, 0, 1001000, 24000},
      {&lSequence, {}, "30", 1001, 1100, 1000, 30},
      {&lSequence, {"--fps", "25", "--frames", "1010:1019"}, "25", 1010, 1019, 1000, 25},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.plate->name + " with " + std::to_string(c.arguments.size()) + " arguments");
    std::vector<std::string> lArguments{"vthud_preview"};
    lArguments.insert(lArguments.end(), c.arguments.begin(), c.arguments.end());
    vthud_tool::Options o;
    std::string lWarning, lError;
    ASSERT_TRUE(vthud_tool::ParseOptions(lArguments, o, lError)) << lError;
    ASSERT_TRUE(vthud_tool::ApplyPlateDefaults(*c.plate, false, o, lWarning, lError)) << lError;
    EXPECT_EQ(o.fpsText, c.fps);
    EXPECT_EQ(o.hasFrames ? o.frames.first : o.frame, c.first);
    EXPECT_EQ(o.hasFrames ? o.frames.last : o.frame, c.last);
    EXPECT_EQ(o.clockNumerator, c.clockNumerator);
    EXPECT_EQ(o.clockDenominator, c.clockDenominator);
    EXPECT_EQ(lWarning, "");
  }
  // A rate no scene runs at is drawn at --fps and said; no --fps could match it, so none is refused.
  lVideo.facts.rateNumerator = 15;
  lVideo.facts.rateDenominator = 1;
  vthud_tool::Options o;
  std::string lWarning, lError;
  ASSERT_TRUE(vthud_tool::ParseOptions({"vthud_preview", "--fps", "25"}, o, lError));
  ASSERT_TRUE(vthud_tool::ApplyPlateDefaults(lVideo, false, o, lWarning, lError)) << lError;
  EXPECT_EQ(o.fpsText, "25");
  EXPECT_NE(lWarning.find("take.mov runs at 15/1 frames a second, at which no scene runs"), std::string::npos);
}

}  // namespace
