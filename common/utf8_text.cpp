#include "utf8_text.h"

#include <cstring>

namespace vthud {

namespace {

// Length of the well-formed sequence at p, or 0 when it is ill-formed; then
// *pBad is the length of the ill-formed part to replace by one U+FFFD (its
// maximal prefix of a valid sequence, at least one byte).
size_t SequenceLength(const unsigned char* p, size_t* pBad) {
  const unsigned char b = p[0];
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    *pBad = 1;  // stray continuation byte, C0, C1, F5 to FF
    return 0;
  }
  for (size_t i = 1; i < n; ++i) {
    const unsigned char c = p[i];
    const bool ok = i == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
    if (!ok) {  // also stops at the terminating NUL
      *pBad = i;
      return 0;
    }
  }
  return n;
}

}  // namespace

bool IsWellFormedUtf8(const char* pText) noexcept {
  if (!pText) return true;
  const auto* p = reinterpret_cast<const unsigned char*>(pText);
  while (*p) {
    size_t lBad = 0;
    const size_t n = SequenceLength(p, &lBad);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

const char* DrawableText(const char* pText, char (&pScratch)[kDrawableTextSize]) noexcept {
  if (!pText) return "";
  if (IsWellFormedUtf8(pText)) return pText;
  static const char kReplacement[] = "\xEF\xBF\xBD";
  const auto* p = reinterpret_cast<const unsigned char*>(pText);
  size_t lOut = 0;
  while (*p) {
    size_t lBad = 0;
    const size_t n = SequenceLength(p, &lBad);
    const char* lFrom = n ? reinterpret_cast<const char*>(p) : kReplacement;
    const size_t lLength = n ? n : 3;
    if (lOut + lLength >= kDrawableTextSize) break;
    std::memcpy(pScratch + lOut, lFrom, lLength);
    lOut += lLength;
    p += n ? n : lBad;
  }
  pScratch[lOut] = '\0';
  return pScratch;
}

char* CopyWholeCharacters(const char* pText, char* pOut, size_t pSize) noexcept {
  if (pSize == 0) return pOut;
  const auto* p = reinterpret_cast<const unsigned char*>(pText ? pText : "");
  size_t lOut = 0;
  while (*p) {
    size_t lBad = 0;
    size_t n = SequenceLength(p, &lBad);
    if (n == 0) n = 1;
    if (lOut + n >= pSize) break;
    std::memcpy(pOut + lOut, p, n);
    lOut += n;
    p += n;
  }
  pOut[lOut] = '\0';
  return pOut;
}

}  // namespace vthud
