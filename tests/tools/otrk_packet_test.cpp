// The OpenTrackIO transport's packets through the reassembler: good ones,
// segmented ones in any order, and each kind of bad one, as one table of
// packet sequences; then its bounds, and the UDP receiver's refusals.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tool_fixture.h"

#include "otrk_packet.h"
#include "udp_receiver.h"

namespace {

using vthud_test::FreePort;

using vthud_tool::MakeOtrkPackets;
using vthud_tool::OtrkDrop;
using vthud_tool::OtrkEncoding;
using vthud_tool::OtrkReassembler;
using Packet = std::vector<uint8_t>;
using Result = OtrkReassembler::Result;

Packet One(const std::string& pPayload, uint16_t pSequence, unsigned pModulus = 256,
           OtrkEncoding pEncoding = OtrkEncoding::Json) {
  return MakeOtrkPackets(pPayload, pEncoding, pSequence, 65507, pModulus)[0];
}
std::vector<Packet> Split(const std::string& pPayload, uint16_t pSequence, size_t pSegment) {
  return MakeOtrkPackets(pPayload, OtrkEncoding::Json, pSequence, pSegment);
}
Packet With(Packet p, size_t pAt, uint8_t pByte) {
  p[pAt] = pByte;
  return p;
}
// The checksum made again after a header change, at modulus 256.
Packet Resummed(Packet p) {
  const uint16_t lSum =
      vthud_tool::Fletcher16(p.data() + 16, p.size() - 16, 256, vthud_tool::Fletcher16(p.data(), 14, 256));
  p[14] = static_cast<uint8_t>(lSum >> 8);
  p[15] = static_cast<uint8_t>(lSum);
  return p;
}

TEST(OtrkPacket, Fletcher16AtBothModuli) {
  const std::string lText = "abcde";
  const auto* p = reinterpret_cast<const uint8_t*>(lText.data());
  EXPECT_EQ(vthud_tool::Fletcher16(p, 5, 255), 0xC8F0);  // the usual check value
  EXPECT_EQ(vthud_tool::Fletcher16(p, 5, 256), 0xC3EF);  // sums 239 and 451 % 256
  // Continued over two pieces as over one.
  EXPECT_EQ(vthud_tool::Fletcher16(p + 2, 3, 255, vthud_tool::Fletcher16(p, 2, 255)), 0xC8F0);
}

TEST(OtrkPacket, TableOfPacketSequences) {
  const std::string kSample = R"({"lens": {"fStop": 2.8}, "tracker": {"slate": "A1"}})";
  const std::vector<Packet> lThree = Split(kSample, 7, 20);
  ASSERT_EQ(lThree.size(), 3u);
  const std::vector<Packet> lOther = Split(kSample, 8, 20);
  struct Step {
    Packet packet;
    Result result;
    OtrkDrop why;
    long long nowMs;
    vthud_tool::OtrkSender sender = 0;
  };
  const vthud_tool::OtrkSender B = 2;  // a second sender; the first is 0
  const Result P = Result::Pending, C = Result::Complete, D = Result::Dropped;
  const OtrkDrop _ = OtrkDrop::Count;
  const struct {
    const char* name;
    std::vector<Step> steps;
  } kCases[] = {
      {"one JSON packet", {{One(kSample, 1), C, _, 0}}},
      {"CBOR, summed at 255 as first senders did", {{One("\xa0", 1, 255, OtrkEncoding::Cbor), C, _, 0}}},
      {"three segments out of order", {{lThree[2], P, _, 0}, {lThree[0], P, _, 0}, {lThree[1], C, _, 0}}},
      {"shorter than a header", {{Packet{'O', 'T', 'r', 'k'}, D, OtrkDrop::Identifier, 0}}},
      {"another identifier", {{Resummed(With(One(kSample, 1), 0, 'X')), D, OtrkDrop::Identifier, 0}}},
      {"a byte changed", {{With(One(kSample, 1), 20, '!'), D, OtrkDrop::Checksum, 0}}},
      {"the checksum itself changed", {{With(One(kSample, 1), 15, 0), D, OtrkDrop::Checksum, 0}}},
      {"length beyond the datagram", {{Resummed(With(One(kSample, 1), 13, 200)), D, OtrkDrop::Length, 0}}},
      {"encoding 3", {{Resummed(With(One(kSample, 1), 5, 3)), D, OtrkDrop::Encoding, 0}}},
      {"offset past the bound", {{Resummed(With(One(kSample, 1), 8, 0x7f)), D, OtrkDrop::Length, 0}}},
      {"overlapping segments",
       {{lThree[0], P, _, 0}, {Split(kSample, 7, 25)[0], D, OtrkDrop::Segment, 0}, {lThree[1], P, _, 0}}},
      {"a segment of another encoding",
       {{lThree[0], P, _, 0}, {Resummed(With(lThree[1], 5, 2)), D, OtrkDrop::Segment, 0}}},
      {"a last segment short of one already held",
       {{lThree[2], P, _, 0}, {Split(kSample.substr(0, 30), 7, 20)[1], D, OtrkDrop::Segment, 0}}},
      {"the same sample twice", {{One(kSample, 5), C, _, 0}, {One(kSample, 5), D, OtrkDrop::Stale, 0}}},
      {"an older sample after a newer", {{One(kSample, 5), C, _, 0}, {One(kSample, 4), D, OtrkDrop::Stale, 0}}},
      {"across the 16-bit wrap", {{One(kSample, 65535), C, _, 0}, {One(kSample, 0), C, _, 0}}},
      {"an older one unfinished when a newer completes",
       {{lThree[0], P, _, 0}, {One(kSample, 8), C, _, 0}, {lThree[1], D, OtrkDrop::Stale, 0}}},
      {"unfinished past its time", {{lThree[0], P, _, 0}, {lThree[1], P, _, 5000}, {lThree[2], P, _, 5000}}},
      {"two payloads at once",
       {{lThree[0], P, _, 0},
        {lOther[0], P, _, 0},
        {lOther[1], P, _, 0},
        {lOther[2], C, _, 0},
        {lThree[2], D, OtrkDrop::Stale, 0}}},
      // Two trackers number their packets alike: each sender's numbers are its own.
      {"two senders with one sequence number, the second first",
       {{One(kSample, 5), C, _, 0, B}, {One(kSample, 5), C, _, 0}, {One(kSample, 5), D, OtrkDrop::Stale, 0, B}}},
      {"one sender's newer sample leaves the other's older one fresh",
       {{One(kSample, 9), C, _, 0, B}, {One(kSample, 4), C, _, 0}, {One(kSample, 8), D, OtrkDrop::Stale, 0, B}}},
      {"two senders' segments of one number kept apart",
       {{lThree[0], P, _, 0},
        {lThree[0], P, _, 0, B},
        {lThree[2], P, _, 0, B},
        {lThree[2], P, _, 0},
        {lThree[1], C, _, 0},
        {lThree[1], C, _, 0, B}}},
      {"one sender's completion gives up none of the other's",
       {{lThree[0], P, _, 0, B}, {One(kSample, 8), C, _, 0}, {lThree[1], P, _, 0, B}, {lThree[2], C, _, 0, B}}},
      {"a quiet sender forgotten: its numbers start afresh",
       {{One(kSample, 9), C, _, 0}, {One(kSample, 3), C, _, 1 + OtrkReassembler::kQuietMs}}},
  };
  for (const auto& lCase : kCases) {
    SCOPED_TRACE(lCase.name);
    OtrkReassembler lReassembler;
    for (size_t i = 0; i < lCase.steps.size(); ++i) {
      const Step& s = lCase.steps[i];
      vthud_tool::OtrkPayload lPayload;
      OtrkDrop lWhy = OtrkDrop::Count;
      long long lGivenUp = 0;
      EXPECT_EQ(lReassembler.Add(s.packet.data(), s.packet.size(), s.nowMs, lPayload, lWhy, lGivenUp, s.sender),
                s.result)
          << "step " << i;
      if (s.result == Result::Dropped) EXPECT_EQ(lWhy, s.why) << "step " << i << ": " << OtrkDropName(lWhy);
      if (s.result == Result::Complete && lPayload.bytes.size() != 1) EXPECT_EQ(lPayload.bytes, kSample);
    }
  }
}

TEST(OtrkPacket, UnfinishedPayloadsStayWithinTheirBounds) {
  OtrkReassembler lReassembler;
  long long lGivenUpTotal = 0;
  for (int i = 0; i < 20000; ++i) {
    // A first segment far into a payload that never ends, a new one each time.
    Packet p = Split(std::string(200, 'x'), static_cast<uint16_t>(i), 100)[0];
    const uint32_t lOffset = (1u << 20) - 300;
    for (int b = 0; b < 4; ++b) p[8 + b] = static_cast<uint8_t>(lOffset >> (24 - 8 * b));
    p = Resummed(p);
    vthud_tool::OtrkPayload lPayload;
    OtrkDrop lWhy;
    long long lGivenUp = 0;
    ASSERT_EQ(lReassembler.Add(p.data(), p.size(), i, lPayload, lWhy, lGivenUp), Result::Pending);
    lGivenUpTotal += lGivenUp;
    ASSERT_LE(lReassembler.PendingCount(), OtrkReassembler::kMaxPending);
    ASSERT_LE(lReassembler.PendingBytes(), OtrkReassembler::kMaxPending * OtrkReassembler::kMaxBytes);
  }
  EXPECT_EQ(lGivenUpTotal + static_cast<long long>(lReassembler.PendingCount()), 20000);
  // A sample still gets through after the flood.
  const Packet lGood = One("{}", 20001);
  vthud_tool::OtrkPayload lPayload;
  OtrkDrop lWhy;
  long long lGivenUp = 0;
  EXPECT_EQ(lReassembler.Add(lGood.data(), lGood.size(), 20001, lPayload, lWhy, lGivenUp), Result::Complete);
}

// Payloads given up for room, against a flood of unfinished ones from another
// sender or from the tracker itself: the tracker sends 100 samples, the odd
// ones in three segments, with pPerGap flood segments after each segment.
TEST(OtrkPacket, AFloodCostsItsOwnSenderOnly) {
  const std::string kSample = R"({"lens": {"fStop": 2.8}})";
  const struct {
    const char* name;
    vthud_tool::OtrkSender flood;
    int perGap;
    int completed;
  } kCases[] = {
      {"from another sender: every sample gets through", 2, 20, 100},
      // 8 new payloads after a sample's first segment overtake it; 6 do not.
      {"from the tracker, 3 between segments: none overtaken", 0, 3, 100},
      {"from the tracker, 4 between segments: the segmented ones lost", 0, 4, 50},
  };
  for (const auto& lCase : kCases) {
    SCOPED_TRACE(lCase.name);
    OtrkReassembler lReassembler;
    int lCompleted = 0, lFlooded = 0, lStarted = 0;
    const auto Add = [&](const Packet& p, vthud_tool::OtrkSender pSender) {
      vthud_tool::OtrkPayload lPayload;
      OtrkDrop lWhy;
      long long lGivenUp = 0;
      const Result r = lReassembler.Add(p.data(), p.size(), 0, lPayload, lWhy, lGivenUp, pSender);
      EXPECT_NE(r, Result::Dropped) << OtrkDropName(lWhy);
      ASSERT_LE(lReassembler.PendingCount(), OtrkReassembler::kMaxPending);
      if (r == Result::Complete) ++lCompleted;
    };
    for (int k = 0; k < 100; ++k) {
      ++lStarted;
      for (const Packet& lSegment : Split(kSample, static_cast<uint16_t>(k), k % 2 ? 9 : 100)) {
        Add(lSegment, 0);
        // Numbered far ahead of the tracker's, so that none is stale.
        for (int f = 0; f < lCase.perGap; ++f, ++lStarted)
          Add(Split(std::string(200, 'x'), static_cast<uint16_t>(20000 + lFlooded++), 100)[0], lCase.flood);
      }
    }
    EXPECT_EQ(lCompleted, lCase.completed);
    // Every payload neither completed nor waiting was given up for room, and counted (a lost
    // sample's late segment starts one more).
    EXPECT_GE(lReassembler.Overtaken() + lCompleted + static_cast<long long>(lReassembler.PendingCount()),
              lStarted);
  }
}

TEST(OtrkPacket, APayloadPastItsSegmentBoundIsGivenUp) {
  const std::vector<Packet> lPieces = Split(std::string(300, 'x'), 7, 1);
  OtrkReassembler lReassembler;
  vthud_tool::OtrkPayload lPayload;
  OtrkDrop lWhy = OtrkDrop::Count;
  long long lGivenUp = 0;
  for (size_t i = 0; i < OtrkReassembler::kMaxSegments; ++i)
    ASSERT_EQ(lReassembler.Add(lPieces[i].data(), lPieces[i].size(), 0, lPayload, lWhy, lGivenUp),
              Result::Pending);
  const Packet& lOver = lPieces[OtrkReassembler::kMaxSegments];
  EXPECT_EQ(lReassembler.Add(lOver.data(), lOver.size(), 0, lPayload, lWhy, lGivenUp), Result::Dropped);
  EXPECT_EQ(lWhy, OtrkDrop::Segment);
  EXPECT_EQ(lGivenUp, static_cast<long long>(OtrkReassembler::kMaxSegments));
  EXPECT_EQ(lReassembler.PendingCount(), 0u) << "its room is free";
  EXPECT_EQ(lReassembler.Overtaken(), 1);
}

int OpenFiles() {
  int lCount = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++lCount;
    closedir(d);
  }
  return lCount;
}

