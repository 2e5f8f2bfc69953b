#include "main_window.h"

#include <common/debug_trace.h>
#include <common/file_replace.h>
#include <common/paths.h>
#include <av/media_open.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QSizeGrip>
#include <QThread>
#include <QUrl>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app_files.h"
#include "play_failure.h"
#include "my_slider.h"
#include "skin_loader.h"
#include "translate_wnd.h"
#include "wnd_ui.h"

namespace ostrel {
namespace {

// The window manager's title while nothing plays; a playing file names itself.
const char* const kIdleTitle = "Ostrel";

}  // namespace

CXMLWnd::CXMLWnd(const QString& skin_file, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  skin_ = SkinLoader::load_skin(skin_file, this);
  if (skin_) layout->addWidget(skin_);
}

void CXMLWnd::set_visible(const char* name, bool visible) const {
  if (auto* w = find(name)) w->setVisible(visible);
}

CDuiFrameWnd::CDuiFrameWnd(std::filesystem::path data_dir, QWidget* parent)
    : CXMLWnd("Wideframe.ui", parent), data_dir_(std::move(data_dir)), controller_(data_dir_, [this] {
        return video_ ? video_->pixel_size() : std::pair{0, 0};
      }) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setWindowTitle(kIdleTitle);
  setWindowIcon(QIcon::fromTheme("ostrel", QIcon(":/skin/icons/ostrel.svg")));
  setAcceptDrops(true);
  // A save cut short (power loss, a full disk) leaves only its ".part".
  for (const char* name : {"ZOD.cfg", "Playlist.osp", "varozod.cfg", "Memory.cfg"})
    orb::remove_stale_part(data_dir_ / name);
  settings_ = read_settings(data_dir_ / "ZOD.cfg");
  memory_ = PlayMemory::load(memory_file());
  memory_timer_.setSingleShot(true);
  memory_timer_.setInterval(500);
  connect(&memory_timer_, &QTimer::timeout, this, [this] { save_memory(); });
  // Lines the playlist cannot play stay out of the list and the tree, but
  // are written back: the file keeps everything the user had in it.
  for (const std::string& line : read_playlist(data_dir_ / "Playlist.osp")) {
    if (Playlist::accepted(line))
      playlist_.add({line}, false);
    else
      kept_lines_.push_back(line);
  }

  controller_.set_end_hook([this] {
    QMetaObject::invokeMethod(
        this, [this] { on_end_of_file(); }, Qt::QueuedConnection);
  });
  controller_.set_calibration_hook([this](const std::string& media, const CalibrationChoice& lens) {
    QMetaObject::invokeMethod(
        this, [this, media, lens] { on_lens_chosen(media, lens); }, Qt::QueuedConnection);
  });
  connect(&calibration_watch_, &QFileSystemWatcher::directoryChanged, this,
          &CDuiFrameWnd::on_calibration_folder_changed);
  notice_timer_.setSingleShot(true);
  connect(&notice_timer_, &QTimer::timeout, this, [this] {
    if (notice_) notice_->hide();
  });
  controller_.set_fatal_hook([this](const std::string& text) {
    const QString message = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        this, [this, message] { on_fatal(message); }, Qt::QueuedConnection);
  });

  const QScreen* screen = QGuiApplication::primaryScreen();
  size_for_monitor(screen ? screen->geometry().width() : 1920);
  if (screen) {
    connect(screen, &QScreen::geometryChanged, this, [this](const QRect& r) {
      if (!full_screen_ && !isMaximized()) size_for_monitor(r.width());
    });
  }
  bind_controls();
  route_keys();
  build_menu();
  recall_controls();
  set_playing_state(false);
  show_playlist(playlist_wanted_);
  apply_language();
  fill_tree();

  time_timer_.setInterval(100);
  connect(&time_timer_, &QTimer::timeout, this, &CDuiFrameWnd::tick);
  retire_timer_.setInterval(500);
  connect(&retire_timer_, &QTimer::timeout, this, [this] {
    if (controller_.busy()) return;
    if (video_) video_->release_retired();
    // A stop asked for while the file was still starting: the start is done now.
    if (stop_after_start_) {
      stop_after_start_ = false;
      controller_.stop_playback();
    }
  });
  retire_timer_.start();
  pointer_timer_.setInterval(250);
  connect(&pointer_timer_, &QTimer::timeout, this, &CDuiFrameWnd::watch_pointer);
}

