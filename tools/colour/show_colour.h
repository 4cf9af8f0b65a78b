#ifndef VTHUD_TOOLS_SHOW_COLOUR_H
#define VTHUD_TOOLS_SHOW_COLOUR_H
// Plates shown through the show's OpenColorIO config: the plate's colourspace
// to a display and view (and looks), by OCIO's own optimised CPU processor,
// on every core. The overlay is then drawn over the display picture as over
// any other, so only the plate is transformed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "hdr_display.h"

namespace vthud_tool {

// What one run asks of the config; an empty name takes the config's choice:
// the file rules for the colourspace, the default display, its default view.
struct ColourRequest {
  std::string config;  // the .ocio file
  std::string colorspace, display, view;
  std::string looks;  // OCIO's look list ("a, +b, -c"), applied with the view
  // "pq", "hlg" or "sdr" for a display the config does not mark; "" takes
  // the config's word. graphicsWhite: cd/m2, 0 for the display's default.
  std::string displayEncoding;
  double graphicsWhite = 0.0;
};

// How a display is tagged in the files written: BT.709 (Rec.1886 / Rec.709
// displays, the tool's tags without a config), sRGB, or none the tool writes.
enum class DisplayTag { Bt709, Srgb, Untagged };

class ShowColour {
 public:
  ShowColour();
  ~ShowColour();
  ShowColour(const ShowColour&) = delete;
  ShowColour& operator=(const ShowColour&) = delete;

  // Reads the config, checks every name and makes the processor for plates
  // at pPlatePath (its colourspace by the file rules unless one is named).
  // False with one line naming the file or name and OCIO's reason.
  bool Open(const ColourRequest& pRequest, const std::string& pPlatePath, std::string& pError);
  bool Active() const { return static_cast<bool>(mState); }
  // Open makes the GPU path on a thread of its own; this waits until it is
  // made (or found unavailable), so that none of its GL set-up is in flight
  // while the host makes or ends a context of its own.
  void Settle() const;
  void Reset();
  DisplayTag Tag() const { return mTag; }
  // The display's transfer and primaries; Sdr unless it is PQ or HLG.
  const HdrDisplay& Hdr() const { return mHdr; }
  // "COLORSPACE -> DISPLAY / VIEW", for messages.
  const std::string& Describe() const { return mDescription; }

  // Rows of 16-bit RGBA (pStride bytes apart) to 8-bit RGBA display values
  // (16-bit for an HDR display, which the overlay is laid over outside GL).
  // pOut row y is written at pOut + y * pOutStride (negative strides turn
  // the picture over). Spread over every core.
  void FromRgba64(const uint16_t* pPixels, ptrdiff_t pStride, int pWidth, int pHeight, uint8_t* pOut,
                  ptrdiff_t pOutStride) const;
  // Float planes (pAlpha may be null: opaque; one grey plane may stand for
  // all three). NaN and infinities are made 0 in place first, so that they
  // reach neither the transform nor alpha.
  void FromFloatPlanes(float* pRed, float* pGreen, float* pBlue, float* pAlpha, int pWidth, int pHeight,
                       uint8_t* pOut, ptrdiff_t pOutStride) const;

 private:
  struct State;
  std::unique_ptr<State> mState;
  DisplayTag mTag = DisplayTag::Bt709;
  HdrDisplay mHdr;
  std::string mDescription;
};

// The config's colourspaces (with their aliases), displays with their views,
// and looks, for --list-colorspaces. False with one line when it cannot be read.
bool ListColourConfig(const std::string& pConfig, std::string& pText, std::string& pError);

// The tag a display and its colourspace's names call for.
DisplayTag TagForDisplay(const std::string& pDisplay, const std::string& pColorspace);

}  // namespace vthud_tool

#endif
