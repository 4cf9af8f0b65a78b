// The timeline: the loop range across the canvas, the in/out band, the shown
// markers with their names, and the current-frame cursor.
#include "vshudelement_element.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include <algorithm>

#include "glyph_alpha.h"

namespace {
void SetColour(const FBColorAndAlpha& pColor) {
  glColor4f(static_cast<float>(pColor[0]), static_cast<float>(pColor[1]), static_cast<float>(pColor[2]),
            static_cast<float>(pColor[3]));
}
}  // namespace

void VTHUDElement::RenderTimeline(int pWidth, int) {
  if (!ShowTimeline) return;
  const int lT = TimelineOffset;
  const FBColorAndAlpha lFont = FontColor;

  SetColour(lFont);
  glBegin(GL_LINE_LOOP);
  glVertex2i(10, lT + 20);
  glVertex2i(10, lT);
  glVertex2i(pWidth - 10, lT);
  glVertex2i(pWidth - 10, lT + 20);
  glEnd();

  FBPlayerControl lPlayer;
  const int lStart = static_cast<int>(lPlayer.LoopStart.GetPropertyValue().GetFrame(kFBTimeModeDefault));
  const int lStop = static_cast<int>(lPlayer.LoopStop.GetPropertyValue().GetFrame(kFBTimeModeDefault));
  const int lNow = static_cast<int>(mSystem.LocalTime.GetPropertyValue().GetFrame(kFBTimeModeDefault));
  // An empty range has no scale: the outline stays, positions are undefined.
  if (lStop == lStart) return;

  const float lLength = static_cast<float>(pWidth - 20);
  const float lDuration = static_cast<float>(lStop - lStart);
  auto X = [&](int pFrame) {
    return static_cast<int>(static_cast<float>(pFrame - lStart) / lDuration * lLength + 10.0f);
  };

  const int lIn = InFrame < lStart ? lStart : std::min<int>(InFrame, lStop);
  const int lOut = std::min(std::max<int>(OutFrame, lIn), lStop);
  const double lShift = static_cast<double>(0.55f);
  const FBColorAndAlpha lMask = MaskColor;

  glColor4f(static_cast<float>(lMask[0] - lShift), static_cast<float>(lMask[1] + lShift),
            static_cast<float>(lMask[2] - lShift), 0.25f);
  glBegin(GL_QUADS);
  glVertex2i(X(lIn), lT + 19);
  glVertex2i(X(lIn), lT + 1);
  glVertex2i(X(lOut), lT + 1);
  glVertex2i(X(lOut), lT + 19);
  glEnd();

  SetColour(lFont);
  for (int i = 0; i < kMarkerCount; ++i) {
    const int lFrame = MarkerFrame[i];
    if (!ShowMarker[i] || lStart > lFrame || lFrame > lStop) continue;
    const int lX = X(lFrame);
    glBegin(GL_POLYGON);
    glVertex2i(lX, lT + 11);
    glVertex2i(lX - 10, lT + 1);
    glVertex2i(lX + 10, lT + 1);
    glEnd();
    const FBString lName = MarkerName[i];
    const FTBBox lBox = mArialFont->BBox(lName, -1);
    const FTPoint lUpper = lBox.Upper();
    vthud::BeginGlyphAlpha();
    mArialFont->Render(lName, -1, FTPoint(lX - 0.5 * lUpper.X(), lT - lUpper.Y() - 5, 0), FTPoint(0, 0, 0),
                       FTGL::RENDER_ALL);
    vthud::EndGlyphAlpha();
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
