#pragma once
// A desktop-GL (compatibility profile) context without any window system:
// EGL on Mesa's surfaceless platform, else on the first EGL device. Draw into
// framebuffer objects (see OffscreenTarget).
#include <memory>
#include <string>

namespace orb {

class HeadlessGlContext {
 public:
  // nullptr when no context can be had; `error` then says why in one line.
  static std::unique_ptr<HeadlessGlContext> create(std::string& error);
  ~HeadlessGlContext();
  HeadlessGlContext(const HeadlessGlContext&) = delete;
  HeadlessGlContext& operator=(const HeadlessGlContext&) = delete;

  // Binds the context to the calling thread.
  bool make_current();
  void release_current();
  // e.g. "4.5 (Compatibility Profile) Mesa 22.3.6 / llvmpipe"
  std::string description() const;

 private:
  HeadlessGlContext() = default;
  void* display_ = nullptr;  // EGLDisplay
  void* context_ = nullptr;  // EGLContext
};

}  // namespace orb
