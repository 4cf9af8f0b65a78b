// A tracker for the live tests: sends OpenTrackIO samples over UDP at 24 Hz,
// JSON and CBOR in turn, every third in three segments sent out of order,
// sequence numbers crossing the 16-bit wrap.
//   otrk_sender ADDR PORT COUNT [bad] [source=N] [modulus=255] [interface=IP] [flood=N] [flood-only]
//               [pause=K] [twin=M] [twin-first]
// bad: one bad packet of each kind in turn after each sample; it prints the
// drops the receiver should count, in the tool's words. interface: send to a
// multicast group out of that local address, with TTL 0. flood=N: N first
// segments of payloads never finished, spread between the samples;
// flood-only: the flood without the samples, as a second sender would.
// pause=K: a silence of 600 ms after sample K. twin=M: a second sender, from
// a socket of its own, sends each sample again as source M with the same
// sequence numbers, right after the first's (twin-first: right before). It
// waits (at most 60 s) for the port to be taken before sending.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "otrk_packet.h"

using namespace vthud_tool;

namespace {

int gSocket = -1, gTwinSocket = -1;
sockaddr_in gTo{};

void Send(const std::vector<uint8_t>& pPacket, int pSocket = gSocket) {
  sendto(pSocket, pPacket.data(), pPacket.size(), 0, reinterpret_cast<const sockaddr*>(&gTo), sizeof gTo);
}

// Whether someone listens on the port: a plain bind of it fails.
bool Taken() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  const bool lTaken = bind(s, reinterpret_cast<const sockaddr*>(&gTo), sizeof gTo) != 0 && errno == EADDRINUSE;
  close(s);
  return lTaken;
}

std::string Sample(int k, int pSource) {
  const QJsonObject lTimecode{{"hours", 1},
                              {"minutes", 0},
                              {"seconds", k / 24},
                              {"frames", k % 24},
                              {"format", QJsonObject{{"frameRate", QJsonObject{{"num", 24}, {"denom", 1}}}}}};
  const QJsonObject lSample{
      {"protocol", QJsonObject{{"name", "OpenTrackIO"}}},
      {"sourceNumber", pSource},
      {"timing", QJsonObject{{"timecode", lTimecode}}},
      {"lens", QJsonObject{{"pinholeFocalLength", 20 + k}, {"fStop", 2.8}, {"focusDistance", 1.5}}},
      {"tracker", QJsonObject{{"slate", QString::asprintf("S%03d", k)}, {"recording", k >= 40}}}};
  if (k % 2 == 0) return QJsonDocument(lSample).toJson(QJsonDocument::Compact).toStdString();
  return QCborValue::fromJsonValue(lSample).toCbor().toStdString();
}

