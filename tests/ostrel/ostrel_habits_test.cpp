// The player application as people used to other players drive it: keys
// wherever the focus is, controls that stay put, full screen that gets out
// of the way, resume and memory, snapshots, failures said in the window, a
// camera's live stream, and the conversion dialog on the file playing.
#include <geometry/calibration_file.h>
#include <synth/fisheye_clip.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app_files.h"
#include "main_window.h"
#include "skin_loader.h"
#include "translate_wnd.h"
#include "window_checks.h"
#include "wnd_ui.h"

namespace fs = std::filesystem;
using ostrel::CDuiFrameWnd;
using ostrel::test::grab;
using ostrel::test::lit_share_percent;
using ostrel::test::xdotool;

namespace {

// Where every visible control of the panel and caption sits in the window.
std::map<QString, QRect> control_places(const CDuiFrameWnd& w) {
  std::map<QString, QRect> out;
  for (const char* area : {"ctnPanel", "ctnCaption"}) {
    for (const QWidget* c : w.findChild<QWidget*>(area)->findChildren<QWidget*>()) {
      if (c->objectName().isEmpty() || !c->isVisible() || c->objectName().startsWith("qt_")) continue;
      out[c->objectName()] = QRect(c->mapTo(&w, QPoint(0, 0)), c->size());
    }
  }
  return out;
}

// Runs `act` on the modal dialog that the next blocking call opens.
void on_next_dialog(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(50);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    timer->stop();
    timer->deleteLater();
    act(modal);
  });
  timer->start();
}

}  // namespace

class OstrelHabitsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void keysWorkOnTheVideoAndTheControls();
  void controlsStayPutAndFullScreenGetsOutOfTheWay();
  void longFilesResumeAndTheWindowRemembers();
  void snapshotsGoToThePicturesFolder();
  void failuresAreSaidInTheWindow();
  void liveStreamShowsLiveAndItsEndIsSaid();
  void conversionOpensOnTheFilePlayingAndMountKeepsThePause();

 private:
  std::unique_ptr<QTemporaryDir> data_dir();
  std::unique_ptr<CDuiFrameWnd> window(const QTemporaryDir& dir);
  // True once `media` plays and its start has laid out its views.
  static bool wait_playing(CDuiFrameWnd& w, const fs::path& media);

  QTemporaryDir media_;
  fs::path clip_, short_, long_;
  orb::synth::ClipSpec spec_;
};

void OstrelHabitsTest::initTestCase() {
  QVERIFY(media_.isValid());
  const fs::path root(media_.path().toStdString());
  spec_.width = 640;
  spec_.height = 480;
  spec_.fps_num = 25;
  spec_.seconds = 20;
  spec_.fov_deg = 200;
  clip_ = root / "clip.mp4";
  short_ = root / "short.mp4";
  long_ = root / "long.mp4";
  QCOMPARE(QString::fromStdString(orb::synth::write_clip(clip_.string(), spec_)), QString());
  orb::synth::ClipSpec other = spec_;
  other.seconds = 4;
  QCOMPARE(QString::fromStdString(orb::synth::write_clip(short_.string(), other)), QString());
  other.seconds = 200;  // long enough to be resumed
  other.fps_num = 5;
  other.audio = orb::synth::AudioTrack::kNone;
  QCOMPARE(QString::fromStdString(orb::synth::write_clip(long_.string(), other)), QString());
  // A pictures folder of the test's own, and no web browser: help shows in the program.
  fs::create_directories(root / "config");
  std::ofstream(root / "config" / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"" << (root / "Pictures").string() << "\"\n";
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((root / "config").string()));
  qputenv("ORB_NO_BROWSER", "1");
}

std::unique_ptr<QTemporaryDir> OstrelHabitsTest::data_dir() { return ostrel::test::data_dir_for(spec_); }

std::unique_ptr<CDuiFrameWnd> OstrelHabitsTest::window(const QTemporaryDir& dir) {
  return ostrel::test::open_window(dir, true);
}

