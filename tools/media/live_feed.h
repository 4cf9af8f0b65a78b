#ifndef VTHUD_TOOLS_LIVE_FEED_H
#define VTHUD_TOOLS_LIVE_FEED_H
// A camera's own feed decoded as it comes: MPEG-TS (H.264 or HEVC) over SRT
// or UDP, opened with small probing and decoded without frame threads, each
// picture fitted to the canvas on a thread of its own. Only the newest
// picture waits for the draws: one still waiting when a newer is ready is
// dropped and counted, so the delay never grows. A sender that goes away is
// waited for and taken up again, new parameter sets and all.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "av_common.h"
#include "picture_reader.h"

namespace vthud_tool {

using FeedClock = std::chrono::steady_clock;

// True for "srt://..." and "udp://...": a feed, not a file.
bool IsFeedUrl(const std::string& pText);
// "" for a well-formed feed URL (srt://[HOST]:PORT or udp://[HOST]:PORT, with
// an optional ?query the protocol takes), else why it is not.
std::string FeedUrlProblem(const std::string& pUrl);
// True when the tool calls the sender (SRT's default mode) rather than
// listening for it; only a caller can tell that nobody is there.
bool FeedCalls(const std::string& pUrl);

// The pFraction quantile of pValues (nearest rank); 0 for none.
double Quantile(std::vector<double> pValues, double pFraction);

struct FeedPicture {
  AvFramePtr frame;               // canvas RGBA, bottom row first
  FeedClock::time_point arrival;  // when the demuxer gave the packet that completed it
  std::string timecode;           // its S12M timecode "HH:MM:SS:FF", "" without
};

struct FeedCounts {
  long long in = 0;       // pictures decoded since the first draw asked for one
  long long dropped = 0;  // of those, overtaken by a newer one before a draw took them
  long long reopened = 0;
};

class LiveFeed {
 public:
  LiveFeed() = default;
  ~LiveFeed();
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  // Opens pUrl and finds its video stream; a caller gives up after
  // pCallerWait. False with one line naming the URL.
  bool Open(const std::string& pUrl, std::string& pError,
            FeedClock::duration pCallerWait = std::chrono::seconds(5));
  const StreamFacts& Facts() const { return mFacts; }
  // What else ends a wait for the sender (the run being stopped); set before Open().
  void SetStopCheck(std::function<bool()> pStopped) { mStopCheck = std::move(pStopped); }
  // What each picture goes through into RGBA; set before Start().
  void SetChain(const std::string& pChain) { mChain = pChain; }
  // Starts decoding on a thread of its own; pWarn takes what it has to say.
  void Start(std::function<void(const std::string&)> pWarn);
  // The picture waiting, or the next one within pWait; false when none came.
  bool Take(FeedPicture& pPicture, FeedClock::duration pWait);
  FeedCounts Counts() const;
  void Stop();

 private:
  bool OpenInput(std::string& pError);
  void Loop();
  bool Decode(AVPacket* pPacket, FeedClock::time_point pArrival);
  static int Interrupted(void* pFeed);

  std::function<bool()> mStopCheck;
  std::string mUrl, mChain;
  StreamFacts mFacts;
  AvInputPtr mInput;
  AvCodecPtr mCodec;
  int mVideo = -1;
  FilterChain mFilter;  // the thread's own
  AvFramePtr mDecoded;
  std::atomic<bool> mStop{false};
  // The moment a blocking open or read gives up (a caller's wait), or none.
  std::atomic<long long> mDeadline{0};
  std::thread mThread;
  std::function<void(const std::string&)> mWarn;

  mutable std::mutex mMutex;  // guards what follows
  std::condition_variable mReady;
  FeedPicture mWaiting;
  bool mHasWaiting = false, mTaking = false;
  FeedCounts mCounts;
};

// A live run's book of its feed: when the picture of each draw arrived, and
// how long until its output packet left; the figures at the end.
class FeedBook {
 public:
  void Drawn(long long pDraw, FeedClock::time_point pArrival);
  // A draw that held the last picture, none having come.
  void Held() { ++mHeld; }
  // Draw pDraw's packet was handed to the output just now.
  void HandedOff(long long pDraw);
  long long HeldDraws() const { return mHeld; }
  std::vector<double> LatencyMs() const;

 private:
  mutable std::mutex mMutex;
  std::map<long long, FeedClock::time_point> mArrivals;
  std::vector<double> mLatencyMs;
  std::atomic<long long> mHeld{0};
};

}  // namespace vthud_tool

#endif
