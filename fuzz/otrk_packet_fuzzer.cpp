// The OpenTrackIO transport on any datagrams: the input is a run of records
// [2-byte big-endian size][1 byte: milliseconds since the last][datagram].
// The reassembler keeps within its bounds whatever arrives, a completed
// payload is one the segments spelt out, and the sample reader takes any
// completed payload, JSON or CBOR, without harm.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "otrk_packet.h"
#include "tracking_file.h"

namespace {

void Check(bool pHolds, const char* pWhat) {
  if (pHolds) return;
  std::fprintf(stderr, "fuzz failure: %s\n", pWhat);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  using vthud_tool::OtrkReassembler;
  OtrkReassembler lReassembler;
  vthud_tool::TrackingRecording lRecording;
  long long lNow = 0;
  size_t i = 0;
  while (i + 3 <= pSize) {
    const size_t lSize = std::min<size_t>(static_cast<size_t>(pData[i] << 8 | pData[i + 1]), pSize - i - 3);
    lNow += pData[i + 2];
    const uint8_t* lDatagram = pData + i + 3;
    i += 3 + lSize;

    vthud_tool::OtrkHeader lHeader;
    const uint8_t* lSegment = nullptr;
    vthud_tool::OtrkDrop lWhy = vthud_tool::OtrkDrop::Count;
    if (vthud_tool::ParseOtrkPacket(lDatagram, lSize, lHeader, lSegment, lWhy))
      Check(lHeader.length == lSize - vthud_tool::kOtrkHeader && lSegment == lDatagram + 16, "a header misread");
    else
      Check(lWhy < vthud_tool::OtrkDrop::Decode, "a parse refusal with a reason of a later stage");

    vthud_tool::OtrkPayload lPayload;
    long long lGivenUp = 0;
    const OtrkReassembler::Result lResult = lReassembler.Add(lDatagram, lSize, lNow, lPayload, lWhy, lGivenUp);
    Check(lGivenUp >= 0 && lReassembler.PendingCount() <= OtrkReassembler::kMaxPending, "pending past its bound");
    Check(lReassembler.PendingBytes() <= OtrkReassembler::kMaxPending * OtrkReassembler::kMaxBytes,
          "pending bytes past their bound");
    if (lResult != OtrkReassembler::Result::Complete) continue;
    Check(!lPayload.bytes.empty() && lPayload.bytes.size() <= OtrkReassembler::kMaxBytes,
          "a payload out of bounds");
    QJsonObject lObject;
    std::string lError;
    if (!vthud_tool::SampleObject(QByteArray(lPayload.bytes.data(), static_cast<int>(lPayload.bytes.size())),
                                  lPayload.encoding == vthud_tool::OtrkEncoding::Cbor, lObject, lError)) {
      Check(!lError.empty() && lError.find('\n') == std::string::npos, "refused without one line");
      continue;
    }
    if (vthud_tool::AppendSample(lObject, 1, lRecording, lError)) vthud_tool::KeepLastSample(lRecording);
    Check(lRecording.samples.size() <= 1, "the live sample kept more than one");
  }
  return 0;
}
