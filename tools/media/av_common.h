#ifndef VTHUD_TOOLS_AV_COMMON_H
#define VTHUD_TOOLS_AV_COMMON_H
// What every use of FFmpeg's libraries in the tool shares: owning pointers
// for their objects, their error codes as words, and their log kept quiet
// (the tool reports failures itself, in one line naming the file).
#include <memory>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

namespace vthud_tool {

struct AvFrameFree {
  void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct AvPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvCodecFree {
  void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct AvInputClose {
  void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct AvGraphFree {
  void operator()(AVFilterGraph* p) const { avfilter_graph_free(&p); }
};
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using AvCodecPtr = std::unique_ptr<AVCodecContext, AvCodecFree>;
using AvInputPtr = std::unique_ptr<AVFormatContext, AvInputClose>;
using AvGraphPtr = std::unique_ptr<AVFilterGraph, AvGraphFree>;

// The libraries' reason for pCode (av_strerror), with the last error they
// logged on this thread where it says more ("Invalid data found ...: no
// frame!").
std::string AvReason(int pCode);

// Sends the libraries' log to a per-thread last line instead of stderr. Safe
// to call more than once.
void QuietLibav();

using AvOptions = std::vector<std::pair<std::string, std::string>>;

// Opens pUrl for reading with demuxer pFormat (null: probed) and its options,
// and reads its streams' parameters. False with "cannot read NAME: reason".
bool OpenInput(const std::string& pUrl, const std::string& pName, const char* pFormat, const AvOptions& pOptions,
               AvInputPtr& pInput, std::string& pError, bool pFindInfo = true);

// The packets of pInput's first video stream, one a frame, read without
// decoding. False with "cannot read NAME: reason".
bool CountVideoPackets(AVFormatContext& pInput, const std::string& pName, long long& pFrames, std::string& pError);

// A filter chain between a buffer source of pIn's layout and a sink giving
// pFormat: pChain in FFmpeg's syntax ("" passes frames through). Scalers the
// chain adds itself use bicubic filtering, as ffmpeg's command line does.
class FilterChain {
 public:
  bool Open(const AVFrame& pIn, AVRational pTimeBase, const std::string& pChain, AVPixelFormat pFormat,
            std::string& pError);
  // True when a frame of pIn's layout needs a new chain (plates of a sequence may differ).
  bool Fits(const AVFrame& pIn) const;
  // Pushes pIn (null: the end) and pulls what comes out: false with EAGAIN
  // or the end in pStatus when nothing does.
  bool Push(AVFrame* pIn, std::string& pError);
  int Pull(AVFrame* pOut);
  bool Opened() const { return static_cast<bool>(mGraph); }

 private:
  AvGraphPtr mGraph;
  AVFilterContext* mSource = nullptr;
  AVFilterContext* mSink = nullptr;
  int mWidth = 0, mHeight = 0, mFormat = -1;
};

}  // namespace vthud_tool

#endif
