#ifndef VTHUD_TOOLS_BACKGROUND_H
#define VTHUD_TOOLS_BACKGROUND_H
// What the overlay is drawn over: nothing, a colour, one picture, a plate per
// frame from an image sequence, or the frames of a video. Every picture is
// fitted to the 1920 x 1080 canvas keeping its shape, with black bars. Qt
// reads a still in the common formats; image sequences, EXR, DPX and TIFF,
// video, and any picture shown through a LUT are decoded in-process by
// FFmpeg's libraries, whose scaler fits and letterboxes them.
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame_pattern.h"
#include "live_feed.h"
#include "managed_plate.h"
#include "picture_reader.h"
#include "png_image.h"
#include "show_colour.h"

namespace vthud_tool {

class Background {
 public:
  // pSpec: "" (none), "#RRGGBB", "test-picture", an image file, an
  // image-sequence pattern, a video file, or a camera's feed (srt:// or
  // udp://, MPEG-TS), which is drawn as its pictures come. pTestPicture is the path
  // "test-picture" stands for. pLut: a .cube file every picture is shown
  // through (FFmpeg's lut3d), or "" to show the values as stored. pColour:
  // the show's config, display and view that plates from files are shown
  // through (null or an empty config: none). Colours and the test picture
  // are display values already and are shown as they are.
  bool Open(const std::string& pSpec, const std::string& pTestPicture, std::string& pError,
            const std::string& pLut = std::string(), const ColourRequest* pColour = nullptr);
  // Through the show's colour, the first plate of a sequence (scene frame
  // pFrame) is probed before anything is drawn, so that a plate the
  // transform cannot take is refused before any output is made. The layout
  // found is kept for the run of plates that starts there. Either way the
  // sequence's reader starts there, so that its first plates are decoded
  // while the rest of the run is set up.
  bool CheckFirstPlate(long long pFrame, std::string& pError);
  // The show's colour the plates go through; not Active() without one.
  const ShowColour& Colour() const { return mColour; }
  bool Empty() const { return mKind == Kind::None; }
  // True when the picture changes from draw to draw.
  bool Changes() const { return mKind == Kind::Sequence || mKind == Kind::Video || mKind == Kind::Feed; }
  bool IsVideo() const { return mKind == Kind::Video; }
  bool IsFeed() const { return mKind == Kind::Feed; }
  // A feed's stream, as opened.
  const StreamFacts& FeedFacts() const { return mFeed->Facts(); }
  // Where a feed says what happens to it (a gap in its pictures).
  void SetWarn(std::function<void(const std::string&)> pWarn) { mWarn = std::move(pWarn); }
  // What ends a wait for a feed's first picture besides the feed (the run being stopped).
  void SetStopCheck(std::function<bool()> pStopped) { mStopCheck = std::move(pStopped); }
  // The picture of draw pIndex of a feed: when it arrived and its timecode;
  // false for a draw that held the last picture.
  bool FeedStamp(long long pIndex, FeedClock::time_point& pArrival, std::string& pTimecode);
  // Draw pIndex's output packet left for the monitors just now.
  void HandedOff(long long pIndex) { mBook.HandedOff(pIndex); }
  // The lines that sum up a feed: pictures in, drawn and dropped, and the latency added.
  std::string FeedSummary();
  // The scene frame of every draw, in order: each run of consecutive frames
  // of an image sequence is then read by one reader, which decodes ahead on
  // threads of its own. Without it every plate is decoded alone.
  // pAll: these are all the draws (a run until stopped plans its first
  // ones only), so a video is read no further than they need.
  void PlanDraws(std::vector<long long> pFrames, bool pAll = true);
  // The picture behind draw pIndex of scene frame pFrame: the same image for
  // a colour or a still, the plate of pFrame, or the next video frame.
  // pImage keeps its buffer between calls. False with a message naming the frame.
  bool ForDraw(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError);
  // The plate's own timecode "HH:MM:SS:FF" at its first picture: a video's
  // timecode track or metadata, or the header of the plate of pFirstFrame
  // where FFmpeg exposes one. False with a message when there is none, or when
  // a video runs at another rate than the scene's pRateNumerator /
  // pRateDenominator (its timecode would drift from the one burnt in).
  bool PlateTimecode(long long pFirstFrame, int pRateNumerator, int pRateDenominator, std::string& pTimecode,
                     std::string& pError) const;
  // A chunk of a run starts its video background pDraws frames in, at the
  // scene's rate (frame-exact: a seek, then what lies before is dropped).
  bool SkipVideoFrames(long long pDraws, int pRateNumerator, int pRateDenominator, std::string& pError);
  void Close();

