#include <render/remap_plan.h>

#include <immintrin.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace orb {
namespace {

// `step`: bytes from one sample to the next along a row.
inline std::uint8_t bilinear(const std::uint8_t* p, std::ptrdiff_t stride, int fx, int fy, int step = 1) {
  const int top = p[0] * (128 - fx) + p[step] * fx;
  const int bottom = p[stride] * (128 - fx) + p[stride + step] * fx;
  return static_cast<std::uint8_t>((top * (128 - fy) + bottom * fy + 8192) >> 14);
}

// Taps [first, end) of one row, one at a time.
inline void remap_taps(const RemapPlan::Tap* t, int first, int end, const std::uint8_t* src, std::ptrdiff_t stride,
                       std::uint8_t* out, std::uint8_t black) {
  for (int x = first; x < end; ++x)
    out[x] = t[x].offset < 0 ? black : bilinear(src + t[x].offset, stride, t[x].fx, t[x].fy);
}

// Eight taps' bilinear sums from one plane, as bilinear() computes them,
// in 32-bit lanes, packed to eight bytes. `at` are offsets known to be
// safe; `fx`, `fy` the weights of the right and lower samples.
__attribute__((target("avx2"))) inline __m128i bilinear8(const std::uint8_t* src, std::ptrdiff_t stride, __m256i at,
                                                         __m256i fx, __m256i fy, __m256i black_v, __m256i is_black) {
  const __m256i bytes = _mm256_set1_epi32(0xff);
  const __m256i full = _mm256_set1_epi32(128);
  // Two gathers of four bytes fetch each tap's two rows (the bytes past the
  // second sample are read and not used).
  const __m256i top = _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), at, 1);
  const __m256i bottom = _mm256_i32gather_epi32(reinterpret_cast<const int*>(src + stride), at, 1);
  const __m256i gx = _mm256_sub_epi32(full, fx);
  const __m256i upper = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(top, bytes), gx),
                                         _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(top, 8), bytes), fx));
  const __m256i lower = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(bottom, bytes), gx),
                                         _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(bottom, 8), bytes), fx));
  __m256i v = _mm256_add_epi32(_mm256_mullo_epi32(upper, _mm256_sub_epi32(full, fy)), _mm256_mullo_epi32(lower, fy));
  v = _mm256_srli_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(8192)), 14);
  v = _mm256_blendv_epi8(v, black_v, is_black);
  const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return _mm_packus_epi16(words, words);
}

// The columns of each window shape: a tap's bottom pair lies that many
// bytes after its top pair in the window.
constexpr int kWindowColumns[4] = {4, 8, 2, 3};

// A near block's tap byte: its half's window shape.
constexpr int window_shape(std::uint8_t tap) { return (tap >> 5) & 3; }

// A near block's 16-byte window of one half, each row loaded straight into
// the register: 4 rows of 4 bytes (shape 0), 2 of 8 (1), 8 of 2 (2) or 5
// of 3 (3, the last byte unused).
__attribute__((target("avx2"))) inline __m128i window16(const std::uint8_t* p, std::ptrdiff_t stride, int shape) {
  const auto row32 = [&](int k) {
    std::uint32_t v;
    std::memcpy(&v, p + k * stride, 4);
    return v;
  };
  if (shape == 1) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride)));
  }
  if (shape == 3) {
    // Rows of three at bytes 0, 3, 6, 9 and 12.
    const std::uint64_t r2 = row32(2);
    const std::uint64_t lo = (row32(0) & 0xffffffu) | (std::uint64_t{row32(1) & 0xffffffu} << 24) | (r2 << 48);
    const std::uint64_t hi =
        ((r2 >> 16) & 0xffu) | (std::uint64_t{row32(3) & 0xffffffu} << 8) | (std::uint64_t{row32(4)} << 32);
    return _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
  }
  if (shape == 2) {
    __m128i w = _mm_setzero_si128();
    std::uint16_t v[8];
    for (int k = 0; k < 8; ++k) std::memcpy(&v[k], p + k * stride, 2);
    w = _mm_insert_epi16(w, v[0], 0);
    w = _mm_insert_epi16(w, v[1], 1);
    w = _mm_insert_epi16(w, v[2], 2);
    w = _mm_insert_epi16(w, v[3], 3);
    w = _mm_insert_epi16(w, v[4], 4);
    w = _mm_insert_epi16(w, v[5], 5);
    w = _mm_insert_epi16(w, v[6], 6);
    return _mm_insert_epi16(w, v[7], 7);
  }
  return _mm_setr_epi32(static_cast<int>(row32(0)), static_cast<int>(row32(1)), static_cast<int>(row32(2)),
                        static_cast<int>(row32(3)));
}

