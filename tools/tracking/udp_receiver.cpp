#include "udp_receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>

#include <cerrno>
#include <cstring>

namespace vthud_tool {

namespace {

// The receive buffer asked for: room for a burst of samples while a frame is drawn.
const int kBufferAsked = 4 << 20;
// A recording's lines reach the disk at most this long after they are written.
const auto kFlushEvery = std::chrono::milliseconds(200);

long long Milliseconds(LiveClock::time_point pTime) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(pTime.time_since_epoch()).count();
}

bool IsMulticast(const in_addr& pAddress) { return (ntohl(pAddress.s_addr) >> 28) == 0xe; }

OtrkSender SenderOf(const sockaddr_in& pFrom) {
  return static_cast<OtrkSender>(ntohl(pFrom.sin_addr.s_addr)) << 16 | ntohs(pFrom.sin_port);
}

std::string SenderName(OtrkSender pSender) {
  in_addr lAddress{};
  lAddress.s_addr = htonl(static_cast<uint32_t>(pSender >> 16));
  char lText[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &lAddress, lText, sizeof lText);
  return std::string(lText) + ":" + std::to_string(pSender & 0xffff);
}

std::string SourceText(const QJsonObject& pSample) {
  const QJsonValue lSource = pSample.value("sourceNumber");
  return lSource.isDouble() ? "sourceNumber " + std::to_string(lSource.toInt()) : "no sourceNumber";
}

}  // namespace

UdpReceiver::~UdpReceiver() {
  Stop();
  if (mSocket >= 0) close(mSocket);
}

bool UdpReceiver::Open(const std::string& pAddress, int pPort, const std::string& pInterface, int pSource,
                       std::string& pError) {
  if (mSocket >= 0) return pError = "already listening on " + mWhere, false;
  const std::string lWhere = pAddress + ":" + std::to_string(pPort);
  sockaddr_in lBind{};
  lBind.sin_family = AF_INET;
  lBind.sin_port = htons(static_cast<uint16_t>(pPort));
  if (inet_pton(AF_INET, pAddress.c_str(), &lBind.sin_addr) != 1)
    return pError = "'" + pAddress + "' is not an IPv4 address", false;
  const int lSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (lSocket < 0) return pError = std::string("cannot make a UDP socket: ") + strerror(errno), false;
  // Every refusal below closes the socket, so that a failed Open leaves nothing open.
  const auto Refuse = [&](const std::string& pWhy) {
    pError = pWhy + ": " + strerror(errno);
    close(lSocket);
    return false;
  };
  const bool lGroup = IsMulticast(lBind.sin_addr);
  // Several listeners may share a group, as receivers on one stage do.
  const int lOn = 1;
  if (lGroup && setsockopt(lSocket, SOL_SOCKET, SO_REUSEADDR, &lOn, sizeof lOn) != 0)
    return Refuse("cannot share " + lWhere);
  // Linux grants at most net.core.rmem_max and reports twice what it grants (half is its bookkeeping).
  int lGranted = 0;
  socklen_t lSize = sizeof lGranted;
  if (setsockopt(lSocket, SOL_SOCKET, SO_RCVBUF, &kBufferAsked, sizeof kBufferAsked) != 0 ||
      getsockopt(lSocket, SOL_SOCKET, SO_RCVBUF, &lGranted, &lSize) != 0)
    Warn(std::string("--tracking: cannot size the receive buffer: ") + strerror(errno));
  else if (lGranted / 2 < kBufferAsked)
    Warn("--tracking: the receive buffer is " + std::to_string(lGranted / 2 / 1024) + " KiB, not the " +
         std::to_string(kBufferAsked / 1024) +
         " KiB asked for, so a burst may be lost while a frame is drawn (raise net.core.rmem_max)");
  // Each datagram read then carries the system's count of those dropped for want of room.
  if (setsockopt(lSocket, SOL_SOCKET, SO_RXQ_OVFL, &lOn, sizeof lOn) != 0)
    Warn(std::string("--tracking: datagrams lost in a full receive buffer cannot be counted: ") + strerror(errno));
  if (bind(lSocket, reinterpret_cast<const sockaddr*>(&lBind), sizeof lBind) != 0)
    return Refuse("cannot listen on " + lWhere);
  if (lGroup) {
    ip_mreq lJoin{};
    lJoin.imr_multiaddr = lBind.sin_addr;
    lJoin.imr_interface.s_addr = htonl(INADDR_ANY);
    if (!pInterface.empty() && inet_pton(AF_INET, pInterface.c_str(), &lJoin.imr_interface) != 1) {
      close(lSocket);
      return pError = "'" + pInterface + "' is not an IPv4 address", false;
    }
    if (setsockopt(lSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &lJoin, sizeof lJoin) != 0)
      return Refuse("cannot join the group " + pAddress + (pInterface.empty() ? "" : " on " + pInterface));
  }
  mSocket = lSocket;
  mSource = pSource;
  mWhere = lWhere;
  return true;
}

