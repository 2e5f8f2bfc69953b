#include <render/offscreen_target.h>

#include <cstdio>

namespace orb {

std::unique_ptr<OffscreenTarget> OffscreenTarget::create(int width, int height, std::string& error) {
  std::unique_ptr<OffscreenTarget> t(new OffscreenTarget());
  t->width_ = width;
  t->height_ = height;
  t->framebuffer_ = GlFramebuffer::generate();
  t->colour_ = GlRenderbuffer::generate();
  t->depth_ = GlRenderbuffer::generate();
  glBindRenderbuffer(GL_RENDERBUFFER, t->colour_.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, t->depth_.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, t->framebuffer_.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, t->colour_.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t->depth_.get());
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
    char text[96];
    std::snprintf(text, sizeof text, "error: framebuffer %dx%d is not complete (0x%x)", width, height, status);
    error = text;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return nullptr;
  }
  return t;
}

void OffscreenTarget::bind() const { glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_.get()); }

std::vector<std::uint8_t> OffscreenTarget::read_rgba() const {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
  bind();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

}  // namespace orb
