// The player application's window with the real player under X: first-run
// files, playback in the embedded video window, turning the view with the
// mouse, full screen by double click and Escape, mount changes, drops.
#include <geometry/calibration_file.h>
#include <synth/fisheye_clip.h>

#include <QAbstractButton>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app_files.h"
#include "main_window.h"
#include "menu_wnd.h"
#include "my_slider.h"
#include "skin_loader.h"
#include "wnd_ui.h"
#include "window_checks.h"

namespace fs = std::filesystem;
using ostrel::CDuiFrameWnd;

using ostrel::test::changed_share_percent;
using ostrel::test::grab;
using ostrel::test::lit_share_percent;
using ostrel::test::xdotool;

class OstrelWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void firstRunWritesSettingsOnClose();
  void settingsAndPlaylistComeBack();
  void playsTurnsAndGoesFullScreen();
  void droppedFolderCollectsItsVideos();
  void idleControls();
  void playAlwaysPlaysAndTheTitleNamesTheFile();
  void eachCameraPlaysWithItsOwnLens();

 private:
  // A data directory with the clip's own lens calibration in place.
  std::unique_ptr<QTemporaryDir> data_dir();
  std::unique_ptr<CDuiFrameWnd> window(const QTemporaryDir& dir);

  QTemporaryDir media_;
  fs::path clip_;
  orb::synth::ClipSpec spec_;
};

void OstrelWindowTest::initTestCase() {
  QVERIFY(media_.isValid());
  spec_.width = 640;
  spec_.height = 480;
  spec_.fps_num = 25;
  spec_.seconds = 20;
  spec_.fov_deg = 200;
  clip_ = fs::path(media_.path().toStdString()) / "clip.mp4";
  QCOMPARE(QString::fromStdString(orb::synth::write_clip(clip_.string(), spec_)), QString());
}

std::unique_ptr<QTemporaryDir> OstrelWindowTest::data_dir() { return ostrel::test::data_dir_for(spec_); }

std::unique_ptr<CDuiFrameWnd> OstrelWindowTest::window(const QTemporaryDir& dir) {
  return ostrel::test::open_window(dir);
}

void OstrelWindowTest::firstRunWritesSettingsOnClose() {
  QTemporaryDir dir;
  auto w = window(dir);
  QVERIFY(w);
  QCOMPARE(w->playlist().size(), std::size_t{0});
  QCOMPARE(w->play_mode(), 0);
  w->close();
  w.reset();
  const fs::path settings = fs::path(dir.path().toStdString()) / "ZOD.cfg";
  QCOMPARE(fs::file_size(settings), std::uintmax_t{8});
  const ostrel::PlayerSettings read = ostrel::read_settings(settings);
  QCOMPARE(read.play_mode, 0);
  QCOMPARE(read.current_index, -1);
  QVERIFY(fs::exists(fs::path(dir.path().toStdString()) / "Playlist.osp"));
}

