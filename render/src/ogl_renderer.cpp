#include <common/debug_trace.h>
#include <render/ogl_renderer.h>

#include <geometry/draw_mode.h>
#include <render/gl_check.h>

#include "indexed_mesh.h"

#include <cstdint>
#include <cstdio>

namespace orb {
namespace {

constexpr const char* kSource = "iss_oglPlayer\\ogl_rendererMgr\\ogl_renderer\\ogl_renderer";

enum Buffer { kPositions, kTextureCoords, kWeights, kIndices };

void fill_buffer(GlBuffer& buffer, const std::vector<float>& data) {
  buffer = GlBuffer::generate();
  glBindBuffer(GL_ARRAY_BUFFER, buffer.get());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(), GL_STATIC_DRAW);
}

void bind_attribute(const GlBuffer& buffer, GLint location, GLint components) {
  if (location < 0) return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer.get());
  glEnableVertexAttribArray(static_cast<GLuint>(location));
  glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, 0, nullptr);
}

}  // namespace

void ogl_renderer::configure(int number, bool logo, int logo_angle_deg, bool no_calibration) {
  number_ = number;
  logo_ = logo;
  logo_angle_deg_ = logo_angle_deg;
  no_calibration_ = no_calibration;
  mesh_uploaded_ = false;
  camera_.reset_model();
}

void ogl_renderer::bind_resources(const StitchPrograms* programs, const StitchAttributes* attributes) {
  programs_ = programs;
  attributes_ = attributes;
  camera_.rebuild_view();
}

int ogl_renderer::set_rect(int x, int y, int width, int height) {
  rect_ = {x, y, width, height};
  return gl_error_at_viewport(kSource, 166, number_) ? 1 : 0;
}

int ogl_renderer::set_draw_mode(int mode, int video_width, int video_height) {
  bool changed = false;
  if (int result = camera_.select_draw_mode(mode, rect_.width, rect_.height, video_width, video_height, changed);
      result != 0) {
    return result;
  }
  if (mode == DRAW_MODE_SOURCE) factory_.set_image_size(video_width, video_height);
  if (changed || !mesh_uploaded_) {
    camera_.rebuild_view();
    mesh_uploaded_ = false;  // the factory's arrays are about to be replaced
    const float* positions = factory_.generate_mesh(mode, logo_, logo_angle_deg_);
    if (positions == nullptr || factory_.positions().empty() || factory_.texture_coords().empty() ||
        factory_.texture_indices().empty() || factory_.blend_weights().empty()) {
      return 1;
    }
    camera_.set_roll_offset(factory_.roll_offset_deg());
    if (int result = upload_mesh(); result != 0) return result;
  }
  camera_.reset_zoom();
  return 0;
}

int ogl_renderer::set_zoom(float& zoom) {
  zoom = camera_.set_zoom(zoom);
  return 0;
}

int ogl_renderer::set_view_angles(float pitch_deg, float yaw_deg, float roll_deg) {
  camera_.set_view_angles(pitch_deg, yaw_deg, roll_deg);
  return 0;
}

int ogl_renderer::upload_mesh() {
  for (GlBuffer& b : buffers_) b.reset();
  elements_.reset();
  mesh_uploaded_ = false;
  if (programs_ == nullptr) return 1;  // no programs bound yet: nothing can draw the mesh
  glUseProgram(programs_->program[static_cast<std::size_t>(Band::kAny)]);
  if (gl_error_at_viewport(kSource, 265, number_)) return 1;
  // Shared corners are shaded once; the triangles are the factory's own.
  const IndexedMesh mesh = index_mesh(factory_);
  fill_buffer(buffers_[kPositions], mesh.positions);
  if (gl_error_at_viewport(kSource, 270, number_)) return 1;
  fill_buffer(buffers_[kTextureCoords], mesh.texture_coords);
  fill_buffer(buffers_[kWeights], mesh.blend_weights);
  fill_buffer(buffers_[kIndices], mesh.texture_indices);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  elements_ = GlBuffer::generate();
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements_.get());
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.elements.size() * sizeof(std::uint32_t)),
               mesh.elements.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  vertex_count_ = static_cast<int>(mesh.elements.size());
  bands_ = mesh.bands;
  mesh_uploaded_ = true;
  return 0;
}

int ogl_renderer::draw() {
  if (!mesh_uploaded_) {
    debug_trace("error: vp %d vertex is not inited, please set draw mode first;\n", number_);
    return 1;
  }
  glViewport(rect_.x, rect_.y, rect_.width, rect_.height);
  // Seen from inside, or flat, no two triangles cover the same pixel, so
  // depth only matters for the ball (the sphere from outside) and the
  // little planet (from its surface); elsewhere it would be a cost per pixel.
  const int mode = camera_.draw_mode();
  if (mode == DRAW_MODE_ORTHOGRAPHIC || mode == DRAW_MODE_LITTLE_PLANET) {
    glEnable(GL_DEPTH_TEST);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  bind_attribute(buffers_[kPositions], attributes_->position, 3);
  bind_attribute(buffers_[kTextureCoords], attributes_->texture_coord, 4);
  bind_attribute(buffers_[kWeights], attributes_->left_weights, 1);
  bind_attribute(buffers_[kIndices], attributes_->tex_index, 1);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  const Mat4 mvp = camera_.mvp();
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements_.get());
  for (std::size_t b = 0; b < bands_.size(); ++b) {
    if (bands_[b].count == 0) continue;
    glUseProgram(programs_->program[b]);
    glUniformMatrix4fv(programs_->uniforms[b].mvp_matrix, 1, GL_FALSE, mvp.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(bands_[b].count), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(bands_[b].first * sizeof(std::uint32_t)));
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return gl_error_at_viewport(kSource, 325, number_) ? 1 : 0;
}

}  // namespace orb
