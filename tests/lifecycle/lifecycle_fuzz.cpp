// The lifecycle fuzz: a seeded random sequence of what a long session does to
// the element, through the stand-in host and renderer (elements created and
// destroyed, panes drawn, any property set to any value, timecode sources
// bound and unbound, the renderer connected, updated, rendered and
// disconnected, purgatory entered and left, renderer entries failing), then
// everything destroyed and counted: GL textures and framebuffers, renderer
// entities, answering renderer nodes, event subscriptions, host objects and
// heap blocks must all be back where they started.
//
//   vthud_lifecycle_fuzz [--seed N] [--steps N]
// The seed is printed first, so a failing run can be replayed.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "headless_gl.h"
#include "host.h"
#include "property_edit.h"
#include "vantor.h"

// ---- heap blocks of the plug-in: every operator new whose first caller
// outside the C++ runtime is the plug-in's code. Others (Mesa's shader
// compiler, Qt's caches) keep blocks for the process and are not counted.
namespace {
thread_local bool tInside = false;
const void* gPluginBase = nullptr;
const void* gLinesBase = nullptr;  // the frame lines plug-in's
const void* gRuntimeBase = nullptr;
std::unordered_map<void*, size_t>* gPluginBlocks = nullptr;  // block, bytes

const void* ObjectOf(const void* pAddress) {
  Dl_info lInfo;
  return dladdr(pAddress, &lInfo) ? lInfo.dli_fbase : nullptr;
}

void Track(void* p, size_t pSize) {
  if (!gPluginBase || tInside) return;
  tInside = true;
  void* lFrames[8];
  const int n = backtrace(lFrames, 8);
  static const void* sSelf = ObjectOf(reinterpret_cast<const void*>(&Track));
  for (int i = 1; i < n; ++i) {
    const void* lObject = ObjectOf(lFrames[i]);
    if (lObject == sSelf || lObject == gRuntimeBase) continue;
    if (lObject == gPluginBase || lObject == gLinesBase) gPluginBlocks->emplace(p, pSize);
    break;
  }
  tInside = false;
}

void Untrack(void* p) {
  if (!gPluginBlocks || tInside) return;
  tInside = true;
  gPluginBlocks->erase(p);
  tInside = false;
}
}  // namespace

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t pSize) {
  void* p = std::malloc(pSize ? pSize : 1);
  if (!p) throw std::bad_alloc();
  Track(p, pSize);
  return p;
}
void* operator new(size_t pSize, const std::nothrow_t&) noexcept {
  void* p = std::malloc(pSize ? pSize : 1);
  if (p) Track(p, pSize);
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  Untrack(p);
  std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }

