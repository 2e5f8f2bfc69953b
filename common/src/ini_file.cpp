#include <common/ini_file.h>

#include <common/text.h>

#include <climits>
#include <fstream>
#include <iterator>

namespace orb {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::string_view trim(std::string_view s) {
  constexpr std::string_view ws = " \t\r\n\v\f";
  std::size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

std::string decode_text(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  const bool le = starts("\xFF\xFE");
  const bool be = starts("\xFE\xFF");
  if (!le && !be) return std::string(bytes);
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {  // a trailing odd byte is dropped
    auto lo = static_cast<unsigned char>(bytes[le ? i : i + 1]);
    auto hi = static_cast<unsigned char>(bytes[le ? i + 1 : i]);
    units += static_cast<char16_t>(lo | (hi << 8));
  }
  return utf16_to_utf8(units);
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return ascii_lower(a) == ascii_lower(b);
}

}  // namespace

int parse_leading_int(std::string_view text) {
  text = trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

IniFile IniFile::parse(std::string_view bytes) {
  const std::string text = decode_text(bytes);
  IniFile ini;
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string_view line = trim(std::string_view(text).substr(pos, eol - pos));
    pos = eol + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::size_t close = line.find(']');
      std::string_view name = trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      ini.sections_.push_back({ascii_lower(name), {}});
      current = &ini.sections_.back();
      continue;
    }
    if (current) current->lines.emplace_back(line);
  }
  return ini;
}

std::optional<IniFile> IniFile::load(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return parse(bytes);
}

const IniFile::Section* IniFile::find(std::string_view section) const {
  const std::string wanted = ascii_lower(trim(section));
  for (const Section& s : sections_) {
    if (s.name_lower == wanted) return &s;
  }
  return nullptr;
}

bool IniFile::has_section(std::string_view section) const { return find(section) != nullptr; }

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  const Section* s = find(section);
  if (!s) return std::nullopt;
  key = trim(key);
  for (const std::string& line : s->lines) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (same_name(trim(std::string_view(line).substr(0, eq)), key)) {
      return std::string(trim(std::string_view(line).substr(eq + 1)));
    }
  }
  return std::nullopt;
}

std::string IniFile::get_string(std::string_view section, std::string_view key, std::string_view fallback) const {
  std::optional<std::string> v = value(section, key);
  if (!v) return std::string(fallback);
  if (v->size() >= 2 && (v->front() == '"' || v->front() == '\'') && v->back() == v->front()) {
    return v->substr(1, v->size() - 2);
  }
  return *v;
}

int IniFile::get_int(std::string_view section, std::string_view key, int fallback) const {
  std::optional<std::string> v = value(section, key);
  return v ? parse_leading_int(*v) : fallback;
}

std::vector<std::string> IniFile::section_values(std::string_view section) const {
  std::vector<std::string> values;
  const Section* s = find(section);
  if (!s) return values;
  values.reserve(s->lines.size());
  for (const std::string& line : s->lines) {
    std::size_t eq = line.find('=');
    values.emplace_back(eq == std::string::npos ? line : std::string(trim(std::string_view(line).substr(eq + 1))));
  }
  return values;
}

}  // namespace orb
