#include "frame_sink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_name.h"
#include "straight_alpha.h"
#include "video_writer.h"

namespace vthud_tool {

namespace {

// An HDR frame: the overlay laid over the plate in light, as a 16-bit PNG
// with the display's cICP chunk.
bool WriteHdrPng(const std::string& pPath, vthost::Image& pImage, const HdrDisplay& pHdr, bool pFast,
                 std::string& pError) {
  std::vector<uint16_t> lFrame(static_cast<size_t>(pImage.width) * pImage.height * 4);
  ComposeHdr(pHdr, pImage.rgba.data(), pImage.bottomUp, pImage.under ? pImage.under->data() : nullptr,
             pImage.width, pImage.height, true, lFrame.data());
  // The buffer goes back to be read into again: it lets go of the plate.
  pImage.under.reset();
  return vthost::WritePng16(pPath, pImage.width, pImage.height, lFrame.data(), CicpPrimaries(pHdr),
                            CicpTransfer(pHdr), pError, pFast);
}

class PngFileSink : public FrameSink {
 public:
  PngFileSink(std::string pPath, bool pStraight, bool pSrgb, HdrDisplay pHdr)
      : mPath(std::move(pPath)), mStraight(pStraight), mSrgb(pSrgb), mHdr(pHdr) {}
  bool Open(std::string& pError) override { return MakeParentDirs(mPath, pError); }
  bool Write(vthost::Image& pImage, long long, std::string& pError) override {
    if (mHdr.Hdr()) return WriteHdrPng(mPath, pImage, mHdr, false, pError);
    if (mStraight) ToStraightAlpha(pImage);
    return vthost::WritePng(mPath, pImage, pError, false, mSrgb);
  }
  bool Close(std::string&) override { return true; }
  bool Ordered() const override { return true; }
  std::string Where(long long) const override { return mPath; }

 private:
  std::string mPath;
  bool mStraight, mSrgb;
  HdrDisplay mHdr;
};

class PngSequenceSink : public FrameSink {
 public:
  PngSequenceSink(FramePattern pPattern, bool pRepeats, bool pStraight, bool pSrgb, HdrDisplay pHdr)
      : mPattern(std::move(pPattern)), mRepeats(pRepeats), mStraight(pStraight), mSrgb(pSrgb), mHdr(pHdr) {}
  bool Open(std::string& pError) override { return MakeParentDirs(mPattern.Expand(0), pError); }
  bool Write(vthost::Image& pImage, long long pFrame, std::string& pError) override {
    if (mHdr.Hdr()) return WriteHdrPng(mPattern.Expand(pFrame), pImage, mHdr, true, pError);
    if (mStraight) ToStraightAlpha(pImage);
    // Plain zlib at its fastest: the overlay is mostly flat, so files stay small.
    return vthost::WritePng(mPattern.Expand(pFrame), pImage, pError, true, mSrgb);
  }
  bool Close(std::string&) override { return true; }
  // A frame drawn twice goes to one file; one writer keeps the last draw last.
  bool Ordered() const override { return mRepeats; }
  std::string Where(long long pFirstFrame) const override { return mPattern.Expand(pFirstFrame) + " ..."; }

