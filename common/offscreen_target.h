#ifndef VTHUD_OFFSCREEN_TARGET_H
#define VTHUD_OFFSCREEN_TARGET_H
// An element's offscreen colour target: a framebuffer with one RGBA8
// texture, which the renderer samples by its OpenGL name. Binding it keeps
// the host's framebuffer bindings, and unbinding returns to them.
#include <cstdint>

namespace vthud {

class OffscreenTarget {
 public:
  bool Ready() const { return mReady; }
  uint32_t Texture() const { return mTexture; }
  // Creates the framebuffer and its texture once, pWidth x pHeight.
  void Create(int pWidth, int pHeight);
  // Binds the target, sets the viewport to it and clears it to transparent black.
  void Bind();
  void Unbind();
  void Release();

 private:
  bool mReady = false;
  int mWidth = 0, mHeight = 0;
  uint32_t mFramebuffer = 0, mTexture = 0;
  uint32_t mHostDraw = 0, mHostRead = 0;
};

}  // namespace vthud

#endif
