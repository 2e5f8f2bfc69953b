#include "menu_wnd.h"

#include <QAbstractButton>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include <uikit/language.h>
#include "skin_loader.h"

namespace ostrel {

CMenuWnd::CMenuWnd(QWidget* parent) : QWidget(parent, Qt::Popup) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("MenuWnd");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  if (QWidget* skin = SkinLoader::load_skin("menu.ui", this)) {
    layout->addWidget(skin);
    setFixedSize(skin->size());
  }
}

CMenuWnd* CMenuWnd::popup(QWidget* anchor, int play_mode, const orb::Language& language) {
  auto* menu = new CMenuWnd(anchor->window());
  static const char* const kItems[] = {"menuSequence", "menuRandom", "menuSingleCircle"};
  for (int i = 0; i < 3; ++i) {
    if (auto* marker = menu->findChild<QLabel*>(QStringLiteral("lab_item%1").arg(i))) {
      QSizePolicy policy = marker->sizePolicy();
      policy.setRetainSizeWhenHidden(true);  // the labels line up with or without a marker
      marker->setSizePolicy(policy);
      marker->setVisible(i == play_mode);
    }
    auto* label = menu->findChild<QLabel*>(QStringLiteral("lab_%1").arg(kItems[i]));
    if (label) {
      label->setAttribute(Qt::WA_TransparentForMouseEvents);
      const QString text = language.text(52 + i);
      if (!text.isEmpty()) label->setText(text);
    }
    if (auto* button = menu->findChild<QAbstractButton*>(kItems[i])) {
      const QString item = kItems[i];
      connect(button, &QAbstractButton::clicked, menu, [menu, item] {
        emit menu->item_click(item);
        menu->close();
      });
    }
  }
  for (auto* marker : menu->findChildren<QLabel*>()) {
    if (marker->objectName().startsWith("lab_item")) marker->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  // Under the button, kept inside the window when the button sits at its edge.
  QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
  const QWidget* window = anchor->window();
  const int right = window->mapToGlobal(QPoint(window->width(), 0)).x();
  at.setX(std::min(at.x(), right - menu->width()));
  menu->move(at);
  menu->show();
  return menu;
}

}  // namespace ostrel
