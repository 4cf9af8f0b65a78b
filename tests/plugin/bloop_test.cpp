// The bloop: a flash for a set number of frames once recording starts, as a
// bar over the timeline rectangle or as an X across the canvas.
#include "hud_support.h"

using namespace vthud_test;

namespace {
const RGBA kBlue{0, 0, 255, 255};
}  // namespace

class Bloop : public QuietHudTest {
 protected:
  void Arrange() override { Set(element, "Bloop Color", "0 0 1 1"); }
  // One draw at a frame; whether the bar's middle is lit.
  bool LitAt(long long pFrame) {
    host->SetFrame(pFrame);
    return Probe(Draw(), 960, 100, kBlue, 2);
  }
};

// Armed at the last frame drawn before recording; lit for counts 1..12.
TEST_F(Bloop, BarFillsTheTimelineRectForTheDurationAfterRecordingStarts) {
  EXPECT_FALSE(LitAt(100));
  EXPECT_FALSE(LitAt(200)) << "the start frame follows the frame while armed";
  host->SetRecording(true);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(LitAt(201)) << "recording without playing never lights";
  host->SetPlaying(true);

  host->SetFrame(201);
  const vthost::Image lImage = Draw();
  for (auto [x, y] : {std::pair<int, int>{10, 90}, {1909, 90}, {10, 109}, {1909, 109}, {960, 100}})
    EXPECT_TRUE(Probe(lImage, x, y, kBlue)) << "inside the bar, Show Timeline off";
  for (auto [x, y] : {std::pair<int, int>{9, 100}, {1910, 100}, {960, 89}, {960, 110}})
    EXPECT_TRUE(Probe(lImage, x, y, kClear)) << "outside the bar";

  for (int lCount = 2; lCount <= 14; ++lCount) EXPECT_EQ(LitAt(200 + lCount), lCount <= 12) << "count " << lCount;
}

TEST_F(Bloop, ElementCreatedWhileRecordingWaitsForTheNextRecording) {
  host->Destroy(element);
  host->SetRecording(true);
  host->SetPlaying(true);
  host->SetFrame(10);
  std::string lError;
  element = static_cast<FBHUDElement*>(host->Create("VTHUDElement", "late", lError));
  ASSERT_NE(element, nullptr) << lError;
  Quiet();
  Arrange();
  for (int f = 11; f <= 14; ++f) EXPECT_FALSE(LitAt(f)) << "frame " << f;
  host->SetRecording(false);
  EXPECT_FALSE(LitAt(15));
  host->SetRecording(true);
  EXPECT_TRUE(LitAt(16));
}

// The X is drawn before the mask: its ends inside the bars are darkened by them.
TEST_F(Bloop, XStrokesCrossTheCanvasUnderTheMask) {
  Set(element, "Use X For Bloop", "true");
  Set(element, "Mask Color", "0 0 0 0.75");
  host->SetFrame(0);
  Draw();
  host->SetRecording(true);
  host->SetPlaying(true);
  host->SetFrame(1);
  const vthost::Image lImage = Draw();
  // Strokes: (0,H-75),(W-75,0),(W,40),(40,H) and (0,75),(75,0),(W,H-75),(W-75,H).
  for (auto [x, y] : {std::pair<int, int>{300, 889}, {1620, 165}, {300, 180}, {1620, 900}, {960, 540}})
    EXPECT_TRUE(Probe(lImage, x, y, kBlue)) << "on a stroke in the picture";
  for (auto [x, y] : {std::pair<int, int>{300, 830}, {300, 945}, {1620, 212}, {1620, 835}, {300, 245}, {960, 700}})
    EXPECT_TRUE(Probe(lImage, x, y, kClear)) << "between the strokes";
  // 0.75 black over opaque blue, against the bar alone.
  for (auto [x, y] : {std::pair<int, int>{30, 1040}, {1860, 1000}, {60, 40}})
    EXPECT_TRUE(Probe(lImage, x, y, {0, 0, 64, 255})) << "a stroke's end under a bar";
  for (auto [x, y] : {std::pair<int, int>{960, 1040}, {960, 100}})
    EXPECT_TRUE(Probe(lImage, x, y, {0, 0, 0, 191})) << "bar only: no X there and no timeline bar";
}
