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

// Puts payloads back together from their segments, which may come in any
// order. Holds at most kMaxPending unfinished payloads of at most kMaxBytes
// each, in at most kMaxSegments pieces, for at most kMaxAgeMs: past any
// bound the oldest unfinished one is given up. Once a payload completes, the
// older unfinished ones are dropped, and segments of it or older are stale.
class OtrkReassembler {
 public:
  static constexpr size_t kMaxPending = 8, kMaxBytes = 1 << 20, kMaxSegments = 256;
  static constexpr long long kMaxAgeMs = 1000;

  enum class Result { Pending, Complete, Dropped };
  // One datagram received at pNowMs. Complete fills pPayload; Dropped says
  // why. Packets of payloads given up unfinished on the way are counted in
  // pGivenUp (their reason is Segment).
  Result Add(const uint8_t* pData, size_t pSize, long long pNowMs, OtrkPayload& pPayload, OtrkDrop& pWhy,
             long long& pGivenUp);
  // Gives up unfinished payloads older than the age bound; returns their packets.
  long long Expire(long long pNowMs);
  size_t PendingCount() const { return mPending.size(); }
  size_t PendingBytes() const;

 private:
  // Segments are kept as they came and joined once all are in, so a far
  // offset costs no more memory than the bytes it carries.
  struct Piece {
    uint32_t offset = 0;
    std::string bytes;
  };
  struct Pending {
    uint16_t sequence = 0;
    OtrkEncoding encoding = OtrkEncoding::Json;
    long long firstMs = 0;
    long long total = -1;  // known once the last segment came
    long long held = 0;    // bytes of the pieces
    std::vector<Piece> pieces;
  };
  long long GiveUp(size_t pIndex);
  bool Complete(const Pending& pPending) const;

  std::vector<Pending> mPending;
  bool mHaveNewest = false;
  uint16_t mNewest = 0;
  // A sender that restarts counts from 0 again: after a run of stale packets
  // its numbers are taken as new.
  int mStaleRun = 0;
};

}  // namespace vthud_tool

#endif
