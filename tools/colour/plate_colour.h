#ifndef VTHUD_TOOLS_PLATE_COLOUR_H
#define VTHUD_TOOLS_PLATE_COLOUR_H
// The colour half of a plate shown through the show's colour: the layouts a
// plate is decoded in (16-bit RGBA, or float planes as FFmpeg's decoders give
// them) and the transform of one raw frame to display values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "show_colour.h"

namespace vthud_tool {

// The raw frames a plate is decoded in.
struct PlateLayout {
  enum class Kind { Rgba64, FloatRgb, FloatRgba, FloatGrey };
  Kind kind = Kind::Rgba64;
  int width = 0, height = 0;
  // For a video: the matrix and range its YUV is decoded by ("" for RGB).
  std::string matrix, range;
  size_t FrameBytes() const;
};

// The transform of one raw frame of pLayout in pRaw (its floats made finite
// in place) to 8-bit RGBA display values at the plate's own size, row y at
// pOut + y * pOutStride (a negative stride turns the picture over).
// pRaw may be a decoder's own 16-bit frame, its rows packed; float planes
// must be laid one after the other, as CopyManagedFrame lays them.
void PlateToDisplay(const PlateLayout& pLayout, const ShowColour& pColour, uint8_t* pRaw, uint8_t* pOut,
                    ptrdiff_t pOutStride);

}  // namespace vthud_tool

#endif
