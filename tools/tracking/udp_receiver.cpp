#include "udp_receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vthud_tool {

namespace {

long long Milliseconds(LiveClock::time_point pTime) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(pTime.time_since_epoch()).count();
}

bool IsMulticast(const in_addr& pAddress) { return (ntohl(pAddress.s_addr) >> 28) == 0xe; }

}  // namespace

UdpReceiver::~UdpReceiver() {
  Stop();
  if (mSocket >= 0) close(mSocket);
}

bool UdpReceiver::Open(const std::string& pAddress, int pPort, const std::string& pInterface, int pSource,
                       std::string& pError) {
  mSource = pSource;
  const std::string lWhere = pAddress + ":" + std::to_string(pPort);
  sockaddr_in lBind{};
  lBind.sin_family = AF_INET;
  lBind.sin_port = htons(static_cast<uint16_t>(pPort));
  if (inet_pton(AF_INET, pAddress.c_str(), &lBind.sin_addr) != 1)
    return pError = "'" + pAddress + "' is not an IPv4 address", false;
  mSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (mSocket < 0) return pError = std::string("cannot make a UDP socket: ") + strerror(errno), false;
  const bool lGroup = IsMulticast(lBind.sin_addr);
  // Several listeners may share a group, as receivers on one stage do.
  const int lOn = 1;
  if (lGroup) setsockopt(mSocket, SOL_SOCKET, SO_REUSEADDR, &lOn, sizeof lOn);
  // Room for a burst of samples while a frame is drawn.
  const int lBuffer = 4 << 20;
  setsockopt(mSocket, SOL_SOCKET, SO_RCVBUF, &lBuffer, sizeof lBuffer);
  if (bind(mSocket, reinterpret_cast<const sockaddr*>(&lBind), sizeof lBind) != 0)
    return pError = "cannot listen on " + lWhere + ": " + strerror(errno), false;
  if (!lGroup) return true;
  ip_mreq lJoin{};
  lJoin.imr_multiaddr = lBind.sin_addr;
  lJoin.imr_interface.s_addr = htonl(INADDR_ANY);
  if (!pInterface.empty() && inet_pton(AF_INET, pInterface.c_str(), &lJoin.imr_interface) != 1)
    return pError = "'" + pInterface + "' is not an IPv4 address", false;
  if (setsockopt(mSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &lJoin, sizeof lJoin) != 0)
    return pError = "cannot join the group " + pAddress + (pInterface.empty() ? "" : " on " + pInterface) + ": " +
                    strerror(errno),
           false;
  return true;
}

bool UdpReceiver::Start(const std::string& pRecord, std::string& pError) {
  if (!pRecord.empty()) {
    mRecord = fopen(pRecord.c_str(), "w");
    if (!mRecord) return pError = "--tracking-record: cannot write " + pRecord + ": " + strerror(errno), false;
    mRecordPath = pRecord;
  }
  mStop = false;
  mThread = std::thread([this] { Loop(); });
  return true;
}

void UdpReceiver::Stop() {
  mStop = true;
  if (mThread.joinable()) mThread.join();
  if (mRecord) fclose(mRecord);
  mRecord = nullptr;
}

bool UdpReceiver::Newest(long long pAfter, LiveSample& pSample) const {
  std::lock_guard<std::mutex> lLock(mMutex);
  if (mNewest.serial <= pAfter) return false;
  pSample = mNewest;
  return true;
}

ReceiverCounts UdpReceiver::Counts() const {
  std::lock_guard<std::mutex> lLock(mMutex);
  return mCounts;
}

std::string UdpReceiver::RecordError() const {
  std::lock_guard<std::mutex> lLock(mMutex);
  return mRecordError;
}

void UdpReceiver::Drop(OtrkDrop pWhy, long long pPackets) {
  if (pPackets <= 0) return;
  std::lock_guard<std::mutex> lLock(mMutex);
  mCounts.dropped[static_cast<size_t>(pWhy)] += pPackets;
}

void UdpReceiver::Loop() {
  std::vector<uint8_t> lBuffer(65536);
  pollfd lPoll{mSocket, POLLIN, 0};
  while (!mStop) {
    // Woken every 50 ms at most, to see the stop flag and age out unfinished payloads.
    const int lReady = poll(&lPoll, 1, 50);
    const LiveClock::time_point lNow = LiveClock::now();
    Drop(OtrkDrop::Segment, mReassembler.Expire(Milliseconds(lNow)));
    if (lReady <= 0) continue;
    // Everything queued, then back to poll.
    for (int i = 0; i < 1024 && !mStop; ++i) {
      const ssize_t lSize = recv(mSocket, lBuffer.data(), lBuffer.size(), MSG_DONTWAIT);
      if (lSize < 0) break;
      OtrkPayload lPayload;
      OtrkDrop lWhy = OtrkDrop::Identifier;
      long long lGivenUp = 0;
      const OtrkReassembler::Result lResult = mReassembler.Add(lBuffer.data(), static_cast<size_t>(lSize),
                                                               Milliseconds(lNow), lPayload, lWhy, lGivenUp);
      Drop(OtrkDrop::Segment, lGivenUp);
      if (lResult == OtrkReassembler::Result::Dropped) Drop(lWhy);
      if (lResult == OtrkReassembler::Result::Complete) Accept(lPayload, LiveClock::now());
    }
  }
}

void UdpReceiver::Accept(const OtrkPayload& pPayload, LiveClock::time_point pArrival) {
  QJsonObject lObject;
  std::string lError;
  if (!SampleObject(QByteArray(pPayload.bytes.data(), static_cast<int>(pPayload.bytes.size())),
                    pPayload.encoding == OtrkEncoding::Cbor, lObject, lError))
    return Drop(OtrkDrop::Decode);
  if (mSource > 0 && lObject.value("sourceNumber").toDouble(-1) != mSource) return Drop(OtrkDrop::OtherSource);
  TrackingRecording lNext = mLast;
  const long long lSerial = mCounts.accepted + 1;  // written by this thread only
  if (!AppendSample(lObject, static_cast<int>(lSerial), lNext, lError)) return Drop(OtrkDrop::Decode);
  KeepLastSample(lNext);
  mLast = lNext;
  std::string lRecordError;
  if (mRecord) {
    const QByteArray lLine = QJsonDocument(lObject).toJson(QJsonDocument::Compact) + "\n";
    if (fwrite(lLine.constData(), 1, static_cast<size_t>(lLine.size()), mRecord) !=
            static_cast<size_t>(lLine.size()) ||
        fflush(mRecord) != 0) {
      lRecordError = "--tracking-record: writing " + mRecordPath + " failed: " + strerror(errno);
      fclose(mRecord);
      mRecord = nullptr;
    }
  }
  std::lock_guard<std::mutex> lLock(mMutex);
  ++mCounts.accepted;
  mNewest.serial = lSerial;
  mNewest.arrival = pArrival;
  mNewest.sample = std::move(lNext);
  if (!lRecordError.empty()) mRecordError = lRecordError;
}

}  // namespace vthud_tool