// What each byte of a shuffle adds to its tap's top-left sample, for the
// 16 pairs of the halves' shapes (first half's in the low lane).
struct PickOffsets {
  alignas(32) std::uint8_t bytes[16][32];
  constexpr PickOffsets() : bytes{} {
    for (int shapes = 0; shapes < 16; ++shapes)
      for (int h = 0; h < 2; ++h)
        for (int j = 0; j < 16; ++j) {
          const int cols = kWindowColumns[(shapes >> (2 * h)) & 3];
          bytes[shapes][16 * h + j] = static_cast<std::uint8_t>((j & 1) + (j >= 8 ? cols : 0));
        }
  }
};
constexpr PickOffsets kPickOffsets;

// The same sums for a near block: both halves' windows shuffled into each
// tap's top and bottom sample pairs. `wx`, `wy` hold (128 - f, f) as 16-bit
// pairs; both sums stay below 2^15.
__attribute__((target("avx2"))) inline __m128i bilinear8_near(const std::uint8_t* src, std::ptrdiff_t stride,
                                                              const RemapPlan::NearBlock& near, __m256i taps,
                                                              __m256i wx, __m256i wy, __m256i black_v,
                                                              __m256i is_black) {
  const int shape0 = window_shape(near.tap[0]), shape1 = window_shape(near.tap[4]);
  const std::uint8_t* first = src + near.base;
  const __m256i windows = _mm256_inserti128_si256(_mm256_castsi128_si256(window16(first, stride, shape0)),
                                                  window16(first + near.next, stride, shape1), 1);
  // Each byte's tap (taps 0-3 in the low lane, 4-7 in the high), its
  // top-left sample, plus the byte's place in the pairs.
  const __m256i of_tap =
      _mm256_setr_epi8(0, 0, 1, 1, 2, 2, 3, 3, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 4, 4, 5, 5, 6, 6, 7, 7);
  const __m256i tops = _mm256_and_si256(_mm256_shuffle_epi8(taps, of_tap), _mm256_set1_epi8(0x0f));
  const __m256i pick = _mm256_add_epi8(
      tops, _mm256_load_si256(reinterpret_cast<const __m256i*>(kPickOffsets.bytes[shape0 | (shape1 << 2)])));
  const __m256i picked = _mm256_shuffle_epi8(windows, pick);
  // Lane h holds its taps' top pairs, then their bottom pairs: regrouped,
  // all eight top pairs, then all eight bottom pairs.
  const __m256i pairs = _mm256_permute4x64_epi64(picked, 0xD8);
  const __m256i upper = _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(pairs)), wx);
  const __m256i below = _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(pairs, 1)), wx);
  __m256i v = _mm256_madd_epi16(_mm256_or_si256(upper, _mm256_slli_epi32(below, 16)), wy);
  v = _mm256_srli_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(8192)), 14);
  v = _mm256_blendv_epi8(v, black_v, is_black);
  const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return _mm_packus_epi16(words, words);
}

