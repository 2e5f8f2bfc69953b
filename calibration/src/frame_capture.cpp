#include <calibration/frame_capture.h>

#include <av/av_ptr.h>
#include <av/media_open.h>
#include <common/debug_trace.h>

#include <cstdio>
#include <string>

namespace orb {
namespace {

// The picture as the JPEG encoder takes it: 4:2:0 planes declared full
// range. A 4:2:0 picture is handed over as it is (its levels kept, as the
// capture always did: converting the range would clip the dark surround
// and ring at the rim); any other layout is converted first.
AvFramePtr to_jpeg_layout(const AVFrame* picture) {
  AvFramePtr out = make_frame();
  const auto format = static_cast<AVPixelFormat>(picture->format);
  if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) {
    if (av_frame_ref(out.get(), picture) < 0) return nullptr;
    out->format = AV_PIX_FMT_YUVJ420P;
    out->color_range = AVCOL_RANGE_JPEG;
    return out;
  }
  out->format = AV_PIX_FMT_YUVJ420P;
  out->width = picture->width;
  out->height = picture->height;
  if (av_frame_get_buffer(out.get(), 0) < 0) return nullptr;
  SwsPtr sws(sws_getContext(picture->width, picture->height, format, picture->width, picture->height,
                            AV_PIX_FMT_YUVJ420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!sws) return nullptr;
  sws_scale(sws.get(), picture->data, picture->linesize, 0, picture->height, out->data, out->linesize);
  return out;
}

int encode_to(const std::string& path, const AVFrame* picture) {
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, av_guess_format("mjpeg", nullptr, nullptr), nullptr, path.c_str()) < 0 ||
      !raw) {
    return 191;
  }
  AvOutputPtr out(raw);
  if (avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
    std::printf("Couldn't open output file.");
    return 191;
  }
  AVStream* stream = avformat_new_stream(out.get(), nullptr);
  if (!stream) return 197;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) {
    std::printf("Codec not found.");
    return 219;
  }
  AvCodecContextPtr enc(avcodec_alloc_context3(codec));
  enc->codec_type = AVMEDIA_TYPE_VIDEO;
  enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
  enc->width = picture->width;
  enc->height = picture->height;
  enc->time_base = AVRational{1, 25};
  enc->flags |= AV_CODEC_FLAG_QSCALE;  // a fixed, high quality for the circle detection
  if (avcodec_open2(enc.get(), codec, nullptr) < 0) {
    std::printf("Could not open codec.");
    return 224;
  }
  avcodec_parameters_from_context(stream->codecpar, enc.get());
  stream->time_base = enc->time_base;
  if (avformat_write_header(out.get(), nullptr) < 0) return 191;
  AvFramePtr jpeg = to_jpeg_layout(picture);
  if (!jpeg) return 242;
  jpeg->pts = 0;
  jpeg->quality = 2 * FF_QP2LAMBDA;
  AvPacketPtr packet = make_packet();
  if (avcodec_send_frame(enc.get(), jpeg.get()) < 0 || avcodec_send_frame(enc.get(), nullptr) < 0) {
    std::printf("Encode Error.\n");
    return 242;
  }
  bool written = false;
  while (avcodec_receive_packet(enc.get(), packet.get()) >= 0) {
    packet->stream_index = stream->index;
    if (av_write_frame(out.get(), packet.get()) < 0) return 242;
    written = true;
    av_packet_unref(packet.get());
  }
  if (!written || av_write_trailer(out.get()) < 0) {
    std::printf("Encode Error.\n");
    return 242;
  }
  std::printf("Encode Successful.\n");
  return 0;
}

}  // namespace

int WriteJpegPicture(const char* path, const AVFrame* picture) {
  if (path == nullptr || picture == nullptr) return 191;
  // Written beside, then renamed: an earlier picture stays whole until the new one is.
  const std::string temp = std::string(path) + ".part";
  const int result = encode_to(temp, picture);
  if (result != 0 || std::rename(temp.c_str(), path) != 0) {
    std::remove(temp.c_str());
    return result != 0 ? result : 191;
  }
  return 0;
}

int CaptureFrame2Jpg(const char* media_path, const char* capture_path,
                     const std::function<int(const char*, const AVFrame*)>& encode) {
  if (media_path == nullptr) return kCaptureOpenFailed;
  std::string error;
  const OpenedInput input = open_media(media_path, error);
  if (!input) {
    debug_trace("%s", error.c_str());
    return error.find("cannot read the streams") != std::string::npos ? kCaptureNoStreamInfo : kCaptureOpenFailed;
  }
  AVFormatContext* raw = input.get();
  int stream_index = -1;
  for (unsigned i = 0; i < raw->nb_streams && stream_index < 0; ++i) {
    if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(raw->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      stream_index = static_cast<int>(i);
    }
  }
  if (stream_index < 0) return kCaptureNoVideo;
  const AVCodecParameters* par = raw->streams[stream_index]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return kCaptureNoDecoder;
  AvCodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), par) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    return kCaptureDecoderNotOpened;
  }
  AvFramePtr picture = make_frame();
  AvPacketPtr packet = make_packet();
  if (!picture || !packet) return kCaptureNoPicture;

  // Every picture the decoder hands out is tried until one encodes.
  bool unwritable = false;
  auto try_pictures = [&]() {
    while (avcodec_receive_frame(decoder.get(), picture.get()) >= 0) {
      const int result = encode(capture_path, picture.get());
      av_frame_unref(picture.get());
      if (result == 0) return true;
      if (result == 191) {
        unwritable = true;  // the file cannot be written: another picture will not help
        return false;
      }
      debug_trace("capture: picture not encoded (%d), trying the next one", result);
    }
    return false;
  };
  while (!unwritable && av_read_frame(raw, packet.get()) >= 0) {
    const bool ours = packet->stream_index == stream_index;
    if (ours && avcodec_send_packet(decoder.get(), packet.get()) >= 0 && try_pictures()) return kCaptureOk;
    av_packet_unref(packet.get());
  }
  if (!unwritable && avcodec_send_packet(decoder.get(), nullptr) >= 0 && try_pictures()) return kCaptureOk;  // pictures held back
  return kCaptureNoWrite;  // nothing was written: not a success
}

}  // namespace orb
