#include "background.h"

#include "canvas.h"
#include "plate_facts.h"

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

// Plates Qt does not read, or reads only at 8 bits: always decoded by FFmpeg.
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

// Frames a reader decodes ahead of the draws: enough to keep the decoder
// busy while a frame is drawn, few enough to cost little memory.
const int kAhead = 2;

// The long-running readers give their frames bottom row first, as GL takes
// them (vflip only turns the rows' order: no pixel is copied for it). Where
// the chain pads, FitFilter flips before the pad, which then pads in place.
const char* const kBottomUp = ",vflip";

// One 1920 x 1080 RGBA frame, rows in the order the chain gave them.
void CopyRgba(const AVFrame& pFrame, vthost::Image& pImage, bool pBottomUp) {
  pImage.width = kCanvasWidth;
  pImage.height = kCanvasHeight;
  pImage.bottomUp = pBottomUp;
  pImage.held.reset();
  pImage.rgba.resize(kCanvasBytes);
  const size_t lRow = static_cast<size_t>(kCanvasWidth) * 4;
  for (int y = 0; y < kCanvasHeight; ++y)
    memcpy(pImage.rgba.data() + y * lRow, pFrame.data[0] + static_cast<ptrdiff_t>(y) * pFrame.linesize[0], lRow);
}

// The next frame read ahead, as RGBA bottom row first. Rows that lie packed
// are held where the chain left them, not copied.
bool ReadFrame(PictureReader& pReader, vthost::Image& pImage, std::string& pWhy) {
  AvFramePtr lFrame;
  bool lEnded = false;
  if (!pReader.Take(lFrame, lEnded, pWhy)) return false;
  if (lFrame->width != kCanvasWidth || lFrame->height != kCanvasHeight)
    return pWhy = "a frame of another size", false;
  const ptrdiff_t lRow = static_cast<ptrdiff_t>(kCanvasWidth) * 4;
  // Row by row from data[0] the rows come bottom first; packed, they are
  // already the picture GL takes.
  if (lFrame->linesize[0] != lRow) {
    CopyRgba(*lFrame, pImage, true);
    return true;
  }
  const uint8_t* lBottom = lFrame->data[0];
  AVFrame* lHeld = lFrame.release();
  pImage.held =
      std::shared_ptr<const uint8_t>(lBottom, [lHeld](const uint8_t*) mutable { av_frame_free(&lHeld); });
  pImage.width = kCanvasWidth;
  pImage.height = kCanvasHeight;
  pImage.bottomUp = true;
  std::vector<uint8_t>().swap(pImage.rgba);
  return true;
}

// One picture decoded through pFilter into the canvas.
bool DecodeStill(const std::string& pPath, const std::string& pFilter, vthost::Image& pImage,
                 std::string& pError) {
  PictureReader lReader;
  AvFramePtr lFrame;
  bool lEnded = false;
  std::string lWhy;
  if (lReader.Open(PictureSource(pPath), lWhy)) {
    lReader.SetOutput(pFilter, AV_PIX_FMT_RGBA);
    if (lReader.Next(lFrame, lEnded, lWhy)) {
      CopyRgba(*lFrame, pImage, false);
      return true;
    }
  }
  pError = "cannot decode " + pPath + (lWhy.empty() ? std::string(": it holds no picture") : ": " + lWhy);
  return false;
}

// One plate decoded at its own precision and shown through the show's colour.
bool DecodeManagedStill(const std::string& pPath, const ShowColour& pColour, std::vector<uint8_t>& pRaw,
                        vthost::Image& pImage, std::string& pError) {
  PictureReader lReader;
  PlateLayout lLayout;
  std::string lWhy;
  if (!lReader.Open(PictureSource(pPath), pError)) return false;
  if (!LayoutFromFacts(lReader.Facts(), pPath, false, lLayout, pError)) return false;
  SetManagedOutput(lReader, lLayout);
  AvFramePtr lFrame;
  bool lEnded = false;
  if (lReader.Next(lFrame, lEnded, lWhy) && CopyManagedFrame(*lFrame, lLayout, pRaw)) {
    ManagedToCanvas(lLayout, pColour, pRaw.data(), pImage);
    return true;
  }
  pError = "cannot decode " + pPath + (lWhy.empty() ? std::string(": it holds no picture") : ": " + lWhy);
  return false;
}

}  // namespace

