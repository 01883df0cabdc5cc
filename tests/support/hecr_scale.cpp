#include "support/hecr_scale.h"

#include <fstream>
#include <sstream>

#include "support/loopback.h"

namespace vktest {

HecrScale::HecrScale(const vemkasim::HecrInfo& info, int host) : addr_(vk::test::LoopbackAddr(host)) {
  dev_ = &net_.AddHecr(addr_, info);
  tables_ = std::make_unique<vemkasim::SimHecrTables>(*dev_);
  net_.Start(false);
}

HecrScale::~HecrScale() {
  tables_->CancelLateAnswers();
  net_.Stop();
}

std::vector<vemkasim::HecrFrame> HecrScale::Frames(uint16_t cmd) const {
  std::vector<vemkasim::HecrFrame> out;
  for (const auto& d : dev_->Log().Of(vemkasim::Direction::Received)) {
    auto f = vemkasim::ParseHecr(d.bytes);
    if (f && f->cmd == cmd) out.push_back(*f);
  }
  return out;
}

uint32_t HecrScale::Exec(Sdk& sdk, uint32_t procType, int32_t dataType, const std::filesystem::path& file,
                         Recorder* rec, uint32_t dataId) {
  Recorder local;
  Recorder* r = rec ? rec : &local;
  return sdk.Sync_ExecTask(U16(addr_).c_str(), 5002, 2, procType | dataId << 8, dataType, U16(file.string()).c_str(),
                           &Recorder::Cb, r);
}

std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) {
  std::filesystem::path p = TempDir() / name;
  std::ofstream(p, std::ios::binary) << bytes;
  return p;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::string s = ReadFile(path);
  if (s.rfind("\xEF\xBB\xBF", 0) == 0) s.erase(0, 3);
  std::vector<std::string> out;
  size_t start = 0;
  while (start < s.size()) {
    size_t end = s.find('\n', start);
    if (end == std::string::npos) end = s.size();
    std::string line = s.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

std::vector<std::vector<std::string>> ReadTable(const std::filesystem::path& path) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(path))
    if (!line.empty()) rows.push_back(Cells(line));
  return rows;
}

uint32_t Convert(Sdk& sdk, const std::u16string& deviceInfo, uint32_t procType, int32_t dataType,
                 const std::filesystem::path& text, const std::filesystem::path& bin) {
  Recorder r;
  const std::u16string t = U16(text.string()), b = U16(bin.string());
  sdk.WaitForTask(sdk.ExecConvertTaskW(deviceInfo.c_str(), 2, procType, dataType, t.c_str(), b.c_str(), 0, 0,
                                       &Recorder::Cb, &r));
  return r.Last().code;
}

}  // namespace vktest
