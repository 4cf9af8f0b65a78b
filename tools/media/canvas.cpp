#include "canvas.h"

#include <cstring>

namespace vthud_tool {

void FillCanvas(vthost::Image& pImage, uint8_t r, uint8_t g, uint8_t b) {
  pImage.width = kCanvasWidth;
  pImage.height = kCanvasHeight;
  pImage.bottomUp = false;
  pImage.rgba.resize(kCanvasBytes);
  for (size_t i = 0; i < pImage.rgba.size(); i += 4) {
    pImage.rgba[i] = r;
    pImage.rgba[i + 1] = g;
    pImage.rgba[i + 2] = b;
    pImage.rgba[i + 3] = 255;
  }
}

void FitToCanvas(const QImage& pPicture, vthost::Image& pImage) {
  const QImage lFitted =
      (pPicture.width() == kCanvasWidth && pPicture.height() == kCanvasHeight
           ? pPicture
           : pPicture.scaled(kCanvasWidth, kCanvasHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation))
          .convertToFormat(QImage::Format_RGBA8888);
  FillCanvas(pImage, 0, 0, 0);
  const int lLeft = (kCanvasWidth - lFitted.width()) / 2, lTop = (kCanvasHeight - lFitted.height()) / 2;
  for (int y = 0; y < lFitted.height(); ++y)
    memcpy(pImage.At(lLeft, lTop + y), lFitted.constScanLine(y), static_cast<size_t>(lFitted.width()) * 4);
}

}  // namespace vthud_tool
