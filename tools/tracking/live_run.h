#ifndef VTHUD_TOOLS_LIVE_RUN_H
#define VTHUD_TOOLS_LIVE_RUN_H
// A run driven by a live tracker: draw k is made at start + k / fps by the
// steady clock, from the newest sample received by then, through the same
// host path a recording drives. Says once that it waits for the tracker,
// warns once per gap in the samples with its length, and sums up the
// samples, the drops and the latency at the end.
#include <functional>
#include <string>
#include <vector>

#include "run_options.h"
#include "tracking_driver.h"
#include "udp_receiver.h"

namespace vthud_tool {

class LiveRun {
 public:
  bool Active() const { return mActive; }
  // Binds the socket (and joins the group): the refusals come before anything is written.
  bool Open(const Options& pOptions, std::string& pError);
  // Starts receiving and recording; the clock starts at the first draw.
  bool Start(std::function<void(const std::string&)> pWarn, std::string& pError);
  // Over a feed the feed's pictures set the time of each draw: pStamp gives
  // draw pIndex's picture's arrival and timecode (false for a draw that held
  // the last picture). A frame takes the sample of its own timecode, else
  // the newest sample at its arrival less pDelayMs.
  using FeedStamp = std::function<bool(long long, LiveClock::time_point&, std::string&)>;
  void FollowFeed(FeedStamp pStamp, double pDelayMs) {
    mFeed = std::move(pStamp);
    mDelayMs = pDelayMs;
  }
  // Waits for draw pIndex's time, then sets the host through pTracking.
  bool BeforeDraw(long long pIndex, Tracking& pTracking, std::string& pError);
  // Stops receiving; the lines that sum the run up.
  std::string Finish();

 private:
  void Warn(const std::string& pText) const {
    if (mWarn) mWarn(pText);
  }
  // Passes on what the receiver has to say.
  void TellWarnings();
  // The sample for draw pIndex over a feed; false while there is none yet.
  bool FeedSample(long long pIndex, LiveSample& pSample);
  bool mActive = false;
  std::string mName, mRecord;
  long long mNum = 30, mDen = 1;  // frames per second, as a fraction
  UdpReceiver mReceiver;
  std::function<void(const std::string&)> mWarn;
  LiveClock::time_point mStart;
  LiveSample mSample;  // the one drawn now
  bool mToldWaiting = false, mToldRate = false, mFinished = false, mToldError = false;
  // A gap: no new sample for longer than kGap; from which draw, since when.
  bool mInGap = false;
  long long mGapDraw = 0;
  long long mDraws = 0, mLate = 0;
  std::vector<double> mLatencyMs;  // per sample drawn: its arrival to the first draw with it
  FeedStamp mFeed;
  double mDelayMs = 0;
  bool mToldMatch[2] = {false, false};  // said how frames matched: by timecode, by arrival
  long long mByTimecode = 0, mByArrival = 0;
};

}  // namespace vthud_tool

#endif
