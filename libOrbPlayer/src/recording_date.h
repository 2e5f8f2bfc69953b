#pragma once
// The recording start date-time some cameras put in their file names
// (YYYYMMDDhhmmssX.ext), and the play position added to it for the overlay.
#include <string>
#include <string_view>

namespace orb::player {

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// All zero when the name does not hold one.
DateTime parse_recording_start(std::string_view media_path);
// Adds `seconds` (0 <= seconds < 24 h); an invalid start time or a larger
// span leaves the date-time unchanged.
DateTime add_seconds(DateTime start, long long seconds);
// "%d-%02d-%02d %02d:%02d:%02d"
std::string format_date_time(const DateTime& t);

}  // namespace orb::player
