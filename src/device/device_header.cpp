#include "device/device_header.h"

#include <fmt/format.h>

#include <array>
#include <string>

#include "device/device_blocks.h"
#include "runtime/codepage.h"
#include "runtime/types.h"

namespace vk {

namespace {

std::u16string W(std::string_view ascii) { return Widen(ascii); }

// Text of a fixed-size 8-bit character field, up to its first zero byte.
std::u16string FieldText(const void* p, size_t size, uint32_t codePage) {
  const auto* b = static_cast<const uint8_t*>(p);
  size_t n = 0;
  while (n < size && b[n] != 0) ++n;
  return CodePageBytesToString(b, n, codePage);
}

std::string HexBytes(const uint8_t* p, size_t n, std::string_view sep) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (i != 0) s += sep;
    s += fmt::format("{:02X}", p[i]);
  }
  return s;
}

// "Version:V" text: a TSecr device shows its own version text; the others
// show the number's hex digits with a dot after the first (0x6031 -> 6.031).
std::u16string VersionText(const TVKSDKDeviceRawData& raw, const TVKSDKDeviceInfo& info) {
  if (raw.ProtocolType == ptTSecr) return TSecrVersionText(raw);
  std::string hex = fmt::format("{:04X}", static_cast<uint32_t>(info.Version));
  return W(hex.substr(0, 1) + "." + hex.substr(1));
}

}  // namespace

void SetHeaderDevice(TVKTaskHeaderInfo& header, const TVKSDKDeviceRawData& raw, const TVKSDKDeviceInfo& info) {
  // Fields of the packed record are copied into prvalues before formatting
  // (fmt takes its arguments by reference).
  const auto& di = info;
  // Only a Hecr block carries the scale's code page and address.
  const bool hecr = raw.ProtocolType == ptHecr;
  const std::array<uint8_t, 4> ip = raw.DeviceIP();

  header.DeviceBlock.assign(raw.Raw, raw.Raw + sizeof(raw.Raw));
  header.DeviceItems = {
      u"Name:" + FieldText(di.Name, sizeof(di.Name), 0),
      W(fmt::format("ID:{}", static_cast<uint32_t>(di.ID))),
      u"Version:V" + VersionText(raw, di),
      W(fmt::format("LFCodeLen:{}", di.LFCodeLen)),
      W(fmt::format("Country:{}", di.Country)),
      W(fmt::format("CodePage:{}", hecr ? raw.CodePage() : 0)),
      W(fmt::format("KeyType:{}", di.KeyType)),
      W(fmt::format("HotkeyCount:{}", static_cast<unsigned>(di.HotKeyCount))),
      u"CPUTYPE:" + FieldText(di.CPUType, sizeof(di.CPUType), 0),
      W(fmt::format("DisplayType:{}", di.DisplayType)),
      W(fmt::format("DefaultProtocol:0x{:02X}", di.DefaultProtocol)),
      W(fmt::format("TouchFlag:{}", di.TouchFlag)),
      W("Mac Address:" + HexBytes(di.MacAddr, sizeof(di.MacAddr), "-")),
      hecr ? W(fmt::format("DeviceIP:{}.{}.{}.{}", ip[0], ip[1], ip[2], ip[3])) : W("DeviceIP:N/A"),
      W(fmt::format("CPUIDLen:{}", di.CPUIDLen)),
      W("CPUID:" + HexBytes(di.CPUID, sizeof(di.CPUID), "")),
      u"AIName:" + FieldText(di.AIName, sizeof(di.AIName), 0),
      W(fmt::format("AIID:{}", static_cast<uint32_t>(di.AIID))),
  };
}

}  // namespace vk