namespace {

long gQtMessages = 0;
void CountMessage(QtMsgType, const QMessageLogContext&, const QString&) { ++gQtMessages; }

// GL names in use: names are handed out upwards, so a probe name bounds the scan.
struct GLCounts {
  int textures = 0, framebuffers = 0, lists = 0;
};
GLCounts CountGL() {
  GLuint lTexture = 0, lFramebuffer = 0;
  glGenTextures(1, &lTexture);
  glGenFramebuffers(1, &lFramebuffer);
  GLCounts c;
  for (GLuint n = 1; n < lTexture + 256; ++n)
    if (n != lTexture && glIsTexture(n)) ++c.textures;
  for (GLuint n = 1; n < lFramebuffer + 256; ++n)
    if (n != lFramebuffer && glIsFramebuffer(n)) ++c.framebuffers;
  // Display lists.
  const GLuint lList = glGenLists(1);
  for (GLuint n = 1; n < lList + 256; ++n)
    if (n != lList && glIsList(n)) ++c.lists;
  glDeleteLists(lList, 1);
  glDeleteTextures(1, &lTexture);
  glDeleteFramebuffers(1, &lFramebuffer);
  return c;
}

struct Counts {
  GLCounts gl;
  long long heapBlocks = 0, heapBytes = 0;
  size_t connectionSubscribers = 0, pipelineSubscribers = 0;
  int components = 0;
};
Counts CountAll() {
  Counts c;
  c.gl = CountGL();
  c.connectionSubscribers = fbsdk_host::ConnectionNotifySubscribers()->entries.size();
  c.pipelineSubscribers = fbsdk_host::RenderPipelineSubscribers()->entries.size();
  c.components = FBComponent::GetAllocatedCount();
  if (gPluginBlocks) {
    c.heapBlocks = static_cast<long long>(gPluginBlocks->size());
    for (const auto& lBlock : *gPluginBlocks) c.heapBytes += static_cast<long long>(lBlock.second);
  }
  return c;
}

// Every renderer entry the element calls but the release: a failed release
// leaves its entity with the renderer by design (reported, handle dropped).
const char* const kFaultEntries[] = {"MfiCreateVertexLayout",
                                     "MfiCreatePolygonMesh",
                                     "MfiSetEntityAnnotatedName",
                                     "MfiSetPolygonMeshBuffers",
                                     "MfiCreateTransform",
                                     "MfiSetEntityCategory",
                                     "MfiCreateMaterialFromString",
                                     "MfiSetEntityPropertyi",
                                     "MfiSetTransformPropertyMaterial",
                                     "MfiCreateTexture2D",
                                     "MfiSetTextureData",
                                     "MfiGetMaterialPropertyIdByName",
                                     "MfiSetMaterialPropertyTextured"};

class Session {
 public:
  Session(unsigned pSeed, vthost::Host& pHost, vantor::Renderer& pRenderer)
      : mRandom(pSeed), mHost(pHost), mRenderer(pRenderer) {
    mHost.AddRendererCallback("Viewer");
    mHost.AddRendererCallback("VantorRendererCallback");
    mPane = &mHost.AddPane(160, 90, nullptr);
    mSources.push_back(Source("TC master", "master", 3600.5));
    mSources.push_back(Source("TC huge", "Timecode", 1e300));
    mSources.push_back(Source("TC nan", "TimeCode", std::numeric_limits<double>::quiet_NaN()));
    vthost::SceneObject* lFour = mHost.AddObject("TC four");
    for (const char* lName : {"TCHour", "TCMinute", "TCSecond", "TCFrame"})
      lFour->PropertyCreate(lName, kFBPT_int, "", true)->SetString("2147483647");
    mSources.push_back(lFour);
  }

  void Step() {
    switch (Pick(16)) {
      case 0:
        if (mElements.size() < 4) Create();
        break;
      case 1:
        if (!mElements.empty() && Pick(3) == 0) DestroyOne();
        break;
      case 2:
      case 3:
        mHost.DrawPane(*mPane);
        ++mDraws;
        break;
      case 4:
      case 5:
      case 6: SetAnyProperty(); break;
      case 7: Bind(); break;
      case 8: Transport(); break;
      case 9: Purgatory(); break;
      case 10: Faults(); break;
      case 11: mRenderer.connect(); break;
      case 12: mRenderer.update(); break;
      case 13:
        mHost.SetCurrentPaneCallbackIndex(static_cast<int>(Pick(3)) - 1);
        mRenderer.render();
        break;
      case 14:
        if (Pick(4) == 0) mRenderer.disconnect();
        break;
      default: SetRawValue(); break;
    }
  }

  void Finish() {
    mRenderer.clearFaults();
    mRenderer.disconnect();
    mHost.DestroyAll();
    mElements.clear();
  }

  long Created() const { return mCreated; }
  long Draws() const { return mDraws; }
  long Sets() const { return mSets; }

 private:
  unsigned Pick(unsigned pBound) { return std::uniform_int_distribution<unsigned>(0, pBound - 1)(mRandom); }

  vthost::SceneObject* Source(const char* pName, const char* pProperty, double pSeconds) {
    vthost::SceneObject* lObject = mHost.AddObject(pName);
    FBTimeCode lValue;
    lValue.SetRaw(pSeconds, 7);
    lObject->PropertyCreate(pProperty, kFBPT_TimeCode, "", true)->SetData(&lValue);
    return lObject;
  }

  FBHUDElement* AnyElement() { return mElements.empty() ? nullptr : mElements[Pick(mElements.size())]; }

  void Create() {
    std::string lError;
    // One in three is a frame lines element; both kinds share the renderer and the panes.
    const bool lLines = Pick(3) == 0;
    auto* lElement = static_cast<FBHUDElement*>(
        mHost.Create(lLines ? "VTFrameLines" : "VTHUDElement",
                     (lLines ? "Lines " : "HUD ") + std::to_string(++mCreated), lError));
    if (!lElement) {
      std::fprintf(stderr, "creating an element failed: %s\n", lError.c_str());
      std::exit(1);
    }
    mElements.push_back(lElement);
  }

