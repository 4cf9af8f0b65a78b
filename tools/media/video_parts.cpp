#include "video_parts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ffmpeg_process.h"
#include "file_name.h"
#include "frame_sink.h"

namespace vthud_tool {

const char* const kPartRunTag = "vthud_run";
const char* const kPartChunkTag = "vthud_chunk";
const char* const kPartRunTimecodeTag = "vthud_run_timecode";
const char* const kPartTimecodeTag = "vthud_timecode";

namespace {

// The value of "KEY=value" among ffprobe's lines, or "".
std::string Entry(const std::string& pText, const std::string& pKey) {
  const std::string lKey = pKey + "=";
  for (size_t lAt = 0; lAt < pText.size();) {
    const size_t lEnd = pText.find('\n', lAt);
    const std::string lLine = pText.substr(lAt, lEnd == std::string::npos ? std::string::npos : lEnd - lAt);
    if (lLine.compare(0, lKey.size(), lKey) == 0) return lLine.substr(lKey.size());
    if (lEnd == std::string::npos) break;
    lAt = lEnd + 1;
  }
  return std::string();
}

bool ParsePair(const std::string& pText, long long& pFirst, long long& pLast) {
  char lEnd = 0;
  return sscanf(pText.c_str(), "%lld:%lld%c", &pFirst, &pLast, &lEnd) == 2 && pFirst <= pLast;
}

std::string Range(long long pFirst, long long pLast) {
  return std::to_string(pFirst) + " to " + std::to_string(pLast);
}

// The concat demuxer's list: one quoted file a line.
std::string ConcatList(const std::vector<std::string>& pParts) {
  std::string lList = "ffconcat version 1.0\n";
  for (const std::string& lPart : pParts) {
    std::string lQuoted;
    for (char c : lPart) lQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    lList += "file 'file:" + lQuoted + "'\n";
  }
  return lList;
}

bool CountFrames(const std::string& pPath, long long& pFrames, std::string& pError) {
  std::string lProbe;
  if (!RunFfprobe({"-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                   "stream=nb_read_packets", "-of", "default=nw=1", "file:" + pPath},
                  lProbe, pError))
    return false;
  const std::string lCount = Entry(lProbe, "nb_read_packets");
  if (lCount.empty()) return pError = pPath + " has no video stream", false;
  pFrames = atoll(lCount.c_str());
  return true;
}

}  // namespace

bool ProbePart(const std::string& pPath, PartInfo& pInfo, std::string& pError) {
  struct stat lStat;
  if (stat(pPath.c_str(), &lStat) != 0) return pError = pPath + " is missing", false;
  std::string lProbe;
  if (!RunFfprobe({"-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                   "stream=nb_read_packets:format_tags", "-of", "default=nw=1", "file:" + pPath},
                  lProbe, pError))
    return pError = "cannot read " + pPath + ": " + pError, false;
  PartInfo lInfo;
  if (!ParsePair(Entry(lProbe, std::string("TAG:") + kPartRunTag), lInfo.runFirst, lInfo.runLast) ||
      !ParsePair(Entry(lProbe, std::string("TAG:") + kPartChunkTag), lInfo.first, lInfo.last))
    return pError = pPath + " is not a part written by --chunk", false;
  lInfo.runTimecode = Entry(lProbe, std::string("TAG:") + kPartRunTimecodeTag);
  const std::string lCount = Entry(lProbe, "nb_read_packets");
  if (lCount.empty()) return pError = pPath + " has no video stream", false;
  lInfo.frames = atoll(lCount.c_str());
  pInfo = lInfo;
  return true;
}

bool PartIsWhole(const std::string& pPath, long long pFirst, long long pLast) {
  PartInfo lInfo;
  std::string lIgnored;
  return ProbePart(pPath, lInfo, lIgnored) && lInfo.first == pFirst && lInfo.last == pLast &&
         lInfo.frames == pLast - pFirst + 1;
}

bool AssembleParts(const std::string& pOut, const std::vector<std::string>& pParts, std::string& pSummary,
                   std::string& pError) {
  if (!IsVideoFile(pOut))
    return pError = "--assemble joins video parts into a .mov or an .mp4, got '" + pOut + "'", false;
  if (pParts.empty()) return pError = "--assemble: no parts to join", false;
  PartInfo lRun;
  long long lNext = 0;
  for (size_t i = 0; i < pParts.size(); ++i) {
    PartInfo lPart;
    const std::string lWhich =
        "--assemble: part " + std::to_string(i + 1) + " of " + std::to_string(pParts.size());
    if (!ProbePart(pParts[i], lPart, pError)) return pError = lWhich + ": " + pError, false;
    if (i == 0) {
      lRun = lPart;
      lNext = lRun.runFirst;
    }
    if (lPart.runFirst != lRun.runFirst || lPart.runLast != lRun.runLast)
      return pError = lWhich + ": " + pParts[i] + " belongs to a run of frames " +
                      Range(lPart.runFirst, lPart.runLast) + ", not " + Range(lRun.runFirst, lRun.runLast),
             false;
    if (lPart.first != lNext)
      return pError =
                 lWhich + ": " + pParts[i] + " holds frames " + Range(lPart.first, lPart.last) +
                 (lPart.first > lNext ? "; the part of frames " + Range(lNext, lPart.first - 1) + " is missing"
                                      : "; it overlaps the part before it"),
             false;
    const long long lWant = lPart.last - lPart.first + 1;
    if (lPart.frames != lWant)
      return pError = lWhich + ": " + pParts[i] + " is short: " + std::to_string(lPart.frames) + " of its " +
                      std::to_string(lWant) + " frames (" + Range(lPart.first, lPart.last) + ")",
             false;
    lNext = lPart.last + 1;
  }
  if (lNext != lRun.runLast + 1)
    return pError = "--assemble: the part of frames " + Range(lNext, lRun.runLast) + " is missing (after " +
                    pParts.back() + ")",
           false;
  if (!MakeParentDirs(pOut, pError)) return pError = "--assemble: " + pError, false;
  // Beside OUT, so that the rename stays on one file system; the list too.
  const std::string lTemporary = BeforeExtension(pOut, ".assembling");
  const std::string lListPath = pOut + ".concat.txt";
  FILE* lList = fopen(lListPath.c_str(), "w");
  if (!lList) return pError = "--assemble: cannot write " + lListPath + ": " + strerror(errno), false;
  const std::string lText = ConcatList(pParts);
  const bool lListed = fwrite(lText.data(), 1, lText.size(), lList) == lText.size();
  if (fclose(lList) != 0 || !lListed)
    return unlink(lListPath.c_str()), pError = "--assemble: cannot write " + lListPath, false;
  // Stream copy: the frames as the parts hold them; the parts' own
  // timecode tracks are left out for the run's one.
  std::vector<std::string> lArguments{"-nostdin", "-v", "error",   "-y",   "-f",    "concat", "-safe",
                                      "0",        "-i", lListPath, "-map", "0:v:0", "-c",     "copy"};
  if (!lRun.runTimecode.empty()) lArguments.insert(lArguments.end(), {"-timecode", lRun.runTimecode});
  lArguments.push_back(lTemporary);
  FfmpegProcess lJoin;
  std::string lWhy;
  const bool lJoined = lJoin.Start(lArguments, FfmpegProcess::Direction::WriteToIt, lWhy) && lJoin.Finish(lWhy);
  unlink(lListPath.c_str());
  const long long lWant = lRun.runLast - lRun.runFirst + 1;
  long long lFrames = 0;
  if (lJoined && !CountFrames(lTemporary, lFrames, lWhy)) lFrames = -1;
  if (!lJoined || lFrames != lWant) {
    unlink(lTemporary.c_str());
    pError = "--assemble: joining into " + pOut +
             " failed: " + (lJoined ? std::to_string(lFrames) + " of " + std::to_string(lWant) + " frames" : lWhy);
    return false;
  }
  if (rename(lTemporary.c_str(), pOut.c_str()) != 0) {
    pError = "--assemble: cannot rename " + lTemporary + " to " + pOut + ": " + strerror(errno);
    unlink(lTemporary.c_str());
    return false;
  }
  pSummary = "assembled " + std::to_string(lWant) + " frames (" + Range(lRun.runFirst, lRun.runLast) + ") from " +
             std::to_string(pParts.size()) + (pParts.size() == 1 ? " part" : " parts") + " into " + pOut +
             (lRun.runTimecode.empty() ? "" : ", starting at " + lRun.runTimecode);
  return true;
}

}  // namespace vthud_tool
