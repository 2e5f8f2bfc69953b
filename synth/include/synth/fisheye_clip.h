#pragma once
// Test and sample media whose lens geometry is known exactly.
#include <geometry/calibration_file.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orb::synth {

enum class AudioTrack { kNone, kSine, kClick };

struct Picture;

struct ClipSpec {
  int width = 1280;
  int height = 720;
  int fps_num = 30;
  int fps_den = 1;
  double seconds = 3;
  // Image circle in pixel-centre coordinates ((0, 0) is the middle of the
  // top-left pixel); a radius of 0 means half the shorter side, centred.
  float centre_x = 0, centre_y = 0, radius = 0;
  float fov_deg = 180;
  AudioTrack audio = AudioTrack::kSine;
  int sample_rate = 48000;
  int audio_channels = 2;
  int b_frames = 0;            // >0 makes presentation order differ from decode order
  int scene_variant = 0;       // other wall colours and a room turned about the lens axis
  bool pcm_audio = false;      // uncompressed 16-bit audio instead of AAC (mov, mkv)
  double fade_in_seconds = 0;  // the picture rises from black over this time (a dark first frame)

  float circle_centre_x() const { return radius > 0 ? centre_x : static_cast<float>(width - 1) / 2; }
  float circle_centre_y() const { return radius > 0 ? centre_y : static_cast<float>(height - 1) / 2; }
  float circle_radius() const { return radius > 0 ? radius : static_cast<float>(std::min(width, height)) / 2; }
  int frame_count() const;
  // Draws over frame `number` before it is encoded (a camera's burned-in
  // clock, a scene that changes); empty: the frames as they are.
  std::function<void(int number, Picture& picture)> overlay;
};

// The calibration file that describes the clip's lens.
CalibrationFile clip_calibration(const ClipSpec& spec);

// A YUV 4:2:0 picture with tightly packed planes (chroma (w+1)/2 x (h+1)/2).
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> y, u, v;
  int chroma_width() const { return (width + 1) / 2; }
  int chroma_height() const { return (height + 1) / 2; }
};

// The room through the lens, without frame code or moving marks.
Picture render_scene(const ClipSpec& spec);
// Frame `number`: the scene plus the frame code and a mark that moves.
void stamp_frame(const ClipSpec& spec, const Picture& scene, int number, Picture& out);

// The frame code: 16 bits as squares along the top-left corner, outside
// the image circle. Reads it back from any luma plane of the clip's size.
int read_frame_code(const std::uint8_t* luma, int stride, int width, int height);
// Square size and origin of the code for a picture width.
int frame_code_block(int width);

// Writes the clip (container from the extension, H.264 video, AAC audio).
// Returns an empty string, or an "error: ..." line.
std::string write_clip(const std::string& path, const ClipSpec& spec);

}  // namespace orb::synth
