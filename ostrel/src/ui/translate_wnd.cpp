#include "translate_wnd.h"

#include <common/debug_trace.h>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QWindow>

#include "app_files.h"
#include "calibration_choice.h"
#include "skin_loader.h"
#include "wnd_ui.h"

namespace ostrel {
namespace {

const char* const kOptions[] = {"optLeft", "optRight", "optDown", "optUp", "optSlit2", "optSlit4", "optWide"};
const char* const kInputs[] = {"btnStart", "btnAdd", "btnBorse", "comboquality", "editPath"};

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return a == b || std::filesystem::equivalent(a, b, ec);
}

}  // namespace

TranslateWnd::TranslateWnd(std::filesystem::path data_dir, const orb::Language& language, QWidget* parent)
    : CXMLWnd("translage.ui", parent), data_dir_(std::move(data_dir)), language_(language), preview_(data_dir_, [this] {
        return video_ ? video_->pixel_size() : std::pair{0, 0};
      }) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(language_.text_or(1, "Convert video"));
  setWindowIcon(QIcon::fromTheme("ostrel", QIcon(":/skin/icons/ostrel.svg")));
  if (skin_) setFixedSize(skin_->size());
  // The preview loops from the start; the hook runs on a player thread.
  preview_.set_end_hook([this] {
    QMetaObject::invokeMethod(
        this, [this] { preview_.seek_to_slider(1); }, Qt::QueuedConnection);
  });
  preview_.apply_layout(kLayoutBall);
  bind_controls();
  apply_language();

  progress_timer_.setInterval(1000);
  connect(&progress_timer_, &QTimer::timeout, this, &TranslateWnd::progress_tick);
  pause_timer_.setSingleShot(true);
  connect(&pause_timer_, &QTimer::timeout, this, &TranslateWnd::pause_when_ready);
}

TranslateWnd::~TranslateWnd() {
  // Never leave a file half written: a conversion still running is stopped,
  // which finishes the file with what has been converted.
  if (converter_) converter_->Stop();
  converter_.reset();
  preview_.stop_playback();
  preview_.wait_idle();
}

void TranslateWnd::exec() {
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  show();
  QEventLoop loop;
  connect(this, &TranslateWnd::closed, &loop, &QEventLoop::quit);
  loop.exec();
}

void TranslateWnd::bind_controls() {
  video_ = find<CWndUI>("wndMedia");
  if (!skin_) return;
  apply_icons(skin_);
  for (auto* button : skin_->findChildren<QAbstractButton*>()) {
    const QString name = button->objectName();
    if (!name.isEmpty()) connect(button, &QAbstractButton::clicked, this, [this, name] { on_click(name); });
  }
  group_options(skin_, this, {"optLeft", "optRight", "optDown", "optUp"});
  group_options(skin_, this, {"optSlit2", "optSlit4", "optWide"});
  if (auto* wide = find<QAbstractButton>("optWide")) wide->setChecked(true);
  show_mount(preview_.mount_mode());
  for (const char* name : {"labpersent", "labetime"}) {
    if (auto* label = find<QLabel>(name)) label->setText(" ");
  }
  set_visible("optRight", false);  // no presets for a camera facing right
  if (auto* b = find("btnStart")) b->setEnabled(false);
  if (auto* b = find("btnStop")) b->setEnabled(false);
  if (auto* combo = find<QComboBox>("comboquality")) combo->setCurrentIndex(1);
  if (auto* path = find<QLineEdit>("editPath"))
    connect(path, &QLineEdit::textChanged, this, [this] { update_start_button(); });
  for (const char* name : {"ctnTitleBar", "Label_title"}) {
    if (auto* w = find(name)) w->installEventFilter(this);
  }
}