  void DestroyOne() {
    const size_t i = Pick(mElements.size());
    mHost.Destroy(mElements[i]);
    mElements.erase(mElements.begin() + static_cast<long>(i));
  }

  const std::string& AnyText(FBPropertyType pType) {
    static const std::vector<std::string> kBool = {"true", "false", "1", "0", "", "yes"};
    static const std::vector<std::string> kInt = {"0",           "1",          "-1",          "12",  "2147483647",
                                                  "-2147483648", "2147483648", "-2147483649", "1e9", "",
                                                  "99999999999", "300"};
    static const std::vector<std::string> kDouble = {"0",   "2.35", "1",    "-1",     "1e308", "-1e308",
                                                     "nan", "inf",  "-inf", "1e-320", "",      "100"};
    static const std::vector<std::string> kColor = {"1 0 0 0.5", "2 -1 1e308 -1e308", "0 0 0 0",
                                                    "nan 0 0 1", "1 1 1 1",           "1 2 3"};
    static const std::vector<std::string> kTimecode = {"0 0 30", "1e300 1e300 30", "-1e300 -5 30", "86400 29 30",
                                                       "1 2"};
    static const std::vector<std::string> kString = {
        "", std::string(10000, 'W'), "\xff", "\xfe\xff slate", "\xf8\x88\x80\x80\x80", "\xf4\x90\x80\x80",
        "\xed\xa0\x80", std::string(254, 'A') + "\xf0\x9f\x98\x80", "line\nbreak", "\"quoted\" 'text'", "%s%n%d",
        "ShowOpticalCenter", "master",
        // the frame lines' file, decisions, canvas and aspect lines
        VTLINES_SAMPLE_FDL, "/nonexistent/show.fdl", "A_CAM-SCOPE, A_CAM-TV, A_CAM-XX", "A_CAM", "2.39, 1.85",
        "0, 1e308, nan"};
    switch (pType) {
      case kFBPT_bool: return kBool[Pick(kBool.size())];
      case kFBPT_int:
      case kFBPT_enum: return kInt[Pick(kInt.size())];
      case kFBPT_double: return kDouble[Pick(kDouble.size())];
      case kFBPT_ColorRGBA: return kColor[Pick(kColor.size())];
      case kFBPT_TimeCode: return kTimecode[Pick(kTimecode.size())];
      default: return kString[Pick(kString.size())];
    }
  }

  FBProperty* AnyProperty(FBHUDElement* pElement) {
    return pElement
        ->PropertyList[static_cast<int>(Pick(static_cast<unsigned>(pElement->PropertyList.GetCount())))];
  }

  void SetAnyProperty() {
    FBHUDElement* lElement = AnyElement();
    if (!lElement) return;
    FBProperty* lProperty = AnyProperty(lElement);
    if (lProperty->GetPropertyType() == kFBPT_object) return;
    // Any type's text on any property: refusals are part of the run.
    const FBPropertyType lType =
        Pick(4) == 0 ? static_cast<FBPropertyType>(Pick(12)) : lProperty->GetPropertyType();
    std::string lError;
    vthost::SetPropertyFromText(lElement, lProperty->GetName(), AnyText(lType), lError);
    ++mSets;
  }

  // What text cannot carry: NaN and infinities straight into numbers.
  void SetRawValue() {
    FBHUDElement* lElement = AnyElement();
    if (!lElement) return;
    FBProperty* lProperty = AnyProperty(lElement);
    const double kRaw[] = {std::numeric_limits<double>::quiet_NaN(), INFINITY, -INFINITY, 1e308, -1e308, 1e12};
    const double lValue = kRaw[Pick(6)];
    switch (lProperty->GetPropertyType()) {
      case kFBPT_double: lProperty->SetData(&lValue); break;
      case kFBPT_ColorRGBA: {
        double lColor[4] = {lValue, kRaw[Pick(6)], 0.5, lValue};
        FBColorAndAlpha lColour(lColor);
        lProperty->SetData(&lColour);
        break;
      }
      case kFBPT_int: {
        const int kInts[] = {INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1};
        lProperty->SetData(&kInts[Pick(4)]);
        break;
      }
      default: return;
    }
    ++mSets;
  }

