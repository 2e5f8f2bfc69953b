// The main window's screen and outside world: full screen, moving the
// frameless window by its caption, drops, the open dialog, the help file
// and the calibration tool.
#include <av/media_open.h>
#include <common/debug_trace.h>
#include <common/paths.h>

#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "app_files.h"
#include "calibration_choice.h"
#include "layouts.h"
#include "main_window.h"

#include <av/media_open.h>
#include "media_dialogs.h"
#include "media_search.h"
#include "snapshot.h"
#include "url_dialog.h"
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
      show_playlist(playlist_wanted_);
    }
    grab_escape(on);
    show_controls(true);
    if (on) {
      last_pointer_ = QCursor::pos();
      pointer_still_ms_ = 0;
      pointer_timer_.start();
    } else {
      pointer_timer_.stop();
    }
  }
  set_visible("btnScreenNormal", on);
  set_visible("ctnCaption", !on);
  set_visible("btnScreenFull", !on);
}

// In full screen the controls and the pointer make way for the picture
// after a while without movement, and come back with the first movement.
void CDuiFrameWnd::watch_pointer() {
  const QPoint now = QCursor::pos();
  if (now != last_pointer_) {
    last_pointer_ = now;
    pointer_still_ms_ = 0;
    show_controls(true);
    return;
  }
  pointer_still_ms_ += pointer_timer_.interval();
  if (pointer_still_ms_ >= kHideControlsAfterMs) show_controls(false);
}

void CDuiFrameWnd::show_controls(bool shown) {
  if (controls_shown_ == shown) return;
  controls_shown_ = shown;
  set_visible("ctnPanel", shown);
  const QCursor cursor = shown ? QCursor() : QCursor(Qt::BlankCursor);
  setCursor(cursor);
  if (video_) video_->setCursor(cursor);  // the player's window shows its parent's pointer
}

// Key presses over the video go to the player's window, not to us; while
// full screen, Escape is grabbed so that it always leaves.
void CDuiFrameWnd::grab_escape(bool on) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11) grab_escape_key(x11->display(), winId(), on);
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
  // Relative names (a command line) are kept as full paths; stream URLs as given.
  for (const QString& p : paths) {
    const std::string given = p.toStdString();
    dropped.push_back(orb::is_network_source(given.c_str()) ? given : QFileInfo(p).absoluteFilePath().toStdString());
  }
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

