// A task's debug or log lines: text lines and hexadecimal dumps of datagrams,
// saved as one file when the task ends.
//
// The list keeps its content in saved form: text lines in the ANSI code
// page, dumps already laid out as dump lines, every line ended by " \r\n".
// Once the list holds more than the spill threshold (64 KiB by default) it
// appends those bytes to a temporary file (in the debug directory, else the
// system temporary directory) and starts again, so a long task's trace
// costs little memory and the file is the start of the saved file itself:
// saving a spilled list at the task's end completes that file and renames
// it into place. One thread writes a list at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace vk {

class TVKDebugList {
 public:
  static constexpr size_t kDefaultSpillThreshold = size_t{64} << 10;

  // spillThreshold: saved bytes held in memory before they move to the
  // temporary file (SIZE_MAX never spills).
  explicit TVKDebugList(size_t spillThreshold = kDefaultSpillThreshold);
  ~TVKDebugList();  // removes the temporary file, if any
  TVKDebugList(const TVKDebugList&) = delete;
  TVKDebugList& operator=(const TVKDebugList&) = delete;

  // WriteDebug(S): one text line.
  void Add(std::u16string_view line);
  void Add(std::string_view asciiLine);
  // WriteDebug(Data): the hexadecimal dump of a byte block.
  void AddDump(const uint8_t* data, size_t size);
  void AddDump(const TVKBytes& data) { AddDump(data.data(), data.size()); }
  // Appends every line of another list (detection lines into a task's list).
  void Append(const TVKDebugList& other);

  bool Empty() const;
  // True when the list has no lines or its last line is empty text.
  bool LastLineEmpty() const;
  size_t LineCount() const;

  // SaveDebugList: writes the list to a new file (replacing one). Text lines
  // are written in the ANSI code page, dump lines with their printable column
  // as raw bytes; every line ends with " \r\n".
  bool Save(const std::filesystem::path& file) const;
  // Save for a list that is done: a spilled list's temporary file is
  // completed and renamed to file (copied when it cannot be renamed, e.g.
  // to another volume), so the long part is never read back. The list is
  // empty afterwards, whatever the outcome.
  bool SaveAndClear(const std::filesystem::path& file);
  // The bytes Save would write.
  TVKBytes SavedBytes() const;

  // Whether the content has moved to a temporary file, and that file.
  bool Spilled() const;
  std::filesystem::path SpillFile() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// The hexadecimal dump lines of a block (column header first). text is the
// part written as text: the whole header line, or a data line up to and
// including the space before its "@@@" marker (56 characters + 1).
// printable is the printable column written as raw bytes (empty for the
// header line).
struct TVKDumpLine {
  std::string text;
  TVKBytes printable;
};
std::vector<TVKDumpLine> HexDumpLines(const uint8_t* data, size_t size);

// The name prefix and extension of the temporary files of spilled lists.
inline constexpr std::string_view kDebugSpillPrefix = "vemkasdk_spill_";
inline constexpr std::string_view kDebugSpillExtension = ".tmp";

}  // namespace vk
