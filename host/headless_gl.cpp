#include "headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <cstring>

namespace vthost {

bool PlatformFromEnvironment(GLPlatform& pPlatform, std::string& pError) {
  const char* lName = std::getenv("VTHUD_EGL_PLATFORM");
  if (!lName || !*lName || !strcmp(lName, "surfaceless")) {
    pPlatform = GLPlatform::Surfaceless;
    return true;
  }
  if (!strcmp(lName, "device")) {
    pPlatform = GLPlatform::Device;
    return true;
  }
  pError = std::string("unknown VTHUD_EGL_PLATFORM '") + lName + "' (use surfaceless or device)";
  return false;
}

namespace {

// The EGL vendor library and the GL driver it loaded stay loaded for the
// process, as they do in a host application. Unloaded at eglTerminate, the
// driver's process-lifetime blocks would turn into leaks of an unknown module.
int PinDriver(struct dl_phdr_info* pInfo, size_t, void*) {
  const char* lName = pInfo->dlpi_name;
  if (lName && (strstr(lName, "/dri/") || strstr(lName, "libEGL_") || strstr(lName, "libnvidia")))
    dlopen(lName, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  return 0;
}

}  // namespace

HeadlessGL::~HeadlessGL() {
  if (mDisplay) {
    eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (mContext) eglDestroyContext(mDisplay, mContext);
    eglTerminate(mDisplay);
  }
}

bool HeadlessGL::Create(GLPlatform pPlatform, std::string& pError) {
  auto lGetPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!lGetPlatformDisplay) {
    pError = "no OpenGL context available: EGL lacks eglGetPlatformDisplayEXT";
    return false;
  }
  EGLDisplay lDisplay = EGL_NO_DISPLAY;
  if (pPlatform == GLPlatform::Surfaceless) {
    lDisplay = lGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  } else {
    auto lQueryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    EGLDeviceEXT lDevices[8];
    EGLint lCount = 0;
    if (lQueryDevices && lQueryDevices(8, lDevices, &lCount) && lCount > 0)
      lDisplay = lGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, lDevices[0], nullptr);
  }
  const char* lPlatformName = pPlatform == GLPlatform::Surfaceless ? "surfaceless" : "device";
  if (lDisplay == EGL_NO_DISPLAY || !eglInitialize(lDisplay, nullptr, nullptr)) {
    pError = std::string("no OpenGL context available: no EGL ") + lPlatformName + " display";
    return false;
  }
  mDisplay = lDisplay;
  dl_iterate_phdr(&PinDriver, nullptr);
  if (!eglBindAPI(EGL_OPENGL_API)) {
    pError = "no OpenGL context available: EGL cannot bind desktop OpenGL";
    return false;
  }
  const EGLint lConfigAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig lConfig = nullptr;
  EGLint lConfigCount = 0;
  if (!eglChooseConfig(lDisplay, lConfigAttribs, &lConfig, 1, &lConfigCount) || lConfigCount < 1)
    lConfig = nullptr;  // EGL_KHR_no_config_context
  const EGLint lContextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                                    4,
                                    EGL_CONTEXT_MINOR_VERSION,
                                    5,
                                    EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
  mContext = eglCreateContext(lDisplay, lConfig, EGL_NO_CONTEXT, lContextAttribs);
  if (!mContext) {
    pError = "no OpenGL context available: cannot create a 4.5 compatibility context on the EGL " +
             std::string(lPlatformName) + " platform";
    return false;
  }
  if (!MakeCurrent()) {
    pError = "no OpenGL context available: the context cannot be made current without a surface";
    return false;
  }
  return true;
}

bool HeadlessGL::MakeCurrent() {
  return mContext && eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, mContext) == EGL_TRUE;
}

void HeadlessGL::Release() {
  if (mDisplay) eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

std::string HeadlessGL::Description() const {
  const char* lVersion = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* lRenderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return std::string(lVersion ? lVersion : "?") + " / " + (lRenderer ? lRenderer : "?");
}

}  // namespace vthost
