// The bloop light: a flash for a set number of scene frames when recording starts.
#include "vshudelement_element.h"

#include <GL/gl.h>

#include "draw_range.h"

void VTHUDElement::RenderBloop(int pWidth, int pHeight) {
  // The transport and the scene time as DrawHUD read them for this frame.
  const int lFrame = vthud::SaturateToInt(mFrame.sceneFrame);
  if (!mFrame.recording) {
    // Armed: the flash counts from the last frame drawn before recording starts.
    mBloopDone = false;
    mBloopStartFrame = lFrame;
    return;
  }
  if (!mFrame.playing || mBloopDone) return;

  mBloopFrameCount = vthud::SaturateToInt(static_cast<long long>(lFrame) - mBloopStartFrame);
  const FBColorAndAlpha lColor = BloopColor;
  glColor4f(static_cast<float>(lColor[0]), static_cast<float>(lColor[1]), static_cast<float>(lColor[2]),
            static_cast<float>(lColor[3]));
  if (mFrame.bloopUnderMask) {
    glBegin(GL_QUADS);
    glVertex2i(0, pHeight - 75);
    glVertex2i(pWidth - 75, 0);
    glVertex2i(pWidth, 40);
    glVertex2i(40, pHeight);
    glVertex2i(0, 75);
    glVertex2i(75, 0);
    glVertex2i(pWidth, pHeight - 75);
    glVertex2i(pWidth - 75, pHeight);
    glEnd();
  } else {
    const int lT = mFrame.timelineY;
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2i(10, lT);
    glVertex2i(10, lT + 20);
    glVertex2i(pWidth - 10, lT);
    glVertex2i(pWidth - 10, lT + 20);
    glEnd();
  }
  if (mBloopFrameCount >= BloopLightDuration) mBloopDone = true;
}
