#pragma once
// Asks for a stream address (rtsp://, rtsps://, http(s)://) or a file path.
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;

namespace ostrel {

class UrlDialog : public QDialog {
  Q_OBJECT
 public:
  // `recent` fills the address list, newest first.
  UrlDialog(const QStringList& recent, QWidget* parent = nullptr);

  // The address as the player opens it: RTSP over TCP adds FFmpeg's "tcp"
  // option to the address ("rtsp://camera/live?tcp").
  QString address() const;

 private:
  QComboBox* address_ = nullptr;
  QCheckBox* tcp_ = nullptr;
};

// Adds the RTSP "tcp" transport option to an rtsp:// address once.
QString with_rtsp_over_tcp(const QString& address);

}  // namespace ostrel
