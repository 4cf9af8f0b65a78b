#ifndef VTHUD_TOOLS_CHILD_PROCESS_H
#define VTHUD_TOOLS_CHILD_PROCESS_H
// A program run as a child process with one pipe to its standard input or
// from its standard output (the farm's sbatch and scancel). It runs in a
// process group of its own, so a Ctrl-C meant for the tool does not kill it
// halfway; the tool waits for it instead.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vthud_tool {

class ChildProcess {
 public:
  enum class Direction { WriteToIt, ReadFromIt };
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts "pProgram pArguments..." found on PATH. False
  // with a one-line message when it cannot be started (not installed, say).
  bool Start(const std::vector<std::string>& pArguments, Direction pDirection, std::string& pError,
             const char* pProgram);
  // Whole buffers; false when the pipe broke or ended (Read: at a clean end
  // of stream pEnded is set and nothing was read).
  bool Write(const void* pData, size_t pSize);
  bool Read(void* pData, size_t pSize, bool& pEnded);
  // Everything it writes until it closes its output, at most pLimit bytes.
  bool ReadAll(std::string& pText, size_t pLimit);
  // Closes the pipe and waits; false with its last message on failure.
  bool Finish(std::string& pError);
  // Ends a reader early (the frames it still has are not wanted).
  void Stop();
  bool Running() const { return mPid > 0; }

 private:
  pid_t mPid = -1;
  int mPipe = -1;
  std::string mErrorFile;
  std::string mProgram;
};

// A command's last non-empty line of diagnostics in pFile, shortened.
std::string LastLine(const std::string& pFile);

}  // namespace vthud_tool

#endif
