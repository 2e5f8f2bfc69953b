// The playlist side of the main window: the tree that mirrors the list,
// adding and removing, the play-mode menu, and moving to another item.
#include <common/debug_trace.h>

#include <QColor>
#include <QFileDialog>
#include <QFileInfo>
#include <QTreeWidget>

#include <algorithm>

#include "main_window.h"
#include "menu_wnd.h"
#include "media_dialogs.h"

namespace ostrel {
namespace {

constexpr int kTagRole = Qt::UserRole;  // 1 marks a file item
constexpr int kFileTag = 1;

}  // namespace

QTreeWidgetItem* CDuiFrameWnd::tree_root() const { return tree_ ? tree_->invisibleRootItem() : nullptr; }

void CDuiFrameWnd::fill_tree() {
  add_tree_items(playlist_.paths());
  select_list_index(settings_.current_index);
}

void CDuiFrameWnd::add_tree_items(const std::vector<std::string>& paths) {
  QTreeWidgetItem* root = tree_root();
  if (!root) return;
  for (const std::string& path : paths) {
    const QString full = QString::fromStdString(path);
    auto* item = new QTreeWidgetItem(root, {QFileInfo(full).fileName()});
    item->setData(0, kTagRole, kFileTag);
    item->setToolTip(0, full);
    item->setForeground(0, QColor(0xC8, 0xC6, 0xCB));
    item->setSizeHint(0, QSize(0, 22));
  }
}

void CDuiFrameWnd::add_to_playlist(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (playlist_.add({path}, true) == 1) add_tree_items({path});
  }
  save_state();
}

void CDuiFrameWnd::select_list_index(std::int32_t index) {
  QTreeWidgetItem* root = tree_root();
  if (!root) return;
  const std::int32_t position = index - kFirstFileIndex;
  if (position < 0 || position >= root->childCount()) {
    tree_->clearSelection();
    return;
  }
  tree_->setCurrentItem(root->child(position));
}

void CDuiFrameWnd::mark_current(const std::string& path) {
  const auto& paths = playlist_.paths();
  for (std::size_t p = 0; p < paths.size(); ++p) {
    if (paths[p] != path) continue;
    settings_.current_index = static_cast<std::int32_t>(p) + kFirstFileIndex;
    select_list_index(settings_.current_index);
    return;
  }
}

std::string CDuiFrameWnd::choose_next(Direction direction) {
  std::int32_t current = settings_.current_index;
  std::string path = playlist_.choose(direction, settings_.play_mode, current, kFirstFileIndex);
  if (path.empty()) return path;
  settings_.current_index = current;
  select_list_index(current);  // the focus stays where the user put it: the keys keep their meaning
  return path;
}

void CDuiFrameWnd::go_to(Direction direction) {
  if (!controller_.is_playing()) return;
  remember_position();
  time_timer_.stop();
  controller_.stop_playback();
  set_playing_state(false);
  pump(2, 50);
  current_path_ = choose_next(direction);
  if (!current_path_.empty())
    QMetaObject::invokeMethod(
        this, [this] { start_current(); }, Qt::QueuedConnection);
}

void CDuiFrameWnd::on_item_activated(QTreeWidgetItem* item) {
  QTreeWidgetItem* root = tree_root();
  if (!item || !root || item->data(0, kTagRole).toInt() != kFileTag) return;
  const int position = root->indexOfChild(item);
  if (position < 0 || static_cast<std::size_t>(position) >= playlist_.size()) return;
  settings_.current_index = position + kFirstFileIndex;
  current_path_ = playlist_.paths()[static_cast<std::size_t>(position)];
  if (current_path_.empty()) return;
  if (controller_.is_playing()) {
    remember_position();
    controller_.stop_playback();
    pump(2, 50);
  }
  start_current();
}

// Play while stopped: the file selected in the list, else the current or
// first one; with an empty list, the open dialog.
void CDuiFrameWnd::play_from_idle() {
  if (controller_.busy() || fatal_) return;  // a start or stop is still under way
  QTreeWidgetItem* selected = tree_ ? tree_->currentItem() : nullptr;
  if (selected && selected->data(0, kTagRole).toInt() == kFileTag) {
    on_item_activated(selected);
    return;
  }
  if (playlist_.size() == 0) {
    open_one_dialog();
    return;
  }
  const auto& paths = playlist_.paths();
  if (std::find(paths.begin(), paths.end(), current_path_) == paths.end()) current_path_ = paths.front();
  start_current();
}

void CDuiFrameWnd::delete_one() {
  QTreeWidgetItem* root = tree_root();
  QTreeWidgetItem* item = tree_ ? tree_->currentItem() : nullptr;
  if (!root || !item || item->data(0, kTagRole).toInt() != kFileTag) return;
  const int position = root->indexOfChild(item);
  if (position < 0) return;
  playlist_.remove(static_cast<std::size_t>(position));
  delete item;
  const std::int32_t index = position + kFirstFileIndex;
  // The item last started keeps its place in the order: removing it or one
  // before it moves the index back, so "next" is still the one after it.
  if (settings_.current_index >= index) --settings_.current_index;
  select_list_index(position < root->childCount() ? index : 0);
  save_state();
}

void CDuiFrameWnd::delete_all() {
  playlist_.clear();
  if (tree_) tree_->clear();
  settings_.current_index = -1;
  save_state();
}

void CDuiFrameWnd::add_dialog() {
  const QStringList files = QFileDialog::getOpenFileNames(this, QString(), QString(), media_dialog_filters());
  std::vector<std::string> paths;
  for (const QString& f : files) paths.push_back(f.toStdString());
  add_to_playlist(paths);
}

void CDuiFrameWnd::play_mode_menu() {
  QWidget* anchor = find("btnPlayMode");
  if (!anchor) return;
  CMenuWnd* menu = CMenuWnd::popup(anchor, settings_.play_mode, language_);
  connect(menu, &CMenuWnd::item_click, this, [this](const QString& item) {
    if (item == "menuSequence") settings_.play_mode = kPlaySequence;
    if (item == "menuRandom") settings_.play_mode = kPlayRandom;
    if (item == "menuSingleCircle") settings_.play_mode = kPlaySingleLoop;
    save_state();
  });
}

}  // namespace ostrel
