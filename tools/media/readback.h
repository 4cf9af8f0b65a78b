#ifndef VTHUD_TOOLS_READBACK_H
#define VTHUD_TOOLS_READBACK_H
// Reads 1920 x 1080 RGBA frames back from a framebuffer through a ring of
// pixel-pack buffers: the copy of one frame runs on the GL side while the
// next is drawn, and the CPU waits only for the oldest. Where GL can return
// the rows top first (MESA_pack_invert, as on a software rasteriser, which
// has no separate GPU to overlap with anyway), each frame is read straight
// into one buffer, which is then handed over without a copy (Depth() is 1).
#include <deque>
#include <vector>

#include "png_image.h"

namespace vthud_tool {

class AsyncReadback {
 public:
  AsyncReadback(int pWidth, int pHeight, int pDepth);
  ~AsyncReadback();
  AsyncReadback(const AsyncReadback&) = delete;
  AsyncReadback& operator=(const AsyncReadback&) = delete;

  int Depth() const { return static_cast<int>(mBuffers.empty() ? mImages.size() : mBuffers.size()); }
  size_t Pending() const { return mPending.size(); }
  // Starts reading the colour of pFramebuffer; false while Depth() reads are
  // pending (finish one first).
  bool Start(unsigned pFramebuffer);
  // Waits for the oldest read and gives it to pImage, top row first (pImage's
  // buffer joins the ring); false when GL could not map the buffer.
  bool FinishOldest(vthost::Image& pImage);

 private:
  int mWidth, mHeight;
  std::vector<unsigned> mBuffers;      // pixel-pack buffers, or none
  std::vector<vthost::Image> mImages;  // when read straight into memory
  struct Read {
    size_t buffer;
    void* fence;
  };
  std::deque<Read> mPending;
  size_t mNext = 0;
};

}  // namespace vthud_tool

#endif
