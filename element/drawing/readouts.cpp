#include "readouts.h"

#include <cmath>
#include <cstdio>

#include "draw_range.h"

namespace vthud {

namespace {

// The overlay has always rounded these readouts through single precision;
// keeping the float step keeps the printed digits identical.
inline double s(double v) { return static_cast<double>(static_cast<float>(v)); }

// Feet and inches for a length in cm, e.g. " 3'03.4\"".
char* FormatFeetInches(double cm, char* buf, size_t size) {
  const float inches = static_cast<float>(cm / 2.54);
  // Lengths beyond the int range of inches (1e308 cm, infinity) saturate; NaN reads 0.
  const int wholeInches = SaturateToInt(static_cast<double>(inches));
  const int feet = wholeInches / 12;
  const bool inRange = std::fabs(static_cast<double>(inches)) < static_cast<double>(INT_MAX);
  const float remainder = inRange ? inches - static_cast<float>(feet * 12) : 0.0f;
  std::snprintf(buf, size, "%2d'%04.01f\"", feet, static_cast<double>(remainder));
  return buf;
}

}  // namespace

char* FormatSceneFrame(long long frame, char* buf, size_t size) noexcept {
  std::snprintf(buf, size, "%05lld", frame);
  return buf;
}

char* FormatTimecode(int h, int m, int s, int f, char* buf, size_t size) noexcept {
  std::snprintf(buf, size, "%02d:%02d:%02d:%02d", h, m, s, f);
  return buf;
}

double FocalLengthMm(int apertureMode, double filmWidthInches, double filmHeightInches, double fieldOfViewDeg,
                     double horizontalFieldOfViewDeg, double cameraFocalLengthMm) noexcept {
  const double filmWidthMm = filmWidthInches * 2.54 * 10;
  const double filmHeightMm = filmHeightInches * 2.54 * 10;
  switch (apertureMode) {
    case 0: return 0.5 * filmHeightMm / std::tan(fieldOfViewDeg * M_PI / 180 * 0.5);
    case 1: return 0.5 * filmWidthMm / std::tan(fieldOfViewDeg * M_PI / 180 * 0.5);
    case 2: return 0.5 * filmWidthMm / std::tan(horizontalFieldOfViewDeg * M_PI / 180 * 0.5);
    case 3: return cameraFocalLengthMm;
    default:
      // Unknown modes fall back to the tangent of a fixed half angle.
      return 0.5 * filmWidthMm / 0.5022185117656606;
  }
}

char* FormatFocalLength(double focalMm, char* buf, size_t size) noexcept {
  std::snprintf(buf, size, "%0.01f", s(focalMm));
  return buf;
}

char* FormatFStop(double fStop, char* buf, size_t size) noexcept {
  std::snprintf(buf, size, "%0.01f", s(fStop));
  return buf;
}

char* FormatFocusDistance(double cm, bool metric, char* buf, size_t size) noexcept {
  const double d = s(cm);
  if (!metric) return FormatFeetInches(d, buf, size);
  std::snprintf(buf, size, "%0.01fcm", d);
  return buf;
}

char* FormatInterocular(double cm, bool metric, char* buf, size_t size) noexcept {
  if (metric)
    std::snprintf(buf, size, "%0.02fcm", cm);
  else
    std::snprintf(buf, size, "%4.02f\"", s(cm / 2.54));
  return buf;
}

char* FormatConvergence(double cm, bool metric, char* buf, size_t size) noexcept {
  if (!metric) return FormatFeetInches(cm, buf, size);
  std::snprintf(buf, size, "%0.01fcm", cm);
  return buf;
}

double FramesPerSecond(double averageFrameMs) noexcept {
  return averageFrameMs > 0 ? 1 / (averageFrameMs / 1000) : 0;
}

char* FormatFramesPerSecond(double averageFrameMs, char* buf, size_t size) noexcept {
  std::snprintf(buf, size, "%0.01f", FramesPerSecond(averageFrameMs));
  return buf;
}

char* FormatValue(double value, char* buf, size_t size) noexcept {
  std::snprintf(buf, size, "%0.1f", value);
  return buf;
}

}  // namespace vthud
