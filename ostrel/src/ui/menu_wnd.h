#pragma once
// The play-mode popup under the play-mode button: in order, at random,
// repeat one, with a marker at the current mode. It closes when it loses
// the focus or after a choice, and deletes itself.
#include <QWidget>

namespace orb {
class Language;
}

namespace ostrel {

class CMenuWnd : public QWidget {
  Q_OBJECT
 public:
  // Shown with its top-left corner at `anchor`'s bottom-left corner.
  static CMenuWnd* popup(QWidget* anchor, int play_mode, const orb::Language& language);

 signals:
  // "menuSequence", "menuRandom" or "menuSingleCircle".
  void item_click(const QString& item);

 private:
  explicit CMenuWnd(QWidget* parent);
};

}  // namespace ostrel
