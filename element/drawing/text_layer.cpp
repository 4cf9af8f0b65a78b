#include "text_layer.h"

#include "glyph_box.h"

#include <FTGL/ftgl.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>
#include <iostream>

namespace vthud {

void BeginGlyphAlpha() { glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX); }

void EndGlyphAlpha() { glBlendEquation(GL_FUNC_ADD); }

void TextLayer::Boxes::Add(const Box& pBox) {
  for (int i = 0; i < count; ++i) {
    Box& b = box[i];
    if (pBox.y0 < b.y1 && b.y0 < pBox.y1) {
      b = {std::min(b.x0, pBox.x0), std::min(b.y0, pBox.y0), std::max(b.x1, pBox.x1), std::max(b.y1, pBox.y1)};
      return;
    }
  }
  if (count < kBoxes) {
    box[count++] = pBox;
    return;
  }
  Box& b = box[count - 1];
  b = {std::min(b.x0, pBox.x0), std::min(b.y0, pBox.y0), std::max(b.x1, pBox.x1), std::max(b.y1, pBox.y1)};
}

bool TextLayer::Boxes::Meets(const Box& pBox) const {
  for (int i = 0; i < count; ++i)
    if (box[i].Meets(pBox)) return true;
  return false;
}

void TextLayer::Damage::Add(Box pBox) {
  if (pBox.x1 <= pBox.x0 || pBox.y1 <= pBox.y0) return;
  // Whatever the new box meets joins it, until it meets nothing left.
  for (int i = 0; i < count;) {
    const Box& b = box[i];
    if (b.Meets(pBox) || count == kDamage) {
      pBox = {std::min(b.x0, pBox.x0), std::min(b.y0, pBox.y0), std::max(b.x1, pBox.x1), std::max(b.y1, pBox.y1)};
      box[i] = box[--count];
      i = 0;
    } else {
      ++i;
    }
  }
  box[count++] = pBox;
}

void TextLayer::Damage::Add(const Boxes& pBoxes) {
  for (int i = 0; i < pBoxes.count; ++i) Add(pBoxes.box[i]);
}

bool TextLayer::Damage::Meets(const Box& pBox) const {
  for (int i = 0; i < count; ++i)
    if (box[i].Meets(pBox)) return true;
  return false;
}

bool TextLayer::Strings::Add(const String& pString, const char* pText, int pLength) {
  if (count == kStrings || pLength + 1 > kText - used) return false;
  item[count] = pString;
  item[count].text = used;
  item[count].length = pLength;
  std::memcpy(text + used, pText, static_cast<size_t>(pLength) + 1);  // with its terminator
  used += pLength + 1;
  ++count;
  return true;
}

bool TextLayer::Strings::Holds(const Strings& pOther, int pIndex) const {
  const String& s = pOther.item[pIndex];
  auto Same = [&](const String& k) {
    return k.font == s.font && k.x == s.x && k.y == s.y && k.spacing == s.spacing && k.rise == s.rise &&
           k.alpha == s.alpha && k.ink == s.ink && k.box.x0 == s.box.x0 && k.box.y0 == s.box.y0 &&
           k.box.x1 == s.box.x1 && k.box.y1 == s.box.y1 && k.length == s.length &&
           std::memcmp(text + k.text, pOther.text + s.text, static_cast<size_t>(s.length)) == 0;
  };
  // Runs mostly repeat in the same order.
  if (pIndex < count && Same(item[pIndex])) return true;
  for (int i = 0; i < count; ++i)
    if (i != pIndex && Same(item[i])) return true;
  return false;
}

