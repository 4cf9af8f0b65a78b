#ifndef VTHUD_BENCH_HAND_DRAWN_OVERLAY_H
#define VTHUD_BENCH_HAND_DRAWN_OVERLAY_H
// The default overlay of a new element drawn by hand: the same GL and FTGL
// calls with the values fixed, no properties and no host objects. The
// benchmark's floor for the main thread's cost of those pixels.
#include <memory>

#include "host.h"

class FTTextureFont;

namespace vthud_bench {

class HandDrawnOverlay {
 public:
  HandDrawnOverlay();
  ~HandDrawnOverlay();
  bool Load();
  // One pane redraw with the overlay at a scene frame, as the host's pane does.
  void DrawPane(vthost::Pane& pPane, long long pFrame);

 private:
  void Draw(long long pFrame);
  std::unique_ptr<FTTextureFont> mValueFont, mLabelFont;
};

}  // namespace vthud_bench

#endif
