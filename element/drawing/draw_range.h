// Numbers from properties and the scene on their way to drawing. Offsets,
// frames and sizes can hold anything a user or a file puts there; the
// arithmetic on them runs in a wider type and the results are clamped here,
// so no sum overflows an int and every vertex stays exact in single precision.
#pragma once

#include <climits>
#include <cmath>

namespace vthud {

// Far outside the 1920 x 1080 canvas, yet small enough that adding any
// caption or outline offset stays inside int and inside float's exact range.
constexpr long long kDrawLimit = 1LL << 20;

inline int DrawCoord(long long pValue) noexcept {
  if (pValue < -kDrawLimit) return static_cast<int>(-kDrawLimit);
  if (pValue > kDrawLimit) return static_cast<int>(kDrawLimit);
  return static_cast<int>(pValue);
}

// NaN has no place on the canvas; it draws at 0.
inline int DrawCoord(double pValue) noexcept {
  if (std::isnan(pValue)) return 0;
  if (pValue < static_cast<double>(-kDrawLimit)) return static_cast<int>(-kDrawLimit);
  if (pValue > static_cast<double>(kDrawLimit)) return static_cast<int>(kDrawLimit);
  return static_cast<int>(pValue);
}

// The nearest int toward zero, saturating at the int limits; NaN gives 0.
inline int SaturateToInt(double pValue) noexcept {
  if (std::isnan(pValue)) return 0;
  if (pValue <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (pValue >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(pValue);
}

inline int SaturateToInt(long long pValue) noexcept {
  if (pValue < INT_MIN) return INT_MIN;
  if (pValue > INT_MAX) return INT_MAX;
  return static_cast<int>(pValue);
}

}  // namespace vthud