void TextLayer::Boxes::Merge() {
  for (bool lMerged = true; lMerged;) {
    lMerged = false;
    for (int i = 0; i < count && !lMerged; ++i)
      for (int j = i + 1; j < count && !lMerged; ++j) {
        Box &a = box[i], &b = box[j];
        if (a.y0 < b.y1 && b.y0 < a.y1) {
          a = {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
          b = box[--count];
          lMerged = true;
        }
      }
  }
}

bool TextLayer::Create(int pWidth, int pHeight) {
  if (Ready()) return true;
  if (!glGetString(GL_VERSION)) return false;
  // The coverage texture (its red channel read as every channel) and a view
  // of the same pixels that reads green instead: one per ink.
  GLuint lTexture = 0, lView = 0, lFramebuffer = 0;
  glCreateTextures(GL_TEXTURE_2D, 1, &lTexture);
  if (lTexture) glTextureStorage2D(lTexture, 1, GL_RGBA8, pWidth, pHeight);
  glGenTextures(1, &lView);
  if (lTexture && lView) glTextureView(lView, GL_TEXTURE_2D, lTexture, GL_RGBA8, 0, 1, 0, 1);
  const GLint lRed[4] = {GL_RED, GL_RED, GL_RED, GL_RED}, lGreen[4] = {GL_GREEN, GL_GREEN, GL_GREEN, GL_GREEN};
  const GLuint lNames[2] = {lTexture, lView};
  for (int i = 0; i < 2; ++i) {
    if (!lNames[i] || !glIsTexture(lNames[i])) continue;
    // Laid over the target texel for pixel.
    glTextureParameteri(lNames[i], GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTextureParameteri(lNames[i], GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTextureParameteri(lNames[i], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(lNames[i], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTextureParameteriv(lNames[i], GL_TEXTURE_SWIZZLE_RGBA, i == 0 ? lRed : lGreen);
  }
  glCreateFramebuffers(1, &lFramebuffer);
  GLenum lStatus = 0;
  if (lFramebuffer && lTexture && glIsTexture(lTexture)) {
    glNamedFramebufferTexture(lFramebuffer, GL_COLOR_ATTACHMENT0, lTexture, 0);
    lStatus = glCheckNamedFramebufferStatus(lFramebuffer, GL_DRAW_FRAMEBUFFER);
  }
  if (lStatus != GL_FRAMEBUFFER_COMPLETE || !lView || !glIsTexture(lView)) {
    if (glIsFramebuffer(lFramebuffer)) glDeleteFramebuffers(1, &lFramebuffer);
    if (glIsTexture(lView)) glDeleteTextures(1, &lView);
    if (glIsTexture(lTexture)) glDeleteTextures(1, &lTexture);
    std::cerr << "Error : koHUD - no offscreen text layer (framebuffer status 0x" << std::hex << lStatus
              << std::dec << "); text edges blend straight into the target" << std::endl;
    return false;
  }
  glClearTexImage(lTexture, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  mTexture = lTexture;
  mView = lView;
  mFramebuffer = lFramebuffer;
  mWidth = pWidth;
  mHeight = pHeight;
  for (Run& r : mRuns) r = Run();
  return true;
}

void TextLayer::Release() {
  if (Ready() && glGetString(GL_VERSION)) {
    GLuint lFramebuffer = mFramebuffer, lTextures[2] = {mView, mTexture};
    glDeleteFramebuffers(1, &lFramebuffer);
    glDeleteTextures(2, lTextures);
  }
  mTexture = mView = mFramebuffer = 0;
  mActive = mOpen = false;
  for (Run& r : mRuns) r.valid = false, r.ink.count = 0;
}

void TextLayer::Begin(int pCanvasWidth, int pCanvasHeight, int pRun) {
  mActive = mDirect = mOpen = false;
  mInk = 0;
  mRun = std::min(std::max(pRun, 0), kRuns - 1);
  mStrings[mPending].count = mStrings[mPending].used = 0;
  for (Boxes& b : mInkBoxes) b.count = 0;
  mLastFill = 0;
  if (Ready()) glGetIntegerv(GL_VIEWPORT, mViewport);
  // The text is drawn at the viewport's own scale, so it needs as many pixels.
  if (!Ready() || mViewport[2] <= 0 || mViewport[3] <= 0 || mViewport[2] > mWidth || mViewport[3] > mHeight ||
      pCanvasWidth <= 0 || pCanvasHeight <= 0) {
    BeginGlyphAlpha();
    return;
  }
  mActive = true;
  glGetFloatv(GL_CURRENT_COLOR, mLast);  // the colour strings take until Colour says otherwise
  mAlpha = mLast[3];
  mColour[0][0] = mLast[0], mColour[0][1] = mLast[1], mColour[0][2] = mLast[2];
  mScaleX = static_cast<float>(mViewport[2]) / static_cast<float>(pCanvasWidth);
  mScaleY = static_cast<float>(mViewport[3]) / static_cast<float>(pCanvasHeight);
}

void TextLayer::Colour(int pInk, float pRed, float pGreen, float pBlue, float pAlpha) {
  mLast[0] = pRed, mLast[1] = pGreen, mLast[2] = pBlue, mLast[3] = pAlpha;
  if (!mActive) {
    glColor4f(pRed, pGreen, pBlue, pAlpha);
    return;
  }
  mInk = std::min(std::max(pInk, 0), kInks - 1);
  mColour[mInk][0] = pRed, mColour[mInk][1] = pGreen, mColour[mInk][2] = pBlue;
  mAlpha = pAlpha;
}

void TextLayer::Colour(int pInk, const double (&pRGBA)[4]) {
  Colour(pInk, static_cast<float>(pRGBA[0]), static_cast<float>(pRGBA[1]), static_cast<float>(pRGBA[2]),
         static_cast<float>(pRGBA[3]));
}

void TextLayer::Bounds(FTFont& pFont, const char* pText, const FTPoint& pSpacing, double (&pBox)[4]) {
  const size_t lLength = std::strlen(pText);
  const double lSpacing = pSpacing.X();
  Measured* lOldest = nullptr;
  if (lLength < static_cast<size_t>(kKey) && pSpacing.Y() == 0) {
    ++mLookups;
    for (Measured& m : mMeasured) {
      if (m.font == &pFont && m.spacing == lSpacing && std::memcmp(m.text, pText, lLength + 1) == 0) {
        m.used = mLookups;
        std::copy(m.box, m.box + 4, pBox);
        return;
      }
      if (!lOldest || mLookups - m.used > mLookups - lOldest->used) lOldest = &m;
    }
  }
  const FTBBox lBounds = pFont.BBox(pText, -1, FTPoint(0, 0, 0), pSpacing);
  const double lBox[4] = {lBounds.Lower().X(), lBounds.Lower().Y(), lBounds.Upper().X(), lBounds.Upper().Y()};
  std::copy(lBox, lBox + 4, pBox);
  if (!lOldest) return;
  lOldest->font = &pFont;
  lOldest->spacing = lSpacing;
  std::memcpy(lOldest->text, pText, lLength + 1);
  std::copy(lBox, lBox + 4, lOldest->box);
  lOldest->used = mLookups;
}

void TextLayer::OpenLayer() {
  if (mOpen) return;
  mOpen = true;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &mTarget);
  glGetBooleanv(GL_COLOR_WRITEMASK, mMask);
  mScissor = glIsEnabled(GL_SCISSOR_TEST);
  glGetIntegerv(GL_SCISSOR_BOX, mScissorBox);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mFramebuffer);
  glEnable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, mViewport[2], mViewport[3]);
  BeginGlyphAlpha();
}

void TextLayer::CloseLayer() {
  if (!mOpen) return;
  mOpen = false;
  EndGlyphAlpha();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(mTarget));
  glViewport(mViewport[0], mViewport[1], mViewport[2], mViewport[3]);
  glColorMask(mMask[0], mMask[1], mMask[2], mMask[3]);
  glScissor(mScissorBox[0], mScissorBox[1], mScissorBox[2], mScissorBox[3]);
  if (!mScissor) glDisable(GL_SCISSOR_TEST);
}

// A clear, unlike a drawn quad, heeds none of the host's fragment state
// (alpha test, lighting, other texture units); only the scissor and mask.
void TextLayer::Clear(const Box& b) {
  const GLfloat lClear[4] = {0, 0, 0, 0};
  glScissor(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
  glClearBufferfv(GL_COLOR, 0, lClear);
  mLastFill += static_cast<int64_t>(b.x1 - b.x0) * (b.y1 - b.y0);
}

void TextLayer::Forget() {
  OpenLayer();
  for (Run& r : mRuns) {
    for (int i = 0; i < r.ink.count; ++i) Clear(r.ink.box[i]);
    r.ink.count = 0;
    r.valid = false;
  }
}

void TextLayer::Draw(const String& s, const Box& pClip, int& pInk, float& pAlpha) {
  const Box c{std::max(s.box.x0, pClip.x0), std::max(s.box.y0, pClip.y0), std::min(s.box.x1, pClip.x1),
              std::min(s.box.y1, pClip.y1)};
  if (c.x1 <= c.x0 || c.y1 <= c.y0) return;
  if (s.ink != pInk || s.alpha != pAlpha) {
    pInk = s.ink;
    pAlpha = s.alpha;
    // White, so the ink's channel takes the coverage; its alpha scales it.
    glColor4f(1.0f, 1.0f, 1.0f, pAlpha);
    glColorMask(pInk == 0, pInk == 1, GL_FALSE, GL_FALSE);
  }
  // Ink outside the box would outlast the clear: the scissor keeps it in.
  glScissor(c.x0, c.y0, c.x1 - c.x0, c.y1 - c.y0);
  s.font->Render(mStrings[mPending].text + s.text, -1, FTPoint(s.x, s.y, 0), FTPoint(s.spacing, s.rise, 0),
                 FTGL::RENDER_ALL);
}

void TextLayer::Render(FTFont& pFont, const char* pText, const FTPoint& pPosition, const FTPoint& pSpacing) {
  if (!mActive) {
    pFont.Render(pText, -1, pPosition, pSpacing, FTGL::RENDER_ALL);
    return;
  }
  // FTGL measures from the pen position by adding it to every glyph's box,
  // so the box at the origin, moved, is the box at the position.
  double lBounds[4];
  Bounds(pFont, pText, pSpacing, lBounds);
  const double lX = pPosition.X(), lY = pPosition.Y();
  const double lOutline[4] = {lX + lBounds[0], lY + lBounds[1], lX + lBounds[2], lY + lBounds[3]};
  int lPixels[4];
  GlyphPixels(lOutline, mScaleX, mScaleY, mViewport[2], mViewport[3], lPixels);
  const Box lBox{lPixels[0], lPixels[1], lPixels[2], lPixels[3]};
  // A string without ink on the layer draws nothing.
  if (lBox.x1 <= lBox.x0 || lBox.y1 <= lBox.y0 || lBounds[2] <= lBounds[0]) return;
  const String lString{&pFont,
                       static_cast<float>(lX),
                       static_cast<float>(lY),
                       static_cast<float>(pSpacing.X()),
                       static_cast<float>(pSpacing.Y()),
                       mAlpha,
                       mInk,
                       lBox,
                       0,
                       0};
  mInkBoxes[mInk].Add(lBox);
  Strings& lPending = mStrings[mPending];
  if (!mDirect && lPending.Add(lString, pText, static_cast<int>(std::strlen(pText)))) return;
  if (!mDirect) {
    // More strings than the run keeps: the layer is cleared whole and the
    // run drawn as it goes, the strings gathered so far first.
    mDirect = true;
    Forget();
    int lInk = -1;
    float lAlpha = -1;
    const Box lAll{0, 0, mViewport[2], mViewport[3]};
    for (int i = 0; i < lPending.count; ++i) Draw(lPending.item[i], lAll, lInk, lAlpha);
  }
  glColor4f(1.0f, 1.0f, 1.0f, mAlpha);
  glColorMask(mInk == 0, mInk == 1, GL_FALSE, GL_FALSE);
  glScissor(lBox.x0, lBox.y0, lBox.x1 - lBox.x0, lBox.y1 - lBox.y0);
  pFont.Render(pText, -1, pPosition, pSpacing, FTGL::RENDER_ALL);
}

void TextLayer::End() {
  if (!mActive) {
    EndGlyphAlpha();
    return;
  }
  mActive = false;
  Run& lRun = mRuns[mRun];
  const Strings &lKept = mStrings[mKept[mRun]], &lPending = mStrings[mPending];
  for (Boxes& b : mInkBoxes) b.Merge();
  if (mDirect) {
    lRun.valid = false;
  } else {
    // What changed: the boxes of strings that came, went or moved (all of
    // them when the layer holds nothing this run can use).
    Damage lDamage;
    if (!lRun.valid) {
      lDamage.Add(lRun.ink);
      for (int i = 0; i < lPending.count; ++i) lDamage.Add(lPending.item[i].box);
    } else {
      for (int i = 0; i < lKept.count; ++i)
        if (!lPending.Holds(lKept, i)) lDamage.Add(lKept.item[i].box);
      for (int i = 0; i < lPending.count; ++i)
        if (!lKept.Holds(lPending, i)) lDamage.Add(lPending.item[i].box);
    }
    // Another run's ink under this run's inks, or under what is cleared,
    // would be laid or lost with them: it is cleared too, and that run
    // draws afresh next time.
    for (bool lMore = true; lMore;) {
      lMore = false;
      for (int r = 0; r < kRuns; ++r) {
        Run& lOther = mRuns[r];
        if (r == mRun || lOther.ink.count == 0) continue;
        for (int i = 0; i < lOther.ink.count && !lMore; ++i) {
          const Box& b = lOther.ink.box[i];
          lMore = lDamage.Meets(b) || mInkBoxes[0].Meets(b) || mInkBoxes[1].Meets(b);
        }
        if (!lMore) continue;
        lDamage.Add(lOther.ink);
        lOther.ink.count = 0;
        lOther.valid = false;
        break;
      }
    }
    if (lDamage.count > 0) {
      OpenLayer();
      for (int d = 0; d < lDamage.count; ++d) Clear(lDamage.box[d]);
      // Each string drawn again only within what was cleared: elsewhere its
      // ink is still there, and ink laid twice would be darker.
      int lInk = -1;
      float lAlpha = -1;
      for (int d = 0; d < lDamage.count; ++d)
        for (int i = 0; i < lPending.count; ++i)
          if (lPending.item[i].box.Meets(lDamage.box[d])) Draw(lPending.item[i], lDamage.box[d], lInk, lAlpha);
    }
    std::swap(mKept[mRun], mPending);  // what was drawn is what the run keeps
    lRun.valid = true;
  }
  lRun.ink.count = 0;
  for (const Boxes& lBoxes : mInkBoxes)
    for (int i = 0; i < lBoxes.count; ++i) lRun.ink.Add(lBoxes.box[i]);
  lRun.ink.Merge();
  CloseLayer();

  // Premultiplied: the ink's colour times the coverage the texture gives in
  // every channel, its alpha that coverage. Ink by ink, the second over the
  // first: "over" of the second ink on the first, each pixel of an ink's
  // boxes laid once. Texturing, one unit, one draw per ink: the target's
  // scene takes no more state than a string does.
  GLint lBlend[4];
  glGetIntegerv(GL_BLEND_SRC_RGB, &lBlend[0]);
  glGetIntegerv(GL_BLEND_DST_RGB, &lBlend[1]);
  glGetIntegerv(GL_BLEND_SRC_ALPHA, &lBlend[2]);
  glGetIntegerv(GL_BLEND_DST_ALPHA, &lBlend[3]);
  const bool lTexturing = glIsEnabled(GL_TEXTURE_2D);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  const float lU = 1.0f / static_cast<float>(mWidth), lV = 1.0f / static_cast<float>(mHeight);
  const GLuint lTextures[kInks] = {mTexture, mView};
  for (int lInk = 0; lInk < kInks; ++lInk) {
    const Boxes& lBoxes = mInkBoxes[lInk];
    if (lBoxes.count == 0) continue;
    glBindTexture(GL_TEXTURE_2D, lTextures[lInk]);
    glColor4f(mColour[lInk][0], mColour[lInk][1], mColour[lInk][2], 1.0f);
    glBegin(GL_QUADS);
    for (int i = 0; i < lBoxes.count; ++i) {
      const Box& b = lBoxes.box[i];
      const float x[4] = {b.x0 / mScaleX, b.x1 / mScaleX, b.x1 / mScaleX, b.x0 / mScaleX};
      const float y[4] = {b.y0 / mScaleY, b.y0 / mScaleY, b.y1 / mScaleY, b.y1 / mScaleY};
      const int px[4] = {b.x0, b.x1, b.x1, b.x0}, py[4] = {b.y0, b.y0, b.y1, b.y1};
      for (int k = 0; k < 4; ++k) {
        glTexCoord2f(px[k] * lU, py[k] * lV);
        glVertex2f(x[k], y[k]);
      }
      mLastFill += static_cast<int64_t>(b.x1 - b.x0) * (b.y1 - b.y0);
    }
    glEnd();
  }
  if (!lTexturing) glDisable(GL_TEXTURE_2D);
  glBlendFuncSeparate(static_cast<GLenum>(lBlend[0]), static_cast<GLenum>(lBlend[1]),
                      static_cast<GLenum>(lBlend[2]), static_cast<GLenum>(lBlend[3]));
  glColor4f(mLast[0], mLast[1], mLast[2], mLast[3]);
  // Mesa 22 lets a colour set after the last vertex outlive the caller's
  // attribute pop unless it is flushed first; reading it flushes it.
  GLfloat lFlushed[4];
  glGetFloatv(GL_CURRENT_COLOR, lFlushed);
}

}  // namespace vthud
