#ifndef VTHUD_TOOLS_PLATE_DEFAULTS_H
#define VTHUD_TOOLS_PLATE_DEFAULTS_H
// A run over a plate takes the plate's own length and rate where the command
// line gives none, as dailies tools keep a source's: a video plate's frames
// and frame rate, a plate sequence's files.
#include <string>

#include "plate_facts.h"
#include "run_options.h"

namespace vthud_tool {

struct PlateRun {
  std::string name;  // the video's path or the sequence's pattern, for messages
  bool video = false;
  PlateFacts facts;  // a video's
  bool sequence = false;
  long long firstFile = 0, lastFile = -1;  // a sequence's contiguous files; none when last < first
};

// Without --fps, the run takes a video plate's rate when a scene runs at it;
// a --fps at another rate is refused, naming both. Without --frame, --frames
// or --draws, the run covers the plate: a video's frames from 0, a
// sequence's files; pOnePicture (the output is one picture) keeps one frame,
// the plate's first. pWarning: a line for a plate at a rate no scene runs at,
// drawn a plate frame a scene frame, or "".
bool ApplyPlateDefaults(const PlateRun& pPlate, bool pOnePicture, Options& pOptions, std::string& pWarning,
                        std::string& pError);

}  // namespace vthud_tool

#endif
