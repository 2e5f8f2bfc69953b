#pragma once
// Pictures of the views as shown: read back from the video window and
// saved as PNG in the user's pictures folder.
#include <QImage>
#include <QString>

#include <cstdint>
#include <filesystem>

namespace ostrel {

// What X shows in `window` (all its viewports, at its size); null on failure.
QImage grab_window_picture(unsigned long window);

// The user's pictures folder (`xdg-user-dir PICTURES`) when one is set up
// and can be made, else "snapshots" in `data_dir`.
std::filesystem::path snapshot_folder(const std::filesystem::path& data_dir);

// "<video name> 00-01-05 2026-12-08 10-15-00.png": the video, the position
// in it, and when the picture was taken.
QString snapshot_name(const QString& media, std::int64_t position_seconds);

// Writes `picture` as `folder`/`name` through a temporary file, never over
// an existing picture (a number is added). The path written, or empty.
QString save_snapshot(const QImage& picture, const std::filesystem::path& folder, const QString& name);

}  // namespace ostrel
