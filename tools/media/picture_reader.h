#ifndef VTHUD_TOOLS_PICTURE_READER_H
#define VTHUD_TOOLS_PICTURE_READER_H
// Pictures decoded in-process by FFmpeg's libraries: one picture file, a run
// of an image sequence or a video, each frame sent through a filter chain
// into the one pixel format the road needs. A reader can decode ahead of the
// draws on a thread of its own, a few frames deep.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "av_common.h"

namespace vthud_tool {

struct ReaderSource {
  std::string url;               // as the libraries take it ("file:..." for files)
  std::string name;              // as messages name it
  const char* format = nullptr;  // the demuxer ("image2" for pictures), null: probed
  AvOptions options;             // the demuxer's
  // Pictures: a broken one ends the reader with its error. A video instead
  // goes on past a frame that does not decode, as players do.
  bool stopOnError = false;
  bool frameThreads = false;  // decode frames in parallel (picture sequences)
  // One decoding thread: a probe decodes one frame, and every thread of a
  // decoder makes (and zeroes) frame buffers of its own.
  bool oneThread = false;
};

// A file as the libraries are given it: with the file protocol named, so that
// a name holding a colon ("shot:a/p.%04d.png") is not taken for another protocol.
std::string FileUrl(const std::string& pPath);
// One picture, read by the image2 demuxer, which takes any name as it stands.
ReaderSource PictureSource(const std::string& pPath);
// A video file: its container probed, its pictures decoded on the decoder's own threads.
ReaderSource VideoSource(const std::string& pPath);

// What a probe finds of the first video stream.
struct StreamFacts {
  int width = 0, height = 0;
  std::string pixelFormat;             // FFmpeg's name ("rgba64le", "yuv422p10le", ...)
  std::string colorSpace, colorRange;  // FFmpeg's names, "" when unknown
  AVRational rate{0, 1};               // its frame rate, 0/1 when it has none
  long long frames = 0;                // as the container says, 0 when it does not
  std::string timecode;                // the container's: a timecode track or tag
};

// Opens pSource and reads its first video stream's facts. False with "cannot
// read NAME: reason", or "NAME has no video stream".
bool ProbeStream(const ReaderSource& pSource, StreamFacts& pFacts, std::string& pError);

// A frame's own timecode "HH:MM:SS:FF": its "timecode" metadata (a DPX
// header's) or its SMPTE 12M side data (an H.264 stream's SEI), counted at
// pRate; "" when it has none.
std::string FrameTimecode(const AVFrame& pFrame, AVRational pRate);

// The timecode of pSource's first picture: its own (FrameTimecode), else the
// container's; "" when it has none. Decoded on one thread, with no conversion.
// pFacts is the stream's. False with "cannot read NAME: reason".
bool FirstTimecode(const ReaderSource& pSource, StreamFacts& pFacts, std::string& pTimecode, std::string& pError);

class PictureReader {
 public:
  PictureReader() = default;
  ~PictureReader();
  PictureReader(const PictureReader&) = delete;
  PictureReader& operator=(const PictureReader&) = delete;

  // The input and its video stream's decoder. False with one line naming it.
  bool Open(const ReaderSource& pSource, std::string& pError);
  // What each frame goes through before it is given: a chain in FFmpeg's
  // filter syntax ("" for none) and the format it ends in (AV_PIX_FMT_NONE:
  // frames as decoded, for probes).
  void SetOutput(const std::string& pChain, AVPixelFormat pFormat);
  const AVStream* Stream() const { return mStream; }
  const StreamFacts& Facts() const { return mFacts; }
  // Starts again at the first frame at or after pSeconds from the stream's
  // start (frame-exact: a seek to the keyframe before, then what lies before
  // is decoded and dropped). Before reading ahead only.
  bool SeekTo(double pSeconds, std::string& pError);
  // The next frame, on the caller's thread: false at the end (pEnded) or on
  // an error (pError).
  bool Next(AvFramePtr& pFrame, bool& pEnded, std::string& pError);

  // Decodes on a thread of its own, at most pDepth frames ahead of Take().
  void StartAhead(int pDepth);
  // The reader stops after pTotal frames in all (0: at the end of its input).
  void SetLimit(long long pTotal);
  // The next frame read ahead; as Next().
  bool Take(AvFramePtr& pFrame, bool& pEnded, std::string& pError);
  // Ends the thread; frames still waiting are dropped.
  void Stop();

 private:
  struct Entry {
    AvFramePtr frame;
    bool ended = false;
    std::string error;
  };
  bool Decode(AvFramePtr& pFrame, bool& pEnded, std::string& pError);
  void Ahead();

  ReaderSource mSource;
  AvInputPtr mInput;
  AvCodecPtr mCodec;
  AVStream* mStream = nullptr;
  StreamFacts mFacts;
  FilterChain mChain;
  std::string mChainText;
  AVPixelFormat mFormat = AV_PIX_FMT_RGBA;
  AvPacketPtr mPacket;
  AvFramePtr mDecoded;
  bool mInputEnded = false, mDecoderEnded = false, mChainEnded = false;
  int64_t mSkipBefore = AV_NOPTS_VALUE;

  std::thread mThread;
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<Entry> mQueue;
  int mDepth = 0;
  long long mLimit = 0, mMade = 0;
  bool mStopping = false, mDone = false;
};

}  // namespace vthud_tool

#endif
