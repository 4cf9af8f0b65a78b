#include "frame_lines_geometry.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <algorithm>
#include <cmath>

namespace vtlines {

namespace {

// Edges far outside any canvas (a NaN or huge value) stop at a bound that keeps the arithmetic whole.
int Edge(double pValue) {
  if (!(pValue > -100000)) return -100000;
  if (pValue > 100000) return 100000;
  return static_cast<int>(std::lround(pValue));
}

void Dashes(int pFrom, int pTo, bool pAlongX, int pA0, int pA1, std::vector<Quad>& pQuads) {
  for (int p = pFrom; p < pTo; p += kDashOn + kDashOff) {
    const int e = std::min(pTo, p + kDashOn);
    if (pAlongX)
      pQuads.push_back({p, pA0, e, pA1, true});
    else
      pQuads.push_back({pA0, p, pA1, e, true});
  }
}

PixelRect Scaled(const vthud::CanvasRect& r, double pPercent) {
  const double k = pPercent / 100, cx = (r.left + r.right) / 2, cy = (r.bottom + r.top) / 2;
  const double hw = (r.right - r.left) / 2 * k, hh = (r.top - r.bottom) / 2 * k;
  return Snap({cx - hw, cx + hw, cy - hh, cy + hh});
}

}  // namespace

PixelRect Snap(const vthud::CanvasRect& r) { return {Edge(r.left), Edge(r.bottom), Edge(r.right), Edge(r.top)}; }

void Outline(const PixelRect& r, int w, bool pDashed, std::vector<Quad>& pQuads) {
  if (r.right <= r.left || r.top <= r.bottom || w <= 0) return;
  if (r.right - r.left <= 2 * w || r.top - r.bottom <= 2 * w) {
    pQuads.push_back({r.left, r.bottom, r.right, r.top, pDashed});
    return;
  }
  if (!pDashed) {
    pQuads.push_back({r.left, r.top - w, r.right, r.top, false});
    pQuads.push_back({r.left, r.bottom, r.right, r.bottom + w, false});
    pQuads.push_back({r.left, r.bottom + w, r.left + w, r.top - w, false});
    pQuads.push_back({r.right - w, r.bottom + w, r.right, r.top - w, false});
    return;
  }
  Dashes(r.left, r.right, true, r.top - w, r.top, pQuads);
  Dashes(r.left, r.right, true, r.bottom, r.bottom + w, pQuads);
  Dashes(r.bottom + w, r.top - w, false, r.left, r.left + w, pQuads);
  Dashes(r.bottom + w, r.top - w, false, r.right - w, r.right, pQuads);
}

void BuildLines(const std::vector<Frame>& pFrames, const LineSettings& s, int W, int H, std::vector<Quad>& pQuads,
                std::vector<Label>& pLabels) {
  pQuads.clear();
  pLabels.clear();
  const int w = std::max(1, s.width);
  for (const Frame& f : pFrames) {
    const PixelRect r = Snap(f.rect);
    Outline(r, w, false, pQuads);
    if (s.protection && f.hasProtection) Outline(Snap(f.protection), w, true, pQuads);
    if (s.labels && !f.label.empty())
      pLabels.push_back({r.left + w + kLabelInset, r.top - w - kLabelInset - kLabelSize + 4, f.label});
  }
  if (!pFrames.empty()) {
    const vthud::CanvasRect& f = pFrames.front().rect;
    const PixelRect r = Snap(f);
    for (double lPercent : {s.actionSafe, s.titleSafe})
      if (lPercent > 0 && lPercent < 100) Outline(Scaled(f, lPercent), w, false, pQuads);
    if (s.thirds)
      for (int k = 1; k <= 2; ++k) {
        const int x = Edge(f.left + k * (f.right - f.left) / 3) - w / 2;
        const int y = Edge(f.bottom + k * (f.top - f.bottom) / 3) - w / 2;
        pQuads.push_back({x, r.bottom + w, x + w, r.top - w, false});
        pQuads.push_back({r.left + w, y, r.right - w, y + w, false});
      }
    if (s.centreMark) {
      const int cx = Edge((f.left + f.right) / 2), cy = Edge((f.bottom + f.top) / 2);
      const int x0 = cx - w / 2, y0 = cy - w / 2;
      pQuads.push_back({cx - kCentreArm, y0, cx + kCentreArm, y0 + w, false});
      pQuads.push_back({x0, cy - kCentreArm, x0 + w, y0, false});
      pQuads.push_back({x0, y0 + w, x0 + w, cy + kCentreArm, false});
    }
  }
  // Nothing is drawn off the canvas; a quad clipped to nothing is dropped.
  size_t n = 0;
  for (Quad q : pQuads) {
    q.left = std::max(0, q.left);
    q.bottom = std::max(0, q.bottom);
    q.right = std::min(W, q.right);
    q.top = std::min(H, q.top);
    if (q.left < q.right && q.bottom < q.top) pQuads[n++] = q;
  }
  pQuads.resize(n);
}

bool ParseAspectLines(const std::string& pText, std::vector<double>& pRatios, std::string& pError) {
  pRatios.clear();
  const QStringList lParts = QString::fromStdString(pText).split(',', Qt::SkipEmptyParts);
  for (const QString& lPart : lParts) {
    const QString lTrimmed = lPart.trimmed();
    if (lTrimmed.isEmpty()) continue;
    bool lOk = false;
    const double lRatio = lTrimmed.toDouble(&lOk);
    if (!lOk || !(lRatio >= 0.1 && lRatio <= 10)) {
      pError = "Aspect Lines: '" + lTrimmed.left(20).toStdString() + "' is not a ratio from 0.1 to 10";
      pRatios.clear();
      return false;
    }
    pRatios.push_back(lRatio);
  }
  return true;
}

vthud::CanvasRect AspectRect(double pRatio, const vthud::CanvasRect& r) {
  const double lWidth = r.right - r.left, lHeight = r.top - r.bottom;
  double w = lWidth, h = lWidth / pRatio;
  if (h > lHeight) h = lHeight, w = lHeight * pRatio;
  const double cx = (r.left + r.right) / 2, cy = (r.bottom + r.top) / 2;
  return {cx - w / 2, cx + w / 2, cy - h / 2, cy + h / 2};
}

}  // namespace vtlines