 private:
  FramePattern mPattern;
  bool mRepeats, mStraight, mSrgb;
  HdrDisplay mHdr;
};

class VideoSink : public FrameSink {
 public:
  VideoSink(std::string pPath, bool pProRes, VideoSettings pVideo, long long pFrameCount, bool pStream = false)
      : mPath(std::move(pPath)),
        mProRes(pProRes),
        mStream(pStream),
        mVideo(std::move(pVideo)),
        mExpected(pFrameCount) {}
  bool Open(std::string& pError) override {
    if (!mStream && !MakeParentDirs(mPath, pError)) return false;
    if (mVideo.part) {
      mPartial = BeforeExtension(mPath, ".partial");
      unlink(mPath.c_str());  // a part drawn again is not finished until it is whole again
    }
    EncoderSettings lSettings;
    lSettings.kind = mStream   ? EncoderSettings::Kind::Stream
                     : mProRes ? EncoderSettings::Kind::ProRes
                               : EncoderSettings::Kind::H264;
    lSettings.fpsNumerator = mVideo.fpsNumerator;
    lSettings.fpsDenominator = mVideo.fpsDenominator;
    if (!mStream) {
      lSettings.startTimecode = mVideo.startTimecode;
      lSettings.tags = mVideo.tags;
    } else {
      lSettings.handedOff = mVideo.handedOff;
      // Over a camera's feed the encoder keeps the camera's pace on the CPU.
      lSettings.fastest = static_cast<bool>(mVideo.handedOff);
    }
    lSettings.hdr = mVideo.hdr;
    lSettings.masteringDisplay = mVideo.masteringDisplay;
    lSettings.maxCll = mVideo.maxCll;
    // An SDR stream is always BT.709; a file is tagged for its display.
    lSettings.transfer = mStream || mVideo.tag == DisplayTag::Bt709 ? "bt709"
                         : mVideo.tag == DisplayTag::Srgb           ? "iec61966-2-1"
                                                                    : "";
    const std::string lTarget = mPartial.empty() ? mPath : mPartial;
    if (!mWriter.Open(mStream ? lTarget : "file:" + lTarget, lSettings, pError)) {
      pError = "cannot write " + mPath + ": " + pError.substr(pError.find(": ") + 2);
      return false;
    }
    if (!mStream || mVideo.record.empty()) return true;
    // The recording takes the stream's frames as they were converted for it.
    EncoderSettings lRecord = lSettings;
    lRecord.kind = EncoderSettings::Kind::H264;
    lRecord.handedOff = nullptr;
    lRecord.fastest = false;
    lRecord.startTimecode = mVideo.startTimecode;
    if (!MakeParentDirs(mVideo.record, pError) || !mRecord.Open("file:" + mVideo.record, lRecord, pError)) {
      std::string lIgnored;
      mWriter.Finish(lIgnored);
      pError = "cannot write " + mVideo.record + ": " + pError.substr(pError.find(": ") + 2);
      return false;
    }
    mWriter.Also(&mRecord);
    return true;
  }
  bool Write(vthost::Image& pImage, long long, std::string& pError) override {
    std::string lWhy;
    if (mVideo.hdr.Hdr()) {
      // ProRes 4444 keeps alpha, stored straight; HEVC shows the picture over black.
      mFrame.resize(static_cast<size_t>(pImage.width) * pImage.height * 4);
      ComposeHdr(mVideo.hdr, pImage.rgba.data(), pImage.bottomUp, pImage.under ? pImage.under->data() : nullptr,
                 pImage.width, pImage.height, mProRes, mFrame.data());
      pImage.under.reset();
      if (mWriter.Write16(mFrame.data(), lWhy)) return ++mWritten, true;
      pError = "encoding " + mPath + " stopped: " + lWhy.substr(lWhy.find(": ") + 2);
      std::string lIgnored;
      mWriter.Finish(lIgnored);
      return false;
    }
    // ProRes 4444 keeps alpha and stores it straight; H.264 has none and shows
    // the premultiplied colour, which is the overlay over black.
    if (mProRes && mVideo.straightAlpha) ToStraightAlpha(pImage);
    if (mWriter.Write(pImage, lWhy)) return ++mWritten, true;
    pError = "encoding " + mPath + " stopped: " + lWhy.substr(lWhy.find(": ") + 2);
    std::string lIgnored;
    mWriter.Finish(lIgnored);
    mRecord.Finish(lIgnored);
    return false;
  }
  bool Close(std::string& pError) override {
    if (!mWriter.Opened()) return true;
    std::string lWhy;
    const bool lStreamed = mWriter.Finish(lWhy);
    if (lStreamed && mRecord.Opened() && !mRecord.Finish(lWhy))
      return pError = "encoding " + mVideo.record + " failed: " + lWhy.substr(lWhy.find(": ") + 2), false;
    if (!lStreamed) {
      std::string lIgnored;
      mRecord.Finish(lIgnored);
      return pError = "encoding " + mPath + " failed: " + lWhy.substr(lWhy.find(": ") + 2), false;
    }
    // A part short of frames (after Ctrl-C or an error) keeps its temporary name.
    if (mPartial.empty() || mWritten != mExpected) return true;
    if (rename(mPartial.c_str(), mPath.c_str()) != 0)
      return pError = "cannot rename " + mPartial + " to " + mPath + ": " + strerror(errno), false;
    return true;
  }
  bool Ordered() const override { return true; }
  std::string Where(long long) const override {
    if (!mVideo.record.empty()) return mPath + " and " + mVideo.record;
    return mWritten == mExpected || mPartial.empty() ? mPath : mPartial;
  }

