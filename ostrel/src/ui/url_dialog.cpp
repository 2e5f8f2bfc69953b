#include "url_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace ostrel {

QString with_rtsp_over_tcp(const QString& address) {
  const bool rtsp =
      address.startsWith("rtsp://", Qt::CaseInsensitive) || address.startsWith("rtsps://", Qt::CaseInsensitive);
  if (!rtsp) return address;
  const qsizetype query = address.lastIndexOf('?');
  if (query >= 0) {
    const QStringList options = address.mid(query + 1).split('&');
    if (options.contains("tcp")) return address;
    return address + "&tcp";
  }
  return address + "?tcp";
}

UrlDialog::UrlDialog(const QStringList& recent, QWidget* parent) : QDialog(parent) {
  setObjectName("dlgOpenUrl");
  setWindowTitle(tr("Open URL"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("A camera stream (rtsp://, rtsps://, http://, https://) or a file:"), this));
  address_ = new QComboBox(this);
  address_->setObjectName("editUrl");
  address_->setEditable(true);
  address_->addItems(recent);
  address_->setCurrentText(QString());
  address_->setMinimumWidth(420);
  address_->lineEdit()->setPlaceholderText("rtsp://camera.local:554/live");
  layout->addWidget(address_);
  tcp_ = new QCheckBox(tr("RTSP over TCP (through firewalls, no lost packets)"), this);
  tcp_->setObjectName("checkTcp");
  layout->addWidget(tcp_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString UrlDialog::address() const {
  const QString given = address_->currentText().trimmed();
  return tcp_->isChecked() ? with_rtsp_over_tcp(given) : given;
}

}  // namespace ostrel
