#ifndef VTHOST_PNG_IMAGE_H
#define VTHOST_PNG_IMAGE_H
// RGBA images, top row first, and their PNG files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vthost {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4, top row first
  // The rows the other way up, as GL stores them: a decoder's plates come so,
  // to be uploaded in one piece. At() and the PNG functions expect top first.
  bool bottomUp = false;
  // A picture laid under this one outside GL, 16-bit RGBA top row first, of
  // the same size (an HDR plate, which 8 bits cannot hold); shared by the
  // frames drawn over it. Null for none.
  std::shared_ptr<const std::vector<uint16_t>> under;
  // The pixels where their decoder left them, in rgba's layout, instead of
  // copied into rgba (which is then empty): read-only, kept alive by this.
  std::shared_ptr<const uint8_t> held;
  const uint8_t* Pixels() const { return held ? held.get() : rgba.data(); }
  bool Whole() const { return held || rgba.size() == static_cast<size_t>(width) * height * 4; }
  uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* At(int x, int y) const { return Pixels() + (static_cast<size_t>(y) * width + x) * 4; }
};

// pFast trades file size for speed (zlib's fastest level), for long image
// sequences. pSrgb: the sRGB chunk libpng writes for 8-bit pictures; without
// it the file carries no colour tag.
bool WritePng(const std::string& pPath, const Image& pImage, std::string& pError, bool pFast = false,
              bool pSrgb = true);
// A 16-bit RGBA picture (top row first, straight alpha) with a cICP chunk
// (ITU-T H.273 primaries, transfer, matrix 0, full range) before the pixels.
bool WritePng16(const std::string& pPath, int pWidth, int pHeight, const uint16_t* pRgba, int pPrimaries,
                int pTransfer, std::string& pError, bool pFast = false);
// Reads any 8-bit PNG (grey, RGB, with or without alpha) as RGBA.
bool ReadPng(const std::string& pPath, Image& pImage, std::string& pError);

}  // namespace vthost

#endif
