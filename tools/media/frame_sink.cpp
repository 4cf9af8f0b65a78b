#include "frame_sink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_name.h"
#include "straight_alpha.h"

namespace vthud_tool {

namespace {

class PngFileSink : public FrameSink {
 public:
  PngFileSink(std::string pPath, bool pStraight, bool pSrgb)
      : mPath(std::move(pPath)), mStraight(pStraight), mSrgb(pSrgb) {}
  bool Open(std::string& pError) override { return MakeParentDirs(mPath, pError); }
  bool Write(vthost::Image& pImage, long long, std::string& pError) override {
    if (mStraight) ToStraightAlpha(pImage);
    return vthost::WritePng(mPath, pImage, pError, false, mSrgb);
  }
  bool Close(std::string&) override { return true; }
  bool Ordered() const override { return true; }
  std::string Where(long long) const override { return mPath; }

 private:
  std::string mPath;
  bool mStraight, mSrgb;
};

class PngSequenceSink : public FrameSink {
 public:
  PngSequenceSink(FramePattern pPattern, bool pRepeats, bool pStraight, bool pSrgb)
      : mPattern(std::move(pPattern)), mRepeats(pRepeats), mStraight(pStraight), mSrgb(pSrgb) {}
  bool Open(std::string& pError) override { return MakeParentDirs(mPattern.Expand(0), pError); }
  bool Write(vthost::Image& pImage, long long pFrame, std::string& pError) override {
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
    std::vector<std::string> lArguments{
        "-v",
        "error",
        "-y",
        "-f",
        "rawvideo",
        "-pix_fmt",
        "rgba",
        "-s",
        "1920x1080",
        "-r",
        std::to_string(mVideo.fpsNumerator) + "/" + std::to_string(mVideo.fpsDenominator),
        "-i",
        "pipe:0"};
    const std::vector<std::string> lEncoder =
        mStream ? StreamArguments(mVideo) : EncoderArguments(mProRes, mVideo);
    lArguments.insert(lArguments.end(), lEncoder.begin(), lEncoder.end());
    lArguments.push_back(mPartial.empty() ? mPath : mPartial);
    return mEncoder.Start(lArguments, FfmpegProcess::Direction::WriteToIt, pError);
  }
  bool Write(vthost::Image& pImage, long long, std::string& pError) override {
    // ProRes 4444 keeps alpha and stores it straight; H.264 has none and shows
    // the premultiplied colour, which is the overlay over black.
    if (mProRes && mVideo.straightAlpha) ToStraightAlpha(pImage);
    if (mEncoder.Write(pImage.rgba.data(), pImage.rgba.size())) return ++mWritten, true;
    std::string lWhy;
    mEncoder.Finish(lWhy);
    pError = "encoding " + mPath + " stopped: " + (lWhy.empty() ? "ffmpeg closed its input" : lWhy);
    return false;
  }
  bool Close(std::string& pError) override {
    if (!mEncoder.Running()) return true;
    if (!mEncoder.Finish(pError)) return pError = "encoding " + mPath + " failed: " + pError, false;
    // A part short of frames (after Ctrl-C or an error) keeps its temporary name.
    if (mPartial.empty() || mWritten != mExpected) return true;
    if (rename(mPartial.c_str(), mPath.c_str()) != 0)
      return pError = "cannot rename " + mPartial + " to " + mPath + ": " + strerror(errno), false;
    return true;
  }
  bool Ordered() const override { return true; }
  std::string Where(long long) const override {
    return mWritten == mExpected || mPartial.empty() ? mPath : mPartial;
  }

