#ifndef VTHOST_ALLOCATION_COUNT_H
#define VTHOST_ALLOCATION_COUNT_H
// Counts the process's heap allocations (operator new), and while a count is
// open says who asked for each one: the plug-in (its own code, or a library
// such as FTGL that it called) or the host (the SDK's code, or the host
// application's). Linking this replaces the global operator new.
#include <string>
#include <vector>

namespace vthost {

struct Allocations {
  long plugin = 0;
  long host = 0;
  long Total() const { return plugin + host; }
};

// Every allocation since the process started; cheap, for benchmarks.
long AllocationsSoFar();

// Opens a count that attributes allocations; pPluginAddress is any address
// inside the plug-in's shared object (a symbol it exports).
void StartAttributingAllocations(const void* pPluginAddress);
Allocations StopAttributingAllocations();

// A census of heap blocks from malloc and its kin, every library included,
// while it is open. Each block made on the thread that opened it is counted
// under the code that asked for it, found by walking the stack past the C and
// C++ runtimes: the object that asked (Mesa, FTGL, the SDK, the plug-in, the
// host application), the frame that called into that object, and, when the
// plug-in is on the stack, the plug-in's frame innermost to the call. Blocks of other threads (the driver's
// workers) are only counted. Not available in a sanitizer build, whose runtime owns malloc; there
// HeapCensusAvailable() is false and a census counts nothing.
struct HeapCaller {
  const void* askerBase = nullptr;  // the object that asked for the block
  const void* asker = nullptr;      // the asking frame's return address
  const void* entry = nullptr;      // the frame that called into the asker's object
  const void* plugin = nullptr;     // the plug-in's innermost frame, or null
  long blocks = 0;
};
struct HeapCensus {
  std::vector<HeapCaller> callers;  // distinct (asker, plug-in frame) pairs
  long blocks = 0;                  // on the census thread
  long pluginBlocks = 0;            // of those, with the plug-in on the stack
  long otherThreads = 0;
  bool overflowed = false;  // more distinct callers than the table holds
};
bool HeapCensusAvailable();
void StartHeapCensus(const void* pPluginAddress);
HeapCensus StopHeapCensus();
// The file of the object at pBase, or "?".
std::string ObjectFile(const void* pBase);

}  // namespace vthost

#endif
