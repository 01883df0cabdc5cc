#include "data/text_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "runtime/codepage.h"

namespace vk::TVKSDKUtils {

namespace {

constexpr uint32_t kUtf16LE = 1200;
constexpr uint32_t kUtf16BE = 1201;
constexpr uint32_t kUtf8 = 65001;

bool IsUtf16(uint32_t cp) {
  cp = ResolveCodePage(cp);
  return cp == kUtf16LE || cp == kUtf16BE;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Reads the whole stream from its start.
TVKBytes ReadAll(TVKFileStream& s) {
  TVKBytes data;
  int64_t size = s.Size();
  if (size <= 0) return data;
  s.Seek(0);
  data.resize(static_cast<size_t>(size));
  data.resize(s.Read(data.data(), data.size()));
  return data;
}

// Splits decoded text into lines at CR LF, CR or LF, calling f for each
// non-empty line.
template <typename F>
void ForEachLine(std::u16string_view text, F f) {
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
      if (i > start) f(text.substr(start, i - start));
      start = i + 1;
    }
  }
}

// Line scanner over a file read in pieces: every CR or LF unit ends a line,
// so CR LF gives a line and an empty line, and empty lines are not kept.
class LineScanner {
 public:
  LineScanner(uint32_t cp, TVKSDKLinesInfo& out)
      : unit_(IsUtf16(cp) ? 2 : 1), bigEndian_(ResolveCodePage(cp) == kUtf16BE), out_(out) {}

  void Start(size_t at) { lineStart_ = at; }

  // Scans [base, base + n) of the file; n is a whole number of units except
  // possibly for the final piece.
  void Feed(const uint8_t* p, size_t n, size_t base) {
    if (unit_ == 1) {
      for (size_t i = 0; i < n; ++i) {
        uint8_t c = p[i];
        if (c > '\r' || (c != '\r' && c != '\n')) continue;
        End(base + i);
        lineStart_ = base + i + 1;
      }
    } else {
      for (size_t i = 0; i + 1 < n; i += 2) {
        uint16_t u = bigEndian_ ? static_cast<uint16_t>((p[i] << 8) | p[i + 1])
                                : static_cast<uint16_t>(p[i] | (p[i + 1] << 8));
        if (u != u'\r' && u != u'\n') continue;
        End(base + i);
        lineStart_ = base + i + 2;
      }
    }
  }

  // Ends the scan at file position `end` (only whole units count).
  void Finish(size_t end) {
    if (unit_ == 2 && end > lineStart_) end -= (end - lineStart_) % 2;
    End(end);
  }

 private:
  void End(size_t at) {
    if (at > lineStart_)
      out_.push_back({static_cast<int32_t>(lineStart_), static_cast<int32_t>(at - lineStart_)});
  }

  size_t unit_;
  bool bigEndian_;
  TVKSDKLinesInfo& out_;
  size_t lineStart_ = 0;
};

}  // namespace

void ReplaceAll(std::u16string& s, std::u16string_view from, std::u16string_view to) {
  if (from.empty()) return;
  size_t pos = s.find(from);
  if (pos == std::u16string::npos) return;
  std::u16string out;
  out.reserve(s.size());
  size_t last = 0;
  while (pos != std::u16string::npos) {
    out.append(s, last, pos - last);
    out.append(to);
    last = pos + from.size();
    pos = s.find(from, last);
  }
  out.append(s, last, std::u16string::npos);
  s.swap(out);
}

// ------------------------------------------------------ marks and lines ----

uint16_t GetFileEncodingType(const std::filesystem::path& FileName) {
  auto f = TVKFileStream::OpenRead(FileName);
  if (!f) return 0;
  uint8_t b[3] = {0, 0, 0};
  size_t n = f->Read(b, 3);
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return 65001;
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return 1200;
  if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) return 1201;
  return 0;
}

size_t ByteOrderMarkSize(const uint8_t* Data, size_t Size, uint32_t CodePage) {
  switch (ResolveCodePage(CodePage)) {
    case kUtf8: return (Size >= 3 && Data[0] == 0xEF && Data[1] == 0xBB && Data[2] == 0xBF) ? 3 : 0;
    case kUtf16LE: return (Size >= 2 && Data[0] == 0xFF && Data[1] == 0xFE) ? 2 : 0;
    case kUtf16BE: return (Size >= 2 && Data[0] == 0xFE && Data[1] == 0xFF) ? 2 : 0;
    default: return 0;
  }
}

bool WriteStreamHeader(TVKFileStream& Stream, uint32_t CodePage) {
  static const uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
  static const uint8_t kLEMark[] = {0xFF, 0xFE};
  static const uint8_t kBEMark[] = {0xFE, 0xFF};
  switch (CodePage) {
    case kUtf8: Stream.Write(kUtf8Mark, 3); break;
    case kUtf16LE: Stream.Write(kLEMark, 2); break;
    case kUtf16BE: Stream.Write(kBEMark, 2); break;
    default: break;
  }
  return true;
}