void OstrelWindowTest::settingsAndPlaylistComeBack() {
  QTemporaryDir dir;
  const fs::path root(dir.path().toStdString());
  const std::vector<std::string> paths = {"/videos/一月/海边.mp4", "/videos/b.MKV",
                                          "/videos/" + std::string(300, 'x') + ".mov"};
  QVERIFY(ostrel::write_settings(root / "ZOD.cfg", {1, 3}));
  QVERIFY(ostrel::write_playlist(
      root / "Playlist.osp", {paths[0], "/videos/notes.txt", paths[1], "/videos/c.mp4 ", paths[2], "/videos/noext"}));
  std::ofstream(root / "Playlist.osp.part") << "a save cut short";
  {
    auto w = window(dir);
    QVERIFY(w);
    QCOMPARE(w->play_mode(), 1);
    QCOMPARE(w->playlist().paths(), paths);  // the text file is not a playlist entry
    auto* tree = w->findChild<QTreeWidget*>("treePlaylist");
    QVERIFY(tree);
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(tree->topLevelItem(0)->text(0), QString("海边.mp4"));
    QCOMPARE(tree->currentItem(), tree->topLevelItem(1));  // list index 3: the second file
    // Removing the selected file selects the one now at its place.
    QTest::mouseClick(w->findChild<QAbstractButton*>("btnDelOne"), Qt::LeftButton);
    QCOMPARE(w->playlist().size(), std::size_t{2});
    QCOMPARE(tree->currentItem(), tree->topLevelItem(1));
    QCOMPARE(w->current_index(), 2);  // "next" is still the file after the removed one
    // A file that is gone: the window says so and goes back to idle.
    emit tree->itemActivated(tree->topLevelItem(0), 0);
    QTRY_VERIFY_WITH_TIMEOUT(w->findChild<QLabel*>("labelHint")->text().contains("海边.mp4"), 10000);
    QVERIFY(w->findChild<QWidget*>("ctnPlaylist")->isVisible());
    QVERIFY(!w->findChild<QWidget*>("btnStop")->isEnabled());
    QCOMPARE(w->current_index(), 2);
    w->close();
  }
  // The lines the playlist cannot play are still in the file, as they were.
  QCOMPARE(ostrel::read_playlist(root / "Playlist.osp"),
           (std::vector<std::string>{paths[0], paths[2], "/videos/notes.txt", "/videos/c.mp4 ", "/videos/noext"}));
  QVERIFY(!fs::exists(root / "Playlist.osp.part"));
  QCOMPARE(ostrel::read_settings(root / "ZOD.cfg").play_mode, 1);
}

void OstrelWindowTest::playsTurnsAndGoesFullScreen() {
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  w->open_files({QString::fromStdString(clip_.string())});
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing(), 20000);
  w->controller().wait_idle();  // the start has laid out its views too
  QCOMPARE(w->controller().current_plan().count, 4);
  QCOMPARE(w->playlist().size(), std::size_t{1});
  QCOMPARE(w->current_index(), CDuiFrameWnd::kFirstFileIndex);
  auto* time = w->findChild<QLabel*>("labelPlayTime");
  QTRY_VERIFY_WITH_TIMEOUT(time->text().endsWith(" / 00:00:20"), 10000);
  QVERIFY(w->findChild<QWidget*>("ctnPlaylist")->isVisible());  // as the user left it

  // A paused picture stays; dragging in the first view turns it.
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPause"), Qt::LeftButton);
  const unsigned long video = w->video()->native_window();
  int width = 0, height = 0;
  std::vector<int> before = grab(video, width, height);
  // Frames already due may still be drawn just after the pause: wait for
  // two grabs a quarter second apart to agree.
  bool settled = false;
  for (int attempt = 0; attempt < 80 && !settled; ++attempt) {
    QTest::qWait(250);
    std::vector<int> now = grab(video, width, height);
    settled = changed_share_percent(before, now) < 1;
    before = std::move(now);
  }
  QVERIFY2(settled, "a paused picture keeps changing");
  QVERIFY2(lit_share_percent(before) > 30, "the video window stays black");
  const QString id = QString::number(video);
  QVERIFY(xdotool(QString("mousemove --window %1 %2 %3 mousedown 1").arg(id).arg(width / 4).arg(height / 4)));
  for (int step = 1; step <= 8; ++step) {
    QVERIFY(
        xdotool(QString("mousemove --window %1 %2 %3").arg(id).arg(width / 4 + step * 12).arg(height / 4 + step * 4)));
    QTest::qWait(30);
  }
  QVERIFY(xdotool("mouseup 1"));
  QTest::qWait(600);
  QVERIFY2(changed_share_percent(before, grab(video, width, height)) > 5, "dragging did not turn the view");
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPlay"), Qt::LeftButton);

  // A double click in the video goes full screen; Escape comes back.
  QVERIFY(xdotool(
      QString("mousemove --window %1 %2 %3 click --repeat 2 --delay 80 1").arg(id).arg(width / 2).arg(height / 2)));
  QTRY_VERIFY_WITH_TIMEOUT(w->full_screen(), 5000);
  QVERIFY(!w->findChild<QWidget*>("ctnCaption")->isVisible());
  QVERIFY(w->findChild<QWidget*>("btnScreenNormal")->isVisible());
  QTRY_COMPARE_WITH_TIMEOUT(w->geometry(), w->screen()->geometry(), 5000);
  QVERIFY(xdotool(QString("mousemove --window %1 %2 %3 key Escape").arg(id).arg(width / 2).arg(height / 2)));
  QTRY_VERIFY_WITH_TIMEOUT(!w->full_screen(), 5000);
  QVERIFY(w->findChild<QWidget*>("ctnCaption")->isVisible());

  // Another mount direction restarts the file near where it was.
  QTest::qWait(1500);
  QTest::mouseClick(w->findChild<QAbstractButton*>("top_btn"), Qt::LeftButton);
  QCOMPARE(w->controller().mount_mode(), 0);
  w->controller().wait_idle();
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing(), 10000);
  QVERIFY(w->controller().current_seconds() >= 2);
  QVERIFY(w->video()->native_window() != video);
  QVERIFY(lit_share_percent(grab(w->video()->native_window(), width, height)) > 30);

  // Dragging the seek slider previews the time without seeking; the release seeks once.
  auto* slider = w->findChild<ostrel::MySlider*>("sliderPlay");
  const int y = slider->height() / 2;
  QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 10, y));
  QTest::mouseMove(slider, QPoint(slider->width() * 3 / 4, y));
  QVERIFY(slider->dragging());
  QCOMPARE(time->text(), QString::fromStdString(ostrel::time_text(slider->value() * 20 / 1000, 20)));
  QTest::qWait(300);
  QVERIFY(w->controller().current_seconds() < 12);
  QCOMPARE(time->text(), QString::fromStdString(ostrel::time_text(slider->value() * 20 / 1000, 20)));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, y));
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().current_seconds() >= 14, 5000);

  // The calibration tool opens on the file playing, with the calibration path.
  auto* calibrate = w->findChild<QAbstractButton*>("btnBiaoding");
  QVERIFY(calibrate->isEnabled());
  QTest::mouseClick(calibrate, Qt::LeftButton);
  const QString launched = QString("pgrep -f 'Dioptra %1 .*%2' > /dev/null")
                               .arg(QString::fromStdString(clip_.string()),
                                    QString::fromStdString(fs::path(clip_).replace_extension(".inf").string()));
  QTRY_VERIFY_WITH_TIMEOUT(std::system(launched.toLocal8Bit().constData()) == 0, 5000);
  std::system(QString("pkill -f 'Dioptra %1'").arg(QString::fromStdString(clip_.string())).toLocal8Bit().constData());

  QTest::mouseClick(w->findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
  w->controller().wait_idle();
  QVERIFY(!w->controller().is_playing());
  QVERIFY(w->findChild<QWidget*>("ctnPlaylist")->isVisible());
  w->close();
}

