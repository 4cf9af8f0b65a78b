#include "show_colour.h"

#include <OpenColorIO/OpenColorIO.h>

#include "gpu_colour.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace OCIO = OCIO_NAMESPACE;

namespace vthud_tool {

struct ShowColour::State {
  OCIO::ConstCPUProcessorRcPtr from16, fromFloat;
  // OCIO's GPU path when a GL context can be had (see gpu_colour.h), else
  // its CPU processor; both write 8-bit display values. The GPU path is made
  // on a thread of its own while the run starts (its plates probed, the
  // host made), and taken at the first plate.
  std::future<std::unique_ptr<GpuColour>> making;
  std::unique_ptr<GpuColour> gpu;
  std::once_flag taken;
  GpuColour* Gpu() {
    std::call_once(taken, [this] {
      if (making.valid()) gpu = making.get();
    });
    return gpu.get();
  }
  // The interleaved float picture the GPU takes, kept from plate to plate
  // (plates come one at a time): made afresh, its pages would be faulted in
  // and zeroed for every frame.
  std::vector<float> rgba;
};

namespace {

// OCIO's messages may run over lines; a message here is one.
std::string OneLine(const char* pText) {
  std::string lLine;
  for (const char* c = pText; *c; ++c) {
    if (*c == '\n' || *c == '\r') {
      if (!lLine.empty() && lLine.back() != ' ') lLine += ' ';
    } else {
      lLine += *c;
    }
  }
  while (!lLine.empty() && lLine.back() == ' ') lLine.pop_back();
  return lLine;
}

std::string Lower(std::string pText) {
  for (char& c : pText) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return pText;
}

// "the valid ones: a, b, c, d, e, ..." from a count and a name getter.
std::string FirstNames(int pCount, const std::function<const char*(int)>& pName) {
  const int kShown = 6;
  std::string lText;
  for (int i = 0; i < pCount && i < kShown; ++i) lText += (i ? ", '" : "'") + std::string(pName(i)) + "'";
  if (pCount > kShown) lText += ", ... (" + std::to_string(pCount) + " in all; see --list-colorspaces)";
  return lText.empty() ? "none" : lText;
}

bool ReadConfig(const std::string& pPath, OCIO::ConstConfigRcPtr& pConfig, std::string& pError) {
  if (pPath.empty()) return pError = "--ocio: no config given (and $OCIO is not set)", false;
  try {
    // Not validate()d as a whole: as in OCIO's viewers, a colourspace the run
    // does not use may be broken (its LUT elsewhere); the processor checks
    // what is used, with OCIO's own reason.
    pConfig = OCIO::Config::CreateFromFile(pPath.c_str());
  } catch (const OCIO::Exception& e) {
    pError = "--ocio: cannot use the config " + pPath + ": " + OneLine(e.what());
    return false;
  }
  return true;
}

// The names of an OCIO look list ("a, +b, -c"), without their directions.
std::vector<std::string> LookNames(const std::string& pLooks) {
  std::vector<std::string> lNames;
  std::string lName;
  for (size_t i = 0; i <= pLooks.size(); ++i) {
    const char c = i < pLooks.size() ? pLooks[i] : ',';
    if (c == ',' || c == ':') {
      const size_t lFirst = lName.find_first_not_of(" \t+-");
      const size_t lLast = lName.find_last_not_of(" \t");
      if (lFirst != std::string::npos) lNames.push_back(lName.substr(lFirst, lLast - lFirst + 1));
      lName.clear();
    } else {
      lName += c;
    }
  }
  return lNames;
}

bool Contains(const std::string& pText, const char* pPart) { return pText.find(pPart) != std::string::npos; }

// Runs pRows(first, end) over the rows on every core.
void OverRows(int pHeight, const std::function<void(int, int)>& pRows) {
  const int lThreads = static_cast<int>(std::max(1u, std::min(16u, std::thread::hardware_concurrency())));
  if (lThreads == 1 || pHeight < 64) return pRows(0, pHeight);
  std::vector<std::thread> lWorkers;
  const int lEach = (pHeight + lThreads - 1) / lThreads;
  for (int t = 1; t < lThreads; ++t) {
    const int lFirst = t * lEach, lEnd = std::min(pHeight, lFirst + lEach);
    if (lFirst < lEnd) lWorkers.emplace_back(pRows, lFirst, lEnd);
  }
  pRows(0, std::min(pHeight, lEach));
  for (std::thread& lWorker : lWorkers) lWorker.join();
}

// The styles of the builtin transforms in pTransform, groups opened, "|" between.
void BuiltinStyles(const OCIO::ConstTransformRcPtr& pTransform, std::string& pStyles) {
  if (!pTransform) return;
  if (auto lBuiltin = OCIO::DynamicPtrCast<const OCIO::BuiltinTransform>(pTransform))
    pStyles += std::string(lBuiltin->getStyle()) + "|";
  if (auto lGroup = OCIO::DynamicPtrCast<const OCIO::GroupTransform>(pTransform))
    for (int i = 0; i < lGroup->getNumTransforms(); ++i) BuiltinStyles(lGroup->getTransform(i), pStyles);
}

// The display's transfer and primaries: what the config says (the builtin
// display transform of its colourspace, else its encoding), or
// --display-encoding where it says nothing. False with one line when the
// two disagree, or when an hdr-video display's transfer is not known.
bool ResolveHdr(const OCIO::ConstConfigRcPtr& pConfig, const std::string& pDisplay, const std::string& pSpace,
                const ColourRequest& pRequest, HdrDisplay& pHdr, std::string& pError) {
  pHdr = HdrDisplay();
  OCIO::ConstColorSpaceRcPtr lSpace = pConfig->getColorSpace(pSpace.c_str());
  const std::string lEncoding = lSpace ? Lower(lSpace->getEncoding()) : std::string();
  std::string lStyles;
  if (lSpace) {
    BuiltinStyles(lSpace->getTransform(OCIO::COLORSPACE_DIR_FROM_REFERENCE), lStyles);
    BuiltinStyles(lSpace->getTransform(OCIO::COLORSPACE_DIR_TO_REFERENCE), lStyles);
  }
  lStyles = Lower(lStyles);
  // The config's word: a transfer, HDR of a transfer it does not name, SDR, or nothing.
  std::string lSays;
  if (Contains(lStyles, "display - ") && (Contains(lStyles, "-pq") || Contains(lStyles, "st2084")))
    lSays = "pq";
  else if (Contains(lStyles, "display - ") && Contains(lStyles, "hlg"))
    lSays = "hlg";
  else if (lEncoding == "hdr-video")
    lSays = "hdr";
  else if (lEncoding == "sdr-video")
    lSays = "sdr";
  const std::string lWhose = "the display colourspace '" + pSpace + "' of '" + pDisplay + "' in the config " +
                             pRequest.config + " is " + (lSays == "hdr" ? "hdr-video" : lSays) +
                             (lEncoding.empty() ? "" : " (encoding: " + lEncoding + ")");
  const std::string& lAsked = pRequest.displayEncoding;
  std::string lUse = lAsked.empty() ? lSays : lAsked;
  if (!lAsked.empty() && !lSays.empty() && lAsked != lSays && !(lSays == "hdr" && lAsked != "sdr"))
    return pError = "--display-encoding " + lAsked + " contradicts the config: " + lWhose, false;
  if (lUse == "hdr")
    return pError = lWhose +
                    " with a transform the tool does not know as PQ or HLG: give --display-encoding pq "
                    "or hlg",
           false;
  if (lUse != "pq" && lUse != "hlg") return true;
  pHdr.transfer = lUse == "pq" ? HdrTransfer::Pq : HdrTransfer::Hlg;
  // P3-D65 by the builtin transform, else by the names; BT.2020 otherwise.
  const std::string lNames = lStyles.empty() ? Lower(pDisplay + "|" + pSpace) : lStyles;
  if (pHdr.transfer == HdrTransfer::Pq && Contains(lNames, "p3")) pHdr.primaries = HdrPrimaries::P3D65;
  pHdr.graphicsWhite = pRequest.graphicsWhite > 0.0        ? pRequest.graphicsWhite
                       : pHdr.transfer == HdrTransfer::Hlg ? HlgDefaultGraphicsWhite()
                                                           : 203.0;
  return true;
}

}  // namespace

DisplayTag TagForDisplay(const std::string& pDisplay, const std::string& pColorspace) {
  const std::string lNames = Lower(pDisplay + " | " + pColorspace);
  if (Contains(lNames, "srgb")) return DisplayTag::Srgb;
  // Rec.1886 over Rec.2020, P3 or a PQ / HLG display is not what a BT.709 tag says.
  for (const char* lOther : {"2020", "2100", "p3", "dci", "pq", "hlg", "st2084", "st-2084"})
    if (Contains(lNames, lOther)) return DisplayTag::Untagged;
  if (Contains(lNames, "1886") || Contains(lNames, "709")) return DisplayTag::Bt709;
  return DisplayTag::Untagged;
}

ShowColour::ShowColour() = default;
ShowColour::~ShowColour() = default;

void ShowColour::Reset() {
  mState.reset();
  mTag = DisplayTag::Bt709;
  mHdr = HdrDisplay();
  mDescription.clear();
}

bool ShowColour::Open(const ColourRequest& pRequest, const std::string& pPlatePath, std::string& pError) {
  Reset();
  OCIO::ConstConfigRcPtr lConfig;
  if (!ReadConfig(pRequest.config, lConfig, pError)) return false;
  const std::string lIn = "in the config " + pRequest.config;
  std::string lColorspace = pRequest.colorspace;
  if (lColorspace.empty()) {
    lColorspace = lConfig->getColorSpaceFromFilepath(pPlatePath.c_str());
    if (lColorspace.empty())
      return pError = "--plate-colorspace: the file rules " + lIn + " give no colourspace for " + pPlatePath +
                      "; name one",
             false;
  }
  if (!lConfig->getColorSpace(lColorspace.c_str()))
    return pError = "--plate-colorspace: no colourspace '" + lColorspace + "' " + lIn + " (valid: " +
                    FirstNames(lConfig->getNumColorSpaces(),
                               [&](int i) { return lConfig->getColorSpaceNameByIndex(i); }) +
                    ")",
           false;
  std::string lDisplay = pRequest.display.empty() ? lConfig->getDefaultDisplay() : pRequest.display;
  bool lKnown = false;
  for (int i = 0; i < lConfig->getNumDisplays(); ++i) lKnown = lKnown || lDisplay == lConfig->getDisplay(i);
  if (!lKnown)
    return pError = "--display: no display '" + lDisplay + "' " + lIn + " (valid: " +
                    FirstNames(lConfig->getNumDisplays(), [&](int i) { return lConfig->getDisplay(i); }) + ")",
           false;
  const char* lDisplayName = lDisplay.c_str();
  const std::string lView = pRequest.view.empty() ? lConfig->getDefaultView(lDisplayName) : pRequest.view;
  lKnown = false;
  for (int i = 0; i < lConfig->getNumViews(lDisplayName); ++i)
    lKnown = lKnown || lView == lConfig->getView(lDisplayName, i);
  if (!lKnown)
    return pError = "--view: no view '" + lView + "' of display '" + lDisplay + "' " + lIn + " (valid: " +
                    FirstNames(lConfig->getNumViews(lDisplayName),
                               [&](int i) { return lConfig->getView(lDisplayName, i); }) +
                    ")",
           false;
  for (const std::string& lLook : LookNames(pRequest.looks))
    if (!lConfig->getLook(lLook.c_str()))
      return pError = "--look: no look '" + lLook + "' " + lIn + " (valid: " +
                      FirstNames(lConfig->getNumLooks(), [&](int i) { return lConfig->getLookNameByIndex(i); }) +
                      ")",
             false;
  mDescription = lColorspace + " -> " + lDisplay + " / " + lView;
  const std::string lDisplaySpace = lConfig->getDisplayViewColorSpaceName(lDisplayName, lView.c_str());
  if (!ResolveHdr(lConfig, lDisplay, lDisplaySpace, pRequest, mHdr, pError)) return false;
  // An HDR picture is kept at 16 bits for the overlay laid over it outside GL.
  const OCIO::BitDepth lOut = mHdr.Hdr() ? OCIO::BIT_DEPTH_UINT16 : OCIO::BIT_DEPTH_UINT8;
  try {
    OCIO::DisplayViewTransformRcPtr lTransform = OCIO::DisplayViewTransform::Create();
    lTransform->setSrc(lColorspace.c_str());
    lTransform->setDisplay(lDisplayName);
    lTransform->setView(lView.c_str());
    OCIO::ConstProcessorRcPtr lProcessor;
    if (pRequest.looks.empty()) {
      lProcessor = lConfig->getProcessor(lTransform);
    } else {
      // The viewers' pipeline: the looks named here in place of the view's own.
      OCIO::LegacyViewingPipelineRcPtr lPipeline = OCIO::LegacyViewingPipeline::Create();
      lPipeline->setDisplayViewTransform(lTransform);
      lPipeline->setLooksOverrideEnabled(true);
      lPipeline->setLooksOverride(pRequest.looks.c_str());
      lProcessor = lPipeline->getProcessor(lConfig);
    }
    std::unique_ptr<State> lState(new State);
    lState->from16 =
        lProcessor->getOptimizedCPUProcessor(OCIO::BIT_DEPTH_UINT16, lOut, OCIO::OPTIMIZATION_DEFAULT);
    lState->fromFloat =
        lProcessor->getOptimizedCPUProcessor(OCIO::BIT_DEPTH_F32, lOut, OCIO::OPTIMIZATION_DEFAULT);
    // VTHUD_OCIO_CPU=1 keeps to the CPU processor (to compare the two); the
    // GPU path writes 8 bits, so an HDR display keeps to it too.
    const char* lCpuOnly = getenv("VTHUD_OCIO_CPU");
    if (!mHdr.Hdr() && (!lCpuOnly || strcmp(lCpuOnly, "1") != 0))
      lState->making = std::async(std::launch::async, [lProcessor] {
        std::unique_ptr<GpuColour> lGpu(new GpuColour);
        std::string lWhy;
        try {
          if (lGpu->Create(lProcessor, lWhy)) return lGpu;
        } catch (const OCIO::Exception&) {
        }
        return std::unique_ptr<GpuColour>();
      });
    mState = std::move(lState);
  } catch (const OCIO::Exception& e) {
    pError = "--ocio: cannot show " + mDescription + " " + lIn + ": " + OneLine(e.what());
    return false;
  }
  mTag = mHdr.Hdr() ? DisplayTag::Untagged : TagForDisplay(lDisplay, lDisplaySpace);
  return true;
}

void ShowColour::Settle() const {
  if (mState) mState->Gpu();
}

void ShowColour::FromRgba64(const uint16_t* pPixels, ptrdiff_t pStride, int pWidth, int pHeight, uint8_t* pOut,
                            ptrdiff_t pOutStride) const {
  GpuColour* lGpu = mState->Gpu();
  if (lGpu && pStride == static_cast<ptrdiff_t>(pWidth) * 8 &&
      lGpu->Apply(pPixels, false, pWidth, pHeight, pOut, pOutStride))
    return;
  const OCIO::CPUProcessor& lCpu = *mState->from16;
  const OCIO::BitDepth lOut = mHdr.Hdr() ? OCIO::BIT_DEPTH_UINT16 : OCIO::BIT_DEPTH_UINT8;
  const char* lIn = reinterpret_cast<const char*>(pPixels);
  OverRows(pHeight, [&](int pFirst, int pEnd) {
    for (int y = pFirst; y < pEnd; ++y) {
      OCIO::PackedImageDesc lSource(const_cast<char*>(lIn + y * pStride), pWidth, 1, 4, OCIO::BIT_DEPTH_UINT16,
                                    OCIO::AutoStride, OCIO::AutoStride, OCIO::AutoStride);
      OCIO::PackedImageDesc lDisplay(pOut + y * pOutStride, pWidth, 1, 4, lOut, OCIO::AutoStride, OCIO::AutoStride,
                                     OCIO::AutoStride);
      lCpu.apply(lSource, lDisplay);
    }
  });
}

void ShowColour::FromFloatPlanes(float* pRed, float* pGreen, float* pBlue, float* pAlpha, int pWidth, int pHeight,
                                 uint8_t* pOut, ptrdiff_t pOutStride) const {
  // The GPU takes one RGBA texture: the planes interleaved as they are made finite.
  std::vector<float>& lRgba = mState->rgba;
  GpuColour* lGpu = mState->Gpu();
  lRgba.resize(lGpu ? static_cast<size_t>(pWidth) * pHeight * 4 : 0);
  OverRows(pHeight, [&](int pFirst, int pEnd) {
    for (int y = pFirst; y < pEnd; ++y) {
      const size_t lAt = static_cast<size_t>(y) * pWidth;
      float* lPlanes[4] = {pRed + lAt, pGreen + lAt, pBlue + lAt, pAlpha ? pAlpha + lAt : nullptr};
      for (float* lPlane : lPlanes) {
        if (!lPlane) continue;
        for (int x = 0; x < pWidth; ++x)
          if (!std::isfinite(lPlane[x])) lPlane[x] = 0.0f;
      }
      if (lRgba.empty()) continue;
      float* lRow = &lRgba[lAt * 4];
      for (int x = 0; x < pWidth; ++x) {
        lRow[x * 4] = lPlanes[0][x];
        lRow[x * 4 + 1] = lPlanes[1][x];
        lRow[x * 4 + 2] = lPlanes[2][x];
        lRow[x * 4 + 3] = lPlanes[3] ? lPlanes[3][x] : 1.0f;
      }
    }
  });
  if (lGpu && lGpu->Apply(lRgba.data(), true, pWidth, pHeight, pOut, pOutStride)) return;
  const OCIO::CPUProcessor& lCpu = *mState->fromFloat;
  const OCIO::BitDepth lOut = mHdr.Hdr() ? OCIO::BIT_DEPTH_UINT16 : OCIO::BIT_DEPTH_UINT8;
  // Alpha stays the plate's: without a plane of its own it is opaque (one
  // row of ones, only read, shared by the threads).
  const std::vector<float> lOpaque(pAlpha ? 0 : static_cast<size_t>(pWidth), 1.0f);
  OverRows(pHeight, [&](int pFirst, int pEnd) {
    for (int y = pFirst; y < pEnd; ++y) {
      const size_t lAt = static_cast<size_t>(y) * pWidth;
      float* lPlanes[4] = {pRed + lAt, pGreen + lAt, pBlue + lAt, pAlpha ? pAlpha + lAt : nullptr};
      float* lAlpha = lPlanes[3] ? lPlanes[3] : const_cast<float*>(lOpaque.data());
      OCIO::PlanarImageDesc lSource(lPlanes[0], lPlanes[1], lPlanes[2], lAlpha, pWidth, 1);
      OCIO::PackedImageDesc lDisplay(pOut + y * pOutStride, pWidth, 1, 4, lOut, OCIO::AutoStride, OCIO::AutoStride,
                                     OCIO::AutoStride);
      lCpu.apply(lSource, lDisplay);
    }
  });
}

bool ListColourConfig(const std::string& pConfig, std::string& pText, std::string& pError) {
  OCIO::ConstConfigRcPtr lConfig;
  if (!ReadConfig(pConfig, lConfig, pError)) return false;
  pText = "config " + pConfig + "\ncolourspaces (--plate-colorspace):\n";
  for (int i = 0; i < lConfig->getNumColorSpaces(); ++i) {
    const char* lName = lConfig->getColorSpaceNameByIndex(i);
    OCIO::ConstColorSpaceRcPtr lSpace = lConfig->getColorSpace(lName);
    pText += std::string("  ") + lName;
    for (size_t a = 0; lSpace && a < lSpace->getNumAliases(); ++a)
      pText += std::string(a ? ", " : " (aliases: ") + lSpace->getAlias(a) +
               (a + 1 == lSpace->getNumAliases() ? ")" : "");
    pText += "\n";
  }
  pText += std::string("displays (--display) and their views (--view); default display '") +
           lConfig->getDefaultDisplay() + "':\n";
  for (int d = 0; d < lConfig->getNumDisplays(); ++d) {
    const char* lDisplay = lConfig->getDisplay(d);
    pText += std::string("  ") + lDisplay + ": ";
    for (int v = 0; v < lConfig->getNumViews(lDisplay); ++v)
      pText += (v ? ", " : "") + std::string(lConfig->getView(lDisplay, v));
    pText += std::string(" (default '") + lConfig->getDefaultView(lDisplay) + "')\n";
  }
  pText += "looks (--look):";
  for (int i = 0; i < lConfig->getNumLooks(); ++i)
    pText += std::string(i ? ", " : " ") + lConfig->getLookNameByIndex(i);
  pText += lConfig->getNumLooks() == 0 ? " none\n" : "\n";
  return true;
}

}  // namespace vthud_tool
