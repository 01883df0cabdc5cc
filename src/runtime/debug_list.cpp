#include "runtime/debug_list.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdio>
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

// The two upper-case hex digits of every byte value, and the byte the
// printable column shows for it (itself from 32 up, a dot below).
struct DumpTables {
  char hex[256][2];
  uint8_t shown[256];
};
constexpr DumpTables MakeDumpTables() {
  DumpTables t{};
  for (int b = 0; b < 256; ++b) {
    t.hex[b][0] = kHexUpper[b >> 4];
    t.hex[b][1] = kHexUpper[b & 0xF];
    t.shown[b] = static_cast<uint8_t>(b >= 32 ? b : 0x2E);
  }
  return t;
}
constexpr DumpTables kDump = MakeDumpTables();

// Hex digits of a dump line's offset: at least 4, lower case (wider only
// past 64 KiB).
int OffsetDigits(size_t offset) {
  int digits = 4;
  while (digits < 16 && (offset >> (4 * digits)) != 0) ++digits;
  return digits;
}

// The most bytes one dump data line takes in saved form.
constexpr size_t kDumpLineMax = 16 + kDumpTextWidth + 16;

// Writes the text part of a dump data line (at most 16 bytes starting at
// offset) at out: the offset, the hex columns and the blank before the
// printable column. Returns its end.
char* PutDumpText(char* out, const uint8_t* p, size_t n, size_t offset) {
  for (int d = OffsetDigits(offset) - 1; d >= 0; --d) *out++ = kHexLower[(offset >> (4 * d)) & 0xF];
  std::memcpy(out, "h  ", 3);
  out += 3;
  for (size_t i = 0; i < 16; ++i) {
    if (i < n) {
      out[0] = kDump.hex[p[i]][0];
      out[1] = kDump.hex[p[i]][1];
    } else {
      out[0] = ' ';
      out[1] = ' ';
    }
    out[2] = ' ';
    out += 3;
    if (i == 7) *out++ = ' ';
  }
  *out++ = ' ';
  return out;
}

// Writes one dump data line in saved form at out (room for kDumpLineMax
// bytes): the text part, the printable column as raw bytes and the line
// end. Returns its end.
uint8_t* PutDumpLine(uint8_t* out, const uint8_t* p, size_t n, size_t offset) {
  out = reinterpret_cast<uint8_t*>(PutDumpText(reinterpret_cast<char*>(out), p, n, offset));
  for (size_t i = 0; i < n; ++i) *out++ = kDump.shown[p[i]];
  std::memcpy(out, kLineEnd, 3);
  return out + 3;
}

// The same line when the ANSI code page does not keep ASCII as it is: the
// text part goes through the code page.
void AppendConvertedDumpLine(TVKBytes& out, const uint8_t* p, size_t n, size_t offset) {
  char text[kDumpLineMax];
  const size_t k = static_cast<size_t>(PutDumpText(text, p, n, offset) - text);
  AppendAsciiText(out, std::string_view(text, k));
  for (size_t i = 0; i < n; ++i) out.push_back(kDump.shown[p[i]]);
  out.insert(out.end(), kLineEnd, kLineEnd + 3);
}

// Saved spill bytes are read back in blocks of this size.
constexpr size_t kCopyBlock = size_t{1} << 20;

std::atomic<uint64_t> g_spillCounter{0};

// Copies bytes [0, size) of a file to sink in blocks of 1 MiB.
template <typename Sink>
bool CopyFileStart(const std::filesystem::path& file, uint64_t size, Sink&& sink) {
  std::FILE* f = platform::OpenFile(file, "rb");
  if (f == nullptr) return false;
  std::unique_ptr<uint8_t[]> block(new uint8_t[kCopyBlock]);
  bool ok = true;
  while (ok && size != 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, kCopyBlock));
    ok = std::fread(block.get(), 1, want, f) == want && sink(block.get(), want);
    size -= want;
  }
  std::fclose(f);
  return ok;
}

}  // namespace

// The list's content is kept in its saved form: text lines as the ANSI code
// page's bytes and dumps already laid out as dump lines, each line ended by
// " \r\n". Past the threshold the bytes held move to the end of the spill
// file, so that file is always the start of what Save writes.
struct TVKDebugList::Impl {
  std::unique_ptr<uint8_t[]> buf;  // saved bytes not yet in the spill file
  size_t size = 0;
  size_t cap = 0;
  size_t threshold;
  size_t lines = 0;
  bool lastEmpty = true;
  std::FILE* spill = nullptr;
  std::filesystem::path spillPath;
  uint64_t spilledBytes = 0;  // bytes of the spill file that belong to the list
  bool spillFailed = false;

