// Faults at the renderer boundary: every entry the element calls fails in
// turn. The failure is reported once per call that failed (never again on the
// next update or render), nothing crashes, and a disconnect leaves nothing of
// the element in the renderer's scene.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "hud_support.h"
#include "vantor.h"

using namespace vthud_test;

namespace {

// The standard error stream, captured into a file while it lives.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    std::cerr.flush();
    mPath = ::testing::TempDir() + "vthud-stderr-" + std::to_string(getpid());
    mSaved = dup(2);
    FILE* lFile = std::fopen(mPath.c_str(), "w");
    dup2(fileno(lFile), 2);
    std::fclose(lFile);
  }
  ~StderrCapture() {
    Stop();
    std::remove(mPath.c_str());
  }
  std::string Text() {
    std::fflush(stderr);
    std::cerr.flush();
    std::ifstream lIn(mPath);
    std::stringstream lText;
    lText << lIn.rdbuf();
    return lText.str();
  }
  void Stop() {
    if (mSaved < 0) return;
    std::fflush(stderr);
    dup2(mSaved, 2);
    close(mSaved);
    mSaved = -1;
  }

 private:
  std::string mPath;
  int mSaved = -1;
};

size_t Count(const std::string& pText, const std::string& pWhat) {
  size_t n = 0;
  for (size_t at = pText.find(pWhat); at != std::string::npos; at = pText.find(pWhat, at + 1)) ++n;
  return n;
}

std::string Reported(const char* pEntry) { return std::string("MFI error caused in function '") + pEntry + "'"; }

}  // namespace

class RendererFaults : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    host->AddRendererCallback("VantorRendererCallback");
    host->SetCurrentPaneCallbackIndex(0);
    std::string lError;
    ASSERT_TRUE(renderer.attach(plugin->Handle(), "libvthudelement", &lError)) << lError;
  }
  // Entities of the element left in the scene; the vertex layout goes with its mesh.
  size_t Owned() const {
    size_t n = 0;
    for (auto k : {vantor::Kind::VertexLayout, vantor::Kind::PolygonMesh, vantor::Kind::Transform,
                   vantor::Kind::Material, vantor::Kind::Texture})
      n += renderer.handles(k).size();
    return n;
  }
  vantor::Renderer renderer;
};

TEST_F(RendererFaults, EachFailingEntryIsReportedOncePerCallAndReleasedAtDisconnect) {
  // Entry, and how many times one connection calls it.
  const std::pair<const char*, size_t> kEntries[] = {{"MfiCreateVertexLayout", 1},
                                                     {"MfiCreatePolygonMesh", 1},
                                                     {"MfiSetEntityAnnotatedName", 2},
                                                     {"MfiSetPolygonMeshBuffers", 1},
                                                     {"MfiCreateTransform", 1},
                                                     {"MfiSetEntityCategory", 1},
                                                     {"MfiCreateMaterialFromString", 1},
                                                     {"MfiSetEntityPropertyi", 1},
                                                     {"MfiSetTransformPropertyMaterial", 1},
                                                     {"MfiCreateTexture2D", 1},
                                                     {"MfiSetTextureData", 1},
                                                     {"MfiGetMaterialPropertyIdByName", 1},
                                                     {"MfiSetMaterialPropertyTextured", 1}};
  for (const auto& [lEntry, lCalls] : kEntries) {
    SCOPED_TRACE(lEntry);
    StderrCapture lCapture;
    renderer.injectFault(lEntry, vantor::kInvalidArgument);
    renderer.connect();
    renderer.update();
    const std::string lFirst = lCapture.Text();
    renderer.update();
    renderer.render();
    Draw();
    const std::string lAfter = lCapture.Text();
    renderer.clearFaults();
    renderer.disconnect();
    lCapture.Stop();
    EXPECT_EQ(Count(lFirst, Reported(lEntry)), lCalls) << lFirst;
    EXPECT_EQ(lAfter, lFirst) << "a later update or render reported again";
    EXPECT_EQ(Owned(), 0u) << "left in the renderer's scene after the disconnect";

    // The next connection, without faults, builds everything again.
    renderer.connect();
    renderer.update();
    EXPECT_EQ(Owned(), 5u);
    renderer.disconnect();
    EXPECT_EQ(Owned(), 0u);
  }
}

TEST_F(RendererFaults, FailedReleasesAreReportedOnceEachAndNotRetried) {
  renderer.connect();
  renderer.update();
  ASSERT_EQ(Owned(), 5u);
  StderrCapture lCapture;
  renderer.injectFault("MfiReleaseEntity", vantor::kInvalidHandle);
  renderer.disconnect();
  renderer.disconnect();
  const std::string lText = lCapture.Text();
  lCapture.Stop();
  // The renderer kept what it would not release (the layout with its mesh);
  // the element dropped its four handles, each reported once.
  EXPECT_EQ(Count(lText, Reported("MfiReleaseEntity")), 4u) << lText;
  EXPECT_EQ(Owned(), 5u);
  renderer.clearFaults();
  renderer.connect();
  renderer.update();
  EXPECT_EQ(Owned(), 10u) << "a new connection builds a new set";
  renderer.disconnect();
  EXPECT_EQ(Owned(), 5u);
}
