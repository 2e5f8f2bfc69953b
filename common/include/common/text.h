#pragma once
// UTF-8 <-> UTF-16 conversion. Malformed input never fails: each bad
// sequence becomes U+FFFD, so hostile files still yield printable text.
#include <string>
#include <string_view>

namespace orb {

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// Lower-cases ASCII letters only (section and key names compare this way).
std::string ascii_lower(std::string_view text);

}  // namespace orb
