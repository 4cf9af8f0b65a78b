#include "hdr_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vthud_tool {

namespace {

// SMPTE ST 2084's constants.
const double kM1 = 2610.0 / 16384.0, kM2 = 2523.0 / 4096.0 * 128.0;
const double kC1 = 3424.0 / 4096.0, kC2 = 2413.0 / 4096.0 * 32.0, kC3 = 2392.0 / 4096.0 * 32.0;
// BT.2100 HLG's constants, and the display OCIO's HLG transform is made for:
// 1000 cd/m2 peak, black at zero, system gamma 1.2.
const double kHlgA = 0.17883277, kHlgB = 1.0 - 4.0 * kHlgA, kHlgC = 0.5 - kHlgA * std::log(4.0 * kHlgA);
const double kHlgPeak = 1000.0, kHlgGamma = 1.2;
// BT.2020 luminance, for HLG's OOTF.
const double kLumR = 0.2627, kLumG = 0.6780, kLumB = 0.0593;

struct Matrix {
  double m[3][3];
};

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

Matrix Invert(const Matrix& a) {
  const auto& m = a.m;
  const double lDet = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                      m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                      m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  Matrix r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      r.m[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / lDet;
    }
  return r;
}

// RGB to CIE XYZ for primaries xy (red, green, blue) and a D65 white.
Matrix ToXyz(const double pPrimaries[3][2]) {
  const double wx = 0.3127, wy = 0.3290;
  Matrix p{};
  for (int c = 0; c < 3; ++c) {
    const double x = pPrimaries[c][0], y = pPrimaries[c][1];
    p.m[0][c] = x / y;
    p.m[1][c] = 1.0;
    p.m[2][c] = (1.0 - x - y) / y;
  }
  const Matrix lInverse = Invert(p);
  const double lWhite[3] = {wx / wy, 1.0, (1.0 - wx - wy) / wy};
  for (int c = 0; c < 3; ++c) {
    const double s = lInverse.m[c][0] * lWhite[0] + lInverse.m[c][1] * lWhite[1] + lInverse.m[c][2] * lWhite[2];
    for (int r = 0; r < 3; ++r) p.m[r][c] *= s;
  }
  return p;
}

const double kBt709[3][2] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
const double kBt2020[3][2] = {{0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}};
const double kP3[3][2] = {{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}};

// BT.709 linear light to the display's primaries.
Matrix FromBt709(HdrPrimaries pPrimaries) {
  return Multiply(Invert(ToXyz(pPrimaries == HdrPrimaries::P3D65 ? kP3 : kBt2020)), ToXyz(kBt709));
}

// One display's decoding of its 16-bit values to light (cd/m2), and back.
struct Transfer {
  HdrTransfer kind;
  std::vector<float> decode;  // 65536 entries: PQ to cd/m2, HLG to scene light
  explicit Transfer(HdrTransfer pKind) : kind(pKind), decode(65536) {
    for (int i = 0; i < 65536; ++i)
      decode[i] =
          static_cast<float>(pKind == HdrTransfer::Pq ? NitsFromPq(i / 65535.0) : SceneFromHlg(i / 65535.0));
  }
  void ToLight(const uint16_t* pIn, double* pLight) const {
    for (int c = 0; c < 3; ++c) pLight[c] = decode[pIn[c]];
    if (kind != HdrTransfer::Hlg) return;
    // HLG's OOTF: scene light to display light on the 1000 cd/m2 display.
    const double lY = kLumR * pLight[0] + kLumG * pLight[1] + kLumB * pLight[2];
    const double lGain = lY > 0.0 ? kHlgPeak * std::pow(lY, kHlgGamma - 1.0) : 0.0;
    for (int c = 0; c < 3; ++c) pLight[c] *= lGain;
  }
  void FromLight(const double* pLight, uint16_t* pOut) const {
    double lSignal[3];
    if (kind == HdrTransfer::Pq) {
      for (int c = 0; c < 3; ++c) lSignal[c] = PqFromNits(pLight[c]);
    } else {
      const double lYd = std::max(0.0, kLumR * pLight[0] + kLumG * pLight[1] + kLumB * pLight[2]);
      const double lYs = std::pow(lYd / kHlgPeak, 1.0 / kHlgGamma);
      const double lGain = lYs > 0.0 ? 1.0 / (kHlgPeak * std::pow(lYs, kHlgGamma - 1.0)) : 0.0;
      for (int c = 0; c < 3; ++c) lSignal[c] = HlgFromScene(pLight[c] * lGain);
    }
    for (int c = 0; c < 3; ++c)
      pOut[c] = static_cast<uint16_t>(std::lround(std::min(1.0, std::max(0.0, lSignal[c])) * 65535.0));
  }
};

const Transfer& TransferOf(HdrTransfer pKind) {
  static const Transfer lPq(HdrTransfer::Pq), lHlg(HdrTransfer::Hlg);
  return pKind == HdrTransfer::Hlg ? lHlg : lPq;
}

}  // namespace

