#include "runtime/debug_output.h"

#include <atomic>


#include <cmath>
#include <fstream>
#include <mutex>
#include <system_error>

#include "runtime/codepage.h"
#include "runtime/ini_file.h"
#include "runtime/sysparams.h"

namespace vk {

namespace fs = std::filesystem;

namespace {

std::u16string W(std::string_view ascii) { return Widen(ascii); }

void SetModTime(const fs::path& p, TDateTime t) { platform::SetFileModTime(p, t); }

void CopyDated(const fs::path& from, const fs::path& to, TDateTime t) {
  std::error_code ec;
  if (!fs::is_regular_file(from, ec)) return;
  if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) SetModTime(to, t);
}

bool OutputsOn() {
  const auto& p = SysParams();
  return p.OutputDebug || p.OutputLog > 0;
}

// Appends bytes to a file, creating its directory and the file when it does
// not exist. Calls from several threads are serialised.
void AppendToFile(const fs::path& file, const TVKBytes& bytes) {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  std::error_code ec;
  if (!fs::exists(file, ec) && file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  std::ofstream f(file, std::ios::binary | std::ios::app);
  if (!f) return;
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool AllDigits(std::u16string_view s) {
  for (char16_t c : s)
    if (c < u'0' || c > u'9') return false;
  return true;
}

// A dotted IPv4 address "%d.%d.%d.%d" at the start of name; returns its
// length, 0 when there is none.
size_t DottedAddressLength(std::u16string_view name) {
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part != 0) {
      if (i >= name.size() || name[i] != u'.') return 0;
      ++i;
    }
    size_t start = i;
    int v = 0;
    while (i < name.size() && i - start < 3 && name[i] >= u'0' && name[i] <= u'9') v = v * 10 + (name[i++] - u'0');
    if (i == start || v > 255) return 0;
    if (i < name.size() && name[i] >= u'0' && name[i] <= u'9') return 0;
  }
  return i;
}

}  // namespace

