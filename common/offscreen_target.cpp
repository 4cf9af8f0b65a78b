// The offscreen colour target the renderer samples by its GL name.
#include "offscreen_target.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

uint32_t createFrameBufferObject() {
  GLuint lName = 0;
  glCreateFramebuffers(1, &lName);
  return lName;
}

uint32_t createRenderTarget(uint32_t pWidth, uint32_t pHeight) {
  GLuint lName = 0;
  glGenTextures(1, &lName);
  glBindTexture(GL_TEXTURE_2D, lName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(pWidth), static_cast<GLsizei>(pHeight), 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  return lName;
}

void destroyFrameBuffer(uint32_t pName) {
  if (glIsFramebuffer(pName)) glDeleteFramebuffers(1, &pName);
}

void destroyRenderTarget(uint32_t pName) {
  if (glIsTexture(pName)) glDeleteTextures(1, &pName);
}

namespace vthud {

void InitOffscreen(OffscreenRefs t) {
  if (t.ready) return;
  t.framebuffer = createFrameBufferObject();
  t.texture = createRenderTarget(static_cast<uint32_t>(t.width), static_cast<uint32_t>(t.height));
  t.ready = true;
}

void BindOffscreen(OffscreenRefs t) {
  if (!t.ready) return;
  // The host may draw its pane into a framebuffer of its own; unbind returns there.
  GLint lDraw = 0, lRead = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &lDraw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lRead);
  t.hostDraw = static_cast<uint32_t>(lDraw);
  t.hostRead = static_cast<uint32_t>(lRead);
  glBindFramebuffer(GL_FRAMEBUFFER, t.framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.texture, 0);
  glViewport(0, 0, t.width, t.height);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void UnbindOffscreen(OffscreenRefs t) {
  if (!t.ready) return;
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, t.hostDraw);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, t.hostRead);
}

void DeinitOffscreen(OffscreenRefs t) {
  if (!t.ready) return;
  destroyFrameBuffer(t.framebuffer);
  destroyRenderTarget(t.texture);
  t.framebuffer = 0;
  t.texture = 0;
  t.ready = false;
}

}  // namespace vthud
