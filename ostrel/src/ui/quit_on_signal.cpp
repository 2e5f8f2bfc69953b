#include "quit_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

namespace ostrel {
namespace {

int g_pipe[2] = {-1, -1};  // written by the handler, read on the UI thread

void on_signal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe means a quit is pending.
  [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
}

}  // namespace

bool quit_on_signals(QObject* parent) {
  if (g_pipe[0] >= 0) return true;
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
    char buffer[16];
    while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  return true;
}

}  // namespace ostrel
