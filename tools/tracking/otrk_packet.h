#ifndef VTHUD_TOOLS_OTRK_PACKET_H
#define VTHUD_TOOLS_OTRK_PACKET_H
// The OpenTrackIO transport: each UDP datagram is a 16-byte big-endian header
// and a segment of one payload (a sample as JSON or CBOR). The header holds
// "OTrk", a reserved byte, the encoding, a 16-bit sequence number, the
// segment's byte offset in the payload, a last-segment flag with the
// segment's length, and a Fletcher-16 checksum over the rest of the header
// and the segment. No sockets here: the fuzzer and the tests feed bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vthud_tool {

enum class OtrkDrop {
  Identifier,   // not "OTrk", or shorter than a header
  Checksum,     // neither Fletcher-16 modulus agrees
  Length,       // the header's length is not the datagram's, or the payload outgrows its bound
  Segment,      // overlapping or inconsistent segments, or a payload given up unfinished
  Encoding,     // neither JSON (1) nor CBOR (2)
  Decode,       // the payload is not one sample the tool reads
  Stale,        // a sequence number no newer than the newest completed
  OtherSource,  // a sample of another sourceNumber than asked for
  Count
};
const char* OtrkDropName(OtrkDrop pWhy);

enum class OtrkEncoding : uint8_t { Json = 1, Cbor = 2 };

const size_t kOtrkHeader = 16;

struct OtrkHeader {
  OtrkEncoding encoding = OtrkEncoding::Json;
  uint16_t sequence = 0;
  uint32_t offset = 0;
  bool last = false;
  uint16_t length = 0;
};

// Fletcher-16 at pModulus (255 as the first senders computed it, 256 as the
// transport now defines it): the second sum in the high byte.
uint16_t Fletcher16(const uint8_t* pData, size_t pSize, unsigned pModulus, uint16_t pStart = 0);

// Reads and checks one datagram's header; pPayload then points into pData.
bool ParseOtrkPacket(const uint8_t* pData, size_t pSize, OtrkHeader& pHeader, const uint8_t*& pPayload,
                     OtrkDrop& pWhy);

// The datagrams that carry pPayload in segments of at most pSegment bytes,
// checksummed at pModulus; in order, first to last.
std::vector<std::vector<uint8_t>> MakeOtrkPackets(const std::string& pPayload, OtrkEncoding pEncoding,
                                                  uint16_t pSequence, size_t pSegment, unsigned pModulus = 256);

// Whether sequence number a comes after b, counting across the 16-bit wrap.
bool OtrkNewer(uint16_t a, uint16_t b);

struct OtrkPayload {
  OtrkEncoding encoding = OtrkEncoding::Json;
  uint16_t sequence = 0;
  std::string bytes;
};

// Who sent a datagram: an IPv4 address and port as one number (0 where
// there is only one sender, as in the fuzzer and most tests).
using OtrkSender = uint64_t;

// Puts payloads back together from their segments, which may come in any
// order, keeping each sender's payloads and sequence numbers apart: two
// trackers count alike, and one's numbers say nothing of the other's. Holds
// at most kMaxPending unfinished payloads in all, of at most kMaxBytes each,
// in at most kMaxSegments pieces, for at most kMaxAgeMs. Past the count bound
// the oldest unfinished payload of the sender holding the most is given up,
// so that a flood of unfinished segments costs its own sender and no other;
// a payload past its own bounds is given up. Once a payload completes, its
// sender's older unfinished ones are dropped, and that sender's segments of
// it or older are stale. A sender not heard for kQuietMs is forgotten, and
// past kMaxSenders the one heard least recently is.
class OtrkReassembler {
 public:
  static constexpr size_t kMaxPending = 8, kMaxBytes = 1 << 20, kMaxSegments = 256, kMaxSenders = 64;
  static constexpr long long kMaxAgeMs = 1000, kQuietMs = 5000;

  enum class Result { Pending, Complete, Dropped };
  // One datagram from pSender received at pNowMs. Complete fills pPayload;
  // Dropped says why. Packets of payloads given up unfinished on the way are
  // counted in pGivenUp (their reason is Segment).
  Result Add(const uint8_t* pData, size_t pSize, long long pNowMs, OtrkPayload& pPayload, OtrkDrop& pWhy,
             long long& pGivenUp, OtrkSender pSender = 0);
  // Gives up unfinished payloads older than the age bound and forgets quiet
  // senders; returns the packets given up.
  long long Expire(long long pNowMs);
  size_t PendingCount() const { return mPending.size(); }
  size_t PendingBytes() const;
  size_t SenderCount() const { return mSenders.size(); }
  // Unfinished payloads given up so far because a bound was passed (not for
  // their age, nor for a newer one completed): the samples a flood overtook.
  long long Overtaken() const { return mOvertaken; }

 private:
  // Segments are kept as they came and joined once all are in, so a far
  // offset costs no more memory than the bytes it carries.
  struct Piece {
    uint32_t offset = 0;
    std::string bytes;
  };
  struct Pending {
    OtrkSender sender = 0;
    uint16_t sequence = 0;
    OtrkEncoding encoding = OtrkEncoding::Json;
    long long firstMs = 0;
    long long total = -1;  // known once the last segment came
    long long held = 0;    // bytes of the pieces
    std::vector<Piece> pieces;
  };
  struct Sender {
    OtrkSender id = 0;
    long long lastMs = 0;
    bool haveNewest = false;
    uint16_t newest = 0;
    // A sender that restarts counts from 0 again: after a run of stale
    // packets its numbers are taken as new.
    int staleRun = 0;
  };
  long long GiveUp(size_t pIndex);
  long long Forget(size_t pSender);
  // The index of the payload to give up for room: the oldest of the sender holding the most.
  size_t Victim(OtrkSender pAdding) const;
  bool Complete(const Pending& pPending) const;

  std::vector<Pending> mPending;  // in the order they started
  std::vector<Sender> mSenders;
  long long mOvertaken = 0;
};

}  // namespace vthud_tool

#endif
