#ifndef VTHOST_ALLOCATION_COUNT_H
#define VTHOST_ALLOCATION_COUNT_H
// Counts the process's heap allocations (operator new), and while a count is
// open says who asked for each one: the plug-in (its own code, or a library
// such as FTGL that it called) or the host (the SDK's code, or the host
// application's). Linking this replaces the global operator new.
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

}  // namespace vthost

#endif
