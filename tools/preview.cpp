// vthud_preview: loads a HUD plug-in into the stand-in host, creates one
// element, draws one 1920 x 1080 pane and writes it as an RGBA PNG that is
// transparent wherever the overlay draws nothing.
#include <fbsdk/fbsdk.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "headless_gl.h"
#include "host.h"
#include "png_image.h"
#include "property_edit.h"
#include "scene_file.h"

namespace {

const char* const kUsage =
    "usage: vthud_preview [options]\n"
    "  --plugin PATH            plug-in to load (default: the built libvthudelement.so)\n"
    "  --class NAME             registered class to create (default: VTHUDElement)\n"
    "  --out FILE               PNG to write (default: out/hud.png)\n"
    "  --frame N                scene frame (default: 0)\n"
    "  --fps RATE               scene frame rate: 24, 25, 30, 48, 50, 60, 23.976, 29.97 (default: 30)\n"
    "  --loop START:STOP        transport loop range in frames (default: 0:300)\n"
    "  --background BG          draw over a colour (#RRGGBB), a PNG file, or 'test-picture'\n"
    "  --set \"Name=value\"       set a property by its display name (repeatable; colours as 'r g b a')\n"
    "  --scene FILE             load a saved scene instead of creating a new element\n"
    "  --save-scene FILE        save the scene after the settings are applied\n"
    "  --list-properties        print the element's properties and exit\n"
    "  --camera-name NAME       name of the viewed camera (default: Producer Perspective)\n"
    "  --focal-length MM        camera focal length (used with --aperture-mode 3)\n"
    "  --aperture-mode N        0 vertical, 1 horizontal, 2 both, 3 focal length\n"
    "  --fov DEG[:HDEG]         camera field of view (vertical[:horizontal])\n"
    "  --film-back WxH          film back in inches (default: 0.816x0.612)\n"
    "  --fstop F                camera f-stop\n"
    "  --focus-distance CM      camera focus distance in centimetres\n"
    "  --take NAME              name of the current take\n"
    "  --recording, --playing   transport state\n"
    "  --standby                the element's \"Standby\" status\n"
    "  --no-renderer            run as a host without a current renderer\n";

struct Options {
  std::string plugin = VTHUD_DEFAULT_PLUGIN;
  std::string className = "VTHUDElement";
  std::string out = "out/hud.png";
  long long frame = 0;
  std::string fps = "30";
  long long loopStart = 0, loopStop = 300;
  std::string background;
  std::vector<std::string> sets;
  std::string scene, saveScene;
  bool listProperties = false;
  std::string cameraName;
  std::vector<std::pair<std::string, std::string>> camera;  // property, value
  std::string take;
  bool recording = false, playing = false, noRenderer = false;
};

int Fail(const std::string& pMessage) {
  fprintf(stderr, "vthud_preview: %s\n", pMessage.c_str());
  return 1;
}

bool ParseNumber(const char* pText, double& pValue) {
  char* lEnd = nullptr;
  errno = 0;
  pValue = strtod(pText, &lEnd);
  return lEnd != pText && *lEnd == '\0' && errno == 0;
}

bool ParseArguments(int argc, char** argv, Options& o, std::string& pError) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto Value = [&](std::string& pOut) {
      if (i + 1 >= argc) {
        pError = "option " + a + " needs a value";
        return false;
      }
      pOut = argv[++i];
      return true;
    };
    std::string v;
    double d = 0.0;
    if (a == "--help" || a == "-h") {
      fputs(kUsage, stdout);
      exit(0);
    } else if (a == "--plugin") {
      if (!Value(o.plugin)) return false;
    } else if (a == "--class") {
      if (!Value(o.className)) return false;
    } else if (a == "--out") {
      if (!Value(o.out)) return false;
    } else if (a == "--frame") {
      if (!Value(v)) return false;
      if (!ParseNumber(v.c_str(), d) || d != static_cast<long long>(d))
        return pError = "--frame expects a whole number, got '" + v + "'", false;
      o.frame = static_cast<long long>(d);
    } else if (a == "--fps") {
      if (!Value(o.fps)) return false;
    } else if (a == "--loop") {
      if (!Value(v)) return false;
      if (sscanf(v.c_str(), "%lld:%lld", &o.loopStart, &o.loopStop) != 2)
        return pError = "--loop expects START:STOP, got '" + v + "'", false;
    } else if (a == "--background") {
      if (!Value(o.background)) return false;
    } else if (a == "--set") {
      if (!Value(v)) return false;
      o.sets.push_back(v);
    } else if (a == "--scene") {
      if (!Value(o.scene)) return false;
    } else if (a == "--save-scene") {
      if (!Value(o.saveScene)) return false;
    } else if (a == "--list-properties") {
      o.listProperties = true;
    } else if (a == "--camera-name") {
      if (!Value(o.cameraName)) return false;
    } else if (a == "--focal-length" || a == "--aperture-mode" || a == "--fstop" || a == "--focus-distance") {
      if (!Value(v)) return false;
      if (!ParseNumber(v.c_str(), d)) return pError = a + " expects a number, got '" + v + "'", false;
      const char* lProperty = a == "--focal-length"    ? "FocalLength"
                              : a == "--aperture-mode" ? "ApertureMode"
                              : a == "--fstop"         ? "FStop"
                                                       : "FocusSpecificDistance";
      o.camera.emplace_back(lProperty, v);
    } else if (a == "--fov") {
      if (!Value(v)) return false;
      double lV = 0, lH = 0;
      int n = sscanf(v.c_str(), "%lf:%lf", &lV, &lH);
      if (n < 1) return pError = "--fov expects DEG or DEG:HDEG, got '" + v + "'", false;
      o.camera.emplace_back("FieldOfView", std::to_string(lV));
      o.camera.emplace_back("FieldOfViewX", std::to_string(n == 2 ? lH : lV));
    } else if (a == "--film-back") {
      if (!Value(v)) return false;
      double lW = 0, lH = 0;
      if (sscanf(v.c_str(), "%lfx%lf", &lW, &lH) != 2)
        return pError = "--film-back expects WxH in inches, got '" + v + "'", false;
      o.camera.emplace_back("FilmSizeWidth", std::to_string(lW));
      o.camera.emplace_back("FilmSizeHeight", std::to_string(lH));
    } else if (a == "--take") {
      if (!Value(o.take)) return false;
    } else if (a == "--recording") {
      o.recording = true;
    } else if (a == "--playing") {
      o.playing = true;
    } else if (a == "--standby") {
      o.sets.push_back("Standby=true");
    } else if (a == "--no-renderer") {
      o.noRenderer = true;
    } else {
      pError = "unknown option '" + a + "' (see --help)";
      return false;
    }
  }
  return true;
}