// Taps [first, end) of one row into `planes` planes that share the taps
// (U and V), eight at a time; the same pixels as remap_taps(). Near blocks
// are shuffled from their windows, the others gathered; taps within 4 bytes
// of a plane's end, and a row's last few, go one at a time. Eight black
// taps in a row cost no lookup.
template <int kPlanes>
__attribute__((target("avx2"))) void remap_row_avx2(const RemapPlan::Tap* t, const RemapPlan::RowBlocks& blocks,
                                                    int first, int end, const std::uint8_t* const* src,
                                                    std::ptrdiff_t stride, std::ptrdiff_t plane_bytes,
                                                    std::uint8_t* const* out, std::uint8_t black) {
  static_assert(sizeof(RemapPlan::Tap) == 8, "taps are read as pairs of 32-bit words");
  const __m256i evens_then_odds = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i bytes = _mm256_set1_epi32(0xff);
  const __m256i black_v = _mm256_set1_epi32(black);
  const __m128i black_bytes = _mm_set1_epi8(static_cast<char>(black));
  // The last offset whose second row's four bytes stay inside the plane.
  const auto safe_limit = static_cast<int>(std::min<std::ptrdiff_t>(plane_bytes - stride - 4, INT32_MAX));
  const __m256i limit = _mm256_set1_epi32(safe_limit);
  const __m256i full = _mm256_set1_epi32(128);
  const __m256i black_bit = _mm256_set1_epi32(0x10);
  // Near blocks first, then the others: two loops whose branches the
  // processor can predict, whatever the mix.
  for (const RemapPlan::NearBlock* near = blocks.near; near != blocks.near_end; ++near) {
    const __m128i tap_bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(near->tap));
    const __m256i taps = _mm256_broadcastsi128_si256(_mm_unpacklo_epi64(tap_bytes, tap_bytes));
    const __m256i fx = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(near->fx)));
    const __m256i fy = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(near->fy)));
    const __m256i is_black =
        _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_cvtepu8_epi32(tap_bytes), black_bit), black_bit);
    const __m256i wx = _mm256_or_si256(_mm256_sub_epi32(full, fx), _mm256_slli_epi32(fx, 16));
    const __m256i wy = _mm256_or_si256(_mm256_sub_epi32(full, fy), _mm256_slli_epi32(fy, 16));
    for (int p = 0; p < kPlanes; ++p) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out[p] + near->x),
                       bilinear8_near(src[p], stride, *near, taps, wx, wy, black_v, is_black));
    }
  }
  for (const std::int32_t* far = blocks.far; far != blocks.far_end; ++far) {
    const int x = *far;
    const __m256i a =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + x)), evens_then_odds);
    const __m256i b =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + x + 4)), evens_then_odds);
    const __m256i offsets = _mm256_permute2x128_si256(a, b, 0x20);
    const __m256i is_black = _mm256_cmpgt_epi32(_mm256_setzero_si256(), offsets);
    if (_mm256_movemask_epi8(is_black) == -1) {
      for (int p = 0; p < kPlanes; ++p) _mm_storel_epi64(reinterpret_cast<__m128i*>(out[p] + x), black_bytes);
      continue;
    }
    const __m256i weights = _mm256_permute2x128_si256(a, b, 0x31);
    const __m256i fx = _mm256_and_si256(weights, bytes);
    const __m256i fy = _mm256_and_si256(_mm256_srli_epi32(weights, 8), bytes);
    if (_mm256_movemask_epi8(_mm256_cmpgt_epi32(offsets, limit)) != 0) {
      for (int p = 0; p < kPlanes; ++p) remap_taps(t, x, x + 8, src[p], stride, out[p], black);
      continue;
    }
    const __m256i at = _mm256_andnot_si256(is_black, offsets);
    for (int p = 0; p < kPlanes; ++p) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out[p] + x),
                       bilinear8(src[p], stride, at, fx, fy, black_v, is_black));
    }
  }
  const int tail = first + (end - first) / 8 * 8;  // the last few taps, one at a time
  for (int p = 0; p < kPlanes; ++p) remap_taps(t, tail, end, src[p], stride, out[p], black);
}

bool has_avx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}

}  // namespace

