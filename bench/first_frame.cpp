// First frames in processes of their own: a new element's first default
// overlay against its first save veil, whose message font builds the largest
// glyph atlas. Each face bundle stands in for the plug-in's own in turn.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <QtCore/QResource>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "headless_gl.h"
#include "host.h"

namespace vthud_bench {

void Configure(FBComponent* pElement, Overlay pOverlay) {
  auto Set = [&](const char* pName, const char* pValue) {
    if (FBProperty* p = pElement->PropertyList.Find(pName)) p->SetString(pValue);
  };
  if (pOverlay == kStatusOnly) {
    for (const char* lGate : {"Show Labels", "Show Timeline", "Show FQN", "Show Focal Length", "Show Scene Frame",
                              "Show Scene Timecode", "Show Character Timecode", "Show Camera Timecode"})
      Set(lGate, "false");
    Set("Mask Color", "0 0 0 0");
  }
  if (pOverlay == kEverything) {
    for (const char* lGate : {"Show Slate", "Show FPS", "Show Reticle", "Show F-Stop", "Show Focus Distance",
                              "Show Camera Name", "Show Interoccular", "Show Convergence", "Show Value 1",
                              "Show Value 2", "Show Marker 1", "Show Marker 2", "Show Marker 3"})
      Set(lGate, "true");
    Set("Marker 2 Frame", "100");
    Set("Marker 2 Name", "Action");
  }
  if (pOverlay == kSaveVeil) Set("Saving", "true");
}

namespace {

struct Face {
  const char* name;
  const char* bundle;  // a binary resource bundle in place of the plug-in's, or null for its own
  const char* sansFile;
};

struct FirstFrame {
  double ms = 0;
  double peakMiB = 0;  // whole process, at the end of the frame
  int atlasWidth = 0, atlasHeight = 0;
  bool ok = false;
};

double PeakMiB() {
  FILE* lStatus = fopen("/proc/self/status", "r");
  char lLine[256];
  double lKiB = 0;
  while (lStatus && fgets(lLine, sizeof lLine, lStatus))
    if (strncmp(lLine, "VmHWM:", 6) == 0) lKiB = atof(lLine + 6);
  if (lStatus) fclose(lStatus);
  return lKiB / 1024.0;
}

// In the child: context, host, plug-in, one element, one timed first frame.
FirstFrame Measure(const Face& pFace, bool pVeil) {
  FirstFrame lResult;
  vthost::HeadlessGL lGL;
  vthost::GLPlatform lPlatform;
  std::string lError;
  if (!vthost::PlatformFromEnvironment(lPlatform, lError) || !lGL.Create(lPlatform, lError)) return lResult;
  vthost::Host lHost;
  vthost::PluginLibrary* lPlugin = lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError);
  if (!lPlugin) return lResult;
  if (pFace.bundle) {
    auto lCleanup = reinterpret_cast<int (*)()>(lPlugin->Symbol("_Z30qCleanupResources_vshudelementv"));
    if (!lCleanup || !QResource::registerResource(pFace.bundle)) return lResult;
    lCleanup();
  }
  FBComponent* lElement = lHost.Create("VTHUDElement", "hud", lError);
  if (!lElement) return lResult;
  Configure(lElement, pVeil ? kSaveVeil : kDefault);
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  const auto lStart = std::chrono::steady_clock::now();
  lHost.DrawPane(lPane);
  lResult.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - lStart).count();
  lResult.peakMiB = PeakMiB();
  // The atlas bound last is the message font's on a veil frame.
  GLint lTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &lTexture);
  if (pVeil && lTexture) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lTexture));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &lResult.atlasWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &lResult.atlasHeight);
  }
  lResult.ok = true;
  return lResult;
}

FirstFrame InChild(const Face& pFace, bool pVeil) {
  int lPipe[2];
  FirstFrame lResult;
  if (pipe(lPipe) != 0) return lResult;
  fflush(nullptr);
  const pid_t lChild = fork();
  if (lChild == 0) {
    close(lPipe[0]);
    const FirstFrame lMeasured = Measure(pFace, pVeil);
    if (write(lPipe[1], &lMeasured, sizeof lMeasured) != sizeof lMeasured) _exit(1);
    _exit(0);
  }
  close(lPipe[1]);
  if (read(lPipe[0], &lResult, sizeof lResult) != sizeof lResult) lResult = FirstFrame();
  close(lPipe[0]);
  waitpid(lChild, nullptr, 0);
  return lResult;
}

long GlyphCount(const char* pFile) {
  FT_Library lLibrary;
  FT_Face lFace;
  long lCount = -1;
  if (FT_Init_FreeType(&lLibrary)) return lCount;
  if (!FT_New_Face(lLibrary, pFile, 0, &lFace)) {
    lCount = lFace->num_glyphs;
    FT_Done_Face(lFace);
  }
  FT_Done_FreeType(lLibrary);
  return lCount;
}

// The middle of three runs, by time; memory of the same run.
FirstFrame Median(const Face& pFace, bool pVeil) {
  std::vector<FirstFrame> lRuns;
  for (int i = 0; i < 3; ++i) lRuns.push_back(InChild(pFace, pVeil));
  std::sort(lRuns.begin(), lRuns.end(), [](const FirstFrame& a, const FirstFrame& b) { return a.ms < b.ms; });
  return lRuns[1];
}

}  // namespace

void PrintFirstFrames() {
  const std::vector<Face> lFaces = {
      {"bundled (cut)", nullptr, VTHUD_RESOURCES_DIR "/Arial.ttf"},
#ifdef VTHUD_FULL_FACES_RCC
      {"full Debian faces", VTHUD_FULL_FACES_RCC, VTHUD_FULL_SANS},
#endif
#ifdef VTHUD_DEJAVU_CUT_RCC
      {"DejaVu Sans, same cut", VTHUD_DEJAVU_CUT_RCC, VTHUD_DEJAVU_CUT_SANS},
#endif
  };
  printf("First frame of a new element, whole process (median of 3 fresh processes):\n");
  printf("  %-24s %7s %14s %10s %10s %10s %10s\n", "faces", "glyphs", "veil atlas", "frame ms", "veil ms",
         "frame MiB", "veil MiB");
  for (const Face& lFace : lFaces) {
    const FirstFrame lFrame = Median(lFace, false);
    const FirstFrame lVeil = Median(lFace, true);
    if (!lFrame.ok || !lVeil.ok) {
      printf("  %-24s (failed)\n", lFace.name);
      continue;
    }
    char lAtlas[32];
    snprintf(lAtlas, sizeof lAtlas, "%dx%d", lVeil.atlasWidth, lVeil.atlasHeight);
    printf("  %-24s %7ld %14s %10.1f %10.1f %10.1f %10.1f   veil extra: %.1f ms, %.1f MiB\n", lFace.name,
           GlyphCount(lFace.sansFile), lAtlas, lFrame.ms, lVeil.ms, lFrame.peakMiB, lVeil.peakMiB,
           lVeil.ms - lFrame.ms, lVeil.peakMiB - lFrame.peakMiB);
  }
  printf("\n");
  fflush(stdout);
}

}  // namespace vthud_bench
