// A task's debug or log lines: text lines and hexadecimal dumps of datagrams,
// saved as one file when the task ends.
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
  TVKDebugList();
  ~TVKDebugList();
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

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// The hexadecimal dump lines of a block (column header first), each as
// (text part, printable bytes or empty for the header line).
struct TVKDumpLine {
  std::string text;
  TVKBytes printable;
};
std::vector<TVKDumpLine> HexDumpLines(const uint8_t* data, size_t size);

}  // namespace vk
