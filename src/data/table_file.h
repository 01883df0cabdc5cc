// A text table read one row at a time: the file's line index, a read window
// so rows read in file order cost no seek each, the cells of the current
// row, the header mapped to a field table, and the import of a row's cells
// into a record. Every family's streaming items use it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/field_info.h"
#include "data/text_file.h"
#include "runtime/file_stream.h"
#include "runtime/types.h"

namespace vk {

class TVKTableFileReader {
 public:
  // Indexes the file's lines (the caller holds whatever lock guards the
  // stream), reads the header and maps its columns to Fields. A file
  // without lines has no header and no rows.
  void Open(TVKFileStream* Stream, uint32_t CodePage, std::span<const TVKSDKRAMFieldInfo> Fields);

  // Data rows (lines after the header).
  int32_t RowCount() const { return FLines.empty() ? 0 : static_cast<int32_t>(FLines.size()) - 1; }
  size_t HeaderCells() const { return FHeaderCells; }
  // For each header column, its field's index or -1.
  const TVKIntegers& ColumnFields() const { return FColumnFields; }
  // The last column mapped to field f, or -1 (the first with First).
  int32_t ColumnOf(int32_t Field, bool First = false) const;

  // Reads data row r (0-based) into Cells(); false when its cell count
  // differs from the header's.
  bool ReadRow(int32_t Row);
  std::vector<std::u16string_view>& Cells() { return FCells; }

  // Looks at data row r's bytes without decoding them. True when the bytes
  // alone show that the decoded row has the header's cell count and that
  // column Column decodes to exactly its bytes, all below 0x80 (at most
  // Max of them); Cell then holds that column widened to UTF-16. False
  // whenever only the decoded row can tell (a code page that is not known
  // to keep TAB and ASCII bytes apart from its multi-byte characters, a
  // byte sequence it would not read as whole characters, a wrong cell
  // count, a non-ASCII or long cell): ReadRow then decides.
  bool PeekAsciiCell(int32_t Row, size_t Column, char16_t* Cell, size_t Max, size_t& Len);

  // Applies every mapped cell, left to right, to Record. False when a cell
  // cannot be encoded; FailedColumn is then its column.
  bool ImportCells(uint8_t* Record, const TVKCodecContext& Ctx, size_t& FailedColumn) const;

 private:
  void ReadLine(size_t n);
  // Line n's bytes through the read window; empty when it cannot be read.
  std::span<const uint8_t> LineBytes(size_t n);
  void SplitLine();

  TVKFileStream* FStream = nullptr;
  uint32_t FCodePage = 0;
  std::span<const TVKSDKRAMFieldInfo> FFields;
  TVKSDKLinesInfo FLines;
  size_t FHeaderCells = 0;
  TVKIntegers FColumnFields;
  std::u16string FLine;
  std::vector<std::u16string_view> FCells;
  TVKBytes FWindow;
  int64_t FWindowStart = 0;
  // How PeekAsciiCell may read the file's bytes (set by Open).
  enum class RawScan : uint8_t { None, Utf8, DoubleByte, ShiftJis };
  RawScan FRawScan = RawScan::None;
};

}  // namespace vk
