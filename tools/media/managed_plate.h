#ifndef VTHUD_TOOLS_MANAGED_PLATE_H
#define VTHUD_TOOLS_MANAGED_PLATE_H
// Plates shown through the show's colour: decoded at their own
// precision (float for EXR, 16 bits for DPX, TIFF and 10- or 12-bit video),
// never through 8 bits and never through its scaler's float path, which
// clips scene-linear values to 0..1. The transform takes them to display
// values at their own size; only then is the picture fitted to the canvas.
#include <cstdint>
#include <string>
#include <vector>

#include "picture_reader.h"
#include "png_image.h"
#include "plate_colour.h"
#include "show_colour.h"

namespace vthud_tool {

// The layout to decode a picture of pFacts in. pVideo: decode YUV by the
// file's own tags, as players do. False with a message naming pName for a
// plate the transform cannot take.
bool LayoutFromFacts(const StreamFacts& pFacts, const std::string& pName, bool pVideo, PlateLayout& pLayout,
                     std::string& pError);

// Probes the first picture of pSource for the layout to decode it in.
bool ProbePlateLayout(const ReaderSource& pSource, bool pVideo, PlateLayout& pLayout, std::string& pError);

// What a reader's frames go through for pLayout: YUV turned to RGB at the
// plate's own size (no chain for RGB plates), in the layout's pixel format.
std::string ManagedChain(const PlateLayout& pLayout);
AVPixelFormat ManagedFormat(const PlateLayout& pLayout);
void SetManagedOutput(PictureReader& pReader, const PlateLayout& pLayout);

// A decoded frame's planes laid one after the other in pRaw, rows packed, as
// ManagedToCanvas takes them. False when the frame is not of pLayout's size.
bool CopyManagedFrame(const AVFrame& pFrame, const PlateLayout& pLayout, std::vector<uint8_t>& pRaw);

// Takes the next frame read ahead into pRaw and makes the canvas picture:
// the transform at the plate's own size, then fitted and letterboxed. False
// at the end of the stream or on an error (pWhy).
bool ReadManagedFrame(PictureReader& pReader, const PlateLayout& pLayout, const ShowColour& pColour,
                      std::vector<uint8_t>& pRaw, vthost::Image& pImage, std::string& pWhy);

// The transform of one raw frame to the canvas (pRaw's floats are made
// finite in place).
void ManagedToCanvas(const PlateLayout& pLayout, const ShowColour& pColour, uint8_t* pRaw, vthost::Image& pImage);

}  // namespace vthud_tool

#endif
