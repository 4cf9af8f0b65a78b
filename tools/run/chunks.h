#ifndef VTHUD_TOOLS_CHUNKS_H
#define VTHUD_TOOLS_CHUNKS_H
// A run cut into chunks, as a farm draws it: the chunks of --frames, the part
// file a chunk of a video run writes, and the timecode a part starts at.
#include <string>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

// A .mov or .mp4 output, which a chunk writes as a part to be assembled.
bool IsVideoOut(const std::string& pOut);

// Where a farm run keeps its scripts, logs and parts: --farm-dir, else OUT.farm.
std::string FarmDir(const Options& pOptions);

// The part a chunk of a video run writes: FARMDIR/part.AAAAAA-BBBBBB.EXT.
std::string PartPath(const Options& pOptions, const FrameRange& pChunk);

// pFrames cut into chunks of pSize frames, the last one shorter.
std::vector<FrameRange> SplitFrames(const FrameRange& pFrames, long long pSize);

// "HH:MM:SS:FF" pFrames later at the given rate (whole frames a second,
// wrapping at 24 hours); "" stays "".
std::string OffsetTimecode(const std::string& pTimecode, long long pFrames, int pRateNumerator,
                           int pRateDenominator);

}  // namespace vthud_tool

#endif