void TranslateWnd::apply_language() {
  if (!language_.loaded()) return;
  static const std::pair<const char*, int> kTexts[] = {
      {"Label_title", 1}, {"Label_prompt", 2},  {"Label_direct", 3},  {"Label_quality", 4},
      {"Label_model", 8}, {"Label_process", 9}, {"Label_remain", 10}, {"Label_output", 11},
      {"btnAdd", 12},     {"btnStart", 13},     {"btnStop", 14},      {"btnBorse", 15},
  };
  for (const auto& [name, index] : kTexts) {
    const QString s = language_.text(index);
    if (s.isEmpty()) continue;
    if (auto* label = find<QLabel>(name)) label->setText(s);
    if (auto* button = find<QAbstractButton>(name)) button->setText(s);
  }
  static const std::pair<const char*, int> kTips[] = {{"optLeft", 23}, {"optUp", 24},    {"optDown", 25},
                                                      {"optWide", 26}, {"optSlit4", 28}, {"optSlit2", 29}};
  for (const auto& [name, index] : kTips) {
    const QString s = language_.text(index);
    if (auto* w = find(name); w && !s.isEmpty()) w->setToolTip(s);
  }
  if (auto* combo = find<QComboBox>("comboquality")) {
    for (int i = 0; i < combo->count() && i < 3; ++i) {
      const QString s = language_.text(5 + i);
      if (!s.isEmpty()) combo->setItemText(i, s);
    }
  }
}

void TranslateWnd::on_click(const QString& name) {
  if (name == "btnAdd") {
    choose_source();
  } else if (name == "btnStart") {
    start_conversion();
  } else if (name == "btnStop") {
    stop_conversion();
  } else if (name == "btnBorse") {
    choose_output();
  } else if (name == "closebtn") {
    close();
  } else if (name == "minbtn") {
    showMinimized();
  } else if (name == "optLeft" || name == "optDown" || name == "optUp") {
    restart_preview(name == "optLeft" ? kMountSide : name == "optDown" ? kMountDown : kMountUp);
  } else if (name == "optSlit2" || name == "optSlit4" || name == "optWide") {
    // "One view" is the single perspective view here, not the wide angle.
    preview_.apply_layout(name == "optSlit2" ? kLayoutSplit2 : name == "optSlit4" ? kLayoutSplit4 : kLayoutBall);
  }
}

void TranslateWnd::choose_source() {
  const QString file = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                    "Movie Files(*.mp4,*.mov) (*.mp4 *.mov);;All Files(*.*) (*)");
  if (file.isEmpty()) return;  // cancelled: the source stays what it was
  load_source(file);
}

void TranslateWnd::load_source(const QString& path) {
  source_ = QFileInfo(path).absoluteFilePath().toStdString();
  preview_.stop_playback();
  if (video_) {
    video_->show();
    preview_.set_start_at(0);
    preview_.start_playback(video_->recreate(), source_);
  }
  pause_timer_.start(2000);
  if (auto* edit = find<QLineEdit>("srcEdit")) edit->setText(QString::fromStdString(source_));
  auto* output = find<QLineEdit>("editPath");
  if (output && output->text().isEmpty()) output->setText(QString::fromStdString(proposed_output(source_)));
  update_start_button();
}

void TranslateWnd::load_as_shown(const QString& path, int mount_mode, std::int32_t layout,
                                 const std::array<PreviewView, 4>& views) {
  preview_.set_mount_mode(mount_mode);
  show_mount(mount_mode);
  // "One view" here is the single perspective view: the player's ball.
  const char* option = layout == kLayoutSplit2 ? "optSlit2" : layout == kLayoutSplit4 ? "optSlit4" : "optWide";
  if (auto* b = find<QAbstractButton>(option)) b->setChecked(true);
  const std::int32_t preview_layout = layout == kLayoutSplit2 || layout == kLayoutSplit4 ? layout : kLayoutBall;
  preview_.apply_layout(preview_layout);
  // The wide angle is drawn another way: its angles mean nothing to a ball view.
  shown_views_ = views;
  shown_count_ = layout == preview_layout ? (layout == kLayoutSplit4 ? 4 : layout == kLayoutSplit2 ? 2 : 1) : 0;
  load_source(path);
}

// Enabled once there is a source and an output; clearing the output later
// leaves it enabled, and starting then asks for one.
void TranslateWnd::update_start_button() {
  const auto* output = find<QLineEdit>("editPath");
  auto* start = find("btnStart");
  if (start && !converter_ && !source_.empty() && output && !output->text().isEmpty()) start->setEnabled(true);
}

