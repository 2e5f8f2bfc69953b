// The conversion dialog with the real player and converter under X: the
// proposed output, a conversion to the end that matches the command line's,
// a stop midway, closing while converting, and the refusals.
#include <av/av_ptr.h>
#include <common/paths.h>
#include <geometry/calibration_file.h>
#include <synth/fisheye_clip.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <uikit/language.h>
#include "play_controller.h"
#include "skin_loader.h"
#include "translate_wnd.h"

namespace fs = std::filesystem;
using ostrel::TranslateWnd;

namespace {

// Answers every message box that comes up with `answer`, keeping its text.
class MessageCatcher : public QObject {
 public:
  explicit MessageCatcher(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      texts << box->text();
      if (QAbstractButton* b = box->button(answer_)) {
        b->click();
      } else {
        box->done(answer_);
      }
    });
    timer_.start(50);
  }
  void answer(QMessageBox::StandardButton a) { answer_ = a; }
  QStringList texts;

 private:
  QMessageBox::StandardButton answer_;
  QTimer timer_;
};

// Every 4th luma sample of every 4th row of each decoded picture.
struct Decoded {
  int width = 0, height = 0;
  std::vector<std::vector<std::uint8_t>> frames;
};

Decoded decode(const fs::path& path) {
  Decoded d;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return d;
  orb::AvInputPtr input(raw);
  avformat_find_stream_info(raw, nullptr);
  const int v = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (v < 0) return d;
  const AVCodec* codec = avcodec_find_decoder(raw->streams[v]->codecpar->codec_id);
  orb::AvCodecContextPtr dec(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(dec.get(), raw->streams[v]->codecpar);
  if (avcodec_open2(dec.get(), codec, nullptr) < 0) return d;
  d.width = raw->streams[v]->codecpar->width;
  d.height = raw->streams[v]->codecpar->height;
  orb::AvPacketPtr packet = orb::make_packet();
  orb::AvFramePtr frame = orb::make_frame();
  auto take = [&] {
    while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
      std::vector<std::uint8_t> samples;
      for (int y = 0; y < frame->height; y += 4) {
        for (int x = 0; x < frame->width; x += 4) samples.push_back(frame->data[0][y * frame->linesize[0] + x]);
      }
      d.frames.push_back(std::move(samples));
    }
  };
  while (av_read_frame(raw, packet.get()) >= 0) {
    if (packet->stream_index == v) {
      avcodec_send_packet(dec.get(), packet.get());
      take();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(dec.get(), nullptr);
  take();
  return d;
}

double mean_difference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(a.size());
}

}  // namespace

class TranslateWndTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void proposesAnOutputAndRefusesWithoutOne();
  void convertsLikeTheCommandLine();
  void stopsMidwayAndKeepsAShorterVideo();
  void closingWhileConvertingAsks();

 private:
  // A dialog with the clip loaded and its preview paused.
  std::unique_ptr<TranslateWnd> loaded(const QString& output);
  void start(TranslateWnd& dialog);

  QTemporaryDir dir_;
  QTemporaryDir data_;
  fs::path clip_;
  std::unique_ptr<orb::Language> language_;
  int frames_ = 0;
};

void TranslateWndTest::initTestCase() {
  QVERIFY(dir_.isValid() && data_.isValid());
  orb::synth::ClipSpec spec;
  spec.width = 640;
  spec.height = 480;
  spec.fps_num = 25;
  spec.seconds = 8;
  spec.fov_deg = 200;
  clip_ = fs::path(dir_.path().toStdString()) / "clip.mp4";
  frames_ = spec.frame_count();
  QCOMPARE(QString::fromStdString(orb::synth::write_clip(clip_.string(), spec)), QString());
  // The lens file beside the video is the one a conversion takes.
  const fs::path lens = fs::path(dir_.path().toStdString()) / "clip.inf";
  QCOMPARE(write_calibration_file(lens.c_str(), orb::synth::clip_calibration(spec)), 0);
  const fs::path preview_lens = fs::path(data_.path().toStdString()) / ostrel::kDefaultCalibrationName;
  QCOMPARE(write_calibration_file(preview_lens.c_str(), orb::synth::clip_calibration(spec)), 0);
  language_ = std::make_unique<orb::Language>(u"ostrelui.osd");
}

std::unique_ptr<TranslateWnd> TranslateWndTest::loaded(const QString& output) {
  auto dialog = std::make_unique<TranslateWnd>(fs::path(data_.path().toStdString()), *language_);
  dialog->show();
  if (!QTest::qWaitForWindowExposed(dialog.get())) return nullptr;
  dialog->load_source(QString::fromStdString(clip_.string()));
  dialog->findChild<QLineEdit*>("editPath")->setText(output);
  return dialog;
}

