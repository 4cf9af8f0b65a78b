// File names by their endings: every name is answered, whatever its length,
// and bytes above ASCII compare as themselves.
#include <gtest/gtest.h>

#include <string>

#include "file_name.h"

namespace {

TEST(FileName, EndingsOfNamesOfAnyLength) {
  struct Case {
    std::string path, extension, partial;
    bool video;
  };
  const Case lCases[] = {
      {"out/take.mov", ".mov", "out/take.partial.mov", true},
      {"TAKE.MP4", ".MP4", "TAKE.partial.MP4", true},
      {"a.mp", ".mp", "a.partial.mp", false},
      {"a", "", "a.partial", false},
      {"", "", ".partial", false},
      {".mov", ".mov", ".partial.mov", true},
      {"shot.v2/take", "", "shot.v2/take.partial", false},
      {"dir/", "", "dir/.partial", false},
      // A UTF-8 name: its bytes are above 127 and must not reach tolower as negative chars.
      {"pl\xc3\xa4te.mov", ".mov", "pl\xc3\xa4te.partial.mov", true},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE("'" + c.path + "'");
    EXPECT_EQ(vthud_tool::Extension(c.path), c.extension);
    EXPECT_EQ(vthud_tool::BeforeExtension(c.path, ".partial"), c.partial);
    EXPECT_EQ(vthud_tool::IsVideoFile(c.path), c.video);
  }
  EXPECT_TRUE(vthud_tool::EndsWithNoCase("x.\xc3\xa4", "\xc3\xa4"));
  EXPECT_FALSE(vthud_tool::EndsWithNoCase("\xc3\x84", "\xc3\xa4"));
  EXPECT_FALSE(vthud_tool::EndsWithNoCase("v", ".mov"));
}

}  // namespace
