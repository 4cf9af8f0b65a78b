// The preview tool listening to a tracker: a sender on 127.0.0.1 (and, in a
// network namespace of the test's own, to a multicast group) against a live
// run, its recording read back, the refusals, a stream to a monitor decoded
// by ffmpeg, a flood of unfinished segments, two senders on one port, and a
// recording onto a reader that stalls. Every process is bounded by timeout;
// nothing is asserted about timing.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tool_fixture.h"

namespace {

using vthud_test::FreePort;
using vthud_test::Quote;
using vthud_test::Slurp;

// The camera timecode field's pixels, which tell the samples apart.
std::string TimecodeField(const vthost::Image& pImage) {
  std::string lPixels;
  for (int y = 1079 - 75; y < 1079 - 25; ++y)
    lPixels.append(reinterpret_cast<const char*>(pImage.At(800, y)), 280 * 4);
  return lPixels;
}

class LiveTrackingTest : public vthud_test::ToolTest {
 protected:
  std::string ToolLine(const std::vector<std::string>& pArguments, const std::string& pName) {
    std::string lLine = "timeout 120 " + Quote(VTHUD_PREVIEW_TOOL);
    for (const std::string& a : pArguments) lLine += " " + Quote(a);
    return "(" + lLine + " >" + Quote(dir + "/" + pName + ".out") + " 2>" + Quote(dir + "/" + pName + ".err") +
           "; echo $? >" + Quote(dir + "/" + pName + ".status") + ")";
  }
  std::string SenderLine(const std::vector<std::string>& pArguments, const std::string& pName = "sent") {
    std::string lLine = "timeout 120 " + Quote(VTHUD_OTRK_SENDER);
    for (const std::string& a : pArguments) lLine += " " + Quote(a);
    return lLine + " >" + Quote(dir + "/" + pName);
  }
  // Waits (at most 60 s) until run pName draws, so that its socket is being read and not merely filled.
  std::string UntilDrawing(const std::string& pName) {
    return "for i in $(seq 600); do grep -q 'waiting for the tracker' " + Quote(dir + "/" + pName + ".err") +
           " 2>/dev/null && break; sleep 0.1; done; ";
  }
  // Checks that recording pName holds pCount samples of pSource, S000 on, once each in order.
  void ExpectWhole(const std::string& pName, int pCount, int pSource) {
    const std::vector<std::string> lRecorded = Lines(pName);
    ASSERT_EQ(lRecorded.size(), static_cast<size_t>(pCount));
    for (int k = 0; k < pCount; ++k) {
      const QJsonObject lSample = QJsonDocument::fromJson(QByteArray::fromStdString(lRecorded[k])).object();
      EXPECT_EQ(lSample["tracker"].toObject()["slate"].toString().toStdString(),
                QString::asprintf("S%03d", k).toStdString());
      EXPECT_EQ(lSample["sourceNumber"].toInt(), pSource) << "line " << k + 1;
    }
  }
  int Status(const std::string& pName) { return atoi(Slurp(dir + "/" + pName + ".status").c_str()); }
  std::vector<std::string> Lines(const std::string& pName) {
    std::vector<std::string> lLines;
    std::ifstream lFile(dir + "/" + pName);
    for (std::string lLine; std::getline(lFile, lLine);) lLines.push_back(lLine);
    return lLines;
  }
};

TEST_F(LiveTrackingTest, RunFollowsTheSenderAndRecordsEveryGoodSampleOnceInOrder) {
  const std::string lUrl = "udp://127.0.0.1:" + std::to_string(FreePort()) + "?source=3";
  const std::string lPort = lUrl.substr(16, lUrl.find('?') - 16);
  const std::string lLine =
      // A second longer than the sender sends, so that its last sample comes whatever the tool's start-up takes.
      ToolLine({"--fps", "24", "--frames", "0:95", "--tracking", lUrl, "--tracking-record", dir + "/take.jsonl",
                "--set", "Show Slate=true", "--out", dir + "/live.%02d.png"},
               "live") +
      " & " + SenderLine({"127.0.0.1", lPort, "80", "bad", "source=3"}) + "; wait";
  ASSERT_EQ(system(lLine.c_str()), 0);
  ASSERT_EQ(Status("live"), 0) << Slurp(dir + "/live.err");
  const std::string lOut = Slurp(dir + "/live.out");
  std::cout << lOut;
  EXPECT_NE(lOut.find(": 80 samples accepted"), std::string::npos) << lOut;
  const std::vector<std::string> lSent = Lines("sent");
  ASSERT_EQ(lSent.size(), 1u);
  EXPECT_NE(lOut.find("packets dropped (" + lSent[0] + ")"), std::string::npos) << "sent: " << lSent[0];

  // Every good sample once, in order, CBOR ones as JSON.
  const std::vector<std::string> lRecorded = Lines("take.jsonl");
  ASSERT_EQ(lRecorded.size(), 80u);
  for (int k = 0; k < 80; ++k) {
    const QJsonObject lSample = QJsonDocument::fromJson(QByteArray::fromStdString(lRecorded[k])).object();
    EXPECT_EQ(lSample["tracker"].toObject()["slate"].toString().toStdString(),
              QString::asprintf("S%03d", k).toStdString());
    EXPECT_EQ(lSample["sourceNumber"].toInt(), 3);
  }
  // Read back as a recording, one sample a frame: the frames to find the live ones among.
  const vthud_test::Result lBack =
      Tool({"--fps", "24", "--frames", "0:79", "--tracking", dir + "/take.jsonl", "--tracking-match", "order",
            "--set", "Show Slate=true", "--out", dir + "/ref.%02d.png"});
  ASSERT_EQ(lBack.status, 0) << lBack.err;
  std::vector<std::string> lFields;
  for (int k = 0; k < 80; ++k)
    lFields.push_back(TimecodeField(Png(QString::asprintf("ref.%02d.png", k).toStdString())));
  // Before the first sample a frame shows the command line's values; after it,
  // each shows a sample no older than the one before.
  int lLast = -1, lMatched = 0;
  for (int f = 0; f < 96; ++f) {
    const std::string lField = TimecodeField(Png(QString::asprintf("live.%02d.png", f).toStdString()));
    int lSample = -1;
    for (int k = 0; k < 80 && lSample < 0; ++k)
      if (lFields[k] == lField) lSample = k;
    if (lSample < 0) {
      EXPECT_LT(lLast, 0) << "frame " << f << " shows no sample after frame " << f - 1 << " showed " << lLast;
      continue;
    }
    EXPECT_GE(lSample, lLast) << "frame " << f << " went backwards";
    lLast = lSample;
    ++lMatched;
  }
  EXPECT_GT(lMatched, 0);
  std::cout << lMatched << " of 96 live frames showed a sample, the last " << lLast << "\n";
}

TEST_F(LiveTrackingTest, RefusedInOneLineBeforeAnythingIsWritten) {
  // A port that is taken.
  const int lTaken = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in lAddress{};
  lAddress.sin_family = AF_INET;
  lAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t lSize = sizeof lAddress;
  ASSERT_EQ(bind(lTaken, reinterpret_cast<sockaddr*>(&lAddress), sizeof lAddress), 0);
  getsockname(lTaken, reinterpret_cast<sockaddr*>(&lAddress), &lSize);
  const std::string lTakenUrl = "udp://127.0.0.1:" + std::to_string(ntohs(lAddress.sin_port));
  const struct {
    std::vector<std::string> options;
    std::string message;
  } kBad[] = {
      {{"--tracking", "udp://tracker.local:55555"}, "--tracking 'udp://tracker.local:55555' is not udp://"},
      {{"--tracking", "udp://127.0.0.1:"}, "--tracking 'udp://127.0.0.1:' has no port"},
      {{"--tracking", "udp://127.0.0.1:99999"}, "--tracking 'udp://127.0.0.1:99999' is not udp://"},
      {{"--tracking", "udp://127.0.0.1:5?source=0"}, "--tracking source expects a whole number from 1 to 200"},
      {{"--tracking", "udp://127.0.0.1:5?source=201"}, "--tracking source expects a whole number from 1 to 200"},
      {{"--tracking", "udp://127.0.0.1:5?colour=red"},
       "--tracking 'udp://127.0.0.1:5?colour=red': unknown setting 'colour'"},
      {{"--tracking", lTakenUrl}, "--tracking " + lTakenUrl + ": cannot listen on 127.0.0.1:"},
      {{"--tracking", "udp://127.0.0.1:5", "--tracking-match", "order"}, "--tracking-match matches a recording"},
      {{"--tracking-record", "r.jsonl"}, "--tracking-record records a live --tracking"},
  };
  for (const auto& lCase : kBad) {
    SCOPED_TRACE(lCase.message);
    std::vector<std::string> lArguments = lCase.options;
    lArguments.insert(lArguments.end(), {"--frames", "0:3", "--out", dir + "/never.mov"});
    const vthud_test::Result r = Tool(lArguments);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("vthud_preview: " + lCase.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
    EXPECT_NE(access((dir + "/never.mov").c_str(), F_OK), 0) << "nothing is written";
  }
  close(lTaken);
}

TEST_F(LiveTrackingTest, MulticastGroupWithASourceAndAnOldChecksumInItsOwnNamespace) {
  if (system("unshare -n true >/dev/null 2>&1") != 0) GTEST_SKIP() << "unshare -n is not allowed here";
  const std::string lGroup = "udp://239.135.1.7:55555?source=7&interface=127.0.0.1";
  // Inside the namespace only loopback exists; the group is joined on it and sent to with TTL 0.
  // Loopback is up before either the tool or the sender starts.
  const std::string lInside =
      "ip link set lo up && ip link set lo multicast on && (" +
      ToolLine({"--fps", "24", "--frames", "0:47", "--tracking", lGroup, "--tracking-record", dir + "/m.jsonl",
                "--out", dir + "/m.%02d.png"},
               "m") +
      " & " + SenderLine({"239.135.1.7", "55555", "24", "source=7", "modulus=255", "interface=127.0.0.1"}) +
      "; wait); " +
      ToolLine({"--tracking", "udp://239.135.1.7:55555?interface=10.9.9.9", "--out", dir + "/never.png"}, "j");
  ASSERT_EQ(system(("unshare -n sh -c " + Quote(lInside)).c_str()), 0);
  ASSERT_EQ(Status("m"), 0) << Slurp(dir + "/m.err");
  EXPECT_NE(Slurp(dir + "/m.out").find(": 24 samples accepted"), std::string::npos) << Slurp(dir + "/m.out");
  EXPECT_EQ(Lines("m.jsonl").size(), 24u);
  // A group that cannot be joined on the interface given.
  EXPECT_EQ(Status("j"), 1);
  EXPECT_NE(Slurp(dir + "/j.err").find("cannot join the group 239.135.1.7 on 10.9.9.9: "), std::string::npos)
      << Slurp(dir + "/j.err");
}

TEST_F(LiveTrackingTest, StreamForAMonitorDecodesAsItArrives) {
  const std::string lPort = std::to_string(FreePort());
  const std::string lLine =
      // A short probe, as a monitor starts showing soon after it joins.
      "(timeout 60 ffmpeg -v error -y -analyzeduration 500000 -probesize 32768 -f mpegts -i " +
      Quote("udp://127.0.0.1:" + lPort) + " -frames:v 24 -f framecrc " + Quote(dir + "/crc") + "; echo $? >" +
      Quote(dir + "/ffmpeg.status") + ") & sleep 1; " +
      ToolLine({"--fps", "24", "--frames", "0:95", "--tracking", "udp://127.0.0.1:" + std::to_string(FreePort()),
                "--out", "udp://127.0.0.1:" + lPort + "?pkt_size=1316"},
               "s") +
      "; wait";
  ASSERT_EQ(system(lLine.c_str()), 0);
  ASSERT_EQ(Status("s"), 0) << Slurp(dir + "/s.err");
  ASSERT_EQ(Status("ffmpeg"), 0);
  int lFrames = 0;
  for (const std::string& l : Lines("crc"))
    if (!l.empty() && l[0] != '#') ++lFrames;
  EXPECT_EQ(lFrames, 24);
}

// Runs pLine in a shell in a child of its own; the peak resident memory of
// the largest process it waited for, in kB.
long PeakOfChildren(const std::string& pLine) {
  int lPipe[2];
  if (pipe(lPipe) != 0) return -1;
  const pid_t lChild = fork();
  if (lChild == 0) {
    const int lStatus = system(pLine.c_str());
    rusage lUsage{};
    getrusage(RUSAGE_CHILDREN, &lUsage);
    const long lPeak = lStatus == 0 ? lUsage.ru_maxrss : -1;
    (void)!write(lPipe[1], &lPeak, sizeof lPeak);
    _exit(0);
  }
  long lPeak = -1;
  close(lPipe[1]);
  if (read(lPipe[0], &lPeak, sizeof lPeak) != sizeof lPeak) lPeak = -1;
  close(lPipe[0]);
  waitpid(lChild, nullptr, 0);
  return lPeak;
}

TEST_F(LiveTrackingTest, FloodOfUnfinishedSegmentsLeavesFramesComingAndMemoryBounded) {
  long lPeaks[2] = {};
  for (int lFlood : {0, 1}) {
    const std::string lPort = std::to_string(FreePort());
    // The flood starts once the run draws (within 60 s), so that the socket is being read and not merely
    // filled; the run outlasts it.
    const std::string lLine = ToolLine({"--fps", "24", "--frames", "0:95", "--tracking",
                                        "udp://127.0.0.1:" + lPort, "--out", dir + "/f.%02d.png"},
                                       "f") +
                              " & for i in $(seq 600); do grep -q 'waiting for the tracker' " +
                              Quote(dir + "/f.err") + " 2>/dev/null && break; sleep 0.1; done; " +
                              SenderLine({"127.0.0.1", lPort, "72", lFlood ? "flood=20000" : "pause=36"}) +
                              "; wait";
    lPeaks[lFlood] = PeakOfChildren(lLine);
    ASSERT_GT(lPeaks[lFlood], 0);
    ASSERT_EQ(Status("f"), 0) << Slurp(dir + "/f.err");
    // Without the flood the sender falls silent for 600 ms halfway: the run holds and says so, with the length.
    if (!lFlood)
      EXPECT_NE(Slurp(dir + "/f.err").find("vthud_preview: --tracking: no sample from the tracker for "),
                std::string::npos)
          << Slurp(dir + "/f.err");
  }
  const std::string lOut = Slurp(dir + "/f.out");
  std::cout << lOut << "peak resident memory " << lPeaks[0] << " kB alone, " << lPeaks[1] << " kB flooded\n";
  EXPECT_NE(lOut.find("wrote 96 frames"), std::string::npos);
  EXPECT_EQ(lOut.find(": 0 samples accepted"), std::string::npos) << "samples got through the flood";
  EXPECT_EQ(lOut.find("segment 0,"), std::string::npos) << "the flood was seen";
  // Unfinished payloads are at most 8 of 1 MiB; without a bound the flood holds gigabytes.
  EXPECT_LT(lPeaks[1], lPeaks[0] + 512 * 1024) << "kB";
}

// Two trackers send to one port, numbering their packets alike; one sends
// each sample a moment before the other. Either way round, ?source=1 keeps
// every sample of source 1 and none of source 2's, and without ?source the
// run follows the sender heard first and says once how to choose.
TEST_F(LiveTrackingTest, TwoSendersOnOnePortInEitherPhase) {
  const struct {
    const char* name;
    std::string query;
    bool twinFirst;  // source 2 ahead
    int kept;
  } kCases[] = {
      {"source 1 ahead, ?source=1", "?source=1", false, 1},
      {"source 2 ahead, ?source=1", "?source=1", true, 1},
      {"source 2 ahead, no source: the first heard", "", true, 2},
  };
  for (const auto& lCase : kCases) {
    SCOPED_TRACE(lCase.name);
    const std::string lPort = std::to_string(FreePort());
    std::vector<std::string> lSender = {"127.0.0.1", lPort, "60", "source=1", "twin=2"};
    if (lCase.twinFirst) lSender.push_back("twin-first");
    const std::string lLine =
        ToolLine({"--fps", "24", "--frames", "0:83", "--tracking", "udp://127.0.0.1:" + lPort + lCase.query,
                  "--tracking-record", dir + "/two.jsonl", "--out", dir + "/two.%02d.png"},
                 "two") +
        " & " + SenderLine(lSender) + "; wait";
    ASSERT_EQ(system(lLine.c_str()), 0);
    ASSERT_EQ(Status("two"), 0) << Slurp(dir + "/two.err");
    const std::string lOut = Slurp(dir + "/two.out"), lErr = Slurp(dir + "/two.err");
    std::cout << lOut;
    EXPECT_NE(lOut.find(": 60 samples accepted"), std::string::npos) << lOut;
    EXPECT_NE(lOut.find("other source 60)"), std::string::npos) << lOut;
    ExpectWhole("two.jsonl", 60, lCase.kept);
    const size_t lTold = lErr.find("--tracking: two senders, 127.0.0.1:");
    if (!lCase.query.empty()) {
      EXPECT_EQ(lTold, std::string::npos) << lErr;
      continue;
    }
    ASSERT_NE(lTold, std::string::npos) << lErr;
    EXPECT_NE(lErr.find("(sourceNumber 2) and 127.0.0.1:"), std::string::npos) << lErr;
    EXPECT_NE(lErr.find("(sourceNumber 1); following the first heard: choose one with ?source=N"),
              std::string::npos)
        << lErr;
    EXPECT_EQ(lErr.find("--tracking: two senders", lTold + 1), std::string::npos) << "said once";
  }
}

// The tracker's samples against a second sender's flood of 20,000 unfinished
// segments, and against a recording onto a FIFO whose reader sleeps through
// the take with a pipe of one page: a receiver held up by the recording would
// let the flood fill its socket and lose samples. Every sample is recorded.
TEST_F(LiveTrackingTest, EverySampleGetsThroughAFloodAndASlowRecording) {
  for (const bool lSlow : {false, true}) {
    SCOPED_TRACE(lSlow ? "onto a sleeping reader" : "onto a file");
    const std::string lPort = std::to_string(FreePort()), lRun = lSlow ? "slow" : "fast";
    const std::string lRecord = dir + (lSlow ? "/slow.fifo" : "/fast.jsonl");
    int lFifo = -1;
    std::atomic<bool> lDone{false};
    std::string lRead;
    std::thread lReader;
    if (lSlow) {
      ASSERT_EQ(mkfifo(lRecord.c_str(), 0600), 0);
      // Held open both ways, so that the tool's open never waits and the pipe never ends early.
      lFifo = open(lRecord.c_str(), O_RDWR | O_NONBLOCK);
      ASSERT_GE(lFifo, 0);
      ASSERT_GE(fcntl(lFifo, F_SETPIPE_SZ, 4096), 0);
      lReader = std::thread([&] {
        // Asleep from the first draw until the sender is nearly done.
        for (int i = 0;
             i < 600 && Slurp(dir + "/" + lRun + ".err").find("waiting for the tracker") == std::string::npos; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        char lBuffer[4096];
        for (bool lLast = false;;) {
          const ssize_t n = read(lFifo, lBuffer, sizeof lBuffer);
          if (n > 0) lRead.append(lBuffer, static_cast<size_t>(n));
          if (n > 0) continue;
          if (lLast) break;
          lLast = lDone;  // once more after the tool ended
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      });
    }
    // The run outlasts the take by two seconds, whatever the senders' start-up takes.
    const std::string lLine =
        ToolLine({"--fps", "24", "--frames", "0:119", "--tracking", "udp://127.0.0.1:" + lPort,
                  "--tracking-record", lRecord, "--out", dir + "/" + lRun + ".%03d.png"},
                 lRun) +
        " & " + UntilDrawing(lRun) + SenderLine({"127.0.0.1", lPort, "72", "source=1"}) + " & " +
        SenderLine({"127.0.0.1", lPort, "72", "flood=20000", "flood-only"}, "flood") + "; wait";
    const int lStatus = system(lLine.c_str());
    lDone = true;
    if (lReader.joinable()) lReader.join();
    if (lFifo >= 0) close(lFifo);
    ASSERT_EQ(lStatus, 0);
    ASSERT_EQ(Status(lRun), 0) << Slurp(dir + "/" + lRun + ".err");
    const std::string lOut = Slurp(dir + "/" + lRun + ".out");
    std::cout << lOut;
    EXPECT_NE(lOut.find(": 72 samples accepted"), std::string::npos) << lOut;
    EXPECT_EQ(lOut.find("full receive buffer"), std::string::npos) << lOut;
    if (lSlow) std::ofstream(dir + "/slow.jsonl") << lRead;
    ExpectWhole(lSlow ? "slow.jsonl" : "fast.jsonl", 72, 1);
  }
}

}  // namespace
