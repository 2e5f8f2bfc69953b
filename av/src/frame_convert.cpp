#include <av/frame_convert.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstring>

namespace orb {
namespace {

bool fits(const AVFrame* source, AVPixelFormat format, int width, int height) {
  return limited_range_format(static_cast<AVPixelFormat>(source->format)) == limited_range_format(format) &&
         source->width == width && source->height == height;
}

bool usable(const AVFrame* source) {
  return source != nullptr && source->width > 0 && source->height > 0 && source->data[0] != nullptr;
}

}  // namespace

bool FrameScaler::scale_into(const AVFrame* source, AVFrame* out) {
  // A JPEG-range source goes to a JPEG-range layout sample for sample (both
  // read as plain); anything else gets the range its target declares.
  const auto original = static_cast<AVPixelFormat>(source->format);
  const auto from = limited_range_format(original);
  const auto target = static_cast<AVPixelFormat>(out->format);
  const auto to = from != original ? limited_range_format(target) : target;
  context_.reset(sws_getCachedContext(context_.release(), source->width, source->height, from, out->width, out->height,
                                      to, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!context_) return false;
  return sws_scale(context_.get(), source->data, source->linesize, 0, source->height, out->data, out->linesize) > 0;
}

AvFramePtr FrameScaler::scale(const AVFrame* source, AVPixelFormat format, int width, int height) {
  if (!usable(source)) return nullptr;
  width = width > 0 ? width : source->width;
  height = height > 0 ? height : source->height;
  AvFramePtr out = make_frame();
  if (!out) return nullptr;
  if (fits(source, format, width, height)) {
    if (av_frame_ref(out.get(), source) < 0) return nullptr;
    out->format = format;
    return out;
  }
  out->format = format;
  out->width = width;
  out->height = height;
  if (av_frame_get_buffer(out.get(), 0) < 0) return nullptr;  // aligned and padded
  if (!scale_into(source, out.get())) return nullptr;
  av_frame_copy_props(out.get(), source);
  return out;
}

const AVFrame* FrameScaler::scale_reused(const AVFrame* source, AVPixelFormat format, int width, int height) {
  if (!usable(source) || width <= 0 || height <= 0) return nullptr;
  if (fits(source, format, width, height)) return source;
  if (!reused_ || reused_->format != format || reused_->width != width || reused_->height != height) {
    reused_ = make_frame();
    if (!reused_) return nullptr;
    reused_->format = format;
    reused_->width = width;
    reused_->height = height;
    if (av_frame_get_buffer(reused_.get(), 0) < 0) {
      reused_.reset();
      return nullptr;
    }
  }
  if (!scale_into(source, reused_.get())) return nullptr;
  return reused_.get();
}

AvFramePtr convert_frame(const AVFrame* source, AVPixelFormat format, int width, int height) {
  return FrameScaler().scale(source, format, width, height);
}

std::vector<std::uint8_t> packed_pixels(const AVFrame* source, AVPixelFormat format) {
  const AvFramePtr frame = convert_frame(source, format);
  if (!frame) return {};
  const int row = av_image_get_linesize(format, frame->width, 0);
  if (row <= 0) return {};
  std::vector<std::uint8_t> out(static_cast<std::size_t>(row) * static_cast<std::size_t>(frame->height));
  for (int y = 0; y < frame->height; ++y) {
    std::memcpy(out.data() + static_cast<std::size_t>(y) * row,
                frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0], static_cast<std::size_t>(row));
  }
  return out;
}

}  // namespace orb