TVKSDKLinesInfo GetLinesInfo(const uint8_t* Data, size_t Size, uint32_t CodePage) {
  TVKSDKLinesInfo out;
  LineScanner scan(CodePage, out);
  size_t bom = ByteOrderMarkSize(Data, Size, CodePage);
  scan.Start(bom);
  scan.Feed(Data + bom, Size - bom, bom);
  scan.Finish(Size);
  return out;
}

// The file is scanned in pieces, so only the index stays in memory.
TVKSDKLinesInfo GetFileLinesInfo(TVKFileStream& FileStream, uint32_t CodePage) {
  TVKSDKLinesInfo out;
  LineScanner scan(CodePage, out);
  constexpr size_t kPiece = 1 << 20;  // even, so UTF-16 units never straddle pieces
  TVKBytes buf(kPiece);
  FileStream.Seek(0);
  size_t base = 0;
  bool first = true;
  for (;;) {
    size_t n = 0;
    while (n < kPiece) {
      size_t r = FileStream.Read(buf.data() + n, kPiece - n);
      if (r == 0) break;
      n += r;
    }
    if (n == 0) break;
    size_t skip = 0;
    if (first) {
      skip = ByteOrderMarkSize(buf.data(), n, CodePage);
      scan.Start(skip);
      first = false;
    }
    scan.Feed(buf.data() + skip, n - skip, base + skip);
    base += n;
    if (n < kPiece) break;
  }
  scan.Finish(base);
  return out;
}

std::u16string ReadLineFromFileStream(TVKFileStream& FileStream, const TVKSDKLineInfo& LineInfo,
                                      uint32_t CodePage) {
  std::u16string out;
  if (LineInfo.Count <= 0 || LineInfo.Offset < 0 || !FileStream.Seek(LineInfo.Offset)) return out;
  thread_local TVKBytes buf;
  buf.resize(static_cast<size_t>(LineInfo.Count));
  buf.resize(FileStream.Read(buf.data(), buf.size()));
  AppendCodePageString(buf.data(), buf.size(), CodePage, out);
  if (out.find_first_of(u"\r\n") != std::u16string::npos)
    out.erase(std::remove_if(out.begin(), out.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }),
              out.end());
  return out;
}

TVKStringsDynArray GetImportStringsDynArray(TVKFileStream& FileStream, uint32_t FileCodePage) {
  TVKStringsDynArray table;
  TVKBytes data = ReadAll(FileStream);
  size_t bom = ByteOrderMarkSize(data.data(), data.size(), FileCodePage);
  std::u16string text = CodePageBytesToString(data.data() + bom, data.size() - bom, FileCodePage);
  // A TAB after the whole text marks where the data ends: a last line without
  // a line end keeps it as one extra empty cell; after a final line end it
  // forms a line of one TAB, which is dropped like blank lines.
  text.push_back(u'\t');
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    bool end = i == text.size() || text[i] == u'\r' || text[i] == u'\n';
    if (!end) continue;
    std::u16string_view line(text.data() + start, i - start);
    start = i + 1;
    if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') {
      ++i;
      start = i + 1;
    }
    if (line.empty() || line == u"\t") continue;
    table.push_back(SplitString(line, u'\t'));
  }
  return table;
}

TVKStringsDynArray StringToStringDataItems(std::u16string_view Str) {
  TVKStringsDynArray table;
  ForEachLine(Str, [&](std::u16string_view line) { table.push_back(SplitString(line, u'\t')); });
  return table;
}

// ------------------------------------------------------- cells and names ----

TVKStrings SplitString(std::u16string_view Text, char16_t Separator) {
  TVKStrings cells;
  if (Text.empty()) return cells;
  size_t start = 0;
  for (;;) {
    size_t pos = Text.find(Separator, start);
    if (pos == std::u16string_view::npos) {
      cells.emplace_back(Text.substr(start));
      return cells;
    }
    cells.emplace_back(Text.substr(start, pos - start));
    start = pos + 1;
  }
}

void SplitStringList(std::u16string_view Text, std::u16string_view Separator, TVKStrings& List) {
  if (Separator.empty()) {
    List.emplace_back(Text);
    return;
  }
  size_t start = 0;
  for (;;) {
    size_t pos = Text.find(Separator, start);
    if (pos == std::u16string_view::npos) {
      List.emplace_back(Text.substr(start));
      return;
    }
    List.emplace_back(Text.substr(start, pos - start));
    start = pos + Separator.size();
  }
}

bool SameFieldName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

int32_t GetFieldIndex(const TVKStrings& FieldsLine, std::u16string_view Field) {
  for (size_t i = 0; i < FieldsLine.size(); ++i)
    if (SameFieldName(FieldsLine[i], Field)) return static_cast<int32_t>(i);
  return -1;
}

int32_t GetFieldIndex(const TVKStringsDynArray& StringDataItems, std::u16string_view FieldName) {
  if (StringDataItems.empty()) return -1;
  return GetFieldIndex(StringDataItems[0], FieldName);
}

