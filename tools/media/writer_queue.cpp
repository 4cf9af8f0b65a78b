#include "writer_queue.h"

#include <algorithm>

namespace vthud_tool {

WriterQueue::WriterQueue(FrameSink& pSink, int pThreads, int pBuffers) : mSink(pSink) {
  const int lThreads = pSink.Ordered() ? 1 : (pThreads > 0 ? pThreads : 1);
  for (int i = 0; i < std::max(pBuffers, lThreads + 1); ++i) mFree.emplace_back(new vthost::Image);
  for (int i = 0; i < lThreads; ++i) mThreads.emplace_back(&WriterQueue::Work, this);
}

WriterQueue::~WriterQueue() {
  std::string lIgnored;
  Finish(lIgnored);
}

std::unique_ptr<vthost::Image> WriterQueue::Acquire() {
  std::unique_lock<std::mutex> lLock(mMutex);
  mChanged.wait(lLock, [&] { return !mFree.empty(); });
  std::unique_ptr<vthost::Image> lImage = std::move(mFree.back());
  mFree.pop_back();
  return lImage;
}

void WriterQueue::Submit(std::unique_ptr<vthost::Image> pImage, long long pFrame) {
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    mJobs.emplace_back(std::move(pImage), pFrame);
  }
  mChanged.notify_all();
}

bool WriterQueue::Failed(std::string& pError) const {
  std::lock_guard<std::mutex> lLock(mMutex);
  if (mError.empty()) return false;
  pError = mError;
  return true;
}

void WriterQueue::Work() {
  std::unique_lock<std::mutex> lLock(mMutex);
  for (;;) {
    mChanged.wait(lLock, [&] { return mStopping || !mJobs.empty(); });
    if (mJobs.empty()) return;
    auto lJob = std::move(mJobs.front());
    mJobs.pop_front();
    ++mBusy;
    const bool lSkip = !mError.empty();
    lLock.unlock();
    std::string lError;
    const bool lWritten = !lSkip && mSink.Write(*lJob.first, lJob.second, lError);
    lLock.lock();
    if (lWritten) ++mWritten;
    if (!lSkip && !lWritten && mError.empty()) mError = lError;
    --mBusy;
    mFree.push_back(std::move(lJob.first));
    mChanged.notify_all();
  }
}

bool WriterQueue::Finish(std::string& pError) {
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    if (mFinished) return mError.empty();
    mStopping = true;
  }
  mChanged.notify_all();
  for (std::thread& lThread : mThreads) lThread.join();
  mThreads.clear();
  std::string lCloseError;
  const bool lClosed = mSink.Close(lCloseError);
  std::lock_guard<std::mutex> lLock(mMutex);
  mFinished = true;
  if (mError.empty() && !lClosed) mError = lCloseError;
  pError = mError;
  return mError.empty();
}

}  // namespace vthud_tool
