#pragma once
// The video area: a native widget holding an X11 child window (event mask
// 0) that the player draws into. The child follows the widget's size, is
// made anew for every playback, and the player's notifications to its
// parent (double click) arrive here as host messages.
#include <QAbstractNativeEventFilter>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <vector>

namespace ostrel {

class CWndUI : public QWidget, public QAbstractNativeEventFilter {
  Q_OBJECT
 public:
  explicit CWndUI(QWidget* parent = nullptr);
  ~CWndUI() override;

  // The X11 window the player draws into; 0 before the first recreate().
  unsigned long native_window() const { return child_; }
  // Makes a new child window. The old one is unmapped and kept until
  // release_retired(), so a player still stopping never loses its window.
  unsigned long recreate();
  // Destroys retired windows; call only when no player can be using them.
  void release_retired();
  // Size in pixels, readable from any thread (the play thread asks).
  std::pair<int, int> pixel_size() const { return {width_.load(), height_.load()}; }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 signals:
  void host_message(long number);
  void file_dropped(const QString& path);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void fit_child();

  void* connection_ = nullptr;  // the application's xcb connection (Qt owns it)
  std::uint32_t atom_ = 0;      // _ORB_HOST_MESSAGE
  unsigned long child_ = 0;
  std::vector<unsigned long> retired_;
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
};

}  // namespace ostrel