TVKIntegers GetFieldLineIndexs(const TVKStrings& FieldsLine, const TVKSDKRAMFieldInfo* FieldDefine,
                               int32_t FieldCount) {
  TVKIntegers map(FieldsLine.size(), -1);
  for (size_t c = 0; c < FieldsLine.size(); ++c) {
    for (int32_t f = 0; f < FieldCount; ++f) {
      if (IsNilField(FieldDefine[f])) continue;
      if (SameFieldName(FieldsLine[c], FieldDefine[f].ImportName)) {
        map[c] = f;
        break;
      }
    }
  }
  return map;
}

TVKIntegers GetFieldLineIndexs(std::u16string_view FieldsLine, const TVKSDKRAMFieldInfo* FieldDefine,
                               int32_t FieldCount) {
  return GetFieldLineIndexs(SplitString(FieldsLine, u'\t'), FieldDefine, FieldCount);
}

TVKIntegers GetFieldLineIndexs(const TVKStrings& ImportFields, const TVKStrings& FieldDefines) {
  TVKIntegers map(FieldDefines.size(), -1);
  for (size_t w = 0; w < FieldDefines.size(); ++w) {
    for (size_t c = 0; c < ImportFields.size(); ++c) {
      if (!ImportFields[c].empty() && SameFieldName(ImportFields[c], FieldDefines[w])) {
        map[w] = static_cast<int32_t>(c);
        break;
      }
    }
  }
  return map;
}

std::u16string GetHecrFields(const TVKSDKRAMFieldInfo* FieldDynArray, int32_t Count) {
  std::u16string line;
  bool first = true;
  for (int32_t i = 0; i < Count; ++i) {
    if (IsNilField(FieldDynArray[i])) continue;
    if (!first) line.push_back(u'\t');
    line.append(FieldDynArray[i].ImportName);
    first = false;
  }
  return line;
}

bool WriteLineToFileStream(TVKFileStream& FileStream, std::u16string_view Value, uint32_t CodePage) {
  thread_local TVKBytes buf;
  buf.clear();
  AppendCodePageBytes(Value, CodePage, buf);
  AppendCodePageBytes(u"\r\n", CodePage, buf);
  return FileStream.Write(buf.data(), buf.size());
}

// ------------------------------------------------------------ escapes ----

std::u16string EncodeStr(std::u16string_view s, int32_t ProtocolType) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c == u'\r') out += u"{$0D}";
    else if (c == u'\n' && ProtocolType == 3) out += u"{$0A}";
    else if (c == u'\t' && ProtocolType == 3) out += u"{$09}";
    else out.push_back(c);
  }
  return out;
}

std::u16string DecodeCellEscapes(std::u16string_view s) {
  std::u16string out(s);
  if (out.find(u"{$") == std::u16string::npos) return out;
  ReplaceAll(out, u"{$0D}", u"\r");
  ReplaceAll(out, u"{$0A}", u"\n");
  ReplaceAll(out, u"{$09}", u"\t");
  return out;
}

std::u16string DecodeStr(std::u16string_view s) {
  std::u16string out = DecodeCellEscapes(s);
  ReplaceAll(out, u"\\r", u"\r");
  ReplaceAll(out, u"\\n", u"\n");
  return out;
}

std::u16string MyExtractFileName(std::u16string_view FileName) {
  size_t pos = FileName.find_last_of(u"/\\");
  return std::u16string(pos == std::u16string_view::npos ? FileName : FileName.substr(pos + 1));
}

// ---------------------------------------------------- hex and addresses ----

std::u16string Bytes2Hex(const uint8_t* Data, size_t Size) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out(Size * 2, u'0');
  for (size_t i = 0; i < Size; ++i) {
    out[2 * i] = kDigits[Data[i] >> 4];
    out[2 * i + 1] = kDigits[Data[i] & 0xF];
  }
  return out;
}

TVKBytes Hex2Bytes(std::u16string_view hexstr) {
  auto hv = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  TVKBytes out(hexstr.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    int h = hv(hexstr[2 * i]), l = hv(hexstr[2 * i + 1]);
    out[i] = (h < 0 || l < 0) ? 0 : static_cast<uint8_t>(h * 16 + l);
  }
  return out;
}

bool isMemZero(const TVKBytes& Buf, int32_t Index, int32_t Count) {
  if (Index < 0) Index = 0;
  size_t end = std::min(Buf.size(), static_cast<size_t>(Index) + static_cast<size_t>(std::max(Count, 0)));
  for (size_t i = static_cast<size_t>(Index); i < end; ++i)
    if (Buf[i] != 0) return false;
  return true;
}

uint32_t IPToInteger(std::u16string_view IP) {
  TVKStrings parts = SplitString(IP, u'.');
  if (parts.size() != 4) return 0;
  uint32_t v = 0;
  for (const auto& p : parts) {
    int32_t n;
    if (ParseInt32(p, n) != TVKIntParse::ipOk || n < 0 || n > 255) return 0;
    v = (v << 8) | static_cast<uint32_t>(n);
  }
  return v;
}

std::u16string IntegerToIP(uint32_t Value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", Value >> 24, (Value >> 16) & 0xFF, (Value >> 8) & 0xFF,
                Value & 0xFF);
  return Widen(buf);
}

bool SameIPAddress(std::u16string_view x, std::u16string_view y) { return IPToInteger(x) == IPToInteger(y); }

}  // namespace vk::TVKSDKUtils
