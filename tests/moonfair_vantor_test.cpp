// The plug-in's wrappers against the stand-in renderer, end to end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "moonfair_library.h"
#include "moonfair_test_support.h"
#include "node_registry.h"
#include "vantor.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

namespace {

// Headless GL through Mesa's surfaceless EGL platform; skipped where absent.
struct EglContext {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  bool Create() {
    auto platformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (platformDisplay) display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API) ||
        !eglChooseConfig(display, attributes, &config, 1, &count) || count < 1)
      return false;
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    return context != EGL_NO_CONTEXT && eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
  }
  ~EglContext() {
    if (context != EGL_NO_CONTEXT) {
      eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(display, context);
    }
    if (display != EGL_NO_DISPLAY) eglTerminate(display);
  }
};

const char* const kMaterialDocument =
    "<vantorShader version='26'>\n"
    "  <input><element semantic='position'/><element semantic='texCoord0'/></input>\n"
    "  <surface><brdf model='constant' name='lobe0'/></surface>\n"
    "  <symbol type='color' name='tint' default='1 1 1'/>\n"
    "  <symbol type=\"color\" name=\"hudTexture\" sampler=\"true\"/>\n"
    "  <implementation kind='glslDisplacement'>void displacement() { oPosition = iPosition; }</implementation>\n"
    "  <implementation kind='glslSurface'><![CDATA[void surface() {\n"
    "    lobe0.exitantRadiance = sampleParameterRGBA(hudTexture, iTexCoord0).rgb * sampleParameterRGBA(tint, "
    "iTexCoord0).rgb;\n"
    "  }]]></implementation>\n"
    "</vantorShader>\n";

const MfiVertexLayoutElement kLayout[2] = {{MFI_STREAM_FLOAT3, MFI_SEMANTIC_POSITION, 0},
                                           {MFI_STREAM_FLOAT2, MFI_SEMANTIC_TEXCOORD0, 0}};

// A quad's buffers, in the shape the plug-in hands them over.
struct QuadBuffers {
  std::vector<float> positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
  std::vector<float> texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
  std::vector<uint32_t> indices = {0, 1, 2, 0, 2, 3};
  MfiBufferDescriptor indexDesc{};
  MfiBufferDescriptor streams[2]{};
  MfiMeshBufferSet set{};

  const MfiMeshBufferSet* Describe() {
    indexDesc = {indices.data(), 0, indices.size() * sizeof(uint32_t), 1, 0};
    streams[0] = {positions.data(), 0, positions.size() * sizeof(float), 1, 0};
    streams[1] = {texCoords.data(), 0, texCoords.size() * sizeof(float), 1, 0};
    set = {};
    set.indexCount = indices.size();
    set.indexFormat = MFI_INDEX_FORMAT_UINT32;
    set.indices = &indexDesc;
    set.vertexStreams = streams;
    return &set;
  }
};

MfiTextureData TextureData(uint64_t glName) {
  MfiTextureData data{};
  data.glTexture = glName;
  return data;
}

// Materials compile on creation, so the scene has a GL context.
class VantorScene : public testing::Test {
 protected:
  void SetUp() override {
    if (!gl.Create()) GTEST_SKIP() << "no headless EGL/OpenGL context";
    std::string error;
    ASSERT_TRUE(
        renderer.attach(&libvthudelementMoonfairHandshake, &libvthudelementMoonfairInterfaceExchange, &error))
        << error;
    scene = renderer.scene();
  }

  uint64_t NewMesh() {
    const float lo[3] = {-1, -1, 0}, hi[3] = {1, 1, 0};
    return MfiCreatePolygonMesh(scene, 4, MfiCreateVertexLayout(scene, 2, kLayout), lo, hi);
  }

  void ExpectOneError(int32_t code, const std::string& message, const std::string& function) {
    ASSERT_EQ(capture.errors.size(), 1u) << function;
    EXPECT_EQ(capture.errors[0].code, code) << function;
    EXPECT_EQ(capture.errors[0].message, message) << function;
    EXPECT_EQ(capture.errors[0].function, function);
    capture.errors.clear();
  }

  EglContext gl;         // first: outlives the renderer's GL objects
  ErrorCapture capture;  // restores the plug-in's tables after the renderer is gone
  vantor::Renderer renderer;
  _MfiScene* scene = nullptr;
};

