// ostrel: plays fisheye videos as undistorted, turnable views.
// `ostrel FILE...` adds the files (or the videos of folders) to the
// playlist and plays the first.
#include <common/debug_trace.h>
#include <common/version.h>
#include <common/paths.h>

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <QTimer>

#include "main_window.h"
#include "quit_on_signal.h"
#include "skin_loader.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s\n", "ostrel", orb::kSuiteVersion);
    return 0;
  }
  orb::trace_only_when_asked();
  // The player draws into X11 windows; on a Wayland desktop that is XWayland.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
  QApplication app(argc, argv);
  QApplication::setApplicationName("ostrel");
  QApplication::setDesktopFileName("ostrel");
  ostrel::apply_skin_style(app);
  ostrel::quit_on_signals(&app);

  ostrel::CDuiFrameWnd window(orb::data_dir("ostrel"));
  window.show();
  const QStringList files = QApplication::arguments().mid(1);
  if (!files.isEmpty()) QTimer::singleShot(0, &window, [&window, files] { window.open_files(files); });
  return QApplication::exec();
}