  void Bind() {
    FBHUDElement* lElement = AnyElement();
    if (!lElement) return;
    const char* lSide = Pick(2) ? "Character Timecode Source" : "Camera Timecode Source";
    auto* lList = static_cast<FBPropertyListObject*>(lElement->PropertyList.Find(lSide));
    if (!lList) return;
    lList->RemoveAll();
    if (Pick(3) != 0) lList->Add(mSources[Pick(mSources.size())]);
  }

  void Transport() {
    auto& lState = fbsdk_host::State();
    const long long kFrames[] = {0, 10, -10, 299, 300, 301, INT_MAX, INT_MIN, 1LL << 40, -(1LL << 40)};
    switch (Pick(6)) {
      case 0: mHost.SetFrame(kFrames[Pick(10)]); break;
      case 1: lState.sceneTime = FBTime(Pick(2) ? LLONG_MAX : LLONG_MIN); break;
      case 2: mHost.SetLoop(kFrames[Pick(10)], kFrames[Pick(10)]); break;
      case 3:
        lState.loopStart = FBTime(Pick(2) ? LLONG_MIN : 0);
        lState.loopStop = FBTime(Pick(2) ? LLONG_MAX : 0);
        break;
      case 4: mHost.SetRecording(Pick(2)); break;
      default: mHost.SetPlaying(Pick(2)); break;
    }
  }

  void Purgatory() {
    FBHUDElement* lElement = AnyElement();
    if (!lElement) return;
    if (Pick(2))
      lElement->Show = !lElement->Show;
    else
      lElement->SetStatusFlag(kFBStatusOwnedByUndo, !lElement->GetStatusFlag(kFBStatusOwnedByUndo));
  }

  void Faults() {
    if (Pick(3) == 0) {
      mRenderer.clearFaults();
      return;
    }
    const size_t lCount = sizeof kFaultEntries / sizeof kFaultEntries[0];
    mRenderer.injectFault(kFaultEntries[Pick(lCount)], static_cast<int32_t>(1 + Pick(6)));
  }

