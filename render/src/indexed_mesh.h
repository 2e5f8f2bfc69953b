#pragma once
// A triangle list folded into shared vertices plus an element list: the
// same triangles with the same corner values, but each distinct corner is
// shaded once (a sphere's 43,200 corners are about 7,300 vertices).
#include <render/stitching_program.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orb {

class VertexFactory;

struct IndexedMesh {
  std::vector<float> positions;         // 3 per vertex
  std::vector<float> texture_coords;    // 4 per vertex
  std::vector<float> blend_weights;     // 1 per vertex
  std::vector<float> texture_indices;   // 1 per vertex
  std::vector<std::uint32_t> elements;  // 3 per triangle
  // The triangles grouped by band, each band one run of `elements`; a
  // triangle whose corners lie in different bands is kAny's.
  std::array<ElementRange, kBandCount> bands{};
};

IndexedMesh index_mesh(const VertexFactory& factory);

}  // namespace orb
