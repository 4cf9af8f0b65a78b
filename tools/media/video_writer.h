#ifndef VTHUD_TOOLS_VIDEO_WRITER_H
#define VTHUD_TOOLS_VIDEO_WRITER_H
// Videos written in-process by FFmpeg's libraries: RGBA canvas frames turned
// to BT.709 YUV by the scaler, encoded (ProRes 4444 or H.264) and muxed into
// a .mov, an .mp4 or an MPEG-TS stream to udp:// or srt://.
#include <functional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/bsf.h>
}

#include "av_common.h"
#include "hdr_display.h"
#include "png_image.h"

namespace vthud_tool {

struct EncoderSettings {
  enum class Kind { ProRes, H264, Stream };
  Kind kind = Kind::H264;
  int fpsNumerator = 30, fpsDenominator = 1;
  std::string startTimecode;  // "HH:MM:SS:FF": a .mov's timecode track, an .mp4's tag
  // The colour tags: BT.709 primaries with pTransfer ("" for no primaries or
  // transfer, the matrix and range only).
  std::string transfer = "bt709";
  AvOptions tags;  // the container's own metadata
  // A stream that must keep up with a camera: x264's fastest preset.
  bool fastest = false;
  // Called with a frame's number (from 0) once its packet is handed to the output.
  std::function<void(long long)> handedOff;
  // An HDR display: frames come as 16-bit RGBA (Write16), are turned to YUV
  // by the BT.2020 matrix and tagged with the display's primaries and
  // transfer; a .mov stays ProRes 4444, the rest is HEVC Main 10 (libx265).
  HdrDisplay hdr;
  // Optional: x265's mastering display notation and "MAXCLL,MAXFALL", into
  // HEVC's SEI and the container's mdcv and clli (checked by the caller).
  std::string masteringDisplay, maxCll;
};

class VideoWriter {
 public:
  VideoWriter() = default;
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // Opens the encoder and the output pUrl (a file, or a stream's URL) and
  // writes its header; nothing is encoded before this succeeds. False with
  // "NAME: reason".
  bool Open(const std::string& pUrl, const EncoderSettings& pSettings, std::string& pError);
  bool Write(const vthost::Image& pImage, std::string& pError);
  // pRecord (opened as H.264, null for none) encodes the same converted
  // frames after this writer: one conversion for a stream and its recording.
  void Also(VideoWriter* pRecord) { mAlso = pRecord; }
  // A 1920 x 1080 16-bit RGBA frame, top row first, for an HDR display:
  // turned to YUV here rather than by the scaler (see video_writer.cpp).
  bool Write16(const uint16_t* pRgba, std::string& pError);
  // Drains the encoder and writes the trailer; the file is whole after it.
  bool Finish(std::string& pError);
  bool Opened() const { return mOutput != nullptr; }

 private:
  bool Drain(bool pFlush, std::string& pError);
  // Encodes one frame already in the encoder's format.
  bool Encode(AVFrame* pFrame, std::string& pError);
  // Sends mIn through the chain and the encoder.
  bool Encode(std::string& pError);
  void Release();

  std::string mUrl;
  AVFormatContext* mOutput = nullptr;
  AVStream* mStream = nullptr;
  AvCodecPtr mCodec;
  AVBSFContext* mFilter = nullptr;  // a bitstream filter after the encoder, or null
  FilterChain mChain;
  std::string mChainText;
  AVPixelFormat mFormat = AV_PIX_FMT_YUV420P;
  AvFramePtr mIn, mOut;
  AvPacketPtr mPacket;
  int64_t mNext = 0;
  bool mHeader = false;
  std::function<void(long long)> mHandedOff;
  VideoWriter* mAlso = nullptr;
  bool mHdr = false;
};

}  // namespace vthud_tool

#endif
