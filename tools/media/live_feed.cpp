#include "live_feed.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cmath>

namespace vthud_tool {

namespace {

long long Ticks(FeedClock::time_point pTime) { return pTime.time_since_epoch().count(); }

double Milliseconds(FeedClock::duration pTime) { return std::chrono::duration<double, std::milli>(pTime).count(); }

// Between tries to reach a sender that went away.
const auto kRetry = std::chrono::milliseconds(250);

}  // namespace

bool IsFeedUrl(const std::string& pText) {
  return pText.compare(0, 6, "srt://") == 0 || pText.compare(0, 6, "udp://") == 0;
}

std::string FeedUrlProblem(const std::string& pUrl) {
  const std::string lShape = "'" + pUrl + "' is not " + pUrl.substr(0, 3) + "://[HOST]:PORT[?OPTIONS]";
  const QUrl lUrl(QString::fromStdString(pUrl), QUrl::StrictMode);
  if (!lUrl.isValid() || !lUrl.path().isEmpty() || !lUrl.userInfo().isEmpty() || lUrl.hasFragment()) return lShape;
  const int lPort = lUrl.port(0);
  if (lPort < 1 || lPort > 65535) return lShape + ": it names no port";
  if (pUrl.compare(0, 6, "srt://") == 0) {
    const QString lMode = QUrlQuery(lUrl).queryItemValue(QStringLiteral("mode"));
    if (!lMode.isEmpty() && lMode != "caller" && lMode != "listener" && lMode != "rendezvous")
      return "'" + pUrl + "': mode expects caller, listener or rendezvous, got '" + lMode.toStdString() + "'";
    if (lUrl.host().isEmpty() && (lMode.isEmpty() || lMode == "caller"))
      return "'" + pUrl + "' calls a sender but names no host (add ?mode=listener to wait for one)";
  }
  return std::string();
}

bool FeedCalls(const std::string& pUrl) {
  if (pUrl.compare(0, 6, "srt://") != 0) return false;
  const QString lMode = QUrlQuery(QUrl(QString::fromStdString(pUrl))).queryItemValue(QStringLiteral("mode"));
  return lMode.isEmpty() || lMode == "caller";
}

double Quantile(std::vector<double> pValues, double pFraction) {
  if (pValues.empty()) return 0;
  std::sort(pValues.begin(), pValues.end());
  const size_t lRank = static_cast<size_t>(std::ceil(pFraction * static_cast<double>(pValues.size())));
  return pValues[std::min(pValues.size() - 1, lRank > 0 ? lRank - 1 : 0)];
}

LiveFeed::~LiveFeed() { Stop(); }

int LiveFeed::Interrupted(void* pFeed) {
  const LiveFeed& lFeed = *static_cast<const LiveFeed*>(pFeed);
  const long long lDeadline = lFeed.mDeadline;
  return lFeed.mStop || (lDeadline != 0 && Ticks(FeedClock::now()) > lDeadline) ||
         (lFeed.mStopCheck && lFeed.mStopCheck());
}

bool LiveFeed::OpenInput(std::string& pError) {
  QuietLibav();
  mInput.reset();
  mCodec.reset();
  AVFormatContext* lContext = avformat_alloc_context();
  if (!lContext) return pError = "out of memory", false;
  // Stop() and a caller's wait end a blocking open or read.
  lContext->interrupt_callback = AVIOInterruptCB{&LiveFeed::Interrupted, this};
  // Small probing: the first parameter sets and keyframe are enough to know the stream.
  lContext->probesize = 2 << 20;
  lContext->max_analyze_duration = AV_TIME_BASE / 2;
  AVDictionary* lOptions = nullptr;
  // A plain UDP feed read through a roomy buffer that survives a stall of the
  // draws instead of failing the read.
  av_dict_set(&lOptions, "overrun_nonfatal", "1", 0);
  av_dict_set(&lOptions, "buffer_size", "4194304", 0);
  int lStatus = avformat_open_input(&lContext, mUrl.c_str(), av_find_input_format("mpegts"), &lOptions);
  av_dict_free(&lOptions);
  if (lStatus < 0) return pError = AvReason(lStatus), false;
  mInput.reset(lContext);
  if ((lStatus = avformat_find_stream_info(lContext, nullptr)) < 0) return pError = AvReason(lStatus), false;
  mVideo = av_find_best_stream(lContext, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (mVideo < 0) return pError = "the feed holds no video stream", false;
  for (unsigned i = 0; i < lContext->nb_streams; ++i)
    if (static_cast<int>(i) != mVideo) lContext->streams[i]->discard = AVDISCARD_ALL;
  const AVStream& lStream = *lContext->streams[mVideo];
  const AVCodec* lDecoder = avcodec_find_decoder(lStream.codecpar->codec_id);
  if (!lDecoder) return pError = "no decoder for its pictures", false;
  mCodec.reset(avcodec_alloc_context3(lDecoder));
  lStatus = avcodec_parameters_to_context(mCodec.get(), lStream.codecpar);
  if (lStatus >= 0) {
    mCodec->pkt_timebase = lStream.time_base;
    // Slices in parallel, never frames: frame threads hold a frame back per thread.
    mCodec->thread_count = 0;
    mCodec->thread_type = FF_THREAD_SLICE;
    mCodec->flags |= AV_CODEC_FLAG_LOW_DELAY;
    lStatus = avcodec_open2(mCodec.get(), lDecoder, nullptr);
  }
  if (lStatus < 0) return mCodec.reset(), pError = AvReason(lStatus), false;
  mFacts = StreamFacts();
  mFacts.width = lStream.codecpar->width;
  mFacts.height = lStream.codecpar->height;
  mFacts.rate = lStream.r_frame_rate.num > 0 ? lStream.r_frame_rate : lStream.avg_frame_rate;
  const char* lSpace = av_color_space_name(lStream.codecpar->color_space);
  const char* lRange = av_color_range_name(lStream.codecpar->color_range);
  mFacts.colorSpace = lSpace && std::string(lSpace) != "unknown" ? lSpace : "";
  mFacts.colorRange = lRange && std::string(lRange) != "unknown" ? lRange : "";
  return true;
}

bool LiveFeed::Open(const std::string& pUrl, std::string& pError, FeedClock::duration pCallerWait) {
  Stop();
  mUrl = pUrl;
  mStop = false;
  mDeadline = FeedCalls(pUrl) ? Ticks(FeedClock::now() + pCallerWait) : 0;
  std::string lWhy;
  bool lOpened = OpenInput(lWhy);
  // A caller turned away (nobody listening yet) tries again until its wait is over.
  const auto Stopped = [this] { return mStopCheck && mStopCheck(); };
  while (!lOpened && !Stopped() && mDeadline != 0 && Ticks(FeedClock::now() + kRetry) < mDeadline) {
    std::this_thread::sleep_for(kRetry);
    lOpened = OpenInput(lWhy);
  }
  const bool lTimedOut = mDeadline != 0 && Ticks(FeedClock::now() + kRetry) >= mDeadline;
  mDeadline = 0;
  if (lOpened) return mDecoded.reset(av_frame_alloc()), true;
  mInput.reset();
  mCodec.reset();
  if (Stopped())
    pError = "--background " + pUrl + ": stopped while waiting for the feed";
  else if (lTimedOut)
    pError = "--background " + pUrl + ": no feed within " +
             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(pCallerWait).count()) + " s";
  else
    pError = "--background " + pUrl + ": " + lWhy;
  return false;
}

void LiveFeed::Start(std::function<void(const std::string&)> pWarn) {
  if (!mInput || mThread.joinable()) return;
  mWarn = std::move(pWarn);
  mThread = std::thread(&LiveFeed::Loop, this);
}

bool LiveFeed::Decode(AVPacket* pPacket, FeedClock::time_point pArrival) {
  if (avcodec_send_packet(mCodec.get(), pPacket) < 0) return true;  // a broken packet: the next keyframe mends it
  for (;;) {
    if (avcodec_receive_frame(mCodec.get(), mDecoded.get()) < 0) return true;
    FeedPicture lPicture;
    lPicture.arrival = pArrival;
    lPicture.timecode = FrameTimecode(*mDecoded, mFacts.rate);
    std::string lWhy;
    // A sender that comes back at another size gets a chain of its own.
    if (!mFilter.Fits(*mDecoded) &&
        !mFilter.Open(*mDecoded, mInput->streams[mVideo]->time_base, mChain, AV_PIX_FMT_RGBA, lWhy)) {
      av_frame_unref(mDecoded.get());
      if (mWarn) mWarn("--background " + mUrl + ": " + lWhy);
      return false;
    }
    const bool lPushed = mFilter.Push(mDecoded.get(), lWhy);
    av_frame_unref(mDecoded.get());
    if (!lPushed) return false;
    lPicture.frame.reset(av_frame_alloc());
    while (mFilter.Pull(lPicture.frame.get()) >= 0) {
      std::lock_guard<std::mutex> lLock(mMutex);
      if (mTaking) {
        ++mCounts.in;
        if (mHasWaiting) ++mCounts.dropped;
      }
      mWaiting = std::move(lPicture);
      mHasWaiting = true;
      mReady.notify_all();
      lPicture.frame.reset(av_frame_alloc());
      lPicture.arrival = pArrival;
    }
  }
}

void LiveFeed::Loop() {
  QuietLibav();
  AvPacketPtr lPacket(av_packet_alloc());
  while (!mStop) {
    if (!mInput) {
      // The sender went away: listen, or call, again until it is back or the run ends.
      std::string lIgnored;
      if (!OpenInput(lIgnored)) {
        mInput.reset();
        for (auto lUntil = FeedClock::now() + kRetry; !mStop && FeedClock::now() < lUntil;)
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      std::lock_guard<std::mutex> lLock(mMutex);
      ++mCounts.reopened;
    }
    const int lStatus = av_read_frame(mInput.get(), lPacket.get());
    const FeedClock::time_point lArrival = FeedClock::now();
    if (lStatus == AVERROR(EAGAIN)) continue;
    if (lStatus < 0) {
      // The end of a stream or a broken connection: the decoder's last frames go, then the input.
      mInput.reset();
      mCodec.reset();
      continue;
    }
    const bool lOk = lPacket->stream_index != mVideo || Decode(lPacket.get(), lArrival);
    av_packet_unref(lPacket.get());
    if (!lOk) break;
  }
  mInput.reset();
  mCodec.reset();
}

bool LiveFeed::Take(FeedPicture& pPicture, FeedClock::duration pWait) {
  std::unique_lock<std::mutex> lLock(mMutex);
  if (!mTaking) {
    // What came before the first draw asked is not the run's: only the newest is kept.
    mTaking = true;
    mCounts = FeedCounts();
    if (mHasWaiting) mCounts.in = 1;
  }
  if (!mReady.wait_for(lLock, pWait, [this] { return mHasWaiting; })) return false;
  pPicture = std::move(mWaiting);
  mHasWaiting = false;
  return true;
}

FeedCounts LiveFeed::Counts() const {
  std::lock_guard<std::mutex> lLock(mMutex);
  return mCounts;
}

void LiveFeed::Stop() {
  mStop = true;
  if (mThread.joinable()) mThread.join();
  mInput.reset();
  mCodec.reset();
  std::lock_guard<std::mutex> lLock(mMutex);
  mWaiting = FeedPicture();
  mHasWaiting = false;
}

void FeedBook::Drawn(long long pDraw, FeedClock::time_point pArrival) {
  std::lock_guard<std::mutex> lLock(mMutex);
  mArrivals[pDraw] = pArrival;
}

void FeedBook::HandedOff(long long pDraw) {
  const FeedClock::time_point lNow = FeedClock::now();
  std::lock_guard<std::mutex> lLock(mMutex);
  const auto lFound = mArrivals.find(pDraw);
  if (lFound == mArrivals.end()) return;  // a held draw, whose picture was counted before
  mLatencyMs.push_back(Milliseconds(lNow - lFound->second));
  mArrivals.erase(mArrivals.begin(), std::next(lFound));
}

std::vector<double> FeedBook::LatencyMs() const {
  std::lock_guard<std::mutex> lLock(mMutex);
  return mLatencyMs;
}

}  // namespace vthud_tool
