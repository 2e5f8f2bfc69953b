#include <av/frame_convert.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>

namespace orb {

AvFramePtr convert_frame(const AVFrame* source, AVPixelFormat format, int width, int height) {
  if (source == nullptr || source->width <= 0 || source->height <= 0) return nullptr;
  width = width > 0 ? width : source->width;
  height = height > 0 ? height : source->height;
  const auto from = limited_range_format(static_cast<AVPixelFormat>(source->format));
  SwsPtr sws(sws_getContext(source->width, source->height, from, width, height, format, SWS_BILINEAR, nullptr,
                            nullptr, nullptr));
  if (!sws) return nullptr;
  AvFramePtr out = make_frame();
  if (!out) return nullptr;
  out->format = format;
  out->width = width;
  out->height = height;
  if (av_frame_get_buffer(out.get(), 0) < 0) return nullptr;  // aligned and padded
  if (sws_scale(sws.get(), source->data, source->linesize, 0, source->height, out->data, out->linesize) <= 0) {
    return nullptr;
  }
  return out;
}

std::vector<std::uint8_t> packed_pixels(const AVFrame* source, AVPixelFormat format) {
  const AvFramePtr frame = convert_frame(source, format);
  if (!frame) return {};
  const int row = av_image_get_linesize(format, frame->width, 0);
  if (row <= 0) return {};
  std::vector<std::uint8_t> out(static_cast<std::size_t>(row) * static_cast<std::size_t>(frame->height));
  for (int y = 0; y < frame->height; ++y) {
    std::memcpy(out.data() + static_cast<std::size_t>(y) * row, frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0],
                static_cast<std::size_t>(row));
  }
  return out;
}

}  // namespace orb
