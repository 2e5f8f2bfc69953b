// The calibration tool's window under X: started with a fisheye picture
// and a calibration path it shows the detected circle at once; dragging the
// bottom handle up with the mouse shrinks it; Save writes what is shown.
#include <geometry/calibration_file.h>
#include <uikit/language.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <opencv2/imgcodecs.hpp>

#include <cstdlib>

#include "dioptra_dlg.h"
#include "display_geometry.h"
#include "synthetic_picture.h"

using dioptra::CDioptraDlg;

namespace {

bool green(QRgb c) { return qGreen(c) > 200 && qRed(c) < 90 && qBlue(c) < 90; }

// Whether the circle's green line passes within 2 pixels of (x, y).
bool green_near(const QImage& image, int x, int y) {
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      if (image.valid(x + dx, y + dy) && green(image.pixel(x + dx, y + dy))) return true;
    }
  }
  return false;
}

bool xdotool(const QString& arguments) { return std::system(("xdotool " + arguments).toLocal8Bit().constData()) == 0; }

}  // namespace

class DioptraWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void showsTheCircleDragsAndSaves();
};

void DioptraWindowTest::showsTheCircleDragsAndSaves() {
  QTemporaryDir dir;
  const std::filesystem::path root(dir.path().toStdString());
  const std::filesystem::path picture = root / "frame.jpg";
  QVERIFY(cv::imwrite(picture.string(), orb::test::fisheye_picture(1600, 1200, 800, 600, 500)));
  const std::filesystem::path calibration = root / "lens.inf";
  const orb::Language language(u"Dioptra.osd");
  QVERIFY(language.loaded());
  CDioptraDlg window(language, root, picture, calibration);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(window.output_path(), calibration);

  // The detected circle, green, where its box says.
  QVERIFY(window.session().loaded());
  const dioptra::Box box = window.session().tracker().GetBox();
  QVERIFY(std::abs(box.left - 150) <= 4 && std::abs(box.bottom - 582) <= 4);
  const QImage shown = window.grab().toImage();
  const int mid_x = (box.left + box.right) / 2, mid_y = (box.top + box.bottom) / 2;
  QVERIFY(green_near(shown, box.left, mid_y));
  QVERIFY(green_near(shown, box.right, mid_y));
  QVERIFY(green_near(shown, mid_x, box.top));
  QVERIFY(green_near(shown, mid_x, box.bottom));
  QVERIFY(!green_near(shown, mid_x, mid_y - 100));

  // The bottom handle dragged 50 pixels up with the mouse.
  const float before = window.session().current().radius;
  const QString id = QString::number(window.winId());
  QVERIFY(xdotool(QString("mousemove --window %1 %2 %3 mousedown 1").arg(id).arg(mid_x).arg(box.bottom)));
  for (int step = 1; step <= 5; ++step) {
    QTest::qWait(60);
    QVERIFY(xdotool(QString("mousemove --window %1 %2 %3").arg(id).arg(mid_x).arg(box.bottom - step * 10)));
  }
  QTest::qWait(100);
  QVERIFY(xdotool("mouseup 1"));
  QTRY_VERIFY_WITH_TIMEOUT(window.session().current().radius < before - 80, 5000);
  QVERIFY(window.session().current().radius > before - 120);
  QVERIFY(std::abs(window.session().current().cx - 800) < 8);
  const QImage after = window.grab().toImage();
  QVERIFY(!green_near(after, mid_x, box.bottom));
  QVERIFY(green_near(after, mid_x, box.bottom - 50));

  // Save writes the shown circle to the path it was started with.
  QStringList messages;
  QTimer closer;
  connect(&closer, &QTimer::timeout, [&] {
    if (auto* box_ = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      messages << box_->text();
      box_->accept();
    }
  });
  closer.start(50);
  QTest::mouseClick(window.findChild<QAbstractButton*>("btnSave"), Qt::LeftButton);
  QCOMPARE(messages.size(), 1);
  QVERIFY(messages[0].startsWith(" Save Sucess."));
  orb::CameraParams camera;
  QCOMPARE(orb::read_calibration_file(calibration.c_str(), camera), 0);
  QCOMPARE(camera.image_width, 1600);
  QVERIFY(std::abs(camera.circle_radius - window.session().current().radius) < 0.05f);
  window.close();
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  DioptraWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dioptra_window_test.moc"