std::string FitFilter(const std::string& pMatrix, const std::string& pRange, const std::string& pLut,
                      bool pBottomUp) {
  // Accurate rounding: the fast path is 1 or 2 levels off on flat colours.
  std::string lChain = "scale=1920:1080:force_original_aspect_ratio=decrease:flags=accurate_rnd+full_chroma_int";
  if (!pMatrix.empty()) lChain += ":in_color_matrix=" + pMatrix;
  if (!pRange.empty()) lChain += ":in_range=" + pRange;
  // The format right after the scale makes that scale the one that turns YUV to RGB.
  lChain += pLut.empty() ? ",format=rgba" : ",format=rgb48le,lut3d=file=" + FilterValue(pLut) + ",format=rgba";
  // Upside down the picture lies half a row lower, so that turned back it
  // lies where the upright chain puts it. vflip after pad would make pad copy
  // the frame (it pads in place only into rows that run downwards).
  if (pBottomUp) lChain += kBottomUp;
  return lChain + ",pad=1920:1080:(ow-iw)/2:" + (pBottomUp ? "(oh-ih+1)/2" : "(oh-ih)/2") + ":color=black";
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
  FitToCanvas(lImage, pImage);
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
  // A feed is shown by its own colour tags (through the LUT if one is given); the show's colour is for plates.
  if (IsFeedUrl(pSpec)) return OpenFeed(pSpec, pError);
  unsigned r, g, b;
  char lEnd;
  if (pSpec.size() == 7 && pSpec[0] == '#' &&
      sscanf(pSpec.c_str() + 1, "%02x%02x%02x%c", &r, &g, &b, &lEnd) == 3 &&
      pSpec.find_first_not_of("#0123456789abcdefABCDEF") == std::string::npos) {
    if (!mLut.empty()) return pError = "--background-lut applies to a picture, not to a colour", false;
    FillCanvas(mStill, static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
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
  // Not an image: a video, decoded by its own colour tags, fitted and letterboxed the same way.
  mVideo.reset(new PictureReader);
  if (!mVideo->Open(VideoSource(lPath), pError)) {
    mVideo.reset();
    return pError = "cannot read background " + pSpec + " as an image or a video: " + pError, false;
  }
  const StreamFacts& lFacts = mVideo->Facts();
  if (mColour.Active()) {
    // At full precision, for the show's colour to take it to the display.
    if (!LayoutFromFacts(lFacts, lPath, true, mLayout, pError)) return mVideo.reset(), false;
    SetManagedOutput(*mVideo, mLayout);
  } else {
    std::string lMatrix, lRange;
    DecodeColour(lFacts.colorSpace, lFacts.colorRange, lFacts.width, lFacts.height, lMatrix, lRange);
    mVideo->SetOutput(FitFilter(lMatrix, lRange, mLut, true), AV_PIX_FMT_RGBA);
  }
  // The first frame is decoded while the rest of the run is set up; the
  // draws then say how many more to read.
  mVideo->SetLimit(1);
  mVideo->StartAhead(kAhead);
  mVideoSkipped = false;
  mPath = lPath;
  mKind = Kind::Video;
  mVideoFrames = 0;
  return true;
}

void Background::PlanDraws(std::vector<long long> pFrames, bool pAll) {
  mDrawFrames = std::move(pFrames);
  if (mKind != Kind::Video || mVideoSkipped) return;
  // Each draw takes the next frame: a short run decodes no more than it shows.
  mVideo->SetLimit(pAll && !mDrawFrames.empty() ? static_cast<long long>(mDrawFrames.size()) : 0);
}

bool Background::ForDraw(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError) {
  switch (mKind) {
    case Kind::None: pImage.rgba.clear(); return true;
    case Kind::Still:
      if (pImage.rgba.size() != mStill.rgba.size() || pIndex == 0) pImage = mStill;
      return true;
    case Kind::Sequence: return SequencePlate(pIndex, pFrame, pImage, pError);
    case Kind::Feed: return FeedPicture(pIndex, pImage);
    case Kind::Video: {
      std::string lWhy;
      const bool lRead = mColour.Active() ? ReadManagedFrame(*mVideo, mLayout, mColour, mRaw, pImage, lWhy)
                                          : ReadFrame(*mVideo, pImage, lWhy);
      if (!lRead) {
        mVideo->Stop();
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
  // of the timestamps, and every frame before the position is dropped.
  const double lSeconds =
      (static_cast<double>(pDraws) - 0.5) * pRateDenominator / static_cast<double>(pRateNumerator);
  if (!mVideo->SeekTo(lSeconds, pError)) return false;
  mVideo->SetLimit(0);
  mVideo->StartAhead(kAhead);
  mVideoSkipped = true;
  mVideoFrames = pDraws;
  return true;
}

bool Background::ReadPlate(const std::string& pPath, vthost::Image& pImage, std::string& pError) {
  if (mColour.Active()) return DecodeManagedStill(pPath, mColour, mRaw, pImage, pError);
  // Stills carry no colour tags worth trusting; FFmpeg's own choice (BT.601 for JPEG) stands.
  if (FfmpegPlate(pPath) || !mLut.empty()) return DecodeStill(pPath, FitFilter("", "", mLut), pImage, pError);
  return ReadFitted(pPath, pImage, pError);
}

// The sequence reader's source: plates from pFrame on, numbered as the
// pattern says, decoded on frame threads. A plate that does not decode ends
// the run there instead of being skipped.
ReaderSource Background::SequenceSource(long long pFrame) const {
  ReaderSource lSource;
  lSource.url = FileUrl(mSpec);
  lSource.name = mSpec;
  lSource.format = "image2";
  lSource.options = {{"pattern_type", "sequence"}, {"start_number", std::to_string(pFrame)}};
  lSource.stopOnError = true;
  lSource.frameThreads = true;
  return lSource;
}

bool Background::StartRun(long long pFrame, long long pRun, const std::string& pChain, AVPixelFormat pFormat,
                          std::string& pError) {
  mPlates.reset(new PictureReader);
  if (!mPlates->Open(SequenceSource(pFrame), pError)) {
    mPlates.reset();
    return false;
  }
  mPlates->SetOutput(pChain, pFormat);
  mPlates->SetLimit(pRun > 0 ? pRun : 0);
  // A managed plate is 16 MB or more at 16 bits: one waits, the decoder's own threads hold the rest.
  mPlates->StartAhead(mColour.Active() ? 1 : kAhead);
  mPlatesNext = pFrame;
  mPlatesLeft = pRun > 0 ? pRun : -1;
  return true;
}

bool Background::SequencePlate(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError) {
  const std::string lPath = mPattern.Expand(pFrame);
  const std::string lPlate = "the background plate of frame " + std::to_string(pFrame);
  // Checked before each read: the sequence reader would skip a missing
  // first plate, and end quietly at a gap.
  if (!QFileInfo(QString::fromStdString(lPath)).isFile()) return pError = lPlate + " is missing: " + lPath, false;
  // Sequence plates carry no colour tags worth trusting: FFmpeg's own choice (BT.601 for JPEG) stands.
  long long lRun = 1;  // consecutive frames from this draw on
  if (pIndex >= 0 && static_cast<size_t>(pIndex) < mDrawFrames.size() && mDrawFrames[pIndex] == pFrame)
    while (static_cast<size_t>(pIndex + lRun) < mDrawFrames.size() && mDrawFrames[pIndex + lRun] == pFrame + lRun)
      ++lRun;
  // The reader started while the first plate was probed has no end of its own: this run is its end.
  if (mPlates && mPlatesLeft < 0 && pFrame == mPlatesNext) {
    mPlatesLeft = lRun;
    mPlates->SetLimit(lRun);
  }
  if (!mPlates || pFrame != mPlatesNext || mPlatesLeft == 0) {
    if (mPlates) mPlates->Stop();
    mPlates.reset();
    // The image2 demuxer numbers sequence files with an int.
    if (lRun > 1 && pFrame >= INT_MIN && pFrame + lRun <= INT_MAX) {
      // Through the show's colour, a run decodes in the layout of its first plate.
      if (mColour.Active() && !ProbeRunLayout(lPath, pError)) return pError = lPlate + ": " + pError, false;
      const bool lStarted = mColour.Active()
                                ? StartRun(pFrame, lRun, ManagedChain(mLayout), ManagedFormat(mLayout), pError)
                                : StartRun(pFrame, lRun, FitFilter("", "", mLut, true), AV_PIX_FMT_RGBA, pError);
      if (!lStarted) return pError = lPlate + ": " + pError, false;
    }
  }
  if (mPlates) {
    std::string lWhy;
    if (mColour.Active() ? ReadManagedFrame(*mPlates, mLayout, mColour, mRaw, pImage, lWhy)
                         : ReadFrame(*mPlates, pImage, lWhy)) {
      ++mPlatesNext;
      --mPlatesLeft;
      return true;
    }
    // The run ended early, at this plate or at a broken one the reader had read
    // ahead to. Decoded alone, a broken plate gives its own message; a sound
    // one is shown, and the next draw starts a new run.
    mPlates->Stop();
    mPlates.reset();
  }
  if (mColour.Active() ? DecodeManagedStill(lPath, mColour, mRaw, pImage, pError)
                       : DecodeStill(lPath, FitFilter("", "", mLut), pImage, pError))
    return true;
  pError = lPlate + ": " + pError;
  return false;
}

bool Background::CheckFirstPlate(long long pFrame, std::string& pError) {
  if (mKind != Kind::Sequence) return true;
  const std::string lPath = mPattern.Expand(pFrame);
  if (!mColour.Active()) {
    // A plate that is missing or does not decode is named by the draw that needs it.
    std::string lIgnored;
    if (QFileInfo(QString::fromStdString(lPath)).isFile() && pFrame >= INT_MIN && pFrame <= INT_MAX)
      StartRun(pFrame, 0, FitFilter("", "", mLut, true), AV_PIX_FMT_RGBA, lIgnored);
    return true;
  }
  const std::string lPlate = "the background plate of frame " + std::to_string(pFrame);
  if (!QFileInfo(QString::fromStdString(lPath)).isFile()) return pError = lPlate + " is missing: " + lPath, false;
  // Every plate but a float one (an EXR) decodes to 16-bit RGBA, so its
  // reader starts while the plate is probed, the probe only confirming it;
  // the draws then say where its run ends.
  std::string lIgnored;
  const QString lSuffix = QFileInfo(QString::fromStdString(lPath)).suffix().toLower();
  if (lSuffix != "exr" && pFrame >= INT_MIN && pFrame <= INT_MAX) {
    mLayout = PlateLayout();
    StartRun(pFrame, 0, ManagedChain(mLayout), ManagedFormat(mLayout), lIgnored);
  }
  if (!ProbePlateLayout(PictureSource(lPath), false, mProbedLayout, pError)) {
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
  return ProbePlateLayout(PictureSource(pPath), false, mLayout, pError);
}

bool Background::PlateTimecode(long long pFirstFrame, int pRateNumerator, int pRateDenominator,
                               std::string& pTimecode, std::string& pError) const {
  if (mKind == Kind::Feed)
    return pError = "a live feed's timecode comes with each picture, not ahead of it", false;
  const std::string lPath = mKind == Kind::Sequence ? mPattern.Expand(pFirstFrame) : mPath;
  if (lPath.empty()) return pError = "from-background needs a video or image-sequence --background", false;
  // The first picture's own timecode (a DPX header's, or a stream's S12M
  // side data) comes first, then the container's. A session asks more than
  // once: the plate is read once.
  if (lPath != mTimecodePath && mKind == Kind::Video) {
    PlateFacts lFacts;
    if (!ProbePlateFacts(lPath, lFacts, pError))
      return pError = "cannot read the timecode of " + lPath + ": " + pError, false;
    mTimecode = lFacts.timecode;
    mTimecodeRate = AVRational{lFacts.rateNumerator, lFacts.rateDenominator};
    mTimecodePath = lPath;
  }
  if (lPath != mTimecodePath) {
    StreamFacts lFacts;
    if (!FirstTimecode(PictureSource(lPath), lFacts, mTimecode, pError))
      return pError = "cannot read the timecode of " + lPath + ": " + pError, false;
    mTimecodeRate = lFacts.rate;
    mTimecodePath = lPath;
  }
  pTimecode = mTimecode;
  if (pTimecode.empty())
    return pError = lPath + " carries no timecode that FFmpeg reads (a video's timecode track or metadata); " +
                    "give the start as PROPERTY=HH:MM:SS:FF",
           false;
  // An image sequence's rate is the scene's by construction (one plate per
  // frame); a video's is its own, and its timecode counts in it.
  const AVRational lPlateRate = mTimecodeRate;
  const long long lNum = lPlateRate.num, lDen = lPlateRate.den;
  const std::string lRate = std::to_string(lNum) + "/" + std::to_string(lDen);
  if (mKind == Kind::Video && lNum > 0 && lDen > 0 &&
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

bool Background::OpenFeed(const std::string& pUrl, std::string& pError) {
  const std::string lProblem = FeedUrlProblem(pUrl);
  if (!lProblem.empty()) return pError = "--background " + lProblem, false;
  mFeed.reset(new LiveFeed);
  mFeed->SetStopCheck(mStopCheck);
  if (!mFeed->Open(pUrl, pError)) return mFeed.reset(), false;
  const StreamFacts& lFacts = mFeed->Facts();
  std::string lMatrix, lRange;
  DecodeColour(lFacts.colorSpace, lFacts.colorRange, lFacts.width, lFacts.height, lMatrix, lRange);
  if (!mLut.empty() || lFacts.width != kCanvasWidth || lFacts.height != kCanvasHeight) {
    mFeed->SetChain(FitFilter(lMatrix, lRange, mLut, true));
  } else {
    // HD as it comes: the scaler's own fast YUV to RGB, without the exact
    // rounding a plate gets, which costs a frame's time at 1080p.
    mFeed->SetChain("scale=in_color_matrix=" + lMatrix + (lRange.empty() ? "" : ":in_range=" + lRange) +
                    ",format=rgba" + kBottomUp);
  }
  const AVRational lRate = lFacts.rate.num > 0 && lFacts.rate.den > 0 ? lFacts.rate : AVRational{30, 1};
  mFeedPeriod = std::chrono::duration_cast<FeedClock::duration>(
      std::chrono::duration<double>(static_cast<double>(lRate.den) / lRate.num));
  mFeedDue = FeedClock::time_point();
  mInGap = false;
  mFeedDrawn = 0;
  mFeed->Start([this](const std::string& pText) { Warn(pText); });
  mPath = pUrl;
  mKind = Kind::Feed;
  return true;
}

bool Background::FeedPicture(long long pIndex, vthost::Image& pImage) {
  const FeedClock::time_point lNow = FeedClock::now();
  // A frame's grace past when the next picture was due (the demuxer gives a
  // picture as the next one starts); after that the last one is drawn again,
  // at the stream's rate, until one comes.
  if (mFeedDue == FeedClock::time_point()) mFeedDue = lNow + 2 * mFeedPeriod;
  vthud_tool::FeedPicture lPicture;
  if (mFeed->Take(lPicture, std::max(FeedClock::duration::zero(), mFeedDue - lNow))) {
    const FeedClock::time_point lTaken = FeedClock::now();
    const double lGap = std::chrono::duration<double>(lPicture.arrival - mGapSince).count();
    if (mInGap && lGap > GapWorthSaying()) {
      char lSeconds[32];
      snprintf(lSeconds, sizeof lSeconds, "%.2f", lGap);
      Warn("--background " + mSpec + ": no picture for " + lSeconds + " s; draws " + std::to_string(mGapDraw + 1) +
           " to " + std::to_string(pIndex) + " held the last one");
    }
    mInGap = false;
    mFeedDue = lTaken + 2 * mFeedPeriod;
    mFeedLast = std::move(lPicture.frame);
    ++mFeedDrawn;
    mBook.Drawn(pIndex, lPicture.arrival);
    std::lock_guard<std::mutex> lLock(mStampMutex);
    mStamps[pIndex] = {lPicture.arrival, lPicture.timecode};
  } else {
    if (!mInGap) {
      mInGap = true;
      mGapDraw = pIndex;
      mGapSince = mFeedDue - 2 * mFeedPeriod;
    }
    mFeedDue = std::max(mFeedDue + mFeedPeriod, FeedClock::now());
    mBook.Held();
  }
  if (mFeedLast && mFeedLast->width == kCanvasWidth && mFeedLast->height == kCanvasHeight)
    CopyRgba(*mFeedLast, pImage, true);
  else
    FillCanvas(pImage, 0, 0, 0);
  return true;
}

bool Background::FeedStamp(long long pIndex, FeedClock::time_point& pArrival, std::string& pTimecode) {
  std::lock_guard<std::mutex> lLock(mStampMutex);
  const auto lFound = mStamps.find(pIndex);
  mStamps.erase(mStamps.begin(), mStamps.lower_bound(pIndex));
  if (lFound == mStamps.end()) return false;
  pArrival = lFound->second.first;
  pTimecode = lFound->second.second;
  mStamps.erase(lFound);
  return true;
}

std::string Background::FeedSummary() {
  if (mKind != Kind::Feed || !mFeed) return std::string();
  mFeed->Stop();
  if (mInGap && std::chrono::duration<double>(FeedClock::now() - mGapSince).count() > GapWorthSaying())
    Warn("--background " + mSpec + ": no picture since draw " + std::to_string(mGapDraw + 1) +
         "; the last one was held to the end");
  mInGap = false;
  const FeedCounts lCounts = mFeed->Counts();
  std::string lText = "feed " + mSpec + ": " + std::to_string(lCounts.in) + " frames in, " +
                      std::to_string(mFeedDrawn) + " drawn, " + std::to_string(lCounts.dropped) +
                      " dropped (overtaken while waiting); " + std::to_string(mBook.HeldDraws()) +
                      " draws held the last picture";
  if (lCounts.reopened > 0)
    lText += "; the sender was taken up again " + std::to_string(lCounts.reopened) + " times";
  lText += "\n";
  const std::vector<double> lLatency = mBook.LatencyMs();
  if (!lLatency.empty()) {
    char lLine[256];
    snprintf(lLine, sizeof lLine,
             "feed latency added, a picture's arrival to its output packet's hand-off: median %.1f ms, 95th "
             "percentile %.1f ms, 99th percentile %.1f ms (%zu frames)\n",
             Quantile(lLatency, 0.5), Quantile(lLatency, 0.95), Quantile(lLatency, 0.99), lLatency.size());
    lText += lLine;
  }
  return lText;
}

void Background::Close() {
  if (mFeed) mFeed->Stop();
  mFeed.reset();
  mFeedLast.reset();
  if (mVideo) mVideo->Stop();
  mVideo.reset();
  if (mPlates) mPlates->Stop();
  mPlates.reset();
  mKind = Kind::None;
  mPath.clear();
  mProbedPath.clear();
  mTimecodePath.clear();
}

}  // namespace vthud_tool
