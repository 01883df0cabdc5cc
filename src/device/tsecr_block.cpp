// The TSecr information block: its field table, the serial number, name
// and version texts.
#include <cstring>

#include "device/device_blocks.h"
#include "device/device_info_fields.h"
#include "runtime/codepage.h"

namespace vk {

namespace {

constexpr size_t kSerialText = 4;
constexpr size_t kSerialTextSize = 32;
constexpr size_t kNameText = 36;
constexpr size_t kNameTextSize = 16;
constexpr size_t kVersionText = 52;
constexpr size_t kVersionTextSize = 16;

constexpr TVKInfoField kTSecrFields[] = {
    {68, 4, VK_INFO_FIELD(Country), TVKRawOrder::LE},
    {76, 4, VK_INFO_FIELD(KeyType), TVKRawOrder::LE},
    {80, 8, VK_INFO_FIELD(PrinterDot), TVKRawOrder::LE},
    {88, 8, VK_INFO_FIELD(PrnStartDate), TVKRawOrder::Bytes},
    {96, 4, VK_INFO_FIELD(LabelPage), TVKRawOrder::LE},
    {100, 4, VK_INFO_FIELD(PrinterNo), TVKRawOrder::LE},
    {104, 4, VK_INFO_FIELD(DepartmentID), TVKRawOrder::LE},
    {112, 12, VK_INFO_FIELD(FirmwareVersion), TVKRawOrder::Bytes},
    {132, 8, VK_INFO_FIELD(NickId), TVKRawOrder::Bytes},
    {140, 1, VK_INFO_FIELD(IsBusy), TVKRawOrder::Bytes},
    {141, 1, VK_INFO_FIELD(IsHangScale), TVKRawOrder::Bytes},
    {155, 16, VK_INFO_FIELD(CPUID), TVKRawOrder::Bytes},
    {171, 1, VK_INFO_FIELD(CPUIDLen), TVKRawOrder::Bytes},
    {TVKSDKDeviceRawData::kTSecrClassLetter, 1, VK_INFO_FIELD(DefaultProtocol), TVKRawOrder::Bytes},
    {173, 5, VK_INFO_FIELD(AIName), TVKRawOrder::Bytes},
    {178, 4, VK_INFO_FIELD(AIID), TVKRawOrder::BE},
};
static_assert(InfoFieldsFit(kTSecrFields), "every TSecr field lies inside the block and the record");

// A decimal number of at most 10 digits with an optional sign, in 32 bits.
bool ParseDecimal(std::u16string_view s, uint32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  if (i == s.size() || s.size() - i > 10) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < u'0' || s[i] > u'9') return false;
    v = v * 10 + (s[i] - u'0');
  }
  if (v > (negative ? int64_t{2147483648} : int64_t{2147483647})) return false;
  out = static_cast<uint32_t>(negative ? -v : v);
  return true;
}

}  // namespace

uint32_t StrVer2IntVer(std::u16string_view Version) {
  if (Version.empty()) return 0;
  uint32_t result = 0;
  size_t start = 0;
  // Part i lands at bit ((3 - i) * 8) mod 32: a fifth part adds to the first.
  for (uint32_t part = 0;; ++part) {
    size_t dot = Version.find(u'.', start);
    if (dot == std::u16string_view::npos) dot = Version.size();
    uint32_t n = 0;
    if (!ParseDecimal(Version.substr(start, dot - start), n)) n = 0;
    result += n << ((3 - (part & 3)) * 8);
    if (dot == Version.size()) break;
    start = dot + 1;
  }
  return result;
}

uint32_t TSecrSerialToID(std::string_view Serial) {
  size_t b = 0, e = Serial.size();
  while (b < e && (Serial[b] == ' ' || Serial[b] == '\0')) ++b;
  while (e > b && (Serial[e - 1] == ' ' || Serial[e - 1] == '\0')) --e;
  std::string_view text = Serial.substr(b, e - b);
  if (text.size() > 8) text = text.substr(text.size() - 8);
  uint32_t id = 0;
  std::u16string wide(text.begin(), text.end());
  return ParseDecimal(wide, id) ? id : 0;
}

bool HasTSecrVersionText(const TVKSDKDeviceRawData& raw) {
  for (size_t i = kVersionText; i < kVersionText + kVersionTextSize; ++i)
    if (raw.Raw[i] != 0) return true;
  return false;
}

std::u16string TSecrVersionText(const TVKSDKDeviceRawData& raw) {
  return TrimControls(CodePageBytesToString(raw.Raw + kVersionText, kVersionTextSize, 65001));
}

TVKSDKDeviceInfo TSecrBlockToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info = NewDeviceInfo(raw);
  CopyInfoFields(raw, kTSecrFields, info);

  const char* text = reinterpret_cast<const char*>(raw.Raw);
  info.ID = TSecrSerialToID(std::string_view(text + kSerialText, kSerialTextSize));

  const std::string_view name = TrimControlBytes(std::string_view(text + kNameText, kNameTextSize));
  std::memcpy(info.Name, name.data(), name.size() < sizeof(info.Name) ? name.size() : sizeof(info.Name));

  info.Version = StrVer2IntVer(TSecrVersionText(raw));
  return info;
}

}  // namespace vk
