#pragma once
// The first decodable frame of a video as a JPEG picture (full-range 4:2:0).
#include <functional>

extern "C" {
struct AVFrame;
}

namespace orb {

// Internal results of the capture (all non-zero ones are failures).
enum CaptureResult : int {
  kCaptureOk = 0,
  kCaptureNoWrite = 1,  // every picture failed to encode, or none was decoded
  kCaptureOpenFailed = 289,
  kCaptureNoStreamInfo = 295,
  kCaptureNoVideo = 306,
  kCaptureNoDecoder = 314,
  kCaptureDecoderNotOpened = 320,
  kCaptureNoPicture = 328,
  kCaptureNoBuffer = 336,
};

// Encodes one picture as a JPEG file at `path`: 0, or 191 (file), 197
// (stream), 219 (no encoder), 224 (encoder not opened), 242 (encoding).
// Nothing is left under `path` on failure.
int WriteJpegPicture(const char* path, const AVFrame* picture);

// Decodes `media_path` and writes its first picture that encodes to
// `capture_path`. `encode` stands in for WriteJpegPicture (tests).
int CaptureFrame2Jpg(const char* media_path, const char* capture_path,
                     const std::function<int(const char*, const AVFrame*)>& encode = WriteJpegPicture);

}  // namespace orb
