#include "run_options.h"

#include <climits>
#include <utility>

namespace vthud_tool {

long long FrameLimit(FBTimeMode pMode) {
  kLongLong lNum = 0, lDen = 1;
  FBTime::GetFrameRate(pMode, lNum, lDen);
  // frame * ticks-per-second * den / num must stay inside a signed 64-bit tick
  // count; one frame is kept spare so that rounding up still fits.
  const __int128 lMax =
      static_cast<__int128>(LLONG_MAX) * lNum / (static_cast<__int128>(FBTime::kTicksPerSecond) * lDen);
  return static_cast<long long>(lMax) - 1;
}

namespace {

const std::pair<const char*, FBTimeMode> kModes[] = {
    {"24", kFBTimeMode24Frames},        {"25", kFBTimeMode25Frames},      {"30", kFBTimeMode30Frames},
    {"48", kFBTimeMode48Frames},        {"50", kFBTimeMode50Frames},      {"60", kFBTimeMode60Frames},
    {"23.976", kFBTimeMode23976Frames}, {"29.97", kFBTimeMode2997Frames}, {"59.94", kFBTimeMode5994Frames}};

}  // namespace

bool TimeModeFor(const std::string& pFps, FBTimeMode& pMode) {
  for (const auto& lMode : kModes)
    if (pFps == lMode.first) {
      pMode = lMode.second;
      return true;
    }
  return false;
}

bool TimeModeOfRate(long long pNumerator, long long pDenominator, FBTimeMode& pMode, std::string& pFpsText) {
  if (pNumerator <= 0 || pDenominator <= 0) return false;
  for (const auto& lMode : kModes) {
    kLongLong lNum = 0, lDen = 1;
    FBTime::GetFrameRate(lMode.second, lNum, lDen);
    // Compared as fractions: 24000/1001 is 23.976 and 48/2 is 24.
    if (static_cast<__int128>(lNum) * pDenominator == static_cast<__int128>(pNumerator) * lDen) {
      pMode = lMode.second;
      pFpsText = lMode.first;
      return true;
    }
  }
  return false;
}

}  // namespace vthud_tool
