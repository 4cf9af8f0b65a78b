#include "background.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_name.h"

namespace vthud_tool {

namespace {

const int kWidth = 1920, kHeight = 1080;
const size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 4;

void Fill(vthost::Image& pImage, uint8_t r, uint8_t g, uint8_t b) {
  pImage.width = kWidth;
  pImage.height = kHeight;
  pImage.bottomUp = false;
  pImage.rgba.resize(kFrameBytes);
  for (size_t i = 0; i < pImage.rgba.size(); i += 4) {
    pImage.rgba[i] = r;
    pImage.rgba[i + 1] = g;
    pImage.rgba[i + 2] = b;
    pImage.rgba[i + 3] = 255;
  }
}

// Plates Qt does not read, or reads only at 8 bits: always decoded by ffmpeg.
bool FfmpegPlate(const std::string& pPath) {
  for (const char* lEnd : {".exr", ".dpx", ".tif", ".tiff"})
    if (EndsWithNoCase(pPath, lEnd)) return true;
  return false;
}

// A value inside a filter graph: escaped once for the option, once for the graph.
std::string FilterValue(const std::string& pText) {
  std::string lOption, lGraph;
  for (char c : pText) {
    if (c == '\\' || c == '\'' || c == ':') lOption += '\\';
    lOption += c;
  }
  for (char c : lOption) {
    if (c == '\\' || c == '\'' || c == '[' || c == ']' || c == ',' || c == ';') lGraph += '\\';
    lGraph += c;
  }
  return lGraph;
}

// A file name as ffmpeg and ffprobe are given it: with the file protocol
// named, so that a name holding a colon ("shot:a/p.%04d.png") is not taken
// for another protocol.
std::string FileUrl(const std::string& pPath) { return "file:" + pPath; }

// The long-running decoders send their frames bottom row first, as GL takes
// them (ffmpeg's vflip only turns the row order its raw output is copied in).
const char* const kBottomUp = ",vflip";

// One 1920 x 1080 RGBA frame from a decoding ffmpeg.
bool ReadFrame(FfmpegProcess& pDecoder, vthost::Image& pImage, bool pBottomUp = false) {
  pImage.width = kWidth;
  pImage.height = kHeight;
  pImage.bottomUp = pBottomUp;
  pImage.rgba.resize(kFrameBytes);
  bool lEnded = false;
  return pDecoder.Read(pImage.rgba.data(), kFrameBytes, lEnded);
}

// One picture decoded by ffmpeg through pFilter into the canvas.
bool DecodeStill(const std::string& pPath, const std::string& pFilter, vthost::Image& pImage,
                 std::string& pError) {
  FfmpegProcess lDecoder;
  const std::vector<std::string> lArguments{
      "-nostdin",  "-v", "error", "-f",    "image2", "-pattern_type", "none",     "-i",   FileUrl(pPath),
      "-frames:v", "1",  "-vf",   pFilter, "-f",     "rawvideo",      "-pix_fmt", "rgba", "pipe:1"};
  if (!lDecoder.Start(lArguments, FfmpegProcess::Direction::ReadFromIt, pError)) return false;
  const bool lRead = ReadFrame(lDecoder, pImage);
  std::string lWhy;
  const bool lFinished = lDecoder.Finish(lWhy);
  if (lRead && lFinished) return true;
  pError = "ffmpeg cannot decode " + pPath + (lWhy.empty() ? "" : ": " + lWhy);
  return false;
}

// One plate decoded at its own precision and shown through the show's colour.
bool DecodeManagedStill(const std::string& pPath, const ShowColour& pColour, std::vector<uint8_t>& pRaw,
                        vthost::Image& pImage, std::string& pError) {
  PlateLayout lLayout;
  if (!ProbePlateLayout(FileUrl(pPath), pPath, false, lLayout, pError)) return false;
  std::vector<std::string> lArguments{"-nostdin",      "-v",   "error", "-f",          "image2",
                                      "-pattern_type", "none", "-i",    FileUrl(pPath)};
  const std::vector<std::string> lOutput = ManagedOutput(lLayout, 1);
  lArguments.insert(lArguments.end(), lOutput.begin(), lOutput.end());
  FfmpegProcess lDecoder;
  if (!lDecoder.Start(lArguments, FfmpegProcess::Direction::ReadFromIt, pError)) return false;
  const bool lRead = ReadManagedFrame(lDecoder, lLayout, pColour, pRaw, pImage);
  std::string lWhy;
  const bool lFinished = lDecoder.Finish(lWhy);
  if (lRead && lFinished) return true;
  pError = "ffmpeg cannot decode " + pPath + (lWhy.empty() ? "" : ": " + lWhy);
  return false;
}

}  // namespace

std::string FitFilter(const std::string& pMatrix, const std::string& pRange, const std::string& pLut) {
  // Accurate rounding: the fast path is 1 or 2 levels off on flat colours.
  std::string lChain = "scale=1920:1080:force_original_aspect_ratio=decrease:flags=accurate_rnd+full_chroma_int";
  if (!pMatrix.empty()) lChain += ":in_color_matrix=" + pMatrix;
  if (!pRange.empty()) lChain += ":in_range=" + pRange;
  // The format right after the scale makes that scale the one that turns YUV to RGB.
  lChain += pLut.empty() ? ",format=rgba" : ",format=rgb48le,lut3d=file=" + FilterValue(pLut) + ",format=rgba";
  return lChain + ",pad=1920:1080:(ow-iw)/2:(oh-ih)/2:color=black";
}

void DecodeColour(const std::string& pColorSpace, const std::string& pColorRange, int pWidth, int pHeight,
                  std::string& pMatrix, std::string& pRange) {
  static const std::pair<const char*, const char*> kMatrices[] = {
      {"bt709", "bt709"},    {"smpte170m", "bt601"},     {"bt470bg", "bt601"}, {"bt2020nc", "bt2020"},
      {"bt2020c", "bt2020"}, {"smpte240m", "smpte240m"}, {"fcc", "fcc"}};
  pMatrix.clear();
  for (const auto& lMatrix : kMatrices)
    if (pColorSpace == lMatrix.first) pMatrix = lMatrix.second;
  // Players read untagged HD as BT.709, untagged SD as BT.601.
  if (pMatrix.empty()) pMatrix = (pHeight >= 720 || pWidth >= 1280) ? "bt709" : "bt601";
  pRange = pColorRange == "tv" || pColorRange == "pc" ? pColorRange : std::string();
}

bool ReadFitted(const std::string& pPath, vthost::Image& pImage, std::string& pError) {
  QImageReader lReader(QString::fromStdString(pPath));
  QImage lImage = lReader.read();
  if (lImage.isNull()) {
    pError = "cannot read " + pPath + ": " + lReader.errorString().toStdString();
    return false;
  }
  if (lImage.width() != kWidth || lImage.height() != kHeight)
    lImage = lImage.scaled(kWidth, kHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  lImage = lImage.convertToFormat(QImage::Format_RGBA8888);
  Fill(pImage, 0, 0, 0);
  const int lLeft = (kWidth - lImage.width()) / 2, lTop = (kHeight - lImage.height()) / 2;
  for (int y = 0; y < lImage.height(); ++y)
    memcpy(pImage.At(lLeft, lTop + y), lImage.constScanLine(y), static_cast<size_t>(lImage.width()) * 4);
  return true;
}

bool Background::Open(const std::string& pSpec, const std::string& pTestPicture, std::string& pError,
                      const std::string& pLut, const ColourRequest* pColour) {
  Close();
  mColour.Reset();
  mSpec = pSpec;
  mLut = pLut;
  if (pSpec.empty()) return true;
  const bool lShowColour = pColour && !pColour->config.empty();
  if (!mLut.empty()) {
    const QFileInfo lLut(QString::fromStdString(mLut));
    if (!lLut.isFile() || !lLut.isReadable())
      return pError = "--background-lut: cannot read " + mLut + (lLut.exists() ? "" : ": no such file"), false;
  }
  unsigned r, g, b;
  char lEnd;
  if (pSpec.size() == 7 && pSpec[0] == '#' &&
      sscanf(pSpec.c_str() + 1, "%02x%02x%02x%c", &r, &g, &b, &lEnd) == 3 &&
      pSpec.find_first_not_of("#0123456789abcdefABCDEF") == std::string::npos) {
    if (!mLut.empty()) return pError = "--background-lut applies to a picture, not to a colour", false;
    Fill(mStill, static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
    mKind = Kind::Still;
    return true;
  }
  if (pSpec[0] == '#') return pError = "--background colour expects #RRGGBB, got '" + pSpec + "'", false;
  bool lIsPattern = false;
  if (LooksLikePattern(pSpec)) {
    if (!mPattern.Parse(pSpec, lIsPattern, pError)) return pError = "--background " + pError, false;
    if (lIsPattern) {
      // The file rules match the pattern as they would each plate's name.
      if (lShowColour && !mColour.Open(*pColour, pSpec, pError)) return false;
      mKind = Kind::Sequence;
      return true;
    }
  }
  const std::string lPath = pSpec == "test-picture" ? pTestPicture : pSpec;
  const QFileInfo lInfo(QString::fromStdString(lPath));
  if (!lInfo.exists()) return pError = "cannot read " + lPath + ": no such file", false;
  if (!lInfo.isFile()) return pError = "cannot read " + lPath + ": not a regular file", false;
  if (lShowColour && pSpec != "test-picture" && !mColour.Open(*pColour, lPath, pError)) return false;
  if (FfmpegPlate(lPath) || !QImageReader::imageFormat(QString::fromStdString(lPath)).isEmpty()) {
    if (!ReadPlate(lPath, mStill, pError)) return false;
    mKind = Kind::Still;
    mPath = lPath;
    return true;
  }
  // Not an image: a video, decoded by ffmpeg by its own colour tags, fitted and letterboxed the same way.
  std::string lProbe, lMatrix, lRange;
  if (!RunFfprobe({"-v", "error", "-select_streams", "v:0", "-show_entries",
                   "stream=width,height,color_space,color_range", "-of", "default=nw=1", FileUrl(lPath)},
                  lProbe, pError))
    return pError = "cannot read background " + pSpec + " as an image or a video: " + pError, false;
  if (ProbeValue(lProbe, "width").empty())
    return pError = "cannot read background " + pSpec + " as an image or a video: it has no video stream", false;
  DecodeColour(ProbeValue(lProbe, "color_space"), ProbeValue(lProbe, "color_range"),
               atoi(ProbeValue(lProbe, "width").c_str()), atoi(ProbeValue(lProbe, "height").c_str()), lMatrix,
               lRange);
  mVideo.reset(new FfmpegProcess);
  if (mColour.Active()) {
    // At full precision, for the show's colour to take it to the display.
    if (!ProbePlateLayout(FileUrl(lPath), lPath, true, mLayout, pError)) return false;
    mVideoArguments = {"-i", FileUrl(lPath), "-an"};
    const std::vector<std::string> lOutput = ManagedOutput(mLayout, 0);
    mVideoArguments.insert(mVideoArguments.end(), lOutput.begin(), lOutput.end());
  } else {
    mVideoArguments = {"-i", FileUrl(lPath), "-an",      "-vf",  FitFilter(lMatrix, lRange, mLut) + kBottomUp,
                       "-f", "rawvideo",     "-pix_fmt", "rgba", "pipe:1"};
  }
  std::vector<std::string> lArguments{"-nostdin", "-v", "error"};
  lArguments.insert(lArguments.end(), mVideoArguments.begin(), mVideoArguments.end());
  if (!mVideo->Start(lArguments, FfmpegProcess::Direction::ReadFromIt, pError)) return false;
  mPath = lPath;
  mKind = Kind::Video;
  mVideoFrames = 0;
  return true;
}

bool Background::ForDraw(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError) {
  switch (mKind) {
    case Kind::None: pImage.rgba.clear(); return true;
    case Kind::Still:
      if (pImage.rgba.size() != mStill.rgba.size() || pIndex == 0) pImage = mStill;
      return true;
    case Kind::Sequence: return SequencePlate(pIndex, pFrame, pImage, pError);
    case Kind::Video: {
      const bool lRead = mColour.Active() ? ReadManagedFrame(*mVideo, mLayout, mColour, mRaw, pImage)
                                          : ReadFrame(*mVideo, pImage, true);
      if (!lRead) {
        std::string lWhy;
        mVideo->Finish(lWhy);
        if (mVideoFrames == 0)
          pError =
              "cannot read background " + mSpec + " as an image or a video" + (lWhy.empty() ? "" : ": " + lWhy);
        else
          pError = "the background video " + mSpec + " ended after " + std::to_string(mVideoFrames) +
                   " frames; frame " + std::to_string(pFrame) + " has no picture";
        return false;
      }
      ++mVideoFrames;
      return true;
    }
  }
  return false;
}

bool Background::SkipVideoFrames(long long pDraws, int pRateNumerator, int pRateDenominator, std::string& pError) {
  if (mKind != Kind::Video || pDraws <= 0) return true;
  mVideo->Stop();
  // Half a frame early: the seek lands on frame pDraws whatever the rounding
  // of the timestamps, and ffmpeg drops every frame before the position.
  char lSeconds[64];
  snprintf(lSeconds, sizeof lSeconds, "%.6f",
           (static_cast<double>(pDraws) - 0.5) * pRateDenominator / static_cast<double>(pRateNumerator));
  std::vector<std::string> lArguments{"-nostdin", "-v", "error", "-ss", lSeconds};
  lArguments.insert(lArguments.end(), mVideoArguments.begin(), mVideoArguments.end());
  // Every frame as it comes: the seek leaves the first half a frame late, which
  // a constant-rate output would fill by repeating it.
  lArguments.insert(lArguments.end() - 1, {"-fps_mode", "passthrough"});
  mVideo.reset(new FfmpegProcess);
  if (!mVideo->Start(lArguments, FfmpegProcess::Direction::ReadFromIt, pError)) return false;
  mVideoFrames = pDraws;
  return true;
}

bool Background::ReadPlate(const std::string& pPath, vthost::Image& pImage, std::string& pError) {
  if (mColour.Active()) return DecodeManagedStill(pPath, mColour, mRaw, pImage, pError);
  // Stills carry no colour tags worth trusting; ffmpeg's own choice (BT.601 for JPEG) stands.
  if (FfmpegPlate(pPath) || !mLut.empty()) return DecodeStill(pPath, FitFilter("", "", mLut), pImage, pError);
  return ReadFitted(pPath, pImage, pError);
}

// The sequence reader's arguments up to its output: plates from pFrame on.
// -xerror: a plate that does not decode ends the run there instead of being skipped.
std::vector<std::string> Background::SequenceInput(long long pFrame) const {
  return {"-nostdin",
          "-v",
          "error",
          "-xerror",
          "-f",
          "image2",
          "-pattern_type",
          "sequence",
          "-start_number",
          std::to_string(pFrame),
          "-thread_type",
          "frame",
          "-i",
          FileUrl(mSpec)};
}

bool Background::StartRun(long long pFrame, long long pRun, const std::vector<std::string>& pOutput,
                          std::string& pError) {
  std::vector<std::string> lArguments = SequenceInput(pFrame);
  lArguments.insert(lArguments.end(), pOutput.begin(), pOutput.end());
  mPlates.reset(new FfmpegProcess);
  if (!mPlates->Start(lArguments, FfmpegProcess::Direction::ReadFromIt, pError)) {
    mPlates.reset();
    return false;
  }
  mPlatesNext = pFrame;
  mPlatesLeft = pRun > 0 ? pRun : -1;
  return true;
}

bool Background::SequencePlate(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError) {
  const std::string lPath = mPattern.Expand(pFrame);
  const std::string lPlate = "the background plate of frame " + std::to_string(pFrame);
  // Checked before each read: ffmpeg's sequence reader would skip a missing
  // first plate, and end quietly at a gap.
  if (!QFileInfo(QString::fromStdString(lPath)).isFile()) return pError = lPlate + " is missing: " + lPath, false;
  // Sequence plates carry no colour tags worth trusting: ffmpeg's own choice (BT.601 for JPEG) stands.
  const std::string lFilter = FitFilter("", "", mLut);
  long long lRun = 1;  // consecutive frames from this draw on
  if (pIndex >= 0 && static_cast<size_t>(pIndex) < mDrawFrames.size() && mDrawFrames[pIndex] == pFrame)
    while (static_cast<size_t>(pIndex + lRun) < mDrawFrames.size() && mDrawFrames[pIndex + lRun] == pFrame + lRun)
      ++lRun;
  // The reader started while the first plate was probed has no end of its own: this run is its end.
  if (mPlates && mPlatesLeft < 0 && pFrame == mPlatesNext) mPlatesLeft = lRun;
  if (!mPlates || pFrame != mPlatesNext || mPlatesLeft == 0) {
    if (mPlates) mPlates->Stop();
    mPlates.reset();
    // ffmpeg numbers sequence files with an int.
    if (lRun > 1 && pFrame >= INT_MIN && pFrame + lRun <= INT_MAX) {
      // Through the show's colour, a run decodes in the layout of its first plate.
      if (mColour.Active() && !ProbeRunLayout(lPath, pError)) return pError = lPlate + ": " + pError, false;
      const std::vector<std::string> lOutput =
          mColour.Active()
              ? ManagedOutput(mLayout, lRun)
              : std::vector<std::string>{"-frames:v", std::to_string(lRun), "-vf",      lFilter + kBottomUp,
                                         "-f",        "rawvideo",           "-pix_fmt", "rgba",
                                         "pipe:1"};
      if (!StartRun(pFrame, lRun, lOutput, pError)) return false;
    }
  }
  if (mPlates) {
    if (mColour.Active() ? ReadManagedFrame(*mPlates, mLayout, mColour, mRaw, pImage)
                         : ReadFrame(*mPlates, pImage, true)) {
      ++mPlatesNext;
      --mPlatesLeft;
      return true;
    }
    // The run ended early, at this plate or at a broken one ffmpeg had read
    // ahead to. Decoded alone, a broken plate gives its own message; a sound
    // one is shown, and the next draw starts a new run.
    mPlates->Stop();
    mPlates.reset();
  }
  if (mColour.Active() ? DecodeManagedStill(lPath, mColour, mRaw, pImage, pError)
                       : DecodeStill(lPath, lFilter, pImage, pError))
    return true;
  pError = lPlate + ": " + pError;
  return false;
}

bool Background::CheckFirstPlate(long long pFrame, std::string& pError) {
  if (mKind != Kind::Sequence || !mColour.Active()) return true;
  const std::string lPath = mPattern.Expand(pFrame);
  const std::string lPlate = "the background plate of frame " + std::to_string(pFrame);
  if (!QFileInfo(QString::fromStdString(lPath)).isFile()) return pError = lPlate + " is missing: " + lPath, false;
  // Every plate but a float one (an EXR) decodes to 16-bit RGBA, so its
  // reader starts while the plate is probed, the probe only confirming it;
  // the draws then say where its run ends.
  std::string lIgnored;
  const QString lSuffix = QFileInfo(QString::fromStdString(lPath)).suffix().toLower();
  if (lSuffix != "exr" && pFrame >= INT_MIN && pFrame <= INT_MAX) {
    mLayout = PlateLayout();
    StartRun(pFrame, 0, ManagedOutput(mLayout, 0), lIgnored);
  }
  if (!ProbePlateLayout(FileUrl(lPath), lPath, false, mProbedLayout, pError)) {
    if (mPlates) mPlates->Stop();
    mPlates.reset();
    return pError = lPlate + ": " + pError, false;
  }
  mProbedPath = lPath;
  if (mPlates && mProbedLayout.kind != PlateLayout::Kind::Rgba64) {
    mPlates->Stop();
    mPlates.reset();
  }
  mLayout = mProbedLayout;
  return true;
}

bool Background::ProbeRunLayout(const std::string& pPath, std::string& pError) {
  if (pPath == mProbedPath) {
    mLayout = mProbedLayout;
    return true;
  }
  return ProbePlateLayout(FileUrl(pPath), pPath, false, mLayout, pError);
}

bool Background::PlateTimecode(long long pFirstFrame, int pRateNumerator, int pRateDenominator,
                               std::string& pTimecode, std::string& pError) const {
  const std::string lPath = mKind == Kind::Sequence ? mPattern.Expand(pFirstFrame) : mPath;
  if (lPath.empty()) return pError = "from-background needs a video or image-sequence --background", false;
  std::string lProbe;
  if (!RunFfprobe({"-v", "error", "-select_streams", "v:0", "-show_entries",
                   "stream=r_frame_rate:stream_tags=timecode:format_tags=timecode:frame_tags=timecode",
                   "-read_intervals", "%+#1", "-show_frames", "-of", "default=nw=1", FileUrl(lPath)},
                  lProbe, pError))
    return pError = "cannot read the timecode of " + lPath + ": " + pError, false;
  pTimecode = ProbeValue(lProbe, "TAG:timecode");
  if (pTimecode.empty())
    return pError = lPath + " carries no timecode that ffmpeg reads (a video's timecode track or metadata); " +
                    "give the start as PROPERTY=HH:MM:SS:FF",
           false;
  // An image sequence's rate is the scene's by construction (one plate per
  // frame); a video's is its own, and its timecode counts in it.
  const std::string lRate = ProbeValue(lProbe, "r_frame_rate");
  long long lNum = 0, lDen = 0;
  if (mKind == Kind::Video && sscanf(lRate.c_str(), "%lld/%lld", &lNum, &lDen) == 2 && lDen > 0 &&
      lNum * pRateDenominator != static_cast<long long>(pRateNumerator) * lDen)
    return pError = lPath + " runs at " + lRate + " frames a second and the scene at " +
                    std::to_string(pRateNumerator) + "/" + std::to_string(pRateDenominator) +
                    ", so its timecode would drift from the one shown; give --fps at the plate's rate",
           false;
  if (pTimecode.find(';') != std::string::npos)
    return pError = lPath + " has a drop-frame timecode " + pTimecode +
                    "; timecode sources count whole frames, so give the start as PROPERTY=HH:MM:SS:FF",
           false;
  return true;
}

void Background::Close() {
  if (mVideo) mVideo->Stop();
  mVideo.reset();
  if (mPlates) mPlates->Stop();
  mPlates.reset();
  mKind = Kind::None;
  mPath.clear();
  mProbedPath.clear();
}

}  // namespace vthud_tool
