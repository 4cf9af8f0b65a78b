#ifndef VTHUD_TOOLS_FILE_NAME_H
#define VTHUD_TOOLS_FILE_NAME_H
// File names by their endings, for every room that picks a format or a
// temporary name from one: bounds-checked, so a name of any length (an empty
// one, "a.m") is answered, never thrown on.
#include <string>

namespace vthud_tool {

// True when pName ends with pEnd, letters compared without case; pEnd is
// given in lower case (".mov").
bool EndsWithNoCase(const std::string& pName, const std::string& pEnd);

// The extension of the last component of pPath with its dot (".mov"), or ""
// when it has none. A name that is all extension (".mov") is one, as its
// ending says.
std::string Extension(const std::string& pPath);

// pPath with pInsert put before its extension: ("a/b.mov", ".partial") gives
// "a/b.partial.mov"; without an extension, pInsert goes at the end.
std::string BeforeExtension(const std::string& pPath, const std::string& pInsert);

// A name the video encoder writes by its ending: .mov (ProRes) or .mp4 (H.264).
bool IsVideoFile(const std::string& pPath);

}  // namespace vthud_tool

#endif
