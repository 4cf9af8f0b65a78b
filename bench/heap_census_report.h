#ifndef VTHUD_BENCH_HEAP_CENSUS_REPORT_H
#define VTHUD_BENCH_HEAP_CENSUS_REPORT_H
// A heap census printed by caller: for each object that asked for blocks
// (Mesa, FTGL, the SDK, the plug-in, the host), the function that asked, the
// one that called into that object and the plug-in's frame on the stack,
// named by addr2line from the objects' debug information.
#include <string>

#include "allocation_count.h"

namespace vthud_bench {

// The table as text; call it while the objects named are still loaded.
std::string HeapCensusTable(const std::string& pTitle, const vthost::HeapCensus& pCensus, int pFrames);

}  // namespace vthud_bench

#endif