void TranslateWndTest::start(TranslateWnd& dialog) {
  QTRY_VERIFY_WITH_TIMEOUT(dialog.preview().is_playing() && dialog.preview().paused(), 20000);
  QTest::mouseClick(dialog.findChild<QAbstractButton*>("btnStart"), Qt::LeftButton);
}

void TranslateWndTest::proposesAnOutputAndRefusesWithoutOne() {
  TranslateWnd dialog(fs::path(data_.path().toStdString()), *language_);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  auto* start_button = dialog.findChild<QAbstractButton*>("btnStart");
  auto* output = dialog.findChild<QLineEdit*>("editPath");
  QVERIFY(!start_button->isEnabled());
  QVERIFY(!dialog.findChild<QAbstractButton*>("btnStop")->isEnabled());
  QCOMPARE(dialog.findChild<QComboBox*>("comboquality")->currentIndex(), 1);

  // Another mount direction before any source: nothing happens.
  QTest::mouseClick(dialog.findChild<QAbstractButton*>("optUp"), Qt::LeftButton);
  QCOMPARE(dialog.preview().mount_mode(), 1);
  QVERIFY(dialog.findChild<QAbstractButton*>("optDown")->isChecked());
  QVERIFY(!dialog.preview().is_playing());

  // A source without an extension gets no proposal; a clip gets one beside it.
  dialog.load_source(dir_.path() + "/noextension");
  QVERIFY(output->text().isEmpty());
  QVERIFY(!start_button->isEnabled());
  dialog.load_source(QString::fromStdString(clip_.string()));
  QCOMPARE(output->text(), dir_.path() + "/clip_out.mp4");
  QVERIFY(start_button->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(dialog.preview().is_playing() && dialog.preview().paused(), 20000);

  // An empty output path: the message, and nothing starts.
  output->clear();
  MessageCatcher catcher;
  QTest::mouseClick(start_button, Qt::LeftButton);
  QCOMPARE(catcher.texts, QStringList{language_->text(18)});
  QVERIFY(!dialog.converting());
  QVERIFY(!dialog.last_job());
  // The source itself is never the output.
  output->setText(QString::fromStdString(clip_.string()));
  QTest::mouseClick(start_button, Qt::LeftButton);
  QCOMPARE(catcher.texts.size(), 2);
  QVERIFY(!dialog.converting());
  QVERIFY(fs::file_size(clip_) > 0);
  // An output that exists is replaced only when the user says so.
  const QString kept = dir_.path() + "/kept.mp4";
  std::ofstream(kept.toStdString()) << "the user's own video";
  output->setText(kept);
  catcher.answer(QMessageBox::No);
  QTest::mouseClick(start_button, Qt::LeftButton);
  QCOMPARE(catcher.texts.size(), 3);
  QVERIFY(catcher.texts.back().contains("already exists"));
  QVERIFY(!dialog.converting());
  QCOMPARE(fs::file_size(kept.toStdString()), std::uintmax_t{20});
  catcher.answer(QMessageBox::Yes);
  QTest::mouseClick(start_button, Qt::LeftButton);
  QVERIFY(dialog.converting());
  QTest::mouseClick(dialog.findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
  dialog.close();
}

void TranslateWndTest::convertsLikeTheCommandLine() {
  const QString out = dir_.path() + "/dialog.mp4";
  auto dialog = loaded(out);
  QVERIFY(dialog);
  dialog->findChild<QComboBox*>("comboquality")->setCurrentIndex(0);
  MessageCatcher catcher;
  start(*dialog);
  QVERIFY(dialog->converting());
  QVERIFY(!dialog->findChild<QWidget*>("btnAdd")->isEnabled());
  QVERIFY(!dialog->findChild<QWidget*>("optSlit4")->isEnabled());
  QVERIFY(dialog->findChild<QWidget*>("btnStop")->isEnabled());
  QTRY_COMPARE_WITH_TIMEOUT(catcher.texts, QStringList{language_->text(16)}, 180000);
  QCOMPARE(dialog->findChild<QLabel*>("labpersent")->text(), QString("100%"));
  QVERIFY(dialog->findChild<QWidget*>("btnAdd")->isEnabled());
  QVERIFY(!dialog->findChild<QWidget*>("btnStop")->isEnabled());

  // The same views through the command line give the same pictures.
  const ConverterInitParams& p = dialog->last_job()->params;
  QCOMPARE(p.viewport_count, 1);
  QCOMPARE(p.dst_width, 800);
  QCOMPARE(p.width[0], 800);
  QCOMPARE(p.height[0], 480);
  const QString tool = QString::fromStdString((orb::executable_dir() / "orbtool").string());
  const QString command = QString(
                              "%1 convert '%2' '%3' --calib '%4' --layout ball --mount down --size 800x480 "
                              "--bitrate %5 --view 0:%6,%7,%8,%9 > /dev/null 2>&1")
                              .arg(tool, QString::fromStdString(clip_.string()), dir_.path() + "/tool.mp4",
                                   QString::fromStdString(dialog->last_job()->calibration))
                              .arg(ostrel::quality_for_item(0).bitrate)  // Init scales the record's own
                              .arg(static_cast<double>(p.pitch[0]), 0, 'g', 9)
                              .arg(static_cast<double>(p.yaw[0]), 0, 'g', 9)
                              .arg(static_cast<double>(p.roll[0]), 0, 'g', 9)
                              .arg(static_cast<double>(p.zoom[0]), 0, 'g', 9);
  QVERIFY2(std::system(command.toLocal8Bit().constData()) == 0, qPrintable(command));
  const Decoded mine = decode(out.toStdString());
  const Decoded theirs = decode(dir_.path().toStdString() + "/tool.mp4");
  QCOMPARE(mine.width, 800);
  QCOMPARE(mine.height, 480);
  QCOMPARE(static_cast<int>(mine.frames.size()), frames_);
  QCOMPARE(mine.frames.size(), theirs.frames.size());
  double worst = 0;
  for (std::size_t i = 0; i < mine.frames.size(); ++i)
    worst = std::max(worst, mean_difference(mine.frames[i], theirs.frames[i]));
  QVERIFY2(worst < 0.5, qPrintable(QString("frames differ by %1 levels on average").arg(worst)));
  dialog->close();
}

void TranslateWndTest::stopsMidwayAndKeepsAShorterVideo() {
  const QString out = dir_.path() + "/stopped.mp4";
  auto dialog = loaded(out);
  QVERIFY(dialog);
  dialog->findChild<QComboBox*>("comboquality")->setCurrentIndex(2);
  QTest::mouseClick(dialog->findChild<QAbstractButton*>("optSlit4"), Qt::LeftButton);
  MessageCatcher catcher;
  start(*dialog);
  QVERIFY(dialog->converting());
  QCOMPARE(dialog->last_job()->params.viewport_count, 4);
  QTRY_VERIFY_WITH_TIMEOUT(dialog->findChild<QLabel*>("labpersent")->text() != " ", 20000);
  QTest::mouseClick(dialog->findChild<QAbstractButton*>("btnStop"), Qt::LeftButton);
  QVERIFY(!dialog->converting());
  for (const char* name : {"btnStart", "btnAdd", "btnBorse", "comboquality", "optLeft", "optDown", "optUp", "optSlit2",
                           "optSlit4", "optWide"}) {
    QVERIFY2(dialog->findChild<QWidget*>(name)->isEnabled(), name);
  }
  QVERIFY(!dialog->findChild<QWidget*>("btnStop")->isEnabled());
  QTest::qWait(1200);
  QVERIFY(catcher.texts.isEmpty());
  const Decoded written = decode(out.toStdString());
  QCOMPARE(written.width, 1920);
  QVERIFY(!written.frames.empty());
  QVERIFY(static_cast<int>(written.frames.size()) < frames_);
  dialog->close();
}

void TranslateWndTest::closingWhileConvertingAsks() {
  const QString out = dir_.path() + "/closed.mp4";
  auto dialog = loaded(out);
  QVERIFY(dialog);
  dialog->findChild<QComboBox*>("comboquality")->setCurrentIndex(2);
  MessageCatcher catcher(QMessageBox::No);
  start(*dialog);
  QVERIFY(dialog->converting());
  dialog->close();
  QCOMPARE(catcher.texts.size(), 1);
  QVERIFY(dialog->isVisible());
  QVERIFY(dialog->converting());
  catcher.answer(QMessageBox::Yes);
  dialog->close();
  QCOMPARE(catcher.texts.size(), 2);
  QVERIFY(!dialog->isVisible());
  QVERIFY(!dialog->converting());
  const Decoded written = decode(out.toStdString());
  QVERIFY(!written.frames.empty());
  QVERIFY(static_cast<int>(written.frames.size()) < frames_);
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
  QApplication app(argc, argv);
  ostrel::apply_skin_style(app);
  TranslateWndTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "translate_wnd_test.moc"
