#pragma once
// Builds windows from the skin's Designer files (a Qt resource). The
// loader is the control factory: "Caption", "PlayPanel" and "Playlist"
// are built from skin files of their own, "WndMediaDisplay" becomes the
// video area and "MySlider" the seek slider.
#include <QUiLoader>

#include <initializer_list>

class QApplication;

namespace ostrel {

class SkinLoader : public QUiLoader {
 public:
  // The widget of skin file `name` (e.g. "Wideframe.ui"), or null with a
  // diagnostic line when the skin cannot be read.
  static QWidget* load_skin(const QString& name, QWidget* parent);

  QWidget* createWidget(const QString& class_name, QWidget* parent, const QString& name) override;
};

// The skin's style sheet on the Fusion style, for the whole application.
void apply_skin_style(QApplication& app);

// Puts the named checkable buttons of `root` in one exclusive group owned
// by `owner` (one choice shows at a time); missing names are skipped.
void group_options(QWidget* root, QObject* owner, std::initializer_list<const char*> names);

// Sets every button's icon from the desktop's icon theme, falling back to
// the skin's own pictures.
void apply_icons(QWidget* root);

}  // namespace ostrel