// Calls in the wrong order or that cannot be done: the last step of each is
// refused in one line, the receiver still receives where it was opened, and
// nothing is left open once it is gone.
TEST(OtrkPacket, ReceiverRefusalsTable) {
  using vthud_tool::UdpReceiver;
  using Step = std::function<bool(UdpReceiver&, std::string&)>;
  const int lPort = FreePort();
  const std::string lWhere = "127.0.0.1:" + std::to_string(lPort);
  const int lTaken = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in lAddress{};
  lAddress.sin_family = AF_INET;
  lAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t lSize = sizeof lAddress;
  ASSERT_EQ(bind(lTaken, reinterpret_cast<sockaddr*>(&lAddress), sizeof lAddress), 0);
  getsockname(lTaken, reinterpret_cast<sockaddr*>(&lAddress), &lSize);
  const int lTakenPort = ntohs(lAddress.sin_port);

  const Step Open = [&](UdpReceiver& r, std::string& e) { return r.Open("127.0.0.1", lPort, "", 0, e); };
  const Step Start = [](UdpReceiver& r, std::string& e) { return r.Start("", e); };
  const Step Stop = [](UdpReceiver& r, std::string&) { return r.Stop(), true; };
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::string message;
    bool receives;  // whether a sample still gets through after the refusal
  } kCases[] = {
      {"an address that is not IPv4",
       {[](UdpReceiver& r, std::string& e) { return r.Open("tracker.local", 5, "", 0, e); }},
       "'tracker.local' is not an IPv4 address",
       false},
      {"a port taken",
       {[&](UdpReceiver& r, std::string& e) { return r.Open("127.0.0.1", lTakenPort, "", 0, e); }},
       "cannot listen on 127.0.0.1:" + std::to_string(lTakenPort) + ": ",
       false},
      {"an interface that is not IPv4",
       {[&](UdpReceiver& r, std::string& e) { return r.Open("239.135.1.9", lPort, "eth0", 0, e); }},
       "'eth0' is not an IPv4 address",
       false},
      {"Open twice", {Open, Open}, "already listening on " + lWhere, true},
      {"Start before Open", {Start}, "not listening yet", false},
      {"Start twice", {Open, Start, Start}, "already receiving on " + lWhere, true},
      {"Start, Stop twice, Start twice",
       {Open, Start, Stop, Stop, Start, Start},
       "already receiving on " + lWhere,
       true},
      {"a record that cannot be written",
       {Open, [](UdpReceiver& r, std::string& e) { return r.Start("/nonexistent/take.jsonl", e); }},
       "--tracking-record: cannot write /nonexistent/take.jsonl: ",
       true},
  };
  const Packet lSample = One(R"({"lens": {"fStop": 2.8}})", 1);
  sockaddr_in lTo{};
  lTo.sin_family = AF_INET;
  lTo.sin_port = htons(static_cast<uint16_t>(lPort));
  lTo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int lFilesBefore = OpenFiles();
  for (const auto& lCase : kCases) {
    SCOPED_TRACE(lCase.name);
    {
      UdpReceiver lReceiver;
      std::string lError;
      for (size_t i = 0; i + 1 < lCase.steps.size(); ++i) ASSERT_TRUE(lCase.steps[i](lReceiver, lError)) << lError;
      EXPECT_FALSE(lCase.steps.back()(lReceiver, lError));
      EXPECT_EQ(lError.find(lCase.message), 0u) << lError;
      EXPECT_EQ(lError.find('\n'), std::string::npos);
      if (lCase.receives) {
        lReceiver.Start("", lError);  // refused where it already runs
        // Sent until it is taken, for at most a minute; nothing is timed.
        for (int i = 0; i < 600 && lReceiver.Counts().accepted == 0; ++i) {
          sendto(lTaken, lSample.data(), lSample.size(), 0, reinterpret_cast<const sockaddr*>(&lTo), sizeof lTo);
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_GE(lReceiver.Counts().accepted, 1);
        EXPECT_EQ(lReceiver.Error(), "");
      }
    }
    EXPECT_EQ(OpenFiles(), lFilesBefore) << "nothing left open";
  }
  close(lTaken);
}

}  // namespace
