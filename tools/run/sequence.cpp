#include "sequence.h"

#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "lead_in.h"
#include "plate_fetcher.h"
#include "progress.h"
#include "property_edit.h"
#include "readback.h"
#include "writer_queue.h"

namespace vthud_tool {

namespace {

const long long kPlannedDraws = 1 << 20;

std::string DrawName(long long pIndex, long long pFrame) {
  return "draw " + std::to_string(pIndex + 1) + " (frame " + std::to_string(pFrame) + ")";
}

}  // namespace

long long ClockAtDraw(long long pIndex, long long pNumerator, long long pDenominator) {
  return static_cast<long long>(static_cast<__int128>(pIndex + 1) * pNumerator / pDenominator);
}

bool PrepareDraw(vthost::Host& pHost, FBComponent* pElement, const DrawState& pState, long long pIndex,
                 const RunSettings& pSettings, std::string& pError) {
  pHost.SetFrame(pState.frame);
  pHost.SetRecording(pState.recording);
  pHost.SetPlaying(pState.playing);
  pHost.SetSystemTimeMs(ClockAtDraw(pIndex, pSettings.clockNumerator, pSettings.clockDenominator));
  for (const auto& lSet : pState.sets)
    if (!vthost::SetPropertyFromText(pElement, lSet.first, lSet.second, pError))
      return pError = DrawName(pIndex, pState.frame) + ": " + pError, false;
  if (pSettings.beforeDraw && !pSettings.beforeDraw(pIndex, pError))
    return pError = DrawName(pIndex, pState.frame) + ": " + pError, false;
  return true;
}

bool RunSequence(vthost::Host& pHost, FBComponent* pElement, vthost::Pane& pPane, const DrawPlan& pPlan,
                 Background& pBackground, FrameSink* pSink, const RunSettings& pSettings, RunReport& pReport,
                 std::string& pError) {
  pReport = RunReport();
  // Draws lFirst to lEnd - 1 are drawn; the background counts its draws from lFirst.
  const long long lFirst = std::max(0LL, pSettings.firstDraw);
  const long long lEnd = pSettings.lastDraw < 0 ? pPlan.Count() : std::min(pPlan.Count(), pSettings.lastDraw + 1);
  const long long lCount = std::max(0LL, lEnd - lFirst);
  int lThreads = pSettings.writerThreads;
  if (lThreads <= 0) lThreads = static_cast<int>(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
  AsyncReadback lReadback(pPane.Width(), pPane.Height(), pSettings.readbackDepth);
  std::unique_ptr<WriterQueue> lQueue;
  // A buffer for each writer, each read in flight and the one being read into.
  if (pSink)
    lQueue.reset(new WriterQueue(*pSink, lThreads, (pSink->Ordered() ? 1 : lThreads) + lReadback.Depth() + 1));
  vthost::Image lDropped;  // the frame buffer when nothing is written
  std::deque<long long> lPendingFrames;
  // The picture each pending frame is laid over outside GL (HDR), or null.
  std::deque<std::shared_ptr<const std::vector<uint16_t>>> lPendingUnders;
  Progress lProgress(lCount, pSettings.progress);
  // Plates and video frames are read one draw ahead on another thread. A run
  // that goes on until stopped plans its first draws only; later plates are read alone.
  const long long lPlanned = std::min(lCount, kPlannedDraws);
  std::vector<long long> lFrames(static_cast<size_t>(std::max(lPlanned, 0LL)));
  for (long long i = 0; i < lPlanned; ++i) lFrames[static_cast<size_t>(i)] = pPlan.At(lFirst + i).frame;
  pBackground.PlanDraws(std::move(lFrames), lPlanned == lCount);
  vthost::Image lPlates[2];
  std::string lPlateErrors[2];
  PlateFetcher lNextPlate([&](long long pIndex) {
    const size_t lSlot = static_cast<size_t>(pIndex % 2);
    return pBackground.ForDraw(pIndex - lFirst, pPlan.At(pIndex).frame, lPlates[lSlot], lPlateErrors[lSlot]);
  });
  if (lCount > 0) lNextPlate.Ask(lFirst);
  std::string lError;
  bool lOk = LeadIn(pHost, pElement, pPane, pPlan, pSettings, lFirst, lError);

  // Hands the oldest finished read to the writers.
  auto Deliver = [&]() {
    const long long lFrame = lPendingFrames.front();
    lPendingFrames.pop_front();
    std::shared_ptr<const std::vector<uint16_t>> lUnder = std::move(lPendingUnders.front());
    lPendingUnders.pop_front();
    if (!lQueue) {
      if (!lReadback.FinishOldest(lDropped))
        return lError = "cannot read frame " + std::to_string(lFrame) + " back", false;
      return true;
    }
    std::unique_ptr<vthost::Image> lImage = lQueue->Acquire();
    if (!lReadback.FinishOldest(*lImage))
      return lError = "cannot read frame " + std::to_string(lFrame) + " back", false;
    lImage->under = std::move(lUnder);
    lQueue->Submit(std::move(lImage), lFrame);
    return true;
  };

  for (long long i = lFirst; i < lEnd && lOk; ++i) {
    if (StopRequested()) {
      pReport.interrupted = true;
      break;
    }
    const DrawState lState = pPlan.At(i);
    // The plate first: a feed's picture sets when the draw is made, and what it is drawn with.
    if (i == lFirst || pBackground.Changes()) {
      const size_t lSlot = static_cast<size_t>(i % 2);
      if (!lNextPlate.Wait()) {
        lError = lPlateErrors[lSlot];
        lOk = false;
        break;
      }
      // Swapped, not copied: the slot takes the pane's last picture's buffer for the plate after next.
      pPane.SwapBackground(lPlates[lSlot]);
      if (pBackground.Changes() && i + 1 < lEnd) lNextPlate.Ask(i + 1);
    }
    if (!PrepareDraw(pHost, pElement, lState, i, pSettings, lError)) {
      lOk = false;
      break;
    }
    pHost.DrawPane(pPane);
    if (pSettings.checkDraw && !pSettings.checkDraw(lError)) {
      lError = DrawName(i, lState.frame) + ": " + lError;
      lOk = false;
      break;
    }
    if (lReadback.Pending() == static_cast<size_t>(lReadback.Depth()) && !Deliver()) {
      lOk = false;
      break;
    }
    lReadback.Start(pPane.Framebuffer());
    lPendingFrames.push_back(lState.frame);
    lPendingUnders.push_back(pPane.Background().under);
    ++pReport.drawn;
    if (pSettings.handOffEachDraw && !Deliver()) {
      lOk = false;
      break;
    }
    if (lQueue && lQueue->Failed(lError)) lOk = false;
    lProgress.Update(pReport.drawn);
  }
  // Whatever was drawn is still written, after an error as after Ctrl-C.
  while (!lPendingFrames.empty())
    if (!Deliver()) lOk = false;
  lProgress.Done();
  if (lQueue) {
    std::string lWriteError;
    if (!lQueue->Finish(lWriteError) && lOk) {
      lError = lWriteError;
      lOk = false;
    }
    pReport.written = lQueue->Written();
  } else {
    pReport.written = pReport.drawn;
  }
  if (!lOk) pError = lError;
  return lOk;
}

}  // namespace vthud_tool
