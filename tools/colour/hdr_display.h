#ifndef VTHUD_TOOLS_HDR_DISPLAY_H
#define VTHUD_TOOLS_HDR_DISPLAY_H
// PQ (SMPTE ST 2084) and HLG displays: their transfer functions, and the
// overlay laid over the plate as ITU-R BT.2408 lays SDR graphics into HDR.
// The plate reaches here as 16-bit display values from the show's config;
// the overlay, read back from GL as 8-bit premultiplied RGBA, is taken to
// display light at the graphics white and composited with the plate's
// light, then both are encoded again with the display's transfer.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vthud_tool {

enum class HdrTransfer { Sdr, Pq, Hlg };
enum class HdrPrimaries { Bt2020, P3D65 };

struct HdrDisplay {
  HdrTransfer transfer = HdrTransfer::Sdr;
  HdrPrimaries primaries = HdrPrimaries::Bt2020;
  double graphicsWhite = 203.0;  // cd/m2 the overlay's white is shown at
  bool Hdr() const { return transfer != HdrTransfer::Sdr; }
  // "PQ, BT.2020 primaries, graphics white 203 cd/m2", for messages.
  std::string Describe() const;
};

// The graphics white an HLG display takes by default: 75% signal on the
// 1000 cd/m2 display OCIO's HLG transform is made for.
double HlgDefaultGraphicsWhite();

// Absolute luminance (cd/m2) to a PQ signal 0..1, and back.
double PqFromNits(double pNits);
double NitsFromPq(double pSignal);
// HLG's OETF (scene light 0..1 to signal) and its inverse.
double HlgFromScene(double pScene);
double SceneFromHlg(double pSignal);

// The code points of the display in ITU-T H.273 (a PNG's cICP chunk):
// primaries 9 (BT.2020) or 12 (P3-D65), transfer 16 (PQ) or 18 (HLG).
int CicpPrimaries(const HdrDisplay& pDisplay);
int CicpTransfer(const HdrDisplay& pDisplay);

// SMPTE ST 2086 mastering display in x265's notation,
// "G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min)": chromaticities in 0.00002 units,
// luminance in 0.0001 cd/m2. False with the reason.
struct MasteringDisplay {
  int green[2], blue[2], red[2], white[2];
  long long maxLuminance, minLuminance;
};
bool ParseMasteringDisplay(const std::string& pText, MasteringDisplay& pDisplay, std::string& pWhy);
// "MAXCLL,MAXFALL" in cd/m2, MAXFALL no more than MAXCLL. False with the reason.
bool ParseMaxCll(const std::string& pText, int& pMaxCll, int& pMaxFall, std::string& pWhy);

// Lays the overlay pOverlay (8-bit premultiplied RGBA, 1920 x 1080 or any
// pWidth x pHeight, top row first unless pOverlayBottomUp) over pUnder (16-bit
// RGBA display values of pDisplay, top row first; null: nothing, so the
// overlay stands alone) into pOut, 16-bit RGBA display values of pDisplay.
// pStraight: the colour of partly covered pixels is stored unpremultiplied
// (PNG, ProRes 4444); else the picture is shown over black and is opaque.
// Pixels the overlay does not touch keep the plate's values exactly.
void ComposeHdr(const HdrDisplay& pDisplay, const uint8_t* pOverlay, bool pOverlayBottomUp, const uint16_t* pUnder,
                int pWidth, int pHeight, bool pStraight, uint16_t* pOut);

}  // namespace vthud_tool

#endif
