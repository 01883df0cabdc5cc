#include "runtime/ini_file.h"

#include <fstream>
#include <iterator>
#include <limits>

#include "runtime/types.h"

namespace vk {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimBytes(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

bool SameNameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string ReadWholeFile(const std::filesystem::path& file, bool& ok) {
  std::ifstream in(file, std::ios::binary);
  ok = static_cast<bool>(in);
  if (!ok) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// How an INI file's text is stored. Windows editors save UTF-16 with a
// byte-order mark ("Unicode"), so both UTF-16 orders are recognised by their
// mark; anything else is UTF-8, with or without its mark.
enum class IniEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be };

IniEncoding DetectEncoding(std::string_view bytes) {
  auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return IniEncoding::Utf8Bom;
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) return IniEncoding::Utf16Le;
  if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) return IniEncoding::Utf16Be;
  return IniEncoding::Utf8;
}

// The file's text after its byte-order mark, as UTF-8. A stray last byte of
// a UTF-16 file is dropped.
std::string TextAsUtf8(std::string_view bytes, IniEncoding enc) {
  switch (enc) {
    case IniEncoding::Utf8:
      return std::string(bytes);
    case IniEncoding::Utf8Bom:
      return std::string(bytes.substr(3));
    case IniEncoding::Utf16Le:
    case IniEncoding::Utf16Be: {
      const bool le = enc == IniEncoding::Utf16Le;
      std::u16string wide;
      wide.reserve(bytes.size() / 2);
      for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<uint8_t>(bytes[le ? i : i + 1]);
        const auto hi = static_cast<uint8_t>(bytes[le ? i + 1 : i]);
        wide.push_back(static_cast<char16_t>(lo | (hi << 8)));
      }
      return Utf16ToUtf8(wide);
    }
  }
  return {};
}

// UTF-8 text stored back in the file's own encoding, mark included.
std::string TextInEncoding(std::string_view text, IniEncoding enc) {
  switch (enc) {
    case IniEncoding::Utf8:
      return std::string(text);
    case IniEncoding::Utf8Bom:
      return "\xEF\xBB\xBF" + std::string(text);
    case IniEncoding::Utf16Le:
    case IniEncoding::Utf16Be: {
      const bool le = enc == IniEncoding::Utf16Le;
      std::string out;
      auto put = [&](char16_t c) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out.push_back(le ? lo : hi);
        out.push_back(le ? hi : lo);
      };
      put(0xFEFF);
      for (char16_t c : Utf8ToUtf16(text)) put(c);
      return out;
    }
  }
  return {};
}

// Splits text into lines without their CR/LF endings.
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    fn(line);
    pos = end + 1;
  }
}

}  // namespace

std::optional<int32_t> ParseDecimalInt32(std::u16string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  bool negative = false;
  size_t i = 0;
  if (text[0] == u'+' || text[0] == u'-') {
    negative = text[0] == u'-';
    i = 1;
  }
  if (i == text.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
    if (v > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(v);
}

TVKIniFile::TVKIniFile(const std::filesystem::path& file) {
  bool ok = false;
  std::string text = ReadWholeFile(file, ok);
  if (ok) *this = FromText(text);
}

TVKIniFile TVKIniFile::FromText(std::string_view text) {
  TVKIniFile ini;
  Section* current = nullptr;  // null before the first section and in repeated sections
  const std::string utf8 = TextAsUtf8(text, DetectEncoding(text));
  ForEachLine(utf8, [&](std::string_view raw) {
    std::u16string wide = Utf8ToUtf16(raw);
    std::u16string_view line = Trim(wide);
    if (line.empty() || line[0] == u';') return;
    if (line[0] == u'[') {
      size_t close = line.find(u']');
      std::u16string_view name = Trim(line.substr(1, close == std::u16string_view::npos ? line.npos : close - 1));
      current = nullptr;
      for (auto& s : ini.sections_)
        if (SameName(s.name, name)) return;  // a repeated section is ignored: the first one wins
      ini.sections_.push_back(Section{std::u16string(name), {}});
      current = &ini.sections_.back();
      return;
    }
    if (current == nullptr) return;
    size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos) return;
    std::u16string_view key = Trim(line.substr(0, eq));
    std::u16string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    for (auto& kv : current->values)
      if (SameName(kv.first, key)) return;
    current->values.emplace_back(std::u16string(key), std::u16string(value));
  });
  return ini;
}

std::optional<std::u16string> TVKIniFile::Find(std::u16string_view section, std::u16string_view key) const {
  for (auto& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (auto& kv : s.values)
      if (SameName(kv.first, key)) return kv.second;
    return std::nullopt;
  }
  return std::nullopt;
}

std::u16string TVKIniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view def) const {
  auto v = Find(section, key);
  return v ? *v : std::u16string(def);
}

int32_t TVKIniFile::ReadInteger(std::u16string_view section, std::u16string_view key, int32_t def) const {
  auto v = Find(section, key);
  if (!v) return def;
  return ParseDecimalInt32(*v).value_or(def);
}

bool TVKIniFile::ReadBool(std::u16string_view section, std::u16string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool WriteIniInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                     int32_t value) {
  bool exists = false;
  const std::string bytes = ReadWholeFile(file, exists);
  const IniEncoding enc = DetectEncoding(bytes);
  const std::string text = TextAsUtf8(bytes, enc);
  std::string_view body = text;
  const std::string eol = body.find("\r\n") != std::string_view::npos || body.find('\n') == std::string_view::npos
                              ? "\r\n"
                              : "\n";
  std::vector<std::string_view> lines;
  ForEachLine(body, [&](std::string_view l) { lines.push_back(l); });

  const std::string keyLine = std::string(key) + "=" + std::to_string(value);
  // Locate the first section of that name, the first key in it and the last
  // non-blank line of the section (where a new key goes).
  size_t sectionAt = lines.size(), keyAt = lines.size(), lastInSection = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view t = TrimBytes(lines[i]);
    if (!t.empty() && t[0] == '[') {
      if (sectionAt != lines.size()) break;
      size_t close = t.find(']');
      std::string_view name = TrimBytes(t.substr(1, close == std::string_view::npos ? t.npos : close - 1));
      if (SameNameBytes(name, section)) sectionAt = lastInSection = i;
      continue;
    }
    if (sectionAt == lines.size() || t.empty()) continue;
    lastInSection = i;
    if (t[0] == ';') continue;
    size_t eq = t.find('=');
    if (eq != std::string_view::npos && SameNameBytes(TrimBytes(t.substr(0, eq)), key)) {
      keyAt = i;
      break;
    }
  }

  std::string out;
  auto emit = [&](std::string_view l) {
    out.append(l);
    out.append(eol);
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == keyAt) {
      emit(keyLine);
      continue;
    }
    emit(lines[i]);
    if (keyAt == lines.size() && i == lastInSection) emit(keyLine);
  }
  if (sectionAt == lines.size()) {
    emit("[" + std::string(section) + "]");
    emit(keyLine);
  }

  out = TextInEncoding(out, enc);
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(out.data(), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(f);
}

}  // namespace vk
