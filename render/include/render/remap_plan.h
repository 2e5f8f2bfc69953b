#pragma once
// The views as a per-pixel map into the source picture, taken once from the
// GL renderer (every output pixel's interpolated texture coordinate through
// the lens meshes), then applied to each decoded frame on the CPU: the same
// pictures as drawing every frame, without uploading, drawing and reading
// back each one.
#include <av/av_ptr.h>

#include <cstdint>
#include <vector>

namespace orb {

class RemapPlan {
 public:
  // Per output pixel (rows top first): the source position in texture units
  // (0..1, first row at the top) and whether the pixel shows the picture.
  struct Coord {
    float u, v;
    bool shown;
  };
  void build(const std::vector<Coord>& coords, int dst_w, int dst_h, int src_w, int src_h);

  // Fills `dst` (YUV 4:2:0, output size) from `src` (YUV 4:2:0, source size).
  // Eight pixels at a time where the processor has AVX2 (the same values
  // to the bit); `vector` false keeps to one at a time.
  void apply(const AVFrame* src, AVFrame* dst, bool vector = true);
  // The same for packed RGBA pictures (rows top first, no padding); black
  // is opaque black.
  void apply_rgba(const std::uint8_t* src, int src_w, std::uint8_t* dst) const;

  // The top-left of four source samples and the weights of the right and
  // lower ones (0..128). Compact, since every frame reads every tap.
  struct Tap {
    std::int32_t offset = -1;  // into the plane at `stride`; negative: black
    std::uint8_t fx = 0, fy = 0;
  };
  // Eight taps of a row whose samples lie close together (most of them):
  // each half's four taps read their samples from a 16-byte window of the
  // source (4 rows of 4 bytes, 2 of 8, 8 of 2 or 5 of 3) with byte
  // shuffles, which cost less than gathers. It carries its taps' weights
  // too, so a near block reads nothing else; 32 bytes, since every frame
  // streams them all from memory.
  struct alignas(32) NearBlock {
    std::uint16_t x = 0;     // the block's first tap in its row
    std::int16_t next = 0;   // the second half's window, from the first's
    std::int32_t base = -1;  // the first half's window: its top-left sample
    // Per tap: bits 0-3 its top-left sample in its half's window, bit 4
    // black, bits 5-6 its half's window shape (see window16).
    std::uint8_t tap[8] = {};
    std::uint8_t fx[8] = {}, fy[8] = {};
  };
  // One row's blocks of eight: the near ones, and the first taps of the others.
  struct RowBlocks {
    const NearBlock *near, *near_end;
    const std::int32_t *far, *far_end;
  };

 private:
  struct Plane {
    std::vector<Tap> taps;
    std::vector<std::int32_t> xs, ys;  // positions, to lay offsets out for another stride
    int stride = 0;
    int width = 0;                         // of the output plane
    int rows = 0;                          // of the source plane
    std::vector<std::int32_t> first, end;  // per output row: its shown taps lie in [first, end)
    // Each row's blocks of eight from `first`: the near ones, and where the
    // others start; row y's are [start[y], start[y + 1]).
    std::vector<NearBlock> near;
    std::vector<std::int32_t> far;
    std::vector<std::int32_t> near_start, far_start;
    void rebase(int new_stride);
    void find_spans(int w, int h);
    void find_near_blocks();
  };
  static void tap_for(float sx, float sy, int w, int h, Plane& plane, std::size_t i);
  // `planes` (1, or 2 for U and V at one stride) planes through the same taps.
  static void remap(const Plane& plane, int w, int h, const std::uint8_t* const* src, std::uint8_t* const* dst,
                    const int* dst_stride, int planes, std::uint8_t black, bool vector);

  int dst_w_ = 0, dst_h_ = 0;
  Plane luma_;
  Plane chroma_;  // shared by U and V
};

}  // namespace orb
