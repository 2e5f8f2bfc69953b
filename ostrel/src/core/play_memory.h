#pragma once
// What ostrel remembers between sessions besides the playlist: where each
// long file was left, the volume and mute, the last layout and mount of
// each file, and the recently opened files and streams.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class PlayMemory {
 public:
  // Files shorter than this start from the beginning every time.
  static constexpr std::int64_t kResumeMinSeconds = 180;
  static constexpr std::size_t kRecentCount = 10;
  static constexpr std::size_t kFilesKept = 500;  // oldest forgotten first

  struct View {
    int layout = -1;
    int mount = -1;
  };

  // Reads "Memory.cfg"-style text; what it cannot use is left out.
  static PlayMemory parse(std::string_view text);
  std::string serialise() const;
  static PlayMemory load(const std::filesystem::path& file);
  // Written beside and renamed: a save cut short leaves the old file.
  bool save(const std::filesystem::path& file) const;

  // The position to resume `media` at, if it was left part-way.
  std::optional<std::int64_t> resume_at(const std::string& media) const;
  // Keeps where `media` (of `total` seconds) was left; the start and the
  // last seconds of a file, and short files, forget it.
  void leave_at(const std::string& media, std::int64_t position, std::int64_t total);

  std::optional<View> view_of(const std::string& media) const;
  void set_view(const std::string& media, View view);

  int volume = 80;  // percent
  bool muted = false;
  bool playlist_shown = true;

  const std::vector<std::string>& recent() const { return recent_; }
  void add_recent(const std::string& media);
  void clear_recent() { recent_.clear(); }

 private:
  struct File {
    std::string media;
    std::int64_t position = 0;  // 0: from the beginning
    View view;
  };
  File& file(const std::string& media);  // made and moved to the front
  const File* find(const std::string& media) const;

  std::vector<File> files_;  // most recently touched first
  std::vector<std::string> recent_;
};

}  // namespace ostrel
