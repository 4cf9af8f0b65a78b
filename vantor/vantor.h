// A lean stand-in for the Vantor renderer: it implements the Moonfair function
// table over an in-memory scene whose state tests can read back, drives a
// plug-in through the callback table the plug-in hands back, and draws its
// scene with OpenGL on the context current on the calling thread (it shares
// objects with the host, so it samples the plug-in's textures by name).
//
// A frame is what a real renderer does each time it shows a pane: the update
// callback, the render callback (where plug-ins redraw textures they share),
// then the draw: the background ("scene") and every transform that has a
// mesh with buffers and a material, by category, then creation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "material_document.h"
#include "moonfair_interface.h"

namespace vantor {
class Renderer;
}

// The scene handed to the plug-in; only its address matters to the plug-in.
struct _MfiScene {
  vantor::Renderer* owner;
};

namespace vantor {

// Codes returned by the function table; entry 1 gives their text.
enum Code : int32_t {
  kOk = 0,
  kInvalidHandle = 1,
  kWrongKind = 2,
  kInvalidArgument = 3,
  kInvalidScene = 4,
  kUnknownProperty = 5,
  kBufferMismatch = 6,
  kInvalidDocument = 7,  // the material document does not read; the text says why
  kCompileFailed = 8,    // the material's stages do not compile; the text is the GL log
  kNoContext = 9,        // the call needs a current GL context
};
const char* CodeText(int32_t code);

enum class Kind { VertexLayout, PolygonMesh, Transform, Material, Texture };

struct MaterialProperty {
  std::string name;
  uint64_t texture = 0;
};

// One record for every kind; only the fields of its kind are meaningful.
struct Entity {
  Kind kind{};
  std::string annotatedName;
  int32_t category = 0;
  std::map<int32_t, int32_t> properties;

  std::vector<MfiVertexLayoutElement> layout;  // VertexLayout

  uint64_t layoutHandle = 0;  // PolygonMesh
  int32_t vertexCount = 0;
  float boundsMin[3] = {};
  float boundsMax[3] = {};
  bool hasBuffers = false;
  std::vector<MfiVertexLayoutElement> meshLayout;  // copied from the layout at creation
  uint32_t vertexArray = 0;                        // GL objects, made at the first draw
  uint32_t glBuffers[3] = {};                      // indices, positions, texture coordinates
  std::vector<uint32_t> indices;
  std::vector<float> positions;  // three per vertex
  std::vector<float> texCoords;  // two per vertex

  uint64_t mesh = 0;  // Transform
  uint64_t material = 0;

  std::string document;                              // Material
  std::vector<MaterialProperty> materialProperties;  // index is the property id
  MaterialDocument parsed;
  uint32_t program = 0;  // GL program built from the document

  int32_t width = 0;  // Texture
  int32_t height = 0;
  bool hasData = false;
  uint64_t glTexture = 0;
};

// The sampler symbols of a read material document, in document order; their
// index is the property id.
std::vector<MaterialProperty> SamplerProperties(const MaterialDocument& document);

// A plug-in's library name from its file's path: "/x/libvtframelines.so" gives "libvtframelines".
std::string LibraryName(const std::string& path);

class Renderer {
 public:
  Renderer();
  // Releases every entity; the GL objects among them need the context current.
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  const MfiFunctionTable* functionTable() const { return &mBinding.table; }
  _MfiScene* scene() { return &mScene; }

  // Looks up "<libraryName>MoonfairHandshake" and
  // "<libraryName>MoonfairInterfaceExchange" in a dlopen handle.
  bool attach(void* dlHandle, const std::string& libraryName, std::string* error = nullptr);
  // The same, by the library's own name: its file name up to ".so" ("libvtframelines").
  bool attach(void* dlHandle, std::string* error = nullptr);
  // Checks the version string, then exchanges tables. Several plug-ins may
  // attach; each callback goes to them in the order they first attached.
  bool attach(MfiHandshakeFn handshake, MfiInterfaceExchangeFn exchange, std::string* error = nullptr);
  // The first attached plug-in's table (null when none); all of them.
  const MfiCallbackTable* callbacks() const { return mCallbacks.empty() ? nullptr : mCallbacks.front(); }
  const std::vector<MfiCallbackTable*>& attached() const { return mCallbacks; }

