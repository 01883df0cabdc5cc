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
  FViews.clear();
  FUseClock = 0;
  FMapFailed = false;
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
  FLine.clear();
  if (n >= FLines.size() || !FStream) return;
  const TVKSDKLineInfo& li = FLines[n];
  if (li.Count <= 0 || li.Offset < 0) return;
  const int64_t begin = li.Offset, end = begin + li.Count;
  const uint8_t* text = nullptr;
  if (begin >= FWindowStart && end <= FWindowStart + static_cast<int64_t>(FWindow.size()))
    text = FWindow.data() + (begin - FWindowStart);
  MappedView* view = nullptr;
  if (!text) text = MappedLine(begin, end, view);
  if (!text) text = WindowLine(begin, end);
  // A file shorter than its index (changed since) gives an empty line.
  if (!text) return;
  AppendCodePageString(text, static_cast<size_t>(li.Count), FCodePage, FLine);
  // A file cut short under its view reads as zeros past its new end: the
  // line is unreadable, as a short read makes it, and the view is dropped
  // (the next line there maps what is left of the file, or is read).
  if (view && view->View.Damaged()) {
    FLine.clear();
    FViews.erase(FViews.begin() + (view - FViews.data()));
    return;
  }
  if (FLine.find_first_of(u"\r\n") != std::u16string::npos)
    FLine.erase(std::remove_if(FLine.begin(), FLine.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }),
                FLine.end());
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
