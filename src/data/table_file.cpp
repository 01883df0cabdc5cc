#include "data/table_file.h"

#include <algorithm>
#include <cstring>

#include "runtime/codepage.h"

namespace vk {

void TVKTableFileReader::Open(TVKFileStream* Stream, uint32_t CodePage, std::span<const TVKSDKRAMFieldInfo> Fields) {
  FStream = Stream;
  FCodePage = CodePage;
  FFields = Fields;
  FLines.clear();
  FWindow.clear();
  FWindowStart = 0;
  FViews.clear();
  FUseClock = 0;
  FMapFailed = false;
  FHeaderCells = 0;
  FColumnFields.clear();
  switch (ResolveCodePage(CodePage)) {
    case 65001: FRawScan = RawScan::Utf8; break;
    case 936: case 949: case 950: FRawScan = RawScan::DoubleByte; break;
    case 932: FRawScan = RawScan::ShiftJis; break;
    default: FRawScan = RawScan::None; break;
  }
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
  FLine.clear();
  MappedView* view = nullptr;
  const std::span<const uint8_t> text = LineBytes(n, view);
  // A file shorter than its index (changed since) gives an empty line.
  if (text.empty()) return;
  AppendCodePageString(text.data(), text.size(), FCodePage, FLine);
  if (DropIfDamaged(view)) {
    FLine.clear();
    return;
  }
  if (FLine.find_first_of(u"\r\n") != std::u16string::npos)
    FLine.erase(std::remove_if(FLine.begin(), FLine.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }),
                FLine.end());
}

std::span<const uint8_t> TVKTableFileReader::LineBytes(size_t n, MappedView*& View) {
  View = nullptr;
  if (n >= FLines.size() || !FStream) return {};
  const TVKSDKLineInfo& li = FLines[n];
  if (li.Count <= 0 || li.Offset < 0) return {};
  const int64_t begin = li.Offset, end = begin + li.Count;
  const uint8_t* text = nullptr;
  if (begin >= FWindowStart && end <= FWindowStart + static_cast<int64_t>(FWindow.size()))
    text = FWindow.data() + (begin - FWindowStart);
  if (!text) text = MappedLine(begin, end, View);
  if (!text) text = WindowLine(begin, end);
  if (!text) return {};
  return {text, static_cast<size_t>(li.Count)};
}

// A file cut short under its view reads as zeros past its new end: what was
// read from that view is unreadable, as a short read makes it, and the view
// is dropped (the next line there maps what is left of the file, or is
// read). True when View was so damaged.
bool TVKTableFileReader::DropIfDamaged(MappedView* View) {
  if (!View || !View->View.Damaged()) return false;
  FViews.erase(FViews.begin() + (View - FViews.data()));
  return true;
}

// UTF-8 never uses a byte below 0x80 inside a multi-byte character, so TABs
// and ASCII cells can be read straight from the bytes. In the double-byte
// code pages a byte below 0x40 can only be taken as a trail byte after a
// lead byte, so a line where every lead byte is followed by a byte from 0x40
// up has the same TABs and ASCII cells as its decoded text; any other byte
// from 0x80 up (a lone lead, a byte that is no lead) leaves it to decoding.
bool TVKTableFileReader::PeekAsciiCell(int32_t Row, size_t Column, char16_t* Cell, size_t Max, size_t& Len) {
  if (FRawScan == RawScan::None || Row < 0) return false;
  MappedView* view = nullptr;
  const std::span<const uint8_t> line = LineBytes(static_cast<size_t>(Row) + 1, view);
  if (line.empty()) return false;
  const uint8_t* p = line.data();
  const size_t n = line.size();
  size_t tabs = 0, cellBegin = 0, cellEnd = n;
  auto tab = [&](size_t i) {
    if (tabs == Column) cellEnd = i;
    ++tabs;
    if (tabs == Column) cellBegin = i + 1;
  };
  if (FRawScan == RawScan::Utf8) {
    for (const uint8_t* t = p; (t = static_cast<const uint8_t*>(std::memchr(t, '\t', n - (t - p)))) != nullptr; ++t)
      tab(static_cast<size_t>(t - p));
  } else {
    const bool sjis = FRawScan == RawScan::ShiftJis;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t b = p[i];
      if (b < 0x80) {
        if (b == '\t') tab(i);
        continue;
      }
      if (sjis && b >= 0xA1 && b <= 0xDF) continue;  // one-byte katakana
      const bool lead = sjis ? (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) : b >= 0x81 && b <= 0xFE;
      if (!lead || i + 1 >= n || p[i + 1] < 0x40) return false;
      ++i;
    }
  }
  if (tabs + 1 != FHeaderCells || Column >= FHeaderCells) return false;
  Len = cellEnd - cellBegin;
  if (Len > Max) return false;
  for (size_t i = 0; i < Len; ++i) {
    if (p[cellBegin + i] >= 0x80) return false;
    Cell[i] = p[cellBegin + i];
  }
  return !DropIfDamaged(view);
}

// The line from the view of the file it starts in, mapping that view when
// none holds it: rows cost no read each, whatever their order. Null when
// the line reaches past its view's overlap or the file cannot be mapped;
// View is the view the line is in.
const uint8_t* TVKTableFileReader::MappedLine(int64_t Begin, int64_t End, MappedView*& View) {
  const ViewLimits& lim = FViewLimits;
  if (FMapFailed || lim.MaxViews == 0 || lim.ViewBytes == 0) return nullptr;
  const int64_t start = Begin - Begin % static_cast<int64_t>(lim.ViewBytes);
  auto fits = [&](const TVKFileView& v) { return End <= v.Offset() + static_cast<int64_t>(v.Size()); };
  for (MappedView& m : FViews) {
    if (m.View.Offset() != start) continue;
    if (!fits(m.View)) return nullptr;
    m.LastUse = ++FUseClock;
    View = &m;
    return m.View.Data() + (Begin - start);
  }
  if (End > start + static_cast<int64_t>(lim.ViewBytes + lim.Overlap)) return nullptr;
  if (FViews.size() >= lim.MaxViews)
    FViews.erase(std::min_element(FViews.begin(), FViews.end(),
                                  [](const MappedView& a, const MappedView& b) { return a.LastUse < b.LastUse; }));
  TVKFileView view = FStream->MapView(start, lim.ViewBytes + lim.Overlap);
  // A file that cannot be mapped once (not a disk file, no address space
  // left) is read through the window from then on.
  if (view.Empty()) {
    FMapFailed = true;
    return nullptr;
  }
  FViews.push_back({std::move(view), ++FUseClock});
  const TVKFileView& v = FViews.back().View;
  if (!fits(v)) return nullptr;
  View = &FViews.back();
  return v.Data() + (Begin - start);
}

// The line from a read window of at least 64 KiB starting at it: rows read
// in file order cost one read per window.
const uint8_t* TVKTableFileReader::WindowLine(int64_t Begin, int64_t End) {
  constexpr size_t kWindow = 64 * 1024;
  FWindow.resize(std::max<size_t>(kWindow, static_cast<size_t>(End - Begin)));
  FWindowStart = Begin;
  size_t got = FStream->Seek(Begin) ? FStream->Read(FWindow.data(), FWindow.size()) : 0;
  FWindow.resize(got);
  if (End > FWindowStart + static_cast<int64_t>(got)) return nullptr;
  return FWindow.data();
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
