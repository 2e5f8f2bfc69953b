#include "x11_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ostrel::test {

std::vector<int> grab_window(void* display, unsigned long window, int& width, int& height) {
  auto* d = static_cast<Display*>(display);
  std::vector<int> out;
  XWindowAttributes attributes;
  if (!d || !XGetWindowAttributes(d, window, &attributes)) return out;
  width = attributes.width;
  height = attributes.height;
  XImage* image =
      XGetImage(d, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) return out;
  for (int y = 0; y < height; y += 4) {
    for (int x = 0; x < width; x += 4) {
      const unsigned long p = XGetPixel(image, x, y);
      out.push_back(static_cast<int>(((p >> 16) & 0xff) + ((p >> 8) & 0xff) + (p & 0xff)) / 3);
    }
  }
  XDestroyImage(image);
  return out;
}

}  // namespace ostrel::test