TEST_F(VantorScene, TexturedQuadArrivesIntact) {
  uint64_t mesh = NewMesh();
  QuadBuffers quad;
  EXPECT_EQ(MfiSetPolygonMeshBuffers(mesh, quad.Describe()), 0);

  uint64_t material = MfiCreateMaterialFromString(scene, kMaterialDocument);
  int32_t sampler = MfiGetMaterialPropertyIdByName(material, "hudTexture");
  uint64_t texture = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 64, 32);
  MfiTextureData data = TextureData(17);
  EXPECT_EQ(MfiSetTextureData(texture, &data), 0);
  EXPECT_EQ(MfiSetMaterialPropertyTextured(material, sampler, texture), 0);

  uint64_t transform = MfiCreateTransform(scene, mesh);
  EXPECT_EQ(MfiSetTransformPropertyMaterial(transform, material), 0);
  EXPECT_EQ(MfiSetEntityAnnotatedName(transform, "HUD"), 0);
  EXPECT_EQ(MfiSetEntityCategory(transform, 4), 0);
  EXPECT_EQ(MfiSetEntityPropertyi(transform, 11, -3), 0);
  EXPECT_TRUE(capture.errors.empty());

  const vantor::Entity* m = renderer.find(mesh);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->hasBuffers);
  EXPECT_EQ(m->indices, quad.indices);
  EXPECT_EQ(m->positions, quad.positions);
  EXPECT_EQ(m->texCoords, quad.texCoords);
  EXPECT_EQ(m->boundsMax[1], 1.0f);

  const vantor::Entity* mat = renderer.find(material);
  ASSERT_NE(mat, nullptr);
  ASSERT_EQ(sampler, 0);
  EXPECT_EQ(mat->materialProperties.at(0).texture, texture);
  EXPECT_EQ(renderer.find(texture)->glTexture, 17u);

  const vantor::Entity* t = renderer.find(transform);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->mesh, mesh);
  EXPECT_EQ(t->material, material);
  EXPECT_EQ(t->annotatedName, "HUD");
  EXPECT_EQ(t->category, 4);
  EXPECT_EQ(t->properties.at(11), -3);
}

TEST_F(VantorScene, BadHandlesKindsAndScenesGiveDistinctCodes) {
  uint64_t mesh = NewMesh();
  uint64_t material = MfiCreateMaterialFromString(scene, kMaterialDocument);
  _MfiScene foreign{nullptr};

  EXPECT_EQ(MfiSetEntityCategory(0xdead, 1), vantor::kInvalidHandle);
  ExpectOneError(1, "invalid entity handle", "MfiSetEntityCategory");
  EXPECT_EQ(MfiCreateTransform(scene, material), 0u);
  ExpectOneError(2, "entity has the wrong kind", "MfiCreateTransform");
  EXPECT_EQ(MfiCreateTransform(&foreign, mesh), 0u);
  ExpectOneError(4, "invalid scene", "MfiCreateTransform");
  // Only sampler symbols are material properties.
  EXPECT_EQ(MfiGetMaterialPropertyIdByName(material, "tint"), -1);
  ExpectOneError(5, "unknown material property", "MfiGetMaterialPropertyIdByName");
  EXPECT_EQ(MfiSetMaterialPropertyTextured(material, 1, 0), vantor::kUnknownProperty);
  ExpectOneError(5, "unknown material property", "MfiSetMaterialPropertyTextured");
}

TEST_F(VantorScene, ReleasedEntitiesDisappear) {
  uint64_t texture = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 8, 8);
  uint64_t material = MfiCreateMaterialFromString(scene, kMaterialDocument);
  ASSERT_EQ(renderer.entityCount(), 2u);

  EXPECT_EQ(MfiReleaseEntity(texture), 0);
  EXPECT_EQ(renderer.find(texture), nullptr);
  EXPECT_EQ(renderer.handles(vantor::Kind::Material), std::vector<uint64_t>{material});
  EXPECT_TRUE(capture.errors.empty());

  EXPECT_EQ(MfiSetMaterialPropertyTextured(material, 0, texture), vantor::kInvalidHandle);
  ExpectOneError(1, "invalid entity handle", "MfiSetMaterialPropertyTextured");
  EXPECT_EQ(MfiReleaseEntity(texture), vantor::kInvalidHandle);
  ExpectOneError(1, "invalid entity handle", "MfiReleaseEntity");
}

