#pragma once
// The player application's main window: caption, video area, control
// panel and playlist, built from the skin; drives one PlayController.
#include <QDateTime>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <uikit/language.h>
#include "key_commands.h"
#include "play_controller.h"
#include "play_memory.h"
#include "playlist.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace ostrel {

class CWndUI;
class MySlider;

// A window whose controls come from one skin file.
class CXMLWnd : public QWidget {
 public:
  explicit CXMLWnd(const QString& skin_file, QWidget* parent = nullptr);

  // The skin's control named `name`, or null when the skin has none.
  template <class T = QWidget>
  T* find(const char* name) const {
    return findChild<T*>(QString::fromLatin1(name));
  }
  // Shows or hides a control if the skin has it.
  void set_visible(const char* name, bool visible) const;

 protected:
  QWidget* skin_ = nullptr;
};

class CDuiFrameWnd : public CXMLWnd {
  Q_OBJECT
 public:
  // Settings, playlist and playback files live in `data_dir`.
  explicit CDuiFrameWnd(std::filesystem::path data_dir, QWidget* parent = nullptr);
  ~CDuiFrameWnd() override;

  // Files from the command line or a file manager: folders are searched,
  // everything is added to the playlist and the first file plays.
  void open_files(const QStringList& paths);
  // Plays a stream address (or a file path) as if given in the Open URL dialog.
  void open_url(const QString& address);
  // What a drop on the window (outside the video) does.
  void drop_paths(const QStringList& paths);

  // A key pressed anywhere in the window: true when it was one of the player's keys.
  bool handle_key(const QKeyEvent& event);

  // Read-only views for tests and the conversion dialog.
  bool controls_shown() const { return controls_shown_; }
  bool live() const { return live_; }
  const QString& last_snapshot() const { return last_snapshot_; }
  const PlayMemory& memory() const { return memory_; }
  PlayController& controller() { return controller_; }
  const Playlist& playlist() const { return playlist_; }
  std::int32_t play_mode() const { return settings_.play_mode; }
  std::int32_t current_index() const { return settings_.current_index; }
  bool full_screen() const { return full_screen_; }
  CWndUI* video() const { return video_; }
  const std::string& current_path() const { return current_path_; }
  // The lens notice under the video (hidden when there is none).
  QLabel* lens_notice() const { return notice_; }
  // The calibration file the calibration tool writes for the playing video.
  std::filesystem::path calibration_target() const;

  // List indices of the playlist tree count its heading and tool row, as
  // the settings file stores them: the first file is list index 2.
  static constexpr std::int32_t kFirstFileIndex = 2;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Set-up.
  void bind_controls();
  void route_keys();
  void run_command(KeyCommand command);
  void apply_language();
  void show_keys_in_tooltips();
  void build_menu();

  // Memory between sessions.
  std::filesystem::path memory_file() const;
  void remember();
  void save_memory() const;
  void recall_controls();
  void recall_for_start();
  void remember_position();
  void remember_view();
  void show_layout(std::int32_t layout);
  void size_for_monitor(int monitor_width);
  void fill_tree();

  // Playback.
  void on_click(const QString& name);
  void set_playing_state(bool playing);
  void start_current();
  void play_from_idle();
  void stop();
  void tick();
  void on_end_of_file();
  void show_failure();
  static QString shown_name(const std::string& media);
  void change_mount(int mode);
  void show_mount(int mode);
  void shift_views(float pitch_delta);
  void show_playlist(bool shown);
  void on_fatal(const QString& message);
  void pump(int times, int pause_ms);
  void save_state() const;

  // Playlist.
  void add_to_playlist(const std::vector<std::string>& paths);
  void add_tree_items(const std::vector<std::string>& paths);
  QTreeWidgetItem* tree_root() const;
  void select_list_index(std::int32_t index);
  void mark_current(const std::string& path);
  void go_to(Direction direction);
  std::string choose_next(Direction direction);
  void on_item_activated(QTreeWidgetItem* item);
  void delete_one();
  void delete_all();
  void add_dialog();
  void play_mode_menu();

  // Screen, files and other programs.
  void set_full_screen(bool on);
  void grab_escape(bool on);
  void watch_pointer();
  void show_controls(bool shown);
  void open_one_dialog();
  void open_url_dialog();
  void open_conversion();
  void take_snapshot();
  QStringList recent_urls() const;
  void open_help();
  static bool has_web_browser();
  void launch_calibration();

  // The lens of each video.
  void on_lens_chosen(const std::string& media, const CalibrationChoice& lens);
  void show_notice(const QString& rich_text, int seconds);
  void watch_calibration(const std::string& media);
  void on_calibration_folder_changed();
  void restart_in_place();

  const std::filesystem::path data_dir_;
  orb::Language language_{u"ostrelui.osd"};
  PlayerSettings settings_;
  PlayMemory memory_;
  QTimer memory_timer_;  // saves the memory a moment after the last change
  Playlist playlist_;
  std::vector<std::string> kept_lines_;  // lines of "Playlist.osp" the playlist cannot play, written back as they were
  std::string current_path_;             // what the next start plays
  QString displayed_path_;
  QString idle_hint_;
  QString last_snapshot_;  // where the last snapshot went  // what the idle area says when nothing failed
  bool full_screen_ = false;
  bool playlist_wanted_ = true;  // the playlist shows when the user last asked for it
  // Full screen hides the controls and pointer after this long without movement.
  static constexpr int kHideControlsAfterMs = 2000;
  QTimer pointer_timer_;
  QPoint last_pointer_;
  int pointer_still_ms_ = 0;
  bool controls_shown_ = true;
  QRect normal_geometry_;
  bool was_maximised_ = false;
  std::int64_t total_seconds_ = 0;  // cached per file once timing_known_
  bool timing_known_ = false;
  bool live_ = false;              // a stream without a length: "LIVE", no seeking
  int start_generation_ = 0;       // bumped by every start and stop: a delayed start checks it
  bool fatal_ = false;             // the video cannot be drawn; nothing starts any more
  bool stop_after_start_ = false;  // a stop came while a start was still in flight
  QTimer time_timer_;              // the 100 ms time display
  QTimer retire_timer_;            // frees video windows no player uses any more

  QLabel* notice_ = nullptr;              // the lens notice under the video
  QTimer notice_timer_;                   // hides a passing notice
  QFileSystemWatcher calibration_watch_;  // the folder the calibration tool saves the playing video's lens to
  std::string watched_media_;             // the video that lens belongs to
  QDateTime watched_stamp_;               // the lens file's time when the video started

  CWndUI* video_ = nullptr;  // set once at construction; read by the play thread
  MySlider* seek_ = nullptr;
  QTreeWidget* tree_ = nullptr;

  // Last member: stopped and joined before the widgets go.
  PlayController controller_;
};

}  // namespace ostrel
