#include "chunks.h"

#include <algorithm>
#include <cstdio>

#include "file_name.h"

namespace vthud_tool {

namespace {

// Six digits, so that the parts of a run sort in frame order (a sign first for
// frames before 0).
std::string FrameText(long long pFrame) {
  char lText[32];
  snprintf(lText, sizeof lText, pFrame < 0 ? "-%06lld" : "%06lld", pFrame < 0 ? -pFrame : pFrame);
  return lText;
}

}  // namespace

bool IsVideoOut(const std::string& pOut) { return IsVideoFile(pOut); }

std::string FarmDir(const Options& pOptions) {
  // A sequence's pattern is left out of the name: out/hud.%04d.png gives out/hud.png.farm.
  std::string lOut = pOptions.out;
  const size_t lPercent = lOut.rfind('%');
  const size_t lEnd = lPercent == std::string::npos ? lPercent : lOut.find('d', lPercent);
  if (lEnd != std::string::npos) {
    lOut.erase(lPercent, lEnd + 1 - lPercent);
    if (lPercent > 0 && lPercent < lOut.size() && lOut[lPercent - 1] == '.' && lOut[lPercent] == '.')
      lOut.erase(lPercent, 1);
  }
  std::string lDir = pOptions.farmDir.empty() ? lOut + ".farm" : pOptions.farmDir;
  while (lDir.size() > 1 && lDir.back() == '/') lDir.pop_back();
  return lDir;
}

std::string PartPath(const Options& pOptions, const FrameRange& pChunk) {
  return FarmDir(pOptions) + "/part." + FrameText(pChunk.first) + "-" + FrameText(pChunk.last) +
         Extension(pOptions.out);
}

std::vector<FrameRange> SplitFrames(const FrameRange& pFrames, long long pSize) {
  std::vector<FrameRange> lChunks;
  if (pSize < 1) return lChunks;
  for (long long lFirst = pFrames.first; lFirst <= pFrames.last; lFirst += pSize) {
    lChunks.push_back(FrameRange{lFirst, std::min(pFrames.last, lFirst + pSize - 1)});
    if (lChunks.back().last == pFrames.last) break;
  }
  return lChunks;
}

std::string OffsetTimecode(const std::string& pTimecode, long long pFrames, int pRateNumerator,
                           int pRateDenominator) {
  int h = 0, m = 0, s = 0, f = 0;
  char lEnd = 0;
  if (pTimecode.empty() || sscanf(pTimecode.c_str(), "%d:%d:%d:%d%c", &h, &m, &s, &f, &lEnd) != 4)
    return pTimecode;
  // Timecode counts whole frames: 30 a second at 29.97.
  const long long lRate = (pRateNumerator + pRateDenominator - 1) / pRateDenominator;
  const long long lDay = 24 * 3600 * lRate;
  long long lFrames = ((h * 3600LL + m * 60LL + s) * lRate + f + pFrames) % lDay;
  if (lFrames < 0) lFrames += lDay;
  char lText[64];
  snprintf(lText, sizeof lText, "%02lld:%02lld:%02lld:%02lld", lFrames / lRate / 3600, lFrames / lRate / 60 % 60,
           lFrames / lRate % 60, lFrames % lRate);
  return lText;
}

}  // namespace vthud_tool