  explicit Impl(size_t t) : threshold(t) {}

  ~Impl() { DropSpill(); }

  void DropSpill() {
    if (spill != nullptr) std::fclose(spill);
    spill = nullptr;
    if (!spillPath.empty()) {
      std::error_code ec;
      std::filesystem::remove(spillPath, ec);
    }
    spillPath.clear();
    spilledBytes = 0;
  }

  // Room for n more bytes at buf + size. The block grows by doubling, so a
  // short list (a detection trace) stays small, but not far past the
  // threshold: beyond it the bytes move out.
  uint8_t* Space(size_t n) {
    if (cap - size < n) {
      constexpr size_t kSlack = 4096;
      size_t grown = std::max<size_t>(cap * 2, kSlack);
      if (!spillFailed && threshold < SIZE_MAX - kSlack) grown = std::min(grown, threshold + kSlack);
      grown = std::max(grown, size + n);
      std::unique_ptr<uint8_t[]> b(new uint8_t[grown]);
      if (size != 0) std::memcpy(b.get(), buf.get(), size);
      buf = std::move(b);
      cap = grown;
    }
    return buf.get() + size;
  }

  void AddBytes(const uint8_t* p, size_t n) {
    if (n != 0) std::memcpy(Space(n), p, n);
    size += n;
    MaybeSpill();
  }

  // One text line: n bytes in saved form written by put(out), then the line
  // end.
  template <typename Put>
  void AddTextLine(size_t n, Put&& put) {
    uint8_t* out = Space(n + 3);
    put(out);
    std::memcpy(out + n, kLineEnd, 3);
    size += n + 3;
    ++lines;
    lastEmpty = n == 0;
    MaybeSpill();
  }

  // The dump of a block, laid out line by line straight into the buffer;
  // a long block moves out in pieces as it passes the threshold.
  void AddDump(const uint8_t* p, size_t n) {
    if (AnsiKeepsAscii()) {
      uint8_t* head = Space(kDumpHeader.size() + 3);
      std::memcpy(head, kDumpHeader.data(), kDumpHeader.size());
      std::memcpy(head + kDumpHeader.size(), kLineEnd, 3);
      size += kDumpHeader.size() + 3;
      for (size_t off = 0; off < n; off += 16) {
        uint8_t* out = Space(kDumpLineMax);  // may move the buffer
        size = static_cast<size_t>(PutDumpLine(out, p + off, std::min<size_t>(16, n - off), off) - buf.get());
        if (size > threshold) MaybeSpill();
      }
    } else {
      TVKBytes b;
      AppendAsciiText(b, kDumpHeader);
      b.insert(b.end(), kLineEnd, kLineEnd + 3);
      for (size_t off = 0; off < n; off += 16) {
        AppendConvertedDumpLine(b, p + off, std::min<size_t>(16, n - off), off);
        if (b.size() > threshold) {
          AddBytes(b.data(), b.size());
          b.clear();
        }
      }
      AddBytes(b.data(), b.size());
    }
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
        spill = platform::OpenFile(p, "wb");
        if (spill != nullptr) {
          // Every write is a whole block already.
          std::setvbuf(spill, nullptr, _IONBF, 0);
          spillPath = p;
          return true;
        }
        break;  // this directory cannot take it; try the next
      }
    }
    spillFailed = true;
    return false;
  }

  // Moves the bytes held to the end of the spill file once they pass the
  // threshold. When no file can be made or the disk refuses, the lines
  // simply stay in memory from then on.
  void MaybeSpill() {
    if (size <= threshold || spillFailed) return;
    WriteSpill();
  }
  bool WriteSpill() {
    if (spillFailed || (spill == nullptr && !OpenSpill())) return false;
    if (std::fwrite(buf.get(), 1, size, spill) != size || std::fflush(spill) != 0) {
      // Whatever part did reach the file lies past spilledBytes and is
      // never read back.
      spillFailed = true;
      return false;
    }
    spilledBytes += size;
    size = 0;
    return true;
  }

  // Feeds the saved bytes, the spilled part first, to sink in pieces.
  template <typename Sink>
  bool ForEachChunk(Sink&& sink) {
    if (spilledBytes != 0 && !CopyFileStart(spillPath, spilledBytes, sink)) return false;
    return size == 0 || sink(buf.get(), size);
  }
};

