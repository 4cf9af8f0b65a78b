#include <dlfcn.h>
#include <link.h>

#include <algorithm>

#include <cstring>

#include "vantor.h"

#include <GL/gl.h>

namespace vantor {

void FillFunctionTable(MfiFunctionTable* table);  // function_table.cpp
void ReleaseGL(Entity& entity);                   // frame.cpp

namespace {

bool Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

}  // namespace

Renderer::Renderer() : mScene{this} {
  FillFunctionTable(&mBinding.table);
  mBinding.owner = this;
}

Renderer::~Renderer() {
  for (auto& [handle, entity] : mEntities) ReleaseGL(entity);
}

bool Renderer::release(uint64_t handle) {
  auto it = mEntities.find(handle);
  if (it == mEntities.end()) return false;
  const uint64_t layout = it->second.kind == Kind::PolygonMesh ? it->second.layoutHandle : 0;
  ReleaseGL(it->second);
  mEntities.erase(it);
  if (layout == 0) return true;
  for (const auto& [other, entity] : mEntities)
    if (entity.kind == Kind::PolygonMesh && entity.layoutHandle == layout) return true;
  mEntities.erase(layout);
  return true;
}

const char* Renderer::errorText(int32_t code) const {
  auto it = mDetails.find(code);
  return it == mDetails.end() ? CodeText(code) : it->second.c_str();
}

int32_t Renderer::fault(const char* entry) const {
  auto it = mFaults.find(entry);
  return it == mFaults.end() ? kOk : it->second;
}

Entity* Renderer::lookup(uint64_t handle, int32_t* code) {
  auto it = mEntities.find(handle);
  *code = it == mEntities.end() ? kInvalidHandle : kOk;
  return it == mEntities.end() ? nullptr : &it->second;
}

Entity* Renderer::lookup(uint64_t handle, Kind kind, int32_t* code) {
  Entity* e = lookup(handle, code);
  if (e && e->kind != kind) {
    *code = kWrongKind;
    return nullptr;
  }
  return e;
}

uint64_t Renderer::create(Entity entity) {
  uint64_t handle = mNextHandle++;
  ++mCreated[entity.kind];
  mEntities.emplace(handle, std::move(entity));
  return handle;
}

const Entity* Renderer::find(uint64_t handle) const {
  auto it = mEntities.find(handle);
  return it == mEntities.end() ? nullptr : &it->second;
}

std::vector<uint64_t> Renderer::handles(Kind kind) const {
  std::vector<uint64_t> out;
  for (const auto& [handle, entity] : mEntities)
    if (entity.kind == kind) out.push_back(handle);
  return out;
}

bool Renderer::attach(void* dlHandle, const std::string& libraryName, std::string* error) {
  if (!dlHandle) return Fail(error, "no plug-in library handle");
  std::string handshakeName = libraryName + "MoonfairHandshake";
  std::string exchangeName = libraryName + "MoonfairInterfaceExchange";
  void* handshake = dlsym(dlHandle, handshakeName.c_str());
  if (!handshake) return Fail(error, "plug-in does not export " + handshakeName);
  void* exchange = dlsym(dlHandle, exchangeName.c_str());
  if (!exchange) return Fail(error, "plug-in does not export " + exchangeName);
  return attach(reinterpret_cast<MfiHandshakeFn>(handshake), reinterpret_cast<MfiInterfaceExchangeFn>(exchange),
                error);
}

std::string LibraryName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const size_t so = name.find(".so");
  return so == std::string::npos ? name : name.substr(0, so);
}

bool Renderer::attach(void* dlHandle, std::string* error) {
  if (!dlHandle) return Fail(error, "no plug-in library handle");
  link_map* map = nullptr;
  if (dlinfo(dlHandle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
    return Fail(error, "the plug-in library's file name cannot be found");
  return attach(dlHandle, LibraryName(map->l_name), error);
}

bool Renderer::attach(MfiHandshakeFn handshake, MfiInterfaceExchangeFn exchange, std::string* error) {
  if (!handshake || !exchange) return Fail(error, "plug-in entry point missing");
  const char* version = handshake();
  if (!version || std::strcmp(version, MFI_API_VERSION_STRING) != 0)
    return Fail(error, std::string("plug-in reports '") + (version ? version : "") + "', expected '" +
                           MFI_API_VERSION_STRING + "'");
  MfiCallbackTable* callbacks = exchange(&mBinding.table);
  if (!callbacks) return Fail(error, "plug-in returned no callback table");
  // A plug-in attached again keeps its place; another one is called after those before it.
  if (std::find(mCallbacks.begin(), mCallbacks.end(), callbacks) == mCallbacks.end())
    mCallbacks.push_back(callbacks);
  return true;
}

bool Renderer::connect() {
  if (mCallbacks.empty()) return false;
  MfiConnectContext ctx{};
  for (MfiCallbackTable* callbacks : mCallbacks)
    if (callbacks->connect) callbacks->connect(callbacks->user, &mScene, &ctx);
  return true;
}

bool Renderer::update() {
  if (mCallbacks.empty()) return false;
  MfiUpdateContext ctx{};
  for (MfiCallbackTable* callbacks : mCallbacks)
    if (callbacks->update) callbacks->update(callbacks->user, &mScene, &ctx);
  return true;
}

bool Renderer::render() {
  if (mCallbacks.empty()) return false;
  MfiRenderContext ctx{};
  for (MfiCallbackTable* callbacks : mCallbacks)
    if (callbacks->render) callbacks->render(callbacks->user, &ctx);
  return true;
}

bool Renderer::disconnect() {
  if (mCallbacks.empty()) return false;
  MfiDisconnectContext ctx{};
  for (MfiCallbackTable* callbacks : mCallbacks)
    if (callbacks->disconnect) callbacks->disconnect(callbacks->user, &ctx);
  return true;
}

bool Renderer::readTexture(uint64_t texture, std::vector<uint8_t>* rgba, std::string* error) const {
  const Entity* e = find(texture);
  if (!e || e->kind != Kind::Texture) return Fail(error, "not a texture entity");
  if (!e->hasData) return Fail(error, "texture has no GL texture yet");
  if (!glGetString(GL_VERSION)) return Fail(error, "no current GL context");
  GLint previous = 0, width = 0, height = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(e->glTexture));
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  bool sizeMatches = width == e->width && height == e->height;
  if (sizeMatches) {
    rgba->assign(static_cast<size_t>(width) * height * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  if (!sizeMatches)
    return Fail(error, "GL texture " + std::to_string(e->glTexture) + " is " + std::to_string(width) + "x" +
                           std::to_string(height) + ", entity is " + std::to_string(e->width) + "x" +
                           std::to_string(e->height));
  if (GLenum err = glGetError()) return Fail(error, "GL error " + std::to_string(err) + " reading texture");
  return true;
}

}  // namespace vantor
