// Hostile media bytes through the input the player and the converter open
// (demuxer, stream choice, decoders, seeking) and the scaler they store
// pictures with, read from memory through a custom AVIO context.
#include <av/decoding_input.h>
#include <av/frame_convert.h>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

struct Bytes {
  const std::uint8_t* data;
  std::int64_t size;
  std::int64_t pos = 0;
};

int read_bytes(void* opaque, std::uint8_t* out, int wanted) {
  auto* b = static_cast<Bytes*>(opaque);
  const std::int64_t n = std::min<std::int64_t>(wanted, b->size - b->pos);
  if (n <= 0) return AVERROR_EOF;
  std::memcpy(out, b->data + b->pos, static_cast<std::size_t>(n));
  b->pos += n;
  return static_cast<int>(n);
}

std::int64_t seek_bytes(void* opaque, std::int64_t offset, int whence) {
  auto* b = static_cast<Bytes*>(opaque);
  if (whence & AVSEEK_SIZE) return b->size;
  whence &= ~AVSEEK_FORCE;
  const std::int64_t base = whence == SEEK_CUR ? b->pos : whence == SEEK_END ? b->size : 0;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  const std::int64_t to = base + offset;
  if (to < 0 || to > b->size) return -1;
  b->pos = to;
  return to;
}

struct IoDeleter {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  av_log_set_level(AV_LOG_QUIET);
  Bytes bytes{data, static_cast<std::int64_t>(size)};
  constexpr int kBuffer = 4096;
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBuffer));
  if (!buffer) return 0;
  std::unique_ptr<AVIOContext, IoDeleter> io(
      avio_alloc_context(buffer, kBuffer, 0, &bytes, read_bytes, nullptr, seek_bytes));
  if (!io) {
    av_free(buffer);
    return 0;
  }
  std::string error;
  orb::DecodingInput media =
      orb::DecodingInput::open("fuzzed", orb::InputOptions{.audio = true, .threads = false, .io = io.get()}, error);
  if (!media) {
    if (error.rfind("error: ", 0) != 0) __builtin_trap();  // every refusal says why
    return 0;
  }
  const AVCodecContext* decoder = media.video.decoder.get();
  // The size the player opens with; a header may claim any size at all, and
  // a picture that large is refused by the player's renderer anyway.
  const int width = decoder->width, height = decoder->height;
  if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > 4096 * 4096) return 0;
  orb::FrameScaler scaler;
  orb::AvFramePtr picture = orb::make_frame();
  auto take = [&](int count) {
    for (int i = 0; i < count && media.next_picture(picture.get()) == 0; ++i) {
      if (static_cast<std::int64_t>(picture->width) * picture->height <= 4096 * 4096) {
        orb::AvFramePtr stored = scaler.scale(picture.get(), AV_PIX_FMT_YUV420P, width, height);  // as the player
        if (stored && (stored->width != width || stored->height != height)) __builtin_trap();
        scaler.scale_reused(picture.get(), AV_PIX_FMT_YUV420P, width, height);  // as the converter
      }
      av_frame_unref(picture.get());
    }
  };
  take(6);
  if (media.seek(0.5)) take(2);
  return 0;
}
