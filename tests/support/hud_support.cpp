#include "hud_support.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace vthud_test {

bool EnsureGL() {
  static vthost::HeadlessGL* sGL = nullptr;
  static std::string sError;
  if (!sGL && sError.empty()) {
    vthost::GLPlatform lPlatform;
    auto* lGL = new vthost::HeadlessGL;
    if (vthost::PlatformFromEnvironment(lPlatform, sError) && lGL->Create(lPlatform, sError))
      sGL = lGL;
    else
      delete lGL;
  }
  if (!sGL) ADD_FAILURE() << sError;
  return sGL != nullptr;
}

::testing::AssertionResult Probe(const vthost::Image& pImage, int pX, int pY, RGBA e, int pTolerance) {
  if (pX < 0 || pY < 0 || pX >= pImage.width || pY >= pImage.height)
    return ::testing::AssertionFailure() << "probe (" << pX << ", " << pY << ") is outside the image";
  const uint8_t* p = pImage.At(pX, pImage.height - 1 - pY);
  const int o[4] = {p[0], p[1], p[2], p[3]};
  const int x[4] = {e.r, e.g, e.b, e.a};
  for (int c = 0; c < 4; ++c)
    if (std::abs(o[c] - x[c]) > pTolerance)
      return ::testing::AssertionFailure()
             << "at (" << pX << ", " << pY << ") expected (" << x[0] << ", " << x[1] << ", " << x[2] << ", "
             << x[3] << ") observed (" << o[0] << ", " << o[1] << ", " << o[2] << ", " << o[3] << ")";
  return ::testing::AssertionSuccess();
}

namespace {
template <class Pred>
Box Scan(const vthost::Image& pImage, int pX0, int pY0, int pX1, int pY1, Pred pLit) {
  Box b;
  for (int y = std::max(0, pY0); y < std::min(pImage.height, pY1); ++y)
    for (int x = std::max(0, pX0); x < std::min(pImage.width, pX1); ++x) {
      if (!pLit(x, pImage.height - 1 - y)) continue;
      if (b.empty) {
        b = {x, y, x + 1, y + 1, false};
      } else {
        b.x0 = std::min(b.x0, x);
        b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x + 1);
        b.y1 = std::max(b.y1, y + 1);
      }
    }
  return b;
}
}  // namespace

Box LitBox(const vthost::Image& pImage, int pX0, int pY0, int pX1, int pY1, int pThreshold) {
  return Scan(pImage, pX0, pY0, pX1, pY1, [&](int x, int row) { return pImage.At(x, row)[3] > pThreshold; });
}

Box DiffBox(const vthost::Image& pA, const vthost::Image& pB, int pX0, int pY0, int pX1, int pY1) {
  return Scan(pA, pX0, pY0, pX1, pY1,
              [&](int x, int row) { return !std::equal(pA.At(x, row), pA.At(x, row) + 4, pB.At(x, row)); });
}

std::string ToString(const Box& b) {
  if (b.empty) return "(empty)";
  std::ostringstream s;
  s << "[" << b.x0 << ", " << b.x1 << ") x [" << b.y0 << ", " << b.y1 << ")";
  return s.str();
}

FrameDiff CompareFrames(const vthost::Image& pA, const vthost::Image& pB, int pTolerance,
                        const std::vector<bool>* pSkip) {
  FrameDiff d;
  if (pA.width != pB.width || pA.height != pB.height) {
    d.differing = -1;
    return d;
  }
  const size_t lPixels = static_cast<size_t>(pA.width) * pA.height;
  for (size_t i = 0; i < lPixels; ++i) {
    if (pSkip && (*pSkip)[i]) continue;
    int lMost = 0;
    for (int c = 0; c < 4; ++c) lMost = std::max(lMost, std::abs(pA.rgba[i * 4 + c] - pB.rgba[i * 4 + c]));
    if (lMost <= pTolerance) continue;
    if (d.differing++ == 0) {
      d.x = static_cast<int>(i % pA.width);
      d.y = pA.height - 1 - static_cast<int>(i / pA.width);
    }
    d.largest = std::max(d.largest, lMost);
  }
  return d;
}

std::string ToString(const FrameDiff& d) {
  if (d.differing < 0) return "(sizes differ)";
  std::ostringstream s;
  s << d.differing << " pixels differ, largest difference " << d.largest;
  if (d.differing > 0) s << ", first at (" << d.x << ", " << d.y << ")";
  return s.str();
}

vthost::Image FromBottomUp(const std::vector<uint8_t>& pRows, int pWidth, int pHeight) {
  vthost::Image lImage;
  const size_t lRow = static_cast<size_t>(pWidth) * 4;
  if (pWidth <= 0 || pHeight <= 0 || pRows.size() != lRow * pHeight) return lImage;
  lImage.width = pWidth;
  lImage.height = pHeight;
  lImage.rgba.resize(pRows.size());
  for (int y = 0; y < pHeight; ++y)
    std::copy_n(&pRows[static_cast<size_t>(pHeight - 1 - y) * lRow], lRow,
                &lImage.rgba[static_cast<size_t>(y) * lRow]);
  return lImage;
}

void Set(FBComponent* pObject, const char* pName, const std::string& pValue) {
  FBProperty* lProperty = pObject->PropertyList.Find(pName);
  ASSERT_NE(lProperty, nullptr) << "no property " << pName;
  ASSERT_TRUE(lProperty->SetString(pValue.c_str())) << pName << " = " << pValue;
}

std::string Get(FBComponent* pObject, const char* pName) {
  FBProperty* lProperty = pObject->PropertyList.Find(pName);
  return lProperty ? std::string(lProperty->AsString()) : std::string("<missing>");
}

void EveryFieldOn(FBComponent* pElement) {
  for (const char* lGate : {"Show Slate", "Show FPS", "Show Reticle", "Show F-Stop", "Show Focus Distance",
                            "Show Camera Name", "Show Interoccular", "Show Convergence", "Show Value 1",
                            "Show Value 2", "Show Marker 1", "Show Marker 2", "Show Marker 3", "Show Labels"})
    Set(pElement, lGate, "true");
  Set(pElement, "Marker 2 Frame", "100");
  Set(pElement, "Marker 2 Name", "Action");
}

void HudTest::SetUp() {
  if (!EnsureGL()) GTEST_SKIP() << "no OpenGL context";
  host.reset(new vthost::Host);
  std::string lError;
  plugin = host->LoadPlugin(VTHUD_PLUGIN_PATH, lError);
  ASSERT_NE(plugin, nullptr) << lError;
  element = static_cast<FBHUDElement*>(host->Create("VTHUDElement", "VT HUD Element 1", lError));
  ASSERT_NE(element, nullptr) << lError;
  pane = &host->AddPane(1920, 1080, nullptr);
}

void HudTest::TearDown() { host.reset(); }

void HudTest::Quiet() {
  for (const char* lGate : {"Show Labels", "Show Timeline", "Show FQN", "Show Focal Length", "Show Scene Frame",
                            "Show Scene Timecode", "Show Character Timecode", "Show Camera Timecode"})
    Set(element, lGate, "false");
  Set(element, "Mask Color", "0 0 0 0");
}

vthost::Image HudTest::Draw() {
  host->DrawPane(*pane);
  return pane->ReadPixels();
}

}  // namespace vthud_test