 private:
  std::string mPath, mPartial;
  bool mProRes, mStream;
  VideoSettings mVideo;
  long long mExpected, mWritten = 0;
  FfmpegProcess mEncoder;
};

}  // namespace

std::vector<std::string> EncoderArguments(bool pProRes, const VideoSettings& pVideo) {
  std::vector<std::string> lArguments;
  // BT.709 in limited range, as players read HD (FFmpeg's own default
  // matrix is BT.601), tagged in the stream and in the container. An sRGB
  // display keeps the BT.709 primaries with the sRGB transfer; an untagged
  // one keeps only the matrix and range the YUV needs to be read back.
  const bool lTagged = pVideo.tag != DisplayTag::Untagged;
  const std::string lTransfer = pVideo.tag == DisplayTag::Srgb ? "iec61966-2-1" : "bt709";
  lArguments.insert(lArguments.end(), {"-vf", "scale=out_color_matrix=bt709:out_range=tv", "-colorspace", "bt709",
                                       "-color_range", "tv"});
  if (lTagged) lArguments.insert(lArguments.end(), {"-color_primaries", "bt709", "-color_trc", lTransfer});
  if (pProRes) {
    // ProRes 4444 (ap4h) with its alpha; FFmpeg's prores_aw encodes it a few
    // times faster than prores_ks, but leaves the frame headers' colour
    // fields unset, so the bitstream filter writes them (ProRes headers have
    // no code for the sRGB transfer: the container's tag carries it).
    const std::string lHeader = !lTagged ? "colorspace=bt709"
                                : pVideo.tag == DisplayTag::Srgb
                                    ? "color_primaries=bt709:color_trc=unknown:colorspace=bt709"
                                    : "color_primaries=bt709:color_trc=bt709:colorspace=bt709";
    lArguments.insert(lArguments.end(), {"-c:v", "prores_aw", "-profile:v", "4", "-pix_fmt", "yuva444p10le",
                                         "-bsf:v", "prores_metadata=" + lHeader});
  } else {
    // A keyframe a second: with fragments at keyframes, at most a second is
    // lost should the encoder die.
    lArguments.insert(lArguments.end(),
                      {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p", "-g",
                       std::to_string(pVideo.fpsNumerator / pVideo.fpsDenominator)});
  }
  if (!pVideo.startTimecode.empty()) lArguments.insert(lArguments.end(), {"-timecode", pVideo.startTimecode});
  for (const auto& lTag : pVideo.tags)
    lArguments.insert(lArguments.end(), {"-metadata", lTag.first + "=" + lTag.second});
  // Fragmented: what was encoded plays even if the encoder is killed. Tags of
  // our own need the container's free-form metadata.
  lArguments.insert(lArguments.end(),
                    {"-movflags", pVideo.tags.empty() ? "+frag_keyframe+empty_moov"
                                                      : "+frag_keyframe+empty_moov+use_metadata_tags"});
  return lArguments;
}

std::vector<std::string> StreamArguments(const VideoSettings& pVideo) {
  // For a monitor: no frames held back by the encoder, and a keyframe every
  // half second so that a player joining the stream shows a picture soon.
  return {"-vf",
          "scale=out_color_matrix=bt709:out_range=tv",
          "-colorspace",
          "bt709",
          "-color_primaries",
          "bt709",
          "-color_trc",
          "bt709",
          "-color_range",
          "tv",
          "-c:v",
          "libx264",
          "-preset",
          "veryfast",
          "-tune",
          "zerolatency",
          "-pix_fmt",
          "yuv420p",
          "-g",
          std::to_string(std::max(1, pVideo.fpsNumerator / pVideo.fpsDenominator / 2)),
          "-f",
          "mpegts"};
}

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
    return std::unique_ptr<FrameSink>(
        new PngSequenceSink(lPattern, pRepeatsFrames, pVideo.straightAlpha, pVideo.tag != DisplayTag::Untagged));
  if (pFrameCount > 1)
    return pError = "--out " + pOut + " is one image, but " + std::to_string(pFrameCount) +
                    " frames are drawn: give a pattern such as hud.%04d.png, or a .mov or .mp4",
           nullptr;
  return std::unique_ptr<FrameSink>(
      new PngFileSink(lPattern.Expand(0), pVideo.straightAlpha, pVideo.tag != DisplayTag::Untagged));
}

}  // namespace vthud_tool
