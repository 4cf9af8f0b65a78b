// Time in ticks, frames at the scene's rate, timecode parts and the timecode
// layout the plug-in reads.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

namespace {

class Time : public ::testing::Test {
 protected:
  void SetUp() override { fbsdk_host::ResetState(); }
};

const kLongLong kSecond = 46186158000LL;

TEST_F(Time, TicksPerSecond) {
  EXPECT_EQ(kSecond, FBTime::kTicksPerSecond);
  EXPECT_EQ(kSecond, FBTime::OneSecond.Get());
  EXPECT_EQ(kSecond, FBTime::kTicksPerMilliSecond * 1000);
  EXPECT_EQ(kSecond, FBTime(0, 0, 1).Get());
  EXPECT_EQ(3600 * kSecond, FBTime(1, 0).Get());
}

TEST_F(Time, DefaultModeFollowsTheScene) {
  struct Case {
    FBTimeMode scene;
    kLongLong ticks;
    kLongLong frames;
  };
  const Case lCases[] = {
      {kFBTimeMode30Frames, kSecond, 30},
      {kFBTimeMode25Frames, kSecond, 25},
      {kFBTimeMode24Frames, kSecond, 24},
      {kFBTimeMode2997Frames, kSecond, 29},                // 29.97 frames, truncated
      {kFBTimeMode2997Frames, kSecond * 1001 / 1000, 30},  // exactly 30 frames
      {kFBTimeMode2997Frames, kSecond * 1001 / 1000 - 1, 29},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.scene);
    fbsdk_host::State().sceneTimeMode = c.scene;
    EXPECT_EQ(c.frames, FBTime(c.ticks).GetFrame());
    EXPECT_EQ(c.frames, FBTime(c.ticks).GetFrame(c.scene));
    // Frame numbers given without a mode are in the scene's rate too.
    EXPECT_EQ(12, FBTime(0, 0, 0, 12).GetFrame());
  }
}

TEST_F(Time, FramesTruncateTowardZero) {
  const kLongLong kFrame = kSecond / 30;
  struct Case {
    kLongLong ticks;
    kLongLong frames;
  };
  const Case lCases[] = {{kFrame / 2, 0},       {-kFrame / 2, 0},    {kFrame - 1, 0},
                         {-(kFrame - 1), 0},    {kFrame, 1},         {-kFrame, -1},
                         {-kFrame * 3 / 2, -1}, {-42 * kFrame, -42}, {-42 * kFrame - 1, -42}};
  for (const Case& c : lCases) EXPECT_EQ(c.frames, FBTime(c.ticks).GetFrame(kFBTimeMode30Frames)) << c.ticks;
  EXPECT_EQ(-42, FBTime(0, 0, 0, -42).GetFrame());
}

// Setting a frame and reading it back gives the same frame at every rate,
// including the ones whose frames are not a whole number of ticks.
TEST_F(Time, SetFrameRoundTripsAtEveryRate) {
  const FBTimeMode kModes[] = {kFBTimeMode30Frames,   kFBTimeMode25Frames,    kFBTimeMode24Frames,
                               kFBTimeMode2997Frames, kFBTimeMode23976Frames, kFBTimeMode5994Frames,
                               kFBTimeMode60Frames,   kFBTimeMode120Frames};
  for (FBTimeMode lMode : kModes) {
    for (kLongLong lFrame = -1000; lFrame <= 1000; ++lFrame) {
      FBTime lTime;
      lTime.SetFrame(lFrame, lMode);
      ASSERT_EQ(lFrame, lTime.GetFrame(lMode)) << "mode " << lMode;
    }
    fbsdk_host::State().sceneTimeMode = lMode;
    FBTime lTime;
    lTime.SetFrame(-42);
    EXPECT_EQ(-42, lTime.GetFrame()) << "mode " << lMode;
  }
}

struct Parts {
  int hour, minute, second, frame;
};
struct PartsCase {
  const char* name;
  FBTimeMode mode;
  kLongLong frames;
  Parts parts;
};

void ExpectParts(const PartsCase* pBegin, const PartsCase* pEnd) {
  for (const PartsCase* c = pBegin; c != pEnd; ++c) {
    SCOPED_TRACE(c->name);
    FBTime lTime;
    lTime.SetFrame(c->frames, c->mode);
    int h = 99, m = 99, s = 99, f = 99, lField = 99, lMs = 99;
    ASSERT_TRUE(lTime.GetTime(h, m, s, f, lField, lMs, c->mode));
    EXPECT_EQ(c->parts.hour, h);
    EXPECT_EQ(c->parts.minute, m);
    EXPECT_EQ(c->parts.second, s);
    EXPECT_EQ(c->parts.frame, f);
    EXPECT_EQ(0, lField);
    // The parts build the same time back.
    EXPECT_EQ(lTime, FBTime(h, m, s, f, 0, c->mode));
  }
}

