#ifndef VTHUD_TOOLS_BACKGROUND_H
#define VTHUD_TOOLS_BACKGROUND_H
// What the overlay is drawn over: nothing, a colour, one picture, a plate per
// frame from an image sequence, or the frames of a video. Every picture is
// fitted to the 1920 x 1080 canvas keeping its shape, with black bars.
#include <memory>
#include <string>

#include "ffmpeg_process.h"
#include "frame_pattern.h"
#include "png_image.h"

namespace vthud_tool {

class Background {
 public:
  // pSpec: "" (none), "#RRGGBB", "test-picture", an image file, an
  // image-sequence pattern or a video file. pTestPicture is the path
  // "test-picture" stands for.
  bool Open(const std::string& pSpec, const std::string& pTestPicture, std::string& pError);
  bool Empty() const { return mKind == Kind::None; }
  // True when the picture changes from draw to draw.
  bool Changes() const { return mKind == Kind::Sequence || mKind == Kind::Video; }
  // The picture behind draw pIndex of scene frame pFrame: the same image for
  // a colour or a still, the plate of pFrame, or the next video frame.
  // pImage keeps its buffer between calls. False with a message naming the frame.
  bool ForDraw(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError);
  void Close();

 private:
  enum class Kind { None, Still, Sequence, Video };
  Kind mKind = Kind::None;
  std::string mSpec;
  vthost::Image mStill;
  FramePattern mPattern;
  std::unique_ptr<FfmpegProcess> mVideo;
  long long mVideoFrames = 0;
};

// Reads any image Qt can and fits it into a 1920 x 1080 RGBA canvas, centred,
// with opaque black where it does not reach. False with a message.
bool ReadFitted(const std::string& pPath, vthost::Image& pImage, std::string& pError);

}  // namespace vthud_tool

#endif