bool OstrelHabitsTest::wait_playing(CDuiFrameWnd& w, const fs::path& media) {
  const bool playing =
      QTest::qWaitFor([&] { return w.controller().is_playing() && w.current_path() == media.string(); }, 20000);
  if (!playing) qWarning("%s is not playing; %s is", media.c_str(), w.current_path().c_str());
  w.controller().wait_idle();
  return playing;
}

void OstrelHabitsTest::keysWorkOnTheVideoAndTheControls() {
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  // Nothing to play: Space (Play) and Ctrl+O ask for a file.
  for (const auto& [k, m] : {std::pair{Qt::Key_Space, Qt::NoModifier}, std::pair{Qt::Key_O, Qt::ControlModifier}}) {
    QString asked;
    on_next_dialog([&](QWidget* d) {
      asked = d->metaObject()->className();
      static_cast<QDialog*>(d)->reject();
    });
    QTest::keyClick(w.get(), k, m);
    QCOMPARE(asked, QString("QFileDialog"));
  }
  w->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.get()));
  w->open_files({QString::fromStdString(clip_.string()), QString::fromStdString(short_.string())});
  QVERIFY(wait_playing(*w, clip_));
  ostrel::PlayController& c = w->controller();
  auto* volume = w->findChild<QSlider*>("sliderVol");
  auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), k, m);
  };

  // A focused control does not keep the player's keys for itself.
  volume->setFocus();
  const int loudness = volume->value();
  key(Qt::Key_Down);
  QCOMPARE(volume->value(), loudness - 5);
  key(Qt::Key_Up);
  QCOMPARE(volume->value(), loudness);
  QTRY_VERIFY_WITH_TIMEOUT(c.current_seconds() >= 3, 10000);
  const std::int64_t before = c.current_seconds();
  key(Qt::Key_Right);
  QTRY_VERIFY_WITH_TIMEOUT(c.current_seconds() >= before + 4, 5000);
  key(Qt::Key_Left, Qt::ShiftModifier);
  QTRY_VERIFY_WITH_TIMEOUT(c.current_seconds() <= 2, 5000);
  key(Qt::Key_Space);
  QVERIFY(c.paused());
  QVERIFY(w->findChild<QWidget*>("btnPlay")->isVisible());
  key(Qt::Key_Space);
  QVERIFY(!c.paused());
  key(Qt::Key_M);
  QVERIFY(w->findChild<QWidget*>("btnVolumeZero")->isVisible());
  key(Qt::Key_M);
  QVERIFY(w->findChild<QWidget*>("btnVolume")->isVisible());
  const std::pair<Qt::Key, std::int32_t> layouts[] = {{Qt::Key_2, ostrel::kLayoutSplit2},
                                                      {Qt::Key_1, ostrel::kLayoutWide},
                                                      {Qt::Key_4, ostrel::kLayoutSplit4},
                                                      {Qt::Key_W, ostrel::kLayoutWide}};
  for (const auto& [k, layout] : layouts) {
    key(k);
    QCOMPARE(c.layout(), layout);
  }
  for (Qt::Key k : {Qt::Key_F, Qt::Key_F11}) {
    key(k);
    QVERIFY(w->full_screen());
    key(Qt::Key_Escape);
    QVERIFY(!w->full_screen());
  }

  // Over the picture: the keys pass from the player's window to ours.
  const QString video = QString::number(w->video()->native_window());
  QVERIFY(xdotool(QString("mousemove --window %1 20 20 key 2").arg(video)));
  QTRY_COMPARE_WITH_TIMEOUT(c.layout(), std::int32_t{ostrel::kLayoutSplit2}, 5000);
  QVERIFY(xdotool("key space"));
  QTRY_VERIFY_WITH_TIMEOUT(c.paused(), 5000);
  QVERIFY(xdotool("key space"));
  QTRY_VERIFY_WITH_TIMEOUT(!c.paused(), 5000);

  // The list keeps its arrows; next and previous work from there too.
  auto* tree = w->findChild<QTreeWidget*>("treePlaylist");
  tree->setFocus();
  tree->setCurrentItem(tree->topLevelItem(0));
  key(Qt::Key_Down);
  QCOMPARE(tree->currentItem(), tree->topLevelItem(1));
  QCOMPARE(volume->value(), loudness);
  key(Qt::Key_N);
  QVERIFY(wait_playing(*w, short_));
  QCOMPARE(QApplication::focusWidget(), tree);
  key(Qt::Key_PageUp);
  QVERIFY(wait_playing(*w, clip_));
  tree->setFocus();
  tree->setCurrentItem(tree->topLevelItem(1));
  key(Qt::Key_Delete);
  QCOMPARE(w->playlist().paths(), std::vector<std::string>{clip_.string()});

  // Ctrl+U asks for an address; cancelled, what plays plays on.
  QString asked;
  on_next_dialog([&](QWidget* d) {
    asked = d->objectName();
    static_cast<QDialog*>(d)->reject();
  });
  key(Qt::Key_U, Qt::ControlModifier);
  QCOMPARE(asked, QString("dlgOpenUrl"));
  QVERIFY(c.is_playing());
  QVERIFY(w->findChild<QWidget*>("btnPause")->toolTip().contains("Space"));
  w->close();
}

