#pragma once
// Pixel conversion that only ever writes into buffers FFmpeg allocated for
// it, with its own alignment and padding: swscale's SIMD paths write past
// the last pixel of a row, so a destination sized exactly width x height x
// bytes is overrun by small and odd-sized pictures.
//
// The JPEG ("full range") YUV layouts are read and written as their plain
// equivalents, as the rest of the suite does: the shaders and the encoders
// take the samples as they are, so no range is stretched or clipped here.
#include <av/av_ptr.h>

#include <cstdint>
#include <vector>

namespace orb {

class FrameScaler {
 public:
  // `source` as a frame of `format`, `width` x `height` (the source's size
  // when 0): a new reference to `source` when it already is one, else a
  // fresh buffer. Null when the conversion cannot be made.
  AvFramePtr scale(const AVFrame* source, AVPixelFormat format, int width = 0, int height = 0);

  // The same into a frame this scaler keeps for the next call (or `source`
  // itself when it already fits): for a stream of pictures of one size.
  const AVFrame* scale_reused(const AVFrame* source, AVPixelFormat format, int width, int height);

 private:
  bool scale_into(const AVFrame* source, AVFrame* out);

  SwsPtr context_;
  AvFramePtr reused_;
};

// `source` as a new frame of `format` (a one-off FrameScaler::scale).
AvFramePtr convert_frame(const AVFrame* source, AVPixelFormat format, int width = 0, int height = 0);

// `source` as tightly packed rows of a packed format (BGR24, RGBA, ...):
// width x height x bytes per pixel; empty when it cannot be made.
std::vector<std::uint8_t> packed_pixels(const AVFrame* source, AVPixelFormat format);

}  // namespace orb
