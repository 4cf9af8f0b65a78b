#include "readback.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <utility>

namespace vthud_tool {

namespace {

bool HasExtension(const char* pName) {
  GLint lCount = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &lCount);
  for (GLint i = 0; i < lCount; ++i) {
    const auto* lExtension = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
    if (lExtension && strcmp(lExtension, pName) == 0) return true;
  }
  return false;
}

}  // namespace

AsyncReadback::AsyncReadback(int pWidth, int pHeight, int pDepth) : mWidth(pWidth), mHeight(pHeight) {
  const size_t lDepth = static_cast<size_t>(pDepth > 0 ? pDepth : 1);
  if (HasExtension("GL_MESA_pack_invert")) {
    // Such a read is done when it returns: one buffer suffices, and frames
    // wait for the writers in their own queue.
    mImages.resize(1);
    return;
  }
  mBuffers.resize(lDepth);
  glGenBuffers(static_cast<GLsizei>(mBuffers.size()), mBuffers.data());
  for (unsigned lBuffer : mBuffers) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, lBuffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(mWidth) * mHeight * 4, nullptr, GL_STREAM_READ);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

AsyncReadback::~AsyncReadback() {
  for (const Read& lRead : mPending) glDeleteSync(static_cast<GLsync>(lRead.fence));
  if (!mBuffers.empty()) glDeleteBuffers(static_cast<GLsizei>(mBuffers.size()), mBuffers.data());
}

bool AsyncReadback::Start(unsigned pFramebuffer) {
  if (mPending.size() >= static_cast<size_t>(Depth())) return false;
  GLint lPreviousRead = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lPreviousRead);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, pFramebuffer);
  if (mBuffers.empty()) {
    vthost::Image& lImage = mImages[mNext];
    lImage.width = mWidth;
    lImage.height = mHeight;
    lImage.bottomUp = false;
    lImage.rgba.resize(static_cast<size_t>(mWidth) * mHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glReadPixels(0, 0, mWidth, mHeight, GL_RGBA, GL_UNSIGNED_BYTE, lImage.rgba.data());
    glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(lPreviousRead));
    mPending.push_back({mNext, nullptr});
    mNext = (mNext + 1) % mImages.size();
    return true;
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, mBuffers[mNext]);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, mWidth, mHeight, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLsync lFence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(lPreviousRead));
  glFlush();
  mPending.push_back({mNext, lFence});
  mNext = (mNext + 1) % mBuffers.size();
  return true;
}

bool AsyncReadback::FinishOldest(vthost::Image& pImage) {
  if (mPending.empty()) return false;
  const Read lRead = mPending.front();
  mPending.pop_front();
  if (mBuffers.empty()) {
    std::swap(pImage, mImages[lRead.buffer]);
    return true;
  }
  GLsync lFence = static_cast<GLsync>(lRead.fence);
  while (glClientWaitSync(lFence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000) == GL_TIMEOUT_EXPIRED) {
  }
  glDeleteSync(lFence);
  const size_t lRow = static_cast<size_t>(mWidth) * 4;
  pImage.width = mWidth;
  pImage.height = mHeight;
  pImage.rgba.resize(lRow * mHeight);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, mBuffers[lRead.buffer]);
  const auto* lPixels = static_cast<const uint8_t*>(
      glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(lRow * mHeight), GL_MAP_READ_BIT));
  if (lPixels) {
    // GL gives the bottom row first.
    for (int y = 0; y < mHeight; ++y)
      memcpy(&pImage.rgba[static_cast<size_t>(y) * lRow], lPixels + static_cast<size_t>(mHeight - 1 - y) * lRow,
             lRow);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return lPixels != nullptr;
}

}  // namespace vthud_tool
