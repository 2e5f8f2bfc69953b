// Hostile language files through the INI reader and the language set.
#include <common/ini_file.h>
#include <common/text.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lang_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const orb::IniFile ini = orb::IniFile::parse(bytes);
  (void)ini.get_int("Option", "Option", 0);
  (void)ini.get_string("option", "version");
  for (const std::string& line : ini.section_values("Option")) (void)orb::utf8_to_utf16(line);

  orb::LangSet set;
  set.load(ini, size > 0 ? data[0] * 131 : 9);
  for (int index : {-1, 0, 1, 58, static_cast<int>(set.size()), 1 << 30}) {
    const std::u16string& s = set.string_at(index);
    if (index < 0 || static_cast<std::size_t>(index) >= set.size()) {
      if (!s.empty()) std::abort();
    }
    (void)orb::utf16_to_utf8(s);
  }
  return 0;
}
