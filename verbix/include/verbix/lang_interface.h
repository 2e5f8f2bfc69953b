#pragma once
// The language plug-in's interface: load a language file, then fetch its
// strings by number. Strings are UTF-16 and stay valid until the next load.

#ifdef __cplusplus
extern "C" {
#endif

struct LangInterface {
  // Loads the user's language from `file_name` (a bare name is looked up
  // beside the running executable). Always returns 1.
  int (*LoadLangFile)(const char16_t* file_name);
  // String `index` of the loaded language; "" when out of range.
  const char16_t* (*GetLangString)(int index);
};

typedef struct LangInterface* (*GetInterfaceFn)(void);

__attribute__((visibility("default"))) struct LangInterface* GetInterface(void);

#ifdef __cplusplus
}
#endif