TEST_F(VantorScene, MeshBuffersMustMatchTheMeshAndLayout) {
  uint64_t mesh = NewMesh();
  struct Case {
    const char* what;
    void (*spoil)(QuadBuffers&);
  } cases[] = {
      {"16-bit indices", [](QuadBuffers& q) { q.indexDesc.size /= 2; }},
      {"index past the last vertex", [](QuadBuffers& q) { q.indices[5] = 4; }},
      {"texcoords sized as float3", [](QuadBuffers& q) { q.streams[1].size = 4 * 3 * sizeof(float); }},
      {"descriptor flag not 1", [](QuadBuffers& q) { q.streams[0].flags = 0; }},
  };
  for (const Case& c : cases) {
    QuadBuffers quad;
    quad.Describe();
    c.spoil(quad);
    EXPECT_EQ(MfiSetPolygonMeshBuffers(mesh, &quad.set), vantor::kBufferMismatch) << c.what;
    ExpectOneError(vantor::kBufferMismatch, "buffer does not match the mesh", "MfiSetPolygonMeshBuffers");
  }
  EXPECT_FALSE(renderer.find(mesh)->hasBuffers);
}

TEST_F(VantorScene, TextureDataCarriesOnlyTheGlName) {
  uint64_t texture = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 8, 8);
  MfiTextureData data = TextureData(9);
  data.reserved0[100] = 1;
  EXPECT_EQ(MfiSetTextureData(texture, &data), vantor::kInvalidArgument);
  data = TextureData(0);
  EXPECT_EQ(MfiSetTextureData(texture, &data), vantor::kInvalidArgument);
  EXPECT_EQ(capture.errors.size(), 2u);
  EXPECT_FALSE(renderer.find(texture)->hasData);

  // Creation arguments are fixed: RGBA8, GL-backed, no initial pixels.
  capture.errors.clear();
  EXPECT_EQ(MfiCreateTexture2D(scene, MFI_TEXTURE_SOURCE_GL, MFI_TEXTURE_FORMAT_RGBA8, 8, 8), 0u);
  EXPECT_EQ(MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 8, 8, &data), 0u);
  EXPECT_EQ(capture.errors.size(), 2u);
}

const char* OldVersion() { return "MFI//API-VERSION:23700"; }

TEST(VantorDriver, RefusesAPluginOfAnotherVersion) {
  ErrorCapture restore;
  vantor::Renderer renderer;
  std::string error;
  EXPECT_FALSE(renderer.attach(&OldVersion, &libvthudelementMoonfairInterfaceExchange, &error));
  EXPECT_EQ(error, "plug-in reports 'MFI//API-VERSION:23700', expected 'MFI//API-VERSION:23800'");
  EXPECT_EQ(renderer.callbacks(), nullptr);
  EXPECT_FALSE(renderer.connect());
}

// A node that owns one texture while attached, as the HUD element does.
class TextureNode : public MfiSceneNodeInterface {
 public:
  void MoonfairConnect(_MfiScene* scene) override {
    texture = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 16, 16);
  }
  void MoonfairUpdate(_MfiScene*, MfiUpdateContext const*) override { ++updates; }
  void MoonfairRender(MfiRenderContext const*) override { ++renders; }
  void MoonfairDisconnect() override {
    MfiReleaseEntity(texture);
    texture = 0;
  }
  uint64_t texture = 0;
  int updates = 0, renders = 0;
};

TEST_F(VantorScene, RendererDrivesNodesThroughTheCallbackTable) {
  TextureNode node;
  EXPECT_TRUE(renderer.connect());
  ASSERT_NE(node.texture, 0u);
  EXPECT_NE(renderer.find(node.texture), nullptr);
  EXPECT_TRUE(renderer.update());
  EXPECT_TRUE(renderer.render());
  EXPECT_EQ(node.updates, 1);
  EXPECT_EQ(node.renders, 1);
  EXPECT_TRUE(renderer.disconnect());
  EXPECT_EQ(renderer.entityCount(), 0u);
  EXPECT_TRUE(capture.errors.empty());
}

TEST_F(VantorScene, ReadsBackTheGlTextureBehindATexture) {
  std::vector<uint8_t> pixels(4 * 2 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

  uint64_t texture = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 4, 2);
  uint64_t wrongSize = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 8, 8);
  MfiTextureData data = TextureData(name);
  MfiSetTextureData(texture, &data);
  MfiSetTextureData(wrongSize, &data);

  std::vector<uint8_t> read;
  std::string error;
  ASSERT_TRUE(renderer.readTexture(texture, &read, &error)) << error;
  EXPECT_EQ(read, pixels);
  EXPECT_FALSE(renderer.readTexture(wrongSize, &read, &error));
  EXPECT_EQ(error, "GL texture " + std::to_string(name) + " is 4x2, entity is 8x8");
  glDeleteTextures(1, &name);
}

}  // namespace