bool TimeModeFor(const std::string& pFps, FBTimeMode& pMode) {
  static const std::pair<const char*, FBTimeMode> kModes[] = {
      {"24", kFBTimeMode24Frames},        {"25", kFBTimeMode25Frames},      {"30", kFBTimeMode30Frames},
      {"48", kFBTimeMode48Frames},        {"50", kFBTimeMode50Frames},      {"60", kFBTimeMode60Frames},
      {"23.976", kFBTimeMode23976Frames}, {"29.97", kFBTimeMode2997Frames}, {"59.94", kFBTimeMode5994Frames}};
  for (const auto& lMode : kModes)
    if (pFps == lMode.first) {
      pMode = lMode.second;
      return true;
    }
  return false;
}

bool MakeBackground(const std::string& pSpec, vthost::Image& pImage, std::string& pError) {
  unsigned r, g, b;
  if (pSpec.size() == 7 && pSpec[0] == '#' && sscanf(pSpec.c_str() + 1, "%02x%02x%02x", &r, &g, &b) == 3) {
    pImage.width = 1920;
    pImage.height = 1080;
    pImage.rgba.resize(1920u * 1080u * 4u);
    for (size_t i = 0; i < pImage.rgba.size(); i += 4) {
      pImage.rgba[i] = static_cast<uint8_t>(r);
      pImage.rgba[i + 1] = static_cast<uint8_t>(g);
      pImage.rgba[i + 2] = static_cast<uint8_t>(b);
      pImage.rgba[i + 3] = 255;
    }
    return true;
  }
  const std::string lPath = pSpec == "test-picture" ? std::string(VTHUD_RESOURCES_DIR) + "/quill-hd.png" : pSpec;
  if (!vthost::ReadPng(lPath, pImage, pError)) return false;
  if (pImage.width != 1920 || pImage.height != 1080) {
    pError = "background " + lPath + " is " + std::to_string(pImage.width) + " x " +
             std::to_string(pImage.height) + ", not 1920 x 1080";
    return false;
  }
  return true;
}

