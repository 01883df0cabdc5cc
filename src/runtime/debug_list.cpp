#include "runtime/debug_list.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <limits>
#include <system_error>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"

namespace vk {

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";
constexpr char kHexLower[] = "0123456789abcdef";
constexpr size_t kDumpTextWidth = 56;
constexpr char kLineEnd[] = " \r\n";

// The column header line of every dump: 7 blanks, then 0..f each in a
// 3-character column, with one more blank after the eighth.
constexpr std::string_view kDumpHeader = "       0  1  2  3  4  5  6  7   8  9  a  b  c  d  e  f  ";
static_assert(kDumpHeader.size() == kDumpTextWidth);

// Whether printable ASCII text stays byte-for-byte the same in the ANSI code
// page, so that plain text lines need no conversion. Checked once per code
// page number.
bool AnsiKeepsAscii() {
  static std::atomic<uint32_t> checkedFor{0};
  static std::atomic<bool> keeps{false};
  const uint32_t cp = AnsiCodePage();
  if (checkedFor.load(std::memory_order_acquire) != cp) {
    std::u16string probe;
    std::string expect;
    for (char c = 0x20; c < 0x7F; ++c) {
      probe.push_back(static_cast<char16_t>(c));
      expect.push_back(c);
    }
    probe.push_back(u'\t');
    expect.push_back('\t');
    TVKBytes got = StringToCodePageBytes(probe, 0);
    keeps.store(got.size() == expect.size() && std::memcmp(got.data(), expect.data(), got.size()) == 0,
                std::memory_order_relaxed);
    checkedFor.store(cp, std::memory_order_release);
  }
  return keeps.load(std::memory_order_relaxed);
}

// Appends the saved form of text that is known to be ASCII.
void AppendAsciiText(TVKBytes& out, std::string_view text) {
  if (AnsiKeepsAscii()) {
    out.insert(out.end(), text.begin(), text.end());
  } else {
    TVKBytes b = StringToCodePageBytes(Widen(text), 0);
    out.insert(out.end(), b.begin(), b.end());
  }
}

// Writes one dump data line (at most 16 bytes starting at offset) straight
// into out in saved form: the 56-character hex text, a blank, the printable
// column as raw bytes and the line end.
void AppendDumpLine(TVKBytes& out, const uint8_t* p, size_t n, size_t offset, bool ascii) {
  char text[96];
  size_t k = 0;
  // Offset in at least 4 lower-case hex digits (wider only past 64 KiB).
  int digits = 4;
  while (digits < 16 && (offset >> (4 * digits)) != 0) ++digits;
  for (int d = digits - 1; d >= 0; --d) text[k++] = kHexLower[(offset >> (4 * d)) & 0xF];
  text[k++] = 'h';
  text[k++] = ' ';
  text[k++] = ' ';
  for (size_t i = 0; i < 16; ++i) {
    if (i < n) {
      text[k++] = kHexUpper[p[i] >> 4];
      text[k++] = kHexUpper[p[i] & 0xF];
    } else {
      text[k++] = ' ';
      text[k++] = ' ';
    }
    text[k++] = ' ';
    if (i == 7) text[k++] = ' ';
  }
  text[k++] = ' ';  // the blank before the printable column
  if (ascii) {
    out.insert(out.end(), text, text + k);
  } else {
    AppendAsciiText(out, std::string_view(text, k));
  }
  for (size_t i = 0; i < n; ++i) out.push_back(p[i] >= 32 ? p[i] : 0x2E);
  out.insert(out.end(), kLineEnd, kLineEnd + 3);
}

// Appends the saved form of a dump: the column header, then one line per
// 16 bytes.
void AppendDump(TVKBytes& out, const uint8_t* data, size_t size) {
  const bool ascii = AnsiKeepsAscii();
  AppendAsciiText(out, kDumpHeader);
  out.insert(out.end(), kLineEnd, kLineEnd + 3);
  for (size_t off = 0; off < size; off += 16) AppendDumpLine(out, data + off, std::min<size_t>(16, size - off), off, ascii);
}

// The list's content is a stream of records: a kind byte, a 4-byte length
// (least significant byte first) and that many bytes. A text record holds
// complete lines in saved form; a dump record holds a datagram's bytes.
constexpr uint8_t kTextRecord = 'T';
constexpr uint8_t kDumpRecord = 'D';
constexpr size_t kRecordHead = 5;
// A text record is closed before its length could overflow the field.
constexpr size_t kTextRecordLimit = size_t{1} << 30;

void PutLength(uint8_t* p, size_t n) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(n >> (8 * i));
}
size_t GetLength(const uint8_t* p) {
  return size_t{p[0]} | size_t{p[1]} << 8 | size_t{p[2]} << 16 | size_t{p[3]} << 24;
}

// Turns the record stream, fed in pieces of any size, into the saved bytes,
// handed to the sink in pieces of about 64 KiB.
template <typename Sink>
class Renderer {
 public:
  explicit Renderer(Sink& sink) : sink_(sink) {}

