#include "gpu_colour.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace OCIO = OCIO_NAMESPACE;

namespace vthud_tool {

namespace {

const char* const kVertexShader =
    "#version 400 core\n"
    "void main() {\n"
    "  gl_Position = vec4(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1), 0.0, 1.0);\n"
    "}\n";

// Each target pixel takes the plate's texel, the rows turned over on request.
const char* const kMain =
    "uniform sampler2D vthudPlate;\n"
    "uniform bool vthudFlip;\n"
    "out vec4 vthudColour;\n"
    "void main() {\n"
    "  ivec2 lAt = ivec2(gl_FragCoord.xy);\n"
    "  if (vthudFlip) lAt.y = textureSize(vthudPlate, 0).y - 1 - lAt.y;\n"
    "  vthudColour = OCIODisplay(texelFetch(vthudPlate, lAt, 0));\n"
    "}\n";

bool Compile(GLuint pProgram, GLenum pType, const std::string& pText, std::string& pError) {
  const GLuint lShader = glCreateShader(pType);
  const char* lText = pText.c_str();
  glShaderSource(lShader, 1, &lText, nullptr);
  glCompileShader(lShader);
  GLint lOk = GL_FALSE;
  glGetShaderiv(lShader, GL_COMPILE_STATUS, &lOk);
  if (lOk != GL_TRUE) {
    char lLog[512] = {};
    glGetShaderInfoLog(lShader, sizeof lLog - 1, nullptr, lLog);
    pError = std::string("OCIO's shader does not compile: ") + lLog;
    glDeleteShader(lShader);
    return false;
  }
  glAttachShader(pProgram, lShader);
  glDeleteShader(lShader);  // kept while attached
  return true;
}

GLint Filter(OCIO::Interpolation pInterpolation) {
  return pInterpolation == OCIO::INTERP_NEAREST ? GL_NEAREST : GL_LINEAR;
}

}  // namespace

GpuColour::~GpuColour() {
  if (!mGL.IsValid() || !mGL.MakeCurrent()) return;
  glDeleteProgram(mProgram);
  glDeleteFramebuffers(1, &mFramebuffer);
  glDeleteTextures(1, &mTarget);
  glDeleteTextures(1, &mPlate);
  glDeleteVertexArrays(1, &mVertices);
  for (const auto& lLut : mLutUnits) glDeleteTextures(1, &lLut.second);
  mGL.Release();
}

// A new LUT texture bound on unit pUnit, filtered as OCIO asks and clamped at
// its edges, named to the program's sampler; its values are the caller's to load.
void GpuColour::BindNewLut(unsigned pTarget, int pUnit, OCIO::Interpolation pInterpolation, const char* pSampler) {
  GLuint lTexture = 0;
  glGenTextures(1, &lTexture);
  glActiveTexture(GL_TEXTURE0 + pUnit);
  glBindTexture(pTarget, lTexture);
  glTexParameteri(pTarget, GL_TEXTURE_MIN_FILTER, Filter(pInterpolation));
  glTexParameteri(pTarget, GL_TEXTURE_MAG_FILTER, Filter(pInterpolation));
  for (GLenum lWrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    glTexParameteri(pTarget, lWrap, GL_CLAMP_TO_EDGE);
  glUniform1i(glGetUniformLocation(mProgram, pSampler), pUnit);
  mLutUnits.emplace_back(pTarget, lTexture);
}

bool GpuColour::Create(const OCIO::ConstProcessorRcPtr& pProcessor, std::string& pError) {
  vthost::GLPlatform lPlatform;
  if (!vthost::PlatformFromEnvironment(lPlatform, pError) || !mGL.Create(lPlatform, pError)) return false;
  OCIO::GpuShaderDescRcPtr lDesc = OCIO::GpuShaderDesc::CreateShaderDesc();
  lDesc->setLanguage(OCIO::GPU_LANGUAGE_GLSL_4_0);
  lDesc->setFunctionName("OCIODisplay");
  lDesc->setResourcePrefix("ocio_");
  // Values fixed once: no dynamic property becomes a uniform to keep up.
  pProcessor
      ->getOptimizedGPUProcessor(static_cast<OCIO::OptimizationFlags>(OCIO::OPTIMIZATION_DEFAULT |
                                                                      OCIO::OPTIMIZATION_NO_DYNAMIC_PROPERTIES))
      ->extractGpuShaderInfo(lDesc);
  bool lOk = lDesc->getNumUniforms() == 0;
  if (!lOk) pError = "OCIO's shader has uniforms";
  mProgram = glCreateProgram();
  lOk = lOk && Compile(mProgram, GL_VERTEX_SHADER, kVertexShader, pError) &&
        Compile(mProgram, GL_FRAGMENT_SHADER,
                std::string("#version 400 core\n") + lDesc->getShaderText() + "\n" + kMain, pError);
  if (lOk) {
    glLinkProgram(mProgram);
    GLint lLinked = GL_FALSE;
    glGetProgramiv(mProgram, GL_LINK_STATUS, &lLinked);
    if (lLinked != GL_TRUE) lOk = false, pError = "OCIO's shader does not link";
  }
  if (lOk) {
    glUseProgram(mProgram);
    mFlipLocation = glGetUniformLocation(mProgram, "vthudFlip");
    // LUTs: 1D ones as OCIO packs them (a row, or rows of a long one), then 3D ones.
    GLint lUnit = 1;
    for (unsigned i = 0; i < lDesc->getNumTextures(); ++i, ++lUnit) {
      const char *lName = nullptr, *lSampler = nullptr;
      unsigned w = 0, h = 0;
      OCIO::GpuShaderDesc::TextureType lChannels;
      OCIO::Interpolation lInterpolation;
      const float* lValues = nullptr;
      lDesc->getTexture(i, lName, lSampler, w, h, lChannels, lInterpolation);
      lDesc->getTextureValues(i, lValues);
      const bool lRed = lChannels == OCIO::GpuShaderDesc::TEXTURE_RED_CHANNEL;
      const GLenum lTarget = h > 1 ? GL_TEXTURE_2D : GL_TEXTURE_1D;
      BindNewLut(lTarget, lUnit, lInterpolation, lSampler);
      if (h > 1)
        glTexImage2D(lTarget, 0, lRed ? GL_R32F : GL_RGB32F, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0,
                     lRed ? GL_RED : GL_RGB, GL_FLOAT, lValues);
      else
        glTexImage1D(lTarget, 0, lRed ? GL_R32F : GL_RGB32F, static_cast<GLsizei>(w), 0, lRed ? GL_RED : GL_RGB,
                     GL_FLOAT, lValues);
    }
    for (unsigned i = 0; i < lDesc->getNum3DTextures(); ++i, ++lUnit) {
      const char *lName = nullptr, *lSampler = nullptr;
      unsigned lEdge = 0;
      OCIO::Interpolation lInterpolation;
      const float* lValues = nullptr;
      lDesc->get3DTexture(i, lName, lSampler, lEdge, lInterpolation);
      lDesc->get3DTextureValues(i, lValues);
      BindNewLut(GL_TEXTURE_3D, lUnit, lInterpolation, lSampler);
      const GLsizei e = static_cast<GLsizei>(lEdge);
      glTexImage3D(GL_TEXTURE_3D, 0, GL_RGB32F, e, e, e, 0, GL_RGB, GL_FLOAT, lValues);
    }
    glUniform1i(glGetUniformLocation(mProgram, "vthudPlate"), mPlateUnit);
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &mPlate);
    glGenTextures(1, &mTarget);
    glGenFramebuffers(1, &mFramebuffer);
    glGenVertexArrays(1, &mVertices);
    if (glGetError() != GL_NO_ERROR) lOk = false, pError = "the GL cannot hold OCIO's textures";
  }
  // Free for the thread that reads plates to make current.
  mGL.Release();
  // The rasteriser compiles the shader for each kind of plate texture at its
  // first draw; drawn once here, the first plates need not wait for it. Not
  // a power of two a side, as plates are not (that is part of what it compiles for).
  if (lOk) {
    const uint16_t l16[3 * 3 * 4] = {};
    const float lFloat[3 * 3 * 4] = {};
    uint8_t lOut[3 * 3 * 4];
    lOk = Apply(l16, false, 3, 3, lOut, 3 * 4) && Apply(lFloat, true, 3, 3, lOut, 3 * 4);
    if (!lOk) pError = "OCIO's shader does not draw";
  }
  return lOk;
}

bool GpuColour::Resize(int pWidth, int pHeight) {
  if (pWidth == mWidth && pHeight == mHeight) return true;
  glBindTexture(GL_TEXTURE_2D, mTarget);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pWidth, pHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mTarget, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  mWidth = pWidth;
  mHeight = pHeight;
  return true;
}

bool GpuColour::Apply(const void* pPixels, bool pFloat, int pWidth, int pHeight, uint8_t* pOut,
                      ptrdiff_t pOutStride) {
  std::lock_guard<std::mutex> lHold(mLock);
  if (!mGL.MakeCurrent()) return false;
  bool lOk = Resize(pWidth, pHeight);
  if (lOk) {
    glActiveTexture(GL_TEXTURE0 + mPlateUnit);
    glBindTexture(GL_TEXTURE_2D, mPlate);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Storage is made again only when the plate's size or kind changes.
    if (pWidth != mPlateWidth || pHeight != mPlateHeight || pFloat != mPlateFloat) {
      glTexImage2D(GL_TEXTURE_2D, 0, pFloat ? GL_RGBA32F : GL_RGBA16, pWidth, pHeight, 0, GL_RGBA,
                   pFloat ? GL_FLOAT : GL_UNSIGNED_SHORT, pPixels);
      mPlateWidth = pWidth;
      mPlateHeight = pHeight;
      mPlateFloat = pFloat;
    } else {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, pWidth, pHeight, GL_RGBA, pFloat ? GL_FLOAT : GL_UNSIGNED_SHORT,
                      pPixels);
    }
    for (size_t i = 0; i < mLutUnits.size(); ++i) {
      glActiveTexture(GL_TEXTURE1 + static_cast<GLenum>(i));
      glBindTexture(mLutUnits[i].first, mLutUnits[i].second);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
    glViewport(0, 0, pWidth, pHeight);
    glDisable(GL_BLEND);
    glUseProgram(mProgram);
    // A negative stride: the lowest row in memory is the plate's bottom row.
    glUniform1i(mFlipLocation, pOutStride < 0 ? 1 : 0);
    glBindVertexArray(mVertices);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    const ptrdiff_t lRowBytes = pOutStride < 0 ? -pOutStride : pOutStride;
    uint8_t* lLowest = pOutStride < 0 ? pOut + (pHeight - 1) * pOutStride : pOut;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(lRowBytes / 4));
    glReadPixels(0, 0, pWidth, pHeight, GL_RGBA, GL_UNSIGNED_BYTE, lLowest);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    lOk = glGetError() == GL_NO_ERROR;
  }
  mGL.Release();
  return lOk;
}

}  // namespace vthud_tool
