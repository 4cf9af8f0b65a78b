#ifndef VTHUD_TOOLS_DRAW_PLAN_H
#define VTHUD_TOOLS_DRAW_PLAN_H
// What the host looks like on each draw of a run: the scene frame, the
// transport flags and the property changes made just before it.
#include <string>
#include <utility>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

struct DrawState {
  long long frame = 0;
  bool recording = false, playing = false;
  std::vector<std::pair<std::string, std::string>> sets;  // property display name, value text
};

class DrawPlan {
 public:
  // From the command line: one frame, a --frames range with the --record and
  // --play ranges, or the --draws list. False with a one-line message.
  bool Build(const Options& pOptions, std::string& pError);
  long long Count() const {
    return mExplicit ? static_cast<long long>(mDraws.size()) : mRange.last - mRange.first + 1;
  }
  // The state of draw pIndex, 0 <= pIndex < Count().
  DrawState At(long long pIndex) const;

  // The most draws one run makes; keeps the host clock inside FBTime.
  static const long long kMaxDraws = 10000000;

 private:
  bool mExplicit = false;
  FrameRange mRange;
  std::vector<FrameRange> mRecord, mPlay;
  bool mAlwaysRecording = false, mAlwaysPlaying = false;
  std::vector<DrawState> mDraws;
};

// Parses a --draws list: a JSON array of objects with "frame" (whole number,
// required), "recording" and "playing" (booleans, default false) and "set"
// (an object of property names to values). pLimit bounds the frames.
bool ParseDraws(const std::string& pJson, long long pLimit, std::vector<DrawState>& pDraws, std::string& pError);

}  // namespace vthud_tool

#endif
