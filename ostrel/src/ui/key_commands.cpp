#include "key_commands.h"

namespace ostrel {

KeyCommand key_command(int key, Qt::KeyboardModifiers modifiers) {
  const bool shift = modifiers & Qt::ShiftModifier;
  const bool control = modifiers & Qt::ControlModifier;
  if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return KeyCommand::none;  // the desktop's
  if (control) {
    if (key == Qt::Key_O) return KeyCommand::open_file;
    if (key == Qt::Key_U) return KeyCommand::open_url;
    return KeyCommand::none;
  }
  switch (key) {
    case Qt::Key_Space: return KeyCommand::play_pause;
    case Qt::Key_Left: return shift ? KeyCommand::seek_back_long : KeyCommand::seek_back;
    case Qt::Key_Right: return shift ? KeyCommand::seek_forward_long : KeyCommand::seek_forward;
    case Qt::Key_Up: return KeyCommand::volume_up;
    case Qt::Key_Down: return KeyCommand::volume_down;
    case Qt::Key_M: return KeyCommand::mute;
    case Qt::Key_F:
    case Qt::Key_F11: return KeyCommand::full_screen;
    case Qt::Key_Escape: return KeyCommand::leave_full_screen;
    case Qt::Key_PageUp:
    case Qt::Key_P: return KeyCommand::previous;
    case Qt::Key_PageDown:
    case Qt::Key_N: return KeyCommand::next;
    case Qt::Key_1:
    case Qt::Key_W: return KeyCommand::layout_wide;
    case Qt::Key_2: return KeyCommand::layout_split2;
    case Qt::Key_4: return KeyCommand::layout_split4;
    case Qt::Key_S: return KeyCommand::snapshot;
    case Qt::Key_Delete: return KeyCommand::remove_item;
    default: return KeyCommand::none;
  }
}

bool is_list_key(int key) {
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter: return true;
    default: return false;
  }
}

QString keys_of_control(const QString& button) {
  static const std::pair<const char*, const char*> kKeys[] = {
      {"btnPlay", "Space"},        {"btnPause", "Space"},
      {"btnPrePlay", "PageUp, P"}, {"btnNextPlay", "PageDown, N"},
      {"btnVolume", "M"},          {"btnVolumeZero", "M"},
      {"btnScreenFull", "F, F11"}, {"btnScreenNormal", "Esc"},
      {"widebtn", "1, W"},         {"split2btn", "2"},
      {"split4btn", "4"},          {"btnOpenMini", "Ctrl+O"},
      {"btnOpenUrl", "Ctrl+U"},    {"btnSnapshot", "S"},
      {"btnDelOne", "Delete"},     {"sliderPlay", "Left/Right 5 s, Shift 60 s"},
      {"sliderVol", "Up/Down"},
  };
  for (const auto& [name, keys] : kKeys) {
    if (button == QLatin1String(name)) return QString::fromLatin1(keys);
  }
  return {};
}

}  // namespace ostrel
