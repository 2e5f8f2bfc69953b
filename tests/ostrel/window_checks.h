#pragma once
// What the ostrel window tests look at: the pixels of the video window and
// real input through the X server.
#include <QGuiApplication>
#include <QString>

#include <cstdlib>
#include <vector>

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

}  // namespace ostrel::test
