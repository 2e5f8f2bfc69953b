#pragma once
// Calibration of one picture file: detect the image circle and write the
// single-lens calibration file for it.

namespace orb {

inline constexpr int kCalibrationNoCircle = 398;
inline constexpr int kCalibrationNotWritten = 414;
inline constexpr int kCalibrationFileNotCreated = 120;

// 0; 398 when no circle is found (also for an unreadable picture); 414
// when the calibration file cannot be written. Traces the outcome on the
// diagnostic channel.
int CalcauteDingbiao(const char* picture_path, const char* calibration_path, float fov_deg);

// The calibration file of one detected circle: 0, or 120 when it cannot be
// written (including a field of view outside (0, 360] degrees).
int WriteCalibrationFile(const char* path, float fov_deg, float cx, float cy, float radius, int width, int height);

// Whether the circle lies wholly inside a width x height picture.
bool circle_is_complete(float cx, float cy, float radius, int width, int height);

}  // namespace orb
