#ifndef VTHUD_TOOLS_FRAME_SINK_H
#define VTHUD_TOOLS_FRAME_SINK_H
// Where finished frames go: one PNG, a PNG per frame, or a video encoded
// in-process by FFmpeg's libraries. Sinks are written from writer threads (see WriterQueue).
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame_pattern.h"
#include "png_image.h"
#include "show_colour.h"

namespace vthud_tool {

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Prepares the output (folders, the encoder); nothing is drawn before this
  // succeeds, so a missing encoder costs no work.
  virtual bool Open(std::string& pError) = 0;
  // pImage is the writer's own buffer: a sink may change its pixels in place
  // (to straight alpha) while it stores them.
  virtual bool Write(vthost::Image& pImage, long long pFrame, std::string& pError) = 0;
  // Ends the output; after an interruption the frames written so far stay
  // and a video is closed so that it plays.
  virtual bool Close(std::string& pError) = 0;
  // True when frames must arrive one at a time and in draw order.
  virtual bool Ordered() const = 0;
  // What a frame was written to, for the closing line.
  virtual std::string Where(long long pFirstFrame) const = 0;
};

struct VideoSettings {
  int fpsNumerator = 30, fpsDenominator = 1;
  std::string startTimecode;  // "HH:MM:SS:FF", written into the file's metadata
  // PNGs and ProRes 4444 store straight colour; false keeps the premultiplied
  // colour read back (only to measure what the conversion costs).
  bool straightAlpha = true;
  // A part of a run (a chunk): written under a temporary name and given its
  // own only once every frame is in, so that a killed run leaves nothing that
  // looks finished; tagged with what the assembly checks.
  bool part = false;
  std::vector<std::pair<std::string, std::string>> tags;  // container metadata
  // The display the frames are for: BT.709 video and sRGB-chunked PNGs, the
  // video's sRGB transfer, or no colour tags (video keeps its matrix and range).
  DisplayTag tag = DisplayTag::Bt709;
  // A stream's recording: a .mov or .mp4 given the stream's own converted
  // frames, H.264 in either ("" for none).
  std::string record;
  // A stream: called with a frame's number (from 0) as its packet leaves.
  std::function<void(long long)> handedOff;
  // An HDR display (PQ or HLG): the overlay is laid over the plate in its
  // light (see hdr_display.h) and written at 16 bits in PNGs with a cICP
  // chunk, ProRes 4444 or HEVC Main 10 (.mp4 and streams), tagged for it.
  HdrDisplay hdr;
  std::string masteringDisplay, maxCll;  // HEVC's SEI and mdcv / clli, optional
};

// From --out: "x.png" (one frame only), a pattern "x.%04d.png", "x.mov",
// "x.mp4", or a stream "udp://HOST:PORT" or "srt://..." (MPEG-TS). pFrameCount is the number of draws. False with
// a message.
std::unique_ptr<FrameSink> MakeSink(const std::string& pOut, long long pFrameCount, bool pRepeatsFrames,
                                    const VideoSettings& pVideo, std::string& pError);

// Makes the folders above a file path; false when one cannot be made.
bool MakeParentDirs(const std::string& pPath, std::string& pError);

}  // namespace vthud_tool

#endif
