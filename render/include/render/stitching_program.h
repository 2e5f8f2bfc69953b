#pragma once
// The one GL program every viewport draws with: mesh positions through the
// viewport's MVP, YUV 4:2:0 planes to RGB, and per-vertex texture indices
// choosing the video, a second picture area, a blend, the logo or black.
#include <render/gl_handles.h>

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
}  // namespace stitch

// BT.601 limited range, column-major as uploaded (not transposed).
inline constexpr float kColorConversion[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.392f, 2.017f, 1.596f, -0.813f, 0.0f};

// Builds the stitching program into `program`: 0, or 1 after printing why
// (standard output and the diagnostic channel); `program` is then empty.
int generate_stitching_program(GlProgram& program);

// The same steps for any pair of sources (the stitching program's failure
// paths are exercised through this).
int build_stitching_program(GlProgram& program, const char* vertex_source, const char* fragment_source);

}  // namespace orb
