// Loading the element's three fonts from the resource bundle.
#include "vshudelement_element.h"

#include <FTGL/ftgl.h>

#include "font_resource.h"

using vthud::ReadResource;

bool VTHUDElement::loadFonts() {
  size_t lOratorSize = 0;
  mOratorFontData = ReadResource(":resources/OratorStd.otf", lOratorSize, "Couldn't open oratorstd font:");
  if (!mOratorFontData) return false;
  mOratorFont = new FTTextureFont(mOratorFontData, lOratorSize);

  size_t lArialSize = 0;
  mArialFontData = ReadResource(":resources/Arial.ttf", lArialSize, "Couldn't open arial font:");
  if (!mArialFontData) {
    // The creator discards a failed element without FBDestroy: free what exists.
    delete mOratorFont;
    mOratorFont = nullptr;
    delete[] mOratorFontData;
    mOratorFontData = nullptr;
    return false;
  }
  mArialFont = new FTTextureFont(mArialFontData, lArialSize);
  mArialLargeFont = new FTTextureFont(mArialFontData, lArialSize);

  mOratorFont->FaceSize(48, 72);
  mArialFont->FaceSize(16, 72);
  mArialLargeFont->FaceSize(256, 72);
  return true;
}
