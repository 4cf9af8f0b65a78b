#ifndef VTHUD_BENCH_SUPPORT_H
#define VTHUD_BENCH_SUPPORT_H
// The overlays the benchmark draws, and the first-frame measurement that runs
// each first frame in a fresh process.
#include <fbsdk/fbsdk.h>

namespace vthud_bench {

enum Overlay { kNone, kStatusOnly, kDefault, kEverything, kSaveVeil };

// Sets a new element's properties for one of the overlays.
void Configure(FBComponent* pElement, Overlay pOverlay);

// For each face bundle: the first frame of a new element with the default
// overlay and with the save veil, in time and whole-process peak memory, and
// the message font's atlas. Prints a table; call before any GL context exists.
void PrintFirstFrames();

}  // namespace vthud_bench

#endif