  bool Feed(const uint8_t* p, size_t n) {
    if (!carry_.empty()) {
      carry_.insert(carry_.end(), p, p + n);
      p = carry_.data();
      n = carry_.size();
    }
    size_t pos = 0;
    while (n - pos >= kRecordHead) {
      const size_t len = GetLength(p + pos + 1);
      if (n - pos - kRecordHead < len) break;
      const uint8_t* body = p + pos + kRecordHead;
      if (p[pos] == kDumpRecord) {
        AppendDump(out_, body, len);
      } else {
        out_.insert(out_.end(), body, body + len);
      }
      pos += kRecordHead + len;
      if (out_.size() >= kFlushSize && !Flush()) return false;
    }
    TVKBytes rest(p + pos, p + n);
    carry_.swap(rest);
    return true;
  }

  // False when the sink refused bytes or the stream ended inside a record.
  bool Finish() { return Flush() && carry_.empty(); }

 private:
  static constexpr size_t kFlushSize = size_t{1} << 16;
  bool Flush() {
    if (out_.empty()) return true;
    const bool ok = sink_(out_.data(), out_.size());
    out_.clear();
    return ok;
  }
  Sink& sink_;
  TVKBytes carry_;  // the start of a record whose end has not come yet
  TVKBytes out_;
};

std::atomic<uint64_t> g_spillCounter{0};

}  // namespace

struct TVKDebugList::Impl {
  TVKBytes buf;  // records not yet moved to the spill file
  size_t openText = SIZE_MAX;  // where the text record that takes more lines starts in buf
  size_t threshold;
  size_t lines = 0;
  bool lastEmpty = true;
  std::fstream spill;
  std::filesystem::path spillPath;
  uint64_t spilledBytes = 0;  // bytes of the spill file that belong to the list
  bool spillFailed = false;

  explicit Impl(size_t t) : threshold(t) {}

  ~Impl() {
    if (!spillPath.empty()) {
      spill.close();
      std::error_code ec;
      std::filesystem::remove(spillPath, ec);
    }
  }

  // Room for n more bytes of text lines at the end of buf.
  uint8_t* TextSpace(size_t n) {
    if (openText == SIZE_MAX || buf.size() - openText - kRecordHead + n > kTextRecordLimit) {
      openText = buf.size();
      const uint8_t head[kRecordHead] = {kTextRecord, 0, 0, 0, 0};
      buf.insert(buf.end(), head, head + kRecordHead);
    }
    const size_t at = buf.size();
    buf.resize(at + n);
    PutLength(buf.data() + openText + 1, buf.size() - openText - kRecordHead);
    return buf.data() + at;
  }

  // One text line: its bytes in saved form, then the line end.
  void AddTextLine(const uint8_t* p, size_t n) {
    uint8_t* out = TextSpace(n + 3);
    if (n != 0) std::memcpy(out, p, n);
    EndTextLine(n == 0);
  }
  // Writes the line end after the n bytes just placed by TextSpace(n + 3).
  void EndTextLine(bool empty) {
    std::memcpy(buf.data() + buf.size() - 3, kLineEnd, 3);
    ++lines;
    lastEmpty = empty;
    MaybeSpill();
  }

  void AddDump(const uint8_t* p, size_t n) {
    openText = SIZE_MAX;
    uint8_t head[kRecordHead] = {kDumpRecord};
    PutLength(head + 1, n);
    buf.insert(buf.end(), head, head + kRecordHead);
    buf.insert(buf.end(), p, p + n);
    lines += 1 + (n + 15) / 16;
    lastEmpty = false;
    MaybeSpill();
  }

