#include "skin_loader.h"

#include <common/debug_trace.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QIcon>
#include <QToolButton>

#include "my_slider.h"
#include "wnd_ui.h"

namespace ostrel {

QWidget* SkinLoader::load_skin(const QString& name, QWidget* parent) {
  QFile file(":/skin/" + name);
  if (!file.open(QFile::ReadOnly)) {
    orb::debug_trace("error: skin file %s is missing", qPrintable(name));
    return nullptr;
  }
  SkinLoader loader;
  QWidget* widget = loader.load(&file, parent);
  if (!widget) orb::debug_trace("error: skin file %s: %s", qPrintable(name), qPrintable(loader.errorString()));
  return widget;
}

QWidget* SkinLoader::createWidget(const QString& class_name, QWidget* parent, const QString& name) {
  QWidget* widget = nullptr;
  if (class_name == "Caption" || class_name == "PlayPanel" || class_name == "Playlist") {
    // A loader of its own: one load at a time per loader.
    widget = load_skin(class_name + ".ui", parent);
  } else if (class_name == "WndMediaDisplay") {
    widget = new CWndUI(parent);
  } else if (class_name == "MySlider") {
    widget = new MySlider(parent);
  } else {
    return QUiLoader::createWidget(class_name, parent, name);
  }
  if (widget) widget->setObjectName(name);
  return widget;
}

void apply_skin_style(QApplication& app) {
  QApplication::setStyle("Fusion");
  QFile qss(":/skin/ostrel.qss");
  if (qss.open(QFile::ReadOnly)) app.setStyleSheet(QString::fromUtf8(qss.readAll()));
}

void group_options(QWidget* root, QObject* owner, std::initializer_list<const char*> names) {
  auto* group = new QButtonGroup(owner);
  for (const char* name : names) {
    if (auto* b = root->findChild<QAbstractButton*>(name)) {
      b->setCheckable(true);
      group->addButton(b);
    }
  }
}

void apply_icons(QWidget* root) {
  struct Entry {
    const char* button;
    const char* theme;  // "" where no standard icon says the same
    const char* file;
  };
  static const Entry kIcons[] = {
      {"btnPlay", "media-playback-start", "play"},
      {"btnPause", "media-playback-pause", "pause"},
      {"btnStop", "media-playback-stop", "stop"},
      {"btnPrePlay", "media-skip-backward", "previous"},
      {"btnNextPlay", "media-skip-forward", "next"},
      {"btnOpenMini", "document-open", "open"},
      {"btnOpen", "document-open", "open"},
      {"btnMenu", "open-menu", "menu"},
      {"btnScreenFull", "view-fullscreen", "fullscreen"},
      {"btnScreenNormal", "view-restore", "fullscreen-exit"},
      {"btnVolume", "audio-volume-high", "volume"},
      {"btnVolumeZero", "audio-volume-muted", "muted"},
      {"btnTranslate", "", "convert"},
      {"btnBiaoding", "", "calibrate"},
      {"top_btn", "", "mount-up"},
      {"downbtn", "", "mount-down"},
      {"leftbtn", "", "mount-left"},
      {"rightbtn", "", "mount-right"},
      {"widebtn", "", "wide"},
      {"ballbtn", "", "wide"},
      {"split2btn", "", "split2"},
      {"split4btn", "", "split4"},
      {"btnPlaylistShow", "", "playlist-show"},
      {"btnPlaylistHide", "", "playlist-hide"},
      {"btnPlayMode", "media-playlist-repeat", "play-mode"},
      {"btnAdd", "list-add", "add"},
      {"btnDelOne", "list-remove", "delete-one"},
      {"btnDelete", "edit-clear-all", "delete-all"},
      {"btnHelp", "help-contents", "help"},
      {"minbtn", "window-minimize", "minimise"},
      {"maxbtn", "window-maximize", "maximise"},
      {"restorebtn", "window-restore", "restore"},
      {"closebtn", "window-close", "close"},
      {"optLeft", "", "mount-left"},
      {"optRight", "", "mount-right"},
      {"optDown", "", "mount-down"},
      {"optUp", "", "mount-up"},
      {"optSlit2", "", "split2"},
      {"optSlit4", "", "split4"},
      {"optWide", "", "wide"},
  };
  for (const Entry& e : kIcons) {
    // Tool buttons are the skin's picture buttons; push buttons keep their text alone.
    auto* button = root->findChild<QToolButton*>(e.button);
    if (!button) continue;
    const QIcon fallback(QStringLiteral(":/skin/icons/%1.svg").arg(e.file));
    button->setIcon(*e.theme ? QIcon::fromTheme(e.theme, fallback) : fallback);
  }
}

}  // namespace ostrel
