#ifndef VTHUD_TOOLS_GPU_COLOUR_H
#define VTHUD_TOOLS_GPU_COLOUR_H
// OCIO's GPU path, as viewers apply a config: the processor's generated GLSL
// and LUT textures run over the plate in a GL context of the tool's own,
// drawn into an 8-bit target and read back. On llvmpipe the shader is
// compiled to SIMD code run on every core, about twice as fast as OCIO's CPU
// processor on the same cores; results agree with it within one code value.
#include <OpenColorIO/OpenColorIO.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "headless_gl.h"

namespace vthud_tool {

class GpuColour {
 public:
  GpuColour() = default;
  ~GpuColour();
  GpuColour(const GpuColour&) = delete;
  GpuColour& operator=(const GpuColour&) = delete;

  // Makes the context, the shader and the textures of pProcessor, and draws
  // it once for each kind of plate. False with a reason when there is no GL
  // to do it with (the CPU path then does).
  bool Create(const OCIO_NAMESPACE::ConstProcessorRcPtr& pProcessor, std::string& pError);

  // pPixels: w x h RGBA, 16-bit (pFloat false) or float. pOut rows pOutStride
  // apart; a negative stride turns the picture over. Any thread, one at a time.
  bool Apply(const void* pPixels, bool pFloat, int pWidth, int pHeight, uint8_t* pOut, ptrdiff_t pOutStride);

 private:
  bool Resize(int pWidth, int pHeight);
  void BindNewLut(unsigned pTarget, int pUnit, OCIO_NAMESPACE::Interpolation pInterpolation, const char* pSampler);
  std::mutex mLock;
  vthost::HeadlessGL mGL;
  unsigned mProgram = 0, mFramebuffer = 0, mTarget = 0, mPlate = 0, mVertices = 0;
  int mFlipLocation = -1, mPlateUnit = 0;
  int mWidth = 0, mHeight = 0;  // the target's
  int mPlateWidth = 0, mPlateHeight = 0;
  bool mPlateFloat = false;
  // OCIO's LUT textures as (target, texture), bound to units 1 and up in order.
  std::vector<std::pair<unsigned, unsigned>> mLutUnits;
};

}  // namespace vthud_tool

#endif