void OstrelHabitsTest::controlsStayPutAndFullScreenGetsOutOfTheWay() {
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  w->open_files({QString::fromStdString(short_.string())});
  QVERIFY(wait_playing(*w, short_));
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!w->controller().busy() && !w->controller().is_playing(), 10000);
  QTest::qWait(200);
  const QRect stopped_window = w->geometry();
  std::map<QString, QRect> stopped = control_places(*w);
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPlay"), Qt::LeftButton);
  QVERIFY(wait_playing(*w, short_));
  QTest::qWait(200);
  std::map<QString, QRect> playing = control_places(*w);
  QCOMPARE(w->geometry(), stopped_window);
  // Play and Pause share one place; everything else stays where it was.
  QCOMPARE(playing.at("btnPause"), stopped.at("btnPlay"));
  for (const char* swapped : {"btnPlay", "btnPause"}) {
    stopped.erase(swapped);
    playing.erase(swapped);
  }
  QCOMPARE(playing.size(), stopped.size());
  for (const auto& [name, place] : stopped)
    QVERIFY2(playing.count(name) && playing.at(name) == place, qPrintable(name));

  // Full screen: after two still seconds the controls and pointer go, a movement brings them back.
  QCursor::setPos(w->geometry().center());
  QTest::keyClick(w.get(), Qt::Key_F);
  QVERIFY(w->full_screen());
  QTRY_VERIFY_WITH_TIMEOUT(!w->controls_shown(), 4000);
  QVERIFY(!w->findChild<QWidget*>("ctnPanel")->isVisible());
  QCOMPARE(w->video()->cursor().shape(), Qt::BlankCursor);
  QCursor::setPos(QCursor::pos() + QPoint(30, 20));
  QTRY_VERIFY_WITH_TIMEOUT(w->controls_shown(), 2000);
  QVERIFY(w->findChild<QWidget*>("ctnPanel")->isVisible());
  QTest::keyClick(w.get(), Qt::Key_Escape);
  QTRY_COMPARE_WITH_TIMEOUT(w->geometry(), stopped_window, 5000);

  // The playlist the user hid stays hidden when the file ends.
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPlaylistHide"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!w->controller().is_playing(), 15000);
  QTest::qWait(300);
  QVERIFY(!w->findChild<QWidget*>("ctnPlaylist")->isVisible());
  QCOMPARE(w->geometry(), stopped_window);
  w->close();
}

