#include "media_search.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "playlist.h"

namespace ostrel {
namespace fs = std::filesystem;
namespace {

void search_folder(const fs::path& folder, std::vector<std::string>& out, int depth) {
  // Deep enough for any real library; a bound keeps bind-mount loops finite.
  if (depth > 32) return;
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    entries.push_back(*it);
  }
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
  for (const fs::directory_entry& entry : entries) {
    const std::string path = entry.path().string();
    if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
      search_folder(entry.path(), out, depth + 1);
    } else if (entry.is_regular_file(ec) && Playlist::accepted(path) && !Playlist::is_audio(path)) {
      out.push_back(path);
    }
  }
}

}  // namespace

std::vector<std::string> collect_media(const std::vector<std::string>& dropped) {
  std::vector<std::string> out;
  for (const std::string& item : dropped) {
    std::error_code ec;
    if (fs::is_directory(item, ec)) {
      search_folder(item, out, 0);
    } else if (Playlist::accepted(item)) {
      out.push_back(item);
    }
  }
  return out;
}

}  // namespace ostrel
