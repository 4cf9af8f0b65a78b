// The renderer's draw: its background, then every drawable transform, with
// the GL state the draw touches saved first and restored after.
#include <algorithm>

#include "material_program.h"
#include "vantor.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace vantor {

namespace {

bool Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

// What the draw changes, so the host finds its context as it left it.
class SavedState {
 public:
  SavedState() {
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &mDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &mRead);
    glGetIntegerv(GL_CURRENT_PROGRAM, &mProgram);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &mVertexArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &mArrayBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &mActiveTexture);
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &mUnits);
    mUnits = std::min<GLint>(mUnits, kUnits);
    for (GLint i = 0; i < mUnits; ++i) {
      glActiveTexture(GL_TEXTURE0 + i);
      glGetIntegerv(GL_TEXTURE_BINDING_2D, &mTextures[i]);
    }
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_PIXEL_MODE_BIT | GL_CURRENT_BIT |
                 GL_SCISSOR_BIT | GL_POLYGON_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  }
  ~SavedState() {
    glPopClientAttrib();
    glPopAttrib();
    for (GLint i = 0; i < mUnits; ++i) {
      glActiveTexture(GL_TEXTURE0 + i);
      glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(mTextures[i]));
    }
    glActiveTexture(static_cast<GLenum>(mActiveTexture));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(mArrayBuffer));
    glBindVertexArray(static_cast<GLuint>(mVertexArray));
    glUseProgram(static_cast<GLuint>(mProgram));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(mDraw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(mRead));
  }
  static constexpr int kUnits = 16;

 private:
  GLint mDraw = 0, mRead = 0, mProgram = 0, mVertexArray = 0, mArrayBuffer = 0, mActiveTexture = GL_TEXTURE0;
  GLint mUnits = 0;
  GLint mTextures[kUnits] = {};
};

// Vertex arrays are not shared between contexts, and buffers are made on the
// first draw so that creating a mesh needs no context.
void Upload(Entity& pMesh) {
  if (pMesh.vertexArray) return;
  GLuint lVertexArray = 0;
  GLuint lBuffers[3] = {};
  glGenVertexArrays(1, &lVertexArray);
  glGenBuffers(3, lBuffers);
  glBindVertexArray(lVertexArray);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, lBuffers[0]);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(pMesh.indices.size() * sizeof(uint32_t)),
               pMesh.indices.data(), GL_STATIC_DRAW);
  for (const MfiVertexLayoutElement& lElement : pMesh.meshLayout) {
    const bool lPosition = lElement.semantic == MFI_SEMANTIC_POSITION;
    const std::vector<float>& lData = lPosition ? pMesh.positions : pMesh.texCoords;
    const GLuint lLocation = lPosition ? kPositionLocation : kTexCoord0Location;
    glBindBuffer(GL_ARRAY_BUFFER, lBuffers[lPosition ? 1 : 2]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(lData.size() * sizeof(float)), lData.data(),
                 GL_STATIC_DRAW);
    glVertexAttribPointer(lLocation, lElement.stream == MFI_STREAM_FLOAT3 ? 3 : 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(lLocation);
  }
  pMesh.vertexArray = lVertexArray;
  std::copy(lBuffers, lBuffers + 3, pMesh.glBuffers);
}

// Every input the material reads must come from the mesh's layout.
std::string MissingInput(const Entity& pMesh, const Entity& pMaterial) {
  for (const std::string& lInput : pMaterial.parsed.inputs) {
    const uint32_t lSemantic = lInput == "position" ? MFI_SEMANTIC_POSITION : MFI_SEMANTIC_TEXCOORD0;
    bool lFound = false;
    for (const MfiVertexLayoutElement& lElement : pMesh.meshLayout) lFound |= lElement.semantic == lSemantic;
    if (!lFound) return lInput;
  }
  return {};
}

}  // namespace

void Renderer::setBackgroundColour(float r, float g, float b, float a) {
  mBackgroundColour[0] = r;
  mBackgroundColour[1] = g;
  mBackgroundColour[2] = b;
  mBackgroundColour[3] = a;
  mPicture.clear();
  mPictureWidth = mPictureHeight = 0;
}

void Renderer::setBackgroundPicture(int width, int height, std::vector<uint8_t> rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4) {
    setBackgroundColour(0.0f, 0.0f, 0.0f, 0.0f);
    return;
  }
  // GL takes the bottom row first.
  const size_t lRow = static_cast<size_t>(width) * 4;
  mPicture.resize(rgba.size());
  for (int y = 0; y < height; ++y)
    std::copy_n(&rgba[static_cast<size_t>(height - 1 - y) * lRow], lRow, &mPicture[static_cast<size_t>(y) * lRow]);
  mPictureWidth = width;
  mPictureHeight = height;
}

