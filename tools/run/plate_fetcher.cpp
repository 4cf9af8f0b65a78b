#include "plate_fetcher.h"

namespace vthud_tool {

PlateFetcher::~PlateFetcher() {
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    mStopping = true;
  }
  mChanged.notify_all();
  if (mThread.joinable()) mThread.join();
}

void PlateFetcher::Ask(long long pIndex) {
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    mIndex = pIndex;
    mAsked = mPending = true;
    mDone = false;
  }
  if (!mThread.joinable()) mThread = std::thread(&PlateFetcher::Work, this);
  mChanged.notify_all();
}

bool PlateFetcher::Wait() {
  std::unique_lock<std::mutex> lLock(mMutex);
  if (!mPending) return false;
  mChanged.wait(lLock, [this] { return mDone; });
  mDone = mPending = false;
  return mResult;
}

void PlateFetcher::Work() {
  std::unique_lock<std::mutex> lLock(mMutex);
  for (;;) {
    mChanged.wait(lLock, [this] { return mAsked || mStopping; });
    // A fetch asked for is finished even when stopping: its caller may be waiting for it.
    if (!mAsked) return;
    mAsked = false;
    const long long lIndex = mIndex;
    lLock.unlock();
    const bool lResult = mFetch(lIndex);
    lLock.lock();
    mResult = lResult;
    mDone = true;
    mChanged.notify_all();
  }
}

}  // namespace vthud_tool
