#ifndef VTHUD_TOOLS_PLATE_FETCHER_H
#define VTHUD_TOOLS_PLATE_FETCHER_H
// One long-lived thread that fetches the next draw's plate while the loop
// draws this one. A thread per draw would cost a start and an exit each frame
// and, on a live feed, leave one waiting thread coming and going all run.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vthud_tool {

class PlateFetcher {
 public:
  explicit PlateFetcher(std::function<bool(long long)> pFetch) : mFetch(std::move(pFetch)) {}
  ~PlateFetcher();
  PlateFetcher(const PlateFetcher&) = delete;
  PlateFetcher& operator=(const PlateFetcher&) = delete;

  // Starts fetching for draw pIndex; the last fetch must have been waited for.
  void Ask(long long pIndex);
  // The result of the last fetch asked for, once it is done; false if none was asked.
  bool Wait();

 private:
  void Work();

  std::function<bool(long long)> mFetch;
  std::thread mThread;
  std::mutex mMutex;
  std::condition_variable mChanged;
  long long mIndex = 0;
  // Asked: not yet taken up by the thread; pending: not yet waited for.
  bool mAsked = false, mPending = false, mDone = false, mResult = false, mStopping = false;
};

}  // namespace vthud_tool

#endif
