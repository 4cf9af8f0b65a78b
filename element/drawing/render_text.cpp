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
  mOratorFont->Render(vthud::DrawableText(pText, lScratch), -1, FTPoint(lX, lY, 0), FTPoint(-5, 0, 0),
                      FTGL::RENDER_ALL);
  if (mFrame.showLabels && pLabel)  // "Show Labels" as DrawHUD read it for this frame
    mArialFont->Render(vthud::DrawableText(pLabel, lScratch), -1, FTPoint(lX + 5, lY - 16, 0), FTPoint(0, 0, 0),
                       FTGL::RENDER_ALL);
}
