#ifndef VTHUD_TOOLS_MANAGED_PLATE_H
#define VTHUD_TOOLS_MANAGED_PLATE_H
// Plates shown through the show's colour: ffmpeg decodes them at their own
// precision (float for EXR, 16 bits for DPX, TIFF and 10- or 12-bit video),
// never through 8 bits and never through its scaler's float path, which
// clips scene-linear values to 0..1. The transform takes them to display
// values at their own size; only then is the picture fitted to the canvas.
#include <cstdint>
#include <string>
#include <vector>

#include "ffmpeg_process.h"
#include "png_image.h"
#include "show_colour.h"

namespace vthud_tool {

// The raw frames ffmpeg is asked for.
struct PlateLayout {
  enum class Kind { Rgba64, FloatRgb, FloatRgba, FloatGrey };
  Kind kind = Kind::Rgba64;
  int width = 0, height = 0;
  // For a video: the matrix and range its YUV is decoded by ("" for RGB).
  std::string matrix, range;
  size_t FrameBytes() const;
};

// Probes the first picture of pPath (ffprobe) for the layout to decode it
// in. pVideo: decode YUV by the file's own tags, as players do. False with
// a message for a plate the transform cannot take.
bool ProbePlateLayout(const std::string& pUrl, const std::string& pName, bool pVideo, PlateLayout& pLayout,
                      std::string& pError);

// ffmpeg's arguments after its input for raw frames of pLayout; pFrames > 0
// stops after that many.
std::vector<std::string> ManagedOutput(const PlateLayout& pLayout, long long pFrames);

// Reads the next raw frame into pRaw and makes the canvas picture: the
// transform at the plate's own size, then fitted and letterboxed. False at
// the end of the stream or a broken pipe.
bool ReadManagedFrame(FfmpegProcess& pDecoder, const PlateLayout& pLayout, const ShowColour& pColour,
                      std::vector<uint8_t>& pRaw, vthost::Image& pImage);

// The transform of one raw frame to the canvas (pRaw's floats are made
// finite in place).
void ManagedToCanvas(const PlateLayout& pLayout, const ShowColour& pColour, std::vector<uint8_t>& pRaw,
                     vthost::Image& pImage);

}  // namespace vthud_tool

#endif
