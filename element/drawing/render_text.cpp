// A value in the value font, and its caption beneath it when captions are on.
#include "vshudelement_element.h"

#include <FTGL/ftgl.h>

void VTHUDElement::RenderText(const char* pText, int pX, int pY, const char* pLabel) {
  // The fixed-pitch face is drawn 5 pixels tighter per character than it is designed.
  mOratorFont->Render(pText, -1, FTPoint(pX, pY, 0), FTPoint(-5, 0, 0), FTGL::RENDER_ALL);
  if (ShowLabels && pLabel)
    mArialFont->Render(pLabel, -1, FTPoint(pX + 5, pY - 16, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
}
