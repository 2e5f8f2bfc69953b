#include <render/headless_gl.h>

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <utility>
#include <vector>

namespace orb {
namespace {

bool has_extension(EGLDisplay display, const char* name) { return epoxy_has_egl_extension(display, name); }

// The displays to try, most likely first: Mesa's surfaceless platform, then
// every EGL device.
std::vector<EGLDisplay> candidate_displays() {
  std::vector<EGLDisplay> out;
  if (has_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
    out.push_back(eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
  }
  if (has_extension(EGL_NO_DISPLAY, "EGL_EXT_device_enumeration") &&
      has_extension(EGL_NO_DISPLAY, "EGL_EXT_platform_device")) {
    EGLint count = 0;
    if (eglQueryDevicesEXT(0, nullptr, &count) && count > 0) {
      std::vector<EGLDeviceEXT> devices(static_cast<std::size_t>(count));
      if (eglQueryDevicesEXT(count, devices.data(), &count)) {
        for (EGLint d = 0; d < count; ++d) {
          out.push_back(
              eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[static_cast<std::size_t>(d)], nullptr));
        }
      }
    }
  }
  return out;
}

// An initialised display, terminated again unless a context on it is kept.
// A display is one per process: one that another context already uses (it
// was initialised before) is never terminated here.
class InitialisedDisplay {
 public:
  explicit InitialisedDisplay(EGLDisplay display) {
    if (display == EGL_NO_DISPLAY) return;
    const bool in_use = eglQueryString(display, EGL_VERSION) != nullptr;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return;
    display_ = display;
    owned_ = !in_use;
  }
  ~InitialisedDisplay() {
    if (display_ != EGL_NO_DISPLAY && owned_) eglTerminate(display_);
  }
  InitialisedDisplay(const InitialisedDisplay&) = delete;
  InitialisedDisplay& operator=(const InitialisedDisplay&) = delete;
  EGLDisplay get() const { return display_; }
  EGLDisplay release() { return std::exchange(display_, EGL_NO_DISPLAY); }

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  bool owned_ = false;
};

// A desktop OpenGL context without a surface on `display`, or none.
EGLContext surfaceless_context(EGLDisplay display) {
  if (!eglBindAPI(EGL_OPENGL_API)) return EGL_NO_CONTEXT;
  const EGLint compatibility[] = {EGL_CONTEXT_MAJOR_VERSION,
                                  4,
                                  EGL_CONTEXT_MINOR_VERSION,
                                  3,
                                  EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                  EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                  EGL_NONE};
  // Without a config the context needs no surface at all.
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, compatibility);
  if (context == EGL_NO_CONTEXT) context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
  return context;
}

}  // namespace

std::unique_ptr<HeadlessGlContext> HeadlessGlContext::create(std::string& error) {
  EGLint last_error = EGL_SUCCESS;
  bool any_display = false;
  for (EGLDisplay candidate : candidate_displays()) {
    InitialisedDisplay display(candidate);  // a display that gives no context is terminated again
    if (display.get() == EGL_NO_DISPLAY) continue;
    any_display = true;
    const EGLContext context = surfaceless_context(display.get());
    if (context == EGL_NO_CONTEXT) {
      last_error = eglGetError();
      continue;
    }
    std::unique_ptr<HeadlessGlContext> ctx(new HeadlessGlContext());
    ctx->display_ = display.release();
    ctx->context_ = context;
    if (!ctx->make_current()) {
      error = "error: cannot make the headless OpenGL context current";
      return nullptr;
    }
    return ctx;
  }
  if (!any_display) {
    error = "error: no headless EGL display (neither Mesa surfaceless nor an EGL device)";
    return nullptr;
  }
  char text[96];
  std::snprintf(text, sizeof text, "error: cannot create a headless OpenGL context (EGL 0x%x)", last_error);
  error = text;
  return nullptr;
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
