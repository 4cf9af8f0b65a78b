// Text on its way to the fonts. FTGL decodes UTF-8 without checking it and
// indexes its glyph tables with whatever it decoded, so ill-formed bytes
// (0xFE, 0xFF, five-byte forms, code points above U+10FFFF, a character cut
// in half) must never reach it. Nothing here allocates.
#pragma once

#include <cstddef>

namespace vthud {

// Room for one drawn string after repair; more than the canvas can show.
constexpr size_t kDrawableTextSize = 1024;

// Whether pText is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF. Null counts as well-formed (and empty).
bool IsWellFormedUtf8(const char* pText) noexcept;

// pText itself when it is well-formed; otherwise pScratch, holding pText with
// each ill-formed sequence replaced by U+FFFD, cut on a character boundary to
// fit. Null gives "".
const char* DrawableText(const char* pText, char (&pScratch)[kDrawableTextSize]) noexcept;

// Copies pText into pOut (pSize > 0), cut so that no character is split; an
// ill-formed sequence counts as one byte per character. Returns pOut.
char* CopyWholeCharacters(const char* pText, char* pOut, size_t pSize) noexcept;

}  // namespace vthud