  bool OpenSpill() {
    std::error_code ec;
    std::vector<std::filesystem::path> dirs;
    const auto& debugDir = SysParams().DebugDir;
    if (!debugDir.empty()) dirs.emplace_back(debugDir);
    auto tmp = std::filesystem::temp_directory_path(ec);
    if (!ec) dirs.push_back(tmp);
    for (const auto& dir : dirs) {
      for (int attempt = 0; attempt < 4; ++attempt) {
        // Thread id, a process-wide counter and the clock keep concurrent
        // lists (also of other processes) apart.
        std::string name(kDebugSpillPrefix);
        name += std::to_string(platform::CurrentThreadId()) + "_" + std::to_string(g_spillCounter.fetch_add(1)) + "_" +
                std::to_string(platform::MonotonicMs() % 1000000000) + std::string(kDebugSpillExtension);
        std::filesystem::path p = dir / name;
        if (std::filesystem::exists(p, ec)) continue;
        spill.open(p, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        if (spill.is_open()) {
          spillPath = p;
          return true;
        }
        spill.clear();
        break;  // this directory cannot take it; try the next
      }
    }
    spillFailed = true;
    return false;
  }

  // Moves the in-memory bytes to the spill file once they pass the
  // threshold. When no file can be made or the disk refuses, the lines
  // simply stay in memory from then on.
  void MaybeSpill() {
    if (buf.size() <= threshold || spillFailed) return;
    if (spillPath.empty() && !OpenSpill()) return;
    spill.clear();
    spill.seekp(static_cast<std::streamoff>(spilledBytes), std::ios::beg);
    spill.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
    spill.flush();
    if (!spill) {
      // Whatever part did reach the file lies past spilledBytes and is
      // never read back.
      spill.clear();
      spillFailed = true;
      return;
    }
    spilledBytes += buf.size();
    buf.clear();
    openText = SIZE_MAX;
  }

  // Feeds the records, the spilled part first, to sink in pieces.
  template <typename Sink>
  bool ForEachChunk(Sink&& sink) {
    if (spilledBytes != 0) {
      spill.clear();
      spill.seekg(0, std::ios::beg);
      std::vector<char> chunk(size_t{1} << 16);
      uint64_t left = spilledBytes;
      bool ok = true;
      while (ok && left != 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        spill.read(chunk.data(), static_cast<std::streamsize>(want));
        if (spill.gcount() != static_cast<std::streamsize>(want)) {
          ok = false;
          break;
        }
        ok = sink(reinterpret_cast<const uint8_t*>(chunk.data()), want);
        left -= want;
      }
      spill.clear();
      if (!ok) return false;
    }
    return buf.empty() || sink(buf.data(), buf.size());
  }

  // Feeds the saved bytes to sink.
  template <typename Sink>
  bool Render(Sink&& sink) {
    Renderer<Sink> r(sink);
    return ForEachChunk([&r](const uint8_t* p, size_t n) { return r.Feed(p, n); }) && r.Finish();
  }
};

TVKDebugList::TVKDebugList(size_t spillThreshold) : d_(new Impl(spillThreshold)) {}
TVKDebugList::~TVKDebugList() = default;

void TVKDebugList::Add(std::u16string_view line) {
  if (IsAsciiText(line.data(), line.size()) && AnsiKeepsAscii()) {
    uint8_t* out = d_->TextSpace(line.size() + 3);
    for (char16_t c : line) *out++ = static_cast<uint8_t>(c);
    d_->EndTextLine(line.empty());
  } else {
    const TVKBytes b = StringToCodePageBytes(line, 0);
    d_->AddTextLine(b.data(), b.size());
  }
}

void TVKDebugList::Add(std::string_view line) {
  if (!IsAsciiText(line.data(), line.size())) {
    Add(std::u16string_view(Utf8ToUtf16(line)));
  } else if (AnsiKeepsAscii()) {
    d_->AddTextLine(reinterpret_cast<const uint8_t*>(line.data()), line.size());
  } else {
    const TVKBytes b = StringToCodePageBytes(Widen(line), 0);
    d_->AddTextLine(b.data(), b.size());
  }
}

void TVKDebugList::AddDump(const uint8_t* data, size_t size) { d_->AddDump(data, size); }

void TVKDebugList::Append(const TVKDebugList& other) {
  if (&other == this || other.d_->lines == 0) return;
  d_->openText = SIZE_MAX;
  other.d_->ForEachChunk([this](const uint8_t* p, size_t n) {
    d_->buf.insert(d_->buf.end(), p, p + n);
    d_->MaybeSpill();
    return true;
  });
  d_->openText = SIZE_MAX;
  d_->lines += other.d_->lines;
  d_->lastEmpty = other.d_->lastEmpty;
}

bool TVKDebugList::Empty() const { return d_->lines == 0; }
bool TVKDebugList::LastLineEmpty() const { return d_->lastEmpty; }
size_t TVKDebugList::LineCount() const { return d_->lines; }
bool TVKDebugList::Spilled() const { return d_->spilledBytes != 0; }
std::filesystem::path TVKDebugList::SpillFile() const { return d_->spillPath; }

bool TVKDebugList::Save(const std::filesystem::path& file) const {
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  bool ok = d_->Render([&f](const uint8_t* p, size_t n) {
    f.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
    return static_cast<bool>(f);
  });
  f.close();
  return ok && !f.fail();
}

TVKBytes TVKDebugList::SavedBytes() const {
  TVKBytes out;
  d_->Render([&out](const uint8_t* p, size_t n) {
    out.insert(out.end(), p, p + n);
    return true;
  });
  return out;
}

std::vector<TVKDumpLine> HexDumpLines(const uint8_t* data, size_t size) {
  std::vector<TVKDumpLine> lines;
  lines.reserve(1 + (size + 15) / 16);
  lines.push_back({std::string(kDumpHeader), {}});
  TVKBytes tmp;
  for (size_t off = 0; off < size; off += 16) {
    size_t n = std::min<size_t>(16, size - off);
    tmp.clear();
    AppendDumpLine(tmp, data + off, n, off, true);
    // tmp = text, printable bytes, " \r\n"
    size_t textLen = tmp.size() - n - 3;
    TVKDumpLine l;
    l.text.assign(tmp.begin(), tmp.begin() + static_cast<std::ptrdiff_t>(textLen));
    l.printable.assign(tmp.begin() + static_cast<std::ptrdiff_t>(textLen), tmp.end() - 3);
    lines.push_back(std::move(l));
  }
  return lines;
}

}  // namespace vk
