// A text table read one row at a time: the file's line index, views of the
// file mapped into memory so rows cost no read each in any order (a read
// window where the file cannot be mapped), the cells of the current row, the
// header mapped to a field table, and the import of a row's cells into a
// record. Every family's streaming items use it.
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
  // The reader maps the file in views of ViewBytes, each reaching Overlap
  // bytes into the next so that a line starting near its end still fits
  // (a longer one goes through the read window), at most MaxViews at once
  // (the least recently used is dropped). MaxViews 0 reads through the
  // window only. A 32-bit process keeps less of its address space mapped.
  struct ViewLimits {
    size_t ViewBytes;
    size_t Overlap;
    size_t MaxViews;
  };
  static constexpr ViewLimits kDefaultViews =
      sizeof(void*) < 8 ? ViewLimits{16u << 20, 1u << 20, 4} : ViewLimits{32u << 20, 1u << 20, 8};
  // Takes effect at the next Open.
  void SetViewLimits(const ViewLimits& Limits) { FViewLimits = Limits; }

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
  struct MappedView {
    TVKFileView View;
    uint64_t LastUse = 0;
  };

  void ReadLine(size_t n);
  std::span<const uint8_t> LineBytes(size_t n, MappedView*& View);
  bool DropIfDamaged(MappedView* View);
  const uint8_t* MappedLine(int64_t Begin, int64_t End, MappedView*& View);
  const uint8_t* WindowLine(int64_t Begin, int64_t End);
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
  ViewLimits FViewLimits = kDefaultViews;
  std::vector<MappedView> FViews;
  uint64_t FUseClock = 0;
  bool FMapFailed = false;
};

}  // namespace vk