// Fixes the checksum after a header field is changed.
void Resum(std::vector<uint8_t>& p, unsigned pModulus) {
  const uint16_t lSum =
      Fletcher16(p.data() + kOtrkHeader, p.size() - kOtrkHeader, pModulus, Fletcher16(p.data(), 14, pModulus));
  p[14] = static_cast<uint8_t>(lSum >> 8);
  p[15] = static_cast<uint8_t>(lSum);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return fprintf(stderr, "usage: otrk_sender ADDR PORT COUNT [options]\n"), 2;
  const int lCount = atoi(argv[3]);
  bool lBad = false, lFloodOnly = false, lTwinFirst = false;
  int lSource = 1, lFlood = 0, lPause = -1, lTwin = 0;
  unsigned lModulus = 256;
  std::string lInterface;
  for (int i = 4; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "bad") lBad = true;
    if (a.rfind("source=", 0) == 0) lSource = atoi(a.c_str() + 7);
    if (a.rfind("modulus=", 0) == 0) lModulus = static_cast<unsigned>(atoi(a.c_str() + 8));
    if (a.rfind("interface=", 0) == 0) lInterface = a.substr(10);
    if (a.rfind("flood=", 0) == 0) lFlood = atoi(a.c_str() + 6);
    if (a.rfind("pause=", 0) == 0) lPause = atoi(a.c_str() + 6);
    if (a == "flood-only") lFloodOnly = true;
    if (a.rfind("twin=", 0) == 0) lTwin = atoi(a.c_str() + 5);
    if (a == "twin-first") lTwinFirst = true;
  }
  gTo.sin_family = AF_INET;
  gTo.sin_port = htons(static_cast<uint16_t>(atoi(argv[2])));
  if (inet_pton(AF_INET, argv[1], &gTo.sin_addr) != 1) return fprintf(stderr, "bad address\n"), 2;
  gSocket = socket(AF_INET, SOCK_DGRAM, 0);
  if (lTwin) gTwinSocket = socket(AF_INET, SOCK_DGRAM, 0);
  if (!lInterface.empty()) {
    in_addr lFrom{};
    inet_pton(AF_INET, lInterface.c_str(), &lFrom);
    const unsigned char lTtl = 0, lLoop = 1;
    if (setsockopt(gSocket, IPPROTO_IP, IP_MULTICAST_IF, &lFrom, sizeof lFrom) != 0 ||
        setsockopt(gSocket, IPPROTO_IP, IP_MULTICAST_TTL, &lTtl, sizeof lTtl) != 0 ||
        setsockopt(gSocket, IPPROTO_IP, IP_MULTICAST_LOOP, &lLoop, sizeof lLoop) != 0)
      return perror("otrk_sender: multicast"), 2;
  }
  for (int i = 0; i < 600 && !Taken(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!Taken()) return fprintf(stderr, "otrk_sender: nobody listens on %s:%s\n", argv[1], argv[2]), 1;

  long long lDrops[static_cast<size_t>(OtrkDrop::Count)] = {};
  uint16_t lSequence = 65500;  // crosses the wrap
  std::vector<uint8_t> lPrevious;
  const auto lStart = std::chrono::steady_clock::now();
  for (int k = 0; k < lCount; ++k) {
    const auto lDue = lStart + std::chrono::microseconds(1000000LL * k / 24 + (k > lPause ? 600000 : 0));
    std::this_thread::sleep_until(lDue);
    // The twin's packets are made alike, of its own source and with the same number.
    const uint16_t lNumber = lSequence++;
    const auto Packets = [&](int pSource) {
      const std::string lPayload = Sample(k, pSource);
      auto lPackets = MakeOtrkPackets(lPayload, k % 2 ? OtrkEncoding::Cbor : OtrkEncoding::Json, lNumber,
                                      k % 3 == 1 ? (lPayload.size() + 2) / 3 : 65507, lModulus);
      if (lPackets.size() == 3) std::swap(lPackets[0], lPackets[2]);  // 2, 1, 0
      if (lPackets.size() == 3) std::swap(lPackets[1], lPackets[2]);  // 2, 0, 1
      return lPackets;
    };
    const auto lPackets = Packets(lSource);
    if (lTwin && lTwinFirst)
      for (const auto& p : Packets(lTwin)) Send(p, gTwinSocket);
    if (!lFloodOnly)
      for (const auto& p : lPackets) Send(p);
    if (lTwin && !lTwinFirst)
      for (const auto& p : Packets(lTwin)) Send(p, gTwinSocket);
    std::vector<uint8_t> lBadPacket = lPackets.front();
    const int lPerSample = lFlood / std::max(1, lCount);
    for (int f = 0; f < lPerSample; ++f) {
      // A first segment at some offset of a payload that never ends.
      std::string lPiece(100, 'x');
      auto lSegment = MakeOtrkPackets(lPiece, OtrkEncoding::Json, static_cast<uint16_t>(lSequence + 1000 + f), 200,
                                      lModulus)[0];
      const uint32_t lOffset = static_cast<uint32_t>((f * 7919L) % ((1 << 20) - 200));
      for (int b = 0; b < 4; ++b) lSegment[8 + b] = static_cast<uint8_t>(lOffset >> (24 - 8 * b));
      lSegment[12] &= 0x7f;
      Resum(lSegment, lModulus);
      Send(lSegment);
      // Spread over most of a sample's period rather than in one burst, by the clock, so that a
      // sender slowed down does not fall behind its samples.
      if (f % 10 == 9) std::this_thread::sleep_until(lDue + std::chrono::microseconds(30000LL * f / lPerSample));
    }
    // None after the last sample: a payload left unfinished is then given up by the next.
    if (!lBad || k + 1 == lCount) continue;
    OtrkDrop lWhy = OtrkDrop::Identifier;
    switch (k % 8) {
      case 0: lBadPacket[3] = 'X'; break;
      case 1:
        lBadPacket.back() ^= 0x5a;
        lWhy = OtrkDrop::Checksum;
        break;
      case 2:
        lBadPacket.push_back(0);
        lWhy = OtrkDrop::Length;
        break;
      case 3:
        lBadPacket = MakeOtrkPackets("{}", OtrkEncoding::Json, lSequence++, 100, lModulus)[0];
        lBadPacket[5] = 3;
        Resum(lBadPacket, lModulus);
        lWhy = OtrkDrop::Encoding;
        break;
      case 4:
        lBadPacket = MakeOtrkPackets("{\"lens\": {", OtrkEncoding::Json, lSequence++, 100, lModulus)[0];
        lWhy = OtrkDrop::Decode;
        break;
      case 5:
        lBadPacket = lPrevious;  // an older sample again
        lWhy = OtrkDrop::Stale;
        break;
      case 6:
        lBadPacket = MakeOtrkPackets(Sample(k, lSource + 1), OtrkEncoding::Json, lSequence++, 65507, lModulus)[0];
        lWhy = OtrkDrop::OtherSource;
        break;
      case 7:
        // Two overlapping segments of a payload left unfinished: the second is refused, the
        // first given up when the next sample completes.
        lBadPacket = MakeOtrkPackets(std::string(20, 'y'), OtrkEncoding::Json, lSequence, 10, lModulus)[0];
        Send(lBadPacket);
        lBadPacket = MakeOtrkPackets(std::string(20, 'y'), OtrkEncoding::Json, lSequence++, 15, lModulus)[0];
        ++lDrops[static_cast<size_t>(OtrkDrop::Segment)];
        lWhy = OtrkDrop::Segment;
        break;
    }
    if (k % 8 == 5 && lPrevious.empty()) continue;
    Send(lBadPacket);
    ++lDrops[static_cast<size_t>(lWhy)];
    lPrevious = lPackets.front();
  }
  std::string lText;
  for (size_t i = 0; i < static_cast<size_t>(OtrkDrop::Count); ++i)
    lText += std::string(i ? ", " : "") + OtrkDropName(static_cast<OtrkDrop>(i)) + " " + std::to_string(lDrops[i]);
  printf("%s\n", lText.c_str());
  return 0;
}
