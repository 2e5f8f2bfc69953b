#pragma once
// Ends the application's event loop on SIGINT, SIGTERM or SIGHUP (a
// logout, `kill`, Ctrl+C), so the windows close and save what they keep.
class QObject;

namespace ostrel {

// Call once, after the QApplication exists. False when the signals cannot
// be routed (the default action then stays).
bool quit_on_signals(QObject* parent);

}  // namespace ostrel
