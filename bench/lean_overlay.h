#ifndef VTHUD_BENCH_LEAN_OVERLAY_H
#define VTHUD_BENCH_LEAN_OVERLAY_H
// The benchmark's floor for an overlay frame: the pixels of the default
// overlay, or of every field on, drawn with the fewest calls. Every value is
// fixed when it loads (from the scene's camera and take, as a new element
// shows them), the strings are measured once, the GL state is set once per
// frame with nothing saved or restored, and the same FTGL faces draw the same
// strings in the same order, so that overlapping glyphs blend alike.
#include <memory>
#include <string>
#include <vector>

#include "host.h"

class FTTextureFont;

namespace vthud_bench {

class LeanOverlay {
 public:
  LeanOverlay();
  ~LeanOverlay();
  // pEveryField: the fields, reticle and markers of Configure(kEverything).
  bool Load(bool pEveryField, FBCamera* pCamera, const std::string& pTake);
  // One pane redraw at a scene frame, as the host's pane does: clear, the
  // picture behind (when given, 1920 x 1080), the overlay, wait.
  void DrawPane(vthost::Pane& pPane, long long pFrame, const vthost::Image* pBackground = nullptr);

 private:
  struct Text {
    FTTextureFont* font;
    std::string text;
    float x, y, spacing;
  };
  void Draw(long long pFrame);
  void AddField(const std::string& pValue, int pX, int pY, const char* pLabel);

  std::unique_ptr<FTTextureFont> mValueFont, mLabelFont;
  bool mEveryField = false;
  std::vector<Text> mFixed;  // every field after the scene frame and timecode, in drawing order
  std::vector<Text> mMarkerNames;
  std::vector<int> mMarkerX;
  unsigned mReticleTexture = 0;
};

}  // namespace vthud_bench

#endif