void TranslateWnd::choose_output() {
  const QString file = QFileDialog::getSaveFileName(this, QString(), QString(),
                                                    "Movie Files(*.mp4,*.mov) (*.mp4 *.mov);;All Files(*.*) (*)");
  auto* output = find<QLineEdit>("editPath");
  if (!output) return;
  if (file.isEmpty()) {
    output->clear();
    return;
  }
  // The dialog does not add the extension by itself on every desktop.
  output->setText(QFileInfo(file).suffix().isEmpty() ? file + ".mp4" : file);
}

// The preview shows a still picture the user can turn.
void TranslateWnd::pause_when_ready() {
  if (preview_.is_playing() && !preview_.busy()) {
    preview_.pause();
    if (const auto player = preview_.player(); player && shown_count_ > 0) {
      for (int v = 0; v < shown_count_; ++v) {
        const PreviewView& view = shown_views_[static_cast<std::size_t>(v)];
        player->SetViewAngles(view.pitch, view.yaw, view.roll, v);
      }
    }
    shown_count_ = 0;
    return;
  }
  if (!source_.empty() && (preview_.busy() || !preview_.start_failed())) pause_timer_.start(1000);
}

void TranslateWnd::show_mount(int mode) {
  static const char* const kButtons[] = {"optUp", "optDown", "optLeft", "optRight"};
  if (mode < 0 || mode > 3) return;
  if (auto* b = find<QAbstractButton>(kButtons[mode])) b->setChecked(true);
}

void TranslateWnd::restart_preview(int mount_mode) {
  if (mount_mode == preview_.mount_mode()) return;
  if (!preview_.is_playing() || !video_) {
    show_mount(preview_.mount_mode());  // nothing to restart: the choice does not take
    return;
  }
  preview_.set_mount_mode(mount_mode);
  preview_.stop_playback();
  video_->show();
  preview_.start_playback(video_->recreate(), source_);
  pause_timer_.start(3000);
}

void TranslateWnd::message(QMessageBox::Icon icon, const QString& body) {
  QMessageBox box(icon, language_.text_or(17, "Ostrel"), body, QMessageBox::Ok, this);
  box.exec();
}

void TranslateWnd::start_conversion() {
  converter_.reset();
  const auto* output_edit = find<QLineEdit>("editPath");
  const std::string output = output_edit ? output_edit->text().trimmed().toStdString() : std::string();
  if (output.empty()) {
    message(QMessageBox::Critical, language_.text_or(18, "Choose where to save the converted video."));
    return;
  }
  if (same_file(output, source_)) {
    message(QMessageBox::Critical, tr("The converted video cannot replace its source: choose another file."));
    return;
  }
  std::error_code ec;
  if (std::filesystem::exists(output, ec)) {
    QMessageBox ask(QMessageBox::Question, language_.text_or(17, "Ostrel"),
                    tr("%1 already exists. Replace it?").arg(QString::fromStdString(output)),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes) return;
  }
  preview_.wait_idle();  // a preview still starting has not laid out its views yet
  // The lens the preview plays with: chosen (or found) for this video by its start.
  std::string calibration = preview_.calibration_path();
  if (calibration.empty()) {
    const auto size = probe_video_size(source_).value_or(std::pair{1920, 1080});
    calibration =
        choose_calibration(source_, size.first, size.second,
                           read_play_param(data_dir_ / "varozod.cfg", data_dir_).calibration_path, data_dir_, nullptr)
            .path;
  }
  orb::debug_trace("This cabli file is :\n%s", calibration.c_str());
  auto job = std::make_unique<ConversionJob>(source_, calibration, output);
  const auto* combo = find<QComboBox>("comboquality");
  const Quality quality = quality_for_item(combo ? combo->currentIndex() : 1);
  const LayoutPlan plan = preview_.current_plan();
  const auto player = preview_.player();
  std::array<PreviewView, 4> views{};
  const bool playing = player && player->IsPlaying();
  if (playing) {
    for (int v = 0; v < plan.count; ++v) {
      PreviewView& view = views[static_cast<std::size_t>(v)];
      view.zoom = player->GetZoom(v);
      player->GetViewAngles(v, &view.pitch, &view.yaw, &view.roll);
      orb::debug_trace("Translate: [%d], pitch(%0.2f),yaw(%0.2f),roll(%0.2f)\r\n", v, static_cast<double>(view.pitch),
                       static_cast<double>(view.yaw), static_cast<double>(view.roll));
    }
  }
  const auto [width, height] = video_ ? video_->pixel_size() : std::pair{0, 0};
  fill_views(job->params, plan, width, height, playing ? &views : nullptr, preview_.mount_mode(), quality);
  if (player) preview_.pause();

  job_ = std::move(job);
  converter_.reset(CreateOrbVideoConverter());
  // A conversion that cannot begin says so; it is never reported as done.
  QString failure;
  if (!converter_) {
    failure = tr("The converter could not be created.");
  } else if (converter_->Init(&job_->params) != 0) {
    failure = QString::fromUtf8(converter_->GetLastErrorText()).trimmed();
  } else {
    notice_ = QString::fromUtf8(converter_->GetNoticeText()).trimmed();  // said with the result
    TimeParts duration{};
    converter_->GetDuration(&duration);
    if (converter_->Start(TimeParts{0, 0, 0}, duration) != 0) {
      failure = QString::fromUtf8(converter_->GetLastErrorText()).trimmed();
    }
  }
  if (!failure.isEmpty()) {
    orb::debug_trace("%s", qPrintable(failure));
    converter_.reset();
    message(QMessageBox::Critical, failure);
    return;
  }
  set_inputs_enabled(false);
  if (auto* stop = find("btnStop")) stop->setEnabled(true);
  progress_timer_.start();
}

