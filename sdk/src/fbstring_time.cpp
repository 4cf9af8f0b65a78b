// Strings, times and timecodes.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>

#include <cmath>
#include <cstring>

namespace ORSDK2016 {

FBString::FBString(const char* pString, int pLen) {
  if (!pString) return;
  if (pLen < 0)
    mText = pString;
  else
    mText.assign(pString, strnlen(pString, static_cast<size_t>(pLen)));
}
FBString::FBString(const FBString& pString) : mText(pString.mText) {}
FBString::~FBString() = default;
FBString& FBString::operator=(const FBString& pString) {
  mText = pString.mText;
  return *this;
}
FBString& FBString::operator=(const char* pString) {
  mText = pString ? pString : "";
  return *this;
}
FBString& FBString::operator+=(const char* pString) {
  if (pString) mText += pString;
  return *this;
}
FBString FBString::operator+(const char* pString) const {
  FBString lResult(*this);
  lResult += pString;
  return lResult;
}
bool FBString::operator==(const char* pString) const { return mText == (pString ? pString : ""); }

const FBTime FBTime::Zero(0);
const FBTime FBTime::OneSecond(FBTime::kTicksPerSecond);
const FBTime FBTime::MinusInfinity(-0x7fffffffffffffffLL);
const FBTime FBTime::Infinity(0x7fffffffffffffffLL);

void FBTime::GetFrameRate(FBTimeMode pTimeMode, kLongLong& pNum, kLongLong& pDen) {
  if (pTimeMode == kFBTimeModeDefault || pTimeMode == kFBTimeModeCustom)
    pTimeMode = fbsdk_host::State().sceneTimeMode;
  pDen = 1;
  switch (pTimeMode) {
    case kFBTimeMode1000Frames: pNum = 1000; break;
    case kFBTimeMode120Frames: pNum = 120; break;
    case kFBTimeMode100Frames: pNum = 100; break;
    case kFBTimeMode96Frames: pNum = 96; break;
    case kFBTimeMode72Frames: pNum = 72; break;
    case kFBTimeMode60Frames: pNum = 60; break;
    case kFBTimeMode5994Frames:
      pNum = 60000;
      pDen = 1001;
      break;
    case kFBTimeMode50Frames: pNum = 50; break;
    case kFBTimeMode48Frames: pNum = 48; break;
    case kFBTimeMode2997Frames_Drop:
    case kFBTimeMode2997Frames:
      pNum = 30000;
      pDen = 1001;
      break;
    case kFBTimeMode25Frames: pNum = 25; break;
    case kFBTimeMode24Frames: pNum = 24; break;
    case kFBTimeMode23976Frames:
      pNum = 24000;
      pDen = 1001;
      break;
    default: pNum = 30; break;
  }
}

double FBTime::GetFrameRate(FBTimeMode pTimeMode) {
  kLongLong lNum, lDen;
  GetFrameRate(pTimeMode, lNum, lDen);
  return static_cast<double>(lNum) / static_cast<double>(lDen);
}

namespace {
// Nominal frames per timecode second: 30 for 29.97, 24 for 23.976.
kLongLong NominalRate(FBTimeMode pMode) {
  kLongLong lNum, lDen;
  FBTime::GetFrameRate(pMode, lNum, lDen);
  return (lNum + lDen - 1) / lDen;
}
}  // namespace

FBTime::FBTime(int pHour, int pMinute, int pSecond, int pFrame, int pField, FBTimeMode pTimeMode) : mTime(0) {
  SetTime(pHour, pMinute, pSecond, pFrame, pField, pTimeMode);
}

void FBTime::SetSecondDouble(double pSeconds) {
  mTime = static_cast<kLongLong>(std::llround(pSeconds * static_cast<double>(kTicksPerSecond)));
}

kLongLong FBTime::GetFrame(FBTimeMode pTimeMode) const {
  kLongLong lNum, lDen;
  GetFrameRate(pTimeMode, lNum, lDen);
  __int128 lFrames = static_cast<__int128>(mTime) * lNum / (static_cast<__int128>(kTicksPerSecond) * lDen);
  return static_cast<kLongLong>(lFrames);
}

void FBTime::SetFrame(kLongLong pFrames, FBTimeMode pTimeMode) {
  kLongLong lNum, lDen;
  GetFrameRate(pTimeMode, lNum, lDen);
  // Round away from zero: the time then lies inside its frame, so GetFrame's
  // truncation gives the same frame back at rates that are not whole ticks.
  const __int128 lScaled = static_cast<__int128>(pFrames) * kTicksPerSecond * lDen;
  __int128 lTicks = lScaled / lNum;
  if (lScaled % lNum != 0) lTicks += lScaled < 0 ? -1 : 1;
  mTime = static_cast<kLongLong>(lTicks);
}

bool FBTime::GetTime(int& pHour, int& pMinute, int& pSecond, int& pFrame, int& pField, int& pMilliSecond,
                     FBTimeMode pTimeMode) const {
  const kLongLong lRate = NominalRate(pTimeMode);
  const kLongLong lFrames = GetFrame(pTimeMode);
  const kLongLong lSeconds = lFrames / lRate;
  pFrame = static_cast<int>(lFrames % lRate);
  pSecond = static_cast<int>(lSeconds % 60);
  pMinute = static_cast<int>((lSeconds / 60) % 60);
  pHour = static_cast<int>(lSeconds / 3600);
  pField = 0;
  pMilliSecond = static_cast<int>(GetMilliSeconds() % 1000);
  return true;
}

void FBTime::SetTime(int pHour, int pMinute, int pSecond, int pFrame, int pField, FBTimeMode pTimeMode) {
  const kLongLong lRate = NominalRate(pTimeMode);
  SetFrame((static_cast<kLongLong>(pHour) * 3600 + pMinute * 60LL + pSecond) * lRate + pFrame, pTimeMode);
}

const float FBTimeCode::FRAMES_30 = -30.0f;
const float FBTimeCode::PAL_25 = -25.0f;
const float FBTimeCode::NTSC_FULL = -29.97f;
const float FBTimeCode::FILM_24 = -24.0f;
const float FBTimeCode::NTSC_DROP = 29.97f;

void FBTimeCode::SetTimeCode(int pHour, int pMinute, int pSecond, float pFrame) {
  mSeconds = static_cast<double>(pHour) * 3600.0 + pMinute * 60.0 + pSecond;
  mFrame = pFrame;
}

}  // namespace ORSDK2016
