#ifndef VTHUD_TOOLS_UDP_RECEIVER_H
#define VTHUD_TOOLS_UDP_RECEIVER_H
// A live OpenTrackIO source: a UDP socket (unicast, or a joined multicast
// group) read on a thread of its own, which reassembles, decodes and checks
// each sample with the recording's reader, records it, and keeps the newest
// for the drawing loop to take. Counts what it accepts and drops.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

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
};

class UdpReceiver {
 public:
  UdpReceiver() = default;
  ~UdpReceiver();
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  // Binds pAddress:pPort and, for a multicast group, joins it on
  // pInterface ("" for the system's choice). pSource keeps only samples of
  // that sourceNumber (0: all). False with a one-line message.
  bool Open(const std::string& pAddress, int pPort, const std::string& pInterface, int pSource,
            std::string& pError);
  // Starts reading; pRecord ("" for none) is created and takes every accepted
  // sample as one JSON line, flushed at once.
  bool Start(const std::string& pRecord, std::string& pError);
  // Stops the thread and closes the record; safe to call twice.
  void Stop();
  // The newest accepted sample when it is newer than serial pAfter.
  bool Newest(long long pAfter, LiveSample& pSample) const;
  ReceiverCounts Counts() const;
  // Why recording stopped, or "".
  std::string RecordError() const;

 private:
  void Loop();
  void Accept(const OtrkPayload& pPayload, LiveClock::time_point pArrival);
  void Drop(OtrkDrop pWhy, long long pPackets = 1);

  int mSocket = -1;
  int mSource = 0;
  std::thread mThread;
  std::atomic<bool> mStop{false};
  FILE* mRecord = nullptr;
  std::string mRecordPath;
  OtrkReassembler mReassembler;  // the thread's own
  TrackingRecording mLast;       // the thread's own: the last accepted sample, for carrying forward

  mutable std::mutex mMutex;  // guards what follows
  LiveSample mNewest;
  ReceiverCounts mCounts;
  std::string mRecordError;
};

}  // namespace vthud_tool

#endif
