#include "message_text.h"

#include <cstdio>

namespace vthud {

std::string MessageText(const std::string& pText) {
  const size_t kLimit = 80;
  std::string lText;
  for (size_t i = 0; i < pText.size() && i < kLimit; ++i) {
    const unsigned char c = static_cast<unsigned char>(pText[i]);
    if (c == '\n')
      lText += "\\n";
    else if (c == '\t')
      lText += "\\t";
    else if (c == '\r')
      lText += "\\r";
    else if (c < 0x20 || c == 0x7f) {
      char lHex[8];
      snprintf(lHex, sizeof lHex, "\\x%02x", c);
      lText += lHex;
    } else {
      lText += static_cast<char>(c);
    }
  }
  if (pText.size() > kLimit) lText += "...";
  return lText;
}

}  // namespace vthud
