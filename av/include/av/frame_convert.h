#pragma once
// Pixel conversion that only ever writes into buffers FFmpeg allocated for
// it, with its own alignment and padding: swscale's SIMD paths write past
// the last pixel of a row, so a destination sized exactly width x height x
// bytes is overrun by small and odd-sized pictures.
#include <av/av_ptr.h>

#include <cstdint>
#include <vector>

namespace orb {

// `source` as a new frame of `format`, `width` x `height` (the source's
// size when 0); null when the conversion cannot be made. The JPEG ("full
// range") 4:2:0/4:2:2/4:4:4 layouts are read as their plain equivalents,
// as the rest of the suite does.
AvFramePtr convert_frame(const AVFrame* source, AVPixelFormat format, int width = 0, int height = 0);

// `source` as tightly packed rows of a packed format (BGR24, RGBA, ...):
// width x height x bytes per pixel; empty when it cannot be made.
std::vector<std::uint8_t> packed_pixels(const AVFrame* source, AVPixelFormat format);

}  // namespace orb
