#pragma once
// The calibration tool's window: a 32-pixel title band, the picture scaled
// into 800 × 600 below it with the circle and its handles on top, and the
// panel with the circle's values, the field of view and the buttons.
#include <QImage>
#include <QWidget>

#include <filesystem>
#include <optional>
#include <string>

#include "calibration_session.h"

namespace orb {
class Language;
}
class QDoubleSpinBox;
class QLineEdit;

namespace dioptra {

class CDioptraDlg : public QWidget {
  Q_OBJECT
 public:
  // With `media` and `calibration` (the start with arguments) the media is
  // analysed at once and Save writes to `calibration`; otherwise files are
  // chosen in the window and saved as "tarvik.inf" in `data_dir`.
  CDioptraDlg(const orb::Language& language, std::filesystem::path data_dir, std::optional<std::filesystem::path> media,
              std::optional<std::filesystem::path> calibration, QWidget* parent = nullptr);

  // The window's operations, as its buttons run them.
  void AnalyseMediaFile(const std::filesystem::path& media);
  void SelectMediaFile();
  void ResetToDetected();
  void SaveCalibration();

  const CalibrationSession& session() const { return session_; }
  std::filesystem::path output_path() const;
  // What the picture area says over the picture ("" when nothing).
  QString notice() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QWidget* load_skin(const QString& name);
  void apply_language(QWidget* root);
  void show_values();
  void message(const QString& text);
  void on_typed();

  const orb::Language& language_;
  const std::filesystem::path data_dir_;
  const std::optional<std::filesystem::path> calibration_;
  CalibrationSession session_;
  QImage picture_;  // shown while the session has a picture
  std::optional<CCircleTracker> drag_;
  QWidget* title_ = nullptr;
  QWidget* panel_ = nullptr;
  QLineEdit* info_ = nullptr;
  QLineEdit* fov_ = nullptr;
  QDoubleSpinBox* spin_cx_ = nullptr;
  QDoubleSpinBox* spin_cy_ = nullptr;
  QDoubleSpinBox* spin_radius_ = nullptr;
  QString failure_;  // why the last file shows no picture
};

}  // namespace dioptra
