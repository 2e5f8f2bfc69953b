#pragma once
// A host window for the player tests: an X11 top-level parent with a child
// the player draws into, as the applications give it one.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace orb::test {

class X11Host {
 public:
  X11Host(int width, int height) {
    // A connection right after another process let go of one is now and
    // then refused by a busy server; a short retry rides that out.
    for (int attempt = 0; attempt < 20 && !display_; ++attempt) {
      display_ = XOpenDisplay(nullptr);
      if (!display_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    parent_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, 0, 0);
    child_ = XCreateSimpleWindow(display_, parent_, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                 0, 0, 0);
    XSelectInput(display_, parent_, StructureNotifyMask);
    XMapWindow(display_, child_);
    XMapWindow(display_, parent_);
    XSync(display_, False);
    atom_ = XInternAtom(display_, "_ORB_HOST_MESSAGE", False);
  }
  ~X11Host() {
    if (!display_) return;
    XDestroyWindow(display_, parent_);
    XCloseDisplay(display_);
  }
  X11Host(const X11Host&) = delete;
  X11Host& operator=(const X11Host&) = delete;

  bool ok() const { return display_ != nullptr; }
  unsigned long child() const { return child_; }
  Display* display() const { return display_; }

  void resize_child(int width, int height) {
    XResizeWindow(display_, parent_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XResizeWindow(display_, child_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display_, False);
  }

  // Host messages (l[0] of each _ORB_HOST_MESSAGE) received within `wait`.
  std::vector<long> host_messages(std::chrono::milliseconds wait) {
    std::vector<long> out;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
      while (XPending(display_)) {
        XEvent e;
        XNextEvent(display_, &e);
        if (e.type == ClientMessage && e.xclient.message_type == atom_) out.push_back(e.xclient.data.l[0]);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out;
  }

  // Red channel of every pixel of the child, rows top first.
  std::vector<std::uint8_t> child_red(int width, int height) {
    std::vector<std::uint8_t> red;
    XImage* image = XGetImage(display_, child_, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return red;
    red.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        red[static_cast<std::size_t>(y) * width + x] =
            static_cast<std::uint8_t>((XGetPixel(image, x, y) & image->red_mask) >> 16);
    XDestroyImage(image);
    return red;
  }

 private:
  Display* display_ = nullptr;
  Window parent_ = 0;
  Window child_ = 0;
  Atom atom_ = 0;
};

}  // namespace orb::test