void RemapPlan::tap_for(float sx, float sy, int w, int h, Plane& plane, std::size_t i) {
  // Clamped to the edge, as the texture sampler does.
  sx = std::clamp(sx, 0.0f, static_cast<float>(w - 1));
  sy = std::clamp(sy, 0.0f, static_cast<float>(h - 1));
  const int x = std::min(static_cast<int>(sx), std::max(0, w - 2));
  const int y = std::min(static_cast<int>(sy), std::max(0, h - 2));
  plane.xs[i] = x;
  plane.ys[i] = y;
  plane.taps[i].fx = static_cast<std::uint8_t>(std::lround(std::clamp(sx - static_cast<float>(x), 0.0f, 1.0f) * 128));
  plane.taps[i].fy = static_cast<std::uint8_t>(std::lround(std::clamp(sy - static_cast<float>(y), 0.0f, 1.0f) * 128));
  plane.taps[i].offset = 0;  // laid out by rebase
}

void RemapPlan::Plane::rebase(int new_stride) {
  stride = new_stride;
  for (std::size_t i = 0; i < taps.size(); ++i) {
    if (xs[i] >= 0) taps[i].offset = ys[i] * new_stride + xs[i];
  }
  find_near_blocks();
}

namespace {

// One half of a near block: its window and its taps' top-left samples in
// it, or false when its samples lie too far apart. `xs`, `ys` are its four
// taps' positions.
bool near_half(const std::int32_t* xs, const std::int32_t* ys, std::ptrdiff_t stride, std::ptrdiff_t plane_bytes,
               std::ptrdiff_t& base, int& shape, std::uint8_t* tap) {
  int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
  for (int i = 0; i < 4; ++i) {
    if (xs[i] < 0) continue;
    x0 = std::min(x0, xs[i]);
    x1 = std::max(x1, xs[i]);
    y0 = std::min(y0, ys[i]);
    y1 = std::max(y1, ys[i]);
  }
  if (x1 < 0) x0 = y0 = x1 = y1 = 0;  // all black: any window inside the plane
  // Each tap reads columns x, x + 1 of rows y, y + 1. The cheapest window
  // that holds them all: a row of up to 8 columns, 4 rows of up to 4, 5 of
  // up to 3, or a column pair of up to 8 rows.
  for (const int s : {1, 0, 3, 2}) {
    const int cols = kWindowColumns[s], rows = s == 3 ? 5 : 16 / cols;
    if (x1 - x0 + 2 > cols || y1 - y0 + 2 > rows) continue;
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y0) * stride + x0;
    // Rows of three are loaded four bytes at a time; at the plane's end,
    // another shape may still fit.
    if (at + (rows - 1) * stride + std::max(cols, 4) > plane_bytes) continue;
    base = at;
    shape = s;
    for (int i = 0; i < 4; ++i) {
      const int top = xs[i] < 0 ? 0 : (ys[i] - y0) * cols + (xs[i] - x0);  // black: any samples do
      tap[i] = static_cast<std::uint8_t>(top | (xs[i] < 0 ? 0x10 : 0) | (s << 5));
    }
    return true;
  }
  return false;
}

}  // namespace

