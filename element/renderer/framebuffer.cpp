// The offscreen 1920 x 1080 colour target the renderer samples by its GL name.
#include "vshudelement_element.h"

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

void VTHUDElement::initFramebuffer() {
  if (mFramebufferReady) return;
  mFramebuffer = createFrameBufferObject();
  mRenderTexture = createRenderTarget(static_cast<uint32_t>(mWidth), static_cast<uint32_t>(mHeight));
  mFramebufferReady = true;
}

void VTHUDElement::bindFramebuffer() {
  if (!mFramebufferReady) return;
  // The host may draw its pane into a framebuffer of its own; unbind returns there.
  GLint lDraw = 0, lRead = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &lDraw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lRead);
  mHostDrawFramebuffer = static_cast<uint32_t>(lDraw);
  mHostReadFramebuffer = static_cast<uint32_t>(lRead);
  glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mRenderTexture, 0);
  glViewport(0, 0, mWidth, mHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void VTHUDElement::unbindFramebuffer() {
  if (!mFramebufferReady) return;
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mHostDrawFramebuffer);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, mHostReadFramebuffer);
}

void VTHUDElement::deinitFramebuffer() {
  if (!mFramebufferReady) return;
  destroyFrameBuffer(mFramebuffer);
  destroyRenderTarget(mRenderTexture);
  mFramebuffer = 0;
  mRenderTexture = 0;
  mFramebufferReady = false;
}