CDuiFrameWnd::~CDuiFrameWnd() {
  time_timer_.stop();
  remember_position();
  controller_.close();
  save_state();
  save_memory();
}

// Also written on every change, so a session that ends without closing the
// window (a lost display, a crash elsewhere) keeps the user's list.
void CDuiFrameWnd::save_state() const {
  write_settings(data_dir_ / "ZOD.cfg", settings_);
  std::vector<std::string> lines = playlist_.paths();
  lines.insert(lines.end(), kept_lines_.begin(), kept_lines_.end());
  write_playlist(data_dir_ / "Playlist.osp", lines);
}

void CDuiFrameWnd::size_for_monitor(int monitor_width) {
  const WindowSize size = window_size_for_monitor(monitor_width);
  resize(size.width, size.height);
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(size.width / 2, size.height / 2));
  }
}

void CDuiFrameWnd::bind_controls() {
  video_ = find<CWndUI>("wndMedia");
  seek_ = find<MySlider>("sliderPlay");
  tree_ = find<QTreeWidget>("treePlaylist");
  if (!skin_) return;
  apply_icons(skin_);

  for (auto* button : skin_->findChildren<QAbstractButton*>()) {
    const QString name = button->objectName();
    if (name.isEmpty()) continue;
    connect(button, &QAbstractButton::clicked, this, [this, name] { on_click(name); });
  }
  // The mount and layout options each show one choice.
  group_options(skin_, this, {"top_btn", "downbtn", "leftbtn", "rightbtn"});
  group_options(skin_, this, {"widebtn", "ballbtn", "split2btn", "split4btn"});
  show_mount(controller_.mount_mode());

  if (seek_) {
    seek_->setRange(0, 1000);
    connect(seek_, &MySlider::preview, this, [this](int v) {
      if (!controller_.is_playing()) return;
      const std::int64_t total = total_seconds_ > 0 ? total_seconds_ : controller_.total_seconds();
      if (auto* label = find<QLabel>("labelPlayTime")) {
        label->setText(QString::fromStdString(time_text(v * total / 1000, total)));
      }
    });
    connect(seek_, &MySlider::committed, this, [this](int v) { controller_.seek_to_slider(v + 1); });
  }
  if (auto* volume = find<QSlider>("sliderVol")) {
    volume->setRange(0, 100);
    connect(volume, &QSlider::valueChanged, this, [this](int v) {
      memory_.volume = v;
      remember();
      if (controller_.is_playing() && v >= 0 && !(find("btnVolumeZero") && find("btnVolumeZero")->isVisible())) {
        controller_.set_volume_percent(v);
      }
    });
  }
  if (video_) {
    connect(video_, &CWndUI::host_message, this, [this](long number) {
      if (number == 1224) set_full_screen(!full_screen_);  // a double click in the video
    });
    connect(video_, &CWndUI::file_dropped, this, [this](const QString& path) {
      if (QFileInfo(path).isDir()) return drop_paths({path});
      if (!Playlist::accepted(path.toStdString())) return;
      current_path_ = path.toStdString();
      if (controller_.is_playing()) {
        remember_position();
        controller_.stop_playback();
        set_playing_state(false);
      }
      QMetaObject::invokeMethod(
          this, [this] { start_current(); }, Qt::QueuedConnection);
    });
  }
  if (tree_) connect(tree_, &QTreeWidget::itemActivated, this, &CDuiFrameWnd::on_item_activated);
  for (const char* name : {"ctnCaption", "btnTitle", "Label_PlayPath", "ctnClient", "labelHint", "labelLogo"}) {
    if (auto* w = find(name)) w->installEventFilter(this);
  }
  if (auto* hint = find<QLabel>("labelHint")) idle_hint_ = hint->text();
  if (auto* logo = find<QLabel>("labelLogo")) logo->setPixmap(windowIcon().pixmap(96, 96));
  // The calibration tool is a separate program that may not be installed.
  if (auto* calibrate = find("btnBiaoding"))
    calibrate->setEnabled(std::filesystem::exists(orb::executable_dir() / "Dioptra"));
  // Lens notices sit under the video, where the native video window cannot cover them.
  if (auto* area = find("ctnVideo"); area && area->layout()) {
    notice_ = new QLabel(area);
    notice_->setObjectName("labelLensNotice");
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::RichText);
    notice_->setStyleSheet("QLabel { color: #d8d8d8; background: #2a2a2a; padding: 4px 8px; }");
    notice_->hide();
    connect(notice_, &QLabel::linkActivated, this, [this](const QString& link) {
      if (link == "calibrate") launch_calibration();
      if (link == "restart") {
        controller_.seek_to_seconds(0);
        notice_->hide();
      }
    });
    area->layout()->addWidget(notice_);
  }
  // A frameless window is sized from its corner.
  if (auto* row = find("ctnButtons"); row && row->layout()) row->layout()->addWidget(new QSizeGrip(row));
}

