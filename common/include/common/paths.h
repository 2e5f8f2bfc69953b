#pragma once
// Where the programs find their files: data they ship sits beside the
// executable; data they write goes there too when it is writable, else
// under the user's configuration directory.
#include <filesystem>
#include <string>
#include <string_view>

namespace orb {

// Directory of the running executable (from /proc/self/exe).
std::filesystem::path executable_dir();

// File name of the running executable ("ostrel", "orbtool").
std::string program_name();

// Directory the named program writes its files to: the executable's
// directory when writable, otherwise $XDG_CONFIG_HOME/<program>
// (~/.config/<program>), created on demand.
std::filesystem::path data_dir(std::string_view program);

// A file the program reads: the data directory's copy when it exists,
// else the one beside the executable (which may not exist either).
std::filesystem::path find_data_file(std::string_view program, std::string_view name);

}  // namespace orb
