// Dioptra: finds a fisheye lens's image circle in a picture or a video's
// first frame, lets the user correct it, and writes the calibration file.
// `Dioptra MEDIA CALIBRATION` analyses MEDIA at once and saves to CALIBRATION;
// `Dioptra MEDIA` saves beside MEDIA as "<name>.inf".
#include <common/debug_trace.h>
#include <common/version.h>
#include <common/paths.h>
#include <uikit/language.h>

#include <QApplication>

#include <cstdio>
#include <cstring>

#include <cstdio>
#include <optional>
#include <QFile>
#include <QMessageBox>
#include <QScreen>

#include "dioptra_dlg.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s\n", "Dioptra", orb::kSuiteVersion);
    return 0;
  }
  orb::trace_only_when_asked();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Dioptra");
  QApplication::setDesktopFileName("Dioptra");
  QApplication::setStyle("Fusion");
  QFile qss(":/dioptra/dioptra.qss");
  if (qss.open(QFile::ReadOnly)) app.setStyleSheet(QString::fromUtf8(qss.readAll()));

  const orb::Language language(u"Dioptra.osd");
  if (!language.loaded()) {
    const QString text = "error: the language plug-in (libverbix.so) is missing beside Dioptra; reinstall the program.";
    std::fprintf(stderr, "%s\n", qPrintable(text));
    QMessageBox::critical(nullptr, "Dioptra", text);
    return 1;
  }
  const QStringList args = QApplication::arguments();
  std::vector<std::string> arguments;
  for (qsizetype i = 1; i < args.size(); ++i) arguments.push_back(args[i].toStdString());
  std::optional<std::filesystem::path> media, calibration;
  if (const auto files = dioptra::start_files(arguments)) {
    media = files->media;
    calibration = files->calibration;
  }
  dioptra::CDioptraDlg window(language, orb::data_dir("Dioptra"), media, calibration);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window.move(screen->availableGeometry().center() - window.rect().center());
  }
  window.show();
  return QApplication::exec();
}