  std::mt19937 mRandom;
  vthost::Host& mHost;
  vantor::Renderer& mRenderer;
  vthost::Pane* mPane = nullptr;
  std::vector<FBComponent*> mSources;
  std::vector<FBHUDElement*> mElements;
  long mCreated = 0, mDraws = 0, mSets = 0;
};

// One host session: plug-in loaded, the renderer attached, the steps run,
// everything destroyed. Returns the renderer's leftovers, and the count of
// renderer nodes that still answered a connect and update once every element was gone.
struct SessionResult {
  size_t entities = 0, layouts = 0, answeringNodes = 0, entitiesCreated = 0;
  long created = 0, draws = 0, sets = 0;
};
SessionResult RunSession(unsigned pSeed, long pSteps) {
  SessionResult r;
  vthost::Host lHost;
  std::string lError;
  vthost::PluginLibrary* lPlugin = lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError);
  if (!lPlugin) {
    std::fprintf(stderr, "%s\n", lError.c_str());
    std::exit(1);
  }
  gPluginBase = ObjectOf(lPlugin->Symbol("LIBRARY_INIT"));
  vthost::PluginLibrary* lLines = lHost.LoadPlugin(VTLINES_PLUGIN_PATH, lError);
  if (!lLines) {
    std::fprintf(stderr, "%s\n", lError.c_str());
    std::exit(1);
  }
  gLinesBase = ObjectOf(lLines->Symbol("LIBRARY_INIT"));
  vantor::Renderer lRenderer;
  if (!lRenderer.attach(lPlugin->Handle(), "libvthudelement", &lError) ||
      !lRenderer.attach(lLines->Handle(), &lError)) {
    std::fprintf(stderr, "%s\n", lError.c_str());
    std::exit(1);
  }
  {
    Session lSession(pSeed, lHost, lRenderer);
    for (long i = 0; i < pSteps; ++i) lSession.Step();
    lSession.Finish();
    r.created = lSession.Created();
    r.draws = lSession.Draws();
    r.sets = lSession.Sets();
  }
  r.layouts = lRenderer.handles(vantor::Kind::VertexLayout).size();
  for (auto k : {vantor::Kind::VertexLayout, vantor::Kind::PolygonMesh, vantor::Kind::Transform,
                 vantor::Kind::Material, vantor::Kind::Texture})
    r.entitiesCreated += lRenderer.createdCount(k);
  r.entities = lRenderer.entityCount() - r.layouts;
  // No element is left, so no node may answer.
  const size_t lBefore = lRenderer.entityCount();
  lRenderer.connect();
  lRenderer.update();
  lRenderer.render();
  r.answeringNodes = lRenderer.entityCount() - lBefore;
  lRenderer.disconnect();
  // Blocks still held once the plug-in is unloaded are the plug-in's leaks.
  lHost.DestroyAll();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned lSeed = static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
  long lSteps = 10000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!std::strcmp(argv[i], "--seed"))
      lSeed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
    else if (!std::strcmp(argv[i], "--steps"))
      lSteps = std::strtol(argv[i + 1], nullptr, 10);
  }
  std::printf("lifecycle fuzz: seed %u, %ld steps (replay: --seed %u --steps %ld)\n", lSeed, lSteps, lSeed,
              lSteps);
  std::fflush(stdout);

  vthost::GLPlatform lPlatform;
  std::string lError;
  vthost::HeadlessGL lGL;
  if (!vthost::PlatformFromEnvironment(lPlatform, lError) || !lGL.Create(lPlatform, lError)) {
    std::fprintf(stderr, "no OpenGL context: %s\n", lError.c_str());
    return 1;
  }
  qInstallMessageHandler(&CountMessage);
  gRuntimeBase = ObjectOf(reinterpret_cast<const void*>(&std::terminate));
  gPluginBlocks = new std::unordered_map<void*, size_t>;
  // The renderer's error lines go to stderr; a long run only needs their count.
  std::fflush(stderr);

  // A short first session settles what the process keeps once (Qt's image
  // plug-ins, FreeType's library, Mesa's shader cache); the counts start after it.
  RunSession(lSeed + 1, 200);
  const Counts lStart = CountAll();
  const SessionResult r = RunSession(lSeed, lSteps);
  const Counts lEnd = CountAll();

  const long long lHeap = lEnd.heapBlocks - lStart.heapBlocks;
  const long long lHeapBytes = lEnd.heapBytes - lStart.heapBytes;
  const int lTextures = lEnd.gl.textures - lStart.gl.textures;
  const int lFramebuffers = lEnd.gl.framebuffers - lStart.gl.framebuffers;
  const int lLists = lEnd.gl.lists - lStart.gl.lists;
  const long lConnection =
      static_cast<long>(lEnd.connectionSubscribers) - static_cast<long>(lStart.connectionSubscribers);
  const long lPipeline =
      static_cast<long>(lEnd.pipelineSubscribers) - static_cast<long>(lStart.pipelineSubscribers);
  const int lComponents = lEnd.components - lStart.components;
  std::printf(
      "steps %ld: %ld elements created, %ld pane draws, %ld property sets, %zu renderer entities created, "
      "%ld debug lines\n",
      lSteps, r.created, r.draws, r.sets, r.entitiesCreated, gQtMessages);
  std::printf(
      "left after destroying everything: GL textures %d, GL framebuffers %d, GL lists %d, renderer entities %zu, "
      "renderer vertex layouts %zu, answering renderer nodes %zu, connection subscriptions %ld, "
      "pipeline subscriptions %ld, plug-in objects %d, plug-in heap blocks %lld (%lld bytes)\n",
      lTextures, lFramebuffers, lLists, r.entities, r.layouts, r.answeringNodes, lConnection, lPipeline,
      lComponents, lHeap, lHeapBytes);
  const bool lClean = lTextures == 0 && lFramebuffers == 0 && lLists == 0 && r.entities == 0 && r.layouts == 0 &&
                      r.answeringNodes == 0 && lConnection == 0 && lPipeline == 0 && lComponents == 0 &&
                      lHeap == 0 && lHeapBytes == 0;
  if (lClean)
    std::printf("lifecycle fuzz: nothing left\n");
  else
    std::printf("lifecycle fuzz: FAILED, objects left (seed %u)\n", lSeed);
  return lClean ? 0 : 1;
}
