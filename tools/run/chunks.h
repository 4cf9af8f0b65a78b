#ifndef VTHUD_TOOLS_CHUNKS_H
#define VTHUD_TOOLS_CHUNKS_H
// A run cut into chunks, as a farm draws it: the chunks of --frames (the
// parts they write are named in farm/video_parts).
#include <string>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

// A .mov or .mp4 output, which a chunk writes as a part to be assembled.
bool IsVideoOut(const std::string& pOut);

// pFrames cut into chunks of pSize frames, the last one shorter.
std::vector<FrameRange> SplitFrames(const FrameRange& pFrames, long long pSize);

}  // namespace vthud_tool

#endif
