#pragma once
// The conversion dialog: a paused preview of the source the user turns to
// aim the views, the camera's mount direction, the layout, the quality and
// the output path; then a conversion in the background with its progress
// and remaining time.
#include <QMessageBox>
#include <QTimer>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "conversion_job.h"
#include "main_window.h"

namespace ostrel {

class TranslateWnd : public CXMLWnd {
  Q_OBJECT
 public:
  TranslateWnd(std::filesystem::path data_dir, const orb::Language& language, QWidget* parent = nullptr);
  ~TranslateWnd() override;

  // Shows the dialog and returns when it closes.
  void exec();

  // What choosing a source in the open dialog does.
  void load_source(const QString& path);
  // Opens on what the player shows: its file, with its mount, layout and,
  // where the layouts match, the views as the user turned them.
  void load_as_shown(const QString& path, int mount_mode, std::int32_t layout, const std::array<PreviewView, 4>& views);
  bool converting() const;
  PlayController& preview() { return preview_; }
  // The record of the last conversion started (null before one).
  const ConversionJob* last_job() const { return job_.get(); }

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void bind_controls();
  void apply_language();
  void on_click(const QString& name);
  void choose_source();
  void choose_output();
  void update_start_button();
  void restart_preview(int mount_mode);
  void pause_when_ready();
  void start_conversion();
  void stop_conversion();
  void progress_tick();
  void set_inputs_enabled(bool enabled);
  void show_mount(int mode);
  void message(QMessageBox::Icon icon, const QString& text);

  struct ConverterDeleter {
    void operator()(ISS_OrbVideoConverter* c) const { DestroyOrbVideoConverter(c); }
  };

  const std::filesystem::path data_dir_;
  const orb::Language& language_;
  std::string source_;
  CWndUI* video_ = nullptr;             // set once at construction; read by the play thread
  QTimer progress_timer_;               // once a second while converting
  QTimer pause_timer_;                  // pauses the preview once it plays
  std::unique_ptr<ConversionJob> job_;  // outlives the converter that points into it
  std::unique_ptr<ISS_OrbVideoConverter, ConverterDeleter> converter_;
  QString notice_;                            // what the converter chose that the user should know
  std::array<PreviewView, 4> shown_views_{};  // turned to once the preview pauses
  int shown_count_ = 0;                       // how many of them; 0 when none are waiting
  // Last member: stopped and joined before the widgets go.
  PlayController preview_;
};

}  // namespace ostrel