void OstrelHabitsTest::longFilesResumeAndTheWindowRemembers() {
  auto dir = data_dir();
  const QString long_path = QString::fromStdString(long_.string());
  {
    auto w = window(*dir);
    QVERIFY(w);
    w->open_files({long_path});
    QVERIFY(wait_playing(*w, long_));
    w->controller().seek_to_seconds(100);
    QTRY_VERIFY_WITH_TIMEOUT(w->controller().current_seconds() >= 101, 10000);
    w->findChild<QSlider*>("sliderVol")->setValue(35);
    QTest::mouseClick(w->findChild<QAbstractButton*>("split2btn"), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->controller().busy(), 10000);
    w->close();
  }
  auto w = window(*dir);
  QVERIFY(w);
  QCOMPARE(w->findChild<QSlider*>("sliderVol")->value(), 35);
  QCOMPARE(w->memory().recent().front(), long_.string());
  w->open_files({long_path});
  QVERIFY(wait_playing(*w, long_));
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().current_seconds() >= 100, 10000);
  QVERIFY(w->controller().current_seconds() <= 106);
  QCOMPARE(w->controller().layout(), std::int32_t{ostrel::kLayoutSplit2});
  QVERIFY(w->lens_notice()->isVisible());
  QVERIFY(w->lens_notice()->text().contains("Resumed at 00:01:4"));
  emit w->lens_notice()->linkActivated("restart");
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().current_seconds() <= 3, 10000);
  w->close();
}

void OstrelHabitsTest::snapshotsGoToThePicturesFolder() {
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  w->open_files({QString::fromStdString(clip_.string())});
  QVERIFY(wait_playing(*w, clip_));
  QTest::qWait(1500);
  const QSize shown = w->video()->size() * w->video()->devicePixelRatio();
  QTest::keyClick(w.get(), Qt::Key_S);
  const QString saved = w->last_snapshot();
  QVERIFY2(saved.startsWith(media_.path() + "/Pictures/clip 00-00-0"), qPrintable(saved));
  QVERIFY(saved.endsWith(".png"));
  const QImage picture(saved);
  QCOMPARE(picture.size(), shown);
  int lit = 0, samples = 0;
  for (int y = 0; y < picture.height(); y += 8) {
    for (int x = 0; x < picture.width(); x += 8, ++samples) lit += qGray(picture.pixel(x, y)) > 24;
  }
  QVERIFY2(lit * 100 > samples * 30, "the snapshot is mostly black");
  QVERIFY(w->lens_notice()->text().contains("Snapshot saved"));
  w->close();
}

void OstrelHabitsTest::failuresAreSaidInTheWindow() {
  auto dir = data_dir();
  const fs::path root(dir->path().toStdString());
  const fs::path broken = root / "broken.mp4";
  std::ofstream(broken) << "this is a text file";
  QVERIFY(ostrel::write_playlist(root / "Playlist.osp", {(root / "gone.mp4").string()}));
  auto w = window(*dir);
  QVERIFY(w);
  auto* hint = w->findChild<QLabel*>("labelHint");
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPlay"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(hint->text().startsWith("Cannot play gone.mp4: cannot open: no such file"), 20000);
  w->open_files({QString::fromStdString(broken.string())});
  QTRY_VERIFY_WITH_TIMEOUT(hint->text().startsWith("Cannot play broken.mp4: not a video\nerror: "), 20000);
  QVERIFY(hint->isVisible());

  // Without a browser the help opens in a window of its own.
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnHelp"), Qt::LeftButton);
  auto* help = w->findChild<QDialog*>("dlgHelp");
  QVERIFY(help && help->isVisible());
  QVERIFY(help->findChild<QTextBrowser*>("textHelp")->toPlainText().contains("Keyboard"));
  w->close();
}