bool UdpReceiver::Start(const std::string& pRecord, std::string& pError) {
  if (mSocket < 0) return pError = "not listening yet", false;
  if (mThread.joinable()) return pError = "already receiving on " + mWhere, false;
  if (!pRecord.empty()) {
    mRecord = fopen(pRecord.c_str(), "w");
    if (!mRecord) return pError = "--tracking-record: cannot write " + pRecord + ": " + strerror(errno), false;
    mRecordPath = pRecord;
    mWriterStop = false;
    mRecording = true;
    mWriter = std::thread([this] { WriteRecord(); });
  }
  mStop = false;
  mThread = std::thread([this] { Loop(); });
  return true;
}

void UdpReceiver::Stop() {
  mStop = true;
  if (mThread.joinable()) mThread.join();
  // Nothing is queued after the receiving thread ends: the writer empties the queue, then ends.
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    mWriterStop = true;
  }
  mQueued.notify_all();
  if (mWriter.joinable()) mWriter.join();
  if (mRecord) fclose(mRecord);
  mRecord = nullptr;
  mRecording = false;
}

bool UdpReceiver::Newest(long long pAfter, LiveSample& pSample) const {
  std::lock_guard<std::mutex> lLock(mMutex);
  if (mNewest.serial <= pAfter) return false;
  pSample = mNewest;
  return true;
}

bool UdpReceiver::Newest(const std::function<bool(const LiveSample&)>& pTest, LiveSample& pSample) const {
  std::lock_guard<std::mutex> lLock(mMutex);
  for (auto lSample = mRecent.rbegin(); lSample != mRecent.rend(); ++lSample)
    if (pTest(*lSample)) return pSample = *lSample, true;
  return false;
}

ReceiverCounts UdpReceiver::Counts() const {
  std::lock_guard<std::mutex> lLock(mMutex);
  return mCounts;
}

std::string UdpReceiver::Error() const {
  std::lock_guard<std::mutex> lLock(mMutex);
  return mError;
}

std::vector<std::string> UdpReceiver::TakeWarnings() {
  std::lock_guard<std::mutex> lLock(mMutex);
  std::vector<std::string> lWarnings;
  lWarnings.swap(mWarnings);
  return lWarnings;
}

void UdpReceiver::Drop(OtrkDrop pWhy, long long pPackets) {
  if (pPackets <= 0) return;
  std::lock_guard<std::mutex> lLock(mMutex);
  mCounts.dropped[static_cast<size_t>(pWhy)] += pPackets;
}

void UdpReceiver::Warn(const std::string& pText) {
  std::lock_guard<std::mutex> lLock(mMutex);
  mWarnings.push_back(pText);
}

void UdpReceiver::Fail(const std::string& pText) {
  std::lock_guard<std::mutex> lLock(mMutex);
  if (mError.empty()) mError = pText;
}

