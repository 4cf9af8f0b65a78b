#include "timecode_count.h"

#include <cstdio>

namespace vthud_tool {

namespace {

long long Nominal(const Rational& pRate) {
  return pRate.den > 0 && pRate.num > 0 ? (pRate.num + pRate.den - 1) / pRate.den : 1;
}

}  // namespace

bool Rational::operator==(const Rational& pOther) const {
  // Wide enough for any two rates read from a file.
  return static_cast<__int128>(num) * pOther.den == static_cast<__int128>(pOther.num) * den;
}

long long TimecodeFrames(int pHours, int pMinutes, int pSeconds, int pFrames, const Rational& pRate) {
  return ((pHours * 60LL + pMinutes) * 60 + pSeconds) * Nominal(pRate) + pFrames;
}

std::string TimecodeText(long long pFrames, const Rational& pRate) {
  const long long lNominal = Nominal(pRate);
  const long long lDay = 24 * 3600 * lNominal;
  long long lFrames = pFrames % lDay;
  if (lFrames < 0) lFrames += lDay;
  const long long lSeconds = lFrames / lNominal;
  char lText[96];
  snprintf(lText, sizeof lText, "%02lld:%02lld:%02lld:%02lld", lSeconds / 3600 % 24, lSeconds / 60 % 60,
           lSeconds % 60, lFrames % lNominal);
  return lText;
}

std::string OffsetTimecode(const std::string& pTimecode, long long pFrames, const Rational& pRate) {
  int h = 0, m = 0, s = 0, f = 0;
  char lEnd = 0;
  if (pTimecode.empty() || sscanf(pTimecode.c_str(), "%d:%d:%d:%d%c", &h, &m, &s, &f, &lEnd) != 4)
    return pTimecode;
  return TimecodeText(TimecodeFrames(h, m, s, f, pRate) + pFrames, pRate);
}

}  // namespace vthud_tool
