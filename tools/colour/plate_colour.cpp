#include "plate_colour.h"

namespace vthud_tool {

size_t PlateLayout::FrameBytes() const {
  const size_t lPixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  switch (kind) {
    case Kind::Rgba64: return lPixels * 8;
    case Kind::FloatRgb: return lPixels * 12;
    case Kind::FloatRgba: return lPixels * 16;
    case Kind::FloatGrey: return lPixels * 4;
  }
  return 0;
}

void PlateToDisplay(const PlateLayout& pLayout, const ShowColour& pColour, uint8_t* pRaw, uint8_t* pOut,
                    ptrdiff_t pOutStride) {
  const int w = pLayout.width, h = pLayout.height;
  const size_t lPlane = static_cast<size_t>(w) * h;
  float* lFloats = reinterpret_cast<float*>(pRaw);
  switch (pLayout.kind) {
    case PlateLayout::Kind::Rgba64:
      pColour.FromRgba64(reinterpret_cast<const uint16_t*>(pRaw), static_cast<ptrdiff_t>(w) * 8, w, h, pOut,
                         pOutStride);
      break;
    // FFmpeg's planar RGB runs green, blue, red (then alpha).
    case PlateLayout::Kind::FloatRgb:
      pColour.FromFloatPlanes(lFloats + 2 * lPlane, lFloats, lFloats + lPlane, nullptr, w, h, pOut, pOutStride);
      break;
    case PlateLayout::Kind::FloatRgba:
      pColour.FromFloatPlanes(lFloats + 2 * lPlane, lFloats, lFloats + lPlane, lFloats + 3 * lPlane, w, h, pOut,
                              pOutStride);
      break;
    case PlateLayout::Kind::FloatGrey:
      pColour.FromFloatPlanes(lFloats, lFloats, lFloats, nullptr, w, h, pOut, pOutStride);
      break;
  }
}

}  // namespace vthud_tool
