#ifndef VTHUD_TOOLS_UDP_RECEIVER_H
#define VTHUD_TOOLS_UDP_RECEIVER_H
// A live OpenTrackIO source: a UDP socket (unicast, or a joined multicast
// group) read on a thread of its own, which reassembles each sender's
// payloads apart, decodes and checks each sample with the recording's
// reader, and keeps the newest for the drawing loop to take. Accepted samples
// are recorded by a second thread, so that a slow disk never holds up
// reception. Counts what it accepts and drops.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "otrk_packet.h"
#include "tracking_file.h"

namespace vthud_tool {

using LiveClock = std::chrono::steady_clock;

struct LiveSample {
  long long serial = 0;  // 1 for the first sample accepted, then counting up
  LiveClock::time_point arrival;
  TrackingRecording sample;  // the one sample, with what it carries forward
};

struct ReceiverCounts {
  long long accepted = 0;
  std::array<long long, static_cast<size_t>(OtrkDrop::Count)> dropped{};
  long long overtaken = 0;   // unfinished payloads given up past the reassembler's bounds
  long long overflowed = 0;  // datagrams the system dropped with the receive buffer full
};

class UdpReceiver {
 public:
  UdpReceiver() = default;
  ~UdpReceiver();
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  // Binds pAddress:pPort and, for a multicast group, joins it on
  // pInterface ("" for the system's choice). pSource keeps only samples of
  // that sourceNumber, from any sender; 0 keeps the first sender heard. False
  // with a one-line message, and refused while already open.
  bool Open(const std::string& pAddress, int pPort, const std::string& pInterface, int pSource,
            std::string& pError);
  // Starts reading; pRecord ("" for none) is created and takes every accepted
  // sample as one JSON line. Refused before Open and while running.
  bool Start(const std::string& pRecord, std::string& pError);
  // Stops reading, writes what is still queued and closes the record; safe to call twice.
  void Stop();
  // The newest accepted sample when it is newer than serial pAfter.
  bool Newest(long long pAfter, LiveSample& pSample) const;
  // Of the last few seconds' samples, the newest one pTest takes; false when none does.
  bool Newest(const std::function<bool(const LiveSample&)>& pTest, LiveSample& pSample) const;
  ReceiverCounts Counts() const;
  // Why reception or recording stopped, or "".
  std::string Error() const;
  // Warnings since the last call, one line each (a small receive buffer, a second sender).
  std::vector<std::string> TakeWarnings();

 private:
  void Loop();
  void Accept(const OtrkPayload& pPayload, OtrkSender pFrom, LiveClock::time_point pArrival);
  void Drop(OtrkDrop pWhy, long long pPackets = 1);
  void Warn(const std::string& pText);
  void Fail(const std::string& pText);
  void WriteRecord();

  int mSocket = -1;
  int mSource = 0;
  std::string mWhere;
  std::thread mThread;
  std::atomic<bool> mStop{false};
  OtrkReassembler mReassembler;  // the thread's own
  TrackingRecording mLast;       // the thread's own: the last accepted sample, for carrying forward
  // The thread's own, without a source asked for: the sender followed, its
  // name with its sourceNumber, and when it last gave a sample.
  OtrkSender mKept = 0;
  bool mHaveKept = false, mToldSecond = false;
  std::string mKeptName;
  long long mKeptMs = 0;

  // The recording: lines queued by the receiving thread, written and flushed by its own.
  FILE* mRecord = nullptr;
  std::string mRecordPath;
  std::thread mWriter;
  std::condition_variable mQueued;
  std::deque<std::string> mQueue;  // guarded by mMutex
  bool mWriterStop = false;        // guarded by mMutex
  std::atomic<bool> mRecording{false};

  mutable std::mutex mMutex;  // guards what follows
  LiveSample mNewest;
  std::deque<LiveSample> mRecent;  // the newest last, for a feed's frames to find theirs in
  ReceiverCounts mCounts;
  std::string mError;
  std::vector<std::string> mWarnings;
};

}  // namespace vthud_tool

#endif
