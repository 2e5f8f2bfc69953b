#pragma once
// The language plug-in (libverbix.so beside the executable) and the strings
// it gives for the user's language.
#include <QString>

struct LangInterface;

namespace orb {

class Language {
 public:
  // Loads the plug-in and `file_name` (a language file beside the
  // executable). Without either, text() gives "" and the skin keeps its own;
  // loaded() tells which.
  explicit Language(const char16_t* file_name);
  ~Language();
  Language(const Language&) = delete;
  Language& operator=(const Language&) = delete;

  bool loaded() const { return lang_ != nullptr; }
  QString text(int index) const;
  // String `index`, or `fallback` when the language has none.
  QString text_or(int index, const char* fallback) const;

 private:
  void* module_ = nullptr;
  LangInterface* lang_ = nullptr;
};

}  // namespace orb
