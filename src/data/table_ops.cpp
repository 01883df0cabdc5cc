#include "data/table_ops.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "data/numbers.h"
#include "data/text_file.h"

namespace vk::TVKSDKUtils {

namespace {

bool PlaceFits(int32_t off, int32_t size, int32_t len) {
  return off >= 0 && size >= 0 && static_cast<int64_t>(off) + size <= len;
}

// Calls the field's import for one cell, only when its places lie inside the
// record.
bool ImportField(const TVKSDKRAMFieldInfo& f, std::u16string_view cell, const TVKCodecContext& ctx, uint8_t* rec,
                 int32_t len) {
  if (f.ImportFun1) {
    if (!PlaceFits(f.Offset, f.Size, len) || !PlaceFits(f.Offset1, f.Size1, len)) return true;
    return f.ImportFun1(ctx, cell, rec + f.Offset, f.Size, rec + f.Offset1, f.Size1);
  }
  if (f.ImportFun) {
    if (!PlaceFits(f.Offset, f.Size, len)) return true;
    return f.ImportFun(ctx, cell, rec + f.Offset, f.Size);
  }
  return true;
}

}  // namespace

TVKStringsDynArray FullStringDataItems(const TVKStringsDynArray& StringDataItems, std::u16string_view OrderField,
                                       int32_t Start, int32_t Count) {
  TVKStringsDynArray out;
  if (StringDataItems.empty()) return out;
  if (Count < 0) Count = 0;
  const TVKStrings& header = StringDataItems[0];
  out.reserve(static_cast<size_t>(Count) + 1);
  out.push_back(header);
  out.resize(static_cast<size_t>(Count) + 1, TVKStrings(header.size()));
  int32_t col = OrderField.empty() ? -1 : GetFieldIndex(header, OrderField);
  if (col >= 0) {
    // Backwards, so the first of duplicated IDs is placed last and wins.
    for (size_t r = StringDataItems.size(); r-- > 1;) {
      const TVKStrings& row = StringDataItems[r];
      int64_t id = static_cast<size_t>(col) < row.size() ? StrToInt64Def(row[col], -1) : -1;
      int64_t p = id - Start + 1;
      if (p >= 1 && p <= Count) out[static_cast<size_t>(p)] = row;
    }
  } else {
    size_t n = std::min(static_cast<size_t>(Count), StringDataItems.size() - 1);
    for (size_t r = 1; r <= n; ++r) out[r] = StringDataItems[r];
  }
  return out;
}

bool EncodeNilFields(const TVKSDKRAMFieldInfo* FieldDefine, int32_t FieldCount, const TVKCodecContext& Ctx,
                     uint8_t* Record, int32_t RecordLen) {
  for (int32_t f = 0; f < FieldCount; ++f) {
    const auto& fd = FieldDefine[f];
    if (IsNilField(fd) && fd.ImportFun && PlaceFits(fd.Offset, fd.Size, RecordLen))
      if (!fd.ImportFun(Ctx, std::u16string_view(), Record + fd.Offset, fd.Size)) return false;
  }
  return true;
}

bool EncodeRow(const TVKStrings& Row, const TVKIntegers& FieldIndexs, const TVKSDKRAMFieldInfo* FieldDefine,
               int32_t FieldCount, const TVKCodecContext& Ctx, uint8_t* Record, int32_t RecordLen) {
  if (RecordLen <= 0) RecordLen = RecordLength(FieldDefine, FieldCount);
  for (size_t j = 0; j < FieldIndexs.size(); ++j) {
    int32_t f = FieldIndexs[j];
    if (f < 0 || f >= FieldCount) continue;
    std::u16string_view cell = j < Row.size() ? std::u16string_view(Row[j]) : std::u16string_view();
    if (!ImportField(FieldDefine[f], cell, Ctx, Record, RecordLen)) return false;
  }
  return true;
}

TVKBytesDynArray GenerateDataDynArray(const TVKStringsDynArray& StringDataItems,
                                      const TVKSDKRAMFieldInfo* FieldDefine, int32_t FieldCount,
                                      const TVKCodecContext& Ctx, int32_t& FailedRow) {
  FailedRow = 0;
  TVKBytesDynArray out;
  if (StringDataItems.size() < 2) return out;
  const int32_t len = RecordLength(FieldDefine, FieldCount);
  const TVKIntegers map = GetFieldLineIndexs(StringDataItems[0], FieldDefine, FieldCount);
  out.reserve(StringDataItems.size() - 1);
  for (size_t i = 1; i < StringDataItems.size(); ++i) {
    TVKBytes rec(static_cast<size_t>(len), 0);
    if (!EncodeNilFields(FieldDefine, FieldCount, Ctx, rec.data(), len) ||
        !EncodeRow(StringDataItems[i], map, FieldDefine, FieldCount, Ctx, rec.data(), len)) {
      FailedRow = static_cast<int32_t>(i);
      return {};
    }
    out.push_back(std::move(rec));
  }
  return out;
}

TVKBytesDynArray TrimPackage(const TVKBytesDynArray& ImportDatas, int32_t PackageLen, int32_t SingleDataLen,
                             int32_t MaxCount, bool ClearTail) {
  if (SingleDataLen <= 0 || PackageLen < SingleDataLen)
    throw std::invalid_argument("record length does not fit the package length");
  size_t n = ImportDatas.size();
  if (MaxCount > 0 && n > static_cast<size_t>(MaxCount)) n = static_cast<size_t>(MaxCount);
  const size_t per = static_cast<size_t>(PackageLen / SingleDataLen);
  const size_t single = static_cast<size_t>(SingleDataLen);
  TVKBytesDynArray out;
  out.reserve((n + per - 1) / per);
  for (size_t first = 0; first < n; first += per) {
    size_t count = std::min(per, n - first);
    size_t bytes = (ClearTail || count == per) ? static_cast<size_t>(PackageLen) : single * count;
    TVKBytes pkg(bytes, 0);
    for (size_t k = 0; k < count; ++k) {
      const TVKBytes& rec = ImportDatas[first + k];
      std::memcpy(pkg.data() + k * single, rec.data(), std::min(rec.size(), single));
    }
    out.push_back(std::move(pkg));
  }
  return out;
}

int32_t CalcPackageCount(int32_t Count, int32_t Interval) {
  if (Count <= 0 || Interval <= 0) return 0;
  return Count / Interval + (Count % Interval ? 1 : 0);
}

std::u16string RecordToText(const uint8_t* Data, size_t DataSize, const TVKSDKRAMFieldInfo* FieldDefine,
                            int32_t FieldCount, const TVKCodecContext& Ctx, int32_t BaseOffset) {
  // Bytes of a place that are present in the data; -1 when the place starts
  // beyond the end (or lies before the data).
  auto present = [&](int32_t off, int32_t size) -> int64_t {
    int64_t start = static_cast<int64_t>(BaseOffset) + off;
    if (start < 0 || size < 0 || start > static_cast<int64_t>(DataSize)) return -1;
    int64_t avail = static_cast<int64_t>(DataSize) - start;
    if (avail == 0 && size > 0) return -1;
    return std::min<int64_t>(size, avail);
  };
  std::u16string line;
  line.reserve(DataSize + static_cast<size_t>(std::max(FieldCount, 0)));
  bool first = true;
  std::u16string cell;
  for (int32_t i = 0; i < FieldCount; ++i) {
    const auto& f = FieldDefine[i];
    if (IsNilField(f)) continue;
    if (!first) line.push_back(u'\t');
    first = false;
    cell.clear();
    int64_t s = present(f.Offset, f.Size);
    if (f.ExportFun1) {
      int64_t s1 = present(f.Offset1, f.Size1);
      if (s >= 0) {
        const uint8_t* p1 = s1 >= 0 ? Data + BaseOffset + f.Offset1 : Data;
        cell = f.ExportFun1(Ctx, Data + BaseOffset + f.Offset, static_cast<int32_t>(s), p1,
                            static_cast<int32_t>(std::max<int64_t>(s1, 0)));
      }
    } else if (f.ExportFun) {
      if (s >= 0) cell = f.ExportFun(Ctx, Data + BaseOffset + f.Offset, static_cast<int32_t>(s));
    }
    AppendCell(line, cell);
  }
  return line;
}

void AppendCell(std::u16string& Line, std::u16string_view Cell) {
  // CR and LF (say, in a name read from a scale) are written as the cell
  // escapes the readers undo; TAB is left out.
  const auto special = [](char16_t c) { return c == u'\t' || c == u'\r' || c == u'\n'; };
  if (std::none_of(Cell.begin(), Cell.end(), special)) {
    Line.append(Cell);
    return;
  }
  for (char16_t c : Cell) {
    if (c == u'\t') continue;
    if (c == u'\r')
      Line += u"{$0D}";
    else if (c == u'\n')
      Line += u"{$0A}";
    else
      Line.push_back(c);
  }
}

}  // namespace vk::TVKSDKUtils