std::string HdrDisplay::Describe() const {
  char lWhite[32];
  snprintf(lWhite, sizeof lWhite, "%.0f", graphicsWhite);
  return std::string(transfer == HdrTransfer::Pq    ? "PQ"
                     : transfer == HdrTransfer::Hlg ? "HLG"
                                                    : "SDR") +
         ", " + (primaries == HdrPrimaries::P3D65 ? "P3-D65" : "BT.2020") + " primaries, graphics white " +
         lWhite + " cd/m2";
}

double HlgDefaultGraphicsWhite() { return kHlgPeak * std::pow(SceneFromHlg(0.75), kHlgGamma); }

double PqFromNits(double pNits) {
  const double y = std::pow(std::max(0.0, pNits) / 10000.0, kM1);
  return std::pow((kC1 + kC2 * y) / (1.0 + kC3 * y), kM2);
}

double NitsFromPq(double pSignal) {
  const double e = std::pow(std::max(0.0, pSignal), 1.0 / kM2);
  return 10000.0 * std::pow(std::max(0.0, e - kC1) / (kC2 - kC3 * e), 1.0 / kM1);
}

double HlgFromScene(double pScene) {
  const double e = std::max(0.0, pScene);
  return e <= 1.0 / 12.0 ? std::sqrt(3.0 * e) : kHlgA * std::log(12.0 * e - kHlgB) + kHlgC;
}

double SceneFromHlg(double pSignal) {
  const double s = std::max(0.0, pSignal);
  return s <= 0.5 ? s * s / 3.0 : (std::exp((s - kHlgC) / kHlgA) + kHlgB) / 12.0;
}

bool ParseMasteringDisplay(const std::string& pText, MasteringDisplay& pDisplay, std::string& pWhy) {
  const char* const kForm = "expects G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min) as x265 writes it";
  long long v[10];
  int lEnd = -1;
  if (sscanf(pText.c_str(), "G(%lld,%lld)B(%lld,%lld)R(%lld,%lld)WP(%lld,%lld)L(%lld,%lld)%n", &v[0], &v[1], &v[2],
             &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &lEnd) != 10 ||
      lEnd != static_cast<int>(pText.size()))
    return pWhy = kForm, false;
  for (int i = 0; i < 8; ++i)
    if (v[i] < 0 || v[i] > 50000) return pWhy = "chromaticities run from 0 to 50000 (units of 0.00002)", false;
  if (v[9] < 0 || v[8] <= v[9])
    return pWhy = "L(max,min) needs max above min, in units of 0.0001 cd/m2 (1000 cd/m2 is 10000000)", false;
  int* lXy[4] = {pDisplay.green, pDisplay.blue, pDisplay.red, pDisplay.white};
  for (int i = 0; i < 4; ++i) lXy[i][0] = static_cast<int>(v[2 * i]), lXy[i][1] = static_cast<int>(v[2 * i + 1]);
  pDisplay.maxLuminance = v[8];
  pDisplay.minLuminance = v[9];
  return true;
}

bool ParseMaxCll(const std::string& pText, int& pMaxCll, int& pMaxFall, std::string& pWhy) {
  int lEnd = -1;
  if (sscanf(pText.c_str(), "%d,%d%n", &pMaxCll, &pMaxFall, &lEnd) != 2 || lEnd != static_cast<int>(pText.size()))
    return pWhy = "expects MAXCLL,MAXFALL in cd/m2, such as 1000,400", false;
  if (pMaxCll <= 0 || pMaxCll > 10000 || pMaxFall <= 0 || pMaxFall > pMaxCll)
    return pWhy = "MAXCLL runs from 1 to 10000 cd/m2 and MAXFALL from 1 to MAXCLL", false;
  return true;
}