std::string FormatDateTimeMs(const platform::LocalTime& t) {
  return StrFormat("%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                     t.msec);
}
std::string FormatDateTimeSec(const platform::LocalTime& t) {
  return StrFormat("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}
std::string FormatTimeMs(const platform::LocalTime& t) {
  return StrFormat("%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.msec);
}
std::string FormatFileStamp(const platform::LocalTime& t) {
  return StrFormat("%04d%02d%02d_%02d%02d%02d_%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                     t.msec);
}
std::string FormatDate8(const platform::LocalTime& t) {
  return StrFormat("%04d%02d%02d", t.year, t.month, t.day);
}
std::string FormatElapsed(TDateTime start, TDateTime stop) {
  int64_t ms = std::llround((stop - start) * 86400000.0);
  if (ms < 0) ms = 0;
  return StrFormat("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                   static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                   static_cast<long long>(ms % 1000));
}

namespace {

// "<addr>_<stamp>_<unique>_0x<ProcType>_0x<DataType>": how the SDK's own
// file names start.
std::u16string NameStart(std::u16string_view addr, const platform::LocalTime& t, uint64_t unique, uint8_t procType,
                         int32_t dataType) {
  return std::u16string(addr) + W(StrFormat("_%s_%llu_0x%02x_0x%04x", FormatFileStamp(t).c_str(),
                                            static_cast<unsigned long long>(unique), unsigned{procType},
                                            static_cast<unsigned>(dataType) & 0xFFFF));
}

// The lines a task header and a detection failure share after the address
// line: the request, the file, the parameter file and the program.
void AddRequestLines(TVKDebugList& list, uint8_t procType, int32_t dataType, int32_t dataID,
                     std::u16string_view fileName, bool paramFileState) {
  const auto& params = SysParams();
  list.Add(StrFormat("ProcType:0x%02x  DataType:0x%04x  DataID:0x%02x", unsigned{procType},
                     static_cast<unsigned>(dataType) & 0xFFFF, static_cast<unsigned>(dataID)));
  list.Add(kDashLine);
  list.Add(u"FileName:" + std::u16string(fileName));
  list.Add(kDashLine);
  list.Add(u"Param File:" + params.ParamFile.u16string());
  if (paramFileState)
    list.Add(params.ParamFileExists ? "Param File exists." : "Param File does not exist, use default param.");
  list.Add(u"Main Program:" + platform::ExecutablePath().u16string());
  list.Add(params.DetectProtocol ? "DetectProtocol:True" : "DetectProtocol:False");
  list.Add(kDashLine);
}

}  // namespace

std::u16string BuildBaseFileName(std::u16string_view addr, TDateTime time, uint64_t uniqueNumber, uint8_t procType,
                                 int32_t dataType) {
  return NameStart(addr, platform::FromDateTime(time), uniqueNumber, procType, dataType);
}

void WriteTaskHeader(TVKDebugList& list, const TVKTaskHeaderInfo& info) {
  list.Add(kStarLine);
  list.Add(u"IP Address:" + info.Addr + W(StrFormat("  Port:%u  ClassName:%s", unsigned{info.Port}, info.ClassName.c_str())));
  AddRequestLines(list, info.ProcType, info.DataType, info.DataID, info.FileName, true);
  list.AddDump(info.DeviceBlock);
  list.Add(std::string_view());

  const std::vector<std::u16string>& items = info.DeviceItems;
  // Two items per line, each padded to 32 characters.
  auto padded = [](const std::u16string& s) {
    std::u16string p = s;
    if (p.size() < 32) p.append(32 - p.size(), u' ');
    return p;
  };
  for (size_t i = 0; i < items.size(); i += 2) {
    std::u16string line = padded(items[i]);
    if (i + 1 < items.size()) line += padded(items[i + 1]);
    list.Add(line);
  }
  list.Add(kStarLine);
  list.Add(std::string_view());
}

void AppendDetectionLines(TVKDebugList& list, const TVKDebugList& detection) {
  if (detection.Empty()) return;
  list.Append(detection);
  list.Add(kDashLine);
}

std::string ProgressLogText(uint32_t errorCode, uint32_t index, uint32_t total) {
  // Progress is logged for every record: its format is compiled in.
  if (errorCode == 0) return StrFormat("Complete, Total: %u", total);
  if (errorCode == 1) return StrFormat("Progress: %u/%u", index, total);
  return StrFormat("Proc Failed! ErrorCode:%u  Progress: %u/%u", errorCode, index, total);
}

void SaveTaskFiles(const TVKTaskFiles& files) {
  try {
    const std::u16string failedSuffix = W(StrFormat("_failed_%u.txt", static_cast<unsigned>(files.ErrorCode)));
    if (files.DebugList != nullptr) {
      auto& list = *files.DebugList;
      const TDateTime stop = platform::NowDateTime();
      list.Add(std::string_view());
      list.Add("Start at: " + FormatDateTimeMs(files.StartTime));
      list.Add(" Stop at: " + FormatDateTimeMs(stop));
      list.Add(" Elapsed: " + FormatElapsed(files.StartTime, stop));
      const fs::path name =
          files.DebugDir / (files.BaseFileName + (files.Failed ? u"_debug" + failedSuffix : u"_debug.txt"));
      if (list.SaveAndClear(name)) SetModTime(name, files.StartTime);
      if (files.ProcType == 0 && !files.FileName.empty())
        CopyDated(files.FileName, files.DebugDir / (files.BaseFileName + u"_" + files.FileName.filename().u16string()),
                  files.StartTime);
    }
    if (files.LogList != nullptr && (files.OutputLog >= 2 || (files.OutputLog == 1 && files.Failed))) {
      const fs::path name =
          files.DebugDir / (files.BaseFileName + (files.Failed ? u"_log" + failedSuffix : u"_log.txt"));
      if (files.LogList->SaveAndClear(name)) SetModTime(name, files.StartTime);
    }
  } catch (...) {
    // Debug output never changes a task's result.
  }
}

void CopyUploadFile(const fs::path& debugDir, std::u16string_view baseFileName, const fs::path& fileName,
                    TDateTime startTime) {
  try {
    // The copy belongs to the debug output: with both outputs off nothing
    // is left in the debug directory.
    if (fileName.empty() || !OutputsOn()) return;
    CopyDated(fileName, debugDir / (std::u16string(baseFileName) + u"_" + fileName.filename().u16string()),
              startTime);
  } catch (...) {
  }
}

bool IsSdkDebugFileName(std::u16string_view name) {
  // Task files, their data-file copies and detection failure files:
  // a dotted address, "_", an 8-digit date and "_".
  if (size_t a = DottedAddressLength(name); a != 0) {
    return name.size() > a + 10 && name[a] == u'_' && AllDigits(name.substr(a + 1, 8)) && name[a + 9] == u'_';
  }
  constexpr std::u16string_view kInfo = u"GetDeviceInfo_";
  constexpr std::u16string_view kInfoEnd = u"_connect failed.txt";
  if (name.starts_with(kInfo)) {
    return name.size() >= kInfo.size() + 9 + kInfoEnd.size() && AllDigits(name.substr(kInfo.size(), 8)) &&
           name[kInfo.size() + 8] == u'_' && name.ends_with(kInfoEnd);
  }
  const std::u16string spillPrefix = Widen(kDebugSpillPrefix);
  const std::u16string spillExt = Widen(kDebugSpillExtension);
  if (name.starts_with(spillPrefix) && name.ends_with(spillExt) &&
      name.size() > spillPrefix.size() + spillExt.size()) {
    std::u16string_view mid = name.substr(spillPrefix.size(), name.size() - spillPrefix.size() - spillExt.size());
    for (char16_t c : mid)
      if (!(c == u'_' || (c >= u'0' && c <= u'9'))) return false;
    return true;
  }
  return false;
}

void PurgeOldDebugFiles(const fs::path& directory, int32_t days) {
  try {
    const int32_t today = platform::Today();
    const fs::path lastIni = directory / "last.ini";
    if (TVKIniFile(lastIni).ReadInteger(u"Param", u"Last", 0) == today) return;

    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code sec;
      // Only regular files: never directories, never what a link points to.
      if (!it->is_regular_file(sec) || it->is_symlink(sec)) continue;
      const fs::path& p = it->path();
      if (!IsSdkDebugFileName(p.filename().u16string())) continue;
      TDateTime mod = 0;
      if (!platform::GetFileModTime(p, mod)) continue;
      const int64_t age = static_cast<int64_t>(today) - static_cast<int64_t>(std::floor(mod));
      if (age > days) fs::remove(p, sec);
    }
    WriteIniInteger(lastIni, "Param", "Last", today);
  } catch (...) {
  }
}

fs::path WriteDetectionFailure(const TVKDebugList& detection, const TVKDetectionFailure& f) {
  try {
    if (!OutputsOn()) return {};
    const auto& params = SysParams();
    const platform::LocalTime now = platform::Now();
    TVKDebugList list;
    list.Add(kStarLine);
    list.Add(u"IP Address:" + f.Addr + W(StrFormat("  Port:%u  ProtocolType:%u", unsigned{f.Port}, unsigned{f.ProtocolType})));
    AddRequestLines(list, f.ProcType, f.DataType, f.DataID, f.FileName, false);
    list.Add(f.Message + u"  " + W(FormatDateTimeSec(now)));
    list.Add(kStarLine);
    list.Append(detection);
    // Failures can follow each other within a millisecond on one thread: a
    // process-wide sequence number keeps every record in a file of its own.
    static std::atomic<uint64_t> sequence{0};
    const std::u16string name = NameStart(f.Addr, now, platform::CurrentThreadId(), f.ProcType, f.DataType) +
                                W(StrFormat("_%llu_", static_cast<unsigned long long>(++sequence))) + f.FileTag + u".txt";
    const fs::path file = fs::path(params.DebugDir) / name;
    return list.Save(file) ? file : fs::path();
  } catch (...) {
    return {};
  }
}

void WriteGetDeviceInfoFailure(std::u16string_view addr, uint16_t port, uint8_t protocolType) {
  try {
    if (!OutputsOn()) return;
    const platform::LocalTime now = platform::Now();
    const fs::path file =
        fs::path(SysParams().DebugDir) /
        W(StrFormat("GetDeviceInfo_%s_%llu_connect failed.txt", FormatDate8(now).c_str(),
                    static_cast<unsigned long long>(platform::CurrentThreadId())));
    std::u16string text = u"IP Address:" + std::u16string(addr) +
                          W(StrFormat("  Port:%u  ProtocolType:%u\r\n", unsigned{port}, unsigned{protocolType})) +
                          W("Connect Failed!  " + FormatDateTimeSec(now) + "\r\n") + W(kDashLine);
    WriteLog(text, file.u16string());
  } catch (...) {
  }
}

fs::path DefaultLogDirectory() {
  const fs::path lib = platform::LibraryPath();
  return lib.parent_path() / (lib.stem().u16string() + u"_log");
}

void WriteLog(std::u16string_view S, std::u16string_view fn) {
  try {
    fs::path file;
    const fs::path given(fn);
    if (fn.empty()) {
      file = DefaultLogDirectory() / (FormatDate8(platform::Now()) + ".txt");
    } else if (given.has_parent_path()) {
      file = given;
    } else {
      file = DefaultLogDirectory() / given;
    }
    TVKBytes bytes = StringToCodePageBytes(S, 0);
    bytes.push_back('\r');
    bytes.push_back('\n');
    AppendToFile(file, bytes);
  } catch (...) {
  }
}

}  // namespace vk