void CDuiFrameWnd::apply_language() {
  if (!language_.loaded()) return show_keys_in_tooltips();
  static const std::pair<const char*, int> kTips[] = {
      {"btnPlay", 20},         {"btnPause", 21},       {"btnStop", 22},         {"leftbtn", 23},
      {"top_btn", 24},         {"downbtn", 25},        {"widebtn", 26},         {"ballbtn", 27},
      {"split4btn", 28},       {"split2btn", 29},      {"btnVolume", 30},       {"btnOpenMini", 31},
      {"btnTranslate", 32},    {"btnScreenFull", 33},  {"btnScreenNormal", 34}, {"btnTitle", 35},
      {"btnFastBackward", 37}, {"btnFastForward", 38}, {"btnHelp", 39},         {"btnBiaoding", 40},
      {"btnPlayMode", 41},     {"btnAdd", 42},         {"btnDelete", 43},       {"btnPlaylistShow", 45},
      {"btnPlaylistHide", 46}, {"btnPrePlay", 47},     {"btnNextPlay", 48},     {"btnDelOne", 49},
      {"minbtn", 55},          {"maxbtn", 56},         {"closebtn", 57},        {"btnVolumeZero", 58},
  };
  for (const auto& [name, index] : kTips) {
    const QString tip = language_.text(index);
    if (auto* w = find(name); w && !tip.isEmpty()) w->setToolTip(tip);
  }
  show_keys_in_tooltips();
  if (auto* title = find<QAbstractButton>("btnTitle")) {
    const QString text = language_.text(19);
    if (!text.isEmpty()) title->setText(text);
    const std::string version = language_file_version(orb::executable_dir() / "ostrelui.osd");
    if (!version.empty()) title->setText(QString::fromStdString(version));
  }
  if (auto* heading = find<QLabel>("labelPlaylistTitle")) {
    const QString text = language_.text(44);
    if (!text.isEmpty()) heading->setText(text);
  }
}

// "Play (Space)": every control a key also works says which.
void CDuiFrameWnd::show_keys_in_tooltips() {
  if (!skin_) return;
  for (auto* w : skin_->findChildren<QWidget*>()) {
    const QString keys = keys_of_control(w->objectName());
    if (keys.isEmpty()) continue;
    w->setToolTip(w->toolTip().isEmpty() ? keys : QStringLiteral("%1 (%2)").arg(w->toolTip(), keys));
  }
}

