// The plug-in's wrappers against the stand-in renderer, end to end.
#define GL_GLEXT_PROTOTYPES 1
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "moonfair_library.h"
#include "moonfair_test_support.h"
#include "node_registry.h"
#include "shader_document.h"
#include "vantor.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

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
    // The display stays initialised, as in a host: terminating it unloads
    // Mesa's driver, whose process-lifetime blocks then read as leaks.
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

namespace {

// The element's own document, as the renderer receives it.
const char* const kHudDocument = VTHUDShaderDocument();

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace

TEST(VantorMaterialDocument, ReadsInputsLobesSymbolsAndBothStagesWithoutGL) {
  vantor::MaterialDocument doc;
  std::string error;
  ASSERT_TRUE(vantor::ReadMaterialDocument(kHudDocument, &doc, &error)) << error;
  EXPECT_EQ(doc.version, 26);
  EXPECT_EQ(doc.inputs, (std::vector<std::string>{"position", "texCoord0"}));
  ASSERT_EQ(doc.lobes.size(), 1u);
  EXPECT_EQ(doc.lobes[0].model, "constant");
  EXPECT_EQ(doc.lobes[0].name, "lobe0");
  ASSERT_EQ(doc.symbols.size(), 1u);
  const vantor::MaterialSymbol& s = doc.symbols[0];
  EXPECT_EQ(s.name, "hudTexture");
  EXPECT_EQ(s.type, "color");
  EXPECT_TRUE(s.sampler);
  EXPECT_FALSE(s.display);
  EXPECT_EQ(std::vector<float>(s.defaultValue, s.defaultValue + 4), (std::vector<float>{1, 0, 1, 1}));
  EXPECT_NE(doc.displacement.find("oPosition = iPosition;"), std::string::npos);
  EXPECT_NE(doc.surface.find("lobe0.opacity         = fontSample.a;"), std::string::npos);
}

TEST(VantorMaterialDocument, RefusesBrokenDocumentsWithTheLineAndTheReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const Case kCases[] = {
      {"", "Premature end of document."},
      {"<shader/>", "the root element is <shader>, not <vantorShader>"},
      {Replaced(kHudDocument, "</vantorShader>", ""), "Premature end of document."},
      {Replaced(kHudDocument, "version='26'", "version='x'"), "the version is not a number"},
      {Replaced(kHudDocument, "<surface>", "<surfaces>"), "unexpected element <surfaces>"},
      {Replaced(kHudDocument, "semantic='texCoord0'", "semantic='normal'"), "unknown input semantic 'normal'"},
      {Replaced(kHudDocument, "model='constant'", "model='ggx'"), "unknown brdf model 'ggx'"},
      {Replaced(kHudDocument, "type='color'", "type='float'"), "only a color symbol can be a sampler"},
      {Replaced(kHudDocument, "type='color' name='hudTexture' default='1.0 0.0 1.0' sampler='true'",
                "type='float' name='hudTexture' default='1.0 0.0 1.0'"),
       "the default of 'hudTexture' needs one number"},
      {Replaced(kHudDocument, "default='1.0 0.0 1.0'", "default='1.0 zero 1.0'"),
       "the default of 'hudTexture' holds 'zero', not a number"},
      {Replaced(kHudDocument, "name='hudTexture'", "name='gl_Position'"),
       "'gl_Position' is not a usable GLSL name"},
      {Replaced(kHudDocument, "name='hudTexture'", "name='lobe0'"), "the name 'lobe0' is used twice"},
      {Replaced(kHudDocument, "sampler='true'", "sampler='yes'"),
       "'sampler' must be 'true' or 'false', not 'yes'"},
      {Replaced(kHudDocument, "kind='glslSurface'", "kind='glslDisplacement'"),
       "a second 'glslDisplacement' implementation"},
      {Replaced(kHudDocument, "kind='glslSurface'", "kind='hlslSurface'"),
       "unknown implementation kind 'hlslSurface'"},
      {std::string(kHudDocument) + "<more/>", "Extra content at end of document."},
  };
  for (const Case& c : kCases) {
    vantor::MaterialDocument doc;
    std::string error;
    EXPECT_FALSE(vantor::ReadMaterialDocument(c.text, &doc, &error)) << c.reason;
    EXPECT_EQ(error.rfind("material document line ", 0), 0u) << error;
    EXPECT_NE(error.find(": " + c.reason), std::string::npos) << error;
  }
  // The line is where reading stopped.
  std::string error;
  vantor::ReadMaterialDocument(Replaced(kHudDocument, "model='constant'", "model='ggx'"), nullptr, &error);
  EXPECT_EQ(error.rfind("material document line 7, ", 0), 0u) << error;
}

// Failures of material creation reach the plug-in through its checking rule
// with the renderer's own text: the reader's reason or the GL compiler's log.
TEST_F(VantorScene, MaterialErrorsCarryTheReaderReasonOrTheCompilerLog) {
  EXPECT_EQ(MfiCreateMaterialFromString(scene, "<vantorShader version='26'>"), 0u);
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_EQ(capture.errors[0].code, vantor::kInvalidDocument);
  EXPECT_EQ(capture.errors[0].function, "MfiCreateMaterialFromString");
  EXPECT_EQ(capture.errors[0].message.rfind("material document line 1, ", 0), 0u) << capture.errors[0].message;
  capture.errors.clear();

  const std::string broken = Replaced(kHudDocument, "lobe0.opacity         = fontSample.a;", "lobe0.opacity = ;");
  EXPECT_EQ(MfiCreateMaterialFromString(scene, broken.c_str()), 0u);
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_EQ(capture.errors[0].code, vantor::kCompileFailed);
  const std::string& log = capture.errors[0].message;
  EXPECT_EQ(log.rfind("surface stage: ", 0), 0u) << log;
  EXPECT_NE(log.find("error"), std::string::npos) << log;
  EXPECT_EQ(log.find('\n'), std::string::npos) << "one line: " << log;
  EXPECT_EQ(renderer.entityCount(), 0u);
}

namespace {
// A small colour target to draw into, read back bottom row first.
struct Target {
  GLuint framebuffer = 0, texture = 0;
  int width = 0, height = 0;
  Target(int w, int h) : width(w), height(h) {
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  ~Target() {
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
  }
  std::vector<uint8_t> Pixel(int x, int y) const {
    std::vector<uint8_t> p(4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return p;
  }
};
}  // namespace

TEST_F(VantorScene, DrawsByCategoryThenCreationWithTheSamplerDefaultWhenUnbound) {
  uint64_t material = MfiCreateMaterialFromString(scene, kHudDocument);
  ASSERT_NE(material, 0u);
  QuadBuffers quads[3];
  uint64_t transforms[3];
  const int32_t categories[3] = {18, 2, 18};
  for (int i = 0; i < 3; ++i) {
    const uint64_t mesh = NewMesh();
    ASSERT_EQ(MfiSetPolygonMeshBuffers(mesh, quads[i].Describe()), 0);
    transforms[i] = MfiCreateTransform(scene, mesh);
    MfiSetEntityCategory(transforms[i], categories[i]);
    MfiSetTransformPropertyMaterial(transforms[i], material);
  }
  MfiCreateTransform(scene, NewMesh());  // no buffers and no material: nothing to draw
  // The renderer keeps its own copy of the buffers.
  for (QuadBuffers& q : quads) std::fill(q.positions.begin(), q.positions.end(), 0.0f);
  ASSERT_TRUE(capture.errors.empty());

  Target target(16, 8);
  renderer.setBackgroundColour(0.0f, 0.0f, 1.0f, 1.0f);
  std::string error;
  ASSERT_TRUE(renderer.draw(target.framebuffer, 16, 8, &error)) << error;
  EXPECT_EQ(renderer.lastDrawn(), (std::vector<uint64_t>{transforms[1], transforms[0], transforms[2]}));
  // Unbound "hudTexture" is opaque magenta over the whole quad.
  EXPECT_EQ(target.Pixel(0, 0), (std::vector<uint8_t>{255, 0, 255, 255}));
  EXPECT_EQ(target.Pixel(15, 7), (std::vector<uint8_t>{255, 0, 255, 255}));
}

TEST_F(VantorScene, CompositesTheSampledTextureAsPremultipliedEmission) {
  // Premultiplied half-opaque red at the bottom row, transparent at the top.
  const uint8_t texels[2 * 2 * 4] = {128, 0, 0, 128, 128, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0, 0};
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);

