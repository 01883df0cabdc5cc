#include "runtime/debug_list.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <limits>
#include <system_error>
#include <vector>

#include "data/codepage.h"
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

template <typename Char>
bool AllAscii(std::basic_string_view<Char> s) {
  for (Char c : s)
    if (static_cast<std::make_unsigned_t<Char>>(c) >= 0x80) return false;
  return true;
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

std::atomic<uint64_t> g_spillCounter{0};

}  // namespace

struct TVKDebugList::Impl {
  TVKBytes buf;  // saved-form bytes not yet moved to the spill file
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
  }

  // Feeds the spilled part and then the in-memory part to sink.
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
};

TVKDebugList::TVKDebugList(size_t spillThreshold) : d_(new Impl(spillThreshold)) {}
TVKDebugList::~TVKDebugList() = default;

void TVKDebugList::Add(std::u16string_view line) {
  if (AllAscii(line)) {
    if (AnsiKeepsAscii()) {
      for (char16_t c : line) d_->buf.push_back(static_cast<uint8_t>(c));
    } else {
      TVKBytes b = StringToCodePageBytes(line, 0);
      d_->buf.insert(d_->buf.end(), b.begin(), b.end());
    }
  } else {
    TVKBytes b = StringToCodePageBytes(line, 0);
    d_->buf.insert(d_->buf.end(), b.begin(), b.end());
  }
  d_->buf.insert(d_->buf.end(), kLineEnd, kLineEnd + 3);
  ++d_->lines;
  d_->lastEmpty = line.empty();
  d_->MaybeSpill();
}

void TVKDebugList::Add(std::string_view line) {
  if (AllAscii(line)) {
    AppendAsciiText(d_->buf, line);
    d_->buf.insert(d_->buf.end(), kLineEnd, kLineEnd + 3);
    ++d_->lines;
    d_->lastEmpty = line.empty();
    d_->MaybeSpill();
  } else {
    Add(std::u16string_view(Utf8ToUtf16(line)));
  }
}

void TVKDebugList::AddDump(const uint8_t* data, size_t size) {
  auto& buf = d_->buf;
  const bool ascii = AnsiKeepsAscii();
  buf.reserve(buf.size() + (kDumpTextWidth + 3) + (size + 15) / 16 * (kDumpTextWidth + 1 + 16 + 3));
  AppendAsciiText(buf, kDumpHeader);
  buf.insert(buf.end(), kLineEnd, kLineEnd + 3);
  ++d_->lines;
  for (size_t off = 0; off < size; off += 16) {
    AppendDumpLine(buf, data + off, std::min<size_t>(16, size - off), off, ascii);
    ++d_->lines;
  }
  d_->lastEmpty = false;
  d_->MaybeSpill();
}

void TVKDebugList::Append(const TVKDebugList& other) {
  if (&other == this || other.d_->lines == 0) return;
  other.d_->ForEachChunk([this](const uint8_t* p, size_t n) {
    d_->buf.insert(d_->buf.end(), p, p + n);
    d_->MaybeSpill();
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
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  bool ok = d_->ForEachChunk([&f](const uint8_t* p, size_t n) {
    f.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
    return static_cast<bool>(f);
  });
  f.close();
  return ok && !f.fail();
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
