#include <gtest/gtest.h>

#include <string>

#include "utf8_text.h"

namespace {

using vthud::DrawableText;
using vthud::kDrawableTextSize;

std::string Drawn(const std::string& pText) {
  char lScratch[kDrawableTextSize];
  return DrawableText(pText.c_str(), lScratch);
}

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(DrawableText, WellFormedTextIsPassedThroughUntouched) {
  char lScratch[kDrawableTextSize];
  for (const char* lText :
       {"", "SLATE 12", "caf\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF"}) {
    EXPECT_TRUE(vthud::IsWellFormedUtf8(lText)) << lText;
    EXPECT_EQ(DrawableText(lText, lScratch), lText) << "no copy for well-formed text";
  }
  EXPECT_STREQ(DrawableText(nullptr, lScratch), "");
}

TEST(DrawableText, EachIllFormedSequenceBecomesOneReplacementCharacter) {
  const struct {
    const char* what;
    std::string in, out;
  } kCases[] = {
      {"0xFF",
       "a\xFF"
       "b",
       "a" + kFFFD + "b"},
      {"0xFE 0xFF", "\xFE\xFF", kFFFD + kFFFD},
      {"five-byte form", "\xF8\x88\x80\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD + kFFFD},
      {"above U+10FFFF", "\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},
      {"surrogate", "\xED\xA0\x80", kFFFD + kFFFD + kFFFD},
      {"overlong slash", "\xC0\xAF", kFFFD + kFFFD},
      {"overlong three bytes", "\xE0\x80\xAF", kFFFD + kFFFD + kFFFD},
      {"stray continuation", "x\x80y", "x" + kFFFD + "y"},
      {"cut four-byte character at the end", "AB\xF0\x9F\x98", "AB" + kFFFD},
      {"cut two-byte character before ASCII",
       "\xC3"
       "A",
       kFFFD + "A"},
  };
  for (const auto& c : kCases) {
    EXPECT_FALSE(vthud::IsWellFormedUtf8(c.in.c_str())) << c.what;
    EXPECT_EQ(Drawn(c.in), c.out) << c.what;
    EXPECT_TRUE(vthud::IsWellFormedUtf8(Drawn(c.in).c_str())) << c.what;
  }
}

TEST(DrawableText, RepairedLongTextIsCutOnACharacterBoundary) {
  const std::string lLong = "\xFF" + std::string(3 * kDrawableTextSize, 'W');
  const std::string lOut = Drawn(lLong);
  EXPECT_EQ(lOut.size(), kDrawableTextSize - 1);
  EXPECT_EQ(lOut.substr(0, 3), kFFFD);

  // A replacement that no longer fits is left out whole.
  const std::string lTail = std::string(kDrawableTextSize - 3, 'W') + "\xFF";
  const std::string lCut = Drawn(lTail);
  EXPECT_EQ(lCut, std::string(kDrawableTextSize - 3, 'W'));
}

TEST(CopyWholeCharacters, NeverSplitsACharacter) {
  char lOut[256];
  // 254 letters and a four-byte emoji: a plain 255-byte cut splits the emoji.
  const std::string lName = std::string(254, 'A') + "\xF0\x9F\x98\x80";
  vthud::CopyWholeCharacters(lName.c_str(), lOut, sizeof lOut);
  EXPECT_EQ(std::string(lOut), std::string(254, 'A'));
  const std::string lShort = std::string(250, 'A') + "\xF0\x9F\x98\x80";
  vthud::CopyWholeCharacters(lShort.c_str(), lOut, sizeof lOut);
  EXPECT_EQ(std::string(lOut), lShort);
  vthud::CopyWholeCharacters(nullptr, lOut, sizeof lOut);
  EXPECT_STREQ(lOut, "");
}

}  // namespace
