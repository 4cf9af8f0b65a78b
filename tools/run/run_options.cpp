#include "run_options.h"

#include <climits>

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

}  // namespace vthud_tool
