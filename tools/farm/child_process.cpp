#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace vthud_tool {

ChildProcess::~ChildProcess() {
  if (mPid > 0) Stop();
  if (!mErrorFile.empty()) unlink(mErrorFile.c_str());
}

bool ChildProcess::Start(const std::vector<std::string>& pArguments, Direction pDirection, std::string& pError,
                         const char* pProgram) {
  mProgram = pProgram;
  int lPipe[2];
  if (pipe2(lPipe, O_CLOEXEC) != 0) return pError = std::string("cannot make a pipe: ") + strerror(errno), false;
  // Its messages go to a temporary file, read back for the error line.
  char lTemplate[] = "/tmp/vthud-child-XXXXXX";
  const int lErrors = mkstemp(lTemplate);
  if (lErrors < 0) {
    close(lPipe[0]);
    close(lPipe[1]);
    return pError = std::string("cannot make a temporary file: ") + strerror(errno), false;
  }
  mErrorFile = lTemplate;
  const bool lWriting = pDirection == Direction::WriteToIt;
  const int lChildEnd = lWriting ? lPipe[0] : lPipe[1];
  const int lOurEnd = lWriting ? lPipe[1] : lPipe[0];
  posix_spawn_file_actions_t lActions;
  posix_spawn_file_actions_init(&lActions);
  posix_spawn_file_actions_adddup2(&lActions, lChildEnd, lWriting ? 0 : 1);
  if (!lWriting) posix_spawn_file_actions_addopen(&lActions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&lActions, lErrors, 2);
  posix_spawnattr_t lAttributes;
  posix_spawnattr_init(&lAttributes);
  posix_spawnattr_setpgroup(&lAttributes, 0);
  sigset_t lDefault;
  sigemptyset(&lDefault);
  sigaddset(&lDefault, SIGINT);
  sigaddset(&lDefault, SIGPIPE);
  posix_spawnattr_setsigdefault(&lAttributes, &lDefault);
  posix_spawnattr_setflags(&lAttributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> lArguments{mProgram};
  lArguments.insert(lArguments.end(), pArguments.begin(), pArguments.end());
  std::vector<char*> lArgv;
  for (std::string& lArgument : lArguments) lArgv.push_back(&lArgument[0]);
  lArgv.push_back(nullptr);
  const int lStatus = posix_spawnp(&mPid, mProgram.c_str(), &lActions, &lAttributes, lArgv.data(), environ);
  posix_spawn_file_actions_destroy(&lActions);
  posix_spawnattr_destroy(&lAttributes);
  close(lChildEnd);
  close(lErrors);
  if (lStatus != 0) {
    mPid = -1;
    close(lOurEnd);
    pError = "cannot run " + mProgram + ": " + strerror(lStatus) + " (install it with scripts/install-deps.sh)";
    return false;
  }
  mPipe = lOurEnd;
  return true;
}

bool ChildProcess::Write(const void* pData, size_t pSize) {
  const char* lData = static_cast<const char*>(pData);
  while (pSize > 0) {
    const ssize_t lWritten = write(mPipe, lData, pSize);
    if (lWritten < 0 && errno == EINTR) continue;
    if (lWritten <= 0) return false;
    lData += lWritten;
    pSize -= static_cast<size_t>(lWritten);
  }
  return true;
}

bool ChildProcess::Read(void* pData, size_t pSize, bool& pEnded) {
  char* lData = static_cast<char*>(pData);
  size_t lDone = 0;
  pEnded = false;
  while (lDone < pSize) {
    const ssize_t lRead = read(mPipe, lData + lDone, pSize - lDone);
    if (lRead < 0 && errno == EINTR) continue;
    if (lRead < 0) return false;
    if (lRead == 0) {
      pEnded = lDone == 0;
      return false;
    }
    lDone += static_cast<size_t>(lRead);
  }
  return true;
}

bool ChildProcess::ReadAll(std::string& pText, size_t pLimit) {
  char lBuffer[4096];
  for (;;) {
    const ssize_t lRead = read(mPipe, lBuffer, sizeof lBuffer);
    if (lRead < 0 && errno == EINTR) continue;
    if (lRead < 0) return false;
    if (lRead == 0) return true;
    if (pText.size() + static_cast<size_t>(lRead) > pLimit) return false;
    pText.append(lBuffer, static_cast<size_t>(lRead));
  }
}

bool ChildProcess::Finish(std::string& pError) {
  if (mPipe >= 0) close(mPipe);
  mPipe = -1;
  if (mPid <= 0) return true;
  int lStatus = 0;
  while (waitpid(mPid, &lStatus, 0) < 0 && errno == EINTR) {
  }
  mPid = -1;
  if (WIFEXITED(lStatus) && WEXITSTATUS(lStatus) == 0) return true;
  const std::string lLast = LastLine(mErrorFile);
  if (WIFEXITED(lStatus) && WEXITSTATUS(lStatus) == 127)
    pError = "cannot run " + mProgram + " (install it with scripts/install-deps.sh)";
  else if (WIFEXITED(lStatus))
    pError = mProgram + " failed with exit status " + std::to_string(WEXITSTATUS(lStatus));
  else
    pError = mProgram + " was killed by signal " + std::to_string(WTERMSIG(lStatus));
  if (!lLast.empty()) pError += ": " + lLast;
  return false;
}

void ChildProcess::Stop() {
  if (mPid > 0) kill(mPid, SIGTERM);
  std::string lIgnored;
  Finish(lIgnored);
}

std::string LastLine(const std::string& pFile) {
  FILE* lFile = fopen(pFile.c_str(), "rb");
  if (!lFile) return std::string();
  std::string lLast, lLine;
  char lBuffer[4096];
  size_t lRead;
  while ((lRead = fread(lBuffer, 1, sizeof lBuffer, lFile)) > 0)
    for (size_t i = 0; i < lRead; ++i) {
      const char c = lBuffer[i];
      if (c == '\n' || c == '\r') {
        if (lLine.find_first_not_of(" \t") != std::string::npos) lLast = lLine;
        lLine.clear();
      } else if (lLine.size() < 300) {
        lLine += (c >= 32 && c < 127) ? c : '?';
      }
    }
  fclose(lFile);
  if (lLine.find_first_not_of(" \t") != std::string::npos) lLast = lLine;
  return lLast;
}

}  // namespace vthud_tool
