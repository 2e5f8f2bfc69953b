#pragma once
// Owners for FFmpeg objects: every path frees through these, none by hand.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace orb {

struct AvFrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvPacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvCodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct AvInputDeleter {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct AvOutputDeleter {
  void operator()(AVFormatContext* f) const {
    if (f && f->pb && !(f->oformat->flags & AVFMT_NOFILE)) avio_closep(&f->pb);
    avformat_free_context(f);
  }
};
struct SwsDeleter {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrDeleter {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

using AvFramePtr = std::unique_ptr<AVFrame, AvFrameDeleter>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketDeleter>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextDeleter>;
using AvInputPtr = std::unique_ptr<AVFormatContext, AvInputDeleter>;
using AvOutputPtr = std::unique_ptr<AVFormatContext, AvOutputDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;

inline AvFramePtr make_frame() { return AvFramePtr(av_frame_alloc()); }
inline AvPacketPtr make_packet() { return AvPacketPtr(av_packet_alloc()); }

// FFmpeg's text for an error code.
std::string av_error_text(int code);

// The limited-range twin of a full-range JPEG pixel format (others unchanged).
AVPixelFormat limited_range_format(AVPixelFormat format);

}  // namespace orb
