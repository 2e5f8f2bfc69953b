// The logo: any picture FFmpeg reads, decoded into packed BGR rows.
#include "logo_picture.h"

#include <av/av_ptr.h>

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
  const auto format = limited_range_format(static_cast<AVPixelFormat>(picture->format));
  SwsPtr scaler(sws_getContext(width, height, format, width, height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr,
                               nullptr, nullptr));
  if (!scaler) return refuse("error: on createing converter context for picture decoding;\n");
  const int size = av_image_get_buffer_size(AV_PIX_FMT_BGR24, width, height, 1);
  if (size <= 0) return refuse("error: fail to fill image arrays for picture decoding;\n");
  bgr.assign(static_cast<std::size_t>(size), 0);
  std::uint8_t* dst[4] = {bgr.data(), nullptr, nullptr, nullptr};
  int dst_stride[4] = {width * 3, 0, 0, 0};
  sws_scale(scaler.get(), picture->data, picture->linesize, 0, height, dst, dst_stride);
  return true;
}

}  // namespace orb::player
