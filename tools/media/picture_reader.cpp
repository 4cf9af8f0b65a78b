#include "picture_reader.h"

#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/timecode.h>
}

namespace vthud_tool {

namespace {

std::string Named(const char* pName) {
  return pName && strcmp(pName, "unknown") != 0 ? std::string(pName) : std::string();
}

std::string Tag(AVDictionary* pTags, const char* pKey) {
  const AVDictionaryEntry* lEntry = av_dict_get(pTags, pKey, nullptr, 0);
  return lEntry ? std::string(lEntry->value) : std::string();
}

void ReadFacts(const AVFormatContext& pInput, const AVStream& pStream, StreamFacts& pFacts) {
  const AVCodecParameters& lCodec = *pStream.codecpar;
  pFacts = StreamFacts();
  pFacts.width = lCodec.width;
  pFacts.height = lCodec.height;
  pFacts.pixelFormat = Named(av_get_pix_fmt_name(static_cast<AVPixelFormat>(lCodec.format)));
  pFacts.colorSpace = Named(av_color_space_name(lCodec.color_space));
  pFacts.colorRange = Named(av_color_range_name(lCodec.color_range));
  pFacts.rate = pStream.r_frame_rate;
  pFacts.frames = pStream.nb_frames;
  // A .mov's timecode track is given to the video stream it belongs to.
  pFacts.timecode = Tag(pStream.metadata, "timecode");
  if (pFacts.timecode.empty()) pFacts.timecode = Tag(pInput.metadata, "timecode");
}

}  // namespace

std::string FileUrl(const std::string& pPath) { return "file:" + pPath; }

ReaderSource PictureSource(const std::string& pPath) {
  ReaderSource lSource;
  lSource.url = FileUrl(pPath);
  lSource.name = pPath;
  lSource.format = "image2";
  lSource.options = {{"pattern_type", "none"}};
  lSource.stopOnError = true;
  return lSource;
}

ReaderSource VideoSource(const std::string& pPath) {
  ReaderSource lSource;
  lSource.url = FileUrl(pPath);
  lSource.name = pPath;
  return lSource;
}

bool FirstTimecode(const ReaderSource& pSource, StreamFacts& pFacts, std::string& pTimecode, std::string& pError) {
  PictureReader lReader;
  ReaderSource lSource = pSource;
  lSource.oneThread = true;
  if (!lReader.Open(lSource, pError)) return false;
  lReader.SetOutput("", AV_PIX_FMT_NONE);
  pFacts = lReader.Facts();
  AvFramePtr lFrame;
  bool lEnded = false;
  std::string lIgnored;
  pTimecode.clear();
  if (lReader.Next(lFrame, lEnded, lIgnored)) pTimecode = FrameTimecode(*lFrame, pFacts.rate);
  if (pTimecode.empty()) pTimecode = pFacts.timecode;
  return true;
}

bool ProbeStream(const ReaderSource& pSource, StreamFacts& pFacts, std::string& pError) {
  PictureReader lReader;
  ReaderSource lSource = pSource;
  lSource.oneThread = true;
  if (!lReader.Open(lSource, pError)) return false;
  pFacts = lReader.Facts();
  return true;
}

std::string FrameTimecode(const AVFrame& pFrame, AVRational pRate) {
  const std::string lTag = Tag(pFrame.metadata, "timecode");
  if (!lTag.empty()) return lTag;
  const AVFrameSideData* lSide = av_frame_get_side_data(&pFrame, AV_FRAME_DATA_S12M_TIMECODE);
  if (!lSide || lSide->size < 2 * sizeof(uint32_t) || pRate.num <= 0 || pRate.den <= 0) return std::string();
  const uint32_t* lCodes = reinterpret_cast<const uint32_t*>(lSide->data);
  if (lCodes[0] < 1) return std::string();
  char lText[AV_TIMECODE_STR_SIZE];
  av_timecode_make_smpte_tc_string2(lText, pRate, lCodes[1], 0, 0);
  return lText;
}

PictureReader::~PictureReader() { Stop(); }

bool PictureReader::Open(const ReaderSource& pSource, std::string& pError) {
  Stop();
  mSource = pSource;
  mCodec.reset();
  mStream = nullptr;
  mInputEnded = mDecoderEnded = mChainEnded = false;
  mSkipBefore = AV_NOPTS_VALUE;
  if (!OpenInput(pSource.url, pSource.name, pSource.format, pSource.options, mInput, pError)) return false;
  const int lIndex = av_find_best_stream(mInput.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (lIndex < 0) return mInput.reset(), pError = pSource.name + " has no video stream", false;
  mStream = mInput->streams[lIndex];
  // Only the picture is read: every other stream's packets are dropped by the demuxer.
  for (unsigned i = 0; i < mInput->nb_streams; ++i)
    if (static_cast<int>(i) != lIndex) mInput->streams[i]->discard = AVDISCARD_ALL;
  ReadFacts(*mInput, *mStream, mFacts);
  const AVCodec* lDecoder = avcodec_find_decoder(mStream->codecpar->codec_id);
  if (!lDecoder)
    return mInput.reset(), pError = "cannot read " + pSource.name + ": no decoder for its pictures", false;
  mCodec.reset(avcodec_alloc_context3(lDecoder));
  int lStatus = avcodec_parameters_to_context(mCodec.get(), mStream->codecpar);
  if (lStatus >= 0) {
    mCodec->pkt_timebase = mStream->time_base;
    mCodec->thread_count = pSource.oneThread ? 1 : 0;  // 0: one per core
    if (pSource.frameThreads) mCodec->thread_type = FF_THREAD_FRAME;
    lStatus = avcodec_open2(mCodec.get(), lDecoder, nullptr);
  }
  if (lStatus < 0) {
    mCodec.reset();
    mInput.reset();
    return pError = "cannot read " + pSource.name + ": " + AvReason(lStatus), false;
  }
  mPacket.reset(av_packet_alloc());
  mDecoded.reset(av_frame_alloc());
  return true;
}

void PictureReader::SetOutput(const std::string& pChain, AVPixelFormat pFormat) {
  mChainText = pChain;
  mFormat = pFormat;
}

bool PictureReader::SeekTo(double pSeconds, std::string& pError) {
  const int64_t lStart = mStream->start_time != AV_NOPTS_VALUE ? mStream->start_time : 0;
  const int64_t lTarget =
      lStart + static_cast<int64_t>(pSeconds * mStream->time_base.den / mStream->time_base.num + 0.5);
  const int lStatus = av_seek_frame(mInput.get(), mStream->index, lTarget, AVSEEK_FLAG_BACKWARD);
  if (lStatus < 0) return pError = "cannot seek in " + mSource.name + ": " + AvReason(lStatus), false;
  avcodec_flush_buffers(mCodec.get());
  mInputEnded = mDecoderEnded = mChainEnded = false;
  mSkipBefore = lTarget;
  return true;
}

bool PictureReader::Decode(AvFramePtr& pFrame, bool& pEnded, std::string& pError) {
  pEnded = false;
  if (!pFrame) pFrame.reset(av_frame_alloc());
  for (;;) {
    if (mChain.Opened()) {
      const int lPulled = mChain.Pull(pFrame.get());
      if (lPulled >= 0) return true;
      if (lPulled == AVERROR_EOF) return pEnded = true, false;
      if (lPulled != AVERROR(EAGAIN))
        return pError = "cannot read " + mSource.name + ": " + AvReason(lPulled), false;
    }
    if (mChainEnded) return pEnded = true, false;
    int lStatus = mDecoderEnded ? AVERROR_EOF : avcodec_receive_frame(mCodec.get(), mDecoded.get());
    if (lStatus >= 0) {
      const int64_t lTime = mDecoded->best_effort_timestamp;
      if (mSkipBefore != AV_NOPTS_VALUE && lTime != AV_NOPTS_VALUE && lTime < mSkipBefore) {
        av_frame_unref(mDecoded.get());
        continue;
      }
      // A probe takes the frame as decoded, with no conversion.
      if (mFormat == AV_PIX_FMT_NONE) {
        av_frame_move_ref(pFrame.get(), mDecoded.get());
        return true;
      }
      // A plate of another size or layout than the one before gets a chain of its own.
      if (!mChain.Fits(*mDecoded) && !mChain.Open(*mDecoded, mStream->time_base, mChainText, mFormat, pError))
        return pError = "cannot read " + mSource.name + ": " + pError, false;
      const bool lPushed = mChain.Push(mDecoded.get(), pError);
      av_frame_unref(mDecoded.get());
      if (!lPushed) return pError = "cannot read " + mSource.name + ": " + pError, false;
      continue;
    }
    if (lStatus == AVERROR_EOF) {
      mDecoderEnded = true;
      if (!mChain.Opened()) return pEnded = true, false;
      mChainEnded = true;
      if (!mChain.Push(nullptr, pError)) return false;
      continue;
    }
    if (lStatus != AVERROR(EAGAIN)) {
      if (mSource.stopOnError) return pError = "cannot decode " + mSource.name + ": " + AvReason(lStatus), false;
      continue;
    }
    if (mInputEnded) return pError = "cannot decode " + mSource.name + ": the decoder stalled", false;
    lStatus = av_read_frame(mInput.get(), mPacket.get());
    if (lStatus == AVERROR_EOF) {
      mInputEnded = true;
      avcodec_send_packet(mCodec.get(), nullptr);
      continue;
    }
    if (lStatus < 0) {
      if (mSource.stopOnError) return pError = "cannot read " + mSource.name + ": " + AvReason(lStatus), false;
      mInputEnded = true;
      avcodec_send_packet(mCodec.get(), nullptr);
      continue;
    }
    if (mPacket->stream_index == mStream->index) {
      lStatus = avcodec_send_packet(mCodec.get(), mPacket.get());
      if (lStatus < 0 && lStatus != AVERROR(EAGAIN) && mSource.stopOnError) {
        av_packet_unref(mPacket.get());
        return pError = "cannot decode " + mSource.name + ": " + AvReason(lStatus), false;
      }
    }
    av_packet_unref(mPacket.get());
  }
}

bool PictureReader::Next(AvFramePtr& pFrame, bool& pEnded, std::string& pError) {
  if (!mCodec) return pEnded = true, false;
  return Decode(pFrame, pEnded, pError);
}

void PictureReader::StartAhead(int pDepth) {
  Stop();
  mDepth = pDepth > 0 ? pDepth : 1;
  mStopping = mDone = false;
  mMade = 0;
  mThread = std::thread(&PictureReader::Ahead, this);
}

void PictureReader::SetLimit(long long pTotal) {
  std::lock_guard<std::mutex> lLock(mMutex);
  mLimit = pTotal;
  mChanged.notify_all();
}

void PictureReader::Ahead() {
  QuietLibav();
  for (;;) {
    {
      std::unique_lock<std::mutex> lLock(mMutex);
      mChanged.wait(lLock, [this] {
        return mStopping || (static_cast<int>(mQueue.size()) < mDepth && (mLimit == 0 || mMade < mLimit));
      });
      if (mStopping) break;
    }
    Entry lEntry;
    const bool lRead = Next(lEntry.frame, lEntry.ended, lEntry.error);
    if (!lRead) lEntry.frame.reset();
    std::lock_guard<std::mutex> lLock(mMutex);
    mQueue.push_back(std::move(lEntry));
    ++mMade;
    mChanged.notify_all();
    if (!lRead) break;
  }
  std::lock_guard<std::mutex> lLock(mMutex);
  mDone = true;
  mChanged.notify_all();
}

bool PictureReader::Take(AvFramePtr& pFrame, bool& pEnded, std::string& pError) {
  std::unique_lock<std::mutex> lLock(mMutex);
  // A reader at its limit gives nothing more: that is its end.
  const auto lAtLimit = [this] { return mLimit != 0 && mMade >= mLimit; };
  mChanged.wait(lLock, [&] { return !mQueue.empty() || mDone || lAtLimit(); });
  if (mQueue.empty()) return pEnded = true, false;
  Entry lEntry = std::move(mQueue.front());
  mQueue.pop_front();
  mChanged.notify_all();
  lLock.unlock();
  pEnded = lEntry.ended;
  pError = lEntry.error;
  if (!lEntry.frame) return false;
  pFrame = std::move(lEntry.frame);
  return true;
}

void PictureReader::Stop() {
  {
    std::lock_guard<std::mutex> lLock(mMutex);
    mStopping = true;
    mChanged.notify_all();
  }
  if (mThread.joinable()) mThread.join();
  std::lock_guard<std::mutex> lLock(mMutex);
  mQueue.clear();
  mStopping = false;
  mDone = true;
}

}  // namespace vthud_tool
