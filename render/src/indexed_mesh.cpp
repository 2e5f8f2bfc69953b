#include "indexed_mesh.h"

#include <geometry/vertex_factory.h>

#include <array>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace orb {
namespace {

using Key = std::array<std::uint32_t, 9>;  // bit patterns of every attribute of a corner

struct KeyHash {
  std::size_t operator()(const Key& k) const {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t v : k) h = (h ^ v) * 1099511628211ull;
    return static_cast<std::size_t>(h);
  }
};

Band triangle_band(const IndexedMesh& mesh, std::size_t first) {
  const Band band = band_of(mesh.texture_indices[mesh.elements[first]]);
  for (std::size_t k = 1; k < 3; ++k) {
    if (band_of(mesh.texture_indices[mesh.elements[first + k]]) != band) return Band::kAny;
  }
  return band;
}

// A counting sort of the triangles by band, each band keeping its order.
void group_by_band(IndexedMesh& mesh) {
  const std::size_t triangles = mesh.elements.size() / 3;
  std::vector<Band> band(triangles);
  for (std::size_t t = 0; t < triangles; ++t) {
    band[t] = triangle_band(mesh, t * 3);
    mesh.bands[static_cast<std::size_t>(band[t])].count += 3;
  }
  std::size_t first = 0;
  for (ElementRange& range : mesh.bands) {
    range.first = first;
    first += range.count;
  }
  std::vector<std::uint32_t> grouped(triangles * 3);
  std::array<std::size_t, kBandCount> next{};
  for (std::size_t b = 0; b < next.size(); ++b) next[b] = mesh.bands[b].first;
  for (std::size_t t = 0; t < triangles; ++t) {
    std::size_t& at = next[static_cast<std::size_t>(band[t])];
    for (std::size_t k = 0; k < 3; ++k) grouped[at++] = mesh.elements[t * 3 + k];
  }
  mesh.elements = std::move(grouped);
}

}  // namespace

IndexedMesh index_mesh(const VertexFactory& factory) {
  const std::vector<float>& pos = factory.positions();
  const std::vector<float>& tex = factory.texture_coords();
  const std::vector<float>& wgt = factory.blend_weights();
  const std::vector<float>& idx = factory.texture_indices();
  const std::size_t corners = pos.size() / 3;
  IndexedMesh mesh;
  mesh.elements.reserve(corners);
  std::unordered_map<Key, std::uint32_t, KeyHash> seen;
  seen.reserve(corners / 4);
  for (std::size_t v = 0; v < corners; ++v) {
    Key key;
    for (int k = 0; k < 3; ++k) key[k] = std::bit_cast<std::uint32_t>(pos[v * 3 + k]);
    for (int k = 0; k < 4; ++k) key[3 + k] = std::bit_cast<std::uint32_t>(tex[v * 4 + k]);
    key[7] = std::bit_cast<std::uint32_t>(wgt[v]);
    key[8] = std::bit_cast<std::uint32_t>(idx[v]);
    auto [it, added] = seen.try_emplace(key, static_cast<std::uint32_t>(mesh.texture_indices.size()));
    if (added) {
      mesh.positions.insert(mesh.positions.end(), pos.begin() + static_cast<std::ptrdiff_t>(v * 3),
                            pos.begin() + static_cast<std::ptrdiff_t>(v * 3 + 3));
      mesh.texture_coords.insert(mesh.texture_coords.end(), tex.begin() + static_cast<std::ptrdiff_t>(v * 4),
                                 tex.begin() + static_cast<std::ptrdiff_t>(v * 4 + 4));
      mesh.blend_weights.push_back(wgt[v]);
      mesh.texture_indices.push_back(idx[v]);
    }
    mesh.elements.push_back(it->second);
  }
  group_by_band(mesh);
  return mesh;
}

}  // namespace orb
