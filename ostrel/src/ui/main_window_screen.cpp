// The main window's screen and outside world: full screen, moving the
// frameless window by its caption, drops, the open dialog, the help file
// and the calibration tool.
#include <common/debug_trace.h>
#include <common/paths.h>

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "app_files.h"
#include "main_window.h"
#include "media_dialogs.h"
#include "media_search.h"
#include "wnd_ui.h"
#include "x11_keys.h"

namespace ostrel {
namespace {

// "*.mp3;*.wma;" -> "*.mp3 *.wma"
QString dialog_patterns(std::string_view list) {
  QString out = QString::fromLatin1(list.data(), static_cast<qsizetype>(list.size()));
  out.replace(';', ' ');
  return out.trimmed();
}

}  // namespace

QString media_dialog_filters() {
  return QStringLiteral("Movie Files(*.rmvb,*.mpeg,etc) (%1);;Music Files(*.mp3,*.wma,etc) (%2);;All Files(*.*) (*)")
      .arg(dialog_patterns(kVideoPatterns), dialog_patterns(kAudioPatterns));
}

void CDuiFrameWnd::set_full_screen(bool on) {
  if (!find("btnScreenFull") || !find("btnScreenNormal") || !find("ctnCaption")) return;
  if (on != full_screen_) {
    full_screen_ = on;
    if (on) {
      was_maximised_ = isMaximized();
      normal_geometry_ = was_maximised_ ? normalGeometry() : geometry();
      show_playlist(false);
      showFullScreen();
      // Without a window manager the state alone does not resize.
      if (const QScreen* s = screen()) setGeometry(s->geometry());
      raise();
    } else {
      if (was_maximised_) {
        showMaximized();
      } else {
        showNormal();
        setGeometry(normal_geometry_);
      }
      show_playlist(!controller_.is_playing());
    }
    grab_escape(on);
  }
  set_visible("btnScreenNormal", on);
  set_visible("ctnCaption", !on);
  set_visible("btnScreenFull", !on);
}

// Key presses over the video go to the player's window, not to us; while
// full screen, Escape is grabbed so that it always leaves.
void CDuiFrameWnd::grab_escape(bool on) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11) grab_escape_key(x11->display(), winId(), on);
}

void CDuiFrameWnd::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && full_screen_) return set_full_screen(false);
  CXMLWnd::keyPressEvent(event);
}

void CDuiFrameWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  // Reaches here only from the background: controls take their own clicks.
  if (event->button() == Qt::LeftButton) set_full_screen(!full_screen_);
}

bool CDuiFrameWnd::eventFilter(QObject* watched, QEvent* event) {
  const QString name = watched->objectName();
  const bool caption = name == "ctnCaption" || name == "btnTitle" || name == "Label_PlayPath";
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (caption) {
      isMaximized() ? showNormal() : showMaximized();
    } else {
      set_full_screen(!full_screen_);
    }
    return true;
  }
  if (caption && event->type() == QEvent::MouseButtonPress && !full_screen_) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && windowHandle()) {
      windowHandle()->startSystemMove();
      return true;
    }
  }
  return CXMLWnd::eventFilter(watched, event);
}

void CDuiFrameWnd::changeEvent(QEvent* event) {
  CXMLWnd::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  set_visible("maxbtn", !isMaximized());
  set_visible("restorebtn", isMaximized());
}

void CDuiFrameWnd::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CDuiFrameWnd::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  drop_paths(paths);
}

void CDuiFrameWnd::drop_paths(const QStringList& paths) {
  std::vector<std::string> dropped;
  // Relative names (a command line) are kept as full paths.
  for (const QString& p : paths) dropped.push_back(QFileInfo(p).absoluteFilePath().toStdString());
  const std::vector<std::string> collected = collect_media(dropped);
  if (collected.empty()) return;
  current_path_ = collected.front();
  if (controller_.is_playing()) stop();
  add_to_playlist(collected);
  start_current();
}

void CDuiFrameWnd::open_files(const QStringList& paths) { drop_paths(paths); }

void CDuiFrameWnd::open_one_dialog() {
  const QString file = QFileDialog::getOpenFileName(this, QString(), QString(), media_dialog_filters());
  if (file.isEmpty()) return;  // cancelled: whatever plays keeps playing
  add_to_playlist({file.toStdString()});
  current_path_ = file.toStdString();
  if (controller_.is_playing()) stop();
  start_current();
}

void CDuiFrameWnd::open_help() {
  QString name = language_.text(51);
  if (name.isEmpty()) name = "help.html";
  const QString path = QString::fromStdString((orb::executable_dir() / name.toStdString()).string());
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) orb::debug_trace("cannot open %s", qPrintable(path));
}

void CDuiFrameWnd::launch_calibration() {
  const std::string calibration = read_play_param(data_dir_ / "varozod.cfg", data_dir_).calibration_path;
  orb::debug_trace("\"%s\" \"%s\"", current_path_.c_str(), calibration.c_str());
  const QString program = QString::fromStdString((orb::executable_dir() / "Dioptra").string());
  const QStringList arguments{QString::fromStdString(current_path_), QString::fromStdString(calibration)};
  if (!QProcess::startDetached(program, arguments)) orb::debug_trace("error: cannot start %s", qPrintable(program));
}

}  // namespace ostrel