void OstrelWindowTest::droppedFolderCollectsItsVideos() {
  QTemporaryDir folder;
  const fs::path root(folder.path().toStdString());
  fs::create_directories(root / "day 1");
  fs::copy_file(clip_, root / "day 1" / "a.mp4");
  fs::copy_file(clip_, root / "day 1" / "b.MKV");
  std::ofstream(root / "day 1" / "notes.txt") << "not a video\n";
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(folder.path())});
  QDropEvent drop(QPointF(20, 60), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  // As the window's drop site hands it over (sendEvent wants a drag in progress).
  static_cast<QObject*>(w.get())->event(&drop);
  QCOMPARE(w->playlist().paths(),
           (std::vector<std::string>{(root / "day 1" / "a.mp4").string(), (root / "day 1" / "b.MKV").string()}));
  QCOMPARE(w->current_path(), (root / "day 1" / "a.mp4").string());
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing(), 20000);

  // Next goes to the second file; in sequence mode there is nothing after it.
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnNextPlay"), Qt::LeftButton);
  const QString second = QString::fromStdString((root / "day 1" / "b.MKV").string());
  QTRY_COMPARE_WITH_TIMEOUT(w->findChild<QLabel*>("Label_PlayPath")->text(), second, 5000);
  w->controller().wait_idle();
  QVERIFY(w->controller().is_playing());
  QCOMPARE(w->current_index(), CDuiFrameWnd::kFirstFileIndex + 1);
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnNextPlay"), Qt::LeftButton);
  w->controller().wait_idle();
  QTest::qWait(300);
  QVERIFY(!w->controller().is_playing());
  QVERIFY(w->findChild<QWidget*>("ctnPlaylist")->isVisible());
  QVERIFY(!w->findChild<QWidget*>("btnStop")->isEnabled());

  // Stop pressed while the file is still starting: it does not play on unseen.
  emit w->findChild<QTreeWidget*>("treePlaylist")
      ->itemActivated(w->findChild<QTreeWidget*>("treePlaylist")->topLevelItem(0), 0);
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
  QVERIFY(!w->findChild<QWidget*>("btnStop")->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(!w->controller().busy(), 20000);
  QTRY_VERIFY_WITH_TIMEOUT(!w->controller().busy() && !w->controller().is_playing(), 3000);
  w->close();
}

