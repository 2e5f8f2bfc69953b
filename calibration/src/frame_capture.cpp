#include <calibration/frame_capture.h>

#include <av/av_ptr.h>
#include <av/decoding_input.h>
#include <av/frame_convert.h>
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
  AvFramePtr out = FrameScaler().scale(picture, AV_PIX_FMT_YUVJ420P);
  if (out) out->color_range = AVCOL_RANGE_JPEG;
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
    debug_trace("Couldn't open output file.");
    return 191;
  }
  AVStream* stream = avformat_new_stream(out.get(), nullptr);
  if (!stream) return 197;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) {
    debug_trace("Codec not found.");
    return 219;
  }
  AvCodecContextPtr enc(avcodec_alloc_context3(codec));
  if (!enc) {
    debug_trace("Could not allocate the encoder.");
    return 219;
  }
  enc->codec_type = AVMEDIA_TYPE_VIDEO;
  enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
  enc->width = picture->width;
  enc->height = picture->height;
  enc->time_base = AVRational{1, 25};
  enc->flags |= AV_CODEC_FLAG_QSCALE;  // a fixed, high quality for the circle detection
  if (avcodec_open2(enc.get(), codec, nullptr) < 0) {
    debug_trace("Could not open codec.");
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
    debug_trace("Encode Error.\n");
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
    debug_trace("Encode Error.\n");
    return 242;
  }
  debug_trace("Encode Successful.\n");
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
  DecodingInput media = DecodingInput::open(media_path, InputOptions{}, error);
  switch (media.failure()) {
    case InputFailure::none: break;
    case InputFailure::no_streams: return kCaptureNoStreamInfo;
    case InputFailure::no_video: return kCaptureNoVideo;
    case InputFailure::no_decoder: return kCaptureNoDecoder;
    case InputFailure::decoder_not_opened: return kCaptureDecoderNotOpened;
    default: debug_trace("%s", error.c_str()); return kCaptureOpenFailed;
  }
  AvFramePtr picture = make_frame();
  if (!picture) return kCaptureNoPicture;

  // Every picture the decoder hands out is tried until one encodes.
  while (media.next_picture(picture.get()) == 0) {
    const int result = encode(capture_path, picture.get());
    av_frame_unref(picture.get());
    if (result == 0) return kCaptureOk;
    if (result == 191) break;  // the file cannot be written: another picture will not help
    debug_trace("capture: picture not encoded (%d), trying the next one", result);
  }
  return kCaptureNoWrite;  // nothing was written: not a success
}

}  // namespace orb