int CicpPrimaries(const HdrDisplay& pDisplay) { return pDisplay.primaries == HdrPrimaries::P3D65 ? 12 : 9; }
int CicpTransfer(const HdrDisplay& pDisplay) { return pDisplay.transfer == HdrTransfer::Hlg ? 18 : 16; }

void ComposeHdr(const HdrDisplay& pDisplay, const uint8_t* pOverlay, bool pOverlayBottomUp, const uint16_t* pUnder,
                int pWidth, int pHeight, bool pStraight, uint16_t* pOut) {
  const Transfer& lTransfer = TransferOf(pDisplay.transfer);
  const Matrix lToDisplay = FromBt709(pDisplay.primaries);
  // The overlay's 8-bit values are SDR display values: BT.1886 (gamma 2.4) to
  // light with white at 1, then scaled to the graphics white.
  double lLinear[256];
  for (int i = 0; i < 256; ++i) lLinear[i] = std::pow(i / 255.0, 2.4) * pDisplay.graphicsWhite;
  for (int y = 0; y < pHeight; ++y) {
    const uint8_t* lOver = pOverlay + static_cast<size_t>(pOverlayBottomUp ? pHeight - 1 - y : y) * pWidth * 4;
    const uint16_t* lUnder = pUnder ? pUnder + static_cast<size_t>(y) * pWidth * 4 : nullptr;
    uint16_t* lOut = pOut + static_cast<size_t>(y) * pWidth * 4;
    for (int x = 0; x < pWidth; ++x, lOver += 4, lOut += 4) {
      const uint16_t* u = lUnder ? lUnder + x * 4 : nullptr;
      const int a = lOver[3];
      if (a == 0 && (lOver[0] | lOver[1] | lOver[2]) == 0) {
        // Untouched by the overlay: the plate's own values.
        if (u) {
          std::copy(u, u + 4, lOut);
          if (!pStraight && u[3] != 65535) {
            double lLight[3];
            lTransfer.ToLight(u, lLight);
            for (double& v : lLight) v *= u[3] / 65535.0;
            lTransfer.FromLight(lLight, lOut);
            lOut[3] = 65535;
          }
        } else {
          lOut[0] = lOut[1] = lOut[2] = 0;
          lOut[3] = pStraight ? 0 : 65535;
        }
        continue;
      }
      // The overlay's straight colour, to display light at its primaries.
      const double lAlpha = a / 255.0;
      double lRgb[3];
      for (int c = 0; c < 3; ++c) {
        const double lStraight = a ? std::min(1.0, lOver[c] / 255.0 / lAlpha) : 0.0;
        lRgb[c] = a == 255 ? lLinear[lOver[c]] : std::pow(lStraight, 2.4) * pDisplay.graphicsWhite;
      }
      double lLight[3], lBehind[3] = {0.0, 0.0, 0.0};
      for (int r = 0; r < 3; ++r)
        lLight[r] = lToDisplay.m[r][0] * lRgb[0] + lToDisplay.m[r][1] * lRgb[1] + lToDisplay.m[r][2] * lRgb[2];
      const double lUnderAlpha = u ? u[3] / 65535.0 : 0.0;
      if (u && a < 255) lTransfer.ToLight(u, lBehind);
      // Premultiplied "over" in light: alpha a leaves (1 - a) of the plate's.
      const double lOutAlpha = lAlpha + (1.0 - lAlpha) * lUnderAlpha;
      for (int c = 0; c < 3; ++c) {
        lLight[c] = lAlpha * lLight[c] + (1.0 - lAlpha) * lUnderAlpha * lBehind[c];
        if (pStraight && lOutAlpha > 0.0) lLight[c] /= lOutAlpha;
      }
      lTransfer.FromLight(lLight, lOut);
      lOut[3] = static_cast<uint16_t>(pStraight ? std::lround(lOutAlpha * 65535.0) : 65535);
    }
  }
}

}  // namespace vthud_tool