void TranslateWnd::set_inputs_enabled(bool enabled) {
  for (const char* name : kInputs) {
    if (auto* w = find(name)) w->setEnabled(enabled);
  }
  for (const char* name : kOptions) {
    if (auto* w = find(name)) w->setEnabled(enabled);
  }
}

void TranslateWnd::progress_tick() {
  if (!converter_) return;
  RenderingStatistics s{};
  converter_->GetStatistics(&s);
  if (auto* label = find<QLabel>("labpersent"))
    label->setText(QString::asprintf("%.2f%%", static_cast<double>(s.percent)));
  if (auto* bar = find<QProgressBar>("ProgressTranslate")) bar->setValue(static_cast<int>(s.percent));
  if (auto* label = find<QLabel>("labetime")) {
    const bool known = s.remaining_minutes >= 0 && s.remaining_seconds >= 0;
    label->setText(known ? QString::asprintf("%02d:%02d", s.remaining_minutes, s.remaining_seconds) : QString(" "));
  }
  if (converter_->IsConverting()) return;

  converter_->Stop();
  const QString failure = QString::fromUtf8(converter_->GetLastErrorText()).trimmed();
  orb::debug_trace("渲染结束");
  converter_.reset();
  progress_timer_.stop();
  set_inputs_enabled(true);
  if (auto* stop = find("btnStop")) stop->setEnabled(false);
  if (!failure.isEmpty()) {
    message(QMessageBox::Critical, failure);
    return;
  }
  if (auto* label = find<QLabel>("labpersent")) label->setText("100%");
  if (auto* bar = find<QProgressBar>("ProgressTranslate")) bar->setValue(100);
  QString finished = language_.text_or(16, "The conversion is finished.");
  if (!notice_.isEmpty()) finished += "\n" + notice_;
  message(QMessageBox::Information, finished);
}

bool TranslateWnd::converting() const { return converter_ && converter_->IsConverting(); }

void TranslateWnd::stop_conversion() {
  if (!converter_) return;
  progress_timer_.stop();
  pause_timer_.stop();
  // The file is finished with what was converted: a shorter, playable video.
  if (converter_->Stop() != 0) orb::debug_trace("%s", converter_->GetLastErrorText());
  converter_.reset();
  set_inputs_enabled(true);
  if (auto* stop = find("btnStop")) stop->setEnabled(false);
}

void TranslateWnd::closeEvent(QCloseEvent* event) {
  if (converting()) {
    QMessageBox ask(QMessageBox::Question, language_.text_or(17, "Ostrel"),
                    tr("A conversion is running. Stop it? What is converted so far is kept as a shorter video."),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (ask.exec() != QMessageBox::Yes) {
      event->ignore();
      return;
    }
    stop_conversion();
  }
  preview_.stop_playback();
  event->accept();
  emit closed();
}

bool TranslateWnd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && windowHandle() &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    windowHandle()->startSystemMove();
    return true;
  }
  return CXMLWnd::eventFilter(watched, event);
}

}  // namespace ostrel
