#pragma once
// The playlist model: the media paths in order, which files it takes, and
// how the next item is chosen in the sequence, random and single-loop modes.
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The file types the player takes, as "*.ext;" entries.
inline constexpr std::string_view kAudioPatterns =
    "*.mp3;*.wma;*.wav;*.mid;*.rmi;*.aac;*.ac3;*.aiff;*.amr;*.m4a;*.mka;*.mp2;*.ogg;*.ra;*.au;*.flac;";
inline constexpr std::string_view kVideoPatterns =
    "*.rm;*.rmvb;*.flv;*.f4v;*.avi;*.3gp;*.mp4;*.wmv;*.mpeg;*.mpga;*.asf;*.dat;*.mov;*.dv;*.mkv;*.mpg;*.trp;*.ts;"
    "*.vob;*.xv;*.m4v;*.dpg;";

enum PlayMode : std::int32_t { kPlaySequence = 0, kPlayRandom = 1, kPlaySingleLoop = 2 };
enum class Direction { kNext, kPrevious };

class Playlist {
 public:
  // Video and sound files by extension (any letter case).
  static bool accepted(std::string_view path);
  static bool is_audio(std::string_view path);

  // Appends the accepted paths; with `dedup`, a path already listed (exact,
  // case-sensitive) is skipped. Returns how many were appended.
  int add(const std::vector<std::string>& paths, bool dedup);
  // Removes the entry at `position`; false when there is none.
  // Both start a new shuffle: positions in the old one no longer hold.
  bool remove(std::size_t position);
  void clear() {
    paths_.clear();
    shuffle_.clear();
  }
  const std::vector<std::string>& paths() const { return paths_; }
  std::size_t size() const { return paths_.size(); }

  // The path to play next, or "" (empty list, or the end of the list in
  // sequence mode). `current` is the list index of the item last started
  // (-1 for none) with items from list index `first` on; it is updated to
  // the chosen item's. Random mode plays every item once, in shuffled
  // order, before shuffling again.
  std::string choose(Direction direction, std::int32_t mode, std::int32_t& current, std::int32_t first);

  // Fixes the shuffle (tests); otherwise it is seeded from the clock.
  void seed(std::uint32_t value) { random_.seed(value); }

 private:
  std::vector<std::string> paths_;
  std::deque<std::int32_t> shuffle_;  // playlist positions still to play in random mode
  std::mt19937 random_{std::random_device{}()};
};

}  // namespace ostrel
