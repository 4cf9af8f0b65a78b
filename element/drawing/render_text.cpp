// A value in the value font, and its caption beneath it when captions are on.
#include "vshudelement_element.h"

#include <FTGL/ftgl.h>

#include "draw_range.h"
#include "utf8_text.h"

void VTHUDElement::RenderText(const char* pText, int pX, int pY, const char* pLabel) {
  const int lX = vthud::DrawCoord(static_cast<long long>(pX));
  const int lY = vthud::DrawCoord(static_cast<long long>(pY));
  // The fixed-pitch face is drawn 5 pixels tighter per character than it is designed.
  char lScratch[vthud::kDrawableTextSize];
  mTextLayer.Render(*mOratorFont, vthud::DrawableText(pText, lScratch), FTPoint(lX, lY, 0), FTPoint(-5, 0, 0));
  if (mFrame.showLabels && pLabel)  // "Show Labels" as DrawHUD read it for this frame
    mTextLayer.Render(*mArialFont, vthud::DrawableText(pLabel, lScratch), FTPoint(lX + 5, lY - 16, 0),
                      FTPoint(0, 0, 0));
}