  uint64_t mesh = NewMesh();
  QuadBuffers quad;
  MfiSetPolygonMeshBuffers(mesh, quad.Describe());
  uint64_t material = MfiCreateMaterialFromString(scene, kHudDocument);
  uint64_t texture = MfiCreateTexture2D(scene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 2, 2);
  MfiTextureData data = TextureData(name);
  MfiSetTextureData(texture, &data);
  MfiSetMaterialPropertyTextured(material, MfiGetMaterialPropertyIdByName(material, "hudTexture"), texture);
  MfiSetTransformPropertyMaterial(MfiCreateTransform(scene, mesh), material);
  ASSERT_TRUE(capture.errors.empty());

  Target target(2, 2);
  renderer.setBackgroundPicture(2, 2, std::vector<uint8_t>(16, 200));  // grey, top row first
  std::string error;
  ASSERT_TRUE(renderer.draw(target.framebuffer, 2, 2, &error)) << error;
  // 128 + (1 - 128/255) * 200 = 228; alpha 128 + (1 - 128/255) * 200 = 228.
  const std::vector<uint8_t> bottom = target.Pixel(0, 0);
  EXPECT_NEAR(bottom[0], 228, 1);
  EXPECT_NEAR(bottom[1], 100, 1);
  EXPECT_NEAR(bottom[3], 228, 1);
  EXPECT_EQ(target.Pixel(1, 1), (std::vector<uint8_t>{200, 200, 200, 200})) << "transparent texels show the frame";

