// A task's debug or log lines: text lines and hexadecimal dumps of datagrams,
// saved as one file when the task ends.
//
// Text lines are kept in their saved form (the ANSI code page, each ended by
// " \r\n"); a dump keeps the datagram's bytes as they are and is laid out
// as dump lines only when the list is saved, so that tracing a transfer
// costs a copy of each datagram and not its formatting. Once the list holds
// more than the spill threshold it moves its content to a temporary file (in
// the debug directory, else the system temporary directory), so a long
// task's trace does not grow the process; Save assembles the same file
// either way. One thread writes a list at a time.
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
  static constexpr size_t kDefaultSpillThreshold = size_t{1} << 20;

  // spillThreshold: bytes held in memory (text in saved form, dumps as
  // their raw bytes) before the content moves to a temporary file (SIZE_MAX
  // never spills).
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
