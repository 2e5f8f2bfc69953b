#include "uikit/language.h"

#include <common/debug_trace.h>
#include <common/paths.h>
#include <dlfcn.h>
#include <verbix/lang_interface.h>

namespace orb {

Language::Language(const char16_t* file_name) {
  const std::string plugin = (executable_dir() / "libverbix.so").string();
  module_ = dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module_) {
    debug_trace("language plug-in not loaded: %s", dlerror());
    return;
  }
  auto get = reinterpret_cast<GetInterfaceFn>(dlsym(module_, "GetInterface"));
  lang_ = get ? get() : nullptr;
  if (!lang_) {
    debug_trace("language plug-in %s has no interface", plugin.c_str());
    return;
  }
  lang_->LoadLangFile(file_name);
}

Language::~Language() {
  if (module_) dlclose(module_);
}

QString Language::text(int index) const {
  if (!lang_) return {};
  const char16_t* s = lang_->GetLangString(index);
  return s ? QString::fromUtf16(s) : QString();
}

QString Language::text_or(int index, const char* fallback) const {
  const QString s = text(index);
  return s.isEmpty() ? QString::fromUtf8(fallback) : s;
}

}  // namespace orb
