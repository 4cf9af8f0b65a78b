#ifndef FBSDK_FBTIME_H
#define FBSDK_FBTIME_H
// Time as exact integer ticks (46,186,158,000 a second) and the 24-byte timecode.
#include <fbsdk/fbdefs.h>

namespace ORSDK2016 {

enum FBTimeMode {
  kFBTimeModeDefault,
  kFBTimeMode1000Frames,
  kFBTimeMode120Frames,
  kFBTimeMode100Frames,
  kFBTimeMode96Frames,
  kFBTimeMode72Frames,
  kFBTimeMode60Frames,
  kFBTimeMode5994Frames,
  kFBTimeMode50Frames,
  kFBTimeMode48Frames,
  kFBTimeMode30Frames,
  kFBTimeMode2997Frames_Drop,
  kFBTimeMode2997Frames,
  kFBTimeMode25Frames,
  kFBTimeMode24Frames,
  kFBTimeMode23976Frames,
  kFBTimeModeCustom
};

class FBSDK_DLL FBTime {
 public:
  static const kLongLong kTicksPerSecond = 46186158000LL;
  static const kLongLong kTicksPerMilliSecond = 46186158LL;

  FBTime(kLongLong pTime = 0) : mTime(pTime) {}
  FBTime(int pHour, int pMinute, int pSecond = 0, int pFrame = 0, int pField = 0,
         FBTimeMode pTimeMode = kFBTimeModeDefault);

  kLongLong Get() const { return mTime; }
  void Set(kLongLong pTime) { mTime = pTime; }
  double GetSecondDouble() const { return static_cast<double>(mTime) / kTicksPerSecond; }
  void SetSecondDouble(double pSeconds);
  kLongLong GetMilliSeconds() const { return mTime / kTicksPerMilliSecond; }
  void SetMilliSeconds(kLongLong pMilliSeconds) { mTime = pMilliSeconds * kTicksPerMilliSecond; }

  // Whole frames since time zero, truncated toward zero. The default mode is
  // the scene's frame rate.
  kLongLong GetFrame(FBTimeMode pTimeMode = kFBTimeModeDefault) const;
  void SetFrame(kLongLong pFrames, FBTimeMode pTimeMode = kFBTimeModeDefault);
  // Splits the time into timecode parts counted at the mode's nominal rate.
  bool GetTime(int& pHour, int& pMinute, int& pSecond, int& pFrame, int& pField, int& pMilliSecond,
               FBTimeMode pTimeMode = kFBTimeModeDefault) const;
  void SetTime(int pHour, int pMinute, int pSecond = 0, int pFrame = 0, int pField = 0,
               FBTimeMode pTimeMode = kFBTimeModeDefault);

  // Frames per second of a mode, as an exact fraction; kFBTimeModeDefault
  // resolves to the scene's mode.
  static void GetFrameRate(FBTimeMode pTimeMode, kLongLong& pNumerator, kLongLong& pDenominator);
  static double GetFrameRate(FBTimeMode pTimeMode);

  bool operator==(const FBTime& o) const { return mTime == o.mTime; }
  bool operator!=(const FBTime& o) const { return mTime != o.mTime; }
  bool operator<(const FBTime& o) const { return mTime < o.mTime; }
  bool operator<=(const FBTime& o) const { return mTime <= o.mTime; }
  bool operator>(const FBTime& o) const { return mTime > o.mTime; }
  bool operator>=(const FBTime& o) const { return mTime >= o.mTime; }
  FBTime operator+(const FBTime& o) const { return FBTime(mTime + o.mTime); }
  FBTime operator-(const FBTime& o) const { return FBTime(mTime - o.mTime); }

  static const FBTime Zero;
  static const FBTime OneSecond;
  static const FBTime MinusInfinity;
  static const FBTime Infinity;

 private:
  kLongLong mTime;
};

// Timecode: seconds and frame as doubles first, then the rate (negative for
// non-drop rates), 24 bytes in all.
class FBSDK_DLL FBTimeCode {
 public:
  static const float FRAMES_30;
  static const float PAL_25;
  static const float NTSC_FULL;
  static const float FILM_24;
  static const float NTSC_DROP;

  FBTimeCode(float pRate = FRAMES_30) : mSeconds(0.0), mFrame(0.0), mRate(pRate), mReserved(0) {}
  void SetTimeCode(int pHour, int pMinute = 0, int pSecond = 0, float pFrame = 0.0f);
  double GetSeconds() const { return mSeconds; }
  double GetFrame() const { return mFrame; }
  float GetRate() const { return mRate; }
  void SetRaw(double pSeconds, double pFrame) {
    mSeconds = pSeconds;
    mFrame = pFrame;
  }
  bool operator==(const FBTimeCode& o) const {
    return mSeconds == o.mSeconds && mFrame == o.mFrame && mRate == o.mRate;
  }
  bool operator!=(const FBTimeCode& o) const { return !(*this == o); }

 private:
  double mSeconds;
  double mFrame;
  float mRate;
  int mReserved;
};
static_assert(sizeof(FBTimeCode) == 24, "FBTimeCode is 24 bytes");

}  // namespace ORSDK2016

#endif
