#ifndef VTHUD_TOOLS_FFMPEG_PROCESS_H
#define VTHUD_TOOLS_FFMPEG_PROCESS_H
// ffmpeg run as a child process with one pipe: raw frames written to its
// standard input (encoding) or read from its standard output (decoding). It
// runs in a process group of its own, so a Ctrl-C meant for the tool does not
// kill it halfway through a file; the tool closes it instead.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vthud_tool {

class FfmpegProcess {
 public:
  enum class Direction { WriteToIt, ReadFromIt };
  FfmpegProcess() = default;
  ~FfmpegProcess();
  FfmpegProcess(const FfmpegProcess&) = delete;
  FfmpegProcess& operator=(const FfmpegProcess&) = delete;

  // Starts "pProgram pArguments..." found on PATH (ffmpeg, or ffprobe). False
  // with a one-line message when it cannot be started (not installed, say).
  bool Start(const std::vector<std::string>& pArguments, Direction pDirection, std::string& pError,
             const char* pProgram = "ffmpeg");
  // Whole buffers; false when the pipe broke or ended (Read: at a clean end
  // of stream pEnded is set and nothing was read).
  bool Write(const void* pData, size_t pSize);
  bool Read(void* pData, size_t pSize, bool& pEnded);
  // Everything it writes until it closes its output, at most pLimit bytes.
  bool ReadAll(std::string& pText, size_t pLimit);
  // Closes the pipe and waits; false with ffmpeg's last message on failure.
  bool Finish(std::string& pError);
  // Ends a reader early (the frames it still has are not wanted).
  void Stop();
  bool Running() const { return mPid > 0; }

 private:
  pid_t mPid = -1;
  int mPipe = -1;
  int mErrors = -1;  // ffmpeg's stderr, read back for messages
  std::string mErrorFile;
  std::string mProgram = "ffmpeg";
};

// Runs "ffprobe pArguments..." to its end and gives what it printed. False
// with ffprobe's last message when it fails.
bool RunFfprobe(const std::vector<std::string>& pArguments, std::string& pOutput, std::string& pError);

// The value of pKey in ffprobe's default "key=value" output; the first counts.
std::string ProbeValue(const std::string& pOutput, const std::string& pKey);

// The ffmpeg command's last non-empty line of diagnostics in pFile, shortened.
std::string LastLine(const std::string& pFile);

}  // namespace vthud_tool

#endif
