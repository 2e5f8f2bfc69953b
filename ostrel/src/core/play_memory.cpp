#include "play_memory.h"

#include <common/file_replace.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace ostrel {
namespace {

constexpr std::string_view kHeading = "ostrel memory 1";
constexpr std::int64_t kEndMarginSeconds = 10;  // this close to either end is no place to resume

// Paths are the last field of a line: anything but a line break is kept.
bool storable(const std::string& media) { return !media.empty() && media.find_first_of("\n\r") == std::string::npos; }

template <class T>
bool number(std::string_view text, T& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

// Splits "a\tb\tc\trest" into `count` fields, the last taking the rest.
std::vector<std::string_view> fields(std::string_view line, std::size_t count) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < count) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) break;
    out.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  out.push_back(line);
  return out;
}

}  // namespace

PlayMemory PlayMemory::parse(std::string_view text) {
  PlayMemory memory;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      if (line != kHeading) return {};  // not ours, or a later format: defaults
      continue;
    }
    const std::vector<std::string_view> f = fields(line, 5);
    int value = 0;
    if (f.size() == 2 && f[0] == "volume" && number(f[1], value)) {
      memory.volume = std::clamp(value, 0, 100);
    } else if (f.size() == 2 && f[0] == "muted" && number(f[1], value)) {
      memory.muted = value != 0;
    } else if (f.size() == 2 && f[0] == "playlist" && number(f[1], value)) {
      memory.playlist_shown = value != 0;
    } else if (f.size() >= 2 && f[0] == "recent") {
      const std::string media(line.substr(7));
      if (memory.recent_.size() < kRecentCount && storable(media) &&
          std::find(memory.recent_.begin(), memory.recent_.end(), media) == memory.recent_.end()) {
        memory.recent_.push_back(media);
      }
    } else if (f.size() == 5 && f[0] == "file") {
      File entry;
      entry.media = std::string(f[4]);
      if (!storable(entry.media) || !number(f[1], entry.position) || !number(f[2], entry.view.layout) ||
          !number(f[3], entry.view.mount) || entry.position < 0 || memory.find(entry.media) ||
          memory.files_.size() >= kFilesKept) {
        continue;
      }
      memory.files_.push_back(std::move(entry));
    }
  }
  return memory;
}

std::string PlayMemory::serialise() const {
  std::ostringstream out;
  out << kHeading << '\n'
      << "volume\t" << volume << '\n'
      << "muted\t" << (muted ? 1 : 0) << '\n'
      << "playlist\t" << (playlist_shown ? 1 : 0) << '\n';
  for (const std::string& media : recent_) out << "recent\t" << media << '\n';
  for (const File& f : files_) {
    out << "file\t" << f.position << '\t' << f.view.layout << '\t' << f.view.mount << '\t' << f.media << '\n';
  }
  return out.str();
}

PlayMemory PlayMemory::load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::string text;
  text.resize(1 << 20);  // far more than kFilesKept lines need
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return parse(text);
}

bool PlayMemory::save(const std::filesystem::path& file) const { return orb::replace_file(file, serialise()); }

const PlayMemory::File* PlayMemory::find(const std::string& media) const {
  const auto it = std::find_if(files_.begin(), files_.end(), [&](const File& f) { return f.media == media; });
  return it == files_.end() ? nullptr : &*it;
}

PlayMemory::File& PlayMemory::file(const std::string& media) {
  auto it = std::find_if(files_.begin(), files_.end(), [&](const File& f) { return f.media == media; });
  if (it == files_.end()) {
    files_.insert(files_.begin(), File{media, 0, {}});
    if (files_.size() > kFilesKept) files_.pop_back();
  } else {
    std::rotate(files_.begin(), it, it + 1);
  }
  return files_.front();
}

std::optional<std::int64_t> PlayMemory::resume_at(const std::string& media) const {
  const File* f = find(media);
  if (!f || f->position <= 0) return std::nullopt;
  return f->position;
}

void PlayMemory::leave_at(const std::string& media, std::int64_t position, std::int64_t total) {
  if (!storable(media)) return;
  const bool part_way =
      total >= kResumeMinSeconds && position > kEndMarginSeconds && position < total - kEndMarginSeconds;
  if (!part_way && !find(media)) return;
  file(media).position = part_way ? position : 0;
}

std::optional<PlayMemory::View> PlayMemory::view_of(const std::string& media) const {
  const File* f = find(media);
  if (!f || f->view.layout < 0) return std::nullopt;
  return f->view;
}

void PlayMemory::set_view(const std::string& media, View view) {
  if (storable(media)) file(media).view = view;
}

void PlayMemory::add_recent(const std::string& media) {
  if (!storable(media)) return;
  recent_.erase(std::remove(recent_.begin(), recent_.end(), media), recent_.end());
  recent_.insert(recent_.begin(), media);
  if (recent_.size() > kRecentCount) recent_.resize(kRecentCount);
}

}  // namespace ostrel
