#pragma once
// Xlib calls kept apart from Qt's headers (Xlib's macros clash with them).

namespace ostrel {

// Grabs (or releases) the Escape key, any modifiers, for `window` on the
// Xlib `display`: the key then reaches the window even while the pointer
// is over a child window of another client.
void grab_escape_key(void* display, unsigned long window, bool on);

}  // namespace ostrel
