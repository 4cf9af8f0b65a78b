#ifndef VTHUD_TOOLS_RUN_OPTIONS_H
#define VTHUD_TOOLS_RUN_OPTIONS_H
// What one run of the tool is asked for, as plain values already checked by
// the command line: the rooms below the command line read these and never
// parse text of their own.
#include <fbsdk/fbsdk.h>

#include <string>
#include <utility>
#include <vector>

namespace vthud_tool {

// An inclusive range of scene frames.
struct FrameRange {
  long long first = 0, last = 0;
  bool Contains(long long pFrame) const { return pFrame >= first && pFrame <= last; }
};

struct Options {
  std::string plugin;
  std::string className = "VTHUDElement";
  std::string out = "out/hud.png";
  std::string outRecord;  // a live run's second --out: a .mov or .mp4 of the stream's frames
  FBTimeMode timeMode = kFBTimeMode30Frames;
  std::string fpsText = "30";
  long long frame = 0;
  bool hasFrames = false;
  // What the command line gave itself; what it left out, a video plate or a
  // plate sequence may give (its rate, its length).
  bool hasFps = false, hasClock = false, hasFrame = false;
  FrameRange frames;  // --frames, when hasFrames
  long long loopStart = 0, loopStop = 300;
  // Milliseconds the host's system clock advances per draw, as a fraction
  // clockNumerator / clockDenominator; by default one frame interval.
  long long clockNumerator = 100, clockDenominator = 3;
  std::vector<FrameRange> record, play;
  std::string draws;  // --draws: a JSON file, or the JSON text itself
  std::string background;
  bool backgroundFeed = false;  // --background srt://... or udp://...: a camera's feed drawn as it comes
  std::string backgroundLut;    // a .cube file applied to the background by FFmpeg's lut3d
  std::vector<std::string> sets;
  std::vector<std::string> cameraSets;  // "Name=value" on the viewed camera
  std::string scene, saveScene;
  std::string layout, saveLayout;
  // "PROPERTY=HH:MM:SS:FF[,held]", or "from-background" for the plate's own timecode
  std::string characterSource, cameraSource;
  bool rendererRoad = false;  // --road renderer
  bool listProperties = false;
  std::string cameraName;
  std::vector<std::pair<std::string, std::string>> camera;  // property, value
  std::string take;
  bool noTake = false, noCamera = false;
  bool recording = false, playing = false, noRenderer = false;
  bool help = false, version = false;
  // Framing and layout checks.
  std::string fdl, framing;  // --fdl FILE, --framing ID (empty: the file's default)
  // Frame lines: --frame-lines, --lines-plugin PATH, --lines-set (repeatable);
  // every --framing ID, in order, for the lines.
  bool frameLines = false;
  std::string linesPlugin;
  std::vector<std::string> linesSets;
  std::vector<std::string> framings;
  bool checkLayout = false;
  // An OpenTrackIO recording laid over the draws, matched by timecode or in order.
  std::string tracking;
  bool trackingOrder = false, trackingTStop = false;
  // A live tracker instead, --tracking udp://ADDR[:PORT][?source=N&interface=IP]:
  // the IPv4 address to listen on (one of this machine's, or a multicast
  // group), the sourceNumber kept (0: every source), the local address the
  // group is joined on ("" lets the system choose).
  bool trackingLive = false;
  std::string trackerAddress, trackerInterface;
  int trackerPort = 55555, trackerSource = 0;
  std::string trackingRecord;  // --tracking-record: every accepted sample, as JSON Lines
  // Over a feed without timecode: a frame takes the newest sample at its arrival less this (the encoder's delay).
  double trackingDelayMs = 0;
  bool liveUntilStopped = false;  // no --frames: the live run ends at Ctrl-C or SIGTERM
  // Farm: one chunk of --frames drawn as the whole run draws it, video parts
  // joined without re-encoding, and the run handed to Slurm as an array job.
  bool hasChunk = false;
  FrameRange chunk;         // --chunk A:B, inside frames
  std::string assembleOut;  // --assemble OUT: join assembleParts into it, in order
  std::vector<std::string> assembleParts;
  std::string farm;  // --farm ENGINE ("slurm"), empty to draw here
  long long chunkSize = 100;
  std::string farmDir;                   // empty: OUT.farm
  std::vector<std::string> farmOptions;  // passed to sbatch as they are
  bool farmDryRun = false;
  // This run's own arguments as a farm task runs them: paths absolute, the
  // farm's options left out (filled by the command line with --farm).
  std::vector<std::string> taskArguments;
  // Show colour: plates through an OpenColorIO config (--ocio, else $OCIO)
  // to a display and view; empty names take the config's choice.
  std::string ocio, plateColorspace, display, view, looks;
  bool listColorspaces = false;
  // HDR displays: --display-encoding ("" takes the config's), --graphics-white
  // in cd/m2 (0: the display's default), and HEVC's optional metadata.
  std::string displayEncoding;
  double graphicsWhite = 0.0;
  std::string masteringDisplay, maxCll;
};

// The largest frame number whose time FBTime holds at pMode, either sign.
long long FrameLimit(FBTimeMode pMode);

// The scene rate --fps names (24, 25, 30, 48, 50, 60, 23.976, 29.97, 59.94).
bool TimeModeFor(const std::string& pFps, FBTimeMode& pMode);

// The scene rate of exactly pNumerator / pDenominator frames a second, with
// the --fps text that names it; false for a rate no scene runs at.
bool TimeModeOfRate(long long pNumerator, long long pDenominator, FBTimeMode& pMode, std::string& pFpsText);

}  // namespace vthud_tool

#endif
