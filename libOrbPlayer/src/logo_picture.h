#pragma once
// The logo over the unseen pole: any picture FFmpeg reads, decoded into
// packed BGR rows (top first, no padding).
#include <cstdint>
#include <string>
#include <vector>

namespace orb::player {

// False with an "error: ..." line in `error` when the file is not a picture.
bool load_logo_picture(const char* path, std::vector<std::uint8_t>& bgr, int& width, int& height, std::string& error);

}  // namespace orb::player
