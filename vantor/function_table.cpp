// The Moonfair function table of the stand-in renderer. Every entry validates
// its arguments the way the real renderer must rely on them, so layout or
// argument mistakes on the plug-in side surface as codes.
#include <GL/gl.h>

#include <cstring>

#include "material_program.h"
#include "vantor.h"

namespace vantor {

const char* CodeText(int32_t code) {
  switch (code) {
    case kOk: return "success";
    case kInvalidHandle: return "invalid entity handle";
    case kWrongKind: return "entity has the wrong kind";
    case kInvalidArgument: return "invalid argument";
    case kInvalidScene: return "invalid scene";
    case kUnknownProperty: return "unknown material property";
    case kBufferMismatch: return "buffer does not match the mesh";
    case kInvalidDocument: return "material document does not read";
    case kCompileFailed: return "material does not compile";
    case kNoContext: return "no current GL context";
    default: return "unknown error";
  }
}

std::vector<MaterialProperty> SamplerProperties(const MaterialDocument& document) {
  std::vector<MaterialProperty> properties;
  for (const MaterialSymbol& symbol : document.symbols)
    if (symbol.sampler) properties.push_back({symbol.name, 0});
  return properties;
}

namespace {

Renderer& Self(const MfiFunctionTable* t) { return Renderer::FromTable(t); }

uint64_t Fail(int32_t* outCode, int32_t code) {
  if (outCode) *outCode = code;
  return 0;
}

uint64_t Done(int32_t* outCode, uint64_t handle) {
  if (outCode) *outCode = kOk;
  return handle;
}

int32_t NoId(int32_t* outCode, int32_t code) {
  if (outCode) *outCode = code;
  return -1;
}

bool ValidDescriptor(const MfiBufferDescriptor& d) {
  return d.data && d.reserved0 == 0 && d.flags == 1 && d.reserved1 == 0;
}

int StreamFloats(uint32_t stream) { return stream == MFI_STREAM_FLOAT3 ? 3 : stream == MFI_STREAM_FLOAT2 ? 2 : 0; }

const char* GetErrorText(const MfiFunctionTable* t, int32_t code) { return Self(t).errorText(code); }

int32_t ReleaseEntity(const MfiFunctionTable* t, uint64_t entity) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiReleaseEntity")) return c;
  return r.release(entity) ? kOk : kInvalidHandle;
}

int32_t SetEntityAnnotatedName(const MfiFunctionTable* t, uint64_t entity, const char* name) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetEntityAnnotatedName")) return c;
  int32_t code;
  Entity* e = r.lookup(entity, &code);
  if (!e) return code;
  if (!name) return kInvalidArgument;
  e->annotatedName = name;
  return kOk;
}

int32_t SetEntityCategory(const MfiFunctionTable* t, uint64_t entity, int32_t category) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetEntityCategory")) return c;
  int32_t code;
  Entity* e = r.lookup(entity, &code);
  if (!e) return code;
  e->category = category;
  return kOk;
}

int32_t SetEntityPropertyi(const MfiFunctionTable* t, uint64_t entity, int32_t property, int32_t value) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetEntityPropertyi")) return c;
  int32_t code;
  Entity* e = r.lookup(entity, &code);
  if (!e) return code;
  e->properties[property] = value;
  return kOk;
}

uint64_t CreateTransform(const MfiFunctionTable* t, _MfiScene* scene, uint64_t mesh, int32_t* outCode) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiCreateTransform")) return Fail(outCode, c);
  if (!r.ownsScene(scene)) return Fail(outCode, kInvalidScene);
  int32_t code;
  if (!r.lookup(mesh, Kind::PolygonMesh, &code)) return Fail(outCode, code);
  Entity e;
  e.kind = Kind::Transform;
  e.mesh = mesh;
  return Done(outCode, r.create(std::move(e)));
}

int32_t SetTransformPropertyMaterial(const MfiFunctionTable* t, uint64_t transform, uint64_t material) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetTransformPropertyMaterial")) return c;
  int32_t code;
  Entity* e = r.lookup(transform, Kind::Transform, &code);
  if (!e) return code;
  if (material != 0 && !r.lookup(material, Kind::Material, &code)) return code;
  e->material = material;
  return kOk;
}

uint64_t CreateVertexLayout(const MfiFunctionTable* t, _MfiScene* scene, int32_t count,
                            const MfiVertexLayoutElement* elements, int32_t* outCode) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiCreateVertexLayout")) return Fail(outCode, c);
  if (!r.ownsScene(scene)) return Fail(outCode, kInvalidScene);
  if (count <= 0 || !elements) return Fail(outCode, kInvalidArgument);
  Entity e;
  e.kind = Kind::VertexLayout;
  e.layout.assign(elements, elements + count);
  for (const MfiVertexLayoutElement& el : e.layout) {
    bool known = (el.semantic == MFI_SEMANTIC_POSITION && el.stream == MFI_STREAM_FLOAT3) ||
                 (el.semantic == MFI_SEMANTIC_TEXCOORD0 && el.stream == MFI_STREAM_FLOAT2);
    if (!known || el.reserved != 0) return Fail(outCode, kInvalidArgument);
  }
  return Done(outCode, r.create(std::move(e)));
}

