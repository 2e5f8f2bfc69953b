#include "playlist.h"

#include <av/media_open.h>

#include <algorithm>

namespace ostrel {
namespace {

// "*.ext;" for the path's extension, lower-cased; "" without one.
std::string pattern_of(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash) || dot + 1 == path.size()) {
    return {};
  }
  std::string ext(path.substr(dot));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return "*" + ext + ";";
}

bool listed(std::string_view patterns, const std::string& pattern) {
  if (pattern.empty()) return false;
  // Whole entries only: "*.m;" must not match inside "*.mp3;".
  for (std::size_t at = patterns.find(pattern); at != std::string_view::npos; at = patterns.find(pattern, at + 1)) {
    if (at == 0 || patterns[at - 1] == ';') return true;
  }
  return false;
}

}  // namespace

bool Playlist::accepted(std::string_view path) {
  if (orb::is_network_source(std::string(path).c_str())) return true;  // a stream: no extension to go by
  const std::string pattern = pattern_of(path);
  return listed(kAudioPatterns, pattern) || listed(kVideoPatterns, pattern);
}

bool Playlist::is_audio(std::string_view path) { return listed(kAudioPatterns, pattern_of(path)); }

int Playlist::add(const std::vector<std::string>& paths, bool dedup) {
  int added = 0;
  for (const std::string& path : paths) {
    if (!accepted(path)) continue;
    if (dedup && std::find(paths_.begin(), paths_.end(), path) != paths_.end()) continue;
    paths_.push_back(path);
    ++added;
  }
  return added;
}

bool Playlist::remove(std::size_t position) {
  if (position >= paths_.size()) return false;
  paths_.erase(paths_.begin() + static_cast<std::ptrdiff_t>(position));
  shuffle_.clear();
  return true;
}

std::string Playlist::choose(Direction direction, std::int32_t mode, std::int32_t& current, std::int32_t first) {
  const auto count = static_cast<std::int32_t>(paths_.size());
  if (count <= 0) return {};
  std::int32_t i = current == -1 ? first : current;
  if (mode == kPlayRandom) {
    if (shuffle_.empty()) {
      std::vector<std::int32_t> order(static_cast<std::size_t>(count));
      for (std::int32_t k = 0; k < count; ++k) order[static_cast<std::size_t>(k)] = k;
      std::shuffle(order.begin(), order.end(), random_);
      shuffle_.assign(order.begin(), order.end());
    }
    i = first + shuffle_.front();
    shuffle_.pop_front();
  } else if (mode == kPlaySequence) {
    i += direction == Direction::kNext ? 1 : -1;
    if (i < first || i >= first + count) return {};
  }
  // Single loop and unknown modes: the same item again.
  const std::int32_t position = i - first;
  if (position < 0 || position >= count) return {};  // a stale index names nothing
  current = i;
  return paths_[static_cast<std::size_t>(position)];
}

}  // namespace ostrel
