#include "progress.h"

#include <signal.h>
#include <unistd.h>

namespace vthud_tool {

namespace {
volatile sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }
}  // namespace

Progress::Progress(long long pTotal, bool pEnabled, FILE* pStream)
    : mTotal(pTotal),
      mEnabled(pEnabled),
      mStream(pStream),
      mStart(std::chrono::steady_clock::now()),
      mLast(mStart) {}

void Progress::Update(long long pDone) {
  if (!mEnabled) return;
  const auto lNow = std::chrono::steady_clock::now();
  // A few updates a second are enough for the eye and cost nothing.
  if (pDone < mTotal && lNow - mLast < std::chrono::milliseconds(200)) return;
  mLast = lNow;
  const double lSeconds = std::chrono::duration<double>(lNow - mStart).count();
  const double lFps = lSeconds > 0.0 ? pDone / lSeconds : 0.0;
  const long long lLeft = lFps > 0.0 ? static_cast<long long>((mTotal - pDone) / lFps + 0.5) : 0;
  fprintf(mStream, "\r\033[Kframe %lld/%lld  %.1f fps  %lld:%02lld left", pDone, mTotal, lFps, lLeft / 60,
          lLeft % 60);
  fflush(mStream);
  mShown = true;
}

void Progress::Done() {
  if (!mShown) return;
  fputs("\n", mStream);
  fflush(mStream);
  mShown = false;
}

void InstallStopHandler() {
  struct sigaction lAction = {};
  lAction.sa_handler = OnStopSignal;
  sigemptyset(&lAction.sa_mask);
  sigaction(SIGINT, &lAction, nullptr);
  sigaction(SIGTERM, &lAction, nullptr);
  // A closed encoder pipe is reported by the write, not by a signal.
  signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return gStop != 0; }
void ClearStopRequest() { gStop = 0; }

}  // namespace vthud_tool
