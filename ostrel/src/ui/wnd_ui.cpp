#include "wnd_ui.h"

#include <common/host_message.h>
#include <xcb/xcb.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include <cstdlib>
#include <cstring>

namespace ostrel {
namespace {

xcb_connection_t* x11_connection() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

}  // namespace

CWndUI::CWndUI(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  auto* c = x11_connection();
  connection_ = c;
  if (!c) return;
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(orb::kHostMessageAtom)), orb::kHostMessageAtom);
  if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr)) {
    atom_ = reply->atom;
    std::free(reply);
  }
  qApp->installNativeEventFilter(this);
}

CWndUI::~CWndUI() {
  qApp->removeNativeEventFilter(this);
  auto* c = static_cast<xcb_connection_t*>(connection_);
  if (!c) return;
  release_retired();
  if (child_) xcb_destroy_window(c, static_cast<xcb_window_t>(child_));
  xcb_flush(c);
}

unsigned long CWndUI::recreate() {
  auto* c = static_cast<xcb_connection_t*>(connection_);
  if (!c) return 0;
  if (child_) {
    xcb_unmap_window(c, static_cast<xcb_window_t>(child_));
    retired_.push_back(child_);
  }
  const auto parent = static_cast<xcb_window_t>(winId());
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t black = 0;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, parent, 0, 0, static_cast<std::uint16_t>(std::max(1, width())),
                    static_cast<std::uint16_t>(std::max(1, height())), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &black);
  xcb_map_window(c, window);
  xcb_flush(c);
  child_ = window;
  return child_;
}

void CWndUI::release_retired() {
  auto* c = static_cast<xcb_connection_t*>(connection_);
  if (!c || retired_.empty()) return;
  for (unsigned long w : retired_) xcb_destroy_window(c, static_cast<xcb_window_t>(w));
  retired_.clear();
  xcb_flush(c);
}

void CWndUI::fit_child() {
  auto* c = static_cast<xcb_connection_t*>(connection_);
  if (!c || !child_) return;
  const std::uint32_t size[2] = {static_cast<std::uint32_t>(std::max(1, width())),
                                 static_cast<std::uint32_t>(std::max(1, height()))};
  xcb_configure_window(c, static_cast<xcb_window_t>(child_), XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  xcb_flush(c);
}

void CWndUI::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  width_ = width();
  height_ = height();
  fit_child();
}

void CWndUI::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Qt::black); }

bool CWndUI::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
  if (type != "xcb_generic_event_t" || !atom_) return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
  auto* client = reinterpret_cast<xcb_client_message_event_t*>(event);
  if (client->type != atom_ || client->format != 32 || client->window != static_cast<xcb_window_t>(winId())) {
    return false;
  }
  emit host_message(static_cast<long>(static_cast<std::int32_t>(client->data.data32[0])));
  return true;
}

void CWndUI::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CWndUI::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    event->acceptProposedAction();
    emit file_dropped(url.toLocalFile());
    return;
  }
}

}  // namespace ostrel
