#include "session.h"

#include <unistd.h>

#include <cstdio>

#include "chunks.h"
#include "fdl_framing.h"
#include "file_name.h"
#include "frame_pattern.h"
#include "message_text.h"
#include "plate_defaults.h"
#include "plate_facts.h"
#include "progress.h"
#include "property_edit.h"
#include "scene_file.h"
#include "sequence.h"
#include "timecode_sources.h"
#include "timecode_count.h"
#include "video_parts.h"

namespace vthud_tool {

namespace {

int Fail(const std::string& pMessage) {
  fprintf(stderr, "vthud_preview: %s\n", pMessage.c_str());
  return 1;
}

void Warn(const std::string& pWarning) {
  if (!pWarning.empty()) fprintf(stderr, "vthud_preview: %s\n", pWarning.c_str());
}

bool SplitSetting(const std::string& pSetting, std::string& pName, std::string& pValue) {
  const size_t lEquals = pSetting.find('=');
  if (lEquals == std::string::npos) return false;
  pName = pSetting.substr(0, lEquals);
  pValue = pSetting.substr(lEquals + 1);
  return true;
}

// "HH:MM:SS:FF" of a scene frame in the scene's rate, for the video's
// metadata; empty for a negative frame, which no timecode can hold.
std::string StartTimecode(long long pFrame, FBTimeMode pMode) {
  if (pFrame < 0) return std::string();
  FBTime lTime;
  lTime.SetFrame(pFrame, pMode);
  int h = 0, m = 0, s = 0, f = 0, lField = 0, lMs = 0;
  lTime.GetTime(h, m, s, f, lField, lMs, pMode);
  char lText[32];
  snprintf(lText, sizeof lText, "%02d:%02d:%02d:%02d", h % 24, m, s, f);
  return lText;
}

// "from-background" (or "PROPERTY=from-background") starts a timecode source
// at the plate's own timecode, and the output video then carries that
// timecode at its first frame.
bool UsePlateTimecode(std::string& pSource, const Background& pBackground, long long pFirstFrame,
                      VideoSettings& pVideo, std::string& pError) {
  const std::string kFrom = "from-background";
  const size_t lEquals = pSource.find('=');
  const std::string lProperty = lEquals == std::string::npos ? "TimeCode" : pSource.substr(0, lEquals);
  if (pSource.substr(lEquals == std::string::npos ? 0 : lEquals + 1) != kFrom) return true;
  std::string lTimecode;
  if (!pBackground.PlateTimecode(pFirstFrame, pVideo.fpsNumerator, pVideo.fpsDenominator, lTimecode, pError))
    return false;
  pSource = lProperty + "=" + lTimecode;
  pVideo.startTimecode = lTimecode;
  return true;
}

std::string JoinIds(const std::vector<std::string>& pIds) {
  std::string lText;
  for (const std::string& lId : pIds) lText += (lText.empty() ? "" : ",") + lId;
  return lText;
}

bool PlanRepeatsFrames(const DrawPlan& pPlan) {
  for (long long i = 1; i < pPlan.Count(); ++i)
    if (pPlan.At(i).frame <= pPlan.At(i - 1).frame) return true;
  return false;
}

// Each "Name=value" of pSets on pObject; pPrefix starts every message.
bool SetAll(FBComponent* pObject, const std::vector<std::string>& pSets, const std::string& pPrefix,
            std::string& pError) {
  std::string lName, lValue;
  for (const std::string& lSet : pSets)
    if (!SplitSetting(lSet, lName, lValue) || !vthost::SetPropertyFromText(pObject, lName, lValue, pError)) {
      pError = pPrefix + (pError.empty() ? "expects \"Name=value\"" : pError);
      return false;
    }
  return true;
}

bool SetCamera(const Options& o, FBCamera* pCamera, std::string& pError) {
  if (!o.cameraName.empty()) pCamera->Name = o.cameraName.c_str();
  for (const auto& lSetting : o.camera)
    if (!vthost::SetPropertyFromText(pCamera, lSetting.first, lSetting.second, pError)) return false;
  std::string lName, lValue;
  for (const std::string& lSet : o.cameraSets) {
    if (!SplitSetting(lSet, lName, lValue)) return pError = "--camera-set expects \"Name=value\"", false;
    const bool lAdds = pCamera->PropertyList.Find(lName.c_str()) == nullptr;
    // Nearest names are taken before the new property exists to be found itself.
    const std::vector<std::string> lNearest =
        lAdds ? vthost::NearestPropertyNames(pCamera, lName) : std::vector<std::string>();
    if (!vthost::SetCameraPropertyFromText(pCamera, lName, lValue, pError))
      return pError = "--camera-set: " + pError, false;
    // Adding is what a gate like "ShowOpticalCenter" needs, and what a typo does: say so.
    if (lAdds) {
      std::string lNote = "--camera-set added the custom property '" + vthud::MessageText(lName) + "'";
      if (!lNearest.empty()) lNote += " (existing names nearest to it: '" + lNearest[0] + "'";
      for (size_t i = 1; i < lNearest.size(); ++i) lNote += ", '" + lNearest[i] + "'";
      if (!lNearest.empty()) lNote += ")";
      Warn(lNote);
    }
  }
  return true;
}

// Where samples are matched from: the camera source given, else, over a plate
// that carries a timecode, the plate's (a tracker streams before the camera
// rolls, so its recording usually starts before the plate); else "" for the
// first sample's.
std::string MatchStart(const Options& o, const Background& pBackground, long long pFirstFrame,
                       const VideoSettings& pVideo) {
  if (!o.cameraSource.empty() || o.tracking.empty() || o.trackingLive || o.trackingOrder || o.background.empty())
    return o.cameraSource;
  std::string lTimecode, lIgnored;
  if (!pBackground.PlateTimecode(pFirstFrame, pVideo.fpsNumerator, pVideo.fpsDenominator, lTimecode, lIgnored))
    return std::string();
  return "TimeCode=" + lTimecode;
}

// The plate's kind and what it says of itself: a video's facts, a sequence's run of files.
bool DescribePlate(const Options& o, const Background& pBackground, PlateRun& pPlate, std::string& pError) {
  pPlate.name = o.background;
  if (pBackground.IsFeed()) {
    // A feed's rate is the run's; it has no length.
    pPlate.video = true;
    pPlate.facts.rateNumerator = pBackground.FeedFacts().rate.num;
    pPlate.facts.rateDenominator = pBackground.FeedFacts().rate.den;
    return true;
  }
  if (pBackground.IsVideo()) {
    pPlate.video = true;
    return ProbePlateFacts(o.background, pPlate.facts, pError);
  }
  if (!pBackground.Changes()) return true;
  pPlate.sequence = true;
  // The background opened, so its pattern parses; a folder that cannot be listed leaves no files found.
  FramePattern lPattern;
  bool lIsPattern = false;
  std::string lIgnored;
  if (!lPattern.Parse(o.background, lIsPattern, lIgnored) || !lIsPattern ||
      !lPattern.ContiguousFiles(pPlate.firstFile, pPlate.lastFile))
    pPlate.lastFile = pPlate.firstFile - 1;
  return true;
}

// An output of one picture: a PNG without a frame field.
bool OnePictureOut(const Options& o) {
  return !IsVideoOut(o.out) && !LooksLikePattern(o.out) && o.out.compare(0, 6, "udp://") != 0 &&
         o.out.compare(0, 6, "srt://") != 0;
}

// Whether the camera timecode is set by hand, by --set or by a draw's "set".
bool SetsCameraTimecode(const Options& o, const DrawPlan& pPlan) {
  auto lIsCameraTimecode = [](const std::string& pName) {
    for (const char* lName : {"Camera Hour", "Camera Minute", "Camera Second", "Camera Frame", "Camera Timecode"})
      if (pName == lName) return true;
    return false;
  };
  std::string lName, lValue;
  for (const std::string& lSet : o.sets)
    if (SplitSetting(lSet, lName, lValue) && lIsCameraTimecode(lName)) return true;
  for (long long i = 0; !o.draws.empty() && i < pPlan.Count(); ++i)
    for (const auto& lSet : pPlan.At(i).sets)
      if (lIsCameraTimecode(lSet.first)) return true;
  return false;
}

// Over a plate that carries a timecode the output starts at it, and the
// camera shows it unless the camera's timecode comes from elsewhere: a
// --camera-source, a tracker's samples, or its properties set by hand. A
// plate without one leaves the scene's timecode. Returns a warning line when
// the plate's timecode cannot be used, or "".
std::string PlateTimecodeByDefault(Options& o, Session& s, const PlateRun& pPlate, long long pFirstFrame) {
  if (!pPlate.video && !pPlate.sequence) return std::string();
  std::string lTimecode, lWhy;
  if (!s.background.PlateTimecode(pFirstFrame, s.video.fpsNumerator, s.video.fpsDenominator, lTimecode, lWhy))
    // A video's own timecode that cannot be counted (drop-frame, a rate no scene runs at) is said;
    // a plate without one is the usual case and says nothing.
    return pPlate.facts.timecode.empty() ? std::string()
                                         : lWhy + "; the output's timecode counts the scene's frames instead";
  s.video.startTimecode = lTimecode;
  if (o.cameraSource.empty() && o.tracking.empty() && !SetsCameraTimecode(o, s.plan))
    o.cameraSource = "TimeCode=" + lTimecode;
  return std::string();
}

// A chunk writes its frames as the whole run would; a video goes to a part
// that says which run it belongs to and where in it it starts.
bool OpenChunkSink(const Options& o, Session& s, std::string& pError) {
  const long long lFrames = o.chunk.last - o.chunk.first + 1;
  if (!IsVideoOut(o.out)) {
    s.sink = MakeSink(o.out, lFrames, false, s.video, pError);
    return s.sink != nullptr;
  }
  VideoSettings lPart = s.video;
  lPart.part = true;
  // No timecode track: the concat demuxer would start the joined video off
  // by a fraction of a frame from it. The part's own timecode is a tag.
  lPart.startTimecode.clear();
  lPart.tags = {{kPartRunTag, std::to_string(o.frames.first) + ":" + std::to_string(o.frames.last)},
                {kPartChunkTag, std::to_string(o.chunk.first) + ":" + std::to_string(o.chunk.last)}};
  if (!s.video.startTimecode.empty()) {
    lPart.tags.emplace_back(kPartRunTimecodeTag, s.video.startTimecode);
    lPart.tags.emplace_back(kPartTimecodeTag,
                            OffsetTimecode(s.video.startTimecode, o.chunk.first - o.frames.first,
                                           Rational{s.video.fpsNumerator, s.video.fpsDenominator}));
  }
  s.sink = MakeSink(PartPath(o, o.chunk), lFrames, false, lPart, pError);
  return s.sink != nullptr;
}

// An HDR display's output: 16-bit PNGs, ProRes 4444, else HEVC Main 10 in
// place of H.264 (said once). Refused: HDR settings without an HDR display,
// and the farm's video parts, whose join was made for SDR videos.
bool HdrOutput(const Options& o, const ShowColour& pShown, VideoSettings& pVideo, std::string& pError) {
  const bool lHdr = pShown.Active() && pShown.Hdr().Hdr();
  if (!lHdr) {
    const std::pair<bool, const char*> lHdrOnly[] = {{o.graphicsWhite > 0.0, "--graphics-white"},
                                                     {!o.masteringDisplay.empty(), "--mastering-display"},
                                                     {!o.maxCll.empty(), "--max-cll"}};
    for (const auto& lOption : lHdrOnly)
      if (lOption.first)
        return pError = std::string(lOption.second) + " is for a PQ or HLG display, and " +
                        (pShown.Active() ? "the display of " + pShown.Describe() + " is SDR"
                                         : std::string("no plate is shown through an OCIO config")),
               false;
    return true;
  }
  const bool lVideo = IsVideoOut(o.out) || !OnePictureOut(o);
  if ((o.hasChunk || !o.farm.empty() || !o.assembleOut.empty()) && IsVideoOut(o.out))
    return pError = "--out " + o.out +
                    ": the farm joins video parts for SDR displays only (its stream copy "
                    "drops HDR mastering metadata); draw the " +
                    pShown.Hdr().Describe() + " display in one run, or to a PNG sequence",
           false;
  pVideo.hdr = pShown.Hdr();
  pVideo.masteringDisplay = o.masteringDisplay;
  pVideo.maxCll = o.maxCll;
  if (lVideo && !EndsWithNoCase(o.out, ".mov") && !LooksLikePattern(o.out))
    Warn(pShown.Describe() + " is an HDR display (" + pShown.Hdr().Describe() + "): " + o.out +
         " is written as 10-bit HEVC (libx265), as 8-bit H.264 cannot hold it");
  return true;
}

}  // namespace

bool OpenInputs(Options& o, const std::string& pResources, Session& s, std::string& pError) {
  // The plate first: its length and rate are the plan's and the scene's unless the command line gives them.
  const ColourRequest lColour{o.ocio,  o.plateColorspace, o.display,      o.view,
                              o.looks, o.displayEncoding, o.graphicsWhite};
  s.background.SetWarn(Warn);
  if (IsFeedUrl(o.background)) {
    // A listener may wait long for its sender: Ctrl-C and SIGTERM end that wait as they end the run.
    InstallStopHandler();
    s.background.SetStopCheck(StopRequested);
  }
  if (!s.background.Open(o.background, pResources + "/quill-hd.png", pError, o.backgroundLut, &lColour))
    return false;
  PlateRun lPlate;
  if (!DescribePlate(o, s.background, lPlate, pError)) return false;
  std::string lWarning;
  if (!ApplyPlateDefaults(lPlate, OnePictureOut(o), o, lWarning, pError)) return false;
  Warn(lWarning);
  if (!s.plan.Build(o, pError) || !s.tracking.Open(o, pError) || !s.live.Open(o, pError)) return false;
  const DrawState lFirst = s.plan.At(0);
  // A chunk reads plates from its own first frame on.
  if (!s.background.CheckFirstPlate(o.hasChunk ? o.chunk.first : lFirst.frame, pError)) return false;
  // The files are tagged for the display the plates were shown on.
  const ShowColour& lShown = s.background.Colour();
  lShown.Settle();
  if (!HdrOutput(o, lShown, s.video, pError)) return false;
  if (lShown.Active() && !s.video.hdr.Hdr()) {
    s.video.tag = lShown.Tag();
    if (lShown.Tag() == DisplayTag::Untagged)
      Warn("the display of " + lShown.Describe() +
           " has no colour tag the tool writes (BT.709 or sRGB); the output is written untagged");
  }
  kLongLong lNum = 30, lDen = 1;
  FBTime::GetFrameRate(o.timeMode, lNum, lDen);
  s.video.fpsNumerator = static_cast<int>(lNum);
  s.video.fpsDenominator = static_cast<int>(lDen);
  s.video.startTimecode = StartTimecode(lFirst.frame, o.timeMode);
  const std::pair<std::string*, const char*> lSourceTexts[] = {{&o.characterSource, "--character-source: "},
                                                               {&o.cameraSource, "--camera-source: "}};
  for (const auto& lSource : lSourceTexts)
    if (!UsePlateTimecode(*lSource.first, s.background, lFirst.frame, s.video, pError))
      return pError = lSource.second + pError, false;
  Warn(PlateTimecodeByDefault(o, s, lPlate, lFirst.frame));
  if (!s.tracking.Match(s.plan, MatchStart(o, s.background, lFirst.frame, s.video), lWarning, pError))
    return false;
  Warn(lWarning);
  if (o.listProperties || o.checkLayout || !o.farm.empty()) return true;
  if (o.hasChunk) return OpenChunkSink(o, s, pError);
  s.video.record = o.outRecord;
  // A stream over a feed says when each frame left, for the latency the run adds.
  if (s.background.IsFeed()) s.video.handedOff = [&s](long long pDraw) { s.background.HandedOff(pDraw); };
  s.sink = MakeSink(o.out, s.plan.Count(), !o.liveUntilStopped && PlanRepeatsFrames(s.plan), s.video, pError);
  return s.sink != nullptr;
}

bool MakeHost(const Options& o, Session& s, std::string& pError) {
  if (!vthost::PlatformFromEnvironment(s.platform, pError) || !s.gl.Create(s.platform, pError)) return false;
  const DrawState lFirst = s.plan.At(0);
  vthost::Host& lHost = s.host;
  lHost.SetTimeMode(o.timeMode);
  lHost.SetLoop(o.loopStart, o.loopStop);
  // The element is made as the first draw finds the transport, as if it had
  // been in the scene all along.
  lHost.SetFrame(lFirst.frame);
  lHost.SetRecording(lFirst.recording);
  lHost.SetPlaying(lFirst.playing);
  s.plugin = lHost.LoadPlugin(o.plugin, pError);
  if (!s.plugin) return false;
  if (o.frameLines) {
    s.linesPlugin = lHost.LoadPlugin(o.linesPlugin, pError);
    if (!s.linesPlugin) return pError = "--frame-lines: " + pError, false;
  }
  if (!o.scene.empty()) {
    if (!vthost::LoadScene(lHost, o.scene, pError)) return false;
    for (FBComponent* lObject : lHost.Objects())
      if (o.className == lObject->ClassName()) {
        s.element = lObject;
        break;
      }
    if (!s.element) return pError = "scene " + o.scene + " holds no " + o.className, false;
  } else {
    s.element = lHost.Create(o.className, "VT HUD Element", pError);
    if (!s.element) return false;
  }
  // The frame lines: the scene's, else a new element made after the HUD's, so drawn over it.
  if (o.frameLines) {
    for (FBComponent* lObject : lHost.Objects())
      if (std::string(lObject->ClassName()) == "VTFrameLines" && !s.lines) s.lines = lObject;
    if (!s.lines) s.lines = lHost.Create("VTFrameLines", "VT Frame Lines", pError);
    if (!s.lines) return pError = "--frame-lines: " + pError, false;
  }
  s.elements = {s.element};
  if (s.lines) s.elements.push_back(s.lines);
  s.camera = lHost.Renderer().CurrentCamera;
  return true;
}

bool ApplySettings(const Options& o, Session& s, std::string& pError) {
  if (!o.layout.empty() && !vthost::ApplyLayout(s.elements, o.layout, pError)) return false;
  if (!o.fdl.empty()) {
    vthost::Framing lFraming;
    if (!vthost::ApplyFdl(s.element, o.fdl, o.framing, lFraming, pError)) return false;
    printf("%s\n", vthost::DescribeFraming(lFraming).c_str());
    Warn(s.tracking.FdlWarning(o.fdl, o.framing));
  }
  if (!SetAll(s.element, o.sets, "", pError)) return false;
  if (s.lines) {
    if (!o.fdl.empty() &&
        (!vthost::SetPropertyFromText(s.lines, "FDL File", o.fdl, pError) ||
         !vthost::SetPropertyFromText(s.lines, "Framing Decisions", JoinIds(o.framings), pError)))
      return pError = "--frame-lines: " + pError, false;
    if (!SetAll(s.lines, o.linesSets, "--lines-set: ", pError)) return false;
  }
  return SetCamera(o, s.camera, pError);
}

bool PrepareTake(Options& o, Session& s, std::string& pError) {
  vthost::Host& lHost = s.host;
  if (!o.take.empty()) lHost.SetCurrentTake(lHost.AddTake(o.take));
  if (o.noTake) lHost.SetCurrentTake(nullptr);
  if (o.noCamera) lHost.Renderer().CurrentCamera = nullptr;
  if (o.noRenderer) lHost.SetRendererPresent(false);
  // The recording's first sample is in place for a saved scene or a layout check.
  if (!s.tracking.Bind(lHost, s.element, s.camera, o.cameraSource, pError) || !s.tracking.Apply(0, pError))
    return false;
  // The sources start at the first frame drawn; binding prints the element's diagnostic line.
  const std::pair<const std::string*, vthost::TimecodeSlot> lSources[] = {
      {&o.characterSource, vthost::TimecodeSlot::Character}, {&o.cameraSource, vthost::TimecodeSlot::Camera}};
  for (const auto& lSource : lSources)
    if (!lSource.first->empty() &&
        !vthost::AddTimecodeSource(lHost, s.element, lSource.second, *lSource.first, pError)) {
      pError = std::string(lSource.second == vthost::TimecodeSlot::Character ? "--character-source: "
                                                                             : "--camera-source: ") +
               pError;
      return false;
    }
  if (!o.saveScene.empty() && !vthost::SaveScene(lHost, o.saveScene, pError)) return false;
  return o.saveLayout.empty() || vthost::SaveLayout(s.elements, o.saveLayout, pError);
}

int Run(const Options& o, Session& s) {
  vthost::Host& lHost = s.host;
  std::string lError;
  // Whatever ends the run, a road it opened is closed before the run returns,
  // so the renderer's disconnect callback releases the element's entities.
  struct RoadCloser {
    vthost::Host& host;
    bool opened;
    void Close() {
      if (opened) host.Road().Close();
      opened = false;
    }
    ~RoadCloser() { Close(); }
  } lRoad{lHost, false};
  if (o.rendererRoad) {
    if (o.noRenderer) return Fail("--road renderer needs the host's renderer; drop --no-renderer");
    lRoad.opened = true;
    // The HUD's plug-in attaches first, so its texture is composited first.
    if (!lHost.Road().Attach(*s.plugin, lError) || (s.linesPlugin && !lHost.Road().Attach(*s.linesPlugin, lError)))
      return Fail("--road renderer: " + lError);
    lHost.Road().SelectRendererCallback();
    if (!lHost.Road().Connect()) return Fail("--road renderer: the renderer could not connect");
  }

  // From the moment the output exists, Ctrl-C ends the run with the output closed, so that it plays.
  InstallStopHandler();
  if (!s.sink->Open(lError)) return Fail(lError);
  // The tool shows no scene behind the HUD, at most a picture: its pane keeps no depth.
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, s.camera, false);
  RunSettings lSettings;
  lSettings.clockNumerator = o.clockNumerator;
  lSettings.clockDenominator = o.clockDenominator;
  lSettings.progress = isatty(STDERR_FILENO) && s.plan.Count() > 1 && !o.liveUntilStopped;
  if (o.rendererRoad)
    lSettings.checkDraw = [&lHost](std::string& pError) {
      if (lHost.Road().LastFrameError().empty()) return true;
      pError = "the renderer could not draw: " + lHost.Road().LastFrameError();
      return false;
    };
  if (s.tracking.Active())
    lSettings.beforeDraw = [&s](long long pIndex, std::string& pError) {
      return s.live.Active() ? s.live.BeforeDraw(pIndex, s.tracking, pError) : s.tracking.Apply(pIndex, pError);
    };
  if (o.hasChunk) {
    lSettings.firstDraw = o.chunk.first - o.frames.first;
    lSettings.lastDraw = o.chunk.last - o.frames.first;
    if (!s.background.SkipVideoFrames(lSettings.firstDraw, s.video.fpsNumerator, s.video.fpsDenominator, lError))
      return Fail(lError);
  }
  if (s.background.IsFeed()) {
    // The feed's clock: each picture drawn and sent on as it comes.
    lSettings.handOffEachDraw = true;
    lSettings.readbackDepth = 1;
    // One writer, few frames queued: a machine that falls behind drops input
    // frames instead of letting frames pile up on the way out.
    lSettings.writerThreads = 1;
    s.live.FollowFeed([&s](long long pIndex, LiveClock::time_point& pArrival,
                           std::string& pTimecode) { return s.background.FeedStamp(pIndex, pArrival, pTimecode); },
                      o.trackingDelayMs);
  }
  if (!s.live.Start(Warn, lError)) return Fail(lError);
  RunReport lReport;
  const bool lOk =
      RunSequence(lHost, s.element, lPane, s.plan, s.background, s.sink.get(), lSettings, lReport, lError);
  fputs(s.background.FeedSummary().c_str(), stdout);
  fputs(s.live.Finish().c_str(), stdout);
  s.background.Close();
  lRoad.Close();
  const long long lFirstFrame = o.hasChunk ? o.chunk.first : s.plan.At(0).frame;
  const long long lPlanned = o.hasChunk ? o.chunk.last - o.chunk.first + 1 : s.plan.Count();
  const std::string lWhere = s.sink->Where(lFirstFrame);
  const std::string lCounted = std::to_string(lReport.written) + " of " + std::to_string(lPlanned) + " frames";
  if (!lOk) return Fail(lError + (lReport.written > 0 ? "; " + lCounted + " were written to " + lWhere : ""));
  // A live run without --frames ends at Ctrl-C or SIGTERM: that is its end, not an interruption.
  if (lReport.interrupted && o.liveUntilStopped) {
    printf("stopped; wrote %lld frames to %s (1920 x 1080, %s)\n", lReport.written, lWhere.c_str(),
           s.gl.Description().c_str());
    return 0;
  }
  if (lReport.interrupted) {
    fprintf(stderr, "vthud_preview: interrupted; %s were written to %s\n", lCounted.c_str(), lWhere.c_str());
    return 130;
  }
  if (lPlanned == 1)
    printf("wrote %s (1920 x 1080 RGBA, frame %lld, %s)\n", lWhere.c_str(), lFirstFrame,
           s.gl.Description().c_str());
  else
    printf("wrote %lld frames to %s (1920 x 1080, %s)\n", lReport.written, lWhere.c_str(),
           s.gl.Description().c_str());
  return 0;
}

}  // namespace vthud_tool
