// Preloaded under the preview tool: every named framebuffer reads as
// unsupported, as on a context that cannot render into the element's text
// layer. Nothing else of GL changes.
#include <GL/gl.h>

extern "C" GLenum glCheckNamedFramebufferStatus(GLuint, GLenum) {
  return 0x8CDD;  // GL_FRAMEBUFFER_UNSUPPORTED
}
