#ifndef VTHOST_FDL_FILE_H
#define VTHOST_FDL_FILE_H
// ASC Framing Decision Lists (versions 1.0 and 1.1): the JSON files in which
// cameras, dailies and editorial exchange a show's framing. A file holds
// framing intents (an aspect ratio and a protection share) and contexts of
// canvases (a sensor or image area in pixels, possibly anamorphic), each
// with framing decisions: rectangles in canvas pixels, anchored at their top
// left corner, with the origin at the canvas's top left.
//
// ReadFdl checks what a well-formed file must hold before anything uses it:
// required members, value types, positive sizes, ids that resolve, and
// rectangles that lie inside their canvas. A bad file gives one error naming
// the JSON path of the offending value.
#include <string>
#include <vector>

namespace vthud {

struct FdlSize {
  double width = 0, height = 0;
};
struct FdlPoint {
  double x = 0, y = 0;
};

struct FdlIntent {
  std::string id, label;
  FdlSize aspect;         // a ratio, e.g. 239 x 100
  double protection = 0;  // share of the decision kept as a margin, 0 to below 1
};

struct FdlDecision {
  std::string id, label, intentId;
  FdlSize dimensions;
  FdlPoint anchor;
  bool hasProtection = false;
  FdlSize protectionDimensions;
  FdlPoint protectionAnchor;
  std::string path;  // "contexts[0].canvases[1].framing_decisions[0]"
};

struct FdlCanvas {
  std::string id, label, sourceId;
  FdlSize dimensions;  // whole pixels
  bool hasEffective = false;
  FdlSize effectiveDimensions;
  FdlPoint effectiveAnchor;
  double squeeze = 1;  // anamorphic squeeze: one pixel shows this many pixels wide
  std::vector<FdlDecision> decisions;
};

struct FdlContext {
  std::string label;
  std::vector<FdlCanvas> canvases;
};

struct FdlDocument {
  std::string uuid, creator, defaultIntent;
  int major = 1, minor = 0;
  std::vector<FdlIntent> intents;
  std::vector<FdlContext> contexts;

  const FdlIntent* Intent(const std::string& pId) const;
};

// Reads and checks an FDL file; on error pDocument is left as it was and
// pError reads "<file>:<line>:<column>: <json path>: <what>".
bool ReadFdl(const std::string& pPath, FdlDocument& pDocument, std::string& pError);

}  // namespace vthud

#endif
