// The element's offscreen 1920 x 1080 colour target, kept in its own members.
#include "offscreen_target.h"
#include "vshudelement_element.h"

namespace {
vthud::OffscreenRefs Target(VTHUDElement& e) {
  return {e.mFramebuffer, e.mRenderTexture, e.mFramebufferReady, e.mHostDrawFramebuffer, e.mHostReadFramebuffer,
          e.mWidth,       e.mHeight};
}
}  // namespace

void VTHUDElement::initFramebuffer() { vthud::InitOffscreen(Target(*this)); }
void VTHUDElement::bindFramebuffer() { vthud::BindOffscreen(Target(*this)); }
void VTHUDElement::unbindFramebuffer() { vthud::UnbindOffscreen(Target(*this)); }
void VTHUDElement::deinitFramebuffer() { vthud::DeinitOffscreen(Target(*this)); }
