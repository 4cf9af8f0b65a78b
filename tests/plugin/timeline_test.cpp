// The timeline: the loop range mapped onto x 10..W-10 at the timeline offset,
// with the in/out band, the markers and the current-frame cursor.
#include "hud_support.h"

using namespace vthud_test;

class Timeline : public QuietHudTest {
 protected:
  void Arrange() override {
    Set(element, "Show Timeline", "true");
    host->SetLoop(0, 100);
  }
  void Marker(int pIndex, bool pShown, int pFrame, const char* pName) {
    const std::string lN = std::to_string(pIndex);
    Set(element, ("Show Marker " + lN).c_str(), pShown ? "true" : "false");
    Set(element, ("Marker " + lN + " Frame").c_str(), std::to_string(pFrame));
    Set(element, ("Marker " + lN + " Name").c_str(), pName);
  }
};

TEST_F(Timeline, OutlineBoxesTheTimelineAndShowTimelineFalseDrawsNothing) {
  host->SetFrame(50);
  Marker(1, false, 50, "M");
  Set(element, "In Frame", "20");
  Set(element, "Out Frame", "80");
  const Box lOutline = LitBox(Draw(), 0, 60, 1920, 140);
  // The line loop's edges may fall on either side of the pixel boundary.
  EXPECT_NEAR(lOutline.x0, 10, 1) << ToString(lOutline);
  EXPECT_NEAR(lOutline.x1, 1911, 1) << ToString(lOutline);
  EXPECT_NEAR(lOutline.y0, 90, 1) << ToString(lOutline);
  EXPECT_NEAR(lOutline.y1, 111, 1) << ToString(lOutline);

  Set(element, "Show Marker 1", "true");
  Set(element, "Show Timeline", "false");
  EXPECT_TRUE(LitBox(Draw(), 0, 60, 1920, 140).empty) << "no outline, band, marker or cursor";
}

// The band alone: the difference against an empty in = out range.
TEST_F(Timeline, BandRunsFromInToOutClampedToTheLoop) {
  struct Case {
    int start, stop, in, out;
    int x0, x1;  // x1 exclusive; x0 == x1 for no band
  };
  const Case kCases[] = {
      {0, 100, 20, 60, 390, 1150}, {0, 100, -30, 60, 10, 1150}, {0, 100, 20, 250, 390, 1910},
      {0, 100, 60, 20, 0, 0},      {0, 100, 150, 200, 0, 0},    {10, 40, 20, 25, 643, 960},
  };
  Set(element, "Mask Color", "0.5 0.2 0.6 0");
  Set(element, "Font Color", "1 1 1 0");
  host->SetFrame(-1000);  // the cursor off the canvas
  for (const Case& c : kCases) {
    SCOPED_TRACE("loop " + std::to_string(c.start) + ".." + std::to_string(c.stop) + " in " +
                 std::to_string(c.in) + " out " + std::to_string(c.out));
    host->SetLoop(c.start, c.stop);
    Set(element, "In Frame", std::to_string(c.start));
    Set(element, "Out Frame", std::to_string(c.start));
    const vthost::Image lEmpty = Draw();
    Set(element, "In Frame", std::to_string(c.in));
    Set(element, "Out Frame", std::to_string(c.out));
    const vthost::Image lImage = Draw();
    const Box lBand = DiffBox(lEmpty, lImage, 0, 0, 1920, 1080);
    if (c.x0 == c.x1) {
      EXPECT_TRUE(lBand.empty) << ToString(lBand);
      continue;
    }
    EXPECT_EQ(ToString(lBand), ToString({c.x0, 91, c.x1, 109, false}));
    // Mask colour shifted by (-0.55, +0.55, -0.55) at 0.25 alpha, over transparent.
    EXPECT_TRUE(Probe(lImage, (c.x0 + c.x1) / 2, 100, {0, 48, 3, 64}));
  }
}

TEST_F(Timeline, MarkersInTheLoopDrawATriangleWithTheNameBelow) {
  struct Case {
    int index, frame;
    bool shown;
    int apex;  // x of the apex, -1 for not drawn
  };
  // X(f) on 0..1000 is int(f * 1.9 + 10): 1001 and -3 would land on the canvas at 1911 and 4.
  const Case kCases[] = {{1, 500, true, 960}, {20, 0, true, 10}, {3, 1000, true, 1910},
                         {4, 1001, true, -1}, {5, -3, true, -1}, {6, 250, false, -1}};
  host->SetLoop(0, 1000);
  host->SetFrame(-1000);
  const vthost::Image lNone = Draw();
  for (const Case& c : kCases) {
    SCOPED_TRACE("marker " + std::to_string(c.index) + " at " + std::to_string(c.frame));
    Marker(c.index, c.shown, c.frame, "MMM");
    const vthost::Image lImage = Draw();
    Marker(c.index, false, 0, "");
    const Box lTriangle = DiffBox(lNone, lImage, 0, 90, 1920, 120);
    const Box lName = DiffBox(lNone, lImage, 0, 0, 1920, 90);
    if (c.apex < 0) {
      EXPECT_TRUE(lTriangle.empty && lName.empty) << ToString(lTriangle) << " " << ToString(lName);
      continue;
    }
    // Apex (x, T+11), base (x-10, T+1) .. (x+10, T+1), clipped by the canvas.
    EXPECT_NEAR(lTriangle.x0, std::max(0, c.apex - 10), 1) << ToString(lTriangle);
    EXPECT_NEAR(lTriangle.x1, std::min(1920, c.apex + 10), 1) << ToString(lTriangle);
    EXPECT_EQ(lTriangle.y0, 91) << ToString(lTriangle);
    EXPECT_NEAR(lTriangle.y1, 101, 1) << ToString(lTriangle);
    EXPECT_TRUE(Probe(lImage, c.apex, 93, {255, 255, 255, 255}));
    ASSERT_FALSE(lName.empty);
    EXPECT_LE(lName.y1, 86) << "name below the timeline " << ToString(lName);
    if (c.apex > 100 && c.apex < 1800) {
      EXPECT_NEAR(lName.x0 + lName.x1, 2 * c.apex, 4) << ToString(lName) << " centred";
    }
  }
}

TEST_F(Timeline, CursorIsFourPixelsWideAtTheFrameInTheMaskDerivedColour) {
  struct Case {
    int stop, frame;
    int x0;  // first lit column: X(frame) - 2
  };
  // X(50) on 0..100 is 960; X(-1) on 0..1000 is int(8.1) = 8, left of the loop's start.
  const Case kCases[] = {{100, 50, 958}, {1000, -1, 6}};
  Set(element, "Mask Color", "0.5 0.2 0.6 0");
  Set(element, "Font Color", "1 1 1 0");
  const RGBA kCursor{255, 0, 13, 255};  // mask + (0.55, -0.55, -0.55), opaque
  for (const Case& c : kCases) {
    SCOPED_TRACE("frame " + std::to_string(c.frame));
    host->SetLoop(0, c.stop);
    host->SetFrame(c.frame);
    const vthost::Image lImage = Draw();
    for (int x : {c.x0, c.x0 + 3}) {
      EXPECT_TRUE(Probe(lImage, x, 91, kCursor));
      EXPECT_TRUE(Probe(lImage, x, 108, kCursor));
    }
    for (auto [x, y] : {std::pair<int, int>{c.x0 - 1, 100}, {c.x0 + 4, 100}, {c.x0 + 1, 90}, {c.x0 + 1, 109}})
      EXPECT_TRUE(Probe(lImage, x, y, kClear));
  }
}
