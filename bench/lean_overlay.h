#ifndef VTHUD_BENCH_LEAN_OVERLAY_H
#define VTHUD_BENCH_LEAN_OVERLAY_H
// The benchmark's floor for an overlay frame: the pixels of the default
// overlay, or of every field on, drawn with the fewest calls. Every value is
// fixed when it loads (from the scene's camera and take, as a new element
// shows them), the strings are measured once, the GL state is set once per
// frame with nothing saved or restored, and the same FTGL faces draw the same
// strings in the same order, so that overlapping glyphs blend alike, and the
// text is laid over the frame through a layer as the element's is.
#include <memory>
#include <string>
#include <vector>

#include "host.h"

class FTTextureFont;

namespace vthud_bench {

class LeanOverlay {
 public:
  struct Box {
    int x0, y0, x1, y1;
  };
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

  // Text goes through a layer of its own, as the element's does: drawn in
  // white into a coverage channel per ink (red for white text, green for the
  // status), then laid over the pane as premultiplied colour. Its boxes are
  // the text's rows, measured once.
  void BeginText(const std::vector<Box>& pBoxes);
  void EndText(const std::vector<Box>& pWhite, const Box* pStatus);
  unsigned mLayer = 0, mGreen = 0, mLayerFramebuffer = 0, mTarget = 0;
  std::vector<Box> mFieldBoxes, mClearedBoxes;
  Box mStatusBox{};

  std::unique_ptr<FTTextureFont> mValueFont, mLabelFont;
  bool mEveryField = false;
  std::vector<Text> mFixed;  // every field after the scene frame and timecode, in drawing order
  std::vector<Text> mMarkerNames;
  std::vector<int> mMarkerX;
  unsigned mReticleTexture = 0;
};

}  // namespace vthud_bench

#endif
