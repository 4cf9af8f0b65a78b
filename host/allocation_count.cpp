// A replaced operator new that counts, and attributes by walking the stack:
// the innermost frame in the SDK's or the plug-in's object decides. Outside a
// sanitizer build malloc and its kin are replaced too, forwarding to glibc's
// own, for the census of heap blocks by caller.
#include "allocation_count.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VTHOST_HEAP_CENSUS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define VTHOST_HEAP_CENSUS 0
#endif
#endif
#ifndef VTHOST_HEAP_CENSUS
#define VTHOST_HEAP_CENSUS 1
#endif

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

// The census. Its table is fixed, so counting allocates nothing.
constexpr int kCallers = 512;
std::atomic<bool> gCensusOpen{false};
pthread_t gCensusThread;
vthost::HeapCaller gCallers[kCallers];
int gCallersUsed = 0;
long gCensusBlocks = 0, gCensusPluginBlocks = 0;
std::atomic<long> gCensusOtherThreads{0};
bool gCensusOverflowed = false;

// The C and C++ runtimes only pass a request on; the caller is above them.
bool IsRuntime(const char* pFile) {
  const char* lName = strrchr(pFile, '/');
  lName = lName ? lName + 1 : pFile;
  return strncmp(lName, "libc.so", 7) == 0 || strncmp(lName, "libstdc++.so", 12) == 0 ||
         strncmp(lName, "libgcc_s.so", 11) == 0;
}

// pReturn is the return address into whoever called the replaced function;
// the frames inside this file lie below it on the stack.
void CountBlock(const void* pReturn) {
  if (!gCensusOpen.load(std::memory_order_relaxed)) return;
  if (!pthread_equal(pthread_self(), gCensusThread)) {
    gCensusOtherThreads.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  if (tInside) return;
  tInside = true;
  void* lFrames[64];
  const int lCount = backtrace(lFrames, 64);
  int i = 0;
  while (i < lCount && lFrames[i] != pReturn) ++i;
  if (i == lCount) i = 0;
  const void* lAskerBase = nullptr;
  const void* lAsker = nullptr;
  const void* lEntry = nullptr;
  const void* lPlugin = nullptr;
  for (; i < lCount; ++i) {
    Dl_info lInfo;
    if (!dladdr(lFrames[i], &lInfo)) continue;
    if (!lAsker && !(lInfo.dli_fname && IsRuntime(lInfo.dli_fname))) {
      lAsker = lFrames[i];
      lAskerBase = lInfo.dli_fbase;
    } else if (lAsker && !lEntry && lInfo.dli_fbase != lAskerBase) {
      lEntry = lFrames[i];
    }
    if (lInfo.dli_fbase == gPluginBase) {
      lPlugin = lFrames[i];
      break;
    }
  }
  ++gCensusBlocks;
  if (lPlugin) ++gCensusPluginBlocks;
  int lSlot = 0;
  while (lSlot < gCallersUsed &&
         (gCallers[lSlot].asker != lAsker || gCallers[lSlot].entry != lEntry || gCallers[lSlot].plugin != lPlugin))
    ++lSlot;
  if (lSlot == gCallersUsed) {
    if (gCallersUsed == kCallers) {
      gCensusOverflowed = true;
      tInside = false;
      return;
    }
    gCallers[gCallersUsed++] = vthost::HeapCaller{lAskerBase, lAsker, lEntry, lPlugin, 0};
  }
  ++gCallers[lSlot].blocks;
  tInside = false;
}

#if VTHOST_HEAP_CENSUS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
}
void* SystemMalloc(size_t pSize) { return __libc_malloc(pSize); }
#else
void* SystemMalloc(size_t pSize) { return std::malloc(pSize); }
#endif

void* Allocate(size_t pSize, const void* pReturn) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (gAttributing && !tInside) {
    tInside = true;
    Attribute();
    tInside = false;
  }
  CountBlock(pReturn);
  if (void* p = SystemMalloc(pSize ? pSize : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

#if VTHOST_HEAP_CENSUS
// glibc supports replacing these in the program; every library's requests,
// glibc's own included, come here first.
extern "C" {
__attribute__((noinline)) void* malloc(size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_malloc(pSize);
}
__attribute__((noinline)) void* calloc(size_t pCount, size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_calloc(pCount, pSize);
}
__attribute__((noinline)) void* realloc(void* p, size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_realloc(p, pSize);
}
__attribute__((noinline)) void* memalign(size_t pAlign, size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_memalign(pAlign, pSize);
}
__attribute__((noinline)) void* aligned_alloc(size_t pAlign, size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_memalign(pAlign, pSize);
}
__attribute__((noinline)) int posix_memalign(void** pOut, size_t pAlign, size_t pSize) {
  CountBlock(__builtin_return_address(0));
  if (pAlign % sizeof(void*) != 0 || (pAlign & (pAlign - 1)) != 0) return EINVAL;
  void* p = __libc_memalign(pAlign, pSize);
  if (!p) return ENOMEM;
  *pOut = p;
  return 0;
}
__attribute__((noinline)) void* valloc(size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_valloc(pSize);
}
__attribute__((noinline)) void* pvalloc(size_t pSize) {
  CountBlock(__builtin_return_address(0));
  return __libc_pvalloc(pSize);
}
}
#endif

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
__attribute__((noinline)) void* operator new(size_t pSize) { return Allocate(pSize, __builtin_return_address(0)); }
__attribute__((noinline)) void* operator new[](size_t pSize) {
  return Allocate(pSize, __builtin_return_address(0));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
// Every other form too: a library (Mesa's LLVM) that allocates with one form
// and frees with another must meet the same malloc and free, or a sanitizer
// build sees a mismatched pair.
__attribute__((noinline)) void* operator new(size_t pSize, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  CountBlock(__builtin_return_address(0));
  return SystemMalloc(pSize ? pSize : 1);
}
__attribute__((noinline)) void* operator new[](size_t pSize, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  CountBlock(__builtin_return_address(0));
  return SystemMalloc(pSize ? pSize : 1);
}
__attribute__((noinline)) void* operator new(size_t pSize, std::align_val_t pAlign) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  void* p = nullptr;
  // Counted by the census in posix_memalign.
  if (posix_memalign(&p, static_cast<size_t>(pAlign), pSize ? pSize : 1) != 0) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t pSize, std::align_val_t pAlign) { return operator new(pSize, pAlign); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }

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

bool HeapCensusAvailable() { return VTHOST_HEAP_CENSUS != 0; }

void StartHeapCensus(const void* pPluginAddress) {
  gPluginBase = ObjectBase(pPluginAddress);
  void* lPrime[1];
  backtrace(lPrime, 1);  // its first call loads the unwinder, which allocates
  gCallersUsed = 0;
  gCensusBlocks = gCensusPluginBlocks = 0;
  gCensusOtherThreads = 0;
  gCensusOverflowed = false;
  gCensusThread = pthread_self();
  gCensusOpen = true;
}

HeapCensus StopHeapCensus() {
  gCensusOpen = false;
  HeapCensus lCensus;
  lCensus.callers.assign(gCallers, gCallers + gCallersUsed);
  lCensus.blocks = gCensusBlocks;
  lCensus.pluginBlocks = gCensusPluginBlocks;
  lCensus.otherThreads = gCensusOtherThreads;
  lCensus.overflowed = gCensusOverflowed;
  return lCensus;
}

std::string ObjectFile(const void* pBase) {
  Dl_info lInfo;
  if (!pBase || !dladdr(pBase, &lInfo) || !lInfo.dli_fname) return "?";
  return lInfo.dli_fname;
}

}  // namespace vthost
