// Text of the HUD readouts. Every value is printed with the precision the
// overlay has always shown, so a readout never jitters between releases.
// Each formatter writes into the caller's buffer (cut to fit, always
// terminated when size > 0) and returns that buffer.
#pragma once

#include <cstddef>

namespace vthud {

// Scene frame number, zero padded to five characters ("00042", "-0042").
char* FormatSceneFrame(long long frame, char* buf, size_t size) noexcept;

// "HH:MM:SS:FF".
char* FormatTimecode(int h, int m, int s, int f, char* buf, size_t size) noexcept;

// Lens focal length in mm derived from the camera's aperture mode:
// 0 vertical fov over film height, 1 fov over film width, 2 horizontal fov
// over film width, 3 the camera's own focal length; anything else assumes a
// fixed 53.13 degree horizontal view. Film sizes are given in inches.
double FocalLengthMm(int apertureMode, double filmWidthInches, double filmHeightInches, double fieldOfViewDeg,
                     double horizontalFieldOfViewDeg, double cameraFocalLengthMm) noexcept;
char* FormatFocalLength(double focalMm, char* buf, size_t size) noexcept;

char* FormatFStop(double fStop, char* buf, size_t size) noexcept;

// Distances come in cm. Imperial shows feet and inches: " 3'03.4\"".
char* FormatFocusDistance(double cm, bool metric, char* buf, size_t size) noexcept;
char* FormatInterocular(double cm, bool metric, char* buf, size_t size) noexcept;
char* FormatConvergence(double cm, bool metric, char* buf, size_t size) noexcept;

// Rate from the average frame time; 0 while no frame time is known.
double FramesPerSecond(double averageFrameMs) noexcept;
char* FormatFramesPerSecond(double averageFrameMs, char* buf, size_t size) noexcept;

// The two user-supplied free values.
char* FormatValue(double value, char* buf, size_t size) noexcept;

}  // namespace vthud
