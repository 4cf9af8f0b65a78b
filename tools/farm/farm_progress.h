#ifndef VTHUD_TOOLS_FARM_PROGRESS_H
#define VTHUD_TOOLS_FARM_PROGRESS_H
// What of a farm run is done: the chunks whose output is whole, read from
// the files themselves, so that a run submitted again redoes only the rest.
#include <string>
#include <vector>

#include "run_options.h"

namespace vthud_tool {

// True when chunk pChunk of the run pOptions describes (paths absolute) has
// written all it writes: a whole video part, or every frame's PNG.
bool ChunkDone(const Options& pOptions, const FrameRange& pChunk);

// The chunks of pChunks that are not done, by index.
std::vector<size_t> PendingChunks(const Options& pOptions, const std::vector<FrameRange>& pChunks);

}  // namespace vthud_tool

#endif