void UdpReceiver::Loop() {
  std::vector<uint8_t> lBuffer(65536);
  alignas(cmsghdr) char lControl[CMSG_SPACE(sizeof(uint32_t))];
  long long lOverflowed = -1;
  pollfd lPoll{mSocket, POLLIN, 0};
  while (!mStop) {
    // Woken every 50 ms at most, to see the stop flag and age out unfinished payloads.
    const int lReady = poll(&lPoll, 1, 50);
    // An error that would come back at once ends reception rather than spin on it.
    if ((lReady < 0 && errno != EINTR) || (lReady > 0 && (lPoll.revents & POLLNVAL)))
      return Fail("--tracking: reading " + mWhere + " failed: " + strerror(lReady < 0 ? errno : EBADF));
    const LiveClock::time_point lNow = LiveClock::now();
    Drop(OtrkDrop::Segment, mReassembler.Expire(Milliseconds(lNow)));
    if (lReady <= 0) continue;
    // Everything queued, then back to poll.
    for (int i = 0; i < 1024 && !mStop; ++i) {
      sockaddr_in lFrom{};
      iovec lData{lBuffer.data(), lBuffer.size()};
      msghdr lMessage{};
      lMessage.msg_name = &lFrom;
      lMessage.msg_namelen = sizeof lFrom;
      lMessage.msg_iov = &lData;
      lMessage.msg_iovlen = 1;
      lMessage.msg_control = lControl;
      lMessage.msg_controllen = sizeof lControl;
      const ssize_t lSize = recvmsg(mSocket, &lMessage, MSG_DONTWAIT);
      if (lSize < 0) break;
      for (cmsghdr* c = CMSG_FIRSTHDR(&lMessage); c; c = CMSG_NXTHDR(&lMessage, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
          uint32_t lCount = 0;
          std::memcpy(&lCount, CMSG_DATA(c), sizeof lCount);
          lOverflowed = lCount;
        }
      OtrkPayload lPayload;
      OtrkDrop lWhy = OtrkDrop::Identifier;
      long long lGivenUp = 0;
      const OtrkSender lSender = SenderOf(lFrom);
      const OtrkReassembler::Result lResult = mReassembler.Add(
          lBuffer.data(), static_cast<size_t>(lSize), Milliseconds(lNow), lPayload, lWhy, lGivenUp, lSender);
      Drop(OtrkDrop::Segment, lGivenUp);
      if (lResult == OtrkReassembler::Result::Dropped) Drop(lWhy);
      if (lResult == OtrkReassembler::Result::Complete) Accept(lPayload, lSender, LiveClock::now());
    }
    std::lock_guard<std::mutex> lLock(mMutex);
    mCounts.overtaken = mReassembler.Overtaken();
    if (lOverflowed >= 0) mCounts.overflowed = lOverflowed;
  }
}

void UdpReceiver::Accept(const OtrkPayload& pPayload, OtrkSender pFrom, LiveClock::time_point pArrival) {
  QJsonObject lObject;
  std::string lError;
  if (!SampleObject(QByteArray(pPayload.bytes.data(), static_cast<int>(pPayload.bytes.size())),
                    pPayload.encoding == OtrkEncoding::Cbor, lObject, lError))
    return Drop(OtrkDrop::Decode);
  if (mSource > 0 && lObject.value("sourceNumber").toDouble(-1) != mSource) return Drop(OtrkDrop::OtherSource);
  if (mSource == 0) {
    // One tracker's samples, never two interleaved: the first sender heard, until it falls quiet
    // for as long as the reassembler takes to forget it (a tracker that restarts sends from a new port).
    const long long lNowMs = Milliseconds(pArrival);
    if (mHaveKept && pFrom != mKept && lNowMs - mKeptMs > OtrkReassembler::kQuietMs) {
      Warn("--tracking: nothing from " + mKeptName + " for " + std::to_string((lNowMs - mKeptMs) / 1000) +
           " s; following " + SenderName(pFrom) + " (" + SourceText(lObject) + ") now");
      mHaveKept = false;
    }
    if (!mHaveKept) {
      mHaveKept = true;
      mKept = pFrom;
      mKeptName = SenderName(pFrom) + " (" + SourceText(lObject) + ")";
    }
    if (pFrom != mKept) {
      if (!mToldSecond)
        Warn("--tracking: two senders, " + mKeptName + " and " + SenderName(pFrom) + " (" + SourceText(lObject) +
             "); following the first heard: choose one with ?source=N");
      mToldSecond = true;
      return Drop(OtrkDrop::OtherSource);
    }
    mKeptMs = lNowMs;
  }
  TrackingRecording lNext = mLast;
  const long long lSerial = mCounts.accepted + 1;  // written by this thread only
  if (!AppendSample(lObject, static_cast<int>(lSerial), lNext, lError)) return Drop(OtrkDrop::Decode);
  KeepLastSample(lNext);
  mLast = lNext;
  // Encoded here, written by the recording's thread.
  std::string lLine;
  if (mRecording) lLine = QJsonDocument(lObject).toJson(QJsonDocument::Compact).toStdString() + "\n";
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    ++mCounts.accepted;
    mNewest.serial = lSerial;
    mNewest.arrival = pArrival;
    mNewest.sample = std::move(lNext);
    // A few seconds of samples at any tracker's rate: enough for an encoder's delay.
    mRecent.push_back(mNewest);
    if (mRecent.size() > 1024) mRecent.pop_front();
    // Unbounded: a take's samples are small beside memory, and none accepted is left out.
    if (!lLine.empty()) mQueue.push_back(std::move(lLine));
  }
  if (mRecording) mQueued.notify_one();
}

void UdpReceiver::WriteRecord() {
  std::deque<std::string> lLines;
  bool lUnflushed = false;
  LiveClock::time_point lFlushBy;
  std::unique_lock<std::mutex> lLock(mMutex);
  for (;;) {
    const auto lReady = [this] { return !mQueue.empty() || mWriterStop; };
    if (lUnflushed)
      mQueued.wait_until(lLock, lFlushBy, lReady);
    else
      mQueued.wait(lLock, lReady);
    lLines.swap(mQueue);
    const bool lLast = mWriterStop && lLines.empty();
    lLock.unlock();
    // Written without the lock held, so that a slow disk holds up nobody but this thread.
    bool lOk = true;
    for (const std::string& l : lLines)
      if (lOk && fwrite(l.data(), 1, l.size(), mRecord) != l.size()) lOk = false;
    if (!lLines.empty() && !lUnflushed) lUnflushed = true, lFlushBy = LiveClock::now() + kFlushEvery;
    lLines.clear();
    if (lOk && lUnflushed && (lLast || LiveClock::now() >= lFlushBy)) {
      lOk = fflush(mRecord) == 0;
      lUnflushed = false;
    }
    const std::string lError =
        lOk ? std::string() : "--tracking-record: writing " + mRecordPath + " failed: " + strerror(errno);
    lLock.lock();
    if (!lOk) {
      if (mError.empty()) mError = lError;
      mRecording = false;
      mQueue.clear();
      return;
    }
    if (lLast) return;
  }
}

}  // namespace vthud_tool
