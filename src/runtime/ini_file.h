// A small reader for Windows-style INI files and a writer for one integer
// key, used for the SDK's own INI file and the purge state in "last.ini".
//
// Rules: "[Section]" lines open a section, "Key=Value" lines inside a section
// give values, lines starting with ';' are comments. Section and key names
// compare case-insensitively and the first occurrence of a section or key
// wins. A ';' after a value is part of the value. Blanks around names and
// values are trimmed, and one pair of matching quotes around a value is
// removed. The file is UTF-8 (a byte-order mark is skipped) or UTF-16 in
// either byte order with its byte-order mark, as Windows editors save it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

class TVKIniFile {
 public:
  TVKIniFile() = default;
  // Reads the file; a missing or unreadable file behaves as an empty one.
  explicit TVKIniFile(const std::filesystem::path& file);
  // Parses the bytes of an INI file held in memory (UTF-8, or UTF-16 with
  // its byte-order mark).
  static TVKIniFile FromText(std::string_view text);

  // The raw value of a key, or nothing when the section or key is absent.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

  std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                            std::u16string_view def) const;
  // Decimal integer; a missing key or a value that is not a number (or is
  // out of the 32-bit range) gives def.
  int32_t ReadInteger(std::u16string_view section, std::u16string_view key, int32_t def) const;
  // "0" is false, any other integer true; anything else gives def.
  bool ReadBool(std::u16string_view section, std::u16string_view key, bool def) const;

 private:
  struct Section {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> values;
  };
  std::vector<Section> sections_;
};

// Parses a whole decimal 32-bit integer with an optional sign; nothing when
// the text is not one.
std::optional<int32_t> ParseDecimalInt32(std::u16string_view text);

// Sets Section/Key to an integer in an INI file, keeping every other line of
// the file and its encoding. Creates the file when it is missing. Returns false on a file
// error.
bool WriteIniInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                     int32_t value);

}  // namespace vk
