// A replaced operator new that counts, and attributes by walking the stack:
// the innermost frame in the SDK's or the plug-in's object decides.
#include "allocation_count.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <fbsdk/fbsdk.h>

namespace {
std::atomic<long> gAllocations{0};
bool gAttributing = false;
thread_local bool tInside = false;
const void* gPluginBase = nullptr;
const void* gSdkBase = nullptr;
vthost::Allocations gCount;

const void* ObjectBase(const void* pAddress) {
  Dl_info lInfo;
  return dladdr(pAddress, &lInfo) ? lInfo.dli_fbase : nullptr;
}

void Attribute() {
  void* lFrames[48];
  const int lCount = backtrace(lFrames, 48);
  for (int i = 0; i < lCount; ++i) {
    const void* lBase = ObjectBase(lFrames[i]);
    if (lBase == gSdkBase) {
      ++gCount.host;
      return;
    }
    if (lBase == gPluginBase) {
      ++gCount.plugin;
      return;
    }
  }
  ++gCount.host;  // the host application itself
}

void* Allocate(size_t pSize) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (gAttributing && !tInside) {
    tInside = true;
    Attribute();
    tInside = false;
  }
  if (void* p = std::malloc(pSize ? pSize : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t pSize) { return Allocate(pSize); }
void* operator new[](size_t pSize) { return Allocate(pSize); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace vthost {

long AllocationsSoFar() { return gAllocations.load(std::memory_order_relaxed); }

void StartAttributingAllocations(const void* pPluginAddress) {
  gPluginBase = ObjectBase(pPluginAddress);
  gSdkBase = ObjectBase(reinterpret_cast<const void*>(&ORSDK2016::FBPlug::mGlobalTypeInfo));
  void* lPrime[1];
  backtrace(lPrime, 1);  // its first call loads the unwinder, which allocates
  gCount = Allocations();
  gAttributing = true;
}

Allocations StopAttributingAllocations() {
  gAttributing = false;
  return gCount;
}

}  // namespace vthost
