#include "json_file.h"

#include <QtCore/QString>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vthud {

namespace {

const char* const kTempInfix = ".tmp-";
const size_t kTempRandom = 6;  // the XXXXXX of mkstemp

std::string Directory(const std::string& pPath) {
  const size_t lSlash = pPath.rfind('/');
  if (lSlash == std::string::npos) return ".";
  return lSlash == 0 ? "/" : pPath.substr(0, lSlash);
}

std::string BaseName(const std::string& pPath) {
  const size_t lSlash = pPath.rfind('/');
  return lSlash == std::string::npos ? pPath : pPath.substr(lSlash + 1);
}

// Removes "<name>.tmp-XXXXXX" files beside pPath whose save is over. A save
// holds an exclusive lock on its temporary while it writes, so a temporary
// that can be locked belongs to a save that was killed.
void RemoveStaleTemporaries(const std::string& pPath) {
  const std::string lDirectory = Directory(pPath);
  const std::string lPrefix = BaseName(pPath) + kTempInfix;
  DIR* lDir = opendir(lDirectory.c_str());
  if (!lDir) return;
  while (const dirent* lEntry = readdir(lDir)) {
    const std::string lName = lEntry->d_name;
    if (lName.size() != lPrefix.size() + kTempRandom || lName.compare(0, lPrefix.size(), lPrefix) != 0) continue;
    const std::string lTemp = lDirectory + "/" + lName;
    const int lFd = open(lTemp.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (lFd < 0) continue;
    struct stat lStat;
    if (fstat(lFd, &lStat) == 0 && S_ISREG(lStat.st_mode) && flock(lFd, LOCK_EX | LOCK_NB) == 0)
      unlink(lTemp.c_str());
    close(lFd);
  }
  closedir(lDir);
}

// ---- finding a place in JSON text that Qt has already accepted

struct Scanner {
  const char* begin;
  const char* p;
  const char* end;

  bool AtEnd() const { return p >= end; }
  void Space() {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
  }
  static void Append(std::string& pOut, unsigned pCode) {
    if (pCode < 0x80) {
      pOut += static_cast<char>(pCode);
    } else if (pCode < 0x800) {
      pOut += static_cast<char>(0xC0 | (pCode >> 6));
      pOut += static_cast<char>(0x80 | (pCode & 0x3F));
    } else if (pCode < 0x10000) {
      pOut += static_cast<char>(0xE0 | (pCode >> 12));
      pOut += static_cast<char>(0x80 | ((pCode >> 6) & 0x3F));
      pOut += static_cast<char>(0x80 | (pCode & 0x3F));
    } else {
      pOut += static_cast<char>(0xF0 | (pCode >> 18));
      pOut += static_cast<char>(0x80 | ((pCode >> 12) & 0x3F));
      pOut += static_cast<char>(0x80 | ((pCode >> 6) & 0x3F));
      pOut += static_cast<char>(0x80 | (pCode & 0x3F));
    }
  }
  unsigned Hex4() {
    unsigned lCode = 0;
    for (int i = 0; i < 4 && p < end; ++i, ++p) {
      const char c = *p;
      lCode = lCode * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return lCode;
  }
  // p is at the opening quote; returns the decoded text and leaves p after the closing one.
  std::string String() {
    std::string lOut;
    ++p;
    while (p < end && *p != '"') {
      if (*p != '\\') {
        lOut += *p++;
        continue;
      }
      if (++p >= end) break;
      const char e = *p++;
      switch (e) {
        case 'n': lOut += '\n'; break;
        case 't': lOut += '\t'; break;
        case 'r': lOut += '\r'; break;
        case 'b': lOut += '\b'; break;
        case 'f': lOut += '\f'; break;
        case 'u': {
          unsigned lCode = Hex4();
          if (lCode >= 0xD800 && lCode < 0xDC00 && end - p >= 6 && p[0] == '\\' && p[1] == 'u') {
            p += 2;
            lCode = 0x10000 + ((lCode - 0xD800) << 10) + (Hex4() - 0xDC00);
          }
          Append(lOut, lCode);
          break;
        }
        default: lOut += e;
      }
    }
    if (p < end) ++p;
    return lOut;
  }
  void SkipValue() {
    Space();
    if (AtEnd()) return;
    if (*p == '"') {
      String();
      return;
    }
    if (*p == '{' || *p == '[') {
      int lDepth = 0;
      do {
        if (*p == '"') {
          String();
          continue;
        }
        if (*p == '{' || *p == '[') ++lDepth;
        if (*p == '}' || *p == ']') --lDepth;
        ++p;
      } while (p < end && lDepth > 0);
      return;
    }
    while (p < end && *p != ',' && *p != ']' && *p != '}' && *p != ' ' && *p != '\n' && *p != '\t' && *p != '\r')
      ++p;
  }
  // Moves to the value of one step; false (p unchanged) when it is not there.
  bool Enter(const JsonStep& pStep) {
    const char* lStart = p;
    if (const int* lIndex = std::get_if<int>(&pStep)) {
      if (AtEnd() || *p != '[') return false;
      ++p;
      for (int i = 0;; ++i) {
        Space();
        if (AtEnd() || *p == ']') break;
        if (i == *lIndex) return true;
        SkipValue();
        Space();
        if (AtEnd() || *p != ',') break;
        ++p;
      }
    } else {
      if (AtEnd() || *p != '{') return false;
      ++p;
      for (;;) {
        Space();
        if (AtEnd() || *p != '"') break;
        const std::string lKey = String();
        Space();
        if (AtEnd() || *p != ':') break;
        ++p;
        Space();
        if (lKey == std::get<std::string>(pStep)) return true;
        SkipValue();
        Space();
        if (AtEnd() || *p != ',') break;
        ++p;
      }
    }
    p = lStart;
    return false;
  }
};

}  // namespace

std::string LineColumn(const QByteArray& pText, int pOffset) {
  const int lEnd = std::max(0, std::min(pOffset, static_cast<int>(pText.size())));
  int lLine = 1, lColumn = 1;
  for (int i = 0; i < lEnd; ++i) {
    const unsigned char c = static_cast<unsigned char>(pText[i]);
    if (c == '\n') {
      ++lLine;
      lColumn = 1;
    } else if ((c & 0xC0) != 0x80) {  // continuation bytes belong to the character before
      ++lColumn;
    }
  }
  return std::to_string(lLine) + ":" + std::to_string(lColumn);
}

int LocateJson(const QByteArray& pText, const JsonPath& pPath) {
  Scanner lScanner{pText.constData(), pText.constData(), pText.constData() + pText.size()};
  lScanner.Space();
  for (const JsonStep& lStep : pPath)
    if (!lScanner.Enter(lStep)) break;
  return static_cast<int>(lScanner.p - lScanner.begin);
}

bool ReadJsonFile(const std::string& pPath, QByteArray& pText, QJsonDocument& pDocument, std::string& pError) {
  const std::string lFail = "cannot read " + pPath + ": ";
  // Not blocking on open keeps a FIFO from stalling the read before it is refused.
  const int lFd = open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (lFd < 0) {
    pError = lFail + strerror(errno);
    return false;
  }
  struct stat lStat;
  if (fstat(lFd, &lStat) != 0) {
    const int lErrno = errno;
    close(lFd);
    pError = lFail + strerror(lErrno);
    return false;
  }
  if (!S_ISREG(lStat.st_mode)) {
    close(lFd);
    pError = lFail + (S_ISDIR(lStat.st_mode) ? "it is a directory" : "not a regular file");
    return false;
  }
  const std::string lTooLarge = "larger than the " + std::to_string(kMaxJsonFileBytes / (1024 * 1024)) +
                                " MiB a scene or layout file may have";
  if (lStat.st_size > kMaxJsonFileBytes) {
    close(lFd);
    pError = lFail + lTooLarge;
    return false;
  }
  // The size may change under the read; never take more than the limit.
  pText.clear();
  pText.reserve(static_cast<int>(lStat.st_size));
  char lBuffer[65536];
  for (;;) {
    const ssize_t lRead = read(lFd, lBuffer, sizeof lBuffer);
    if (lRead < 0 && errno == EINTR) continue;
    if (lRead < 0) {
      const int lErrno = errno;
      close(lFd);
      pError = lFail + strerror(lErrno);
      return false;
    }
    if (lRead == 0) break;
    if (pText.size() + lRead > kMaxJsonFileBytes) {
      close(lFd);
      pError = lFail + lTooLarge;
      return false;
    }
    pText.append(lBuffer, static_cast<int>(lRead));
  }
  close(lFd);
  if (pText.trimmed().isEmpty()) {
    pError = pPath + ":1:1: the file is empty";
    return false;
  }
  QJsonParseError lParse;
  pDocument = QJsonDocument::fromJson(pText, &lParse);
  if (lParse.error != QJsonParseError::NoError) {
    // Qt reports where its scanner stopped, which can be past the line break
    // after the bad token; step back to the line the token is on.
    int lOffset = std::min(lParse.offset, static_cast<int>(pText.size()));
    while (lOffset > 0 && isspace(static_cast<unsigned char>(pText[lOffset - 1]))) --lOffset;
    pError = pPath + ":" + LineColumn(pText, lOffset) + ": " + lParse.errorString().toStdString();
    if (lParse.offset >= pText.size()) pError += " (the file ends early: cut short?)";
    return false;
  }
  if (!pDocument.isObject()) {
    pError = pPath + ":" + LineColumn(pText, LocateJson(pText, {})) + ": the file holds no JSON object";
    return false;
  }
  return true;
}

bool WriteJsonFile(const std::string& pPath, const QJsonDocument& pDocument, std::string& pError) {
  const std::string lFail = "cannot save " + pPath + ": ";
  const std::string lKept = " (the previous file is unchanged)";
  if (pPath.empty() || pPath.back() == '/') {
    pError = "cannot save: no file name";
    return false;
  }
  struct stat lOld;
  const bool lExists = stat(pPath.c_str(), &lOld) == 0;
  if (lExists && !S_ISREG(lOld.st_mode)) {
    pError = lFail + (S_ISDIR(lOld.st_mode) ? "it is a directory" : "not a regular file") + lKept;
    return false;
  }
  RemoveStaleTemporaries(pPath);
  const QByteArray lText = pDocument.toJson(QJsonDocument::Indented);

  std::string lTemplate = pPath + kTempInfix + std::string(kTempRandom, 'X');
  const int lFd = mkstemp(&lTemplate[0]);
  if (lFd < 0) {
    pError = lFail + "cannot create a file in " + Directory(pPath) + ": " + strerror(errno) + lKept;
    return false;
  }
  const std::string lTemp = lTemplate;
  // Held until the file is closed: marks the temporary as a save in progress.
  flock(lFd, LOCK_EX);
  // The new file gets the old one's permissions, or the usual ones for a new file.
  mode_t lMode;
  if (lExists) {
    lMode = lOld.st_mode & 07777;
  } else {
    const mode_t lMask = umask(0);
    umask(lMask);
    lMode = 0666 & ~lMask;
  }
  fchmod(lFd, lMode);

  int lErrno = 0;
  for (qint64 lDone = 0; lDone < lText.size() && !lErrno;) {
    const ssize_t lWritten = write(lFd, lText.constData() + lDone, static_cast<size_t>(lText.size() - lDone));
    if (lWritten < 0 && errno == EINTR) continue;
    if (lWritten <= 0)
      lErrno = lWritten < 0 ? errno : EIO;
    else
      lDone += lWritten;
  }
  if (!lErrno && fsync(lFd) != 0) lErrno = errno;
  if (lErrno) {
    unlink(lTemp.c_str());
    close(lFd);
    pError = lFail + "writing failed: " + strerror(lErrno) + lKept;
    return false;
  }
  if (rename(lTemp.c_str(), pPath.c_str()) != 0) {
    lErrno = errno;
    unlink(lTemp.c_str());
    close(lFd);
    pError = lFail + "cannot replace it: " + strerror(lErrno) + lKept;
    return false;
  }
  close(lFd);
  // Makes the rename itself durable; the file is complete either way.
  const int lDir = open(Directory(pPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lDir >= 0) {
    fsync(lDir);
    close(lDir);
  }
  return true;
}

}  // namespace vthud