void OstrelWindowTest::idleControls() {
  QTemporaryDir dir;
  auto w = window(dir);
  QVERIFY(w);
  QTest::mouseDClick(w->findChild<QWidget*>("btnAdd"), Qt::LeftButton);
  QVERIFY(!w->full_screen());
  // Muting with nothing playing changes nothing.
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnVolume"), Qt::LeftButton);
  QVERIFY(w->findChild<QWidget*>("btnVolume")->isVisible());
  QVERIFY(!w->findChild<QWidget*>("btnVolumeZero")->isVisible());
  // The play-mode menu marks the mode in use and sets the one chosen.
  QTest::mouseClick(w->findChild<QAbstractButton*>("btnPlayMode"), Qt::LeftButton);
  auto* menu = w->findChild<ostrel::CMenuWnd*>();
  QVERIFY(menu);
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(menu->findChild<QLabel*>("lab_item0")->isVisibleTo(menu));
  QVERIFY(!menu->findChild<QLabel*>("lab_item1")->isVisibleTo(menu));
  QTest::mouseClick(menu->findChild<QAbstractButton*>("menuRandom"), Qt::LeftButton);
  QCOMPARE(w->play_mode(), 1);
  QTRY_VERIFY(!w->findChild<ostrel::CMenuWnd*>());
  // The idle background takes a double click as full screen.
  QTest::mouseDClick(w->findChild<QWidget*>("ctnClient"), Qt::LeftButton);
  QVERIFY(w->full_screen());
  QTest::keyClick(w.get(), Qt::Key_Escape);
  QVERIFY(!w->full_screen());
  w->close();
}

// Stopped, Play plays: the file selected in the list, else the current one;
// the window manager's title names the file while it plays.
void OstrelWindowTest::playAlwaysPlaysAndTheTitleNamesTheFile() {
  orb::synth::ClipSpec short_spec = spec_;
  short_spec.seconds = 4;
  const fs::path second = fs::path(media_.path().toStdString()) / "second.mp4";
  QCOMPARE(QString::fromStdString(orb::synth::write_clip(second.string(), short_spec)), QString());
  auto dir = data_dir();
  auto w = window(*dir);
  QVERIFY(w);
  QCOMPARE(w->windowTitle(), QString("Ostrel"));
  auto* play = w->findChild<QAbstractButton*>("btnPlay");
  auto* tree = w->findChild<QTreeWidget*>("treePlaylist");
  QVERIFY(play && tree);
  auto stop_and_settle = [&] {
    QTest::mouseClick(w->findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->controller().busy() && !w->controller().is_playing(), 10000);
    QCOMPARE(w->windowTitle(), QString("Ostrel"));
    QVERIFY(play->isVisible() && play->isEnabled());
  };
  auto playing = [&](const QString& name) {
    QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing(), 20000);
    w->controller().wait_idle();
    QCOMPARE(w->windowTitle(), name + " — ostrel");
  };

  w->open_files({QString::fromStdString(clip_.string()), QString::fromStdString(second.string())});
  playing("clip.mp4");
  stop_and_settle();
  tree->setCurrentItem(tree->topLevelItem(1));
  QTest::mouseClick(play, Qt::LeftButton);
  playing("second.mp4");
  stop_and_settle();
  tree->setCurrentItem(nullptr);
  QTest::mouseClick(play, Qt::LeftButton);  // nothing selected: the current file
  playing("second.mp4");
  stop_and_settle();
  w->close();
}

