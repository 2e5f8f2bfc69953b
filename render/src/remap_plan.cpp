#include <render/remap_plan.h>

#include <algorithm>
#include <cmath>

namespace orb {
namespace {

// `step`: bytes from one sample to the next along a row.
inline std::uint8_t bilinear(const std::uint8_t* p, std::ptrdiff_t stride, int fx, int fy, int step = 1) {
  const int top = p[0] * (128 - fx) + p[step] * fx;
  const int bottom = p[stride] * (128 - fx) + p[stride + step] * fx;
  return static_cast<std::uint8_t>((top * (128 - fy) + bottom * fy + 8192) >> 14);
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
}

void RemapPlan::build(const std::vector<Coord>& coords, int dst_w, int dst_h, int src_w, int src_h) {
  dst_w_ = dst_w;
  dst_h_ = dst_h;
  const std::size_t luma_count = static_cast<std::size_t>(dst_w) * dst_h;
  luma_.taps.assign(luma_count, Tap{});
  luma_.xs.assign(luma_count, -1);
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
  luma_.stride = chroma_.stride = -1;  // offsets laid out at the first frame
}

void RemapPlan::remap(const Plane& plane, int w, int h, const std::uint8_t* src, std::uint8_t* dst, int dst_stride,
                      std::uint8_t black) {
  const std::ptrdiff_t stride = plane.stride;
  const Tap* t = plane.taps.data();
  for (int y = 0; y < h; ++y) {
    std::uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dst_stride;
    for (int x = 0; x < w; ++x, ++t) {
      out[x] = t->offset < 0 ? black : bilinear(src + t->offset, stride, t->fx, t->fy);
    }
  }
}

void RemapPlan::apply(const AVFrame* src, AVFrame* dst) {
  if (luma_.stride != src->linesize[0]) luma_.rebase(src->linesize[0]);
  remap(luma_, dst_w_, dst_h_, src->data[0], dst->data[0], dst->linesize[0], 16);
  // U and V share the map; their offsets follow each plane's own stride.
  for (int plane = 1; plane <= 2; ++plane) {
    if (chroma_.stride != src->linesize[plane]) chroma_.rebase(src->linesize[plane]);
    remap(chroma_, dst_w_ / 2, dst_h_ / 2, src->data[plane], dst->data[plane], dst->linesize[plane], 128);
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
