#pragma once
// A triangle list folded into shared vertices plus an element list: the
// same triangles with the same corner values, but each distinct corner is
// shaded once (a sphere's 43,200 corners are about 7,300 vertices).
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
};

IndexedMesh index_mesh(const VertexFactory& factory);

}  // namespace orb
