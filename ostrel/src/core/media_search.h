#pragma once
// What a drop on the window collects: dropped files as they are, and the
// video files of dropped folders, searched recursively.
#include <string>
#include <vector>

namespace ostrel {

// Folders are searched below, in name order, for video files; other items
// are kept when the playlist accepts them. Unreadable folders are skipped.
std::vector<std::string> collect_media(const std::vector<std::string>& dropped);

}  // namespace ostrel