void CDuiFrameWnd::on_click(const QString& name) {
  const bool playing = controller_.is_playing();
  if (name == "btnPlaylistShow" || name == "btnPlaylistHide") {
    const bool show = name == "btnPlaylistShow";
    playlist_wanted_ = show;
    memory_.playlist_shown = show;
    remember();
    show_playlist(show);
    if (playing) shift_views(show ? -5.0F : 5.0F);
  } else if (name == "btnPrePlay" || name == "btnNextPlay") {
    go_to(name == "btnPrePlay" ? Direction::kPrevious : Direction::kNext);
  } else if (name == "btnPlay") {
    if (!playing) {
      play_from_idle();
      return;
    }
    set_visible("btnPlay", false);
    set_visible("btnPause", true);
    controller_.resume();
  } else if (name == "btnPause") {
    if (!playing) return;
    set_visible("btnPlay", true);
    set_visible("btnPause", false);
    controller_.pause();
  } else if (name == "btnStop") {
    stop();
  } else if (name == "btnOpen" || name == "btnOpenMini") {
    open_one_dialog();
  } else if (name == "btnScreenFull" || name == "btnScreenNormal") {
    set_full_screen(name == "btnScreenFull");
  } else if (name == "btnVolume") {
    if (!playing) return;
    controller_.set_volume_percent(0);
    set_visible("btnVolumeZero", true);
    set_visible("btnVolume", false);
    memory_.muted = true;
    remember();
  } else if (name == "btnVolumeZero") {
    if (auto* volume = find<QSlider>("sliderVol"); volume && volume->value() >= 0) {
      controller_.set_volume_percent(volume->value());
    }
    set_visible("btnVolume", true);
    set_visible("btnVolumeZero", false);
    memory_.muted = false;
    remember();
  } else if (name == "btnTranslate") {
    open_conversion();
  } else if (name == "top_btn" || name == "downbtn" || name == "leftbtn") {
    change_mount(name == "top_btn" ? kMountUp : name == "downbtn" ? kMountDown : kMountSide);
  } else if (name == "rightbtn") {
    controller_.set_mount_mode(kMountRight);
    remember_view();
  } else if (name == "widebtn" || name == "ballbtn" || name == "split2btn" || name == "split4btn") {
    const std::int32_t layout = name == "widebtn"     ? kLayoutWide
                                : name == "ballbtn"   ? kLayoutBall
                                : name == "split2btn" ? kLayoutSplit2
                                                      : kLayoutSplit4;
    if (layout != controller_.layout() || layout == kLayoutBall) controller_.apply_layout(layout);
    if (playing) remember_view();
  } else if (name == "closebtn") {
    close();
  } else if (name == "minbtn") {
    showMinimized();
  } else if (name == "maxbtn") {
    showMaximized();
  } else if (name == "restorebtn") {
    showNormal();
  } else if (name == "btnHelp") {
    open_help();
  } else if (name == "btnBiaoding") {
    launch_calibration();
  } else if (name == "btnPlayMode") {
    play_mode_menu();
  } else if (name == "btnAdd") {
    add_dialog();
  } else if (name == "btnDelete") {
    delete_all();
  } else if (name == "btnDelOne") {
    delete_one();
  }
}

// The controls keep their places in both states: what does not apply is
// disabled, never hidden, so a second click lands where the first did.
// The conversion dialog opens on the file playing, as the user sees it;
// playback goes on behind it.
void CDuiFrameWnd::open_conversion() {
  TranslateWnd dialog(data_dir_, language_, this);
  const auto player = controller_.player();
  if (controller_.is_playing() && player && !orb::is_network_source(current_path_.c_str()) &&
      !is_source_picture(current_path_)) {
    std::array<PreviewView, 4> views{};
    for (int v = 0; v < 4; ++v) {
      PreviewView& view = views[static_cast<std::size_t>(v)];
      player->GetViewAngles(v, &view.pitch, &view.yaw, &view.roll);
    }
    dialog.load_as_shown(QString::fromStdString(current_path_), controller_.mount_mode(), controller_.layout(), views);
  }
  dialog.exec();
}

void CDuiFrameWnd::set_playing_state(bool a) {
  if (!find("btnStop") || !find("btnScreenFull") || !video_ || !find("ctnSlider")) return;
  if (auto* label = find<QLabel>("labelPlayTime")) label->clear();
  for (const char* name : {"btnStop", "btnScreenFull", "btnPrePlay", "btnNextPlay", "sliderPlay"}) {
    if (auto* w = find(name)) w->setEnabled(a);
  }
  find("btnPlay")->setEnabled(true);  // stopped, Play starts the selected or current file
  if (a) {
    setWindowTitle(QStringLiteral("%1 — ostrel").arg(shown_name(current_path_)));
  } else {
    setWindowTitle(kIdleTitle);
    if (auto* path = find<QLabel>("Label_PlayPath")) path->clear();
    if (seek_) seek_->setValue(0);
  }
  const bool audio = Playlist::is_audio(current_path_);
  set_visible("ctnClient", !a || audio);
  video_->setVisible(a && !audio);
  set_visible("btnPlay", !a);
  set_visible("btnPause", a);
  if (!a && notice_) notice_->hide();  // it spoke of the video that has ended
}

