#include "device/device_header.h"


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
    s += StrFormat("%02X", unsigned{p[i]});
  }
  return s;
}

// "Version:V" text: a TSecr device shows its own version text; the others
// show the number's hex digits with a dot after the first (0x6031 -> 6.031).
std::u16string VersionText(const TVKSDKDeviceRawData& raw, const TVKSDKDeviceInfo& info) {
  if (raw.ProtocolType == ptTSecr) return TSecrVersionText(raw);
  std::string hex = StrFormat("%04X", static_cast<unsigned>(info.Version));
  return W(hex.substr(0, 1) + "." + hex.substr(1));
}

}  // namespace

void SetHeaderDevice(TVKTaskHeaderInfo& header, const TVKSDKDeviceRawData& raw, const TVKSDKDeviceInfo& info) {
  const auto& di = info;
  // Only a Hecr block carries the scale's code page and address.
  const bool hecr = raw.ProtocolType == ptHecr;
  const std::array<uint8_t, 4> ip = raw.DeviceIP();

  header.DeviceBlock.assign(raw.Raw, raw.Raw + sizeof(raw.Raw));
  header.DeviceItems = {
      u"Name:" + FieldText(di.Name, sizeof(di.Name), 0),
      W(StrFormat("ID:%u", static_cast<unsigned>(di.ID))),
      u"Version:V" + VersionText(raw, di),
      W(StrFormat("LFCodeLen:%u", static_cast<unsigned>(di.LFCodeLen))),
      W(StrFormat("Country:%u", static_cast<unsigned>(di.Country))),
      W(StrFormat("CodePage:%u", static_cast<unsigned>(hecr ? raw.CodePage() : 0))),
      W(StrFormat("KeyType:%u", static_cast<unsigned>(di.KeyType))),
      W(StrFormat("HotkeyCount:%u", static_cast<unsigned>(di.HotKeyCount))),
      u"CPUTYPE:" + FieldText(di.CPUType, sizeof(di.CPUType), 0),
      W(StrFormat("DisplayType:%u", static_cast<unsigned>(di.DisplayType))),
      W(StrFormat("DefaultProtocol:0x%02X", unsigned{di.DefaultProtocol})),
      W(StrFormat("TouchFlag:%u", static_cast<unsigned>(di.TouchFlag))),
      W("Mac Address:" + HexBytes(di.MacAddr, sizeof(di.MacAddr), "-")),
      hecr ? W(StrFormat("DeviceIP:%u.%u.%u.%u", unsigned{ip[0]}, unsigned{ip[1]}, unsigned{ip[2]}, unsigned{ip[3]})) : W("DeviceIP:N/A"),
      W(StrFormat("CPUIDLen:%u", static_cast<unsigned>(di.CPUIDLen))),
      W("CPUID:" + HexBytes(di.CPUID, sizeof(di.CPUID), "")),
      u"AIName:" + FieldText(di.AIName, sizeof(di.AIName), 0),
      W(StrFormat("AIID:%u", static_cast<unsigned>(di.AIID))),
  };
}

}  // namespace vk
