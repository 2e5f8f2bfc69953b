#pragma once
// The calibration tool's model: the analysed picture's size, the detected
// circle and the one the user corrects, the tracker over the picture, and
// saving the calibration file.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "circle_tracker.h"

namespace dioptra {

// What the command line asks for: `MEDIA CALIBRATION` (as ostrel starts
// the tool) or `MEDIA` alone (as a desktop entry does: saved beside it as
// "<name>.inf"); nothing for anything else.
struct StartFiles {
  std::filesystem::path media, calibration;
};
std::optional<StartFiles> start_files(const std::vector<std::string>& arguments);

struct CircleValues {
  float cx = 0, cy = 0, radius = 0;
};

class CalibrationSession {
 public:
  // The picture to analyse for `media`: the file itself for a picture
  // (".jpg" anywhere in the lower-cased path), else the video's first frame
  // captured to "onframe.jpg" in `work_dir`. Empty, with `error` set, when
  // the frame cannot be captured.
  static std::filesystem::path picture_for(const std::filesystem::path& media, const std::filesystem::path& work_dir,
                                           std::string& error);

  // Detects the circle in `picture` (a JPEG or PNG file), or, when `video`
  // names the video the picture was taken from, over that video's first
  // seconds (the picture is what is shown). False, with `error` set, when
  // the picture cannot be read. When no trustworthy circle is found, a
  // centred one inscribed in the shorter side stands in for it (found() is
  // false) for the user to drag into place; dual_lens() says when two
  // lens circles stand side by side.
  bool analyse(const std::filesystem::path& picture, std::string& error, const std::filesystem::path& video = {});
  bool dual_lens() const { return dual_lens_; }
  // Back to the circle found (or the stand-in).
  void reset_to_detected();
  // The circle box a drag ended with, in display pixels.
  void end_drag(const Box& box);
  // The circle typed in as numbers: false (nothing changes) unless the
  // centre lies on the picture and the radius is above 0 and at most the
  // picture's diagonal.
  bool set_circle(const CircleValues& values);

  bool loaded() const { return loaded_; }
  bool found() const { return found_; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  float ratio() const { return ratio_; }
  CircleValues current() const { return current_; }
  CircleValues detected() const { return detected_; }
  CCircleTracker& tracker() { return tracker_; }
  const CCircleTracker& tracker() const { return tracker_; }

  // Writes the calibration file for the current circle. `fov_text` is the
  // lens's field of view in degrees as typed. The empty string on success,
  // else the reason: "radius" (nothing to save), "fov" (not a number in
  // (0, 360]), "file" (cannot be written).
  std::string save(const std::filesystem::path& path, const std::string& fov_text) const;
  // The field of view typed, when it is a number in (0, 360].
  static std::optional<float> parse_fov(const std::string& text);

 private:
  void show(const CircleValues& values);

  bool loaded_ = false;
  bool found_ = false;
  bool dual_lens_ = false;
  int columns_ = 0, rows_ = 0;
  float ratio_ = 1;
  CircleValues current_, detected_;
  CCircleTracker tracker_;
};

}  // namespace dioptra
