#include "file_name.h"

#include <cctype>

namespace vthud_tool {

bool EndsWithNoCase(const std::string& pName, const std::string& pEnd) {
  if (pName.size() < pEnd.size()) return false;
  const size_t lAt = pName.size() - pEnd.size();
  for (size_t i = 0; i < pEnd.size(); ++i)
    // tolower takes an unsigned char's value: a byte of UTF-8 as a plain char is negative.
    if (tolower(static_cast<unsigned char>(pName[lAt + i])) != static_cast<unsigned char>(pEnd[i])) return false;
  return true;
}

std::string Extension(const std::string& pPath) {
  const size_t lSlash = pPath.rfind('/');
  const size_t lStart = lSlash == std::string::npos ? 0 : lSlash + 1;
  const size_t lDot = pPath.rfind('.');
  if (lDot == std::string::npos || lDot < lStart) return std::string();
  return pPath.substr(lDot);
}

std::string BeforeExtension(const std::string& pPath, const std::string& pInsert) {
  const std::string lExtension = Extension(pPath);
  return pPath.substr(0, pPath.size() - lExtension.size()) + pInsert + lExtension;
}

bool IsVideoFile(const std::string& pPath) {
  return EndsWithNoCase(pPath, ".mov") || EndsWithNoCase(pPath, ".mp4");
}

}  // namespace vthud_tool
