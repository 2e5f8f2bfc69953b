#include "x11_keys.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ostrel {

void grab_escape_key(void* display, unsigned long window, bool on) {
  auto* d = static_cast<Display*>(display);
  if (!d) return;
  const auto key = static_cast<int>(XKeysymToKeycode(d, XK_Escape));
  if (on) {
    XGrabKey(d, key, AnyModifier, window, True, GrabModeAsync, GrabModeAsync);
  } else {
    XUngrabKey(d, key, AnyModifier, window);
  }
  XFlush(d);
}

}  // namespace ostrel
