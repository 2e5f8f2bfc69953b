#pragma once
// Reads a window's pixels with Xlib, kept apart from Qt's headers.
#include <vector>

namespace ostrel::test {

// Mean of R, G, B of every 4th pixel in both directions of `window` on
// the Xlib `display`; empty when the window cannot be read.
std::vector<int> grab_window(void* display, unsigned long window, int& width, int& height);

}  // namespace ostrel::test
