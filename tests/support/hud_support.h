#ifndef VTHUD_TESTS_HUD_SUPPORT_H
#define VTHUD_TESTS_HUD_SUPPORT_H
// Shared pieces of the plug-in tests: one headless GL context per process,
// the plug-in loaded into a fresh stand-in host, pixel probes in canvas
// coordinates (origin bottom left, y up), and property edits by name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "headless_gl.h"
#include "host.h"
#include "png_image.h"

namespace vthud_test {

struct RGBA {
  int r, g, b, a;
};
const RGBA kClear{0, 0, 0, 0};

// The process's GL context; fails the calling test when none can be made.
bool EnsureGL();

// A pixel of a pane image in canvas coordinates, with a per-channel tolerance;
// the failure message names x, y, expected and observed.
::testing::AssertionResult Probe(const vthost::Image& pImage, int pX, int pY, RGBA pExpected, int pTolerance = 2);

// The smallest box holding every pixel whose alpha is above pThreshold inside
// the region [x0, x1) x [y0, y1), canvas coordinates; empty when none.
struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty = true;
};
Box LitBox(const vthost::Image& pImage, int pX0, int pY0, int pX1, int pY1, int pThreshold = 0);
// The box of pixels that differ between two images inside a region.
Box DiffBox(const vthost::Image& pA, const vthost::Image& pB, int pX0, int pY0, int pX1, int pY1);
std::string ToString(const Box& pBox);

// A whole-frame comparison of two images of one size: how many pixels differ
// by more than a tolerance in some channel, the largest difference of any
// channel, and the first such pixel (canvas coordinates). Pixels where pSkip
// is true (row-major, top row first, as the images) are left out.
struct FrameDiff {
  long differing = 0;
  int largest = 0;
  int x = -1, y = -1;
};
FrameDiff CompareFrames(const vthost::Image& pA, const vthost::Image& pB, int pTolerance = 0,
                        const std::vector<bool>* pSkip = nullptr);
std::string ToString(const FrameDiff& pDiff);

// An image from rows read back from GL, bottom row first; empty when the
// rows do not hold pWidth x pHeight pixels.
vthost::Image FromBottomUp(const std::vector<uint8_t>& pRows, int pWidth, int pHeight);

void Set(FBComponent* pObject, const char* pName, const std::string& pValue);
// Every optional field on, the reticle, and markers 1 to 3 (the second at
// frame 100, named "Action"): the benchmark's "every field" overlay.
void EveryFieldOn(FBComponent* pElement);
std::string Get(FBComponent* pObject, const char* pName);

// A host with the plug-in loaded, one element and a 1920 x 1080 pane.
class HudTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Switches every optional part of the overlay off, leaving a transparent
  // canvas with only the status field.
  void Quiet();
  vthost::Image Draw();

  std::unique_ptr<vthost::Host> host;
  vthost::PluginLibrary* plugin = nullptr;
  FBHUDElement* element = nullptr;
  vthost::Pane* pane = nullptr;
};

// The same with the overlay made quiet first; Arrange adds what a suite draws.
class QuietHudTest : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    Quiet();
    Arrange();
  }
  virtual void Arrange() {}
};

}  // namespace vthud_test

#endif