TVKDebugList::TVKDebugList(size_t spillThreshold) : d_(new Impl(spillThreshold)) {}
TVKDebugList::~TVKDebugList() = default;

void TVKDebugList::Add(std::u16string_view line) {
  if (IsAsciiText(line.data(), line.size()) && AnsiKeepsAscii()) {
    d_->AddTextLine(line.size(), [line](uint8_t* out) {
      for (char16_t c : line) *out++ = static_cast<uint8_t>(c);
    });
  } else {
    const TVKBytes b = StringToCodePageBytes(line, 0);
    d_->AddTextLine(b.size(), [&b](uint8_t* out) {
      if (!b.empty()) std::memcpy(out, b.data(), b.size());
    });
  }
}

void TVKDebugList::Add(std::string_view line) {
  if (!IsAsciiText(line.data(), line.size())) {
    Add(std::u16string_view(Utf8ToUtf16(line)));
  } else if (AnsiKeepsAscii()) {
    d_->AddTextLine(line.size(), [line](uint8_t* out) {
      if (!line.empty()) std::memcpy(out, line.data(), line.size());
    });
  } else {
    const TVKBytes b = StringToCodePageBytes(Widen(line), 0);
    d_->AddTextLine(b.size(), [&b](uint8_t* out) {
      if (!b.empty()) std::memcpy(out, b.data(), b.size());
    });
  }
}

void TVKDebugList::AddDump(const uint8_t* data, size_t size) { d_->AddDump(data, size); }

void TVKDebugList::Append(const TVKDebugList& other) {
  if (&other == this || other.d_->lines == 0) return;
  other.d_->ForEachChunk([this](const uint8_t* p, size_t n) {
    d_->AddBytes(p, n);
    return true;
  });
  d_->lines += other.d_->lines;
  d_->lastEmpty = other.d_->lastEmpty;
}

bool TVKDebugList::Empty() const { return d_->lines == 0; }
bool TVKDebugList::LastLineEmpty() const { return d_->lastEmpty; }
size_t TVKDebugList::LineCount() const { return d_->lines; }
bool TVKDebugList::Spilled() const { return d_->spilledBytes != 0; }
std::filesystem::path TVKDebugList::SpillFile() const { return d_->spillPath; }

bool TVKDebugList::Save(const std::filesystem::path& file) const {
  std::FILE* f = platform::OpenFile(file, "wb");
  if (f == nullptr) return false;
  std::setvbuf(f, nullptr, _IONBF, 0);
  const bool ok = d_->ForEachChunk([f](const uint8_t* p, size_t n) { return std::fwrite(p, 1, n, f) == n; });
  return std::fclose(f) == 0 && ok;
}

bool TVKDebugList::SaveAndClear(const std::filesystem::path& file) {
  Impl& d = *d_;
  bool ok = false;
  // A spilled list completes its file and puts it in place: the long part
  // of the trace is never read back.
  if (d.spilledBytes != 0 && !d.spillFailed && d.WriteSpill()) {
    std::fclose(d.spill);
    d.spill = nullptr;
    if (platform::RenameReplacing(d.spillPath, file)) {
      d.spillPath.clear();
      ok = true;
    }
  }
  // Otherwise (nothing spilled, a refused disk, another volume) the bytes
  // are copied.
  if (!ok) ok = Save(file);
  const size_t threshold = d.threshold;
  d_ = std::make_unique<Impl>(threshold);
  return ok;
}

TVKBytes TVKDebugList::SavedBytes() const {
  TVKBytes out;
  d_->ForEachChunk([&out](const uint8_t* p, size_t n) {
    out.insert(out.end(), p, p + n);
    return true;
  });
  return out;
}

std::vector<TVKDumpLine> HexDumpLines(const uint8_t* data, size_t size) {
  std::vector<TVKDumpLine> lines;
  lines.reserve(1 + (size + 15) / 16);
  lines.push_back({std::string(kDumpHeader), {}});
  for (size_t off = 0; off < size; off += 16) {
    const size_t n = std::min<size_t>(16, size - off);
    char text[kDumpLineMax];
    TVKDumpLine l;
    l.text.assign(text, PutDumpText(text, data + off, n, off));
    for (size_t i = 0; i < n; ++i) l.printable.push_back(kDump.shown[data[off + i]]);
    lines.push_back(std::move(l));
  }
  return lines;
}

}  // namespace vk
