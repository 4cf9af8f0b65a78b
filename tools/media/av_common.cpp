#include "av_common.h"

#include <cstdio>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace vthud_tool {

namespace {

thread_local std::string tLastLog;

void KeepLastLine(void*, int pLevel, const char* pFormat, va_list pArguments) {
  if (pLevel > AV_LOG_ERROR) return;
  char lLine[512];
  vsnprintf(lLine, sizeof lLine, pFormat, pArguments);
  std::string lText(lLine);
  while (!lText.empty() && (lText.back() == '\n' || lText.back() == '\r' || lText.back() == ' ')) lText.pop_back();
  if (!lText.empty()) tLastLog = lText;
}

}  // namespace

void QuietLibav() {
  static std::once_flag sOnce;
  std::call_once(sOnce, [] { av_log_set_callback(KeepLastLine); });
}

std::string AvReason(int pCode) {
  char lText[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(pCode, lText, sizeof lText);
  std::string lReason(lText);
  if (!tLastLog.empty() && tLastLog != lReason) lReason += " (" + tLastLog + ")";
  tLastLog.clear();
  return lReason;
}

bool OpenInput(const std::string& pUrl, const std::string& pName, const char* pFormat, const AvOptions& pOptions,
               AvInputPtr& pInput, std::string& pError, bool pFindInfo) {
  QuietLibav();
  pInput.reset();
  AVDictionary* lOptions = nullptr;
  for (const auto& lOption : pOptions) av_dict_set(&lOptions, lOption.first.c_str(), lOption.second.c_str(), 0);
  const AVInputFormat* lFormat = pFormat ? av_find_input_format(pFormat) : nullptr;
  AVFormatContext* lContext = nullptr;
  int lStatus = avformat_open_input(&lContext, pUrl.c_str(), lFormat, &lOptions);
  av_dict_free(&lOptions);
  if (lStatus < 0) return pError = "cannot read " + pName + ": " + AvReason(lStatus), false;
  pInput.reset(lContext);
  if (pFindInfo && (lStatus = avformat_find_stream_info(lContext, nullptr)) < 0) {
    pInput.reset();
    return pError = "cannot read " + pName + ": " + AvReason(lStatus), false;
  }
  return true;
}

bool CountVideoPackets(AVFormatContext& pInput, const std::string& pName, long long& pFrames,
                       std::string& pError) {
  const int lVideo = av_find_best_stream(&pInput, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (lVideo < 0) return pError = pName + " has no video stream", false;
  AvPacketPtr lPacket(av_packet_alloc());
  pFrames = 0;
  for (;;) {
    const int lStatus = av_read_frame(&pInput, lPacket.get());
    if (lStatus == AVERROR_EOF) return true;
    if (lStatus < 0) return pError = "cannot read " + pName + ": " + AvReason(lStatus), false;
    if (lPacket->stream_index == lVideo) ++pFrames;
    av_packet_unref(lPacket.get());
  }
}

bool FilterChain::Fits(const AVFrame& pIn) const {
  return mGraph && pIn.width == mWidth && pIn.height == mHeight && pIn.format == mFormat;
}

bool FilterChain::Open(const AVFrame& pIn, AVRational pTimeBase, const std::string& pChain, AVPixelFormat pFormat,
                       std::string& pError) {
  mGraph.reset(avfilter_graph_alloc());
  mSource = mSink = nullptr;
  if (!mGraph) return pError = "out of memory for a filter graph", false;
  // The filters run on the calling thread: decoding and drawing already keep the cores busy.
  mGraph->nb_threads = 1;
  av_opt_set(mGraph.get(), "scale_sws_opts", "flags=bicubic", 0);
  const AVRational lAspect = pIn.sample_aspect_ratio.num > 0 ? pIn.sample_aspect_ratio : AVRational{1, 1};
  char lArguments[256];
  snprintf(lArguments, sizeof lArguments, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
           pIn.width, pIn.height, pIn.format, pTimeBase.num, pTimeBase.den, lAspect.num, lAspect.den);
  int lStatus = avfilter_graph_create_filter(&mSource, avfilter_get_by_name("buffer"), "in", lArguments, nullptr,
                                             mGraph.get());
  if (lStatus >= 0)
    lStatus = avfilter_graph_create_filter(&mSink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                           mGraph.get());
  const enum AVPixelFormat lFormats[] = {pFormat, AV_PIX_FMT_NONE};
  if (lStatus >= 0)
    lStatus = av_opt_set_int_list(mSink, "pix_fmts", lFormats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
  if (lStatus >= 0) {
    // The chain, then the format asked for (a no-op when the chain ends in it).
    const std::string lChain =
        (pChain.empty() ? std::string() : pChain + ",") + "format=" + av_get_pix_fmt_name(pFormat);
    AVFilterInOut* lOutputs = avfilter_inout_alloc();
    AVFilterInOut* lInputs = avfilter_inout_alloc();
    lOutputs->name = av_strdup("in");
    lOutputs->filter_ctx = mSource;
    lInputs->name = av_strdup("out");
    lInputs->filter_ctx = mSink;
    lStatus = avfilter_graph_parse_ptr(mGraph.get(), lChain.c_str(), &lInputs, &lOutputs, nullptr);
    avfilter_inout_free(&lInputs);
    avfilter_inout_free(&lOutputs);
  }
  if (lStatus >= 0) lStatus = avfilter_graph_config(mGraph.get(), nullptr);
  if (lStatus < 0) {
    mGraph.reset();
    return pError = "cannot set up the filters '" + pChain + "': " + AvReason(lStatus), false;
  }
  mWidth = pIn.width;
  mHeight = pIn.height;
  mFormat = pIn.format;
  return true;
}

bool FilterChain::Push(AVFrame* pIn, std::string& pError) {
  const int lStatus = av_buffersrc_add_frame_flags(mSource, pIn, AV_BUFFERSRC_FLAG_KEEP_REF);
  if (lStatus < 0) return pError = "filtering failed: " + AvReason(lStatus), false;
  return true;
}

int FilterChain::Pull(AVFrame* pOut) { return av_buffersink_get_frame(mSink, pOut); }

}  // namespace vthud_tool