void RemapPlan::Plane::find_near_blocks() {
  near.clear();
  far.clear();
  near_start.assign(first.size() + 1, 0);
  far_start.assign(first.size() + 1, 0);
  const std::ptrdiff_t plane_bytes = static_cast<std::ptrdiff_t>(stride) * rows;
  const auto shapes = [](const NearBlock& b) { return window_shape(b.tap[0]) | (window_shape(b.tap[4]) << 2); };
  for (std::size_t y = 0; y < first.size(); ++y) {
    near_start[y] = static_cast<std::int32_t>(near.size());
    far_start[y] = static_cast<std::int32_t>(far.size());
    for (int x = first[y]; x + 8 <= end[y]; x += 8) {
      const std::size_t at = y * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
      NearBlock block;
      std::ptrdiff_t base[2] = {0, 0};
      int shape[2] = {0, 0};
      bool ok = x <= UINT16_MAX;
      for (std::size_t h = 0; h < 2 && ok; ++h)
        ok = near_half(&xs[at + 4 * h], &ys[at + 4 * h], stride, plane_bytes, base[h], shape[h], &block.tap[4 * h]);
      // The halves' windows lie a few rows apart at most.
      ok = ok && base[0] <= INT32_MAX && base[1] - base[0] >= INT16_MIN && base[1] - base[0] <= INT16_MAX;
      bool all_black = true;
      for (std::size_t i = 0; i < 8; ++i) {
        all_black = all_black && xs[at + i] < 0;
        block.fx[i] = taps[at + i].fx;
        block.fy[i] = taps[at + i].fy;
      }
      // Eight black taps cost no lookup on the taps' own path.
      if (ok && !all_black) {
        block.x = static_cast<std::uint16_t>(x);
        block.base = static_cast<std::int32_t>(base[0]);
        block.next = static_cast<std::int16_t>(base[1] - base[0]);
        near.push_back(block);
      } else {
        far.push_back(x);
      }
    }
    // A row's near blocks by window shape: fewer mispredicted branches.
    // (Not stable_sort: its scratch buffer ignores the blocks' alignment.)
    std::sort(near.begin() + near_start[y], near.end(), [&](const NearBlock& a, const NearBlock& b) {
      return shapes(a) != shapes(b) ? shapes(a) < shapes(b) : a.x < b.x;
    });
  }
  near_start.back() = static_cast<std::int32_t>(near.size());
  far_start.back() = static_cast<std::int32_t>(far.size());
}

void RemapPlan::build(const std::vector<Coord>& coords, int dst_w, int dst_h, int src_w, int src_h) {
  dst_w_ = dst_w;
  dst_h_ = dst_h;
  const std::size_t luma_count = static_cast<std::size_t>(dst_w) * dst_h;
  luma_.taps.assign(luma_count, Tap{});
  luma_.xs.assign(luma_count, -1);
  luma_.rows = src_h;
  luma_.ys.assign(luma_count, 0);
  for (std::size_t i = 0; i < luma_count; ++i) {
    const Coord& c = coords[i];
    // Texel centres sit at half-pixel positions.
    if (c.shown)
      tap_for(c.u * static_cast<float>(src_w) - 0.5f, c.v * static_cast<float>(src_h) - 0.5f, src_w, src_h, luma_, i);
  }
  // The source's chroma of an odd size rounds up (FFmpeg's layout); its
  // samples sit every two luma pixels whatever the size.
  const int cw = dst_w / 2, ch = dst_h / 2, src_cw = (src_w + 1) / 2, src_ch = (src_h + 1) / 2;
  const float half_w = static_cast<float>(src_w) / 2, half_h = static_cast<float>(src_h) / 2;
  const std::size_t chroma_count = static_cast<std::size_t>(cw) * ch;
  chroma_.taps.assign(chroma_count, Tap{});
  chroma_.xs.assign(chroma_count, -1);
  chroma_.rows = src_ch;
  chroma_.ys.assign(chroma_count, 0);
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      // A chroma sample covers a 2x2 block: it shows the picture where most
      // of the block does, at the block's mean position.
      float u = 0, v = 0;
      int shown = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const Coord& c = coords[static_cast<std::size_t>(2 * y + dy) * dst_w + (2 * x + dx)];
          if (!c.shown) continue;
          u += c.u;
          v += c.v;
          ++shown;
        }
      if (shown < 3) continue;
      u /= static_cast<float>(shown);
      v /= static_cast<float>(shown);
      tap_for(u * half_w - 0.5f, v * half_h - 0.5f, src_cw, src_ch, chroma_, static_cast<std::size_t>(y) * cw + x);
    }
  luma_.find_spans(dst_w, dst_h);
  chroma_.find_spans(cw, ch);
  luma_.stride = chroma_.stride = -1;  // offsets laid out at the first frame
}

