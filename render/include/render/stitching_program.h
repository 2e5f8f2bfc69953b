#pragma once
// The GL program the viewports draw with: mesh positions through the
// viewport's MVP, YUV 4:2:0 planes to RGB, and per-vertex texture indices
// choosing the video, a second picture area, a blend, the logo or black.
// It comes in one variant per band, plus one for any band.
#include <render/gl_handles.h>

#include <cstddef>

namespace orb {

// Names the renderer looks up in the program.
namespace stitch {
inline constexpr const char* kPosition = "aPosition";
inline constexpr const char* kTextureCoord = "aTextureCoord";
inline constexpr const char* kTexIndex = "aTexIndex";
inline constexpr const char* kLeftWeights = "aLeftWeights";
inline constexpr const char* kMvpMatrix = "uMVPMatrix";
inline constexpr const char* kStMatrix = "uSTMatrix";
inline constexpr const char* kColorConversion = "uColorConversion";
inline constexpr const char* kTextureY = "sTextureY";
inline constexpr const char* kTextureU = "sTextureU";
inline constexpr const char* kTextureV = "sTextureV";
inline constexpr const char* kLogoTexture = "logoTexture";
// Attribute slots, the same in every variant.
inline constexpr GLuint kPositionSlot = 0;
inline constexpr GLuint kTextureCoordSlot = 1;
inline constexpr GLuint kLeftWeightsSlot = 2;
inline constexpr GLuint kTexIndexSlot = 3;
}  // namespace stitch

// BT.601 limited range, column-major as uploaded (not transposed).
inline constexpr float kColorConversion[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.392f, 2.017f, 1.596f, -0.813f, 0.0f};

// What a triangle shows, by its corners' texture index: the order is the
// index's. kAny is the variant that decides per pixel.
enum class Band : int { kBlack, kPicture, kSecondPicture, kBlend, kLogo, kAny };
inline constexpr int kBandCount = 6;
// The band of one index value, with the program's tolerances.
Band band_of(float index);
// One band's triangles in an element list.
struct ElementRange {
  std::size_t first = 0, count = 0;  // in elements
};

// Builds the stitching program's variant for `band` into `program`: 0, or 1
// after printing why (standard output and the diagnostic channel);
// `program` is then empty.
int generate_stitching_program(GlProgram& program, Band band = Band::kAny);

// The same steps for any pair of sources (the stitching program's failure
// paths are exercised through this).
int build_stitching_program(GlProgram& program, const char* vertex_source, const char* fragment_source);

}  // namespace orb
