#ifndef VTHUD_TOOLS_PLATE_FACTS_H
#define VTHUD_TOOLS_PLATE_FACTS_H
// What a video plate says of itself, which a run takes as its defaults: how
// many frames it holds, its frame rate and the timecode of its first frame.
#include <string>

namespace vthud_tool {

struct PlateFacts {
  long long frames = 0;                        // 0: not known
  int rateNumerator = 0, rateDenominator = 0;  // 0/0: no constant rate
  std::string timecode;                        // "HH:MM:SS:FF" (";" before FF: drop-frame), or ""
};

// The facts of the video at pPath, read from its container without decoding
// beyond its first frame (the frame count is counted from its packets where
// the container does not give it). False with a one-line message when it
// cannot be read or holds no video.
bool ProbePlateFacts(const std::string& pPath, PlateFacts& pFacts, std::string& pError);

}  // namespace vthud_tool

#endif
