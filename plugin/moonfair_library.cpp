#include "moonfair_library.h"

#include <cstdio>

#include "node_registry.h"

const MfiFunctionTable* g_pMfiFunctionTableStorage = nullptr;
const MfiFunctionTable* const* g_pMfiFunctionTable = nullptr;

MfiCallbackTable g_mfiCallbackTableInternal = {
    nullptr,             // user
    MoonfairConnect,     // 1
    MoonfairDisconnect,  // 2
    MoonfairUpdate,      // 3
    MoonfairError,       // 4
    {nullptr, nullptr, nullptr, nullptr},
    MoonfairRender,  // 9
};

const char* MoonfairHandshakeVersion() noexcept { return MFI_API_VERSION_STRING; }

MfiCallbackTable* MoonfairExchangeTables(const MfiFunctionTable* table) noexcept {
  g_pMfiFunctionTableStorage = table;
  g_pMfiFunctionTable = &g_pMfiFunctionTableStorage;
  return &g_mfiCallbackTableInternal;
}

void MoonfairError(void* /*user*/, const MfiErrorContext* error) noexcept {
  if (!error) return;
  std::fprintf(stderr, "[RenderTargetProvider] :: MFI error caused in function '%s': %s (%d)\n",
               error->function ? error->function : "", error->message ? error->message : "",
               static_cast<int>(error->code));
  std::fflush(stderr);
}

namespace {

const MfiFunctionTable* CurrentTable() noexcept { return g_pMfiFunctionTable ? *g_pMfiFunctionTable : nullptr; }

void Report(int32_t code, const char* message, const char* function) noexcept {
  MfiErrorCallback report = g_mfiCallbackTableInternal.error;
  if (!report) return;
  MfiErrorContext error{};
  error.code = code;
  error.message = message;
  error.function = function;
  report(g_mfiCallbackTableInternal.user, &error);
}

// Called directly rather than through the checked path: a failing error-text
// look-up must not report (and recurse) on its own.
const char* ErrorText(const MfiFunctionTable* table, int32_t code) noexcept {
  auto text = reinterpret_cast<MfiGetErrorTextFn>(table->entries[MFI_FN_GET_ERROR_TEXT]);
  return text ? text(table, code) : nullptr;
}

template <typename Fn>
struct EntryTraits;
template <typename R, typename... Params>
struct EntryTraits<R (*)(const MfiFunctionTable*, Params...)> {
  static constexpr std::size_t kArity = sizeof...(Params);
};

// The one checking rule for every renderer call. An entry with one parameter
// more than the caller supplies takes a trailing out code; any other entry
// returns its code.
template <typename Fn, int kIndex, typename R, typename... Args>
R Checked(const char* name, R unavailable, Args... args) noexcept {
  const MfiFunctionTable* table = CurrentTable();
  Fn fn = table ? reinterpret_cast<Fn>(table->entries[kIndex]) : nullptr;
  if (!fn) {
    Report(-1, nullptr, name);
    return unavailable;
  }
  int32_t code = 0;
  R result;
  if constexpr (EntryTraits<Fn>::kArity == sizeof...(Args) + 1) {
    result = fn(table, args..., &code);
  } else {
    result = fn(table, args...);
    code = static_cast<int32_t>(result);
  }
  if (code != 0) Report(code, ErrorText(table, code), name);
  return result;
}

}  // namespace

#define MFI_CHECKED(Name, Index, Unavailable, ...) Checked<Name##Fn, Index>(#Name, Unavailable, __VA_ARGS__)

int32_t MfiReleaseEntity(uint64_t entity) noexcept {
  return MFI_CHECKED(MfiReleaseEntity, MFI_FN_RELEASE_ENTITY, int32_t{0}, entity);
}

int32_t MfiSetEntityAnnotatedName(uint64_t entity, const char* name) noexcept {
  return MFI_CHECKED(MfiSetEntityAnnotatedName, MFI_FN_SET_ENTITY_ANNOTATED_NAME, int32_t{0}, entity, name);
}

int32_t MfiSetEntityCategory(uint64_t entity, int32_t category) noexcept {
  return MFI_CHECKED(MfiSetEntityCategory, MFI_FN_SET_ENTITY_CATEGORY, int32_t{0}, entity, category);
}

int32_t MfiSetEntityPropertyi(uint64_t entity, int32_t property, int32_t value) noexcept {
  return MFI_CHECKED(MfiSetEntityPropertyi, MFI_FN_SET_ENTITY_PROPERTY_I, int32_t{0}, entity, property, value);
}

uint64_t MfiCreateTransform(_MfiScene* scene, uint64_t mesh) noexcept {
  return MFI_CHECKED(MfiCreateTransform, MFI_FN_CREATE_TRANSFORM, uint64_t{0}, scene, mesh);
}

int32_t MfiSetTransformPropertyMaterial(uint64_t transform, uint64_t material) noexcept {
  return MFI_CHECKED(MfiSetTransformPropertyMaterial, MFI_FN_SET_TRANSFORM_PROPERTY_MATERIAL, int32_t{0},
                     transform, material);
}

uint64_t MfiCreateVertexLayout(_MfiScene* scene, int32_t count, const MfiVertexLayoutElement* elements) noexcept {
  return MFI_CHECKED(MfiCreateVertexLayout, MFI_FN_CREATE_VERTEX_LAYOUT, uint64_t{0}, scene, count, elements);
}

uint64_t MfiCreatePolygonMesh(_MfiScene* scene, int32_t vertexCount, uint64_t layout, const float boundsMin[3],
                              const float boundsMax[3]) noexcept {
  return MFI_CHECKED(MfiCreatePolygonMesh, MFI_FN_CREATE_POLYGON_MESH, uint64_t{0}, scene, vertexCount, layout,
                     boundsMin, boundsMax);
}

int32_t MfiSetPolygonMeshBuffers(uint64_t mesh, const MfiMeshBufferSet* buffers, int32_t flags) noexcept {
  return MFI_CHECKED(MfiSetPolygonMeshBuffers, MFI_FN_SET_POLYGON_MESH_BUFFERS, int32_t{0}, mesh, buffers, flags);
}

int32_t MfiGetMaterialPropertyIdByName(uint64_t material, const char* name) noexcept {
  return MFI_CHECKED(MfiGetMaterialPropertyIdByName, MFI_FN_GET_MATERIAL_PROPERTY_ID_BY_NAME, int32_t{-1},
                     material, name);
}

int32_t MfiSetMaterialPropertyTextured(uint64_t material, int32_t property, uint64_t texture) noexcept {
  return MFI_CHECKED(MfiSetMaterialPropertyTextured, MFI_FN_SET_MATERIAL_PROPERTY_TEXTURED, int32_t{0}, material,
                     property, texture);
}

uint64_t MfiCreateTexture2D(_MfiScene* scene, int32_t format, int32_t source, int32_t width, int32_t height,
                            const void* initialData) noexcept {
  return MFI_CHECKED(MfiCreateTexture2D, MFI_FN_CREATE_TEXTURE_2D, uint64_t{0}, scene, format, source, width,
                     height, initialData);
}

int32_t MfiSetTextureData(uint64_t texture, const MfiTextureData* data, int32_t flags) noexcept {
  return MFI_CHECKED(MfiSetTextureData, MFI_FN_SET_TEXTURE_DATA, int32_t{0}, texture, data, flags);
}

uint64_t MfiCreateMaterialFromString(_MfiScene* scene, const char* document) noexcept {
  return MFI_CHECKED(MfiCreateMaterialFromString, MFI_FN_CREATE_MATERIAL_FROM_STRING, uint64_t{0}, scene,
                     document);
}
