// The preview tool driven by OpenTrackIO recordings made here: each frame's
// readouts against a frame drawn with the same values set by hand, the two
// ways of matching samples to frames, and the recordings it refuses.
// Canvas coordinates: origin bottom left, y up.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QJsonDocument>

#include "hud_support.h"
#include "png_image.h"
#include "tool_fixture.h"

namespace {

using vthud_test::Quote;
using vthud_test::Result;
using vthud_test::Slurp;
using vthud_test::ToolTest;

// One sample as a tracker sends it, with a transform and custom data the
// tool ignores. pExtra is spliced in as further top-level members.
struct Lens {
  double focal, fStop, tStop, focus;
};
std::string Sample(int pHours, int pSeconds, int pFrame, const Lens& pLens, bool pRecording,
                   const std::string& pExtra = "") {
  char lText[1024];
  snprintf(lText, sizeof lText,
           R"({"protocol": {"name": "OpenTrackIO", "version": [1, 0, 0]}, "timing": {"sampleRate": {"num": 30, )"
           R"("denom": 1}, "timecode": {"hours": %d, "minutes": %d, "seconds": %d, "frames": %d, "format": )"
           R"({"frameRate": {"num": 30, "denom": 1}}}}, "lens": {"pinholeFocalLength": %g, "fStop": %g, )"
           R"("tStop": %g, "focusDistance": %g, "distortion": [{"radial": [0.1]}]}, "tracker": {"recording": )"
           R"(%s, "slate": "A012_T3"}, "transforms": [{"translation": {"x": 1, "y": 2, "z": 3}, "rotation": )"
           R"({"pan": 0, "tilt": 0, "roll": 0}}], "custom": {"pot": 7}%s})",
           pHours, pSeconds / 60, pSeconds % 60, pFrame, pLens.focal, pLens.fStop, pLens.tStop, pLens.focus,
           pRecording ? "true" : "false", pExtra.empty() ? "" : (", " + pExtra).c_str());
  return lText;
}

const char* const kStatic =
    R"("static": {"camera": {"label": "A-Cam", "anamorphicSqueeze": {"num": 2, "denom": 1}, )"
    R"("fdlLink": "urn:uuid:3f1c2a9e-8b7d-4e61-9c05-6d2a41b7e8f3"}})";

// The fields whose readouts the recording drives.
const std::vector<std::string> kShown{"--set", "Show F-Stop=true",      "--set", "Show Focus Distance=true",
                                      "--set", "Show Camera Name=true", "--set", "Show Slate=true"};

class TrackingTest : public ToolTest {
 protected:
  Result Shown(std::vector<std::string> pArguments) {
    pArguments.insert(pArguments.end(), kShown.begin(), kShown.end());
    return Tool(pArguments);
  }
  void Write(const std::string& pName, const std::vector<std::string>& pLines) {
    std::ofstream lFile(dir + "/" + pName);
    for (const std::string& lLine : pLines) lFile << lLine << "\n";
  }
};

// The top row (lens, camera name, FQN, slate) and the camera timecode field.
bool SameTopRow(const vthost::Image& pA, const vthost::Image& pB) {
  return vthud_test::DiffBox(pA, pB, 0, 1000, 1920, 1080).empty;
}
bool SameCameraTimecode(const vthost::Image& pA, const vthost::Image& pB) {
  return vthud_test::DiffBox(pA, pB, 800, 25, 1080, 75).empty;
}
bool BarBloopLit(const vthost::Image& pImage) { return pImage.At(500, 1079 - 100)[0] > 32; }
int StatusRed(const vthost::Image& pImage) {
  int lRed = 0;
  for (int y = 24; y < 70; ++y)
    for (int x = 1700; x < 1900; ++x) {
      const uint8_t* p = pImage.At(x, 1079 - y);
      if (p[0] > 200 && p[1] < 80) ++lRed;
    }
  return lRed;
}
std::string Number(double pValue) {
  std::ostringstream lText;
  lText << pValue;
  return lText.str();
}

TEST_F(TrackingTest, RecordingOverAProResPlateDrivesTheReadoutsFrameByFrameMatchedByTimecode) {
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=c=0x204060:s=320x180:r=30 -frames:v 8 -timecode "
                    "10:00:00:00 -c:v prores_ks " +
                    Quote(dir + "/plate.mov"))
                       .c_str()),
            0);
  // Two samples of pre-roll before the plate's first frame, then one a frame:
  // a zoom on frame 3, an iris change on 5, a focus pull on 6, rolling from 4.
  auto LensOf = [](int f) {
    return Lens{f < 3 ? 35.0 : 50.0, f < 5 ? 2.8 : 4.0, f < 5 ? 3.2 : 4.4, f < 6 ? 2.5 : 1.25};
  };
  std::vector<std::string> lLines{Sample(9, 3599, 28, Lens{24, 1.4, 1.5, 9}, true, kStatic),
                                  Sample(9, 3599, 29, Lens{24, 1.4, 1.5, 9}, true)};
  for (int f = 0; f < 8; ++f) lLines.push_back(Sample(10, 0, f, LensOf(f), f >= 4));
  Write("take.jsonl", lLines);

  const Result r = Shown({"--frames", "0:7", "--background", dir + "/plate.mov", "--camera-source",
                          "from-background", "--tracking", dir + "/take.jsonl", "--out", dir + "/s.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("no sample"), std::string::npos) << r.err;
  for (int f = 0; f < 8; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const Lens l = LensOf(f);
    const Result lReference = Shown({"--frame",
                                     std::to_string(f),
                                     "--background",
                                     dir + "/plate.mov",
                                     "--aperture-mode",
                                     "3",
                                     "--focal-length",
                                     Number(l.focal),
                                     "--fstop",
                                     Number(l.fStop),
                                     "--focus-distance",
                                     Number(l.focus * 100),
                                     "--camera-name",
                                     "A-Cam",
                                     "--set",
                                     "Slate=A012_T3",
                                     "--set",
                                     "Camera Hour=10",
                                     "--set",
                                     "Camera Frame=" + std::to_string(f),
                                     "--out",
                                     dir + "/ref.png"});
    ASSERT_EQ(lReference.status, 0) << lReference.err;
    const vthost::Image lFrame = Png("s." + std::to_string(f) + ".png");
    EXPECT_TRUE(SameTopRow(lFrame, Png("ref.png"))) << "lens, camera or slate unlike the values set by hand";
    EXPECT_TRUE(SameCameraTimecode(lFrame, Png("ref.png"))) << "camera timecode is not 10:00:00:0" << f;
    EXPECT_EQ(BarBloopLit(lFrame), f >= 4);
    EXPECT_EQ(StatusRed(lFrame) > 50, f >= 4) << "REC from the frame the tracker rolls";
  }

  // The T-stop instead of the f-stop; a value given by hand wins over the recording.
  const Result lTStop =
      Shown({"--background", dir + "/plate.mov", "--camera-source", "from-background", "--tracking",
             dir + "/take.jsonl", "--tracking-iris", "tstop", "--focus-distance", "400", "--out", dir + "/t.png"});
  ASSERT_EQ(lTStop.status, 0) << lTStop.err;
  ASSERT_EQ(Shown({"--background", dir + "/plate.mov", "--aperture-mode", "3", "--focal-length", "35", "--fstop",
                   "3.2", "--focus-distance", "400", "--camera-name", "A-Cam", "--set", "Slate=A012_T3", "--out",
                   dir + "/ref.png"})
                .status,
            0);
  EXPECT_TRUE(SameTopRow(Png("t.png"), Png("ref.png")));
}

TEST_F(TrackingTest, OrderAndTimecodeAgreeWithoutGapsAndAGapHoldsWithOneWarning) {
  auto LensOf = [](int f) { return Lens{30.0 + f, 2.0 + f, 2.5 + f, 1.0 + f}; };
  std::vector<std::string> lGapless, lGap;
  for (int f = 0; f < 6; ++f) {
    lGapless.push_back(Sample(1, 0, f, LensOf(f), false));
    if (f != 2 && f != 3) lGap.push_back(Sample(1, 0, f, LensOf(f), false));
  }
  Write("gapless.jsonl", lGapless);
  Write("gap.jsonl", lGap);
  // One JSON array holds the same samples as JSON Lines do, here on one line as a script's json.dump writes it.
  {
    std::ofstream lArray(dir + "/gapless.json");
    lArray << "[";
    for (size_t i = 0; i < lGapless.size(); ++i) lArray << lGapless[i] << (i + 1 < lGapless.size() ? ", " : "]\n");
  }
  const std::vector<std::pair<std::string, std::vector<std::string>>> lRuns{
      {"a", {"--tracking", dir + "/gapless.jsonl"}},
      {"o", {"--tracking", dir + "/gapless.json", "--tracking-match", "order"}},
      {"g", {"--tracking", dir + "/gap.jsonl"}},
      {"go", {"--tracking", dir + "/gap.jsonl", "--tracking-match", "order"}}};
  std::string lWarnings[4];
  for (size_t i = 0; i < lRuns.size(); ++i) {
    std::vector<std::string> lArguments = lRuns[i].second;
    lArguments.insert(lArguments.end(), {"--frames", "0:5", "--out", dir + "/" + lRuns[i].first + ".%d.png"});
    const Result r = Shown(lArguments);
    ASSERT_EQ(r.status, 0) << r.err;
    lWarnings[i] = r.err;
  }
  EXPECT_EQ(lWarnings[0].find("no sample"), std::string::npos) << lWarnings[0];
  EXPECT_EQ(lWarnings[1].find("no sample"), std::string::npos) << lWarnings[1];
  for (int f = 0; f < 6; ++f) {
    const std::string lFrame = "." + std::to_string(f) + ".png";
    EXPECT_TRUE(vthud_test::DiffBox(Png("a" + lFrame), Png("o" + lFrame), 0, 0, 1920, 1080).empty) << f;
    // By timecode the gap's two frames hold frame 1's sample, timecode included; the rest are the gapless ones.
    const vthost::Image lHeld = Png("g" + lFrame),
                        lWant = Png(std::string("a.") + (f == 2 || f == 3 ? "1" : std::to_string(f)) + ".png");
    EXPECT_TRUE(SameTopRow(lHeld, lWant) && SameCameraTimecode(lHeld, lWant)) << "frame " << f;
  }
  const std::string kOnce =
      "vthud_preview: --tracking: 2 of 6 frames have no sample in " + dir +
      "/gap.jsonl and hold the last values (the first: frame 2, camera timecode 01:00:00:02)\n";
  EXPECT_NE(lWarnings[2].find(kOnce), std::string::npos) << lWarnings[2];
  EXPECT_EQ(lWarnings[2].find("no sample"), lWarnings[2].rfind("no sample")) << "one warning";
  // In order the gap closes up: frame 2 takes the sample of 01:00:00:04, and the last two frames hold.
  EXPECT_TRUE(SameTopRow(Png("go.2.png"), Png("a.4.png")));
  EXPECT_NE(lWarnings[3].find("2 of 6 frames have no sample in " + dir +
                              "/gap.jsonl and hold the last values "
                              "(the first: frame 4)"),
            std::string::npos)
      << lWarnings[3];

  // The FDL the camera links is checked against --fdl: another uuid and squeeze warn, the same say nothing.
  const std::string lFdl = std::string(VTHUD_SOURCE_DIR) + "/docs/fdl/a-cam-anamorphic.fdl";
  Write("linked.jsonl", {Sample(1, 0, 0, LensOf(0), false, kStatic)});
  std::string lOther = kStatic;
  lOther.replace(lOther.find("3f1c2a9e"), 8, "00000000");
  lOther.replace(lOther.find("\"num\": 2"), 8, "\"num\": 1");
  Write("other.jsonl", {Sample(1, 0, 0, LensOf(0), false, lOther)});
  const Result lSame = Tool({"--fdl", lFdl, "--tracking", dir + "/linked.jsonl", "--out", dir + "/x.png"});
  ASSERT_EQ(lSame.status, 0) << lSame.err;
  EXPECT_EQ(lSame.err.find("--tracking"), std::string::npos) << lSame.err;
  const Result lOtherFdl = Tool({"--fdl", lFdl, "--tracking", dir + "/other.jsonl", "--out", dir + "/x.png"});
  ASSERT_EQ(lOtherFdl.status, 0) << lOtherFdl.err;
  EXPECT_NE(lOtherFdl.err.find("vthud_preview: --tracking: " + dir +
                               "/other.jsonl line 1 links the FDL urn:uuid:00000000-8b7d-4e61-9c05-6d2a41b7e8f3, "
                               "and --fdl " +
                               lFdl +
                               " is uuid '3f1c2a9e-8b7d-4e61-9c05-6d2a41b7e8f3'; the camera's "
                               "anamorphic squeeze 1/1 (line 1) differs from the FDL canvas's 2\n"),
            std::string::npos)
      << lOtherFdl.err;
}

TEST_F(TrackingTest, PlateTimecodeIsWhereMatchingStartsAndOnePrettyPrintedSampleIsARecording) {
  // The tracker streamed two frames before the camera rolled at 01:00:00:02.
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=c=0x204060:s=320x180:r=30 -frames:v 3 -timecode "
                    "01:00:00:02 -c:v prores_ks " +
                    Quote(dir + "/plate.mov"))
                       .c_str()),
            0);
  std::vector<std::string> lLines;
  for (int f = 0; f < 5; ++f) lLines.push_back(Sample(1, 0, f, Lens{20.0 + 10 * f, 2.8, 3, 2}, false));
  Write("take.jsonl", lLines);
  const std::vector<std::pair<std::string, std::vector<std::string>>> lRuns{
      {"plain", {}}, {"from", {"--camera-source", "from-background"}}, {"order", {"--tracking-match", "order"}}};
  for (const auto& lRun : lRuns) {
    std::vector<std::string> lArguments{"--frames",     "0:2",
                                        "--background", dir + "/plate.mov",
                                        "--tracking",   dir + "/take.jsonl",
                                        "--out",        dir + "/" + lRun.first + ".%d.png"};
    lArguments.insert(lArguments.end(), lRun.second.begin(), lRun.second.end());
    const Result r = Shown(lArguments);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  for (int f = 0; f < 3; ++f) {
    const std::string lFrame = "." + std::to_string(f) + ".png";
    EXPECT_TRUE(SameTopRow(Png("plain" + lFrame), Png("from" + lFrame)))
        << "frame " << f << " took another sample";
    EXPECT_FALSE(SameTopRow(Png("plain" + lFrame), Png("order" + lFrame))) << "frame " << f;
  }

  // The protocol's own examples: one object over many lines.
  std::ofstream(dir + "/pretty.json") << QJsonDocument::fromJson(QByteArray::fromStdString(lLines[3]))
                                             .toJson(QJsonDocument::Indented)
                                             .toStdString();
  Write("one.jsonl", {lLines[3]});
  for (const std::string& lName : {"pretty.json", "one.jsonl"}) {
    const Result r = Shown({"--tracking", dir + "/" + lName, "--out", dir + "/" + lName + ".png"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  EXPECT_TRUE(SameTopRow(Png("pretty.json.png"), Png("one.jsonl.png")));
  EXPECT_TRUE(SameCameraTimecode(Png("pretty.json.png"), Png("one.jsonl.png")));
}

TEST_F(TrackingTest, BadRecordingsAreRefusedWithTheirLineAndPathAndNothingIsWritten) {
  const std::string lGood = Sample(1, 0, 0, Lens{35, 2.8, 3, 2}, false);
  auto With = [&](const std::string& pFrom, const std::string& pTo) {
    std::string lText = lGood;
    const size_t lAt = lText.find(pFrom);
    EXPECT_NE(lAt, std::string::npos) << pFrom;
    return lAt == std::string::npos ? lText : lText.replace(lAt, pFrom.size(), pTo);
  };
  const struct {
    std::vector<std::string> lines;
    std::vector<std::string> options;
    std::string message;
  } kBad[] = {
      {{lGood, "{\"lens\": {"}, {}, "line 2: not JSON: "},
      {{lGood, "", "42"}, {}, "line 3: a sample must be one JSON object"},
      {{"[", lGood + ",", "{\"lens\": {\"fStop\": -1}}", "]"}, {}, "line 3: lens.fStop: must be above 0, got -1"},
      {{"[", lGood + ",", "{\"lens\": }", "]"}, {}, "line 3: not JSON: "},
      {{"[" + lGood + ", " + lGood + ", {\"lens\": {\"fStop\": -1}}]"},
       {},
       "line 1, sample 3: lens.fStop: must be above 0, got -1"},
      {{"[" + lGood + ",", lGood + ", " + With("\"hours\": 1", "\"hours\": 24") + "]"},
       {},
       "line 2, sample 2: timing.timecode.hours: must be from 0 to 23, got 24"},
      {{"[" + lGood + ", " + With("\"timecode\"", "\"noTimecode\"") + "]"},
       {},
       "line 1, sample 2: timing.timecode: is missing, and the first sample has one"},
      {{"   "}, {}, "holds no samples"},
      {{With("\"lens\": {", "\"lens\": 7, \"x\": {")}, {}, "line 1: lens: must be an object"},
      {{With("\"pinholeFocalLength\": 35", "\"pinholeFocalLength\": \"35\"")},
       {},
       "line 1: lens.pinholeFocalLength: must be a number"},
      {{With("\"tStop\": 3", "\"tStop\": 0")}, {}, "line 1: lens.tStop: must be above 0, got 0"},
      {{With("\"focusDistance\": 2", "\"focusDistance\": -0.5")},
       {},
       "line 1: lens.focusDistance: must be above 0, got -0.5"},
      {{lGood, With("\"hours\": 1", "\"hours\": 24")},
       {},
       "line 2: timing.timecode.hours: must be from 0 to 23, got 24"},
      {{With("\"frames\": 0", "\"frames\": 1.5")}, {}, "line 1: timing.timecode.frames: must be a whole number"},
      {{With("\"frames\": 0", "\"frames\": 30")},
       {},
       "line 1: timing.timecode.frames: must be below 30 at 30/1 frames a second, got 30"},
      {{With("\"minutes\": 0, ", "")}, {}, "line 1: timing.timecode.minutes: is required and missing"},
      {{With("\"format\": {\"frameRate\": {\"num\": 30, \"denom\": 1}}", "\"format\": {}")},
       {},
       "line 1: timing.timecode.format.frameRate: is required and missing"},
      {{With("\"frameRate\": {\"num\": 30, \"denom\": 1}", "\"frameRate\": {\"num\": 30, \"denom\": 0}")},
       {},
       "line 1: timing.timecode.format.frameRate.denom: must be from 1 to 4294967295, got 0"},
      {{With("\"sampleRate\": {\"num\": 30", "\"sampleRate\": {\"num\": \"30\"")},
       {},
       "line 1: timing.sampleRate.num: must be a whole number"},
      {{With("\"recording\": false", "\"recording\": \"no\"")},
       {},
       "line 1: tracker.recording: must be true or false"},
      {{With("\"slate\": \"A012_T3\"", "\"slate\": \"\"")},
       {},
       "line 1: tracker.slate: must be 1 to 1023 characters long, got 0"},
      {{Sample(1, 0, 0, Lens{35, 2.8, 3, 2}, false, R"("static": {"camera": {"label": 5}})")},
       {},
       "line 1: static.camera.label: must be a string"},
      {{Sample(1, 0, 0, Lens{35, 2.8, 3, 2}, false,
               R"("static": {"camera": {"anamorphicSqueeze": {"num": 0, "denom": 1}}})")},
       {},
       "line 1: static.camera.anamorphicSqueeze.num: must be from 1 to 2147483647, got 0"},
      {{Sample(1, 0, 0, Lens{35, 2.8, 3, 2}, false, R"("static": {"camera": {"fdlLink": "urn:uuid:3F1C2A9E"}})")},
       {},
       "line 1: static.camera.fdlLink: must be a URN urn:uuid: with a lower-case uuid, got 'urn:uuid:3F1C2A9E'"},
      {{With("{\"frameRate\"", "{\"dropFrame\": true, \"frameRate\"")},
       {},
       "line 1: timing.timecode: drop-frame timecode is refused: the timecode sources count whole frames"},
      {{lGood},
       {"--fps", "25"},
       "line 1: timing.timecode: the recording's timecode runs at 30/1 frames a second and the scene at 25/1 "
       "(--fps)"},
      {{With("\"sampleRate\": {\"num\": 30", "\"sampleRate\": {\"num\": 60")},
       {"--tracking-match", "order"},
       "line 1: timing.sampleRate: the recording runs at 60/1 samples a second and the scene at 30/1 frames "
       "(--fps)"},
      {{lGood, With("\"timecode\"", "\"noTimecode\"")},
       {},
       "line 2: timing.timecode: is missing, and the first sample has one"},
      {{R"({"lens": {"fStop": 2}})"}, {}, "no sample carries timing.timecode to match frames by"},
  };
  for (const auto& lCase : kBad) {
    SCOPED_TRACE(lCase.message);
    Write("bad.jsonl", lCase.lines);
    std::vector<std::string> lArguments{"--tracking", dir + "/bad.jsonl", "--out", dir + "/never.mov"};
    lArguments.insert(lArguments.end(), lCase.options.begin(), lCase.options.end());
    const Result r = Tool(lArguments);
    EXPECT_EQ(r.status, 1);
    const std::string lWant = "vthud_preview: --tracking " + dir + "/bad.jsonl: " + lCase.message;
    EXPECT_EQ(r.err.rfind(lWant, 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
    EXPECT_NE(access((dir + "/never.mov").c_str(), F_OK), 0) << "nothing is written";
  }
}

TEST_F(TrackingTest, ListPropertiesShowsTheValuesAfterTheFilesAndSettings) {
  ASSERT_EQ(
      Tool({"--set", "Show Slate=true", "--save-layout", dir + "/look.json", "--out", dir + "/x.png"}).status, 0);
  const Result r = Tool({"--layout", dir + "/look.json", "--fdl",
                         std::string(VTHUD_SOURCE_DIR) + "/docs/fdl/a-cam-anamorphic.fdl", "--set", "Slate=A12",
                         "--camera-name", "B-Cam", "--focal-length", "50", "--list-properties"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto Value = [&](const std::string& pName) {
    const size_t lAt = r.out.find("  " + pName + " ");
    if (lAt == std::string::npos) return std::string();
    std::istringstream lLine(r.out.substr(lAt, r.out.find('\n', lAt) - lAt));
    std::string lWord, lType, lValue;
    for (long i = 0; i <= std::count(pName.begin(), pName.end(), ' '); ++i) lLine >> lWord;
    lLine >> lType >> lValue;
    return lValue;
  };
  EXPECT_EQ(Value("Show Slate"), "true") << "from --layout";
  EXPECT_EQ(Value("Slate"), "\"A12\"") << "from --set";
  EXPECT_NE(Value("Aspect"), "2.35") << "from --fdl";
  EXPECT_EQ(Value("FocalLength"), "50") << "the camera's";
  EXPECT_NE(r.out.find("viewed camera 'B-Cam'"), std::string::npos) << r.out;
}

}  // namespace
