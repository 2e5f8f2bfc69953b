// The plug-in boundary: one exported function returning the two-entry table.
#include <verbix/lang_interface.h>

#include <common/paths.h>

#include "lang_set.h"

namespace {

orb::LangSet& lang_set() {
  static orb::LangSet set;
  return set;
}

int load_lang_file(const char16_t* file_name) {
  const std::u16string name = file_name ? std::u16string(file_name) : std::u16string();
  lang_set().load(orb::resolve_lang_file(name, orb::executable_dir()), orb::user_language_id());
  return 1;
}

const char16_t* get_lang_string(int index) { return lang_set().string_at(index).c_str(); }

LangInterface g_interface = {load_lang_file, get_lang_string};

}  // namespace

extern "C" LangInterface* GetInterface(void) { return &g_interface; }
