#include "managed_plate.h"

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "background.h"
#include "canvas.h"

namespace vthud_tool {

namespace {

// The float layouts FFmpeg's decoders give, taken as they come: asking for
// another float layout would send them through the scaler's clipping path.
bool FloatLayout(const std::string& pFormat, PlateLayout::Kind& pKind) {
  static const std::pair<const char*, PlateLayout::Kind> kFloats[] = {{"gbrpf32le", PlateLayout::Kind::FloatRgb},
                                                                      {"gbrapf32le", PlateLayout::Kind::FloatRgba},
                                                                      {"grayf32le", PlateLayout::Kind::FloatGrey}};
  for (const auto& lFloat : kFloats)
    if (pFormat == lFloat.first) {
      pKind = lFloat.second;
      return true;
    }
  return false;
}

const char* PixelFormat(PlateLayout::Kind pKind) {
  switch (pKind) {
    case PlateLayout::Kind::Rgba64: return "rgba64le";
    case PlateLayout::Kind::FloatRgb: return "gbrpf32le";
    case PlateLayout::Kind::FloatRgba: return "gbrapf32le";
    case PlateLayout::Kind::FloatGrey: return "grayf32le";
  }
  return "rgba64le";
}

// An HDR display's picture: 16-bit display values laid under the canvas,
// which is left transparent so that the overlay is drawn over nothing and
// laid over the picture in its light afterwards (see hdr_display.h).
void HdrToCanvas(const PlateLayout& pLayout, const ShowColour& pColour, uint8_t* pRaw, vthost::Image& pImage) {
  const int w = pLayout.width, h = pLayout.height;
  // A fresh picture every plate: the writers may still hold the last one.
  auto lUnder = std::make_shared<std::vector<uint16_t>>(static_cast<size_t>(kCanvasWidth) * kCanvasHeight * 4);
  if (w == kCanvasWidth && h == kCanvasHeight) {
    PlateToDisplay(pLayout, pColour, pRaw, reinterpret_cast<uint8_t*>(lUnder->data()),
                   static_cast<ptrdiff_t>(w) * 8);
  } else {
    QImage lPicture(w, h, QImage::Format_RGBA64);
    PlateToDisplay(pLayout, pColour, pRaw, lPicture.bits(), lPicture.bytesPerLine());
    const QImage lFitted =
        lPicture.scaled(kCanvasWidth, kCanvasHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGBA64);
    // Opaque black bars.
    for (size_t i = 3; i < lUnder->size(); i += 4) (*lUnder)[i] = 65535;
    const int lLeft = (kCanvasWidth - lFitted.width()) / 2, lTop = (kCanvasHeight - lFitted.height()) / 2;
    for (int y = 0; y < lFitted.height(); ++y)
      memcpy(&(*lUnder)[(static_cast<size_t>(lTop + y) * kCanvasWidth + lLeft) * 4], lFitted.constScanLine(y),
             static_cast<size_t>(lFitted.width()) * 8);
  }
  pImage.width = kCanvasWidth;
  pImage.height = kCanvasHeight;
  pImage.bottomUp = true;
  pImage.rgba.assign(kCanvasBytes, 0);
  pImage.under = std::move(lUnder);
}

}  // namespace

bool LayoutFromFacts(const StreamFacts& pFacts, const std::string& pName, bool pVideo, PlateLayout& pLayout,
                     std::string& pError) {
  pLayout = PlateLayout();
  pLayout.width = pFacts.width;
  pLayout.height = pFacts.height;
  const std::string& lFormat = pFacts.pixelFormat;
  if (pLayout.width <= 0 || pLayout.height <= 0 || lFormat.empty())
    return pError = "cannot read " + pName + " as a picture: FFmpeg finds no picture in it", false;
  // 16384 a side: a float frame stays within a few GiB.
  if (pLayout.width > 16384 || pLayout.height > 16384)
    return pError = pName + " is " + std::to_string(pLayout.width) + " x " + std::to_string(pLayout.height) +
                    ", larger than the transform takes (16384 a side)",
           false;
  if (!FloatLayout(lFormat, pLayout.kind)) {
    // Half floats and packed float layouts have no clip-free road through FFmpeg 5's scaler.
    if (lFormat.find("f16") != std::string::npos || lFormat.find("f32") != std::string::npos)
      return pError = pName + " holds " + lFormat + " pixels, which the transform cannot take", false;
    pLayout.kind = PlateLayout::Kind::Rgba64;
  }
  if (pVideo)
    DecodeColour(pFacts.colorSpace, pFacts.colorRange, pLayout.width, pLayout.height, pLayout.matrix,
                 pLayout.range);
  return true;
}

bool ProbePlateLayout(const ReaderSource& pSource, bool pVideo, PlateLayout& pLayout, std::string& pError) {
  StreamFacts lFacts;
  if (!ProbeStream(pSource, lFacts, pError)) return false;
  return LayoutFromFacts(lFacts, pSource.name, pVideo, pLayout, pError);
}

std::string ManagedChain(const PlateLayout& pLayout) {
  // YUV to RGB in the scaler at the plate's own size, 16 bits a channel.
  if (pLayout.matrix.empty()) return std::string();
  return "scale=flags=accurate_rnd+full_chroma_int:in_color_matrix=" + pLayout.matrix +
         (pLayout.range.empty() ? "" : ":in_range=" + pLayout.range);
}

AVPixelFormat ManagedFormat(const PlateLayout& pLayout) { return av_get_pix_fmt(PixelFormat(pLayout.kind)); }

void SetManagedOutput(PictureReader& pReader, const PlateLayout& pLayout) {
  pReader.SetOutput(ManagedChain(pLayout), ManagedFormat(pLayout));
}

bool CopyManagedFrame(const AVFrame& pFrame, const PlateLayout& pLayout, std::vector<uint8_t>& pRaw) {
  if (pFrame.width != pLayout.width || pFrame.height != pLayout.height) return false;
  const size_t w = static_cast<size_t>(pLayout.width);
  const bool lPacked = pLayout.kind == PlateLayout::Kind::Rgba64;
  const int lPlanes = lPacked || pLayout.kind == PlateLayout::Kind::FloatGrey ? 1
                      : pLayout.kind == PlateLayout::Kind::FloatRgb           ? 3
                                                                              : 4;
  const size_t lRow = lPacked ? w * 8 : w * 4;
  pRaw.resize(pLayout.FrameBytes());
  uint8_t* lOut = pRaw.data();
  for (int p = 0; p < lPlanes; ++p)
    for (int y = 0; y < pLayout.height; ++y, lOut += lRow)
      memcpy(lOut, pFrame.data[p] + static_cast<ptrdiff_t>(y) * pFrame.linesize[p], lRow);
  return true;
}

bool ReadManagedFrame(PictureReader& pReader, const PlateLayout& pLayout, const ShowColour& pColour,
                      std::vector<uint8_t>& pRaw, vthost::Image& pImage, std::string& pWhy) {
  AvFramePtr lFrame;
  bool lEnded = false;
  if (!pReader.Take(lFrame, lEnded, pWhy)) return false;
  if (lFrame->width != pLayout.width || lFrame->height != pLayout.height)
    return pWhy = "a plate of another size than the first", false;
  // A 16-bit frame whose rows lie packed is transformed where the decoder left it.
  if (pLayout.kind == PlateLayout::Kind::Rgba64 && lFrame->linesize[0] == pLayout.width * 8) {
    ManagedToCanvas(pLayout, pColour, lFrame->data[0], pImage);
    return true;
  }
  CopyManagedFrame(*lFrame, pLayout, pRaw);
  ManagedToCanvas(pLayout, pColour, pRaw.data(), pImage);
  return true;
}

void ManagedToCanvas(const PlateLayout& pLayout, const ShowColour& pColour, uint8_t* pRaw, vthost::Image& pImage) {
  const int w = pLayout.width, h = pLayout.height;
  const bool lFills = w == kCanvasWidth && h == kCanvasHeight;
  if (pColour.Hdr().Hdr()) return HdrToCanvas(pLayout, pColour, pRaw, pImage);
  QImage lPicture;
  uint8_t* lOut = nullptr;
  ptrdiff_t lOutStride = static_cast<ptrdiff_t>(w) * 4;
  if (lFills) {
    // Straight into the canvas, bottom row first as GL takes it.
    pImage.width = kCanvasWidth;
    pImage.height = kCanvasHeight;
    pImage.bottomUp = true;
    pImage.under.reset();
    pImage.rgba.resize(static_cast<size_t>(kCanvasWidth) * kCanvasHeight * 4);
    lOut = pImage.rgba.data() + (h - 1) * lOutStride;
    lOutStride = -lOutStride;
  } else {
    lPicture = QImage(w, h, QImage::Format_RGBA8888);
    lOut = lPicture.bits();
    lOutStride = lPicture.bytesPerLine();
  }
  PlateToDisplay(pLayout, pColour, pRaw, lOut, lOutStride);
  if (!lFills) FitToCanvas(lPicture, pImage);
}

}  // namespace vthud_tool
