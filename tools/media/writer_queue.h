#ifndef VTHUD_TOOLS_WRITER_QUEUE_H
#define VTHUD_TOOLS_WRITER_QUEUE_H
// Writer threads between the drawing loop and a FrameSink: the loop hands
// over a frame and goes on drawing while it is encoded. Frame buffers are
// recycled, so a long run allocates its buffers once.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_sink.h"
#include "png_image.h"

namespace vthud_tool {

class WriterQueue {
 public:
  // pThreads writers (one when the sink wants frames in order) and room for
  // pBuffers frames in flight.
  WriterQueue(FrameSink& pSink, int pThreads, int pBuffers);
  ~WriterQueue();
  WriterQueue(const WriterQueue&) = delete;
  WriterQueue& operator=(const WriterQueue&) = delete;

  // A free buffer; waits while every buffer is in flight.
  std::unique_ptr<vthost::Image> Acquire();
  void Submit(std::unique_ptr<vthost::Image> pImage, long long pFrame);
  // The first write error, once there is one; the writers skip what follows.
  bool Failed(std::string& pError) const;
  long long Written() const { return mWritten.load(); }
  // Waits for every frame handed over, stops the threads and closes the
  // sink. False with the first error of the writes or the close.
  bool Finish(std::string& pError);

 private:
  void Work();

  FrameSink& mSink;
  std::vector<std::thread> mThreads;
  mutable std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<std::pair<std::unique_ptr<vthost::Image>, long long>> mJobs;
  std::vector<std::unique_ptr<vthost::Image>> mFree;
  int mBusy = 0;
  bool mStopping = false, mFinished = false;
  std::string mError;
  std::atomic<long long> mWritten{0};
};

}  // namespace vthud_tool

#endif
