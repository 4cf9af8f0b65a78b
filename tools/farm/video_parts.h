#ifndef VTHUD_TOOLS_VIDEO_PARTS_H
#define VTHUD_TOOLS_VIDEO_PARTS_H
// The video parts chunks of a run write, where they are kept and named, and joining them into the run's
// video without re-encoding: FFmpeg's concat demuxer with stream copy, in-process.
#include <string>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

// Container tags a part carries: the whole run's frames "S:E", its own "A:B",
// and the whole run's start timecode.
extern const char* const kPartRunTag;
extern const char* const kPartChunkTag;
extern const char* const kPartRunTimecodeTag;
extern const char* const kPartTimecodeTag;  // the part's own first frame's

// Where a farm run keeps its scripts, logs and parts: --farm-dir, else OUT.farm.
std::string FarmDir(const Options& pOptions);

// The part a chunk of a video run writes: FARMDIR/part.AAAAAA-BBBBBB.EXT.
std::string PartPath(const Options& pOptions, const FrameRange& pChunk);

struct PartInfo {
  long long runFirst = 0, runLast = 0, first = 0, last = 0;
  std::string runTimecode;
  long long frames = 0;  // video packets in the file, one a frame
};

// Reads a part's tags and counts its frames (no decoding).
// False with a one-line message when it is missing, unreadable or no part.
bool ProbePart(const std::string& pPath, PartInfo& pInfo, std::string& pError);

// True when pPath is a part of chunk pFirst:pLast holding every frame of it.
bool PartIsWhole(const std::string& pPath, long long pFirst, long long pLast);

// Joins pParts, in order, into pOut: they must be whole and follow each other
// from the run's first frame to its last. pOut gets the run's start timecode,
// the parts' colour tags and the run's frame count; it is written under a
// temporary name and renamed once checked, so a failed join leaves no pOut.
// False with a message naming the first missing, short or misplaced part.
bool AssembleParts(const std::string& pOut, const std::vector<std::string>& pParts, std::string& pSummary,
                   std::string& pError);

}  // namespace vthud_tool

#endif
