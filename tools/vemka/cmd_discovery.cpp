#include "cmd_discovery.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host_util.h"
#include "vemkasdk.h"

namespace vemka {

namespace {

constexpr int32_t kScanCapacity = 256;

const char* FamilyName(uint32_t protocolType) {
  switch (protocolType) {
    case 1: return "Pecr";
    case 2: return "Hecr";
    case 3: return "TSecr";
    default: return "none";
  }
}

std::string Dotted(uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." + std::to_string((a >> 8) & 0xFF) +
         "." + std::to_string(a & 0xFF);
}

// Text of a zero-filled 8-bit field (the SDK's ANSI code page).
std::string FieldText(const char* p, size_t size) {
  size_t n = 0;
  while (n < size && p[n] != 0) ++n;
  return std::string(p, n);
}

std::string Hex(const uint8_t* p, size_t size) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(buf, sizeof(buf), i ? " %02X" : "%02X", p[i]);
    out += buf;
  }
  return out;
}

// TSecr versions are four dotted numbers packed into bytes; the others are
// firmware numbers best read in hexadecimal.
std::string VersionText(uint32_t protocolType, uint32_t version) {
  if (protocolType == 3) return Dotted(version);
  char buf[16];
  std::snprintf(buf, sizeof(buf), "0x%04X", version);
  return buf;
}

// Days since 1899-12-30 with the time of day as fraction.
std::string DateTimeText(double days) {
  if (days == 0 || !std::isfinite(days) || days < -693593 || days > 2958466) return "-";
  int64_t whole = static_cast<int64_t>(std::floor(days));
  int64_t secs = std::llround((days - static_cast<double>(whole)) * 86400.0);
  if (secs >= 86400) ++whole, secs -= 86400;
  // Civil date from a day count (days since 1970-01-01 after the shift).
  int64_t z = whole - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  char buf[128];
  std::snprintf(buf, sizeof(buf), "%04" PRId64 "-%02" PRId64 "-%02" PRId64 " %02" PRId64 ":%02" PRId64 ":%02" PRId64,
                y, m, d, secs / 3600, secs / 60 % 60, secs % 60);
  return buf;
}

std::string LetterText(uint8_t c) {
  if (c == 0) return "0";
  if (c >= 0x21 && c < 0x7F) return std::string("\"") + static_cast<char>(c) + "\" (" + std::to_string(c) + ")";
  return std::to_string(c);
}

// Address text, or a message and exit status 2.
uint32_t AddressOrExit(const std::string& text) {
  uint32_t a = 0;
  if (!ParseAddress(text, a)) {
    std::fprintf(stderr, "not an IPv4 address: %s\n", text.c_str());
    throw CLI::RuntimeError(2);
  }
  return a;
}

void PrintScan(const std::vector<TVKSDKDeviceInfo>& infos, int32_t n) {
  std::printf("%-6s %-15s %-6s %-16s %-10s %s\n", "Family", "Address", "Port", "Name", "ID", "Version");
  for (int32_t i = 0; i < n; ++i) {
    const TVKSDKDeviceInfo& d = infos[static_cast<size_t>(i)];
    const uint32_t protocolType = d.ProtocolType, addr = d.Addr, port = d.Port, id = d.ID, version = d.Version;
    std::printf("%-6s %-15s %-6u %-16s %-10u %s\n", FamilyName(protocolType), Dotted(addr).c_str(), port,
                FieldText(d.Name, sizeof(d.Name)).c_str(), id, VersionText(protocolType, version).c_str());
  }
  std::fprintf(stderr, "%d device%s found\n", n, n == 1 ? "" : "s");
}

