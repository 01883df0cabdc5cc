// The Pecr information block: its field table, the keyboard byte, legacy
// boards and the board name.
#include <cstring>

#include "device/device_blocks.h"
#include "device/device_info_fields.h"
#include "runtime/codepage.h"

namespace vk {

namespace {

constexpr size_t kPowerFlag = 27;
constexpr size_t kMakerTag = 42;
constexpr size_t kOwnName = 55;
constexpr size_t kOwnNameSize = 8;

constexpr TVKInfoField kPecrFields[] = {
    {17, 4, VK_INFO_FIELD(Version), TVKRawOrder::BE},
    {21, 4, VK_INFO_FIELD(BuildDate), TVKRawOrder::BE},
    {51, 1, VK_INFO_FIELD(DisplayType), TVKRawOrder::Bytes},
    {84, 4, VK_INFO_FIELD(ID), TVKRawOrder::BE},
    {90, 8, VK_INFO_FIELD(NickId), TVKRawOrder::Bytes},
    {98, 1, VK_INFO_FIELD(IsBusy), TVKRawOrder::Bytes},
    {99, 1, VK_INFO_FIELD(IsHangScale), TVKRawOrder::Bytes},
    {109, 1, VK_INFO_FIELD(CPUIDLen), TVKRawOrder::Bytes},
    {110, 16, VK_INFO_FIELD(CPUID), TVKRawOrder::Bytes},
};
static_assert(InfoFieldsFit(kPecrFields), "every Pecr field lies inside the block and the record");

const char16_t* PowerText(uint8_t flag) {
  switch (flag) {
    case 0x00: return u"5V";
    case 0xAC: return u"3.3V";
    default: return u"None";
  }
}

// Boards that carry the maker tag may name themselves; the others, and those
// whose own name is blank, are NB7P with their power supply.
std::u16string BoardName(const uint8_t* raw, bool legacy) {
  if (legacy) return u"NB7P";
  const std::u16string generic = u"NB7P(" + std::u16string(PowerText(raw[kPowerFlag])) + u")";
  if (std::memcmp(raw + kMakerTag, "VEMKA", 5) != 0) return generic;
  std::u16string own = TrimControls(CodePageBytesToString(raw + kOwnName, kOwnNameSize, 0));
  return own.empty() ? generic : own;
}

}  // namespace

TVKSDKDeviceInfo PecrBlockToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info = NewDeviceInfo(raw);
  CopyInfoFields(raw, kPecrFields, info);
  const uint8_t key = raw.PecrKeyType();
  info.KeyType = key == 209 ? 2 : key == 0 ? 1 : key;

  const bool legacy = raw.PecrLegacyBoard();
  if (legacy) {
    // What a legacy board's block cannot say.
    info.Version = 0;
    info.BuildDate = 0x20050101;
    info.KeyType = 2;
    info.ID = 0;
    info.CPUIDLen = 0;
    std::memset(info.CPUID, 0, sizeof(info.CPUID));
  }
  StoreAnsiName(BoardName(raw.Raw, legacy), info.Name, 10);
  return info;
}

}  // namespace vk