 private:
  enum class Kind { None, Still, Sequence, Video, Feed };
  bool OpenFeed(const std::string& pUrl, std::string& pError);
  // The next picture of the feed, or the last one held when none comes in time.
  bool FeedPicture(long long pIndex, vthost::Image& pImage);
  void Warn(const std::string& pText) const {
    if (mWarn) mWarn(pText);
  }
  // A gap in a feed's pictures worth a warning, in seconds: a quarter of a second, or three frames if longer.
  double GapWorthSaying() const { return std::max(0.25, 3 * std::chrono::duration<double>(mFeedPeriod).count()); }
  // One still: by FFmpeg for EXR, DPX, TIFF and through a LUT, else by Qt.
  bool ReadPlate(const std::string& pPath, vthost::Image& pImage, std::string& pError);
  // mLayout for a run of plates starting at pPath, probed unless it already was.
  bool ProbeRunLayout(const std::string& pPath, std::string& pError);
  ReaderSource SequenceSource(long long pFrame) const;
  // A reader of pRun plates from pFrame on (pRun 0: until the draws say),
  // through pChain into pFormat.
  bool StartRun(long long pFrame, long long pRun, const std::string& pChain, AVPixelFormat pFormat,
                std::string& pError);
  // The plate of draw pIndex (scene frame pFrame) of a sequence.
  bool SequencePlate(long long pIndex, long long pFrame, vthost::Image& pImage, std::string& pError);
  Kind mKind = Kind::None;
  std::string mSpec;
  vthost::Image mStill;
  FramePattern mPattern;
  std::unique_ptr<PictureReader> mVideo;
  long long mVideoFrames = 0;
  bool mVideoSkipped = false;  // read from a chunk's first frame on, to its end
  // A sequence: the reader of the current run of plates, the frame it
  // gives next and how many it has still to give (-1: until the draws say).
  std::vector<long long> mDrawFrames;
  std::unique_ptr<PictureReader> mPlates;
  long long mPlatesNext = 0, mPlatesLeft = 0;
  std::string mPath, mLut;  // the still's or the video's file
  // Plates through the show's colour: the raw layout of the video or of the
  // current run of plates, and its frame buffer.
  ShowColour mColour;
  PlateLayout mLayout;
  std::vector<uint8_t> mRaw;
  // A feed, the picture last drawn from it, when the next is due before the
  // last is held, and a gap in its pictures: since when, from which draw.
  std::unique_ptr<LiveFeed> mFeed;
  AvFramePtr mFeedLast;
  FeedClock::duration mFeedPeriod{};
  FeedClock::time_point mFeedDue, mGapSince;
  bool mInGap = false;
  long long mGapDraw = 0, mFeedDrawn = 0;
  FeedBook mBook;
  std::mutex mStampMutex;
  std::map<long long, std::pair<FeedClock::time_point, std::string>> mStamps;  // guarded by mStampMutex
  std::function<void(const std::string&)> mWarn;
  std::function<bool()> mStopCheck;
  // The plate last probed and its layout: a run that starts at it needs no second probe.
  std::string mProbedPath;
  PlateLayout mProbedLayout;
  // The plate whose timecode was last read, its timecode and its rate.
  mutable std::string mTimecodePath, mTimecode;
  mutable AVRational mTimecodeRate{0, 1};
};

// Reads any image Qt can and fits it into a 1920 x 1080 RGBA canvas, centred,
// with opaque black where it does not reach. False with a message.
bool ReadFitted(const std::string& pPath, vthost::Image& pImage, std::string& pError);

// The filter chain (FFmpeg's syntax) that fits a picture into the canvas as RGBA: YUV
// turned to RGB by pMatrix and pRange (FFmpeg's names; "" leaves the
// scaler's choice), then pLut ("" for none), then black bars; pBottomUp gives the rows
// bottom first, as GL takes them.
std::string FitFilter(const std::string& pMatrix, const std::string& pRange, const std::string& pLut,
                      bool pBottomUp = false);

// The matrix and range to decode a video by, from its stream's color_space and
// color_range (FFmpeg's names): its own tags, or BT.709 for untagged HD (BT.601 below 720 lines).
void DecodeColour(const std::string& pColorSpace, const std::string& pColorRange, int pWidth, int pHeight,
                  std::string& pMatrix, std::string& pRange);

}  // namespace vthud_tool

#endif