void RemapPlan::Plane::find_spans(int w, int h) {
  width = w;
  first.assign(static_cast<std::size_t>(h), 0);
  end.assign(static_cast<std::size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    const std::int32_t* row = xs.data() + static_cast<std::ptrdiff_t>(y) * w;
    int a = 0, b = w;
    while (a < b && row[a] < 0) ++a;
    while (b > a && row[b - 1] < 0) --b;
    first[static_cast<std::size_t>(y)] = a;
    end[static_cast<std::size_t>(y)] = b;
  }
}

void RemapPlan::remap(const Plane& plane, int w, int h, const std::uint8_t* const* src, std::uint8_t* const* dst,
                      const int* dst_stride, int planes, std::uint8_t black, bool vector) {
  const std::ptrdiff_t stride = plane.stride;
  const bool avx2 = vector && has_avx2();
  for (int y = 0; y < h; ++y) {
    const Tap* t = plane.taps.data() + static_cast<std::ptrdiff_t>(y) * w;
    const int first = plane.first[static_cast<std::size_t>(y)], end = plane.end[static_cast<std::size_t>(y)];
    std::uint8_t* out[2];
    for (int p = 0; p < planes; ++p) {
      out[p] = dst[p] + static_cast<std::ptrdiff_t>(y) * dst_stride[p];
      // The black either side of what the row shows is written, not looked up.
      std::memset(out[p], black, static_cast<std::size_t>(first));
      std::memset(out[p] + end, black, static_cast<std::size_t>(w - end));
    }
    const auto row = static_cast<std::size_t>(y);
    const RowBlocks blocks{plane.near.data() + plane.near_start[row], plane.near.data() + plane.near_start[row + 1],
                           plane.far.data() + plane.far_start[row], plane.far.data() + plane.far_start[row + 1]};
    if (avx2 && planes == 2)
      remap_row_avx2<2>(t, blocks, first, end, src, stride, stride * plane.rows, out, black);
    else if (avx2)
      remap_row_avx2<1>(t, blocks, first, end, src, stride, stride * plane.rows, out, black);
    else
      for (int p = 0; p < planes; ++p) remap_taps(t, first, end, src[p], stride, out[p], black);
  }
}

void RemapPlan::apply(const AVFrame* src, AVFrame* dst, bool vector) {
  if (luma_.stride != src->linesize[0]) luma_.rebase(src->linesize[0]);
  remap(luma_, dst_w_, dst_h_, &src->data[0], &dst->data[0], &dst->linesize[0], 1, 16, vector);
  // U and V share the map; their offsets follow the planes' stride, and
  // they go through together when it is the same.
  const int cw = dst_w_ / 2, ch = dst_h_ / 2;
  if (src->linesize[1] == src->linesize[2]) {
    if (chroma_.stride != src->linesize[1]) chroma_.rebase(src->linesize[1]);
    remap(chroma_, cw, ch, &src->data[1], &dst->data[1], &dst->linesize[1], 2, 128, vector);
    return;
  }
  for (int plane = 1; plane <= 2; ++plane) {
    if (chroma_.stride != src->linesize[plane]) chroma_.rebase(src->linesize[plane]);
    remap(chroma_, cw, ch, &src->data[plane], &dst->data[plane], &dst->linesize[plane], 1, 128, vector);
  }
}

void RemapPlan::apply_rgba(const std::uint8_t* src, int src_w, std::uint8_t* dst) const {
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(src_w) * 4;
  for (std::size_t i = 0; i < luma_.taps.size(); ++i, dst += 4) {
    if (luma_.xs[i] < 0) {
      dst[0] = dst[1] = dst[2] = 0;
      dst[3] = 255;
      continue;
    }
    const std::uint8_t* p =
        src + static_cast<std::ptrdiff_t>(luma_.ys[i]) * stride + static_cast<std::ptrdiff_t>(luma_.xs[i]) * 4;
    for (int k = 0; k < 4; ++k) dst[k] = bilinear(p + k, stride, luma_.taps[i].fx, luma_.taps[i].fy, 4);
  }
}

}  // namespace orb
