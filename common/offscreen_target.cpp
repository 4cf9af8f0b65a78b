#include "offscreen_target.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace vthud {

void OffscreenTarget::Create(int pWidth, int pHeight) {
  if (mReady) return;
  mWidth = pWidth;
  mHeight = pHeight;
  GLuint lName = 0;
  glCreateFramebuffers(1, &lName);
  mFramebuffer = lName;
  glGenTextures(1, &lName);
  mTexture = lName;
  glBindTexture(GL_TEXTURE_2D, mTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, mWidth, mHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  mReady = true;
}

void OffscreenTarget::Bind() {
  if (!mReady) return;
  GLint lDraw = 0, lRead = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &lDraw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lRead);
  mHostDraw = static_cast<uint32_t>(lDraw);
  mHostRead = static_cast<uint32_t>(lRead);
  glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mTexture, 0);
  glViewport(0, 0, mWidth, mHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

void OffscreenTarget::Unbind() {
  if (!mReady) return;
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mHostDraw);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, mHostRead);
}

void OffscreenTarget::Release() {
  if (!mReady) return;
  GLuint lFramebuffer = mFramebuffer, lTexture = mTexture;
  if (glIsFramebuffer(lFramebuffer)) glDeleteFramebuffers(1, &lFramebuffer);
  if (glIsTexture(lTexture)) glDeleteTextures(1, &lTexture);
  mFramebuffer = mTexture = 0;
  mReady = false;
}

}  // namespace vthud
