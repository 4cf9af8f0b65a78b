#include "options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "draw_plan.h"
#include "hdr_display.h"
#include "live_feed.h"

namespace vthud_tool {

namespace {

struct OptionSpec {
  const char* name;
  const char* value;  // null for a switch
  const char* description;
  const char* defaultText;  // null when there is none worth showing
};

const OptionSpec kSpecs[] = {
    {"plugin", "PATH", "plug-in to load",
     "libvthudelement.so in lib/vthud/plugins/ of the tool's prefix; in a build folder, the one built there"},
    {"class", "NAME", "registered class to create", "VTHUDElement"},
    {"out", "FILE",
     "output: a PNG, an image sequence such as out/seq/hud.%04d.png (one file per scene frame), a .mov "
     "(ProRes 4444, straight alpha as in the PNGs) or an .mp4 (H.264 over the background), both BT.709; or a "
     "live stream for a monitor, udp://HOST:PORT or srt://... (MPEG-TS, H.264 at low latency). A live run may "
     "give a stream and a .mov or .mp4 that records its frames (H.264 in either); on a PQ or HLG display, 16-bit "
     "PNGs, ProRes 4444 and HEVC Main 10 in place of H.264",
     "out/hud.png"},
    {"frame", "N", "draw one scene frame", "0"},
    {"frames", "START:END", "draw one element once per frame from START to END inclusive",
     "a video plate's frames from 0, or a plate sequence's files from the first to the last before a gap (one "
     "frame into a single PNG); else one frame"},
    {"fps", "RATE",
     "scene frame rate: 24, 25, 30, 48, 50, 60, 23.976, 29.97 or 59.94; over a video plate the plate's own "
     "rate is the default, and another is refused",
     "30"},
    {"clock-ms", "MS", "milliseconds the host clock advances per draw (what FRAMERATE measures)",
     "one frame at --fps"},
    {"loop", "START:STOP", "transport loop range in frames, START no later than STOP (equal: an empty range)",
     "0:300"},
    {"record", "A:B", "record from frame A to frame B (repeatable)", nullptr},
    {"play", "A:B", "play from frame A to frame B (repeatable)", nullptr},
    {"draws", "JSON",
     "per-draw states, a JSON file or text: [{\"frame\": 24, \"recording\": true, \"playing\": true, "
     "\"set\": {\"Name\": \"value\"}}, ...]",
     nullptr},
    {"background", "BG",
     "draw over a colour (#RRGGBB), any image Qt reads, an EXR, DPX or TIFF (decoded by FFmpeg), an "
     "image-sequence pattern of these (one plate per frame), a video file (ProRes, DNxHR, H.264 in MOV, MXF, "
     "MP4; decoded by its colour tags, untagged HD as BT.709), or 'test-picture'; every picture is fitted and "
     "letterboxed. Or a camera's feed, srt://HOST:PORT[?mode=listener&latency=US] or udp://ADDR:PORT (MPEG-TS, "
     "H.264 or HEVC): each picture drawn as it arrives, at the stream's rate, until Ctrl-C or --frames",
     "none: transparent"},
    {"background-lut", "FILE",
     "show the background through this .cube 3D LUT (FFmpeg's lut3d), e.g. a show look for linear or log plates",
     "none: values shown as stored"},
    {"set", "Name=value", "set an element property by its display name (repeatable; colours as 'r g b a')",
     nullptr},
    {"camera-set", "Name=value", "set a property of the viewed camera by name (repeatable)", nullptr},
    {"scene", "FILE", "load a saved scene (JSON) instead of creating a new element", nullptr},
    {"save-scene", "FILE", "save the scene after the settings are applied", nullptr},
    {"layout", "FILE", "apply a layout file (the settings of one element) before --set", nullptr},
    {"save-layout", "FILE", "save the element's settings that differ from a new element's", nullptr},
    {"character-source", "PROPERTY=HH:MM:SS:FF[,held]",
     "bind the character timecode to a new scene object whose PROPERTY (a timecode name the element looks for, "
     "or TC for the four TC integers) starts at that timecode on the first frame and advances with the frames "
     "unless held; 'from-background' starts it at the background plate's own timecode (a video's timecode "
     "track or metadata, or a plate header where FFmpeg reads one), which the output video then carries",
     nullptr},
    {"camera-source", "PROPERTY=HH:MM:SS:FF[,held]", "the same for the camera timecode",
     "over a plate that carries a timecode, that timecode (which the output video carries too), unless "
     "--tracking or --set gives the camera's"},
    {"road", "viewer|renderer",
     "draw through the host's viewer, or connect the stand-in renderer and write its composited frame", "viewer"},
    {"list-properties", nullptr, "print the element's properties with their units and exit", nullptr},
    {"camera-name", "NAME", "name of the viewed camera", "Producer Perspective"},
    {"focal-length", "MM", "camera focal length (used with --aperture-mode 3)", nullptr},
    {"aperture-mode", "N", "0 vertical, 1 horizontal, 2 both, 3 focal length", nullptr},
    {"fov", "DEG[:HDEG]", "camera field of view (vertical[:horizontal])", nullptr},
    {"film-back", "WxH", "film back in inches", "0.816x0.612"},
    {"fstop", "F", "camera f-stop", nullptr},
    {"focus-distance", "CM", "camera focus distance in centimetres", nullptr},
    {"take", "NAME", "name of the current take", "Take 001"},
    {"no-take", nullptr, "run with no current take", nullptr},
    {"no-camera", nullptr, "run with no current camera", nullptr},
    {"recording", nullptr, "the transport records on every draw", nullptr},
    {"playing", nullptr, "the transport plays on every draw", nullptr},
    {"standby", nullptr, "the element's \"Standby\" status", nullptr},
    {"no-renderer", nullptr, "run as a host without a current renderer", nullptr},
    // Framing and layout checks.
    {"fdl", "FILE",
     "apply a framing decision of an ASC FDL file (1.0 or 1.1) to the mask, after --layout and before --set",
     nullptr},
    {"framing", "ID",
     "a framing decision of --fdl (repeatable): the mask takes the first, --frame-lines draws each",
     "the first decision of the default framing intent, else the first; lines: every decision of its canvas"},
    // Frame lines: the second plug-in's element, drawn over the HUD element.
    {"frame-lines", nullptr, "add the frame lines element (libvtframelines.so), with --fdl as its FDL File",
     nullptr},
    {"lines-plugin", "PATH", "the frame lines plug-in to load (implies --frame-lines)",
     "the built libvtframelines.so"},
    {"lines-set", "Name=value", "set a frame lines property by its display name (repeatable)", nullptr},
    {"check-layout", nullptr,
     "print each pair of shown text fields whose boxes overlap, and each that leaves the canvas, then exit "
     "(status 2 when any does)",
     nullptr},
    {"version", nullptr, "print the version and exit", nullptr},
    // Tracking.
    {"tracking", "FILE",
     "an OpenTrackIO recording (JSON Lines, one JSON array or one JSON object), or a live tracker "
     "udp://ADDR:PORT (see --tracking-record): each frame takes its sample's focal length, "
     "iris, focus distance, timecode (as the camera timecode), recording flag, slate and camera label; what "
     "the command line sets by hand wins",
     nullptr},
    {"tracking-match", "timecode|order",
     "give each frame the sample whose timecode is the frame's camera timecode (from --camera-source, else "
     "the background plate's own timecode, else the first sample's), or one sample per frame in order",
     "timecode"},
    {"tracking-iris", "fstop|tstop", "the iris value the F-STOP field shows", "fstop"},
    // Live tracking.
    {"tracking-record", "FILE",
     "with a live --tracking udp://ADDR:PORT[?source=N&interface=IP] (OpenTrackIO over UDP: a local address or "
     "a multicast group such as 239.135.1.N, port 55555 by default; source keeps that sourceNumber, interface "
     "is the local address the group is joined on): write every accepted sample, in arrival order, as JSON "
     "Lines that --tracking FILE reads back. A live run draws in real time at --fps, each frame from the "
     "newest sample, for --frames or until Ctrl-C",
     nullptr},
    {"tracking-delay", "MS",
     "over a --background feed without timecode, each frame takes the newest sample at its arrival less MS "
     "(the camera encoder's delay, as measured)",
     "0"},
    // Farm: chunks of a run, joining video parts, and Slurm.
    {"chunk", "A:B",
     "draw and write only frames A to B of --frames, each as the whole run draws it; a video --out writes a "
     "part into the farm folder",
     nullptr},
    {"assemble", "OUT",
     "join the video parts given after the options, in order, into OUT without re-encoding (FFmpeg's concat "
     "demuxer), with the whole run's start timecode, colour tags and frame count",
     nullptr},
    {"farm", "slurm", "instead of drawing, submit the run to Slurm as an array job of chunks, then its assembly",
     nullptr},
    {"chunk-size", "N", "frames per farm chunk", "100"},
    {"farm-dir", "DIR", "folder of the farm's scripts, logs and video parts", "OUT.farm"},
    {"farm-option", "ARG", "an argument passed to sbatch, such as --partition=dailies (repeatable)", nullptr},
    {"farm-dry-run", nullptr, "write the farm's scripts and print the sbatch commands without submitting",
     nullptr},
    // Show colour.
    {"ocio", "FILE",
     "the show's OpenColorIO config file: plates from files (stills, sequences, video) are decoded at "
     "full precision and shown through its display and view, the overlay drawn over the display picture",
     "$OCIO"},
    {"plate-colorspace", "NAME", "the plates' colourspace in the config", "the config's file rules for the plate"},
    {"display", "NAME",
     "the display plates are shown on (it tags the output: Rec.1886/709, sRGB, PQ or HLG, else untagged)",
     "the config's default display"},
    {"view", "NAME", "the view of --display", "the display's default view"},
    {"look", "NAMES", "OCIO looks applied with the view, in place of its own (\"a, +b, -c\")", nullptr},
    {"display-encoding", "pq|hlg|sdr",
     "the display's transfer where the config does not mark it (an hdr-video display colourspace and its "
     "builtin PQ or HLG transform say it themselves)",
     "the config's"},
    {"graphics-white", "NITS",
     "on a PQ or HLG display, the level the overlay's white is shown at, as BT.2408 lays SDR graphics into HDR "
     "(80 to 1000 cd/m2)",
     "203; HLG: 75% signal"},
    {"mastering-display", "G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min)",
     "HDR HEVC: the SMPTE ST 2086 mastering display in x265's notation, into the SEI and the .mp4's mdcv",
     nullptr},
    {"max-cll", "MAXCLL,MAXFALL", "HDR HEVC: the content light levels in cd/m2, into the SEI and the .mp4's clli",
     nullptr},
    {"list-colorspaces", nullptr,
     "print the config's colourspaces (with aliases), displays with their views, and looks, then exit", nullptr},
    {"help", nullptr, "show this help and exit", nullptr},
};

// Levenshtein distance, for suggesting the option a misspelt one meant.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> lRow(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) lRow[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t lDiagonal = lRow[0];
    lRow[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t lAbove = lRow[j];
      lRow[j] = std::min({lRow[j] + 1, lRow[j - 1] + 1, lDiagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      lDiagonal = lAbove;
    }
  }
  return lRow[b.size()];
}

std::string NearestOptions(const std::string& pName) {
  std::vector<std::pair<size_t, std::string>> lScored;
  for (const OptionSpec& lSpec : kSpecs) {
    const std::string lName = lSpec.name;
    size_t lScore = EditDistance(pName, lName);
    if (lName.compare(0, pName.size(), pName) == 0) lScore = 0;  // a prefix of a real name
    lScored.emplace_back(lScore, lName);
  }
  std::stable_sort(lScored.begin(), lScored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string lText;
  for (size_t i = 0; i < 3 && i < lScored.size(); ++i) lText += (i ? ", --" : "--") + lScored[i].second;
  return lText;
}

std::string Quoted(const std::string& pText) { return "'" + pText + "'"; }

// The parsed line as the option groups read it.
class Given {
 public:
  explicit Given(const QCommandLineParser& pParser) : mParser(pParser) {}
  bool Is(const char* pName) const { return mParser.isSet(QString::fromUtf8(pName)); }
  std::string Value(const char* pName) const { return mParser.value(QString::fromUtf8(pName)).toStdString(); }
  std::vector<std::string> Values(const char* pName) const {
    std::vector<std::string> lList;
    for (const QString& lValue : mParser.values(QString::fromUtf8(pName))) lList.push_back(lValue.toStdString());
    return lList;
  }
  std::vector<std::string> Positional() const {
    std::vector<std::string> lList;
    for (const QString& lValue : mParser.positionalArguments()) lList.push_back(lValue.toStdString());
    return lList;
  }

 private:
  const QCommandLineParser& mParser;
};

bool ParseDecimal(const std::string& pText, const std::string& pOption, double& pValue, std::string& pError) {
  char* lEnd = nullptr;
  errno = 0;
  pValue = pText.empty() ? 0.0 : strtod(pText.c_str(), &lEnd);
  if (pText.empty() || *lEnd != '\0' || errno != 0 || pValue != pValue) {
    pError = "--" + pOption + " expects a number, got " + Quoted(pText);
    return false;
  }
  return true;
}

// "MS" as an exact fraction of milliseconds, up to microseconds.
bool ParseClock(const std::string& pText, long long& pNumerator, long long& pDenominator, std::string& pError) {
  const std::string lExpect =
      "--clock-ms expects milliseconds above 0 and at most 10000 (up to three decimals), got " + Quoted(pText);
  long long lWhole = 0, lFraction = 0, lScale = 1;
  size_t i = 0;
  if (pText.empty()) return pError = lExpect, false;
  for (; i < pText.size() && pText[i] >= '0' && pText[i] <= '9'; ++i) {
    lWhole = lWhole * 10 + (pText[i] - '0');
    if (lWhole > 10000) return pError = lExpect, false;
  }
  if (i < pText.size() && pText[i] == '.') {
    for (++i; i < pText.size() && pText[i] >= '0' && pText[i] <= '9'; ++i) {
      if (lScale == 1000) return pError = lExpect, false;
      lFraction = lFraction * 10 + (pText[i] - '0');
      lScale *= 10;
    }
  }
  if (i != pText.size() || (i == 1 && pText[0] == '.')) return pError = lExpect, false;
  pNumerator = lWhole * lScale + lFraction;
  pDenominator = lScale;
  if (pNumerator == 0 || pNumerator > 10000 * lScale) return pError = lExpect, false;
  return true;
}

// "udp://ADDR[:PORT][?source=N&interface=IP]", IPv4 only.
bool ParseTrackerUrl(const std::string& pText, Options& o, std::string& pError) {
  const QUrl lUrl(QString::fromStdString(pText), QUrl::StrictMode);
  const std::string lShape = Quoted(pText) + " is not udp://ADDR[:PORT][?source=N&interface=IP]";
  in_addr lAddress{};
  const std::string lHost = lUrl.host().toStdString();
  if (!lUrl.isValid() || lUrl.scheme() != "udp" || !lUrl.path().isEmpty() || !lUrl.userInfo().isEmpty() ||
      lUrl.hasFragment() || inet_pton(AF_INET, lHost.c_str(), &lAddress) != 1)
    return pError = lShape + " with an IPv4 address", false;
  // "ADDR:" says a port and gives none; without the colon the protocol's own port is meant.
  const std::string lAuthority = pText.substr(6, pText.find_first_of("/?#", 6) - 6);
  if (!lAuthority.empty() && lAuthority.back() == ':') return pError = Quoted(pText) + " has no port", false;
  o.trackerAddress = lHost;
  o.trackerPort = lUrl.port(55555);
  if (o.trackerPort < 1) return pError = Quoted(pText) + " has no port", false;
  const QUrlQuery lQuery(lUrl);
  for (const auto& lItem : lQuery.queryItems(QUrl::FullyDecoded)) {
    const std::string lName = lItem.first.toStdString(), lValue = lItem.second.toStdString();
    if (lName == "source") {
      long long lSource = 0;
      if (!ParseWhole(lValue, "source", 1, 200, lSource, pError)) return false;
      o.trackerSource = static_cast<int>(lSource);
    } else if (lName == "interface") {
      if (inet_pton(AF_INET, lValue.c_str(), &lAddress) != 1)
        return pError = "interface expects a local IPv4 address, got " + Quoted(lValue), false;
      o.trackerInterface = lValue;
    } else {
      return pError = Quoted(pText) + ": unknown setting '" + lName + "' (source, interface)", false;
    }
  }
  o.trackingLive = true;
  return true;
}

// The options whose values are files or folders: a farm task runs elsewhere,
// so it is given them absolute.
bool IsPathOption(const std::string& pName) {
  static const char* const kPaths[] = {"plugin", "out",          "background", "background-lut", "scene", "layout",
                                       "fdl",    "lines-plugin", "tracking",   "farm-dir",       "ocio"};
  for (const char* lPath : kPaths)
    if (pName == lPath) return true;
  return false;
}

const OptionSpec* FindSpec(const std::string& pName) {
  for (const OptionSpec& lSpec : kSpecs)
    if (pName == lSpec.name) return &lSpec;
  return nullptr;
}

// A path a task on another node can open: absolute, and for what the run
// reads, there. A background that is a colour or the test picture is no path.
bool AbsolutePath(const std::string& pName, const std::string& pValue, std::string& pAbsolute,
                  std::string& pError) {
  if (pName == "background" && (pValue == "test-picture" || (!pValue.empty() && pValue[0] == '#')))
    return pAbsolute = pValue, true;
  if (pValue.empty()) return pError = "--farm: --" + pName + " names no path", false;
  const QString lPath = QString::fromLocal8Bit(pValue.c_str());
  if (QDir::isRelativePath(lPath) && QDir::currentPath().isEmpty())
    return pError = "--farm: cannot make --" + pName + " " + pValue + " absolute: the current folder is gone",
           false;
  const QFileInfo lInfo(lPath);
  pAbsolute = QDir::cleanPath(lInfo.absoluteFilePath()).toLocal8Bit().toStdString();
  const bool lWritten = pName == "out" || pName == "farm-dir";
  // A plate pattern is checked by its folder; its plates are the run's to find.
  const bool lPattern = pName == "background" && pValue.find('%') != std::string::npos;
  const QFileInfo lReached(lPattern || lWritten ? lInfo.absolutePath() : lInfo.absoluteFilePath());
  if (!lWritten && !lReached.exists())
    return pError = "--farm: --" + pName + " " + pValue +
                    " cannot be reached: " + lReached.absoluteFilePath().toLocal8Bit().toStdString() +
                    " does not exist",
           false;
  return true;
}

// The run's own arguments for a farm task: every path absolute, the farm's
// own options left out (the task is given its --chunk).
bool TaskArguments(const std::vector<std::string>& pArguments, std::vector<std::string>& pTask,
                   std::string& pError) {
  pTask.clear();
  for (size_t i = 1; i < pArguments.size(); ++i) {
    const std::string& lArgument = pArguments[i];
    const size_t lDashes = lArgument.compare(0, 2, "--") == 0 ? 2 : (lArgument.compare(0, 1, "-") == 0 ? 1 : 0);
    const size_t lEquals = lArgument.find('=');
    const std::string lName =
        lArgument.substr(lDashes, lEquals == std::string::npos ? std::string::npos : lEquals - lDashes);
    const OptionSpec* lSpec = lDashes ? FindSpec(lName) : nullptr;
    if (!lSpec) {
      pTask.push_back(lArgument);
      continue;
    }
    std::string lValue;
    const bool lHasValue = lSpec->value != nullptr;
    if (lHasValue) lValue = lEquals != std::string::npos ? lArgument.substr(lEquals + 1) : pArguments[++i];
    if (lName == "farm" || lName == "farm-dry-run" || lName == "farm-option" || lName == "chunk-size") continue;
    std::string lAbsolute;
    if (lHasValue && IsPathOption(lName)) {
      if (!AbsolutePath(lName, lValue, lAbsolute, pError)) return false;
      lValue = lAbsolute;
    }
    pTask.push_back("--" + lName);
    if (lHasValue) pTask.push_back(lValue);
  }
  return true;
}

// What a chunk, an assembly or a farm run cannot be combined with.
bool CheckFarmRun(Options& o, const Given& g, const std::vector<std::string>& pArguments, std::string& pError) {
  auto Is = [&](const char* pName) { return g.Is(pName); };
  const bool lChunked = o.hasChunk || !o.farm.empty();
  const char* lWhat = !o.farm.empty() ? "--farm" : "--chunk";
  if (!o.assembleOut.empty() && (lChunked || Is("frames") || Is("frame")))
    return pError = "--assemble only joins parts; drop the drawing options", false;
  if (!lChunked) return true;
  if (o.trackingLive || o.backgroundFeed || o.out.compare(0, 6, "udp://") == 0 ||
      o.out.compare(0, 6, "srt://") == 0)
    return pError = std::string(lWhat) + " splits a recorded take; a live tracker or stream is drawn as it comes",
           false;
  if (!o.draws.empty()) return pError = std::string(lWhat) + " splits --frames; it cannot split --draws", false;
  if (!o.saveScene.empty() || !o.saveLayout.empty() || o.listProperties || o.checkLayout)
    return pError = std::string(lWhat) +
                    " draws frames; drop --save-scene, --save-layout, --list-properties and --check-layout",
           false;
  if (o.farm.empty()) return true;
  if (!o.hasFrames) return pError = "--farm splits a run: give its --frames", false;
  if (o.hasChunk) return pError = "--farm makes the chunks itself; drop --chunk", false;
  if (!TaskArguments(pArguments, o.taskArguments, pError)) return false;
  // The default output is relative to where the tool runs: the task gets it absolute.
  std::string lOut;
  if (!Is("out") && !AbsolutePath("out", o.out, lOut, pError)) return false;
  if (!Is("out")) o.taskArguments.insert(o.taskArguments.end(), {"--out", lOut});
  return true;
}

}  // namespace

bool ParseWhole(const std::string& pText, const std::string& pOption, long long pMin, long long pMax,
                long long& pValue, std::string& pError) {
  const std::string lExpect = pOption + " expects a whole number from " + std::to_string(pMin) + " to " +
                              std::to_string(pMax) + ", got " + Quoted(pText);
  size_t i = (!pText.empty() && (pText[0] == '-' || pText[0] == '+')) ? 1 : 0;
  if (i == pText.size()) return pError = lExpect, false;
  for (size_t j = i; j < pText.size(); ++j)
    if (pText[j] < '0' || pText[j] > '9') return pError = lExpect, false;
  errno = 0;
  char* lEnd = nullptr;
  const long long lValue = strtoll(pText.c_str(), &lEnd, 10);  // saturates with ERANGE, never overflows
  if (errno == ERANGE || *lEnd != '\0' || lValue < pMin || lValue > pMax) return pError = lExpect, false;
  pValue = lValue;
  return true;
}

bool ParseRange(const std::string& pText, const std::string& pOption, long long pLimit, bool pAllowEqual,
                FrameRange& pRange, std::string& pError) {
  const size_t lColon = pText.find(':');
  const std::string lShape = pOption + " expects START:" + (pOption == "--loop" ? "STOP" : "END") +
                             ", two whole frame numbers, got " + Quoted(pText);
  if (lColon == std::string::npos || pText.find(':', lColon + 1) != std::string::npos)
    return pError = lShape, false;
  FrameRange lRange;
  if (!ParseWhole(pText.substr(0, lColon), pOption + " start", -pLimit, pLimit, lRange.first, pError) ||
      !ParseWhole(pText.substr(lColon + 1), pOption + " end", -pLimit, pLimit, lRange.last, pError))
    return false;
  if (lRange.last < lRange.first || (!pAllowEqual && lRange.last == lRange.first)) {
    pError = pOption + " range " + Quoted(pText) + (pAllowEqual ? " is reversed" : " is reversed or empty") +
             ": its start must come " + (pAllowEqual ? "no later than" : "before") + " its end";
    return false;
  }
  pRange = lRange;
  return true;
}

std::string HelpText() {
  const size_t kIndent = 28, kWidth = 110;
  std::string lText = "usage: vthud_preview [options]\n";
  for (const OptionSpec& lSpec : kSpecs) {
    std::string lHead = std::string("  --") + lSpec.name + (lSpec.value ? std::string(" ") + lSpec.value : "");
    lHead.resize(std::max(lHead.size() + 2, kIndent), ' ');
    std::string lWords = lSpec.description;
    // Every option shows its default: a switch is off, a value option without one is not set.
    if (std::string(lSpec.name) != "help" && std::string(lSpec.name) != "version")
      lWords += std::string(" (default: ") +
                (lSpec.defaultText ? lSpec.defaultText
                 : lSpec.value     ? "none"
                                   : "off") +
                ")";
    // Wrapped under the description column.
    std::string lLine = lHead;
    size_t lStart = 0;
    while (lStart < lWords.size()) {
      size_t lEnd = lWords.find(' ', lStart);
      if (lEnd == std::string::npos) lEnd = lWords.size();
      const std::string lWord = lWords.substr(lStart, lEnd - lStart);
      if (lLine.size() > kIndent && lLine.size() + 1 + lWord.size() > kWidth) {
        lText += lLine + "\n";
        lLine = std::string(kIndent, ' ');
      }
      lLine += (lLine.size() > kIndent ? " " : "") + lWord;
      lStart = lEnd + 1;
    }
    lText += lLine + "\n";
  }
  lText +=
      "Frames are scene frames; --record and --play ranges are inclusive. Video is encoded in-process.\n"
      "Ctrl-C stops cleanly: the frames written so far stay, and a video is closed so that it plays.\n";
  return lText;
}

namespace {

// Each option group reads the parsed line and fills its part of Options; the
// groups run in the order below, so a line with two faults is refused for the
// one an earlier group reads.

bool ParseFramesAndTransport(const Given& g, Options& o, std::string& pError) {
  o.hasFps = g.Is("fps");
  o.hasClock = g.Is("clock-ms");
  o.hasFrame = g.Is("frame");
  if (g.Is("fps")) o.fpsText = g.Value("fps");
  if (!TimeModeFor(o.fpsText, o.timeMode)) {
    pError = "--fps expects 24, 25, 30, 48, 50, 60, 23.976, 29.97 or 59.94, got " + Quoted(o.fpsText);
    return false;
  }
  kLongLong lRateNum = 0, lRateDen = 1;
  FBTime::GetFrameRate(o.timeMode, lRateNum, lRateDen);
  o.clockNumerator = 1000 * lRateDen;
  o.clockDenominator = lRateNum;
  if (g.Is("clock-ms") && !ParseClock(g.Value("clock-ms"), o.clockNumerator, o.clockDenominator, pError))
    return false;

  const long long lLimit = FrameLimit(o.timeMode);
  if (g.Is("frame") && g.Is("frames")) return pError = "--frame and --frames cannot be given together", false;
  if (g.Is("frame") && !ParseWhole(g.Value("frame"), "--frame", -lLimit, lLimit, o.frame, pError)) return false;
  if (g.Is("frames")) {
    if (!ParseRange(g.Value("frames"), "--frames", lLimit, true, o.frames, pError)) return false;
    o.hasFrames = true;
  }
  if (g.Is("loop")) {
    FrameRange lLoop;
    // An empty loop (START = STOP) is a state a host can be in; only a reversed one is wrong.
    if (!ParseRange(g.Value("loop"), "--loop", lLimit, true, lLoop, pError)) return false;
    o.loopStart = lLoop.first;
    o.loopStop = lLoop.last;
  }
  for (const std::string& lText : g.Values("record")) {
    FrameRange lRange;
    if (!ParseRange(lText, "--record", lLimit, true, lRange, pError)) return false;
    o.record.push_back(lRange);
  }
  for (const std::string& lText : g.Values("play")) {
    FrameRange lRange;
    if (!ParseRange(lText, "--play", lLimit, true, lRange, pError)) return false;
    o.play.push_back(lRange);
  }
  if (g.Is("draws")) {
    if (g.Is("frames") || g.Is("frame"))
      return pError = "--draws gives its own frames; drop --frame and --frames", false;
    if (g.Is("record") || g.Is("play") || g.Is("recording") || g.Is("playing"))
      return pError = "--draws gives each draw's transport; drop --record, --play, --recording and --playing",
             false;
    o.draws = g.Value("draws");
  }
  o.recording = g.Is("recording");
  o.playing = g.Is("playing");
  return true;
}

// An HDR display's settings, each checked here so that a bad one is refused
// before anything is read or written.
bool ParseHdr(const Given& g, Options& o, std::string& pError) {
  if (g.Is("display-encoding")) {
    o.displayEncoding = g.Value("display-encoding");
    if (o.displayEncoding != "pq" && o.displayEncoding != "hlg" && o.displayEncoding != "sdr")
      return pError = "--display-encoding expects pq, hlg or sdr, got " + Quoted(o.displayEncoding), false;
  }
  if (g.Is("graphics-white")) {
    if (!ParseDecimal(g.Value("graphics-white"), "graphics-white", o.graphicsWhite, pError)) return false;
    if (o.graphicsWhite < 80.0 || o.graphicsWhite > 1000.0)
      return pError = "--graphics-white expects 80 to 1000 cd/m2 (BT.2408's graphics white is 203), got " +
                      g.Value("graphics-white"),
             false;
  }
  std::string lWhy;
  MasteringDisplay lMastering;
  o.masteringDisplay = g.Value("mastering-display");
  if (g.Is("mastering-display") && !ParseMasteringDisplay(o.masteringDisplay, lMastering, lWhy))
    return pError = "--mastering-display " + lWhy + ", got " + Quoted(o.masteringDisplay), false;
  int lMaxCll = 0, lMaxFall = 0;
  o.maxCll = g.Value("max-cll");
  if (g.Is("max-cll") && !ParseMaxCll(o.maxCll, lMaxCll, lMaxFall, lWhy))
    return pError = "--max-cll " + lWhy + ", got " + Quoted(o.maxCll), false;
  return true;
}

// The plates: --background with a LUT, or the show's OpenColorIO config.
bool ParsePlatesAndColour(const Given& g, Options& o, std::string& pError) {
  if (g.Is("background")) o.background = g.Value("background");
  o.backgroundFeed = IsFeedUrl(o.background);
  if (o.backgroundFeed) {
    const std::string lProblem = FeedUrlProblem(o.background);
    if (!lProblem.empty()) return pError = "--background " + lProblem, false;
  }
  if (g.Is("background-lut")) {
    if (o.background.empty()) return pError = "--background-lut needs a --background picture to apply to", false;
    o.backgroundLut = g.Value("background-lut");
  }
  // $OCIO is the config by default, as in every OCIO application, except
  // beside --background-lut, which shows plates today's way.
  o.listColorspaces = g.Is("list-colorspaces");
  if (g.Is("ocio")) {
    if (g.Is("background-lut"))
      return pError =
                 "--background-lut and --ocio cannot be given together: give the LUT to the config as a look "
                 "(a FileTransform) and name it with --look",
             false;
    o.ocio = g.Value("ocio");
    if (o.ocio.empty()) return pError = "--ocio expects a config file", false;
  } else if (!g.Is("background-lut") && getenv("OCIO")) {
    o.ocio = getenv("OCIO");
  }
  for (const char* lName : {"plate-colorspace", "display", "view", "look", "display-encoding", "graphics-white"})
    if (g.Is(lName) && o.ocio.empty())
      return pError =
                 std::string("--") + lName +
                 (g.Is("background-lut") ? " names what an OCIO config holds, and --background-lut shows plates "
                                           "without one; drop one of them"
                                         : " names what an OCIO config holds: give --ocio FILE or set $OCIO"),
             false;
  if (o.listColorspaces && o.ocio.empty())
    return pError = "--list-colorspaces lists an OCIO config: give --ocio FILE or set $OCIO", false;
  o.plateColorspace = g.Value("plate-colorspace");
  o.display = g.Value("display");
  o.view = g.Value("view");
  o.looks = g.Value("look");
  return ParseHdr(g, o, pError);
}

// The plug-ins and their elements: what is loaded, the files and settings
// applied to it, the frame lines, and the host's renderer.
bool ParseLayoutAndProperties(const Given& g, Options& o, std::string& pError) {
  if (g.Is("plugin")) o.plugin = g.Value("plugin");
  if (g.Is("class")) o.className = g.Value("class");
  o.sets = g.Values("set");
  for (const std::string& lSet : o.sets)
    if (lSet.find('=') == std::string::npos)
      return pError = "--set expects \"Name=value\", got " + Quoted(lSet), false;
  if (g.Is("standby")) o.sets.push_back("Standby=true");
  if (g.Is("scene")) o.scene = g.Value("scene");
  if (g.Is("layout")) o.layout = g.Value("layout");
  if (g.Is("character-source")) o.characterSource = g.Value("character-source");
  if (g.Is("road")) {
    const std::string lRoad = g.Value("road");
    if (lRoad != "viewer" && lRoad != "renderer")
      return pError = "--road expects viewer or renderer, got " + Quoted(lRoad), false;
    o.rendererRoad = lRoad == "renderer";
  }
  o.noRenderer = g.Is("no-renderer");
  if (g.Is("fdl")) o.fdl = g.Value("fdl");
  if (g.Is("framing")) {
    if (!g.Is("fdl")) return pError = "--framing names a decision of --fdl; give --fdl too", false;
    o.framings = g.Values("framing");
    o.framing = o.framings.front();
  }
  if (g.Is("lines-plugin")) o.linesPlugin = g.Value("lines-plugin");
  o.frameLines = g.Is("frame-lines") || g.Is("lines-plugin");
  o.linesSets = g.Values("lines-set");
  if (!o.linesSets.empty() && !o.frameLines)
    return pError = "--lines-set sets a property of the frame lines; give --frame-lines too", false;
  return true;
}

// The viewed camera, its timecode source, and the take.
bool ParseCamera(const Given& g, Options& o, std::string& pError) {
  o.cameraSets = g.Values("camera-set");
  for (const std::string& lSet : o.cameraSets)
    if (lSet.find('=') == std::string::npos)
      return pError = "--camera-set expects \"Name=value\", got " + Quoted(lSet), false;
  if (g.Is("camera-source")) o.cameraSource = g.Value("camera-source");
  if (g.Is("camera-name")) o.cameraName = g.Value("camera-name");
  double d = 0.0;
  static const std::pair<const char*, const char*> kCameraNumbers[] = {
      {"focal-length", "FocalLength"},
      {"aperture-mode", "ApertureMode"},
      {"fstop", "FStop"},
      {"focus-distance", "FocusSpecificDistance"}};
  for (const auto& lNumber : kCameraNumbers)
    if (g.Is(lNumber.first)) {
      if (!ParseDecimal(g.Value(lNumber.first), lNumber.first, d, pError)) return false;
      o.camera.emplace_back(lNumber.second, g.Value(lNumber.first));
    }
  if (g.Is("fov")) {
    const std::string lText = g.Value("fov");
    const size_t lColon = lText.find(':');
    double lV = 0, lH = 0;
    std::string lIgnored;
    if (!ParseDecimal(lText.substr(0, lColon), "fov", lV, lIgnored) ||
        (lColon != std::string::npos && !ParseDecimal(lText.substr(lColon + 1), "fov", lH, lIgnored)))
      return pError = "--fov expects DEG or DEG:HDEG, got " + Quoted(lText), false;
    o.camera.emplace_back("FieldOfView", lText.substr(0, lColon));
    o.camera.emplace_back("FieldOfViewX", lColon == std::string::npos ? lText : lText.substr(lColon + 1));
  }
  if (g.Is("film-back")) {
    const std::string lText = g.Value("film-back");
    const size_t lX = lText.find('x');
    double lW = 0, lH = 0;
    std::string lIgnored;
    if (lX == std::string::npos || !ParseDecimal(lText.substr(0, lX), "film-back", lW, lIgnored) ||
        !ParseDecimal(lText.substr(lX + 1), "film-back", lH, lIgnored))
      return pError = "--film-back expects WxH in inches, got " + Quoted(lText), false;
    o.camera.emplace_back("FilmSizeWidth", lText.substr(0, lX));
    o.camera.emplace_back("FilmSizeHeight", lText.substr(lX + 1));
  }
  if (g.Is("take")) o.take = g.Value("take");
  o.noTake = g.Is("no-take");
  o.noCamera = g.Is("no-camera");
  if (o.noTake && !o.take.empty()) return pError = "--take and --no-take cannot be given together", false;
  if (o.noCamera && (!o.camera.empty() || !o.cameraSets.empty() || !o.cameraName.empty()))
    return pError = "--no-camera leaves no camera to set up; drop the camera options", false;
  return true;
}

// A tracking recording, or a live tracker and what it records.
bool ParseTracking(const Given& g, Options& o, std::string& pError) {
  if (g.Is("tracking")) o.tracking = g.Value("tracking");
  if (o.tracking.compare(0, 6, "udp://") == 0) {
    if (!ParseTrackerUrl(o.tracking, o, pError)) return pError = "--tracking " + pError, false;
    if (g.Is("tracking-match"))
      return pError = "--tracking-match matches a recording; a live tracker has none", false;
  }
  // A live tracker or a feed draws until stopped unless told how long.
  if (o.trackingLive || o.backgroundFeed) {
    o.liveUntilStopped = !g.Is("frames") && !g.Is("frame") && !g.Is("draws");
    if (o.liveUntilStopped) {
      o.hasFrames = true;
      o.frames = FrameRange{0, DrawPlan::kMaxDraws - 1};
    }
  }
  if (g.Is("tracking-delay")) {
    if (!o.trackingLive || !o.backgroundFeed)
      return pError = "--tracking-delay matches a live --tracking udp://... to a --background feed", false;
    if (!ParseDecimal(g.Value("tracking-delay"), "tracking-delay", o.trackingDelayMs, pError)) return false;
    if (o.trackingDelayMs < 0 || o.trackingDelayMs > 10000)
      return pError =
                 "--tracking-delay expects milliseconds from 0 to 10000, got " + Quoted(g.Value("tracking-delay")),
             false;
  }
  if (g.Is("tracking-record")) {
    if (!o.trackingLive) return pError = "--tracking-record records a live --tracking udp://ADDR:PORT", false;
    o.trackingRecord = g.Value("tracking-record");
  }
  struct Choice {
    const char* name;
    const char *usual, *other;
    bool* chosen;
  };
  for (const Choice& c : {Choice{"tracking-match", "timecode", "order", &o.trackingOrder},
                          Choice{"tracking-iris", "fstop", "tstop", &o.trackingTStop}}) {
    if (!g.Is(c.name)) continue;
    const std::string lName = std::string("--") + c.name, lValue = g.Value(c.name);
    if (o.tracking.empty()) return pError = lName + " needs a --tracking recording", false;
    if (lValue != c.usual && lValue != c.other)
      return pError = lName + " expects " + c.usual + " or " + c.other + ", got " + Quoted(lValue), false;
    *c.chosen = lValue == c.other;
  }
  return true;
}

// What the run writes: frames, the scene and layout saved, or a listing or
// check instead of drawing.
bool ParseOutputs(const Given& g, Options& o, std::string& pError) {
  // A live run may stream and record; elsewhere the last --out is the one, as it always was.
  const std::vector<std::string> lOuts = g.Values("out");
  const bool lLive = o.trackingLive || o.backgroundFeed;
  if (lLive && lOuts.size() > 2)
    return pError = "--out is given at most twice in a live run: a stream and a .mov or .mp4 recording it", false;
  if (lLive && lOuts.size() == 2) {
    const bool lFirstStreams = IsFeedUrl(lOuts[0]);
    o.out = lFirstStreams ? lOuts[0] : lOuts[1];
    o.outRecord = lFirstStreams ? lOuts[1] : lOuts[0];
    const auto lEnds = [&](const char* pEnd) {
      return o.outRecord.size() >= 4 && QString::fromStdString(o.outRecord).endsWith(pEnd, Qt::CaseInsensitive);
    };
    if (!IsFeedUrl(o.out) || IsFeedUrl(o.outRecord) || !(lEnds(".mov") || lEnds(".mp4")))
      return pError = "--out given twice is a stream (udp:// or srt://) and a .mov or .mp4 recording it, got " +
                      Quoted(lOuts[0]) + " and " + Quoted(lOuts[1]),
             false;
  } else if (g.Is("out")) {
    o.out = g.Value("out");
  }
  if (g.Is("save-scene")) o.saveScene = g.Value("save-scene");
  if (g.Is("save-layout")) o.saveLayout = g.Value("save-layout");
  o.listProperties = g.Is("list-properties");
  o.checkLayout = g.Is("check-layout");
  if (o.checkLayout && o.listProperties)
    return pError = "--check-layout and --list-properties cannot be given together", false;
  return true;
}

// A chunk of a run, an assembly of parts, or the run handed to Slurm.
bool ParseFarm(const Given& g, const std::vector<std::string>& pArguments, Options& o, std::string& pError) {
  if (g.Is("assemble")) {
    o.assembleOut = g.Value("assemble");
    o.assembleParts = g.Positional();
    if (o.assembleParts.empty())
      return pError = "--assemble OUT expects the parts to join after the options", false;
  }
  if (g.Is("chunk")) {
    if (!g.Is("frames"))
      return pError = "--chunk A:B is a part of a run: give the whole run's --frames too", false;
    if (!ParseRange(g.Value("chunk"), "--chunk", FrameLimit(o.timeMode), true, o.chunk, pError)) return false;
    if (!o.frames.Contains(o.chunk.first) || !o.frames.Contains(o.chunk.last))
      return pError = "--chunk " + g.Value("chunk") + " lies outside --frames " + g.Value("frames"), false;
    o.hasChunk = true;
  }
  if (g.Is("chunk-size") &&
      !ParseWhole(g.Value("chunk-size"), "--chunk-size", 1, DrawPlan::kMaxDraws, o.chunkSize, pError))
    return false;
  if (g.Is("farm-dir")) o.farmDir = g.Value("farm-dir");
  o.farmOptions = g.Values("farm-option");
  o.farmDryRun = g.Is("farm-dry-run");
  if (g.Is("farm")) {
    o.farm = g.Value("farm");
    if (o.farm != "slurm") return pError = "--farm expects slurm, got " + Quoted(o.farm), false;
  } else if (g.Is("chunk-size") || g.Is("farm-option") || g.Is("farm-dry-run")) {
    return pError = "--chunk-size, --farm-option and --farm-dry-run go with --farm slurm", false;
  }
  return CheckFarmRun(o, g, pArguments, pError);
}

// Qt's parser over every option of kSpecs; false with the one-line message
// for an unknown option, a missing value or a stray argument.
bool ParseLine(const std::vector<std::string>& pArguments, QCommandLineParser& pParser, std::string& pError) {
  pParser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  pParser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  for (const OptionSpec& lSpec : kSpecs) {
    QStringList lNames{QString::fromUtf8(lSpec.name)};
    if (std::string(lSpec.name) == "help") lNames << QStringLiteral("h");
    pParser.addOption(lSpec.value ? QCommandLineOption(lNames, QString::fromUtf8(lSpec.description),
                                                       QString::fromUtf8(lSpec.value))
                                  : QCommandLineOption(lNames, QString::fromUtf8(lSpec.description)));
  }
  QStringList lArguments;
  for (const std::string& lArgument : pArguments) lArguments << QString::fromLocal8Bit(lArgument.c_str());
  if (lArguments.isEmpty()) lArguments << QStringLiteral("vthud_preview");
  if (!pParser.parse(lArguments)) {
    const QStringList lUnknown = pParser.unknownOptionNames();
    if (!lUnknown.isEmpty()) {
      const std::string lName = lUnknown.first().toStdString();
      pError = "unknown option '--" + lName + "' (nearest: " + NearestOptions(lName) + "; see --help)";
    } else {
      pError = pParser.errorText().toStdString();
      // Qt says "Missing value after '--frame'."; keep the one-line form of the other messages.
      if (!pError.empty() && pError.back() == '.') pError.pop_back();
      if (!pError.empty()) pError[0] = static_cast<char>(tolower(static_cast<unsigned char>(pError[0])));
    }
    return false;
  }
  if (!pParser.positionalArguments().isEmpty() && !pParser.isSet(QStringLiteral("assemble"))) {
    pError =
        "unexpected argument " + Quoted(pParser.positionalArguments().first().toStdString()) + " (see --help)";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& pArguments, Options& o, std::string& pError) {
  QCommandLineParser lParser;
  if (!ParseLine(pArguments, lParser, pError)) return false;
  const Given g(lParser);
  if (g.Is("help") || g.Is("version")) {
    o.help = g.Is("help");
    o.version = !o.help;
    return true;
  }
  return ParseFramesAndTransport(g, o, pError) && ParsePlatesAndColour(g, o, pError) &&
         ParseLayoutAndProperties(g, o, pError) && ParseCamera(g, o, pError) && ParseTracking(g, o, pError) &&
         ParseOutputs(g, o, pError) && ParseFarm(g, pArguments, o, pError);
}

}  // namespace vthud_tool
