#include "farm_progress.h"

#include <QFileInfo>
#include <QString>

#include "chunks.h"
#include "frame_pattern.h"
#include "video_parts.h"

namespace vthud_tool {

namespace {

bool IsFile(const std::string& pPath) { return QFileInfo(QString::fromStdString(pPath)).isFile(); }

}  // namespace

bool ChunkDone(const Options& pOptions, const FrameRange& pChunk) {
  if (IsVideoOut(pOptions.out)) return PartIsWhole(PartPath(pOptions, pChunk), pChunk.first, pChunk.last);
  FramePattern lPattern;
  bool lIsPattern = false;
  std::string lIgnored;
  if (!lPattern.Parse(pOptions.out, lIsPattern, lIgnored)) return false;
  // PNGs are written under a temporary name and renamed, so one that exists is whole.
  if (!lIsPattern) return IsFile(lPattern.Expand(0));
  for (long long f = pChunk.first; f <= pChunk.last; ++f)
    if (!IsFile(lPattern.Expand(f))) return false;
  return true;
}

std::vector<size_t> PendingChunks(const Options& pOptions, const std::vector<FrameRange>& pChunks) {
  std::vector<size_t> lPending;
  for (size_t i = 0; i < pChunks.size(); ++i)
    if (!ChunkDone(pOptions, pChunks[i])) lPending.push_back(i);
  return lPending;
}

}  // namespace vthud_tool