bool Renderer::draw(uint32_t framebuffer, int width, int height, std::string* error) {
  mLastDrawn.clear();
  if (!glGetString(GL_VERSION)) return Fail(error, "no current GL context");
  ++mDrawCount;
  std::string lProblems;
  auto lProblem = [&](const std::string& pText) { lProblems += (lProblems.empty() ? "" : "; ") + pText; };

  SavedState lSaved;
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glViewport(0, 0, width, height);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(mBackgroundColour[0], mBackgroundColour[1], mBackgroundColour[2], mBackgroundColour[3]);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (!mPicture.empty()) {
    if (mPictureWidth == width && mPictureHeight == height) {
      glDisable(GL_BLEND);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
      glPixelZoom(1.0f, 1.0f);
      glWindowPos2i(0, 0);
      glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, mPicture.data());
    } else {
      lProblem("the background is " + std::to_string(mPictureWidth) + " x " + std::to_string(mPictureHeight) +
               ", the frame " + std::to_string(width) + " x " + std::to_string(height));
    }
  }

  std::vector<std::pair<int32_t, uint64_t>> lOrder;
  for (const auto& [handle, entity] : mEntities)
    if (entity.kind == Kind::Transform) lOrder.emplace_back(entity.category, handle);
  std::sort(lOrder.begin(), lOrder.end());  // handles grow with creation

  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_STENCIL_TEST);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  // The surface is premultiplied emission over the frame:
  // out = radiance + (1 - opacity) * frame, for colour and alpha alike.
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  for (const auto& lEntry : lOrder) {
    const uint64_t lHandle = lEntry.second;
    const Entity& lTransform = mEntities.at(lHandle);
    auto lMesh = mEntities.find(lTransform.mesh);
    auto lMaterial = mEntities.find(lTransform.material);
    // A transform without geometry or material has nothing to show yet.
    if (lMesh == mEntities.end() || !lMesh->second.hasBuffers || lMaterial == mEntities.end()) continue;
    const Entity& lMat = lMaterial->second;
    if (!lMat.program) continue;
    const std::string lMissing = MissingInput(lMesh->second, lMat);
    if (!lMissing.empty()) {
      lProblem("transform " + std::to_string(lHandle) + ": its mesh has no '" + lMissing + "' stream");
      continue;
    }
    Upload(lMesh->second);
    glUseProgram(lMat.program);
    int lUnit = 0;
    size_t lSampler = 0;
    for (const MaterialSymbol& lSymbol : lMat.parsed.symbols) {
      const std::string& lName = lSymbol.name;
      if (lSymbol.type != "color") {
        glUniform1f(glGetUniformLocation(lMat.program, lName.c_str()), lSymbol.defaultValue[0]);
        continue;
      }
      const Entity* lTexture = nullptr;
      if (lSymbol.sampler) {
        const uint64_t lBound = lMat.materialProperties[lSampler++].texture;
        lTexture = find(lBound);
        if (lTexture && (!lTexture->hasData || !glIsTexture(static_cast<GLuint>(lTexture->glTexture))))
          lTexture = nullptr;
      }
      const bool lBound = lTexture && lUnit < SavedState::kUnits;
      glUniform1i(glGetUniformLocation(lMat.program, (lName + ".bound").c_str()), lBound ? 1 : 0);
      glUniform4fv(glGetUniformLocation(lMat.program, (lName + ".value").c_str()), 1, lSymbol.defaultValue);
      glUniform1i(glGetUniformLocation(lMat.program, (lName + ".map").c_str()), lBound ? lUnit : 0);
      if (lBound) {
        glActiveTexture(GL_TEXTURE0 + lUnit++);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lTexture->glTexture));
      }
    }
    glBindVertexArray(lMesh->second.vertexArray);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(lMesh->second.indices.size()), GL_UNSIGNED_INT, nullptr);
    mLastDrawn.push_back(lHandle);
  }
  glFinish();
  if (GLenum lError = glGetError()) lProblem("GL error " + std::to_string(lError) + " while drawing");
  if (!lProblems.empty()) return Fail(error, lProblems);
  return true;
}

bool Renderer::frame(uint32_t framebuffer, int width, int height, std::string* error) {
  if (mCallbacks.empty()) return Fail(error, "no plug-in attached");
  update();
  render();
  return draw(framebuffer, width, height, error);
}

void ReleaseGL(Entity& pEntity) {
  if (pEntity.program) glDeleteProgram(pEntity.program);
  if (pEntity.vertexArray) glDeleteVertexArrays(1, &pEntity.vertexArray);
  if (pEntity.glBuffers[0]) glDeleteBuffers(3, pEntity.glBuffers);
  pEntity.program = pEntity.vertexArray = 0;
  std::fill(pEntity.glBuffers, pEntity.glBuffers + 3, 0u);
}

}  // namespace vantor
