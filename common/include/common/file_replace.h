#pragma once
// A user's file is only ever replaced by a complete new version: written
// beside it ("<file>.part"), flushed to the disk, then renamed over it.
#include <filesystem>
#include <string>
#include <string_view>

namespace orb {

// True when `file` now holds exactly `contents`. On failure (a full disk, a
// read-only folder) the old file is as it was, no ".part" stays behind, and
// `error` (when given) says why.
bool replace_file(const std::filesystem::path& file, std::string_view contents, std::string* error = nullptr);

// Removes "<file>.part" left by a save that was cut short.
void remove_stale_part(const std::filesystem::path& file);

}  // namespace orb
