// The main window's keyboard: every key of the window, wherever the focus
// is (the video, a control, the list), goes through one router.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QSlider>
#include <QTreeWidget>

#include "key_commands.h"
#include "main_window.h"

namespace ostrel {
namespace {

// Sees key presses before the widget with the focus does, so a focused
// button or slider never turns Space or an arrow into its own action.
class KeyRouter : public QObject {
 public:
  explicit KeyRouter(CDuiFrameWnd* window) : QObject(window), window_(window) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    if (static_cast<QWidget*>(watched)->window() != window_) return false;  // a dialog's own keys
    return window_->handle_key(*static_cast<QKeyEvent*>(event));
  }

 private:
  CDuiFrameWnd* window_;
};

}  // namespace

void CDuiFrameWnd::route_keys() { new KeyRouter(this); }

bool CDuiFrameWnd::handle_key(const QKeyEvent& event) {
  const QWidget* focus = QApplication::focusWidget();
  const bool in_list = tree_ && focus && (focus == tree_ || tree_->isAncestorOf(focus));
  if (in_list && is_list_key(event.key())) return false;  // the list moves its own selection
  const KeyCommand command = key_command(event.key(), event.modifiers());
  if (command == KeyCommand::none) return false;
  run_command(command);
  return true;
}

void CDuiFrameWnd::run_command(KeyCommand command) {
  auto click = [this](const char* name) {
    if (auto* button = find<QAbstractButton>(name); button && button->isEnabled()) button->click();
  };
  auto shown = [this](const char* name) { return find(name) && find(name)->isVisible(); };
  auto* volume = find<QSlider>("sliderVol");
  switch (command) {
    case KeyCommand::none: break;
    case KeyCommand::play_pause: click(shown("btnPause") ? "btnPause" : "btnPlay"); break;
    case KeyCommand::seek_back: controller_.seek_by(-kShortSeekSeconds); break;
    case KeyCommand::seek_forward: controller_.seek_by(kShortSeekSeconds); break;
    case KeyCommand::seek_back_long: controller_.seek_by(-kLongSeekSeconds); break;
    case KeyCommand::seek_forward_long: controller_.seek_by(kLongSeekSeconds); break;
    case KeyCommand::volume_up:
      if (volume) volume->setValue(volume->value() + kVolumeStep);
      break;
    case KeyCommand::volume_down:
      if (volume) volume->setValue(volume->value() - kVolumeStep);
      break;
    case KeyCommand::mute: click(shown("btnVolumeZero") ? "btnVolumeZero" : "btnVolume"); break;
    case KeyCommand::full_screen: set_full_screen(!full_screen_); break;
    case KeyCommand::leave_full_screen:
      if (full_screen_) set_full_screen(false);
      break;
    case KeyCommand::previous: go_to(Direction::kPrevious); break;
    case KeyCommand::next: go_to(Direction::kNext); break;
    case KeyCommand::layout_wide: click("widebtn"); break;
    case KeyCommand::layout_split2: click("split2btn"); break;
    case KeyCommand::layout_split4: click("split4btn"); break;
    case KeyCommand::snapshot: take_snapshot(); break;
    case KeyCommand::open_file: open_one_dialog(); break;
    case KeyCommand::open_url: open_url_dialog(); break;
    case KeyCommand::remove_item: delete_one(); break;
  }
}

}  // namespace ostrel
