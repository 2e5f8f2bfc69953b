#pragma once
// The player's keyboard: what each key does, and the key names the
// tooltips and the help show for the controls.
#include <QString>
#include <Qt>

namespace ostrel {

enum class KeyCommand {
  none,
  play_pause,
  seek_back,
  seek_forward,
  seek_back_long,
  seek_forward_long,
  volume_up,
  volume_down,
  mute,
  full_screen,
  leave_full_screen,
  previous,
  next,
  layout_wide,
  layout_split2,
  layout_split4,
  snapshot,
  open_file,
  open_url,
  remove_item,
};

// Seconds a seek key moves: Left/Right, and with Shift.
inline constexpr int kShortSeekSeconds = 5;
inline constexpr int kLongSeekSeconds = 60;
// Percent an Up/Down press changes the volume by.
inline constexpr int kVolumeStep = 5;

KeyCommand key_command(int key, Qt::KeyboardModifiers modifiers);

// Keys the list keeps for itself while it has the focus: moving its
// selection and playing it. Left and Right seek still (a flat list has no
// use for them), PageUp and PageDown still change the file.
bool is_list_key(int key);

// "Space", "PageUp, p"... for the control `button`; empty when no key does its work.
QString keys_of_control(const QString& button);

}  // namespace ostrel
