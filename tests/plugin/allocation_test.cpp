// A warm viewer redraw allocates nothing in the plug-in. The host SDK hands
// string property values out as copies; those are the host's, and with names
// short enough to be stored in place the whole redraw allocates nothing.
#include "allocation_count.h"
#include "hud_support.h"
#include "lean_overlay.h"

#include <cstring>

using namespace vthud_test;

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

namespace {

// The plug-in's path beside the GL driver: its own code and every library it
// calls for anything but drawing.
bool IsPluginPath(const std::string& pObject) {
  const size_t lSlash = pObject.rfind('/');
  const std::string lName = lSlash == std::string::npos ? pObject : pObject.substr(lSlash + 1);
  for (const char* lPrefix : {"libvthudelement", "libfbsdk", "libftgl", "libfreetype", "libQt", "libpng"})
    if (lName.compare(0, strlen(lPrefix), lPrefix) == 0) return true;
  return lName == "test_plugin";
}

}  // namespace

// Every heap block of a warm frame, by caller, from all libraries. With the
// plug-in on the stack only the GL driver may ask for any (llvmpipe allocates
// per draw it is handed), and the driver asks no more for the element's frame
// than for the lean drawing of the same pixels, within 2. Names are short, so
// the SDK's string copies are in place.
TEST_F(Allocations, WarmFrameBlocksAreTheGLDriversAndNoMoreThanTheLeanDrawings) {
  if (!vthost::HeapCensusAvailable()) GTEST_SKIP() << "malloc belongs to the sanitizer runtime";
  host->Renderer().CurrentCamera.GetPropertyValue()->Name = "Cam 1";
  vthost::Pane& lLeanPane = host->AddPane(1920, 1080, nullptr);
  for (const bool lEveryField : {false, true}) {
    SCOPED_TRACE(lEveryField ? "every field" : "default overlay");
    if (lEveryField) EveryFieldOn(element);
    vthud_bench::LeanOverlay lLean;
    ASSERT_TRUE(lLean.Load(lEveryField, host->Renderer().CurrentCamera.GetPropertyValue(), "Take 001"));
    for (int i = 0; i < 10; ++i) {  // the first use of a glyph builds its texture
      host->SetFrame(100 + i);
      host->DrawPane(*pane);
      lLean.DrawPane(lLeanPane, 100 + i);
    }
    FBViewingOptions lOptions(pane->Camera(), 0);
    FBHUDElement::Rect lRect{0, 0, 1920, 1080, 1, 1};
    vthost::StartHeapCensus(plugin->Symbol("LIBRARY_INIT"));
    for (int i = 0; i < 10; ++i) {
      host->SetFrame(100 + i);
      element->DrawElement(&lOptions, lRect);
    }
    const vthost::HeapCensus lElement = vthost::StopHeapCensus();
    vthost::StartHeapCensus(plugin->Symbol("LIBRARY_INIT"));
    for (int i = 0; i < 10; ++i) lLean.DrawPane(lLeanPane, 100 + i);
    const vthost::HeapCensus lLeanCensus = vthost::StopHeapCensus();

    for (const vthost::HeapCaller& lCaller : lElement.callers) {
      const std::string lObject = vthost::ObjectFile(lCaller.askerBase);
      EXPECT_FALSE(lCaller.plugin && IsPluginPath(lObject))
          << lCaller.blocks << " blocks in 10 frames asked by " << lObject << " at " << lCaller.asker;
    }
    EXPECT_FALSE(lElement.overflowed);
    EXPECT_LE(lElement.pluginBlocks, lLeanCensus.blocks + 2 * 10)
        << "in 10 frames; the lean drawing's frame and its clear make " << lLeanCensus.blocks;
  }
}
