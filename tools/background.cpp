#include "background.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vthud_tool {

namespace {

const int kWidth = 1920, kHeight = 1080;
const size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 4;

void Fill(vthost::Image& pImage, uint8_t r, uint8_t g, uint8_t b) {
  pImage.width = kWidth;
  pImage.height = kHeight;
  pImage.rgba.resize(kFrameBytes);
  for (size_t i = 0; i < pImage.rgba.size(); i += 4) {
    pImage.rgba[i] = r;
    pImage.rgba[i + 1] = g;
    pImage.rgba[i + 2] = b;
    pImage.rgba[i + 3] = 255;
  }
}

}  // namespace

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

bool Background::Open(const std::string& pSpec, const std::string& pTestPicture, std::string& pError) {
  Close();
  mSpec = pSpec;
  if (pSpec.empty()) return true;
  unsigned r, g, b;
  char lEnd;
  if (pSpec.size() == 7 && pSpec[0] == '#' &&
      sscanf(pSpec.c_str() + 1, "%02x%02x%02x%c", &r, &g, &b, &lEnd) == 3 &&
      pSpec.find_first_not_of("#0123456789abcdefABCDEF") == std::string::npos) {
    Fill(mStill, static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
    mKind = Kind::Still;
    return true;
  }
  if (pSpec[0] == '#') return pError = "--background colour expects #RRGGBB, got '" + pSpec + "'", false;
  bool lIsPattern = false;
  if (LooksLikePattern(pSpec)) {
    if (!mPattern.Parse(pSpec, lIsPattern, pError)) return pError = "--background " + pError, false;
    if (lIsPattern) {
      mKind = Kind::Sequence;
      return true;
    }
  }
  const std::string lPath = pSpec == "test-picture" ? pTestPicture : pSpec;
  const QFileInfo lInfo(QString::fromStdString(lPath));
  if (!lInfo.exists()) return pError = "cannot read " + lPath + ": no such file", false;
  if (!lInfo.isFile()) return pError = "cannot read " + lPath + ": not a regular file", false;
  if (!QImageReader::imageFormat(QString::fromStdString(lPath)).isEmpty()) {
    if (!ReadFitted(lPath, mStill, pError)) return false;
    mKind = Kind::Still;
    return true;
  }
  // Not an image Qt knows: a video, decoded by ffmpeg, fitted and letterboxed the same way.
  mVideo.reset(new FfmpegProcess);
  const std::vector<std::string> lArguments{
      "-nostdin",
      "-v",
      "error",
      "-i",
      lPath,
      "-an",
      "-vf",
      "scale=1920:1080:force_original_aspect_ratio=decrease,pad=1920:1080:(ow-iw)/2:(oh-ih)/2:color=black",
      "-f",
      "rawvideo",
      "-pix_fmt",
      "rgba",
      "pipe:1"};
  if (!mVideo->Start(lArguments, FfmpegProcess::Direction::ReadFromIt, pError)) return false;
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
    case Kind::Sequence: {
      const std::string lPath = mPattern.Expand(pFrame);
      if (!QFileInfo(QString::fromStdString(lPath)).isFile()) {
        pError = "the background plate of frame " + std::to_string(pFrame) + " is missing: " + lPath;
        return false;
      }
      if (!ReadFitted(lPath, pImage, pError)) {
        pError = "the background plate of frame " + std::to_string(pFrame) + ": " + pError;
        return false;
      }
      return true;
    }
    case Kind::Video: {
      pImage.width = kWidth;
      pImage.height = kHeight;
      pImage.rgba.resize(kFrameBytes);
      bool lEnded = false;
      if (!mVideo->Read(pImage.rgba.data(), kFrameBytes, lEnded)) {
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

void Background::Close() {
  if (mVideo) mVideo->Stop();
  mVideo.reset();
  mKind = Kind::None;
}

}  // namespace vthud_tool