 private:
  std::string mPath, mPartial;
  bool mProRes, mStream;
  VideoSettings mVideo;
  long long mExpected, mWritten = 0;
  VideoWriter mRecord;  // declared first: the stream's writer refers to it
  VideoWriter mWriter;
  std::vector<uint16_t> mFrame;  // an HDR frame as it is encoded
};

}  // namespace

bool MakeParentDirs(const std::string& pPath, std::string& pError) {
  for (size_t i = pPath.find('/', 1); i != std::string::npos; i = pPath.find('/', i + 1)) {
    const std::string lDir = pPath.substr(0, i);
    if (mkdir(lDir.c_str(), 0755) != 0 && errno != EEXIST) {
      pError = "cannot make folder " + lDir + ": " + strerror(errno);
      return false;
    }
  }
  return true;
}

std::unique_ptr<FrameSink> MakeSink(const std::string& pOut, long long pFrameCount, bool pRepeatsFrames,
                                    const VideoSettings& pVideo, std::string& pError) {
  if (pOut.empty()) return pError = "--out expects a file name", nullptr;
  if (pOut.compare(0, 6, "udp://") == 0 || pOut.compare(0, 6, "srt://") == 0)
    return std::unique_ptr<FrameSink>(new VideoSink(pOut, false, pVideo, pFrameCount, true));
  if (EndsWithNoCase(pOut, ".mov"))
    return std::unique_ptr<FrameSink>(new VideoSink(pOut, true, pVideo, pFrameCount));
  if (EndsWithNoCase(pOut, ".mp4"))
    return std::unique_ptr<FrameSink>(new VideoSink(pOut, false, pVideo, pFrameCount));
  if (!EndsWithNoCase(pOut, ".png"))
    return pError =
               "--out expects a .png, an image-sequence pattern such as hud.%04d.png, a .mov or an .mp4, got '" +
               pOut + "'",
           nullptr;
  FramePattern lPattern;
  bool lIsPattern = false;
  if (!lPattern.Parse(pOut, lIsPattern, pError)) return pError = "--out " + pError, nullptr;
  if (lIsPattern)
    return std::unique_ptr<FrameSink>(new PngSequenceSink(lPattern, pRepeatsFrames, pVideo.straightAlpha,
                                                          pVideo.tag != DisplayTag::Untagged, pVideo.hdr));
  if (pFrameCount > 1)
    return pError = "--out " + pOut + " is one image, but " + std::to_string(pFrameCount) +
                    " frames are drawn: give a pattern such as hud.%04d.png, or a .mov or .mp4",
           nullptr;
  return std::unique_ptr<FrameSink>(
      new PngFileSink(lPattern.Expand(0), pVideo.straightAlpha, pVideo.tag != DisplayTag::Untagged, pVideo.hdr));
}

}  // namespace vthud_tool
