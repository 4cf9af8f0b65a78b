#include "frame_pattern.h"

#include <cstdio>

namespace vthud_tool {

bool FramePattern::Parse(const std::string& pText, bool& pIsPattern, std::string& pError) {
  pIsPattern = false;
  mHead.clear();
  mTail.clear();
  mWidth = 0;
  mHasField = false;
  std::string* lOut = &mHead;
  for (size_t i = 0; i < pText.size(); ++i) {
    if (pText[i] != '%') {
      *lOut += pText[i];
      continue;
    }
    if (i + 1 < pText.size() && pText[i + 1] == '%') {
      *lOut += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    int lWidth = 0;
    const bool lZero = j < pText.size() && pText[j] == '0';
    if (lZero) ++j;
    while (j < pText.size() && pText[j] >= '0' && pText[j] <= '9' && lWidth < 100)
      lWidth = lWidth * 10 + (pText[j++] - '0');
    if (j >= pText.size() || pText[j] != 'd' || pIsPattern || lWidth > 18 || (lWidth > 0 && !lZero)) {
      pError = "'" + pText +
               "' is not a frame pattern: use one %d or %0Nd (such as hud.%04d.png), and %% for a percent sign";
      return false;
    }
    pIsPattern = mHasField = true;
    mWidth = lWidth;
    lOut = &mTail;
    i = j;
  }
  return true;
}

std::string FramePattern::Expand(long long pFrame) const {
  if (!mHasField) return mHead;
  char lNumber[32];
  snprintf(lNumber, sizeof lNumber, "%0*lld", mWidth, pFrame);
  return mHead + lNumber + mTail;
}

}  // namespace vthud_tool
