#ifndef VTHUD_TOOLS_CANVAS_H
#define VTHUD_TOOLS_CANVAS_H
// The overlay's canvas, 1920 x 1080 RGBA, and pictures fitted into it.
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "png_image.h"

namespace vthud_tool {

const int kCanvasWidth = 1920, kCanvasHeight = 1080;
const size_t kCanvasBytes = static_cast<size_t>(kCanvasWidth) * kCanvasHeight * 4;

// pImage as the canvas, every pixel opaque (r, g, b).
void FillCanvas(vthost::Image& pImage, uint8_t r, uint8_t g, uint8_t b);

// A picture of any size fitted into the canvas keeping its shape, centred,
// with opaque black bars.
void FitToCanvas(const QImage& pPicture, vthost::Image& pImage);

}  // namespace vthud_tool

#endif
