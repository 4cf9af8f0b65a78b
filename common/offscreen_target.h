#ifndef VTHUD_OFFSCREEN_TARGET_H
#define VTHUD_OFFSCREEN_TARGET_H
// An element's offscreen colour target: a framebuffer with one RGBA8
// texture, which the renderer samples by its OpenGL name. Binding it keeps
// the host's framebuffer bindings, and unbinding returns to them.
#include <cstdint>

// The GL objects themselves. Exported, as the HUD library always has them.
#define VTHUD_TARGET_EXPORT __attribute__((visibility("default")))
VTHUD_TARGET_EXPORT uint32_t createFrameBufferObject();
VTHUD_TARGET_EXPORT uint32_t createRenderTarget(uint32_t pWidth, uint32_t pHeight);
VTHUD_TARGET_EXPORT void destroyFrameBuffer(uint32_t pName);
VTHUD_TARGET_EXPORT void destroyRenderTarget(uint32_t pName);

namespace vthud {

// A target whose state lives in its owner's members: the HUD element keeps
// its names in members of its own, the frame lines in an OffscreenTarget.
struct OffscreenRefs {
  uint32_t& framebuffer;
  uint32_t& texture;
  bool& ready;
  uint32_t& hostDraw;  // the host's bindings at Bind, restored by Unbind
  uint32_t& hostRead;
  int width, height;
};

// Creates the framebuffer and its texture once.
void InitOffscreen(OffscreenRefs pTarget);
// Binds the target, sets the viewport to it and clears it to transparent black.
void BindOffscreen(OffscreenRefs pTarget);
void UnbindOffscreen(OffscreenRefs pTarget);
void DeinitOffscreen(OffscreenRefs pTarget);

class OffscreenTarget {
 public:
  bool Ready() const { return mReady; }
  uint32_t Texture() const { return mTexture; }
  void Create(int pWidth, int pHeight) {
    if (mReady) return;
    mWidth = pWidth;
    mHeight = pHeight;
    InitOffscreen(Refs());
  }
  void Bind() { BindOffscreen(Refs()); }
  void Unbind() { UnbindOffscreen(Refs()); }
  void Release() { DeinitOffscreen(Refs()); }

 private:
  OffscreenRefs Refs() { return {mFramebuffer, mTexture, mReady, mHostDraw, mHostRead, mWidth, mHeight}; }
  bool mReady = false;
  int mWidth = 0, mHeight = 0;
  uint32_t mFramebuffer = 0, mTexture = 0;
  uint32_t mHostDraw = 0, mHostRead = 0;
};

}  // namespace vthud

#endif
