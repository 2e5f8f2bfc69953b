#pragma once
// A framebuffer object with an RGBA8 colour and a 24-bit depth attachment:
// where headless rendering draws and reads its pixels back.
#include <render/gl_handles.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orb {

class OffscreenTarget {
 public:
  // nullptr (with `error` set) when the framebuffer is not complete.
  static std::unique_ptr<OffscreenTarget> create(int width, int height, std::string& error);

  void bind() const;
  // Rows bottom first as GL stores them; 4 bytes per pixel.
  std::vector<std::uint8_t> read_rgba() const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  OffscreenTarget() = default;
  GlFramebuffer framebuffer_;
  GlRenderbuffer colour_;
  GlRenderbuffer depth_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace orb
