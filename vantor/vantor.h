// A lean stand-in for the Vantor renderer: it implements the Moonfair function
// table over an in-memory scene whose state tests can read back, and drives a
// plug-in through the callback table the plug-in hands back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

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
  std::vector<uint32_t> indices;
  std::vector<float> positions;  // three per vertex
  std::vector<float> texCoords;  // two per vertex

  uint64_t mesh = 0;  // Transform
  uint64_t material = 0;

  std::string document;                              // Material
  std::vector<MaterialProperty> materialProperties;  // index is the property id

  int32_t width = 0;  // Texture
  int32_t height = 0;
  bool hasData = false;
  uint64_t glTexture = 0;
};

// The sampler symbols (<symbol ... name='X' ... sampler='true' .../>) of a
// material document, in document order; their index is the property id.
std::vector<MaterialProperty> ParseMaterialSymbols(const std::string& document);

class Renderer {
 public:
  Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  const MfiFunctionTable* functionTable() const { return &mBinding.table; }
  _MfiScene* scene() { return &mScene; }

  // Looks up "<libraryName>MoonfairHandshake" and
  // "<libraryName>MoonfairInterfaceExchange" in a dlopen handle.
  bool attach(void* dlHandle, const std::string& libraryName, std::string* error = nullptr);
  // Checks the version string, then exchanges tables.
  bool attach(MfiHandshakeFn handshake, MfiInterfaceExchangeFn exchange, std::string* error = nullptr);
  const MfiCallbackTable* callbacks() const { return mCallbacks; }

  // Call the plug-in's callback slots; false when not attached.
  bool connect();
  bool update();
  bool render();
  bool disconnect();

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
  bool release(uint64_t handle) { return mEntities.erase(handle) != 0; }

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
  MfiCallbackTable* mCallbacks = nullptr;
};

}  // namespace vantor
