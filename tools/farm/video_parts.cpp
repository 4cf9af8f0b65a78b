#include "video_parts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "av_common.h"
#include "file_name.h"
#include "frame_sink.h"

namespace vthud_tool {

const char* const kPartRunTag = "vthud_run";
const char* const kPartChunkTag = "vthud_chunk";
const char* const kPartRunTimecodeTag = "vthud_run_timecode";
const char* const kPartTimecodeTag = "vthud_timecode";

namespace {

// Six digits, so that the parts of a run sort in frame order (a sign first for
// frames before 0).
std::string FrameText(long long pFrame) {
  char lText[32];
  snprintf(lText, sizeof lText, pFrame < 0 ? "-%06lld" : "%06lld", pFrame < 0 ? -pFrame : pFrame);
  return lText;
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
  AvInputPtr lInput;
  return OpenInput("file:" + pPath, pPath, nullptr, {}, lInput, pError, false) &&
         CountVideoPackets(*lInput, pPath, pFrames, pError);
}

std::string FormatTag(const AVFormatContext& pInput, const char* pKey) {
  const AVDictionaryEntry* lEntry = av_dict_get(pInput.metadata, pKey, nullptr, 0);
  return lEntry ? std::string(lEntry->value) : std::string();
}

// Stream copy of the first video stream of the concat list pList into
// pTarget (its container by its name), with pTimecode as the run's start.
bool Join(const std::string& pList, const std::string& pTarget, const std::string& pTimecode,
          std::string& pError) {
  AvInputPtr lInput;
  if (!OpenInput("file:" + pList, pList, "concat", {{"safe", "0"}}, lInput, pError)) return false;
  const int lVideo = av_find_best_stream(lInput.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (lVideo < 0) return pError = "the parts have no video stream", false;
  const AVStream& lIn = *lInput->streams[lVideo];
  AVFormatContext* lOutput = nullptr;
  int lStatus = avformat_alloc_output_context2(&lOutput, nullptr, nullptr, pTarget.c_str());
  if (lStatus < 0) return pError = AvReason(lStatus), false;
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> lOwned(lOutput, [](AVFormatContext* p) {
    if (p->pb) avio_closep(&p->pb);
    avformat_free_context(p);
  });
  AVStream* lOut = avformat_new_stream(lOutput, nullptr);
  if (!lOut) return pError = "out of memory", false;
  lStatus = avcodec_parameters_copy(lOut->codecpar, lIn.codecpar);
  if (lStatus < 0) return pError = AvReason(lStatus), false;
  lOut->time_base = lIn.time_base;
  lOut->avg_frame_rate = lIn.avg_frame_rate;
  lOut->r_frame_rate = lIn.r_frame_rate;
  lOut->sample_aspect_ratio = lIn.sample_aspect_ratio;
  av_dict_copy(&lOut->metadata, lIn.metadata, 0);
  // The parts' own timecode tracks are left out for the run's one.
  av_dict_set(&lOut->metadata, "timecode", nullptr, 0);
  if (!pTimecode.empty()) av_dict_set(&lOutput->metadata, "timecode", pTimecode.c_str(), 0);
  if ((lStatus = avio_open2(&lOutput->pb, ("file:" + pTarget).c_str(), AVIO_FLAG_WRITE, nullptr, nullptr)) < 0 ||
      (lStatus = avformat_write_header(lOutput, nullptr)) < 0)
    return pError = AvReason(lStatus), false;
  // The joined video starts at 0, as the first part did.
  const int64_t lStart =
      lInput->start_time != AV_NOPTS_VALUE ? av_rescale_q(lInput->start_time, AV_TIME_BASE_Q, lIn.time_base) : 0;
  AvPacketPtr lPacket(av_packet_alloc());
  for (;;) {
    lStatus = av_read_frame(lInput.get(), lPacket.get());
    if (lStatus == AVERROR_EOF) break;
    if (lStatus < 0) return pError = AvReason(lStatus), false;
    if (lPacket->stream_index != lVideo) {
      av_packet_unref(lPacket.get());
      continue;
    }
    if (lPacket->pts != AV_NOPTS_VALUE) lPacket->pts -= lStart;
    if (lPacket->dts != AV_NOPTS_VALUE) lPacket->dts -= lStart;
    av_packet_rescale_ts(lPacket.get(), lIn.time_base, lOut->time_base);
    lPacket->stream_index = 0;
    lPacket->pos = -1;
    lStatus = av_interleaved_write_frame(lOutput, lPacket.get());
    if (lStatus < 0) return pError = AvReason(lStatus), false;
  }
  if ((lStatus = av_write_trailer(lOutput)) < 0 || (lStatus = avio_closep(&lOutput->pb)) < 0)
    return pError = AvReason(lStatus), false;
  return true;
}

}  // namespace

std::string FarmDir(const Options& pOptions) {
  // A sequence's pattern is left out of the name: out/hud.%04d.png gives out/hud.png.farm.
  std::string lOut = pOptions.out;
  const size_t lPercent = lOut.rfind('%');
  const size_t lEnd = lPercent == std::string::npos ? lPercent : lOut.find('d', lPercent);
  if (lEnd != std::string::npos) {
    lOut.erase(lPercent, lEnd + 1 - lPercent);
    if (lPercent > 0 && lPercent < lOut.size() && lOut[lPercent - 1] == '.' && lOut[lPercent] == '.')
      lOut.erase(lPercent, 1);
  }
  std::string lDir = pOptions.farmDir.empty() ? lOut + ".farm" : pOptions.farmDir;
  while (lDir.size() > 1 && lDir.back() == '/') lDir.pop_back();
  return lDir;
}

std::string PartPath(const Options& pOptions, const FrameRange& pChunk) {
  return FarmDir(pOptions) + "/part." + FrameText(pChunk.first) + "-" + FrameText(pChunk.last) +
         Extension(pOptions.out);
}

bool ProbePart(const std::string& pPath, PartInfo& pInfo, std::string& pError) {
  struct stat lStat;
  if (stat(pPath.c_str(), &lStat) != 0) return pError = pPath + " is missing", false;
  AvInputPtr lInput;
  if (!OpenInput("file:" + pPath, pPath, nullptr, {}, lInput, pError, false)) return false;
  PartInfo lInfo;
  if (!ParsePair(FormatTag(*lInput, kPartRunTag), lInfo.runFirst, lInfo.runLast) ||
      !ParsePair(FormatTag(*lInput, kPartChunkTag), lInfo.first, lInfo.last))
    return pError = pPath + " is not a part written by --chunk", false;
  lInfo.runTimecode = FormatTag(*lInput, kPartRunTimecodeTag);
  if (!CountVideoPackets(*lInput, pPath, lInfo.frames, pError)) return false;
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
  // Stream copy: the frames as the parts hold them.
  std::string lWhy;
  const bool lJoined = Join(lListPath, lTemporary, lRun.runTimecode, lWhy);
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
