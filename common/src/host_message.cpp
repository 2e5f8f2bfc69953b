#include <common/host_message.h>

#include <X11/Xlib.h>

namespace orb {

bool send_host_message(void* display_ptr, unsigned long window, long number) {
  auto* display = static_cast<Display*>(display_ptr);
  if (display == nullptr || window == 0) return false;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  if (children) XFree(children);
  if (parent == 0) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = parent;
  event.xclient.message_type = XInternAtom(display, kHostMessageAtom, False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = number;
  const Status sent = XSendEvent(display, parent, False, NoEventMask, &event);
  XFlush(display);
  return sent != 0;
}

}  // namespace orb
