#include "snapshot.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSaveFile>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ostrel {

QImage grab_window_picture(unsigned long window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 ? x11->display() : nullptr;
  XWindowAttributes attributes;
  if (!display || window == 0 || !XGetWindowAttributes(display, window, &attributes)) return {};
  if (attributes.map_state != IsViewable || attributes.width <= 0 || attributes.height <= 0) return {};
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image) return {};
  QImage picture(attributes.width, attributes.height, QImage::Format_RGB32);
  for (int y = 0; y < attributes.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      line[x] = qRgb(static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff), static_cast<int>(p & 0xff));
    }
  }
  XDestroyImage(image);
  return picture;
}

std::filesystem::path snapshot_folder(const std::filesystem::path& data_dir) {
  QProcess ask;
  ask.start("xdg-user-dir", {"PICTURES"});
  if (ask.waitForFinished(2000) && ask.exitStatus() == QProcess::NormalExit && ask.exitCode() == 0) {
    const QString folder = QString::fromLocal8Bit(ask.readAllStandardOutput()).trimmed();
    // Without a pictures folder set up the answer is the home folder itself.
    if (!folder.isEmpty() && QDir(folder) != QDir::home() && QDir().mkpath(folder)) return folder.toStdString();
  } else {
    ask.kill();
    ask.waitForFinished(500);
  }
  std::error_code ec;
  std::filesystem::create_directories(data_dir / "snapshots", ec);
  return data_dir / "snapshots";
}

QString snapshot_name(const QString& media, std::int64_t position_seconds) {
  QString stem = QFileInfo(media).completeBaseName();
  if (stem.isEmpty()) stem = "ostrel";
  stem.replace('/', '_');
  const std::int64_t s = std::max<std::int64_t>(position_seconds, 0);
  return QStringLiteral("%1 %2-%3-%4 %5.png")
      .arg(stem)
      .arg(s / 3600, 2, 10, QChar('0'))
      .arg(s / 60 % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'))
      .arg(QDateTime::currentDateTime().toString("yyyy-MM-dd hh-mm-ss"));
}

QString save_snapshot(const QImage& picture, const std::filesystem::path& folder, const QString& name) {
  if (picture.isNull()) return {};
  const QDir dir(QString::fromStdString(folder.string()));
  QString path = dir.filePath(name);
  for (int n = 2; QFileInfo::exists(path) && n < 1000; ++n) {
    path = dir.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(" (%1).png").arg(n));
  }
  QSaveFile out(path);  // written beside, renamed when complete
  if (!out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit()) return {};
  return path;
}

}  // namespace ostrel
