#include <render/headless_gl.h>

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <vector>

namespace orb {
namespace {

bool has_extension(EGLDisplay display, const char* name) {
  return epoxy_has_egl_extension(display, name);
}

EGLDisplay surfaceless_display() {
  if (!has_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) return EGL_NO_DISPLAY;
  return eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

EGLDisplay device_display() {
  if (!has_extension(EGL_NO_DISPLAY, "EGL_EXT_device_enumeration") ||
      !has_extension(EGL_NO_DISPLAY, "EGL_EXT_platform_device")) {
    return EGL_NO_DISPLAY;
  }
  EGLint count = 0;
  if (!eglQueryDevicesEXT(0, nullptr, &count) || count <= 0) return EGL_NO_DISPLAY;
  std::vector<EGLDeviceEXT> devices(static_cast<std::size_t>(count));
  if (!eglQueryDevicesEXT(count, devices.data(), &count)) return EGL_NO_DISPLAY;
  for (EGLDeviceEXT device : devices) {
    EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
    EGLint major = 0, minor = 0;
    if (display != EGL_NO_DISPLAY && eglInitialize(display, &major, &minor)) return display;
  }
  return EGL_NO_DISPLAY;
}

}  // namespace

std::unique_ptr<HeadlessGlContext> HeadlessGlContext::create(std::string& error) {
  EGLint major = 0, minor = 0;
  EGLDisplay display = surfaceless_display();
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) display = device_display();
  if (display == EGL_NO_DISPLAY) {
    error = "error: no headless EGL display (neither Mesa surfaceless nor an EGL device)";
    return nullptr;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    error = "error: EGL cannot bind desktop OpenGL";
    eglTerminate(display);
    return nullptr;
  }
  const EGLint compatibility[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 3,
                                  EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                  EGL_NONE};
  // Without a config the context needs no surface at all.
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, compatibility);
  if (context == EGL_NO_CONTEXT) context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) {
    char text[96];
    std::snprintf(text, sizeof text, "error: cannot create a headless OpenGL context (EGL 0x%x)", eglGetError());
    error = text;
    eglTerminate(display);
    return nullptr;
  }
  std::unique_ptr<HeadlessGlContext> ctx(new HeadlessGlContext());
  ctx->display_ = display;
  ctx->context_ = context;
  if (!ctx->make_current()) {
    error = "error: cannot make the headless OpenGL context current";
    return nullptr;
  }
  return ctx;
}

HeadlessGlContext::~HeadlessGlContext() {
  auto display = static_cast<EGLDisplay>(display_);
  if (eglGetCurrentContext() == context_) eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display, static_cast<EGLContext>(context_));
  // The display is process-wide and shared by every context on it; it is
  // left initialised.
}

bool HeadlessGlContext::make_current() {
  return eglMakeCurrent(static_cast<EGLDisplay>(display_), EGL_NO_SURFACE, EGL_NO_SURFACE,
                        static_cast<EGLContext>(context_)) == EGL_TRUE;
}

void HeadlessGlContext::release_current() {
  eglMakeCurrent(static_cast<EGLDisplay>(display_), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

std::string HeadlessGlContext::description() const {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return std::string(version ? version : "?") + " / " + (renderer ? renderer : "?");
}

}  // namespace orb
