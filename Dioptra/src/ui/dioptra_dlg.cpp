#include "dioptra_dlg.h"

#include <common/debug_trace.h>
#include <uikit/language.h>

#include <cstdio>

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QUiLoader>
#include <QWindow>

#include "display_geometry.h"
#include "info_text.h"

namespace dioptra {
namespace {

constexpr int kTitleButtonsWidth = 66;
constexpr int kPanelHeight = 78;

}  // namespace

CDioptraDlg::CDioptraDlg(const orb::Language& language, std::filesystem::path data_dir,
                         std::optional<std::filesystem::path> media, std::optional<std::filesystem::path> calibration,
                         QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      language_(language),
      data_dir_(std::move(data_dir)),
      calibration_(std::move(calibration)) {
  setObjectName("DioptraDlg");
  setWindowTitle("Dioptra");
  setWindowIcon(QIcon::fromTheme("dioptra", QIcon(":/dioptra/dioptra.svg")));
  setFixedSize(kPictureAreaWidth, kTitleHeight + kPictureAreaHeight + kPanelHeight);
  setMouseTracking(true);

  title_ = load_skin("titlebar.ui");
  panel_ = load_skin("ctrlPanel.ui");
  if (title_) title_->setGeometry(width() - kTitleButtonsWidth, 0, kTitleButtonsWidth, kTitleHeight);
  if (panel_) panel_->setGeometry(0, kTitleHeight + kPictureAreaHeight, width(), kPanelHeight);
  info_ = findChild<QLineEdit*>("edit_Info");
  fov_ = findChild<QLineEdit*>("edit_fov");
  if (fov_) fov_->setText("200");
  spin_cx_ = findChild<QDoubleSpinBox*>("spinCx");
  spin_cy_ = findChild<QDoubleSpinBox*>("spinCy");
  spin_radius_ = findChild<QDoubleSpinBox*>("spinRadius");
  for (QDoubleSpinBox* spin : {spin_cx_, spin_cy_, spin_radius_}) {
    if (spin) connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { on_typed(); });
  }

  auto on = [this](const char* name, auto action) {
    if (auto* b = findChild<QAbstractButton*>(name)) connect(b, &QAbstractButton::clicked, this, action);
  };
  on("btnSelFile", [this] { SelectMediaFile(); });
  on("btnAuto", [this] { ResetToDetected(); });
  on("btnSave", [this] { SaveCalibration(); });
  on("btnExit", [this] { close(); });
  on("closebtn", [this] { close(); });
  on("minbtn", [this] { showMinimized(); });
  for (const auto& [name, file] : {std::pair{"minbtn", "minimise"}, std::pair{"closebtn", "close"}}) {
    if (auto* b = findChild<QToolButton*>(name)) {
      const QIcon fallback(QStringLiteral(":/dioptra/icons/%1.svg").arg(file));
      b->setIcon(QIcon::fromTheme(name == std::string("minbtn") ? "window-minimize" : "window-close", fallback));
    }
  }
  if (media) AnalyseMediaFile(*media);
}

QWidget* CDioptraDlg::load_skin(const QString& name) {
  QFile file(":/dioptra/" + name);
  if (!file.open(QFile::ReadOnly)) return nullptr;
  QUiLoader loader;
  QWidget* widget = loader.load(&file, this);
  if (!widget) {
    orb::debug_trace("error: skin file %s: %s", qPrintable(name), qPrintable(loader.errorString()));
    return nullptr;
  }
  apply_language(widget);
  return widget;
}

void CDioptraDlg::apply_language(QWidget* root) {
  static const std::pair<const char*, int> kTexts[] = {
      {"btnSave", 4}, {"btnAuto", 3}, {"btnSelFile", 2}, {"btnExit", 5}};
  for (const auto& [name, index] : kTexts) {
    const QString s = language_.text(index);
    if (auto* b = root->findChild<QAbstractButton*>(name); b && !s.isEmpty()) b->setText(s);
  }
  static const std::pair<const char*, int> kTips[] = {{"minbtn", 11}, {"closebtn", 12}};
  for (const auto& [name, index] : kTips) {
    const QString s = language_.text(index);
    if (auto* w = root->findChild<QWidget*>(name); w && !s.isEmpty()) w->setToolTip(s);
  }
  if (auto* fov = root->findChild<QLabel*>("txtFov"); fov && !language_.text(1).isEmpty())
    fov->setText(language_.text(1));
}

std::filesystem::path CDioptraDlg::output_path() const {
  return calibration_ ? *calibration_ : data_dir_ / "tarvik.inf";
}

void CDioptraDlg::AnalyseMediaFile(const std::filesystem::path& media) {
  std::string error;
  std::error_code ec;
  const std::filesystem::path picture = !std::filesystem::is_regular_file(media, ec)
                                            ? std::filesystem::path()
                                            : CalibrationSession::picture_for(media, data_dir_, error);
  if (picture.empty() && error.empty()) error = "error: " + media.string() + " is not a file that can be opened";
  const std::filesystem::path video = picture == media ? std::filesystem::path() : media;
  if (picture.empty() || !session_.analyse(picture, error, video)) {
    // Said at once, and kept in the picture area: never an empty window.
    std::fprintf(stderr, "%s\n", error.c_str());
    picture_ = QImage();
    failure_ = QString::fromStdString(error.rfind("error: ", 0) == 0 ? error.substr(7) : error);
    update();
    const QString text = tr("This file cannot be calibrated:\n%1").arg(failure_);
    QTimer::singleShot(0, this, [this, text] { message(text); });
    return;
  }
  failure_.clear();
  picture_.load(QString::fromStdString(picture.string()));
  show_values();
  update();
}

void CDioptraDlg::SelectMediaFile() {
  picture_ = QImage();
  update();
  const QString file = QFileDialog::getOpenFileName(
      this, QString(), QString(), "media file(*.mp4;*.mov;*.jpg) (*.mp4 *.mov *.jpg);;All file(*.*) (*)");
  if (file.isEmpty()) return;  // the area stays empty; the values stay
  AnalyseMediaFile(file.toStdString());
}

QString CDioptraDlg::notice() const {
  if (!failure_.isEmpty()) return failure_;
  if (!session_.loaded()) return tr("Open a picture or a video of the camera to calibrate.");
  if (session_.dual_lens()) {
    return tr(
        "Two lens circles were found side by side (a dual-lens 360° camera), which cannot be saved as one "
        "lens: drag the circle onto one lens's rim to calibrate that lens alone.");
  }
  if (!session_.found()) {
    return tr("No lens circle was found: drag the circle onto the rim of the picture, or type its centre and radius.");
  }
  return {};
}

void CDioptraDlg::ResetToDetected() {
  if (!session_.loaded()) return;
  session_.reset_to_detected();
  show_values();
  update();
}

void CDioptraDlg::message(const QString& body) {
  QMessageBox box(QMessageBox::NoIcon, "Dioptra", body, QMessageBox::Ok, this);
  box.exec();
}

void CDioptraDlg::SaveCalibration() {
  const std::filesystem::path path = output_path();
  const std::string fov = fov_ ? fov_->text().trimmed().toStdString() : std::string("200");
  const std::string failure = session_.save(path, fov);
  if (failure == "radius") {
    message(language_.text_or(9, "No circle yet (radius 0): detect or drag the circle before saving."));
  } else if (failure == "fov") {
    message(tr("The field of view must be a number of degrees above 0 and at most 360."));
  } else if (failure == "file") {
    message(language_.text_or(10, "The calibration file cannot be created."));
    message("Save Error!");
  } else {
    message(QString(" Save Sucess. \nFile: %1").arg(QString::fromStdString(path.string())));
  }
}

void CDioptraDlg::show_values() {
  const CircleValues v = session_.current();
  const std::string format = language_.text(6).toStdString();
  if (info_) {
    info_->setText(QString::fromStdString(info_text(format, v.cx, v.cy, v.radius)));
    info_->setCursorPosition(0);  // the start of the line is what says what it is
  }
  const std::pair<QDoubleSpinBox*, float> fields[] = {{spin_cx_, v.cx}, {spin_cy_, v.cy}, {spin_radius_, v.radius}};
  for (const auto& [spin, value] : fields) {
    if (!spin) continue;
    const QSignalBlocker quiet(spin);
    spin->setValue(value);
  }
}

void CDioptraDlg::on_typed() {
  if (!spin_cx_ || !spin_cy_ || !spin_radius_ || !session_.loaded()) return;
  const CircleValues typed{static_cast<float>(spin_cx_->value()), static_cast<float>(spin_cy_->value()),
                           static_cast<float>(spin_radius_->value())};
  session_.set_circle(typed);  // refused values snap back to the circle shown
  show_values();
  update();
}

void CDioptraDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x1e, 0x1e, 0x1e));
  p.fillRect(QRect(0, kTitleHeight, kPictureAreaWidth, kPictureAreaHeight), Qt::black);
  windowIcon().paint(&p, QRect(4, 4, 24, 24));
  p.fillRect(QRect(32, 0, width() - kTitleButtonsWidth - 32, kTitleHeight), QColor(30, 30, 30));
  QFont font("Arial");
  font.setPixelSize(16);
  font.setWeight(QFont::DemiBold);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(42, 0, width() - kTitleButtonsWidth - 42, kTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
             language_.text_or(0, "Dioptra"));
  const QString said = notice();
  if (!said.isEmpty()) {
    // Over the top of the picture area, where the eye goes first.
    const QRect band(0, kTitleHeight, kPictureAreaWidth, 40);
    p.fillRect(band, QColor(0, 0, 0, 170));
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    p.setFont(font);
    p.setPen(QColor(255, 214, 102));
    p.drawText(band.adjusted(12, 0, -12, 0), Qt::AlignVCenter | Qt::TextWordWrap, said);
  }
  if (picture_.isNull() || !session_.loaded()) return;

  const float ratio = session_.ratio();
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(QRect(0, kTitleHeight, static_cast<int>(static_cast<float>(session_.columns()) / ratio),
                    static_cast<int>(static_cast<float>(session_.rows()) / ratio)),
              picture_);
  // The circle, green, with red squares on its handles.
  const Box box = session_.tracker().GetBox();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0, 255, 0), 2));
  p.drawEllipse(QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom)));
  // Handles large enough to grab, red with a white edge to show on any picture.
  p.setPen(QPen(Qt::white, 1));
  p.setBrush(QColor(230, 30, 30));
  constexpr int kHalf = CCircleTracker::kHandleSize / 2;
  for (int i = 0; i < 5; ++i) {
    const Point h = session_.tracker().handle(i);
    p.drawRect(h.x - kHalf, h.y - kHalf, CCircleTracker::kHandleSize, CCircleTracker::kHandleSize);
  }
  p.setBrush(Qt::NoBrush);
  if (drag_) {
    // The rubber band of the drag, dotted and inverting what it crosses.
    const Box b = drag_->GetBox();
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawEllipse(QRect(QPoint(b.left, b.top), QPoint(b.right, b.bottom)));
  }
}

void CDioptraDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  if (session_.loaded() && session_.tracker().HitTest(at.x(), at.y()) >= 0) {
    drag_ = session_.tracker().CloneForDrag();  // with the picture's bounds and the largest radius
    drag_->HitTest(at.x(), at.y());
    return;
  }
  // The title band moves the window.
  if (at.y() < kTitleHeight && windowHandle()) windowHandle()->startSystemMove();
}

void CDioptraDlg::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (!drag_) {
    CCircleTracker probe = session_.tracker();
    switch (session_.loaded() ? probe.HitTest(at.x(), at.y()) : -1) {
      case HANDLE_TOP:
      case HANDLE_BOTTOM: setCursor(Qt::SizeVerCursor); break;
      case HANDLE_RIGHT:
      case HANDLE_LEFT: setCursor(Qt::SizeHorCursor); break;
      case HANDLE_CENTRE: setCursor(Qt::PointingHandCursor); break;
      default: unsetCursor();
    }
    return;
  }
  if (event->buttons() & Qt::LeftButton) {
    drag_->DragHandle(drag_->current_handle(), at.x(), at.y());
  } else {
    session_.tracker().SetCircleBox(drag_->GetBox());
    drag_.reset();
  }
  update();
}

void CDioptraDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (!drag_ || event->button() != Qt::LeftButton) return;
  const Box box = drag_->GetBox();
  orb::debug_trace("(%d, %d, %d, %d)", box.left, box.top, box.right, box.bottom);
  drag_.reset();
  session_.end_drag(box);
  show_values();
  update();
}

}  // namespace dioptra
