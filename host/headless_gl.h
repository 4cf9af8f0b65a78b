#ifndef VTHOST_HEADLESS_GL_H
#define VTHOST_HEADLESS_GL_H
// A headless OpenGL 4.5 compatibility-profile context through EGL, current on
// the calling thread. The platform is chosen explicitly: Mesa's surfaceless
// platform (llvmpipe on a machine without a GPU) or the EGL device platform
// of a GPU driver.
#include <string>

namespace vthost {

enum class GLPlatform { Surfaceless, Device };

// Reads VTHUD_EGL_PLATFORM ("surfaceless", the default, or "device").
bool PlatformFromEnvironment(GLPlatform& pPlatform, std::string& pError);

class HeadlessGL {
 public:
  HeadlessGL() = default;
  ~HeadlessGL();
  HeadlessGL(const HeadlessGL&) = delete;
  HeadlessGL& operator=(const HeadlessGL&) = delete;

  // Creates the context and makes it current; false with a one-line reason.
  bool Create(GLPlatform pPlatform, std::string& pError);
  bool MakeCurrent();
  // Leaves the calling thread with no current context, so that another
  // thread may make this one current.
  void Release();
  bool IsValid() const { return mContext != nullptr; }
  // "<GL_VERSION> / <GL_RENDERER>"
  std::string Description() const;

 private:
  void* mDisplay = nullptr;
  void* mContext = nullptr;
};

}  // namespace vthost

#endif
