#include "data/table_file.h"

#include <algorithm>

#include "runtime/codepage.h"

namespace vk {

void TVKTableFileReader::Open(TVKFileStream* Stream, uint32_t CodePage, std::span<const TVKSDKRAMFieldInfo> Fields) {
  FStream = Stream;
  FCodePage = CodePage;
  FFields = Fields;
  FLines.clear();
  FWindow.clear();
  FWindowStart = 0;
  FHeaderCells = 0;
  FColumnFields.clear();
  if (!FStream) return;
  FLines = GetFileLinesInfo(*FStream, CodePage);
  if (FLines.empty()) return;
  ReadLine(0);
  TVKStrings header = SplitString(FLine, u'\t');
  FHeaderCells = header.size();
  FColumnFields = GetFieldLineIndexs(header, FFields.data(), static_cast<int32_t>(FFields.size()));
}

int32_t TVKTableFileReader::ColumnOf(int32_t Field, bool First) const {
  if (First) {
    for (size_t c = 0; c < FColumnFields.size(); ++c)
      if (FColumnFields[c] == Field) return static_cast<int32_t>(c);
    return -1;
  }
  for (size_t c = FColumnFields.size(); c-- > 0;)
    if (FColumnFields[c] == Field) return static_cast<int32_t>(c);
  return -1;
}

bool TVKTableFileReader::ReadRow(int32_t Row) {
  ReadLine(static_cast<size_t>(Row) + 1);
  SplitLine();
  return FCells.size() == FHeaderCells;
}

void TVKTableFileReader::ReadLine(size_t n) {
  constexpr size_t kWindow = 64 * 1024;
  FLine.clear();
  if (n >= FLines.size() || !FStream) return;
  const TVKSDKLineInfo& li = FLines[n];
  if (li.Count <= 0 || li.Offset < 0) return;
  const int64_t begin = li.Offset, end = begin + li.Count;
  if (begin < FWindowStart || end > FWindowStart + static_cast<int64_t>(FWindow.size())) {
    FWindow.resize(std::max<size_t>(kWindow, static_cast<size_t>(li.Count)));
    FWindowStart = begin;
    size_t got = FStream->Seek(begin) ? FStream->Read(FWindow.data(), FWindow.size()) : 0;
    FWindow.resize(got);
    if (end > FWindowStart + static_cast<int64_t>(got)) return;
  }
  AppendCodePageString(FWindow.data() + (begin - FWindowStart), static_cast<size_t>(li.Count), FCodePage, FLine);
  if (FLine.find_first_of(u"\r\n") != std::u16string::npos)
    FLine.erase(std::remove_if(FLine.begin(), FLine.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }),
                FLine.end());
}

void TVKTableFileReader::SplitLine() {
  FCells.clear();
  std::u16string_view s(FLine);
  if (s.empty()) return;
  size_t start = 0;
  for (;;) {
    size_t tab = s.find(u'\t', start);
    if (tab == std::u16string_view::npos) {
      FCells.push_back(s.substr(start));
      return;
    }
    FCells.push_back(s.substr(start, tab - start));
    start = tab + 1;
  }
}

bool TVKTableFileReader::ImportCells(uint8_t* Record, const TVKCodecContext& Ctx, size_t& FailedColumn) const {
  for (size_t c = 0; c < FCells.size() && c < FColumnFields.size(); ++c) {
    const int32_t fi = FColumnFields[c];
    if (fi < 0) continue;
    const TVKSDKRAMFieldInfo& f = FFields[static_cast<size_t>(fi)];
    bool ok = true;
    if (f.ImportFun1)
      ok = f.ImportFun1(Ctx, FCells[c], Record + f.Offset, f.Size, Record + f.Offset1, f.Size1);
    else if (f.ImportFun)
      ok = f.ImportFun(Ctx, FCells[c], Record + f.Offset, f.Size);
    if (!ok) {
      FailedColumn = c;
      return false;
    }
  }
  return true;
}

}  // namespace vk
