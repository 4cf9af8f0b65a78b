#include "chunks.h"

#include <algorithm>

#include "file_name.h"

namespace vthud_tool {

bool IsVideoOut(const std::string& pOut) { return IsVideoFile(pOut); }

std::vector<FrameRange> SplitFrames(const FrameRange& pFrames, long long pSize) {
  std::vector<FrameRange> lChunks;
  if (pSize < 1) return lChunks;
  for (long long lFirst = pFrames.first; lFirst <= pFrames.last; lFirst += pSize) {
    lChunks.push_back(FrameRange{lFirst, std::min(pFrames.last, lFirst + pSize - 1)});
    if (lChunks.back().last == pFrames.last) break;
  }
  return lChunks;
}

}  // namespace vthud_tool
