// The preview tool's command line and per-draw plans, parsed in-process: what
// is refused, with which message, and what an accepted line turns into.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "draw_plan.h"
#include "frame_pattern.h"
#include "options.h"
#include "sequence.h"

namespace {

using vthud_tool::Options;

struct Parsed {
  bool ok;
  Options options;
  std::string error;
};

Parsed Parse(std::vector<std::string> pArguments) {
  pArguments.insert(pArguments.begin(), "vthud_preview");
  Parsed lParsed;
  lParsed.ok = vthud_tool::ParseOptions(pArguments, lParsed.options, lParsed.error);
  return lParsed;
}

::testing::AssertionResult Refused(const std::vector<std::string>& pArguments, const std::string& pMessagePart) {
  const Parsed lParsed = Parse(pArguments);
  if (lParsed.ok) return ::testing::AssertionFailure() << "accepted";
  if (lParsed.error.find(pMessagePart) == std::string::npos)
    return ::testing::AssertionFailure() << "message '" << lParsed.error << "' lacks '" << pMessagePart << "'";
  if (lParsed.error.find('\n') != std::string::npos)
    return ::testing::AssertionFailure() << "message is not one line: " << lParsed.error;
  return ::testing::AssertionSuccess();
}

TEST(PreviewOptions, FramesOutsideWhatFBTimeHoldsAreRefusedWithoutWrapping) {
  const long long lLimit = vthud_tool::FrameLimit(kFBTimeMode30Frames);
  // The largest accepted frame still has a time that gives the frame back.
  FBTime lTime;
  lTime.SetFrame(lLimit, kFBTimeMode30Frames);
  EXPECT_EQ(lTime.GetFrame(kFBTimeMode30Frames), lLimit);
  lTime.SetFrame(-lLimit, kFBTimeMode30Frames);
  EXPECT_EQ(lTime.GetFrame(kFBTimeMode30Frames), -lLimit);

  Parsed lEdge = Parse({"--frame", std::to_string(lLimit)});
  ASSERT_TRUE(lEdge.ok) << lEdge.error;
  EXPECT_EQ(lEdge.options.frame, lLimit);
  EXPECT_TRUE(Refused({"--frame", std::to_string(lLimit + 1)}, "--frame expects a whole number from"));
  EXPECT_TRUE(Refused({"--frame", "1000000000000000000"}, "--frame expects a whole number"));
  EXPECT_TRUE(Refused({"--frame", "1e18"}, "got '1e18'"));
  // Beyond 64 bits either way: refused, not saturated into range.
  EXPECT_TRUE(Refused({"--frame", "9223372036854775808"}, "--frame expects a whole number"));
  EXPECT_TRUE(Refused({"--frame", "-9223372036854775809"}, "--frame expects a whole number"));
  EXPECT_TRUE(Refused({"--frame", "1.5"}, "--frame expects a whole number"));
  EXPECT_TRUE(Refused({"--frame", ""}, "--frame expects a whole number"));
  EXPECT_TRUE(Refused({"--frame", "12abc"}, "got '12abc'"));
  // The limit follows the rate: 24 fps holds fewer frames than 30.
  EXPECT_TRUE(Refused({"--fps", "24", "--frame", std::to_string(lLimit)}, "--frame expects"));
  EXPECT_TRUE(Parse({"--fps", "60", "--frame", std::to_string(lLimit)}).ok);
}

TEST(PreviewOptions, RangesMustBeTwoOrderedFramesInRange) {
  EXPECT_TRUE(Refused({"--loop", "0:300:7"}, "--loop expects START:STOP"));
  EXPECT_TRUE(Refused({"--loop", "300:0"}, "--loop range '300:0' is reversed: its start must come no later"));
  EXPECT_EQ(Parse({"--loop", "50:50"}).options.loopStop, 50) << "an empty loop is a host's state, not an error";
  EXPECT_TRUE(Refused({"--loop", "0:99999999999999999999"}, "--loop end expects a whole number"));
  EXPECT_TRUE(Refused({"--loop", "-9223372036854775808:0"}, "--loop start expects a whole number"));
  EXPECT_TRUE(Refused({"--loop", "0"}, "--loop expects START:STOP"));
  EXPECT_TRUE(Refused({"--frames", "10:9"}, "is reversed"));
  EXPECT_TRUE(Refused({"--record", "a:9"}, "--record start expects a whole number"));
  EXPECT_TRUE(Refused({"--play", "1:2:3"}, "--play expects START:END"));
  EXPECT_TRUE(Refused({"--frame", "1", "--frames", "0:2"}, "cannot be given together"));
  EXPECT_TRUE(Refused({"--draws", "[{\"frame\": 1}]", "--record", "0:2"}, "--draws gives each draw's transport"));

  Parsed lParsed =
      Parse({"--loop", "-10:20", "--frames", "3:3", "--record", "1:2", "--record", "5:9", "--play", "0:9"});
  ASSERT_TRUE(lParsed.ok) << lParsed.error;
  EXPECT_EQ(lParsed.options.loopStart, -10);
  EXPECT_EQ(lParsed.options.loopStop, 20);
  ASSERT_EQ(lParsed.options.record.size(), 2u);
  EXPECT_EQ(lParsed.options.record[1].first, 5);
  EXPECT_EQ(lParsed.options.record[1].last, 9);
}

TEST(PreviewOptions, UnparsableValuesNameTheOptionAndTheExpectedType) {
  EXPECT_TRUE(Refused({"--fps", "31"}, "--fps expects 24, 25, 30"));
  EXPECT_TRUE(Refused({"--fstop", "wide"}, "--fstop expects a number, got 'wide'"));
  EXPECT_TRUE(Refused({"--focus-distance", "nan"}, "--focus-distance expects a number"));
  EXPECT_TRUE(Refused({"--fov", "40:x"}, "--fov expects DEG or DEG:HDEG"));
  EXPECT_TRUE(Refused({"--film-back", "1.0"}, "--film-back expects WxH in inches"));
  EXPECT_TRUE(Refused({"--set", "Aspect"}, "--set expects \"Name=value\""));
  EXPECT_TRUE(Refused({"--camera-set", "FocalLength"}, "--camera-set expects \"Name=value\""));
  EXPECT_TRUE(Refused({"--clock-ms", "0"}, "--clock-ms expects milliseconds above 0"));
  EXPECT_TRUE(Refused({"--clock-ms", "-5"}, "--clock-ms expects"));
  EXPECT_TRUE(Refused({"--clock-ms", "10001"}, "--clock-ms expects"));
  EXPECT_TRUE(Refused({"--clock-ms", "1.2345"}, "--clock-ms expects"));
  EXPECT_TRUE(Refused({"--frame"}, "missing value after '--frame'"));
  EXPECT_TRUE(Refused({"stray"}, "unexpected argument 'stray'"));
  EXPECT_TRUE(Refused({"--no-camera", "--fstop", "2"}, "--no-camera leaves no camera"));
  EXPECT_TRUE(Refused({"--no-take", "--take", "T"}, "--take and --no-take"));
}

TEST(PreviewOptions, MisspeltOptionsGetTheNearestNames) {
  EXPECT_TRUE(Refused({"--frmaes", "0:3"}, "unknown option '--frmaes' (nearest: --frames"));
  EXPECT_TRUE(Refused({"--backgrond", "x"}, "--background"));
  EXPECT_TRUE(Refused({"--bogus"}, "unknown option '--bogus'"));
}

TEST(PreviewOptions, HelpListsEveryOptionWithItsDefault) {
  const std::string lHelp = vthud_tool::HelpText();
  for (const char* lOption : {"--frames START:END", "--record A:B", "--play A:B", "--draws JSON", "--clock-ms MS",
                              "--camera-set Name=value", "--no-take", "--no-camera", "--background BG"})
    EXPECT_NE(lHelp.find(lOption), std::string::npos) << lOption;
  EXPECT_NE(lHelp.find("(default: 30)"), std::string::npos);
  EXPECT_NE(lHelp.find("(default: 0:300)"), std::string::npos);
  EXPECT_NE(lHelp.find("(default: out/hud.png)"), std::string::npos);
  EXPECT_NE(lHelp.find("--no-take                 run with no current take (default: off)"), std::string::npos)
      << lHelp;
  // Every option but --help and --version gives its default, and lines stay narrow.
  std::istringstream lLines(lHelp);
  std::string lOption;
  for (std::string lLine; std::getline(lLines, lLine);) {
    EXPECT_LE(lLine.size(), 110u) << lLine;
    if (lLine.rfind("  --", 0) == 0) {
      if (!lOption.empty() && lOption.rfind("  --help", 0) != 0 && lOption.rfind("  --version", 0) != 0) {
        EXPECT_NE(lOption.find("(default: "), std::string::npos) << lOption;
      }
      lOption = lLine;
    } else if (lLine.rfind("    ", 0) == 0) {
      lOption += lLine;
    }
  }
  EXPECT_TRUE(Parse({"-h"}).options.help);
  EXPECT_TRUE(Parse({"--version", "--frame", "3"}).options.version);
  EXPECT_FALSE(Parse({"--frame", "3"}).options.version);
}

TEST(PreviewOptions, HostClockStepsOneFrameIntervalExactly) {
  Parsed lParsed = Parse({});
  ASSERT_TRUE(lParsed.ok);
  const Options& o = lParsed.options;
  // 30 draws at 30 fps end on exactly one second, so the first window closes there.
  EXPECT_EQ(vthud_tool::ClockAtDraw(0, o.clockNumerator, o.clockDenominator), 33);
  EXPECT_EQ(vthud_tool::ClockAtDraw(29, o.clockNumerator, o.clockDenominator), 1000);
  Parsed lNtsc = Parse({"--fps", "29.97"});
  EXPECT_EQ(vthud_tool::ClockAtDraw(29999, lNtsc.options.clockNumerator, lNtsc.options.clockDenominator), 1001000);
  Parsed lClock = Parse({"--clock-ms", "41.5"});
  ASSERT_TRUE(lClock.ok) << lClock.error;
  EXPECT_EQ(vthud_tool::ClockAtDraw(1, lClock.options.clockNumerator, lClock.options.clockDenominator), 83);
}

TEST(PreviewDrawPlan, RecordAndPlayRangesGiveEachFramesTransport) {
  Parsed lParsed = Parse({"--frames", "0:119", "--play", "0:119", "--record", "24:40", "--record", "60:119"});
  ASSERT_TRUE(lParsed.ok) << lParsed.error;
  vthud_tool::DrawPlan lPlan;
  std::string lError;
  ASSERT_TRUE(lPlan.Build(lParsed.options, lError)) << lError;
  ASSERT_EQ(lPlan.Count(), 120);
  EXPECT_FALSE(lPlan.At(23).recording);
  EXPECT_TRUE(lPlan.At(24).recording);
  EXPECT_TRUE(lPlan.At(40).recording);
  EXPECT_FALSE(lPlan.At(41).recording);
  EXPECT_TRUE(lPlan.At(60).recording);
  EXPECT_TRUE(lPlan.At(119).playing);
  EXPECT_EQ(lPlan.At(57).frame, 57);
}

TEST(PreviewDrawPlan, DrawListsParseOrSayWhereTheyAreWrong) {
  std::vector<vthud_tool::DrawState> lDraws;
  std::string lError;
  ASSERT_TRUE(vthud_tool::ParseDraws(
      R"([{"frame": 10}, {"frame": 9, "recording": true, "playing": true,
          "set": {"Bloop Light Duration": 3, "Show Slate": true, "Slate": "A1", "Bloop Color": [0, 1, 0, 0.5]}}])",
      1000, lDraws, lError))
      << lError;
  ASSERT_EQ(lDraws.size(), 2u);
  EXPECT_FALSE(lDraws[0].recording);
  EXPECT_EQ(lDraws[1].frame, 9);
  EXPECT_TRUE(lDraws[1].recording && lDraws[1].playing);
  ASSERT_EQ(lDraws[1].sets.size(), 4u);
  EXPECT_EQ(lDraws[1].sets[0], (std::pair<std::string, std::string>("Bloop Color", "0 1 0 0.5")));
  EXPECT_EQ(lDraws[1].sets[1].second, "3");
  EXPECT_EQ(lDraws[1].sets[2].second, "true");

  struct Case {
    const char* json;
    const char* message;
  };
  for (const Case& c : {Case{"[{\"frame\": 1},\n {\"frame\": }]", "line 2, column"}, Case{"[]", "empty"},
                        Case{"{\"frame\": 1}", "expects a JSON array"},
                        Case{"[{\"frame\": 1.5}]", "draw 1: \"frame\" expects a whole number"},
                        Case{"[{\"frame\": 1e300}]", "\"frame\" expects a whole number"},
                        Case{"[{}]", "\"frame\" expects a whole number"},
                        Case{"[{\"frame\": 1, \"recordng\": true}]", "unknown key 'recordng'"},
                        Case{"[{\"frame\": 1, \"playing\": 1}]", "\"playing\" expects true or false"},
                        Case{"[{\"frame\": 1, \"set\": {\"Aspect\": null}}]", "the value of 'Aspect' expects"},
                        Case{"[1]", "draw 1 is not an object"}}) {
    lError.clear();
    EXPECT_FALSE(vthud_tool::ParseDraws(c.json, 1000, lDraws, lError)) << c.json;
    EXPECT_NE(lError.find(c.message), std::string::npos) << c.json << " -> " << lError;
  }
  EXPECT_FALSE(vthud_tool::ParseDraws("/nonexistent/draws.json", 1000, lDraws, lError));
  EXPECT_NE(lError.find("cannot read /nonexistent/draws.json"), std::string::npos) << lError;
  // A device is read only up to the bound, never until memory runs out.
  EXPECT_FALSE(vthud_tool::ParseDraws("/dev/zero", 1000, lDraws, lError));
  EXPECT_NE(lError.find("larger than 16 MiB"), std::string::npos) << lError;
}

TEST(PreviewFramePattern, OnlyOneFrameFieldIsAFormat) {
  vthud_tool::FramePattern lPattern;
  bool lIsPattern = false;
  std::string lError;
  ASSERT_TRUE(lPattern.Parse("out/100%%/hud.%04d.png", lIsPattern, lError)) << lError;
  EXPECT_TRUE(lIsPattern);
  EXPECT_EQ(lPattern.Expand(42), "out/100%/hud.0042.png");
  EXPECT_EQ(lPattern.Expand(-3), "out/100%/hud.-003.png");
  EXPECT_EQ(lPattern.Expand(123456), "out/100%/hud.123456.png");
  ASSERT_TRUE(lPattern.Parse("plain.png", lIsPattern, lError));
  EXPECT_FALSE(lIsPattern);
  EXPECT_EQ(lPattern.Expand(7), "plain.png");
  for (const char* lBad : {"hud.%s.png", "hud.%n.png", "a%d%d.png", "hud.%4d.png", "hud.%019d.png", "hud.%"})
    EXPECT_FALSE(lPattern.Parse(lBad, lIsPattern, lError)) << lBad;
}

}  // namespace
