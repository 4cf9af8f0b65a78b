// A warm viewer redraw allocates nothing in the plug-in. The host SDK hands
// string property values out as copies; those are the host's, and with names
// short enough to be stored in place the whole redraw allocates nothing.
#include "allocation_count.h"
#include "hud_support.h"

using namespace vthud_test;

namespace {

void EveryFieldOn(FBComponent* pElement) {
  for (const char* lGate : {"Show Slate", "Show FPS", "Show Reticle", "Show F-Stop", "Show Focus Distance",
                            "Show Camera Name", "Show Interoccular", "Show Convergence", "Show Value 1",
                            "Show Value 2", "Show Marker 1", "Show Marker 2", "Show Marker 3", "Show Labels"})
    Set(pElement, lGate, "true");
  Set(pElement, "Marker 2 Frame", "100");
  Set(pElement, "Marker 2 Name", "Action");
}

}  // namespace

class Allocations : public HudTest {
 protected:
  // Allocations over ten warm DrawElement calls (every glyph already drawn once), as the viewer makes them.
  vthost::Allocations CountWarmFrames() {
    FBViewingOptions lOptions(pane->Camera(), 0);
    FBHUDElement::Rect lRect{0, 0, 1920, 1080, 1, 1};
    for (int i = 0; i < 10; ++i) {  // the first use of a glyph builds its texture
      host->SetFrame(100 + i);
      host->DrawPane(*pane);
    }
    vthost::StartAttributingAllocations(plugin->Symbol("LIBRARY_INIT"));
    for (int i = 0; i < 10; ++i) {
      host->SetFrame(100 + i);
      element->DrawElement(&lOptions, lRect);
    }
    return vthost::StopAttributingAllocations();
  }
  // None in the plug-in with the names as they are; with names short enough
  // to be held in place, none in the host either.
  void ExpectNoneWithAnyNamesAndNoneAtAllWithShortNames() {
    EXPECT_EQ(CountWarmFrames().plugin, 0);
    Set(element, "FQN", "FQN 1");
    host->Renderer().CurrentCamera.GetPropertyValue()->Name = "Cam 1";
    const vthost::Allocations lCount = CountWarmFrames();
    EXPECT_EQ(lCount.plugin, 0);
    EXPECT_EQ(lCount.host, 0) << "short names: the host copies nothing either";
  }
};

TEST_F(Allocations, DefaultOverlayAllocatesNothingInThePlugIn) {
  ExpectNoneWithAnyNamesAndNoneAtAllWithShortNames();
}

TEST_F(Allocations, EveryFieldAndTheVeilAllocateNothingInThePlugIn) {
  EveryFieldOn(element);
  Set(element, "Saving", "true");
  ExpectNoneWithAnyNamesAndNoneAtAllWithShortNames();
}

TEST_F(Allocations, RenamedCameraIsShownAndAnUnchangedLongNameCostsThePlugInNothing) {
  Quiet();
  Set(element, "Show Camera Name", "true");
  FBCamera* lCamera = host->Renderer().CurrentCamera.GetPropertyValue();
  lCamera->Name = "A camera name much longer than any in-place string";
  const vthost::Image lLong = Draw();
  EXPECT_EQ(CountWarmFrames().plugin, 0);
  lCamera->Name = "B";
  const vthost::Image lRenamed = Draw();
  EXPECT_FALSE(DiffBox(lLong, lRenamed, 0, 900, 1920, 1080).empty) << "the new name is drawn";
}