  // Call the plug-in's callback slots; false when not attached.
  bool connect();
  bool update();
  bool render();
  bool disconnect();

  // The background of the frame: a colour (straight RGBA in 0..1), or an
  // RGBA picture, top row first, of the frame's size. Transparent black by default.
  void setBackgroundColour(float r, float g, float b, float a);
  void setBackgroundPicture(int width, int height, std::vector<uint8_t> rgba);
  // The draw alone, into a framebuffer of the given size; GL state is left as
  // found. False with the reasons when the background does not fit or a
  // transform could not be drawn (the others are drawn all the same).
  bool draw(uint32_t framebuffer, int width, int height, std::string* error = nullptr);
  // A whole frame: update, render, draw. False when not attached.
  bool frame(uint32_t framebuffer, int width, int height, std::string* error = nullptr);
  // Transforms drawn by the last draw, in drawing order; draws so far.
  const std::vector<uint64_t>& lastDrawn() const { return mLastDrawn; }
  int drawCount() const { return mDrawCount; }

  // Reads the GL texture behind a texture entity as RGBA8 rows. Needs a
  // current GL context; unavailable when built without OpenGL.
  bool readTexture(uint64_t texture, std::vector<uint8_t>* rgba, std::string* error = nullptr) const;

  // Makes the named entry (e.g. "MfiCreateTransform") fail with code until
  // cleared; the call then changes nothing.
  void injectFault(const std::string& entry, int32_t code) { mFaults[entry] = code; }
  void clearFaults() { mFaults.clear(); }

  const Entity* find(uint64_t handle) const;
  std::vector<uint64_t> handles(Kind kind) const;
  size_t entityCount() const { return mEntities.size(); }
  // Entities of a kind ever created, released or not.
  size_t createdCount(Kind kind) const {
    auto it = mCreated.find(kind);
    return it == mCreated.end() ? 0 : it->second;
  }

  // Used by the function table's entries.
  static Renderer& FromTable(const MfiFunctionTable* table) {
    return *reinterpret_cast<const Binding*>(table)->owner;
  }
  int32_t fault(const char* entry) const;
  bool ownsScene(const _MfiScene* scene) const { return scene == &mScene; }
  Entity* lookup(uint64_t handle, int32_t* code);
  Entity* lookup(uint64_t handle, Kind kind, int32_t* code);
  uint64_t create(Entity entity);
  // Releases an entity and its GL objects; a mesh takes its vertex layout
  // with it once no other mesh uses that layout.
  bool release(uint64_t handle);
  // Text for a code: the detail of the last failure with it, else CodeText.
  const char* errorText(int32_t code) const;
  void setDetail(int32_t code, std::string text) { mDetails[code] = std::move(text); }

 private:
  // Entries receive the table's address; the owner sits right behind it.
  // Binding stays standard-layout so the table's address is the Binding's.
  struct Binding {
    MfiFunctionTable table;
    Renderer* owner;
  };

  Binding mBinding;
  _MfiScene mScene;
  std::map<uint64_t, Entity> mEntities;
  uint64_t mNextHandle = 0x1000;
  std::map<std::string, int32_t> mFaults;
  std::map<Kind, size_t> mCreated;
  std::vector<MfiCallbackTable*> mCallbacks;
  std::map<int32_t, std::string> mDetails;
  float mBackgroundColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  int mPictureWidth = 0, mPictureHeight = 0;
  std::vector<uint8_t> mPicture;  // bottom row first, as GL takes it
  std::vector<uint64_t> mLastDrawn;
  int mDrawCount = 0;
};

}  // namespace vantor
