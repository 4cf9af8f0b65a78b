// The timeline: the loop range across the canvas, the in/out band, the shown
// markers with their names, and the current-frame cursor.
#include "vshudelement_element.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include <algorithm>

#include "draw_range.h"
#include "gl_colour.h"
#include "utf8_text.h"

void VTHUDElement::RenderTimeline(int pWidth, int pHeight) {
  if (!ShowTimeline) return;
  // The offset, the colours and the scene time as DrawHUD read them for this frame.
  const int lT = mFrame.timelineY;
  const double* lMask = mFrame.maskColor;

  vthud::SetColour(mFrame.fontColor);
  glBegin(GL_LINE_LOOP);
  glVertex2i(10, lT + 20);
  glVertex2i(10, lT);
  glVertex2i(pWidth - 10, lT);
  glVertex2i(pWidth - 10, lT + 20);
  glEnd();

  // Frames stay 64-bit: any two of them are far enough apart to overflow an int.
  const long long lStart = mFrame.loopStart;
  const long long lStop = mFrame.loopStop;
  const long long lNow = mFrame.sceneFrame;
  // An empty range has no scale: the outline stays, positions are undefined.
  if (lStop == lStart) return;

  const float lLength = static_cast<float>(pWidth - 20);
  const float lDuration = static_cast<float>(lStop - lStart);
  auto X = [&](long long pFrame) {
    return vthud::DrawCoord(
        static_cast<double>(static_cast<float>(pFrame - lStart) / lDuration * lLength + 10.0f));
  };

  const long long lInFrame = InFrame, lOutFrame = OutFrame;
  const long long lIn = lInFrame < lStart ? lStart : std::min(lInFrame, lStop);
  const long long lOut = std::min(std::max(lOutFrame, lIn), lStop);
  const double lShift = static_cast<double>(0.55f);

  glColor4f(static_cast<float>(lMask[0] - lShift), static_cast<float>(lMask[1] + lShift),
            static_cast<float>(lMask[2] - lShift), 0.25f);
  glBegin(GL_QUADS);
  glVertex2i(X(lIn), lT + 19);
  glVertex2i(X(lIn), lT + 1);
  glVertex2i(X(lOut), lT + 1);
  glVertex2i(X(lOut), lT + 19);
  glEnd();

  // The markers' triangles first, then their names: a name lies wholly below
  // the bar (its box's top at 5 pixels under it) and a triangle inside it, so
  // no name meets a triangle, the in/out band, the cursor or the bar's bloop,
  // and drawing the names in one run leaves every pixel as drawing them marker
  // by marker. Only the reticle can lie over a name; unless its rows meet the
  // names', the names join the text fields' run (one text layer run a frame).
  vthud::SetColour(mFrame.fontColor);
  int lCount = 0;
  for (int i = 0; i < kMarkerCount; ++i) {
    const long long lFrame = MarkerFrame[i];
    if (!ShowMarker[i] || lStart > lFrame || lFrame > lStop) continue;
    const int lX = X(lFrame);
    mFrame.markerIndex[lCount] = i;
    mFrame.markerX[lCount] = lX;
    glBegin(GL_POLYGON);
    glVertex2i(lX, lT + 11);
    glVertex2i(lX - 10, lT + 1);
    glVertex2i(lX + 10, lT + 1);
    glEnd();
    ++lCount;
  }
  mFrame.markerCount = lCount;
  const long long lSize = vthud::DrawCoord(static_cast<long long>(ReticleSize));
  const long long lReticleY0 = pHeight / 2 - lSize / 2 - 2, lReticleY1 = lReticleY0 + lSize + 4;
  const bool lUnderReticle = ShowReticle && lReticleY0 < lT && lReticleY1 > lT - 40;
  mFrame.namesWithFields = lCount > 0 && !lUnderReticle;
  if (lCount > 0 && !mFrame.namesWithFields) {
    glEnable(GL_TEXTURE_2D);
    mTextLayer.Begin(pWidth, pHeight, 1);  // the timeline's own run
    mTextLayer.Colour(0, mFrame.fontColor);
    RenderMarkerNames();
    mTextLayer.End();
    glDisable(GL_TEXTURE_2D);  // the cursor is plain colour
  }

  glColor4f(static_cast<float>(lMask[0] + lShift), static_cast<float>(lMask[1] - lShift),
            static_cast<float>(lMask[2] - lShift), 1.0f);
  const int lCursor = X(lNow);
  glBegin(GL_QUADS);
  glVertex2i(lCursor - 2, lT + 19);
  glVertex2i(lCursor - 2, lT + 1);
  glVertex2i(lCursor + 2, lT + 1);
  glVertex2i(lCursor + 2, lT + 19);
  glEnd();
}

void VTHUDElement::RenderMarkerNames() {
  const int lT = mFrame.timelineY;
  for (int n = 0; n < mFrame.markerCount; ++n) {
    const FBString lNameText = MarkerName[mFrame.markerIndex[n]];
    char lScratch[vthud::kDrawableTextSize];
    const char* lName = vthud::DrawableText(lNameText, lScratch);
    double lBounds[4];  // measured once while the name stays
    mTextLayer.Bounds(*mArialFont, lName, FTPoint(0, 0, 0), lBounds);
    mTextLayer.Render(*mArialFont, lName, FTPoint(mFrame.markerX[n] - 0.5 * lBounds[2], lT - lBounds[3] - 5, 0),
                      FTPoint(0, 0, 0));
  }
}
