#pragma once
// What the ostrel window tests look at: the pixels of the video window and
// real input through the X server.
#include <geometry/calibration_file.h>
#include <synth/fisheye_clip.h>

#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "app_files.h"
#include "main_window.h"
#include "x11_grab.h"

namespace ostrel::test {

inline std::vector<int> grab(unsigned long window, int& width, int& height) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return grab_window(x11 ? x11->display() : nullptr, window, width, height);
}

inline int lit_share_percent(const std::vector<int>& samples) {
  if (samples.empty()) return 0;
  long lit = 0;
  for (int s : samples) lit += s > 24;
  return static_cast<int>(lit * 100 / static_cast<long>(samples.size()));
}

inline int changed_share_percent(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.empty() || a.size() != b.size()) return 100;
  long changed = 0;
  for (std::size_t i = 0; i < a.size(); ++i) changed += std::abs(a[i] - b[i]) > 16;
  return static_cast<int>(changed * 100 / static_cast<long>(a.size()));
}

// Real input events through XTEST.
inline bool xdotool(const QString& arguments) {
  return std::system(("xdotool " + arguments).toLocal8Bit().constData()) == 0;
}

// A data directory whose default lens is the clip's own.
inline std::unique_ptr<QTemporaryDir> data_dir_for(const orb::synth::ClipSpec& clip) {
  auto dir = std::make_unique<QTemporaryDir>();
  const std::filesystem::path lens = std::filesystem::path(dir->path().toStdString()) / kDefaultCalibrationName;
  write_calibration_file(lens.c_str(), orb::synth::clip_calibration(clip));
  return dir;
}

// The main window on `dir`, shown (and made the active window when asked,
// for keys); null when the X server never shows it.
inline std::unique_ptr<CDuiFrameWnd> open_window(const QTemporaryDir& dir, bool active = false) {
  auto w = std::make_unique<CDuiFrameWnd>(std::filesystem::path(dir.path().toStdString()));
  w->show();
  if (active) w->activateWindow();
  if (!(active ? QTest::qWaitForWindowActive(w.get()) : QTest::qWaitForWindowExposed(w.get()))) return nullptr;
  return w;
}

}  // namespace ostrel::test