void PrintInfo(const TVKSDKDeviceInfo& d) {
  auto line = [](const char* name, const std::string& value) { std::printf("%-17s %s\n", name, value.c_str()); };
  auto num = [](uint64_t v) { return std::to_string(v); };
  const uint32_t protocolType = d.ProtocolType;
  line("ProtocolType", num(protocolType) + " (" + FamilyName(protocolType) + ")");
  line("Addr", Dotted(d.Addr));
  line("Port", num(d.Port));
  line("Name", FieldText(d.Name, sizeof(d.Name)));
  line("ID", num(d.ID));
  line("Version", num(d.Version) + " (" + VersionText(protocolType, d.Version) + ")");
  line("Country", num(d.Country));
  line("DepartmentID", num(d.DepartmentID));
  line("KeyType", num(d.KeyType));
  line("PrinterDot", num(d.PrinterDot));
  line("PrnStartDate", DateTimeText(d.PrnStartDate));
  line("LabelPage", num(d.LabelPage));
  line("PrinterNo", num(d.PrinterNo));
  line("PLUStorage", num(d.PLUStorage));
  line("HotKeyCount", num(d.HotKeyCount));
  line("NutritionStorage", num(d.NutritionStorage));
  line("DiscountStorage", num(d.DiscountStorage));
  line("Note1Storage", num(d.Note1Storage));
  line("Note2Storage", num(d.Note2Storage));
  line("Note3Storage", num(d.Note3Storage));
  line("Note4Storage", num(d.Note4Storage));
  line("FirmwareVersion", Hex(d.FirmwareVersion, sizeof(d.FirmwareVersion)));
  line("DefaultProtocol", LetterText(d.DefaultProtocol));
  line("LFCodeLen", num(d.LFCodeLen));
  line("DeviceId", Hex(d.DeviceId, sizeof(d.DeviceId)));
  line("StockId", Hex(d.StockId, sizeof(d.StockId)));
  line("FontAreaBad", num(d.FontAreaBad));
  line("DataAreaBad", num(d.DataAreaBad));
  char build[16];
  std::snprintf(build, sizeof(build), "0x%08X", static_cast<unsigned>(d.BuildDate));
  line("BuildDate", build);
  line("DisplayType", num(d.DisplayType));
  line("NickId", Hex(d.NickId, sizeof(d.NickId)));
  line("IsBusy", num(d.IsBusy));
  line("IsHangScale", num(d.IsHangScale));
  line("MacAddr", Hex(d.MacAddr, sizeof(d.MacAddr)));
  line("SDCardErrFlag", num(d.SDCardErrFlag));
  line("CPUType", FieldText(d.CPUType, sizeof(d.CPUType)));
  line("CPUID", Hex(d.CPUID, sizeof(d.CPUID)));
  line("CPUIDLen", num(d.CPUIDLen));
  line("TouchFlag", num(d.TouchFlag));
  line("AIName", FieldText(d.AIName, sizeof(d.AIName)));
  line("AIID", num(d.AIID));
  line("SmallM3CPU", num(d.SmallM3CPU));
}

struct Options {
  std::string address;
  uint32_t protocol = 0;
  uint32_t port = 5002;
  int32_t timeOut = -1;
  int32_t tries = -1;
};

}  // namespace

void AddDiscoveryCommands(CLI::App& app) {
  auto scanOpts = std::make_shared<Options>();
  auto* scan = app.add_subcommand("scan", "list the devices at an address or on a segment (a.b.c.255)");
  scan->add_option("address", scanOpts->address, "device or segment address (dotted IPv4)")->required();
  scan->add_option("--protocol", scanOpts->protocol, "0 every family, 1 Pecr, 2 Hecr, 3 TSecr")->capture_default_str();
  scan->add_option("--timeout", scanOpts->timeOut, "ms to wait for answers (-1: the INI's GetDeviceTimeOut)")
      ->capture_default_str();
  scan->callback([scanOpts] {
    const uint32_t addr = AddressOrExit(scanOpts->address);
    std::vector<TVKSDKDeviceInfo> infos(kScanCapacity);
    const int32_t n = VemkaSDK_GetNetworkSectionDevicesInfoEx(addr, 0, scanOpts->protocol, infos.data(),
                                                              kScanCapacity, scanOpts->timeOut);
    PrintScan(infos, n);
  });

  auto infoOpts = std::make_shared<Options>();
  auto* info = app.add_subcommand("info", "show every field of one device's information record");
  info->add_option("address", infoOpts->address, "device address (dotted IPv4)")->required();
  info->add_option("--protocol", infoOpts->protocol, "0 detect, 1 Pecr, 2 Hecr, 3 TSecr")->capture_default_str();
  info->add_option("--port", infoOpts->port, "device port")->capture_default_str();
  info->add_option("--timeout", infoOpts->timeOut, "ms per attempt (-1: the INI's GetDeviceTimeOut)")
      ->capture_default_str();
  info->add_option("--tries", infoOpts->tries, "attempts (-1: the INI's GetDeviceTryCount)")->capture_default_str();
  info->callback([infoOpts] {
    const uint32_t addr = AddressOrExit(infoOpts->address);
    TVKSDKDeviceInfo record{};
    VemkaSDK_GetDeviceInfoEx(&record, addr, infoOpts->port, infoOpts->protocol, infoOpts->timeOut, infoOpts->tries);
    if (record.ProtocolType == 0) {
      std::fprintf(stderr, "no device answered at %s\n", infoOpts->address.c_str());
      throw CLI::RuntimeError(1);
    }
    PrintInfo(record);
  });
}

}  // namespace vemka