void OstrelHabitsTest::liveStreamShowsLiveAndItsEndIsSaid() {
  QProcess server;
  server.setProcessChannelMode(QProcess::MergedChannels);
  const int port = 20000 + static_cast<int>(QCoreApplication::applicationPid() % 20000);
  server.start("/usr/bin/python3", {ORB_TEST_SUPPORT_DIR "/rtsp_server.py", QString::fromStdString(clip_.string()),
                                    QString::number(port), "--loop"});
  QByteArray said;
  QTRY_VERIFY_WITH_TIMEOUT((said += server.readAll()).contains("ready") || server.state() == QProcess::NotRunning,
                           15000);
  QVERIFY2(server.state() == QProcess::Running, said.constData());
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  const QString url = QString("rtsp://127.0.0.1:%1/clip").arg(port);
  on_next_dialog([&](QWidget* d) {
    d->findChild<QComboBox*>("editUrl")->setCurrentText(url);
    d->findChild<QCheckBox*>("checkTcp")->setChecked(true);
    static_cast<QDialog*>(d)->accept();
  });
  QTest::keyClick(w.get(), Qt::Key_U, Qt::ControlModifier);
  const fs::path playing = (url + "?tcp").toStdString();
  QVERIFY(wait_playing(*w, playing));
  QCOMPARE(w->windowTitle(), url + "?tcp — ostrel");
  QTRY_VERIFY_WITH_TIMEOUT(w->live(), 5000);
  QTRY_VERIFY_WITH_TIMEOUT(w->findChild<QLabel*>("labelPlayTime")->text().endsWith(" / LIVE"), 5000);
  QVERIFY(!w->findChild<QWidget*>("sliderPlay")->isEnabled());
  QTest::qWait(1000);
  int width = 0, height = 0;
  QVERIFY2(lit_share_percent(grab(w->video()->native_window(), width, height)) > 30, "the stream shows nothing");

  // The camera goes away: the window says so within the network timeout.
  server.kill();
  server.waitForFinished(3000);
  QElapsedTimer waited;
  waited.start();
  auto* hint = w->findChild<QLabel*>("labelHint");
  QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible() && hint->text().startsWith("Cannot play " + url + "?tcp: "), 15000);
  QVERIFY2(waited.elapsed() <= 12000, qPrintable(QString::number(waited.elapsed())));
  QVERIFY(!w->controller().is_playing());

  // A camera that accepts and never answers: one network timeout, then the reason.
  QProcess silent;
  silent.start("/usr/bin/python3", {ORB_TEST_SUPPORT_DIR "/silent_server.py"});
  QVERIFY(silent.waitForReadyRead(5000));
  const QString dead = QString("http://127.0.0.1:%1/camera.mp4").arg(silent.readLine().trimmed().toInt());
  waited.restart();
  w->open_url(dead);
  QTRY_VERIFY_WITH_TIMEOUT(hint->text().startsWith("Cannot play " + dead + ": network timeout after 10 s"), 20000);
  QVERIFY2(waited.elapsed() <= 13000, qPrintable(QString::number(waited.elapsed())));
  silent.kill();
  silent.waitForFinished(3000);
  w->close();
}

void OstrelHabitsTest::conversionOpensOnTheFilePlayingAndMountKeepsThePause() {
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  w->open_files({QString::fromStdString(clip_.string())});
  QVERIFY(wait_playing(*w, clip_));
  QTest::mouseClick(w->findChild<QAbstractButton*>("split2btn"), Qt::LeftButton);
  QString source;
  bool two_views = false, still_playing = false;
  on_next_dialog([&](QWidget* d) {
    QTimer::singleShot(1000, d, [&, d] {
      source = d->findChild<QLineEdit*>("srcEdit")->text();
      two_views = d->findChild<QAbstractButton*>("optSlit2")->isChecked();
      still_playing = w->controller().is_playing() && !w->controller().paused();
      d->close();
    });
  });
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnTranslate"), Qt::LeftButton);
  QCOMPARE(source, QString::fromStdString(clip_.string()));
  QVERIFY(two_views);
  QVERIFY(still_playing);
  QVERIFY(w->controller().is_playing());

  // Paused, another mount direction restarts near the same place, still paused.
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().current_seconds() >= 4, 10000);
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPause"), Qt::LeftButton);
  const std::int64_t at = w->controller().current_seconds();
  QTest::mouseClick(w->findChild<QAbstractButton*>("top_btn"), Qt::LeftButton);
  w->controller().wait_idle();
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing(), 10000);
  QVERIFY(w->controller().paused());
  QVERIFY(w->findChild<QWidget*>("btnPlay")->isVisible());
  QCOMPARE(w->windowTitle(), QString("clip.mp4 — ostrel"));
  QTest::qWait(1500);
  QVERIFY2(std::abs(w->controller().current_seconds() - at) <= 1, qPrintable(QString::number(at)));
  w->close();
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
  QApplication app(argc, argv);
  ostrel::apply_skin_style(app);
  OstrelHabitsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ostrel_habits_test.moc"
