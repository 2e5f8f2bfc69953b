#pragma once
// Notifications from an embedded player to its host: an X11 ClientMessage
// (format 32, atom "_ORB_HOST_MESSAGE", l[0] = the message number) sent to
// the parent of the window the player draws into.

namespace orb {

inline constexpr const char* kHostMessageAtom = "_ORB_HOST_MESSAGE";

// `display` is an Xlib Display*. False when the parent cannot be found or
// the event cannot be sent.
bool send_host_message(void* display, unsigned long window, long number);

}  // namespace orb
