#include "video_writer.h"

#include "canvas.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/opt.h>
}

namespace vthud_tool {

namespace {

// The scaler's BT.709 in limited range, as players read HD (FFmpeg's own
// default matrix is BT.601).
const char* const kToVideo = "scale=out_color_matrix=bt709:out_range=tv";
// HDR frames are turned to YUV here, by BT.2020's non-constant-luminance
// matrix in limited range: the scaler reaches 10 bits through 16-bit values
// that span 16 to 235 times 257, which puts PQ's graphics white 2 codes high.
const double kKr = 0.2627, kKb = 0.0593, kKg = 1.0 - kKr - kKb;

uint16_t Code(double pValue, double pOffset, double pScale, int pMax) {
  return static_cast<uint16_t>(std::min<long>(pMax, std::max<long>(0, std::lround(pOffset + pScale * pValue))));
}

// 16-bit RGBA (top row first) into pFrame: 10-bit YUV 4:4:4 with alpha
// (ProRes 4444) or 4:2:0, chroma the mean of each 2 x 2 block.
void ToHdrYuv(const uint16_t* pRgba, AVFrame& pFrame) {
  const int w = pFrame.width, h = pFrame.height;
  const bool l444 = pFrame.format == AV_PIX_FMT_YUVA444P10LE;
  auto lPlane = [&](int p, int x, int y) {
    return reinterpret_cast<uint16_t*>(pFrame.data[p] + static_cast<ptrdiff_t>(y) * pFrame.linesize[p]) + x;
  };
  for (int y = 0; y < h; ++y) {
    const uint16_t* lRow = pRgba + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x) {
      const uint16_t* p = lRow + x * 4;
      const double r = p[0] / 65535.0, g = p[1] / 65535.0, b = p[2] / 65535.0;
      const double lY = kKr * r + kKg * g + kKb * b;
      *lPlane(0, x, y) = Code(lY, 64.0, 876.0, 1023);
      if (!l444) continue;
      *lPlane(1, x, y) = Code((b - lY) / (2.0 * (1.0 - kKb)), 512.0, 896.0, 1023);
      *lPlane(2, x, y) = Code((r - lY) / (2.0 * (1.0 - kKr)), 512.0, 896.0, 1023);
      *lPlane(3, x, y) = Code(p[3] / 65535.0, 0.0, 1023.0, 1023);
    }
  }
  if (l444) return;
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) {
      double r = 0, g = 0, b = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const uint16_t* p = pRgba + (static_cast<size_t>(2 * y + dy) * w + 2 * x + dx) * 4;
          r += p[0] / 4.0 / 65535.0, g += p[1] / 4.0 / 65535.0, b += p[2] / 4.0 / 65535.0;
        }
      const double lY = kKr * r + kKg * g + kKb * b;
      *lPlane(1, x, y) = Code((b - lY) / (2.0 * (1.0 - kKb)), 512.0, 896.0, 1023);
      *lPlane(2, x, y) = Code((r - lY) / (2.0 * (1.0 - kKr)), 512.0, 896.0, 1023);
    }
}

AVColorTransferCharacteristic Transfer(const std::string& pName) {
  return pName == "iec61966-2-1" ? AVCOL_TRC_IEC61966_2_1 : AVCOL_TRC_BT709;
}

void NoFree(void*, uint8_t*) {}

// x265's own parameters for the mastering display and light levels: its SEI.
std::string X265Params(const EncoderSettings& pSettings) {
  std::string lParams;
  if (!pSettings.masteringDisplay.empty()) lParams += "master-display=" + pSettings.masteringDisplay + ":";
  if (!pSettings.maxCll.empty()) lParams += "max-cll=" + pSettings.maxCll + ":";
  if (!lParams.empty()) lParams += "hdr10=1:";
  return lParams + "log-level=error";
}

