#include "otrk_packet.h"

#include <algorithm>
#include <cstring>

namespace vthud_tool {

namespace {

// Consecutive stale packets after which the sender is taken to have restarted.
const int kRestartRun = 32;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

uint16_t PacketChecksum(const uint8_t* pData, size_t pSize, unsigned pModulus) {
  return Fletcher16(pData + kOtrkHeader, pSize - kOtrkHeader, pModulus, Fletcher16(pData, 14, pModulus));
}

}  // namespace

const char* OtrkDropName(OtrkDrop pWhy) {
  switch (pWhy) {
    case OtrkDrop::Identifier: return "identifier";
    case OtrkDrop::Checksum: return "checksum";
    case OtrkDrop::Length: return "length";
    case OtrkDrop::Segment: return "segment";
    case OtrkDrop::Encoding: return "encoding";
    case OtrkDrop::Decode: return "decode";
    case OtrkDrop::Stale: return "stale";
    case OtrkDrop::OtherSource: return "other source";
    case OtrkDrop::Count: break;
  }
  return "?";
}

uint16_t Fletcher16(const uint8_t* pData, size_t pSize, unsigned pModulus, uint16_t pStart) {
  unsigned lLow = pStart & 0xff, lHigh = pStart >> 8;
  for (size_t i = 0; i < pSize; ++i) {
    lLow = (lLow + pData[i]) % pModulus;
    lHigh = (lHigh + lLow) % pModulus;
  }
  return static_cast<uint16_t>(lHigh << 8 | lLow);
}

bool ParseOtrkPacket(const uint8_t* pData, size_t pSize, OtrkHeader& pHeader, const uint8_t*& pPayload,
                     OtrkDrop& pWhy) {
  if (pSize < kOtrkHeader || std::memcmp(pData, "OTrk", 4) != 0) return pWhy = OtrkDrop::Identifier, false;
  const uint16_t lLengthField = Be16(pData + 12);
  pHeader.length = lLengthField & 0x7fff;
  pHeader.last = (lLengthField & 0x8000) != 0;
  if (pHeader.length == 0 || pHeader.length != pSize - kOtrkHeader) return pWhy = OtrkDrop::Length, false;
  const uint16_t lSum = Be16(pData + 14);
  if (lSum != PacketChecksum(pData, pSize, 256) && lSum != PacketChecksum(pData, pSize, 255))
    return pWhy = OtrkDrop::Checksum, false;
  if (pData[5] != 1 && pData[5] != 2) return pWhy = OtrkDrop::Encoding, false;
  pHeader.encoding = static_cast<OtrkEncoding>(pData[5]);
  pHeader.sequence = Be16(pData + 6);
  pHeader.offset = Be32(pData + 8);
  pPayload = pData + kOtrkHeader;
  return true;
}

std::vector<std::vector<uint8_t>> MakeOtrkPackets(const std::string& pPayload, OtrkEncoding pEncoding,
                                                  uint16_t pSequence, size_t pSegment, unsigned pModulus) {
  std::vector<std::vector<uint8_t>> lPackets;
  pSegment = std::max<size_t>(1, std::min<size_t>(pSegment, 0x7fff));
  for (size_t lOffset = 0; lOffset < pPayload.size(); lOffset += pSegment) {
    const size_t lLength = std::min(pSegment, pPayload.size() - lOffset);
    const bool lLast = lOffset + lLength == pPayload.size();
    std::vector<uint8_t> p(kOtrkHeader + lLength);
    std::memcpy(p.data(), "OTrk", 4);
    p[5] = static_cast<uint8_t>(pEncoding);
    p[6] = static_cast<uint8_t>(pSequence >> 8);
    p[7] = static_cast<uint8_t>(pSequence);
    for (int i = 0; i < 4; ++i) p[8 + i] = static_cast<uint8_t>(lOffset >> (24 - 8 * i));
    const uint16_t lLengthField = static_cast<uint16_t>(lLength | (lLast ? 0x8000 : 0));
    p[12] = static_cast<uint8_t>(lLengthField >> 8);
    p[13] = static_cast<uint8_t>(lLengthField);
    std::memcpy(p.data() + kOtrkHeader, pPayload.data() + lOffset, lLength);
    const uint16_t lSum = PacketChecksum(p.data(), p.size(), pModulus);
    p[14] = static_cast<uint8_t>(lSum >> 8);
    p[15] = static_cast<uint8_t>(lSum);
    lPackets.push_back(std::move(p));
  }
  return lPackets;
}

bool OtrkNewer(uint16_t a, uint16_t b) { return a != b && static_cast<uint16_t>(a - b) < 0x8000; }

size_t OtrkReassembler::PendingBytes() const {
  size_t lBytes = 0;
  for (const Pending& p : mPending) lBytes += static_cast<size_t>(p.held);
  return lBytes;
}

long long OtrkReassembler::GiveUp(size_t pIndex) {
  const long long lPackets = static_cast<long long>(mPending[pIndex].pieces.size());
  mPending.erase(mPending.begin() + static_cast<long>(pIndex));
  return lPackets;
}

long long OtrkReassembler::Forget(size_t pSender) {
  long long lPackets = 0;
  for (size_t i = mPending.size(); i-- > 0;)
    if (mPending[i].sender == mSenders[pSender].id) lPackets += GiveUp(i);
  mSenders.erase(mSenders.begin() + static_cast<long>(pSender));
  return lPackets;
}

long long OtrkReassembler::Expire(long long pNowMs) {
  long long lPackets = 0;
  for (size_t i = mPending.size(); i-- > 0;)
    if (pNowMs - mPending[i].firstMs > kMaxAgeMs) lPackets += GiveUp(i);
  for (size_t i = mSenders.size(); i-- > 0;)
    if (pNowMs - mSenders[i].lastMs > kQuietMs) lPackets += Forget(i);
  return lPackets;
}

size_t OtrkReassembler::Victim(OtrkSender pAdding) const {
  // Counted by sender; on a tie the adding sender pays, so that no sender displaces an equal.
  OtrkSender lMost = pAdding;
  size_t lMostCount = 0;
  for (const Pending& p : mPending) {
    const size_t lCount = static_cast<size_t>(
        std::count_if(mPending.begin(), mPending.end(), [&](const Pending& q) { return q.sender == p.sender; }));
    if (lCount > lMostCount || (lCount == lMostCount && p.sender == pAdding))
      lMost = p.sender, lMostCount = lCount;
  }
  for (size_t i = 0; i < mPending.size(); ++i)
    if (mPending[i].sender == lMost) return i;
  return 0;
}

bool OtrkReassembler::Complete(const Pending& p) const {
  return p.total >= 0 && p.held == p.total;  // pieces never overlap nor pass the total
}

OtrkReassembler::Result OtrkReassembler::Add(const uint8_t* pData, size_t pSize, long long pNowMs,
                                             OtrkPayload& pPayload, OtrkDrop& pWhy, long long& pGivenUp,
                                             OtrkSender pSender) {
  pGivenUp = 0;
  OtrkHeader h;
  const uint8_t* lSegment = nullptr;
  // Bytes that are not the transport's take no sender's room.
  if (!ParseOtrkPacket(pData, pSize, h, lSegment, pWhy)) return Result::Dropped;
  pGivenUp += Expire(pNowMs);
  auto lSender = std::find_if(mSenders.begin(), mSenders.end(), [&](const Sender& s) { return s.id == pSender; });
  if (lSender == mSenders.end()) {
    if (mSenders.size() >= kMaxSenders) {
      size_t lQuietest = 0;
      for (size_t i = 1; i < mSenders.size(); ++i)
        if (mSenders[i].lastMs < mSenders[lQuietest].lastMs) lQuietest = i;
      pGivenUp += Forget(lQuietest);
    }
    mSenders.push_back(Sender{pSender, pNowMs, false, 0, 0});
    lSender = mSenders.end() - 1;
  }
  Sender& s = *lSender;
  s.lastMs = pNowMs;
  if (s.haveNewest && !OtrkNewer(h.sequence, s.newest)) {
    if (++s.staleRun <= kRestartRun) return pWhy = OtrkDrop::Stale, Result::Dropped;
    s.haveNewest = false;
  }
  s.staleRun = 0;
  const uint64_t lEnd = static_cast<uint64_t>(h.offset) + h.length;
  if (lEnd > kMaxBytes) return pWhy = OtrkDrop::Length, Result::Dropped;

  auto lFound = std::find_if(mPending.begin(), mPending.end(),
                             [&](const Pending& p) { return p.sender == pSender && p.sequence == h.sequence; });
  if (lFound == mPending.end()) {
    if (mPending.size() >= kMaxPending) {
      pGivenUp += GiveUp(Victim(pSender));
      ++mOvertaken;
    }
    mPending.emplace_back();
    mPending.back().sender = pSender;
    mPending.back().sequence = h.sequence;
    mPending.back().encoding = h.encoding;
    mPending.back().firstMs = pNowMs;
    lFound = mPending.end() - 1;
  }
  Pending& p = *lFound;
  // A payload in more pieces than its bound cannot be a sample: it makes room at once.
  if (p.pieces.size() >= kMaxSegments) {
    pGivenUp += GiveUp(static_cast<size_t>(lFound - mPending.begin()));
    ++mOvertaken;
    return pWhy = OtrkDrop::Segment, Result::Dropped;
  }
  // A segment that does not fit what the others said is dropped; the payload waits for a fitting one.
  if (h.encoding != p.encoding) return pWhy = OtrkDrop::Segment, Result::Dropped;
  if (h.last && p.total >= 0 && static_cast<uint64_t>(p.total) != lEnd)
    return pWhy = OtrkDrop::Segment, Result::Dropped;
  if (p.total >= 0 && lEnd > static_cast<uint64_t>(p.total)) return pWhy = OtrkDrop::Segment, Result::Dropped;
  for (const Piece& lPiece : p.pieces) {
    const uint64_t lPieceEnd = lPiece.offset + static_cast<uint64_t>(lPiece.bytes.size());
    if (h.offset < lPieceEnd && lPiece.offset < lEnd) return pWhy = OtrkDrop::Segment, Result::Dropped;
    if (h.last && lPieceEnd > lEnd) return pWhy = OtrkDrop::Segment, Result::Dropped;
  }
  p.pieces.push_back(Piece{h.offset, std::string(reinterpret_cast<const char*>(lSegment), h.length)});
  p.held += h.length;
  if (h.last) p.total = static_cast<long long>(lEnd);
  if (!Complete(p)) return Result::Pending;

  std::sort(p.pieces.begin(), p.pieces.end(), [](const Piece& a, const Piece& b) { return a.offset < b.offset; });
  pPayload.encoding = p.encoding;
  pPayload.sequence = p.sequence;
  pPayload.bytes.clear();
  pPayload.bytes.reserve(static_cast<size_t>(p.total));
  for (const Piece& lPiece : p.pieces) pPayload.bytes += lPiece.bytes;
  mPending.erase(lFound);
  s.haveNewest = true;
  s.newest = h.sequence;
  // What this sender sent older than a completed payload can no longer be its newest sample.
  for (size_t i = mPending.size(); i-- > 0;)
    if (mPending[i].sender == pSender && !OtrkNewer(mPending[i].sequence, s.newest)) pGivenUp += GiveUp(i);
  return Result::Complete;
}

}  // namespace vthud_tool
