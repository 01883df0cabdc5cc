// The Hecr information block: its field table, the fix-ups for old
// firmware and the texts that need more than a copy.
#include <cstring>

#include "data/numbers.h"
#include "device/device_blocks.h"
#include "device/device_info_fields.h"
#include "runtime/codepage.h"

namespace vk {

namespace {

using Block = TVKSDKDeviceRawData;
constexpr size_t kBlockSize = sizeof(Block::Raw);

// Firmware below this version reports a block that needs fixing up.
constexpr uint32_t kFixedBlockVersion = 0x6031;
// Firmware of 0x6000 up to there fills bytes 146.. with leftovers.
constexpr uint32_t kLeftoverTailVersion = 0x5FFF;
constexpr size_t kNameText = 7;
constexpr size_t kNameTextSize = 16;
constexpr size_t kSerialDigits = 8;
constexpr size_t kStartDate = 64;  // century, year, month, day, hour, minute, second
constexpr uint8_t kKM40Letter = '*';

constexpr TVKInfoField kHecrFields[] = {
    {3, 4, VK_INFO_FIELD(ID), TVKRawOrder::BE},
    {Block::kHecrVersion, 2, VK_INFO_FIELD(Version), TVKRawOrder::BE},
    {Block::kHecrCountry, 1, VK_INFO_FIELD(Country), TVKRawOrder::Bytes},
    {Block::kHecrKeyType, 1, VK_INFO_FIELD(KeyType), TVKRawOrder::Bytes},
    {36, 1, VK_INFO_FIELD(DisplayType), TVKRawOrder::Bytes},
    {52, 8, VK_INFO_FIELD(PrinterDot), TVKRawOrder::BE},
    {60, 4, VK_INFO_FIELD(LabelPage), TVKRawOrder::BE},
    {71, 4, VK_INFO_FIELD(PrinterNo), TVKRawOrder::BE},
    {75, 1, VK_INFO_FIELD(DepartmentID), TVKRawOrder::Bytes},
    {76, 4, VK_INFO_FIELD(CPUType), TVKRawOrder::Bytes},
    {Block::kHecrHotKeyCount, 2, VK_INFO_FIELD(HotKeyCount), TVKRawOrder::BE},
    {116, 2, VK_INFO_FIELD(Note1Storage), TVKRawOrder::BE},
    {118, 2, VK_INFO_FIELD(Note2Storage), TVKRawOrder::BE},
    {120, 2, VK_INFO_FIELD(Note3Storage), TVKRawOrder::BE},
    {122, 2, VK_INFO_FIELD(Note4Storage), TVKRawOrder::BE},
    {124, 2, VK_INFO_FIELD(PLUStorage), TVKRawOrder::BE},
    {126, 2, VK_INFO_FIELD(NutritionStorage), TVKRawOrder::BE},
    {128, 2, VK_INFO_FIELD(DiscountStorage), TVKRawOrder::BE},
    {Block::kHecrClassLetter, 1, VK_INFO_FIELD(DefaultProtocol), TVKRawOrder::Bytes},
    {Block::kHecrLFCodeLen, 1, VK_INFO_FIELD(LFCodeLen), TVKRawOrder::Bytes},
    {148, 4, VK_INFO_FIELD(DeviceId), TVKRawOrder::Bytes},
    {152, 4, VK_INFO_FIELD(StockId), TVKRawOrder::Bytes},
    {156, 1, VK_INFO_FIELD(FontAreaBad), TVKRawOrder::Bytes},
    {157, 1, VK_INFO_FIELD(DataAreaBad), TVKRawOrder::Bytes},
    {168, 8, VK_INFO_FIELD(NickId), TVKRawOrder::Bytes},
    {176, 1, VK_INFO_FIELD(IsBusy), TVKRawOrder::Bytes},
    {177, 1, VK_INFO_FIELD(IsHangScale), TVKRawOrder::Bytes},
    {180, 6, VK_INFO_FIELD(MacAddr), TVKRawOrder::Bytes},
    {186, 1, VK_INFO_FIELD(SDCardErrFlag), TVKRawOrder::Bytes},
    {193, 16, VK_INFO_FIELD(CPUID), TVKRawOrder::Bytes},
    {209, 1, VK_INFO_FIELD(CPUIDLen), TVKRawOrder::Bytes},
    {Block::kHecrTouchFlag, 1, VK_INFO_FIELD(TouchFlag), TVKRawOrder::Bytes},
    {211, 5, VK_INFO_FIELD(AIName), TVKRawOrder::Bytes},
    {216, 4, VK_INFO_FIELD(AIID), TVKRawOrder::BE},
    {220, 1, VK_INFO_FIELD(SmallM3CPU), TVKRawOrder::Bytes},
};
static_assert(InfoFieldsFit(kHecrFields), "every Hecr field lies inside the block and the record");

// Hotkey counts that old firmware does not report, by keyboard type.
struct HotkeysOfKeyboard {
  uint8_t KeyType;
  uint16_t HotKeyCount;
};
constexpr HotkeysOfKeyboard kOldFirmwareHotkeys[] = {
    {1, 224}, {8, 224}, {16, 224}, {2, 168}, {11, 80}, {17, 80}, {18, 160}, {19, 160},
};

}  // namespace

// Old firmware reports some fields wrongly: leftovers after byte 146, a code
// page it does not use, and no hotkey count.
void FixOldHecrBlock(TVKSDKDeviceRawData& raw) {
  const uint32_t version = raw.HecrVersion();
  if (version >= kFixedBlockVersion) return;
  uint8_t* b = raw.Raw;
  if (version > kLeftoverTailVersion) std::memset(b + Block::kHecrClassLetter, 0, kBlockSize - Block::kHecrClassLetter);
  if (raw.TouchFlag() == 0) raw.SetCodePage(0);
  for (const auto& k : kOldFirmwareHotkeys)
    if (k.KeyType == raw.KeyType()) {
      b[Block::kHecrHotKeyCount] = static_cast<uint8_t>(k.HotKeyCount >> 8);
      b[Block::kHecrHotKeyCount + 1] = static_cast<uint8_t>(k.HotKeyCount);
    }
}

TVKSDKDeviceInfo HecrBlockToInfo(const TVKSDKDeviceRawData& raw) {
  TVKSDKDeviceInfo info = NewDeviceInfo(raw);
  CopyInfoFields(raw, kHecrFields, info);

  // The name text is the model followed by the 8-digit serial number; hosts
  // get the model, marked when the scale is a KM40 that prefers Pecr.
  size_t len = 0;
  while (len < kNameTextSize && raw.Raw[kNameText + len] != 0) ++len;
  std::u16string name = TrimControls(CodePageBytesToString(raw.Raw + kNameText, len, 0));
  name.resize(name.size() > kSerialDigits ? name.size() - kSerialDigits : 0);
  if (raw.ClassLetter() == kKM40Letter) name += u"(KM40)";
  StoreAnsiName(name, info.Name, sizeof(info.Name));

  // An invalid date stays 0 rather than becoming a date that changes from
  // call to call.
  const uint8_t* d = raw.Raw + kStartDate;
  TDateTime start = 0;
  if (!TryEncodeDateTime(d[0] * 100 + d[1], d[2], d[3], d[4], d[5], d[6], 0, start)) start = 0;
  info.PrnStartDate = start;
  return info;
}

}  // namespace vk