// The same for the container (mdcv and clli): side data of the stream.
bool AddHdrSideData(AVStream& pStream, const EncoderSettings& pSettings) {
  std::string lWhy;
  MasteringDisplay lMastering;
  if (ParseMasteringDisplay(pSettings.masteringDisplay, lMastering, lWhy)) {
    auto* lData = reinterpret_cast<AVMasteringDisplayMetadata*>(av_stream_new_side_data(
        &pStream, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, sizeof(AVMasteringDisplayMetadata)));
    if (!lData) return false;
    memset(lData, 0, sizeof *lData);
    const int* lXy[3] = {lMastering.red, lMastering.green, lMastering.blue};
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 2; ++i) lData->display_primaries[c][i] = AVRational{lXy[c][i], 50000};
    for (int i = 0; i < 2; ++i) lData->white_point[i] = AVRational{lMastering.white[i], 50000};
    lData->max_luminance = AVRational{static_cast<int>(lMastering.maxLuminance), 10000};
    lData->min_luminance = AVRational{static_cast<int>(lMastering.minLuminance), 10000};
    lData->has_primaries = lData->has_luminance = 1;
  }
  int lMaxCll = 0, lMaxFall = 0;
  if (ParseMaxCll(pSettings.maxCll, lMaxCll, lMaxFall, lWhy)) {
    auto* lData = reinterpret_cast<AVContentLightMetadata*>(
        av_stream_new_side_data(&pStream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, sizeof(AVContentLightMetadata)));
    if (!lData) return false;
    lData->MaxCLL = static_cast<unsigned>(lMaxCll);
    lData->MaxFALL = static_cast<unsigned>(lMaxFall);
  }
  return true;
}

}  // namespace

VideoWriter::~VideoWriter() { Release(); }

void VideoWriter::Release() {
  if (mOutput) {
    if (!(mOutput->oformat->flags & AVFMT_NOFILE)) avio_closep(&mOutput->pb);
    avformat_free_context(mOutput);
  }
  mOutput = nullptr;
  mStream = nullptr;
  av_bsf_free(&mFilter);
  mCodec.reset();
  mHeader = false;
}