// Makes the folders above a file path.
void MakeParentDirs(const std::string& pPath) {
  for (size_t i = pPath.find('/', 1); i != std::string::npos; i = pPath.find('/', i + 1))
    mkdir(pPath.substr(0, i).c_str(), 0755);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string lError;
  if (!ParseArguments(argc, argv, o, lError)) return Fail(lError);
  FBTimeMode lMode;
  if (!TimeModeFor(o.fps, lMode))
    return Fail("--fps expects 24, 25, 30, 48, 50, 60, 23.976, 29.97 or 59.94, got '" + o.fps + "'");
  vthost::Image lBackground;
  if (!o.background.empty() && !MakeBackground(o.background, lBackground, lError)) return Fail(lError);

  vthost::GLPlatform lPlatform;
  if (!vthost::PlatformFromEnvironment(lPlatform, lError)) return Fail(lError);
  vthost::HeadlessGL lGL;
  if (!lGL.Create(lPlatform, lError)) return Fail(lError);

  vthost::Host lHost;
  lHost.SetTimeMode(lMode);
  lHost.SetLoop(o.loopStart, o.loopStop);
  lHost.SetFrame(o.frame);
  lHost.SetRecording(o.recording);
  lHost.SetPlaying(o.playing);
  if (!lHost.LoadPlugin(o.plugin, lError)) return Fail(lError);

  FBComponent* lElement = nullptr;
  if (!o.scene.empty()) {
    if (!vthost::LoadScene(lHost, o.scene, lError)) return Fail(lError);
    for (FBComponent* lObject : lHost.Objects())
      if (o.className == lObject->ClassName()) {
        lElement = lObject;
        break;
      }
    if (!lElement) return Fail("scene " + o.scene + " holds no " + o.className);
  } else {
    lElement = lHost.Create(o.className, "VT HUD Element", lError);
    if (!lElement) return Fail(lError);
  }

  if (o.listProperties) {
    FBHUDElement lBase("base");
    fputs(vthost::DescribeProperties(lElement, lBase.PropertyList.GetCount()).c_str(), stdout);
    return 0;
  }
  for (const std::string& lSet : o.sets) {
    const size_t lEquals = lSet.find('=');
    if (lEquals == std::string::npos) return Fail("--set expects \"Name=value\", got '" + lSet + "'");
    if (!vthost::SetPropertyFromText(lElement, lSet.substr(0, lEquals), lSet.substr(lEquals + 1), lError))
      return Fail(lError);
  }

  FBCamera* lCamera = lHost.Renderer().CurrentCamera;
  if (!o.cameraName.empty()) lCamera->Name = o.cameraName.c_str();
  for (const auto& lSetting : o.camera)
    if (!vthost::SetPropertyFromText(lCamera, lSetting.first, lSetting.second, lError)) return Fail(lError);
  if (!o.take.empty()) lHost.SetCurrentTake(lHost.AddTake(o.take));
  if (o.noRenderer) lHost.SetRendererPresent(false);

  if (!o.saveScene.empty() && !vthost::SaveScene(lHost, o.saveScene, lError)) return Fail(lError);

  vthost::Pane& lPane = lHost.AddPane(1920, 1080, lCamera);
  if (!lBackground.rgba.empty()) lPane.SetBackground(lBackground);
  lHost.DrawPane(lPane);
  MakeParentDirs(o.out);
  if (!vthost::WritePng(o.out, lPane.ReadPixels(), lError)) return Fail(lError);
  printf("wrote %s (1920 x 1080 RGBA, frame %lld, %s)\n", o.out.c_str(), o.frame, lGL.Description().c_str());
  return 0;
}
