#ifndef VTHUD_BENCH_CONTEXT_H
#define VTHUD_BENCH_CONTEXT_H
// The benchmarks' one headless GL context, made on first use; a machine
// without one ends the run with the reason.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "headless_gl.h"

inline vthost::HeadlessGL* BenchContext() {
  static vthost::HeadlessGL* sGL = [] {
    auto* lGL = new vthost::HeadlessGL;
    vthost::GLPlatform lPlatform;
    std::string lError;
    if (!vthost::PlatformFromEnvironment(lPlatform, lError) || !lGL->Create(lPlatform, lError)) {
      fprintf(stderr, "%s\n", lError.c_str());
      exit(1);
    }
    fprintf(stderr, "context: %s\n", lGL->Description().c_str());
    return lGL;
  }();
  return sGL;
}

#endif
