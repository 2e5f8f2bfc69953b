// The calibration tool's window under X: started with a fisheye picture
// and a calibration path it shows the detected circle at once; dragging the
// bottom handle up with the mouse shrinks it; Save writes what is shown.
#include <geometry/calibration_file.h>
#include <uikit/language.h>

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <opencv2/imgcodecs.hpp>

#include <cmath>
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

bool red(QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80; }

// Messages the window shows while `action` runs, each answered with OK.
template <typename F>
QStringList answered_messages(F&& action) {
  QStringList messages;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      messages << box->text();
      box->accept();
    }
  });
  closer.start(50);
  action();
  return messages;
}

bool xdotool(const QString& arguments) { return std::system(("xdotool " + arguments).toLocal8Bit().constData()) == 0; }

}  // namespace

class DioptraWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void showsTheCircleDragsAndSaves();
  void circlesGrowPastTheDetectionAndTakeTypedNumbers();
  void aMissingFileIsSaidNotShownEmpty();
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
  // On the circle between the handles (which cover it where they sit).
  const double r = (box.right - box.left) / 2.0;
  for (int k = 0; k < 4; ++k) {
    const double a = (45 + 90 * k) * M_PI / 180;
    QVERIFY(green_near(shown, static_cast<int>(std::lround(mid_x + r * std::cos(a))),
                       static_cast<int>(std::lround(mid_y + r * std::sin(a)))));
  }
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
  const double shrunk = r - 50;
  QVERIFY(!green_near(after, static_cast<int>(mid_x + r * M_SQRT1_2), static_cast<int>(mid_y + r * M_SQRT1_2)));
  QVERIFY(green_near(after, static_cast<int>(std::lround(mid_x + shrunk * M_SQRT1_2)),
                     static_cast<int>(std::lround(mid_y + shrunk * M_SQRT1_2))));

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

void DioptraWindowTest::circlesGrowPastTheDetectionAndTakeTypedNumbers() {
  QTemporaryDir dir;
  const std::filesystem::path root(dir.path().toStdString());
  const std::filesystem::path picture = root / "frame.jpg";
  QVERIFY(cv::imwrite(picture.string(), orb::test::fisheye_picture(1600, 1200, 799.5f, 599.5f, 500)));
  const orb::Language language(u"Dioptra.osd");
  CDioptraDlg window(language, root, picture, root / "lens.inf");
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QVERIFY(window.session().found());
  QVERIFY(window.notice().isEmpty());

  // Handles big enough to see and grab, with a cursor that says what they do.
  const dioptra::Point right = window.session().tracker().handle(dioptra::HANDLE_RIGHT);
  const QImage shown = window.grab().toImage();
  int red_pixels = 0;
  for (int dy = -6; dy <= 6; ++dy)
    for (int dx = -6; dx <= 6; ++dx) red_pixels += red(shown.pixel(right.x + dx, right.y + dy));
  QVERIFY2(red_pixels >= 80, qPrintable(QString::number(red_pixels)));
  const QString id = QString::number(window.winId());
  QVERIFY(xdotool(QString("mousemove --window %1 %2 %3").arg(id).arg(right.x + 5).arg(right.y + 5)));
  QTRY_COMPARE_WITH_TIMEOUT(window.cursor().shape(), Qt::SizeHorCursor, 3000);

  // The right handle pulled outward: past the circle first found.
  const float before = window.session().current().radius;
  QVERIFY(xdotool(QString("mousemove --window %1 %2 %3 mousedown 1").arg(id).arg(right.x).arg(right.y)));
  for (int step = 1; step <= 5; ++step) {
    QTest::qWait(60);
    QVERIFY(xdotool(QString("mousemove --window %1 %2 %3").arg(id).arg(right.x + step * 8).arg(right.y)));
  }
  QTest::qWait(100);
  QVERIFY(xdotool("mouseup 1"));
  QTRY_VERIFY_WITH_TIMEOUT(window.session().current().radius > before + 60, 5000);

  // Numbers typed in become the circle.
  auto* radius = window.findChild<QDoubleSpinBox*>("spinRadius");
  auto* cx = window.findChild<QDoubleSpinBox*>("spinCx");
  QVERIFY(radius && cx);
  QCOMPARE(radius->value(), std::round(window.session().current().radius * 10) / 10);
  radius->setFocus();
  radius->selectAll();
  QTest::keyClicks(radius, "612.5");
  QTest::keyClick(radius, Qt::Key_Return);
  QCOMPARE(window.session().current().radius, 612.5f);
  cx->setFocus();
  cx->selectAll();
  QTest::keyClicks(cx, "9999");  // off the picture: refused, the field shows the circle again
  QTest::keyClick(cx, Qt::Key_Return);
  QCOMPARE(cx->value(), std::round(window.session().current().cx * 10) / 10);
  QVERIFY(std::abs(window.session().current().cx - 799.5f) < 3);
  const QStringList saved =
      answered_messages([&] { QTest::mouseClick(window.findChild<QAbstractButton*>("btnSave"), Qt::LeftButton); });
  QCOMPARE(saved.size(), 1);
  orb::CameraParams camera;
  QCOMPARE(orb::read_calibration_file((root / "lens.inf").c_str(), camera), 0);
  QVERIFY(std::abs(camera.circle_radius - 612.5f) < 0.05f);
  window.close();
}

void DioptraWindowTest::aMissingFileIsSaidNotShownEmpty() {
  QTemporaryDir dir;
  const std::filesystem::path root(dir.path().toStdString());
  const orb::Language language(u"Dioptra.osd");
  const QStringList messages = answered_messages([&] {
    CDioptraDlg window(language, root, root / "gone.mp4", root / "gone.inf");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    QVERIFY(window.notice().contains("gone.mp4"));
    window.close();
  });
  QCOMPARE(messages.size(), 1);
  QVERIFY(messages[0].contains("gone.mp4"));

  // A picture without a lens circle: a centred circle and a request to drag it.
  const std::filesystem::path plain = root / "plain.jpg";
  QVERIFY(cv::imwrite(plain.string(), cv::Mat(600, 800, CV_8UC3, cv::Scalar(90, 120, 150))));
  CDioptraDlg window(language, root, plain, root / "plain.inf");
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QVERIFY(!window.session().found());
  QVERIFY(window.notice().contains("drag"));
  QCOMPARE(window.session().current().cx, 399.5f);
  window.close();
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  DioptraWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dioptra_window_test.moc"
