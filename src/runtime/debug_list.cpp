// Placeholder: text lines only. Replaced by the full debug list.
#include "runtime/debug_list.h"

#include <fstream>
#include <vector>

#include "data/codepage.h"

namespace vk {

struct TVKDebugList::Impl {
  std::vector<std::u16string> lines;
};

TVKDebugList::TVKDebugList() : d_(new Impl) {}
TVKDebugList::~TVKDebugList() = default;
void TVKDebugList::Add(std::u16string_view line) { d_->lines.emplace_back(line); }
void TVKDebugList::Add(std::string_view line) { d_->lines.push_back(Widen(line)); }
void TVKDebugList::AddDump(const uint8_t*, size_t) {}
void TVKDebugList::Append(const TVKDebugList& o) {
  for (auto& l : o.d_->lines) d_->lines.push_back(l);
}
bool TVKDebugList::Empty() const { return d_->lines.empty(); }
bool TVKDebugList::LastLineEmpty() const { return d_->lines.empty() || d_->lines.back().empty(); }
size_t TVKDebugList::LineCount() const { return d_->lines.size(); }
bool TVKDebugList::Save(const std::filesystem::path& file) const {
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  for (auto& l : d_->lines) {
    auto b = StringToCodePageBytes(l, 0);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    f.write(" \r\n", 3);
  }
  return static_cast<bool>(f);
}
std::vector<TVKDumpLine> HexDumpLines(const uint8_t*, size_t) { return {}; }

}  // namespace vk
