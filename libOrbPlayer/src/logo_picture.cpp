// The logo: any picture FFmpeg reads, decoded into packed BGR rows.
#include "logo_picture.h"

#include <av/av_ptr.h>
#include <av/frame_convert.h>
#include <av/media_open.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstdio>
#include <string>

namespace orb::player {

bool load_logo_picture(const char* path, std::vector<std::uint8_t>& bgr, int& width, int& height,
                       std::string& error) {
  auto refuse = [&](const char* text, int code = 0) {
    char line[256];
    std::snprintf(line, sizeof line, text, code);
    error = line;
    return false;
  };
  if (path == nullptr) return refuse("error: couldn't open input picture file, code: %d;\n", AVERROR(EINVAL));
  if (const std::string refused = refuse_special_file(path); !refused.empty()) {
    error = refused + ";\n";  // a FIFO would block the player's start for good
    return false;
  }
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return refuse("error: couldn't allocate formate context to load picture file;\n");
  if (int ret = avformat_open_input(&raw, path, nullptr, nullptr); ret < 0) {
    return refuse("error: couldn't open input picture file, code: %d;\n", ret);
  }
  AvInputPtr input(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) {
    return refuse("error: couldn't find stream information for picture file;\n");
  }
  AvCodecContextPtr decoder;
  int stream_index = -1;
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVCodecParameters* par = raw->streams[i]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return refuse("error: codec not found for picture.\n");
    AvCodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), par) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0) {
      return refuse("error: can not open codec for picture.\n");
    }
    decoder = std::move(context);
    stream_index = static_cast<int>(i);
  }
  if (!decoder) return refuse("error: can not find a video stream for picture;\n");

  AvPacketPtr packet = make_packet();
  AvFramePtr picture = make_frame();
  bool decoded = false;
  while (!decoded && av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == stream_index) {
      if (avcodec_send_packet(decoder.get(), packet.get()) < 0) {
        av_packet_unref(packet.get());
        return refuse("error: decode picture error;\n");
      }
      decoded = avcodec_receive_frame(decoder.get(), picture.get()) >= 0;
    }
    av_packet_unref(packet.get());
  }
  if (!decoded && avcodec_send_packet(decoder.get(), nullptr) >= 0) {
    decoded = avcodec_receive_frame(decoder.get(), picture.get()) >= 0;  // single-picture decoders may hold it
  }
  if (!decoded) return refuse("error: no frame decoded;\n");

  width = picture->width;
  height = picture->height;
  bgr = packed_pixels(picture.get(), AV_PIX_FMT_BGR24);
  if (bgr.empty()) return refuse("error: on createing converter context for picture decoding;\n");
  return true;
}

}  // namespace orb::player
