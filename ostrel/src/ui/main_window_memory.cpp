// What the main window remembers between sessions: where long files were
// left, the volume, each file's layout and mount, the recent files; and the
// menu that opens them again.
#include <common/debug_trace.h>

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

#include "main_window.h"

namespace ostrel {
namespace {

const char* const kLayoutButtons[] = {"widebtn", "ballbtn", "split2btn", "split4btn"};

const char* layout_button(std::int32_t layout) {
  switch (layout) {
    case kLayoutWide: return kLayoutButtons[0];
    case kLayoutBall: return kLayoutButtons[1];
    case kLayoutSplit2: return kLayoutButtons[2];
    case kLayoutSplit4: return kLayoutButtons[3];
    default: return nullptr;
  }
}

}  // namespace

std::filesystem::path CDuiFrameWnd::memory_file() const { return data_dir_ / "Memory.cfg"; }

// Saved a moment after the last change: a volume drag is one write.
void CDuiFrameWnd::remember() { memory_timer_.start(); }

void CDuiFrameWnd::save_memory() const {
  if (!memory_.save(memory_file())) orb::debug_trace("error: cannot save %s", memory_file().c_str());
}

void CDuiFrameWnd::recall_controls() {
  if (auto* volume = find<QSlider>("sliderVol")) volume->setValue(memory_.volume);
  set_visible("btnVolumeZero", memory_.muted);
  set_visible("btnVolume", !memory_.muted);
  playlist_wanted_ = memory_.playlist_shown;
}

void CDuiFrameWnd::remember_position() {
  if (current_path_.empty() || !controller_.is_playing()) return;
  const std::int64_t total = total_seconds_ > 0 ? total_seconds_ : controller_.total_seconds();
  memory_.leave_at(current_path_, controller_.current_seconds() - 1, total);
  remember();
}

void CDuiFrameWnd::remember_view() {
  if (current_path_.empty()) return;
  memory_.set_view(current_path_, {controller_.layout(), controller_.mount_mode()});
  remember();
}

void CDuiFrameWnd::show_layout(std::int32_t layout) {
  if (const char* name = layout_button(layout)) {
    if (auto* b = find<QAbstractButton>(name)) b->setChecked(true);
  }
}

// Before a start: the file's own layout and mount, and where it was left.
void CDuiFrameWnd::recall_for_start() {
  memory_.add_recent(current_path_);
  if (const auto view = memory_.view_of(current_path_)) {
    if (view->mount >= 0 && view->mount < 4) controller_.set_mount_mode(view->mount);
    if (layout_button(view->layout)) controller_.apply_layout(view->layout);
  }
  show_mount(controller_.mount_mode());
  show_layout(controller_.layout());
  const std::optional<std::int64_t> resume = memory_.resume_at(current_path_);
  controller_.set_start_at(resume.value_or(0));
  if (resume) {
    const QString again = language_.text_or(62, "Start from the beginning");
    show_notice(tr("Resumed at %1. <a href=\"restart\" style=\"color:#6cb6ff\">%2</a>")
                    .arg(QString::fromStdString(time_text(*resume, 0)).section(' ', 0, 0), again.toHtmlEscaped()),
                8);
  }
  remember();
}

void CDuiFrameWnd::build_menu() {
  auto* button = find<QToolButton>("btnMenu");
  if (!button) return;
  auto* menu = new QMenu(button);
  menu->setObjectName("menuMain");
  button->setMenu(menu);
  button->setPopupMode(QToolButton::InstantPopup);
  connect(menu, &QMenu::aboutToShow, this, [this, menu] {
    menu->clear();
    menu->addAction(tr("Open File…"), QKeySequence(Qt::CTRL | Qt::Key_O), this, [this] { open_one_dialog(); });
    menu->addAction(tr("Open URL…"), QKeySequence(Qt::CTRL | Qt::Key_U), this, [this] { open_url_dialog(); });
    QMenu* recent = menu->addMenu(tr("Recent Files"));
    recent->setObjectName("menuRecent");
    for (const std::string& media : memory_.recent()) {
      const QString path = QString::fromStdString(media);
      recent->addAction(path, this, [this, path] { open_url(path); });
    }
    if (!memory_.recent().empty()) {
      recent->addSeparator();
      recent->addAction(tr("Clear the List"), this, [this] {
        memory_.clear_recent();
        remember();
      });
    }
    recent->setEnabled(!memory_.recent().empty());
    menu->addSeparator();
    QAction* snapshot =
        menu->addAction(tr("Save a Snapshot"), QKeySequence(Qt::Key_S), this, [this] { take_snapshot(); });
    snapshot->setEnabled(controller_.is_playing());
  });
}

QStringList CDuiFrameWnd::recent_urls() const {
  QStringList out;
  for (const std::string& media : memory_.recent()) out << QString::fromStdString(media);
  return out;
}

}  // namespace ostrel