uint64_t CreatePolygonMesh(const MfiFunctionTable* t, _MfiScene* scene, int32_t vertexCount, uint64_t layout,
                           const float* boundsMin, const float* boundsMax, int32_t* outCode) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiCreatePolygonMesh")) return Fail(outCode, c);
  if (!r.ownsScene(scene)) return Fail(outCode, kInvalidScene);
  int32_t code;
  if (!r.lookup(layout, Kind::VertexLayout, &code)) return Fail(outCode, code);
  if (vertexCount <= 0 || !boundsMin || !boundsMax) return Fail(outCode, kInvalidArgument);
  Entity e;
  e.kind = Kind::PolygonMesh;
  e.layoutHandle = layout;
  e.meshLayout = r.find(layout)->layout;
  e.vertexCount = vertexCount;
  std::memcpy(e.boundsMin, boundsMin, sizeof e.boundsMin);
  std::memcpy(e.boundsMax, boundsMax, sizeof e.boundsMax);
  return Done(outCode, r.create(std::move(e)));
}

int32_t SetPolygonMeshBuffers(const MfiFunctionTable* t, uint64_t mesh, const MfiMeshBufferSet* set,
                              int32_t flags) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetPolygonMeshBuffers")) return c;
  int32_t code;
  Entity* m = r.lookup(mesh, Kind::PolygonMesh, &code);
  if (!m) return code;
  if (!set || flags != 0 || set->indexFormat != MFI_INDEX_FORMAT_UINT32 || !set->indices || !set->vertexStreams ||
      set->reserved0 || set->reserved1 || set->reserved2)
    return kInvalidArgument;

  const MfiBufferDescriptor& ib = *set->indices;
  if (!ValidDescriptor(ib) || ib.size != set->indexCount * sizeof(uint32_t)) return kBufferMismatch;
  const auto* indexData = static_cast<const uint32_t*>(ib.data);
  std::vector<uint32_t> indices(indexData, indexData + set->indexCount);
  for (uint32_t i : indices)
    if (i >= static_cast<uint32_t>(m->vertexCount)) return kBufferMismatch;

  std::vector<float> streams[2];
  // One stream per layout element, in layout order, each the size its stream code says.
  for (size_t s = 0; s < m->meshLayout.size(); ++s) {
    const MfiVertexLayoutElement& el = m->meshLayout[s];
    const MfiBufferDescriptor& d = set->vertexStreams[s];
    size_t floats = static_cast<size_t>(m->vertexCount) * StreamFloats(el.stream);
    if (!ValidDescriptor(d) || d.size != floats * sizeof(float)) return kBufferMismatch;
    const auto* data = static_cast<const float*>(d.data);
    streams[el.semantic == MFI_SEMANTIC_POSITION ? 0 : 1].assign(data, data + floats);
  }
  m->indices = std::move(indices);
  m->positions = std::move(streams[0]);
  m->texCoords = std::move(streams[1]);
  m->hasBuffers = true;
  return kOk;
}

int32_t GetMaterialPropertyIdByName(const MfiFunctionTable* t, uint64_t material, const char* name,
                                    int32_t* outCode) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiGetMaterialPropertyIdByName")) return NoId(outCode, c);
  int32_t code;
  const Entity* m = r.lookup(material, Kind::Material, &code);
  if (!m) return NoId(outCode, code);
  if (!name) return NoId(outCode, kInvalidArgument);
  for (size_t id = 0; id < m->materialProperties.size(); ++id) {
    if (m->materialProperties[id].name != name) continue;
    if (outCode) *outCode = kOk;
    return static_cast<int32_t>(id);
  }
  return NoId(outCode, kUnknownProperty);
}

int32_t SetMaterialPropertyTextured(const MfiFunctionTable* t, uint64_t material, int32_t property,
                                    uint64_t texture) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetMaterialPropertyTextured")) return c;
  int32_t code;
  Entity* m = r.lookup(material, Kind::Material, &code);
  if (!m) return code;
  if (property < 0 || static_cast<size_t>(property) >= m->materialProperties.size()) return kUnknownProperty;
  if (texture != 0 && !r.lookup(texture, Kind::Texture, &code)) return code;
  m->materialProperties[property].texture = texture;
  return kOk;
}