void CDuiFrameWnd::open_url_dialog() {
  UrlDialog dialog(recent_urls(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  open_url(dialog.address());
}

void CDuiFrameWnd::open_url(const QString& address) {
  const std::string given = address.trimmed().toStdString();
  if (given.empty()) return;
  if (!orb::is_network_source(given.c_str())) return drop_paths({QString::fromStdString(given)});
  if (controller_.is_playing()) stop();
  add_to_playlist({given});
  current_path_ = given;
  start_current();
}

void CDuiFrameWnd::take_snapshot() {
  if (!controller_.is_playing() || !video_) return;
  const QImage picture = grab_window_picture(video_->native_window());
  const QString name = snapshot_name(QString::fromStdString(current_path_), controller_.current_seconds() - 1);
  const QString saved = save_snapshot(picture, snapshot_folder(data_dir_), name);
  if (saved.isEmpty()) {
    orb::debug_trace("error: the snapshot of %s could not be saved", current_path_.c_str());
    show_notice(tr("The snapshot could not be saved."), 6);
    return;
  }
  last_snapshot_ = saved;
  show_notice(tr("Snapshot saved to %1").arg(saved.toHtmlEscaped()), 6);
}

void CDuiFrameWnd::open_help() {
  QString name = language_.text(51);
  if (name.isEmpty()) name = "help.html";
  const QString path = QString::fromStdString((orb::executable_dir() / name.toStdString()).string());
  if (has_web_browser() && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
  // No browser to hand the page to: it opens here, links and all.
  auto* help = findChild<QDialog*>("dlgHelp");
  if (!help) {
    help = new QDialog(this);
    help->setObjectName("dlgHelp");
    help->setWindowTitle(tr("Ostrel Help"));
    help->resize(720, 640);
    auto* layout = new QVBoxLayout(help);
    auto* browser = new QTextBrowser(help);
    browser->setObjectName("textHelp");
    browser->setOpenExternalLinks(false);
    layout->addWidget(browser);
  }
  auto* browser = help->findChild<QTextBrowser*>("textHelp");
  if (!QFileInfo::exists(path)) {
    browser->setPlainText(tr("The help file %1 is missing: reinstall the program.").arg(path));
  } else {
    browser->setSource(QUrl::fromLocalFile(path));
  }
  help->show();
  help->raise();
}

// A desktop that can show a web page: one is registered for HTML files.
bool CDuiFrameWnd::has_web_browser() {
  if (qEnvironmentVariableIsSet("ORB_NO_BROWSER")) return false;
  QProcess ask;
  ask.start("xdg-mime", {"query", "default", "text/html"});
  if (!ask.waitForFinished(2000)) {
    ask.kill();
    ask.waitForFinished(500);
    return false;
  }
  return ask.exitCode() == 0 && !ask.readAllStandardOutput().trimmed().isEmpty();
}

std::filesystem::path CDuiFrameWnd::calibration_target() const {
  return ostrel::calibration_target(data_dir_, current_path_);
}

void CDuiFrameWnd::launch_calibration() {
  // The playing video's own file: the next start looks there first, so
  // calibrating this video never changes another.
  const std::string calibration = calibration_target().string();
  orb::debug_trace("\"%s\" \"%s\"", current_path_.c_str(), calibration.c_str());
  const QString program = QString::fromStdString((orb::executable_dir() / "Dioptra").string());
  const QStringList arguments{QString::fromStdString(current_path_), QString::fromStdString(calibration)};
  if (!QProcess::startDetached(program, arguments)) {
    orb::debug_trace("error: cannot start %s", qPrintable(program));
    show_notice(tr("The calibration tool cannot be started."), 8);
  }
}

void CDuiFrameWnd::show_notice(const QString& rich_text, int seconds) {
  if (!notice_) return;
  notice_->setText(rich_text);
  notice_->show();
  if (seconds > 0)
    notice_timer_.start(seconds * 1000);
  else
    notice_timer_.stop();
}

void CDuiFrameWnd::on_lens_chosen(const std::string& media, const CalibrationChoice& lens) {
  if (media != current_path_) return;  // a start that was already replaced
  watch_calibration(media);
  if (is_source_picture(media)) return;  // shown as it is: no lens involved
  const QString calibrate = QStringLiteral(" <a href=\"calibrate\" style=\"color:#6cb6ff\">%1</a>")
                                .arg(language_.text_or(61, "Calibrate\u2026").toHtmlEscaped());
  if (lens.source == CalibrationSource::kDetected) {
    const QString found = language_
                              .text_or(59,
                                       "Lens circle found automatically: centre %1, %2, radius %3 px. A %4\u00b0 "
                                       "field of view is assumed; the calibrate button refines it.")
                              .arg(lens.cx, 0, 'f', 1)
                              .arg(lens.cy, 0, 'f', 1)
                              .arg(lens.radius, 0, 'f', 1)
                              .arg(lens.fov_deg, 0, 'f', 0);
    show_notice(found.toHtmlEscaped() + calibrate, 12);
  } else if (lens.source == CalibrationSource::kDefault) {
    const QString failed = language_.text_or(
        60,
        "No lens circle was found in this video, so it is shown with a default lens (a 180\u00b0 circle in the "
        "middle). Calibrate it to see it right.");
    show_notice(failed.toHtmlEscaped() + calibrate, 0);
  }
}

void CDuiFrameWnd::watch_calibration(const std::string& media) {
  const std::filesystem::path target = ostrel::calibration_target(data_dir_, media);
  if (!calibration_watch_.directories().isEmpty()) calibration_watch_.removePaths(calibration_watch_.directories());
  std::error_code ec;
  std::filesystem::create_directories(target.parent_path(), ec);
  calibration_watch_.addPath(QString::fromStdString(target.parent_path().string()));
  watched_media_ = media;
  watched_stamp_ = QFileInfo(QString::fromStdString(target.string())).lastModified();
}

void CDuiFrameWnd::on_calibration_folder_changed() {
  // The calibration tool saved this video's lens: play on with it, from here.
  if (watched_media_.empty() || watched_media_ != current_path_) return;
  const QFileInfo lens(QString::fromStdString(ostrel::calibration_target(data_dir_, watched_media_).string()));
  if (!lens.exists() || lens.lastModified() == watched_stamp_) return;
  watched_stamp_ = lens.lastModified();
  if (notice_) notice_->hide();
  restart_in_place();
}

}  // namespace ostrel