  renderer.setBackgroundPicture(4, 4, std::vector<uint8_t>(64, 0));
  EXPECT_FALSE(renderer.draw(target.framebuffer, 2, 2, &error));
  EXPECT_EQ(error, "the background is 4 x 4, the frame 2 x 2");
  glDeleteTextures(1, &name);
}

TEST_F(VantorScene, MeshWithoutAStreamTheMaterialReadsIsNotDrawn) {
  const MfiVertexLayoutElement positionsOnly[1] = {{MFI_STREAM_FLOAT3, MFI_SEMANTIC_POSITION, 0}};
  const float lo[3] = {-1, -1, 0}, hi[3] = {1, 1, 0};
  uint64_t mesh = MfiCreatePolygonMesh(scene, 4, MfiCreateVertexLayout(scene, 1, positionsOnly), lo, hi);
  QuadBuffers quad;
  quad.Describe();
  ASSERT_EQ(MfiSetPolygonMeshBuffers(mesh, &quad.set), 0) << "one stream per layout element";
  uint64_t transform = MfiCreateTransform(scene, mesh);
  MfiSetTransformPropertyMaterial(transform, MfiCreateMaterialFromString(scene, kHudDocument));
  Target target(4, 4);
  std::string error;
  EXPECT_FALSE(renderer.draw(target.framebuffer, 4, 4, &error));
  EXPECT_EQ(error, "transform " + std::to_string(transform) + ": its mesh has no 'texCoord0' stream");
  EXPECT_TRUE(renderer.lastDrawn().empty());
  EXPECT_EQ(target.Pixel(0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(VantorScene, ReleasingTheLastMeshReleasesItsLayout) {
  const float lo[3] = {-1, -1, 0}, hi[3] = {1, 1, 0};
  uint64_t layout = MfiCreateVertexLayout(scene, 2, kLayout);
  uint64_t first = MfiCreatePolygonMesh(scene, 4, layout, lo, hi);
  uint64_t second = MfiCreatePolygonMesh(scene, 4, layout, lo, hi);
  EXPECT_EQ(MfiReleaseEntity(first), 0);
  EXPECT_NE(renderer.find(layout), nullptr) << "still used by the second mesh";
  EXPECT_EQ(MfiReleaseEntity(second), 0);
  EXPECT_EQ(renderer.find(layout), nullptr);
  EXPECT_EQ(renderer.entityCount(), 0u);
}
