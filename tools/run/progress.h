#ifndef VTHUD_TOOLS_PROGRESS_H
#define VTHUD_TOOLS_PROGRESS_H
// One updating line on a terminal for long runs: frames done and total,
// frames per second and time left. Quiet when stderr is not a terminal.
#include <chrono>
#include <csignal>
#include <cstdio>

namespace vthud_tool {

class Progress {
 public:
  Progress(long long pTotal, bool pEnabled, FILE* pStream = stderr);
  void Update(long long pDone);
  // Ends the line so that what follows starts on a fresh one.
  void Done();

 private:
  long long mTotal;
  bool mEnabled, mShown = false;
  FILE* mStream;
  std::chrono::steady_clock::time_point mStart, mLast;
};

// Ctrl-C (SIGINT) and SIGTERM set a flag that the drawing loop reads
// between frames, so a run stops cleanly instead of dying mid-file.
void InstallStopHandler();
bool StopRequested();
// For tests and benchmarks: clear the flag.
void ClearStopRequest();

}  // namespace vthud_tool

#endif
