#include "frame_pattern.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

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

bool FramePattern::FrameOf(const std::string& pName, long long& pFrame) const {
  if (!mHasField || pName.size() <= mHead.size() + mTail.size() || pName.compare(0, mHead.size(), mHead) != 0 ||
      pName.compare(pName.size() - mTail.size(), mTail.size(), mTail) != 0)
    return false;
  const std::string lDigits = pName.substr(mHead.size(), pName.size() - mHead.size() - mTail.size());
  if (lDigits.size() > 18 || lDigits.find_first_not_of("0123456789") != std::string::npos) return false;
  const long long lFrame = strtoll(lDigits.c_str(), nullptr, 10);
  // Only the name Expand gives counts: "p.7.png" is no frame of "p.%04d.png".
  if (Expand(lFrame) != pName) return false;
  pFrame = lFrame;
  return true;
}

bool FramePattern::ContiguousFiles(long long& pFirst, long long& pLast) const {
  if (!mHasField || mTail.find('/') != std::string::npos) return false;
  const size_t lSlash = mHead.rfind('/');
  const std::string lFolder = lSlash == std::string::npos ? "." : lSlash == 0 ? "/" : mHead.substr(0, lSlash);
  DIR* lDir = opendir(lFolder.c_str());
  if (!lDir) return false;
  const std::string lPrefix = lSlash == std::string::npos ? "" : mHead.substr(0, lSlash + 1);
  long long lFirst = LLONG_MAX, lFrame = 0;
  while (const dirent* lEntry = readdir(lDir))
    if (FrameOf(lPrefix + lEntry->d_name, lFrame) && lFrame < lFirst) lFirst = lFrame;
  closedir(lDir);
  if (lFirst == LLONG_MAX) return false;
  // Followed file by file: a gap ends the run, as a missing plate ends a run's reader.
  long long lLast = lFirst;
  struct stat lStat;
  while (lLast < LLONG_MAX && stat(Expand(lLast + 1).c_str(), &lStat) == 0) ++lLast;
  pFirst = lFirst;
  pLast = lLast;
  return true;
}

}  // namespace vthud_tool