// Two cameras, neither calibrated: each video is found and played with its
// own lens, a picture without a lens circle plays with a default one and a
// notice, and a calibration saved for the playing video is taken up at once.
void OstrelWindowTest::eachCameraPlaysWithItsOwnLens() {
  QTemporaryDir media;
  const fs::path root(media.path().toStdString());
  orb::synth::ClipSpec second;
  second.width = 800;
  second.height = 450;
  second.centre_x = 430;
  second.centre_y = 220;
  second.radius = 200;
  second.fov_deg = 180;
  second.seconds = 20;
  second.audio = orb::synth::AudioTrack::kNone;
  orb::synth::ClipSpec filled = second;  // the picture fills the frame: no circle to find
  filled.centre_x = 399.5f;
  filled.centre_y = 224.5f;
  filled.radius = 600;
  struct Video {
    fs::path path;
    orb::synth::ClipSpec spec;
  };
  const Video videos[] = {{root / "room.mp4", spec_}, {root / "hall.mp4", second}, {root / "full.mp4", filled}};
  for (const Video& v : videos) {
    if (v.spec.width == spec_.width)
      fs::copy_file(clip_, v.path);
    else
      QCOMPARE(QString::fromStdString(orb::synth::write_clip(v.path.string(), v.spec)), QString());
  }
  QTemporaryDir dir;  // no calibration anywhere
  auto w = window(dir);
  QVERIFY(w);
  auto* notice = w->lens_notice();
  QVERIFY(notice);

  auto lens_of_playing = [&] {
    orb::CameraParams camera;
    const std::string path = w->controller().calibration_path();
    if (orb::read_calibration_file(path.c_str(), camera) != 0) camera.image_width = -1;
    return std::pair{path, camera};
  };
  std::string first_lens;
  for (int i = 0; i < 2; ++i) {
    const Video& v = videos[i];
    w->open_files({QString::fromStdString(v.path.string())});
    QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing() && w->current_path() == v.path.string(), 20000);
    w->controller().wait_idle();
    const auto [path, camera] = lens_of_playing();
    QCOMPARE(camera.image_width, v.spec.width);
    QVERIFY2(std::abs(camera.lenses[0].centre_x - v.spec.circle_centre_x()) < 1.0f, path.c_str());
    QVERIFY2(std::abs(camera.lenses[0].centre_y - v.spec.circle_centre_y()) < 1.0f, path.c_str());
    QVERIFY2(std::abs(camera.circle_radius - v.spec.circle_radius()) < 0.01f * v.spec.circle_radius(), path.c_str());
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible() && notice->text().contains("found"), 5000);
    QTest::qWait(1500);
    int width = 0, height = 0;
    QVERIFY2(lit_share_percent(grab(w->video()->native_window(), width, height)) > 30, "the view is mostly black");
    if (i == 0) first_lens = path;
  }
  QVERIFY(first_lens != w->controller().calibration_path());
  QVERIFY(fs::exists(first_lens));  // the second camera left the first one's lens alone

  // No circle: a default lens, an offer to calibrate, and playback goes on.
  w->open_files({QString::fromStdString(videos[2].path.string())});
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing() && w->current_path() == videos[2].path.string(), 20000);
  w->controller().wait_idle();
  QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible() && notice->text().contains("href=\"calibrate\""), 5000);
  QCOMPARE(lens_of_playing().second.image_width, filled.width);
  QVERIFY(w->isVisible());

  // The calibration tool saves this video's lens beside it: playback takes it up.
  const fs::path saved = w->calibration_target();
  QCOMPARE(saved, fs::path(videos[2].path).replace_extension(".inf"));
  QCOMPARE(orb::write_calibration_file(saved.c_str(), orb::single_lens_calibration(399.5f, 224.5f, 600, 800, 450, 240)),
           0);
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().calibration_path() == saved.string(), 15000);
  w->controller().wait_idle();
  QTRY_VERIFY_WITH_TIMEOUT(w->controller().is_playing(), 10000);
  w->close();
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
  QApplication app(argc, argv);
  ostrel::apply_skin_style(app);
  OstrelWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ostrel_window_test.moc"