bool VideoWriter::Open(const std::string& pUrl, const EncoderSettings& pSettings, std::string& pError) {
  QuietLibav();
  Release();
  mUrl = pUrl;
  mNext = 0;
  mHandedOff = pSettings.handedOff;
  const bool lProRes = pSettings.kind == EncoderSettings::Kind::ProRes;
  const bool lStream = pSettings.kind == EncoderSettings::Kind::Stream;
  mHdr = pSettings.hdr.Hdr();
  const bool lHevc = mHdr && !lProRes;
  int lStatus = avformat_alloc_output_context2(&mOutput, nullptr, lStream ? "mpegts" : nullptr, pUrl.c_str());
  if (lStatus < 0 || !mOutput) return pError = pUrl + ": " + AvReason(lStatus), false;
  const AVCodec* lEncoder = avcodec_find_encoder_by_name(lProRes ? "prores_aw" : lHevc ? "libx265" : "libx264");
  if (!lEncoder)
    return Release(),
           pError = pUrl + ": FFmpeg has no " +
                    (lProRes ? "ProRes"
                     : lHevc ? "HEVC (libx265)"
                             : "H.264") +
                    " encoder",
           false;
  mCodec.reset(avcodec_alloc_context3(lEncoder));
  AVCodecContext& c = *mCodec;
  const AVRational lRate{pSettings.fpsNumerator, pSettings.fpsDenominator};
  c.width = kCanvasWidth;
  c.height = kCanvasHeight;
  c.time_base = av_inv_q(lRate);
  c.framerate = lRate;
  c.thread_count = 0;
  // BT.709 in limited range, tagged in the stream and in the container. An
  // sRGB display keeps the BT.709 primaries with the sRGB transfer; an
  // untagged one keeps only the matrix and range the YUV needs to be read back.
  c.colorspace = AVCOL_SPC_BT709;
  c.color_range = AVCOL_RANGE_MPEG;
  const bool lTagged = !pSettings.transfer.empty();
  if (lTagged) {
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = Transfer(pSettings.transfer);
  }
  if (mHdr) {
    c.colorspace = AVCOL_SPC_BT2020_NCL;
    c.color_primaries = pSettings.hdr.primaries == HdrPrimaries::P3D65 ? AVCOL_PRI_SMPTE432 : AVCOL_PRI_BT2020;
    c.color_trc = pSettings.hdr.transfer == HdrTransfer::Hlg ? AVCOL_TRC_ARIB_STD_B67 : AVCOL_TRC_SMPTE2084;
  }
  AVDictionary* lOptions = nullptr;
  if (lProRes) {
    // ProRes 4444 (ap4h) with its alpha: prores_aw encodes it a few times
    // faster than prores_ks, but leaves the frame headers' colour fields
    // unset, so a bitstream filter writes them.
    mFormat = AV_PIX_FMT_YUVA444P10LE;
    av_dict_set(&lOptions, "profile", "4", 0);
  } else {
    // HEVC Main 10 for HDR: 8 bits band in PQ and HLG.
    mFormat = lHevc ? AV_PIX_FMT_YUV420P10LE : AV_PIX_FMT_YUV420P;
    if (lHevc) av_dict_set(&lOptions, "x265-params", X265Params(pSettings).c_str(), 0);
    av_dict_set(&lOptions, "preset", pSettings.fastest ? "ultrafast" : "veryfast", 0);
    if (lStream) {
      // For a monitor: no frames held back by the encoder, and a keyframe every
      // half second so that a player joining the stream shows a picture soon.
      av_dict_set(&lOptions, "tune", "zerolatency", 0);
      c.gop_size = std::max(1, pSettings.fpsNumerator / pSettings.fpsDenominator / 2);
    } else {
      // A keyframe a second: with fragments at keyframes, at most a second is
      // lost should the encoder die.
      av_dict_set(&lOptions, "crf", "18", 0);
      c.gop_size = pSettings.fpsNumerator / pSettings.fpsDenominator;
    }
  }
  c.pix_fmt = mFormat;
  if (mOutput->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  lStatus = avcodec_open2(&c, lEncoder, &lOptions);
  av_dict_free(&lOptions);
  if (lStatus < 0) return Release(), pError = pUrl + ": cannot open the encoder: " + AvReason(lStatus), false;
  mStream = avformat_new_stream(mOutput, nullptr);
  if (!mStream) return Release(), pError = pUrl + ": out of memory", false;
  lStatus = avcodec_parameters_from_context(mStream->codecpar, &c);
  // hvc1: the parameter sets in the sample entry, as Apple's players require.
  if (lHevc && !lStream) mStream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
  if (lStatus >= 0 && lHevc && !AddHdrSideData(*mStream, pSettings)) lStatus = AVERROR(ENOMEM);
  if (lStatus >= 0 && lProRes) {
    // ProRes headers have no code for the sRGB transfer: the container's tag carries it.
    lStatus = av_bsf_alloc(av_bsf_get_by_name("prores_metadata"), &mFilter);
    if (lStatus >= 0) {
      av_opt_set(mFilter->priv_data, "colorspace", mHdr ? "bt2020nc" : "bt709", 0);
      if (mHdr) {
        av_opt_set(mFilter->priv_data, "color_primaries",
                   pSettings.hdr.primaries == HdrPrimaries::P3D65 ? "smpte432" : "bt2020", 0);
        av_opt_set(mFilter->priv_data, "color_trc",
                   pSettings.hdr.transfer == HdrTransfer::Hlg ? "arib-std-b67" : "smpte2084", 0);
      } else if (lTagged) {
        av_opt_set(mFilter->priv_data, "color_primaries", "bt709", 0);
        av_opt_set(mFilter->priv_data, "color_trc", pSettings.transfer == "bt709" ? "bt709" : "unknown", 0);
      }
      lStatus = avcodec_parameters_copy(mFilter->par_in, mStream->codecpar);
    }
    if (lStatus >= 0) {
      mFilter->time_base_in = c.time_base;
      lStatus = av_bsf_init(mFilter);
    }
    if (lStatus >= 0) lStatus = avcodec_parameters_copy(mStream->codecpar, mFilter->par_out);
  }
  if (lStatus < 0) return Release(), pError = pUrl + ": " + AvReason(lStatus), false;
  mStream->time_base = c.time_base;
  mStream->avg_frame_rate = lRate;
  av_dict_set(&mOutput->metadata, "encoder", LIBAVFORMAT_IDENT, 0);
  av_dict_set(&mStream->metadata, "encoder", (std::string(LIBAVCODEC_IDENT " ") + lEncoder->name).c_str(), 0);
  if (!pSettings.startTimecode.empty())
    av_dict_set(&mOutput->metadata, "timecode", pSettings.startTimecode.c_str(), 0);
  for (const auto& lTag : pSettings.tags)
    av_dict_set(&mOutput->metadata, lTag.first.c_str(), lTag.second.c_str(), 0);
  AVDictionary* lMux = nullptr;
  // A frame's last bytes go out with it, not with the next frame's first.
  if (lStream) mOutput->flush_packets = 1;
  if (!lStream)
    // Fragmented: what was encoded plays even if the tool is killed. Tags of
    // our own need the container's free-form metadata.
    av_dict_set(
        &lMux, "movflags",
        pSettings.tags.empty() ? "+frag_keyframe+empty_moov" : "+frag_keyframe+empty_moov+use_metadata_tags", 0);
  if (!(mOutput->oformat->flags & AVFMT_NOFILE) &&
      (lStatus = avio_open2(&mOutput->pb, pUrl.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr)) < 0) {
    av_dict_free(&lMux);
    return Release(), pError = pUrl + ": " + AvReason(lStatus), false;
  }
  lStatus = avformat_write_header(mOutput, &lMux);
  av_dict_free(&lMux);
  if (lStatus < 0) return Release(), pError = pUrl + ": " + AvReason(lStatus), false;
  mHeader = true;
  mIn.reset(av_frame_alloc());
  mOut.reset(av_frame_alloc());
  mPacket.reset(av_packet_alloc());
  return true;
}

bool VideoWriter::Write(const vthost::Image& pImage, std::string& pError) {
  if (!mHeader) return pError = mUrl + ": not open", false;
  if (pImage.width != kCanvasWidth || pImage.height != kCanvasHeight ||
      pImage.rgba.size() < size_t(kCanvasWidth) * kCanvasHeight * 4)
    return pError = mUrl + ": a frame of another size than 1920 x 1080", false;
  // The canvas as it lies, wrapped without a copy: the chain's scaler reads
  // it into a frame of its own before Push returns its output.
  AVFrame& lIn = *mIn;
  av_frame_unref(&lIn);
  lIn.width = kCanvasWidth;
  lIn.height = kCanvasHeight;
  lIn.format = AV_PIX_FMT_RGBA;
  const int lRow = kCanvasWidth * 4;
  uint8_t* lData = const_cast<uint8_t*>(pImage.rgba.data());
  lIn.buf[0] = av_buffer_create(lData, pImage.rgba.size(), NoFree, nullptr, AV_BUFFER_FLAG_READONLY);
  if (!lIn.buf[0]) return pError = mUrl + ": out of memory", false;
  lIn.data[0] = pImage.bottomUp ? lData + static_cast<size_t>(kCanvasHeight - 1) * lRow : lData;
  lIn.linesize[0] = pImage.bottomUp ? -lRow : lRow;
  lIn.pts = mNext++;
  return Encode(pError);
}

bool VideoWriter::Write16(const uint16_t* pRgba, std::string& pError) {
  if (!mHeader) return pError = mUrl + ": not open", false;
  // One frame kept from frame to frame; made writable again (copied) only
  // while the encoder still holds the last one.
  AVFrame& lFrame = *mIn;
  int lStatus = 0;
  if (!lFrame.buf[0]) {
    lFrame.format = mFormat;
    lFrame.width = kCanvasWidth;
    lFrame.height = kCanvasHeight;
    lStatus = av_frame_get_buffer(&lFrame, 0);
  } else {
    lStatus = av_frame_make_writable(&lFrame);
  }
  if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
  ToHdrYuv(pRgba, lFrame);
  lFrame.pts = mNext++;
  lFrame.pict_type = AV_PICTURE_TYPE_NONE;
  lStatus = avcodec_send_frame(mCodec.get(), &lFrame);
  if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
  return Drain(false, pError);
}

bool VideoWriter::Encode(std::string& pError) {
  AVFrame& lIn = *mIn;
  if (!mChain.Opened() && !mChain.Open(lIn, mCodec->time_base, kToVideo, mFormat, pError))
    return pError = mUrl + ": " + pError, false;
  const bool lPushed = mChain.Push(&lIn, pError);
  av_frame_unref(&lIn);
  if (!lPushed) return pError = mUrl + ": " + pError, false;
  for (;;) {
    int lStatus = mChain.Pull(mOut.get());
    if (lStatus == AVERROR(EAGAIN) || lStatus == AVERROR_EOF) return true;
    if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
    bool lEncoded = Encode(mOut.get(), pError);
    if (lEncoded && mAlso) {
      // The recording counts its own frames (it may have been opened later).
      mOut->pts = mAlso->mNext++;
      lEncoded = mAlso->Encode(mOut.get(), pError);
    }
    av_frame_unref(mOut.get());
    if (!lEncoded) return false;
  }
}

bool VideoWriter::Encode(AVFrame* pFrame, std::string& pError) {
  if (!mHeader) return pError = mUrl + ": not open", false;
  pFrame->pict_type = AV_PICTURE_TYPE_NONE;
  const int lStatus = avcodec_send_frame(mCodec.get(), pFrame);
  if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
  return Drain(false, pError);
}

bool VideoWriter::Drain(bool pFlush, std::string& pError) {
  for (;;) {
    int lStatus = avcodec_receive_packet(mCodec.get(), mPacket.get());
    if (lStatus == AVERROR(EAGAIN) || lStatus == AVERROR_EOF) {
      if (!mFilter || !pFlush) return true;
      // The end of the encoder is the end of the filter.
      lStatus = av_bsf_send_packet(mFilter, nullptr);
    } else if (lStatus < 0) {
      return pError = mUrl + ": " + AvReason(lStatus), false;
    } else if (mFilter) {
      lStatus = av_bsf_send_packet(mFilter, mPacket.get());
    }
    if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
    bool lFromFilter = mFilter != nullptr;
    for (;;) {
      if (lFromFilter) {
        lStatus = av_bsf_receive_packet(mFilter, mPacket.get());
        if (lStatus == AVERROR(EAGAIN)) break;
        if (lStatus == AVERROR_EOF) return true;
        if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
      }
      const int64_t lNumber = mPacket->pts;
      av_packet_rescale_ts(mPacket.get(), mCodec->time_base, mStream->time_base);
      mPacket->stream_index = mStream->index;
      lStatus = av_interleaved_write_frame(mOutput, mPacket.get());
      if (lStatus < 0) return pError = mUrl + ": " + AvReason(lStatus), false;
      if (mHandedOff && lNumber != AV_NOPTS_VALUE) mHandedOff(lNumber);
      if (!lFromFilter) break;
    }
  }
}

bool VideoWriter::Finish(std::string& pError) {
  if (!mHeader) return Release(), true;
  bool lWhole = true;
  int lStatus = avcodec_send_frame(mCodec.get(), nullptr);
  if (lStatus < 0 && lStatus != AVERROR_EOF) lWhole = false, pError = mUrl + ": " + AvReason(lStatus);
  if (lWhole) lWhole = Drain(true, pError);
  lStatus = av_write_trailer(mOutput);
  if (lStatus < 0 && lWhole) lWhole = false, pError = mUrl + ": " + AvReason(lStatus);
  if (!(mOutput->oformat->flags & AVFMT_NOFILE)) {
    lStatus = avio_closep(&mOutput->pb);
    if (lStatus < 0 && lWhole) lWhole = false, pError = mUrl + ": " + AvReason(lStatus);
  }
  Release();
  return lWhole;
}

}  // namespace vthud_tool
