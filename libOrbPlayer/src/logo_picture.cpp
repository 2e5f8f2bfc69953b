// The logo: any picture FFmpeg reads, decoded into packed BGR rows.
#include "logo_picture.h"

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/decoding_input.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstdio>
#include <string>

namespace orb::player {

bool load_logo_picture(const char* path, std::vector<std::uint8_t>& bgr, int& width, int& height, std::string& error) {
  auto refuse = [&](const char* text, int code = 0) {
    char line[256];
    std::snprintf(line, sizeof line, text, code);
    error = line;
    return false;
  };
  if (path == nullptr) return refuse("error: couldn't open input picture file, code: %d;\n", AVERROR(EINVAL));
  std::string opened;
  // A FIFO would block the player's start for good: opening refuses it.
  DecodingInput media = DecodingInput::open(path, InputOptions{.threads = false}, opened);
  switch (media.failure()) {
    case InputFailure::none: break;
    case InputFailure::not_opened:
      if (media.error_code() == 0 || media.error_code() == AVERROR_EXIT) {
        error = opened + ";\n";
        return false;
      }
      return refuse("error: couldn't open input picture file, code: %d;\n", media.error_code());
    case InputFailure::no_streams: return refuse("error: couldn't find stream information for picture file;\n");
    case InputFailure::no_video: return refuse("error: can not find a video stream for picture;\n");
    case InputFailure::no_decoder: return refuse("error: codec not found for picture.\n");
    case InputFailure::decoder_not_opened: return refuse("error: can not open codec for picture.\n");
  }
  AvFramePtr picture = make_frame();
  if (!picture || media.next_picture(picture.get()) != 0) return refuse("error: no frame decoded;\n");

  width = picture->width;
  height = picture->height;
  bgr = packed_pixels(picture.get(), AV_PIX_FMT_BGR24);
  if (bgr.empty()) return refuse("error: on createing converter context for picture decoding;\n");
  return true;
}

}  // namespace orb::player