uint64_t CreateTexture2D(const MfiFunctionTable* t, _MfiScene* scene, int32_t format, int32_t source,
                         int32_t width, int32_t height, const void* initialData, int32_t* outCode) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiCreateTexture2D")) return Fail(outCode, c);
  if (!r.ownsScene(scene)) return Fail(outCode, kInvalidScene);
  // Storage comes from a GL texture later, so no initial pixels.
  if (format != MFI_TEXTURE_FORMAT_RGBA8 || source != MFI_TEXTURE_SOURCE_GL || width <= 0 || height <= 0 ||
      initialData)
    return Fail(outCode, kInvalidArgument);
  Entity e;
  e.kind = Kind::Texture;
  e.width = width;
  e.height = height;
  return Done(outCode, r.create(std::move(e)));
}

int32_t SetTextureData(const MfiFunctionTable* t, uint64_t texture, const MfiTextureData* data, int32_t flags) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiSetTextureData")) return c;
  int32_t code;
  Entity* e = r.lookup(texture, Kind::Texture, &code);
  if (!e) return code;
  if (!data || flags != 0 || data->glTexture == 0 || data->reserved1 != 0) return kInvalidArgument;
  for (uint8_t b : data->reserved0)
    if (b != 0) return kInvalidArgument;
  e->glTexture = data->glTexture;
  e->hasData = true;
  return kOk;
}

uint64_t CreateMaterialFromString(const MfiFunctionTable* t, _MfiScene* scene, const char* document,
                                  int32_t* outCode) {
  Renderer& r = Self(t);
  if (int32_t c = r.fault("MfiCreateMaterialFromString")) return Fail(outCode, c);
  if (!r.ownsScene(scene)) return Fail(outCode, kInvalidScene);
  if (!document) return Fail(outCode, kInvalidArgument);
  Entity e;
  e.kind = Kind::Material;
  e.document = document;
  std::string reason;
  if (!ReadMaterialDocument(e.document, &e.parsed, &reason)) {
    r.setDetail(kInvalidDocument, reason);
    return Fail(outCode, kInvalidDocument);
  }
  if (!glGetString(GL_VERSION)) return Fail(outCode, kNoContext);
  e.program = BuildMaterialProgram(e.parsed, &reason);
  if (!e.program) {
    r.setDetail(kCompileFailed, reason);
    return Fail(outCode, kCompileFailed);
  }
  e.materialProperties = SamplerProperties(e.parsed);
  return Done(outCode, r.create(std::move(e)));
}

// Fails to compile when an entry drifts from the shared signature.
template <typename Fn>
MfiProc Proc(Fn fn) {
  return reinterpret_cast<MfiProc>(fn);
}

}  // namespace

void FillFunctionTable(MfiFunctionTable* table) {
  *table = MfiFunctionTable{};
  MfiProc* e = table->entries;
  e[MFI_FN_GET_ERROR_TEXT] = Proc<MfiGetErrorTextFn>(GetErrorText);
  e[MFI_FN_RELEASE_ENTITY] = Proc<MfiReleaseEntityFn>(ReleaseEntity);
  e[MFI_FN_SET_ENTITY_ANNOTATED_NAME] = Proc<MfiSetEntityAnnotatedNameFn>(SetEntityAnnotatedName);
  e[MFI_FN_SET_ENTITY_CATEGORY] = Proc<MfiSetEntityCategoryFn>(SetEntityCategory);
  e[MFI_FN_SET_ENTITY_PROPERTY_I] = Proc<MfiSetEntityPropertyiFn>(SetEntityPropertyi);
  e[MFI_FN_CREATE_TRANSFORM] = Proc<MfiCreateTransformFn>(CreateTransform);
  e[MFI_FN_SET_TRANSFORM_PROPERTY_MATERIAL] =
      Proc<MfiSetTransformPropertyMaterialFn>(SetTransformPropertyMaterial);
  e[MFI_FN_CREATE_VERTEX_LAYOUT] = Proc<MfiCreateVertexLayoutFn>(CreateVertexLayout);
  e[MFI_FN_CREATE_POLYGON_MESH] = Proc<MfiCreatePolygonMeshFn>(CreatePolygonMesh);
  e[MFI_FN_SET_POLYGON_MESH_BUFFERS] = Proc<MfiSetPolygonMeshBuffersFn>(SetPolygonMeshBuffers);
  e[MFI_FN_GET_MATERIAL_PROPERTY_ID_BY_NAME] = Proc<MfiGetMaterialPropertyIdByNameFn>(GetMaterialPropertyIdByName);
  e[MFI_FN_SET_MATERIAL_PROPERTY_TEXTURED] = Proc<MfiSetMaterialPropertyTexturedFn>(SetMaterialPropertyTextured);
  e[MFI_FN_CREATE_TEXTURE_2D] = Proc<MfiCreateTexture2DFn>(CreateTexture2D);
  e[MFI_FN_SET_TEXTURE_DATA] = Proc<MfiSetTextureDataFn>(SetTextureData);
  e[MFI_FN_CREATE_MATERIAL_FROM_STRING] = Proc<MfiCreateMaterialFromStringFn>(CreateMaterialFromString);
}

}  // namespace vantor