TEST_F(Time, GetTimeRollsOverAtEachUnit) {
  const PartsCase lCases[] = {
      {"last frame of a second", kFBTimeMode30Frames, 29, {0, 0, 0, 29}},
      {"next second", kFBTimeMode30Frames, 30, {0, 0, 1, 0}},
      {"last frame of a minute", kFBTimeMode30Frames, 60 * 30 - 1, {0, 0, 59, 29}},
      {"next minute", kFBTimeMode30Frames, 60 * 30, {0, 1, 0, 0}},
      {"last frame of an hour", kFBTimeMode30Frames, 3600 * 30 - 1, {0, 59, 59, 29}},
      {"next hour", kFBTimeMode30Frames, 3600 * 30, {1, 0, 0, 0}},
      {"25 fps second", kFBTimeMode25Frames, 25, {0, 0, 1, 0}},
      {"25 fps last frame", kFBTimeMode25Frames, 24, {0, 0, 0, 24}},
      {"29.97 counts 30 a second", kFBTimeMode2997Frames, 30, {0, 0, 1, 0}},
      {"29.97 one real hour", kFBTimeMode2997Frames, 107892, {0, 59, 56, 12}},
  };
  ExpectParts(std::begin(lCases), std::end(lCases));
}

TEST_F(Time, GetTimeKeepsCountingPast24Hours) {
  const PartsCase lCases[] = {
      {"24 hours", kFBTimeMode30Frames, 24LL * 3600 * 30, {24, 0, 0, 0}},
      {"25:01:02:03", kFBTimeMode30Frames, ((25LL * 60 + 1) * 60 + 2) * 30 + 3, {25, 1, 2, 3}},
      {"100 hours at 24", kFBTimeMode24Frames, 100LL * 3600 * 24 + 23, {100, 0, 0, 23}},
  };
  ExpectParts(std::begin(lCases), std::end(lCases));
}

TEST_F(Time, GetTimeOfNegativeTimesIsNegativeInEveryPart) {
  const PartsCase lCases[] = {
      {"minus one frame", kFBTimeMode30Frames, -1, {0, 0, 0, -1}},
      {"minus one second", kFBTimeMode30Frames, -30, {0, 0, -1, 0}},
      {"minus 1:02:03:04", kFBTimeMode30Frames, -(((1LL * 60 + 2) * 60 + 3) * 30 + 4), {-1, -2, -3, -4}},
      {"minus one frame at 25", kFBTimeMode25Frames, -1, {0, 0, 0, -1}},
  };
  ExpectParts(std::begin(lCases), std::end(lCases));
}

TEST_F(Time, MilliSecondsTruncateTowardZero) {
  const kLongLong kMs = FBTime::kTicksPerMilliSecond;
  struct Case {
    kLongLong ticks, ms;
  };
  const Case lCases[] = {{kSecond + kSecond / 2, 1500},
                         {-(kSecond + kSecond / 2), -1500},
                         {1, 0},
                         {-1, 0},
                         {kMs - 1, 0},
                         {kMs, 1},
                         {-kMs, -1}};
  for (const Case& c : lCases) EXPECT_EQ(c.ms, FBTime(c.ticks).GetMilliSeconds()) << c.ticks;

  FBTime lTime;
  lTime.SetMilliSeconds(61250);
  EXPECT_EQ(61250, lTime.GetMilliSeconds());
  int h, m, s, f, lField, lMs;
  lTime.GetTime(h, m, s, f, lField, lMs, kFBTimeMode30Frames);
  EXPECT_EQ(1, m);
  EXPECT_EQ(1, s);
  EXPECT_EQ(7, f);
  EXPECT_EQ(250, lMs);
}

TEST_F(Time, TimeCodeLayout) {
  EXPECT_EQ(24u, sizeof(FBTimeCode));
  FBTimeCode lTimeCode;
  EXPECT_EQ(-30.0f, lTimeCode.GetRate());
  lTimeCode.SetTimeCode(1, 2, 3, 4.0f);
  EXPECT_EQ(3723.0, lTimeCode.GetSeconds());
  EXPECT_EQ(4.0, lTimeCode.GetFrame());

  unsigned char lBytes[sizeof(FBTimeCode)];
  std::memcpy(lBytes, &lTimeCode, sizeof lBytes);
  double lSeconds, lFrame;
  float lRate;
  std::memcpy(&lSeconds, lBytes + 0, sizeof lSeconds);
  std::memcpy(&lFrame, lBytes + 8, sizeof lFrame);
  std::memcpy(&lRate, lBytes + 16, sizeof lRate);
  EXPECT_EQ(3723.0, lSeconds);
  EXPECT_EQ(4.0, lFrame);
  EXPECT_EQ(-30.0f, lRate);
}

TEST_F(Time, TimeCodeRates) {
  EXPECT_EQ(-30.0f, FBTimeCode::FRAMES_30);
  EXPECT_EQ(-25.0f, FBTimeCode::PAL_25);
  EXPECT_EQ(-24.0f, FBTimeCode::FILM_24);
  EXPECT_EQ(-29.97f, FBTimeCode::NTSC_FULL);
  EXPECT_EQ(29.97f, FBTimeCode::NTSC_DROP);  // drop-frame is the only positive rate
}

}  // namespace