void CDuiFrameWnd::show_playlist(bool shown) {
  set_visible("ctnPlaylist", shown);
  set_visible("btnPlaylistHide", shown);
  set_visible("btnPlaylistShow", !shown);
}

void CDuiFrameWnd::start_current() {
  if (current_path_.empty() || !video_ || fatal_) return;
  ++start_generation_;
  stop_after_start_ = false;
  const QString path = QString::fromStdString(current_path_);
  if (auto* label = find<QLabel>("Label_PlayPath")) {
    label->setText(path);
    label->setToolTip(QStringLiteral("file: %1").arg(path));
  }
  displayed_path_ = path;
  if (auto* hint = find<QLabel>("labelHint")) hint->setText(idle_hint_);  // an earlier failure is old news
  mark_current(current_path_);
  if (notice_ && watched_media_ != current_path_) notice_->hide();
  // Lay the video area out first: the player takes its size at the start.
  set_playing_state(true);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  recall_for_start();
  const unsigned long window = video_->recreate();
  controller_.start_playback(window, current_path_);
  timing_known_ = false;
  time_timer_.start();
  save_state();
}

void CDuiFrameWnd::stop() {
  remember_position();
  ++start_generation_;
  time_timer_.stop();
  // The player cannot be stopped before it plays: that stop follows the start.
  stop_after_start_ = controller_.busy();
  controller_.stop_playback();
  set_playing_state(false);
  set_visible("btnPlay", true);
  set_visible("btnPause", false);
}

void CDuiFrameWnd::tick() {
  if (!controller_.is_playing()) {
    // The file could not be opened (a file that ended goes on through the end hook).
    if (controller_.start_failed()) {
      time_timer_.stop();
      set_playing_state(false);
      show_failure();
    }
    return;
  }
  if (!timing_known_) {
    // Once per file: a live stream has no length to seek in, and the player
    // starts at the volume the controls show.
    timing_known_ = true;
    total_seconds_ = controller_.total_seconds();
    live_ = total_seconds_ <= 0;
    if (seek_) seek_->setEnabled(!live_);
    const auto* volume = find<QSlider>("sliderVol");
    const bool muted = find("btnVolumeZero") && find("btnVolumeZero")->isVisible();
    if (volume) controller_.set_volume_percent(muted ? 0 : volume->value());
  }
  const std::int64_t total = total_seconds_;
  const std::int64_t current = controller_.current_seconds();
  if (live_) {
    const QString elapsed = QString::fromStdString(time_text(current, 0)).section(" / ", 0, 0);
    if (auto* label = find<QLabel>("labelPlayTime")) label->setText(elapsed + " / LIVE");
    return;
  }
  if (seek_ && !seek_->dragging() && current <= total) {
    if (auto* label = find<QLabel>("labelPlayTime")) label->setText(QString::fromStdString(time_text(current, total)));
    seek_->setValue(total > 0 ? static_cast<int>(current * 1000 / total) : 0);
  }
  // The player ends a file through the end hook; this only catches a clock
  // that ran past the end without one.
  if (total > 0 && current > total) {
    QMetaObject::invokeMethod(
        this, [this] { go_to(Direction::kNext); }, Qt::QueuedConnection);
  }
}

