#include "straight_alpha.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vthud_tool {

namespace {

// One row of 256 results per alpha: 64 KiB, built once and shared by the writers.
using Table = std::array<std::array<uint8_t, 256>, 256>;

const Table& Straight() {
  static const Table sTable = [] {
    Table lTable{};
    for (int a = 1; a < 256; ++a)
      for (int c = 0; c < 256; ++c) lTable[a][c] = static_cast<uint8_t>(std::min(255, (c * 255 + a / 2) / a));
    return lTable;
  }();
  return sTable;
}

}  // namespace

void ToStraightAlpha(vthost::Image& pImage) {
  const Table& lTable = Straight();
  uint8_t* p = pImage.rgba.data();
  uint8_t* const lEnd = p + pImage.rgba.size();
  // The colour bytes of two pixels, whatever the byte order.
  static const uint64_t kColours = [] {
    const uint8_t lBytes[8] = {255, 255, 255, 0, 255, 255, 255, 0};
    uint64_t lMask;
    memcpy(&lMask, lBytes, 8);
    return lMask;
  }();
  for (; p < lEnd; p += 4) {
    // Black stays black at any alpha: the clear canvas, the mask bars, the
    // veil. Two pixels are tested at once where they can be.
    if (p + 8 <= lEnd) {
      uint64_t lTwo;
      memcpy(&lTwo, p, 8);
      if ((lTwo & kColours) == 0) {
        p += 4;
        continue;
      }
    }
    if ((p[0] | p[1] | p[2]) == 0) continue;
    const uint8_t a = p[3];
    if (a == 255) continue;  // the bulk of an opaque frame
    if (a == 0) {
      memset(p, 0, 3);
      continue;
    }
    const std::array<uint8_t, 256>& lRow = lTable[a];
    p[0] = lRow[p[0]];
    p[1] = lRow[p[1]];
    p[2] = lRow[p[2]];
  }
}

}  // namespace vthud_tool