void CDuiFrameWnd::on_end_of_file() {
  if (fatal_) return;
  time_timer_.stop();
  if (seek_) seek_->setValue(1000);
  set_playing_state(false);
  if (controller_.failure().code != 0) show_failure();  // a stream that stopped, a file cut short
  current_path_ = choose_next(Direction::kNext);
  if (current_path_.empty()) {
    set_full_screen(false);  // the list is over: back to the window
    return;
  }
  // A moment for the player's threads to finish; a stop or another start
  // in between wins over this one.
  const int generation = ++start_generation_;
  QTimer::singleShot(400, this, [this, generation] {
    if (generation == start_generation_) start_current();
  });
}

// A file by its name, a stream by its address (never its password).
QString CDuiFrameWnd::shown_name(const std::string& media) {
  const QString path = QString::fromStdString(media);
  if (orb::is_network_source(media.c_str())) return QUrl(path).toDisplayString(QUrl::RemoveUserInfo);
  const QString name = QFileInfo(path).fileName();
  return name.isEmpty() ? path : name;
}

// Says in the window why the current file does not play; the trace gets it too.
void CDuiFrameWnd::show_failure() {
  const PlayController::Failure failure = controller_.failure();
  const QString name = shown_name(current_path_);
  const QString reason = QString::fromStdString(play_failure_reason(current_path_, failure.code, failure.text));
  const QString detail = QString::fromStdString(one_line(failure.text));
  orb::debug_trace("cannot play %s: %s (%s)", current_path_.c_str(), qPrintable(reason), qPrintable(detail));
  if (auto* hint = find<QLabel>("labelHint")) {
    hint->setText(tr("Cannot play %1: %2").arg(name, reason) + (detail.isEmpty() ? QString() : "\n" + detail));
  }
}

void CDuiFrameWnd::show_mount(int mode) {
  static const char* const kButtons[] = {"top_btn", "downbtn", "leftbtn", "rightbtn"};
  if (mode >= 0 && mode < 4) {
    if (auto* b = find<QAbstractButton>(kButtons[mode])) b->setChecked(true);
  }
}

void CDuiFrameWnd::change_mount(int mode) {
  if (is_source_picture(current_path_) && controller_.is_playing()) {
    show_mount(controller_.mount_mode());  // a source picture has no mount direction
    return;
  }
  if (mode == controller_.mount_mode()) return;
  controller_.set_mount_mode(mode);
  if (controller_.is_playing()) remember_view();
  // Not playing: the next file starts with the new direction.
  restart_in_place();
}

// Plays the file again from where it is (a new mount, a new lens), paused
// if the user had paused it.
void CDuiFrameWnd::restart_in_place() {
  if (!controller_.is_playing() || !video_) return;
  const bool paused = controller_.paused();
  controller_.set_start_at(controller_.current_seconds() - 1, paused);
  controller_.stop_playback();
  set_playing_state(false);
  set_playing_state(true);
  if (paused) {
    set_visible("btnPlay", true);
    set_visible("btnPause", false);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  controller_.start_playback(video_->recreate(), current_path_);
  timing_known_ = false;
  time_timer_.start();
}

void CDuiFrameWnd::shift_views(float pitch_delta) {
  const auto player = controller_.player();
  if (!player) return;
  for (int v = 0; v < 4; ++v) {
    float pitch = 0, yaw = 0, roll = 0;
    if (player->GetViewAngles(v, &pitch, &yaw, &roll) != 0) continue;
    player->SetViewAngles(pitch + pitch_delta, yaw, roll, v);
  }
}

void CDuiFrameWnd::on_fatal(const QString& message) {
  if (fatal_) return;
  fatal_ = true;
  time_timer_.stop();
  orb::debug_trace("error: the video cannot be drawn: %s", qPrintable(message));
  if (language_.loaded()) QMessageBox::critical(this, language_.text(17), language_.text(50));
  // Ends the event loop; the destructor still saves settings and playlist.
  QCoreApplication::exit(1);
}

void CDuiFrameWnd::pump(int times, int pause_ms) {
  for (int i = 0; i < times; ++i) {
    QThread::msleep(static_cast<unsigned long>(pause_ms));
    QCoreApplication::processEvents();
  }
}

void CDuiFrameWnd::closeEvent(QCloseEvent* event) {
  stop();
  pump(10, 50);  // lets the stop finish while the window still answers
  event->accept();
}

}  // namespace ostrel
