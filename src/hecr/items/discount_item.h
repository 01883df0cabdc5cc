// The time-limited discount table of a Hecr scale (data type 5): 99
// discounts of 3 steps each, 297 records of 42 bytes, sent as a whole table
// in 128-byte packages of three records and two zero bytes. A file names a
// record by its discount (ID 1..99) and step (ItemIndex 1..3).
#pragma once

#include <cstdint>

#include "hecr/hecr_table_item.h"

namespace vk {

class TVKSDKHecrDiscountItem : public TVKSDKHecrTableItem {
 public:
  static constexpr int32_t kDiscounts = 99, kSteps = 3;
  static constexpr int32_t kRecordSize = 42, kPackageSize = 128;
  // The scale's upload stream starts with a head block of this size.
  static constexpr int32_t kUploadHead = 128;

  explicit TVKSDKHecrDiscountItem(TVKSDKHecrProtocol* HecrProtocol);

  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
  // A binary file of a conversion holds the packages as they are sent.
  TLengthInfo GetLengthInfo() const override { return {kPackageSize, kPackageSize}; }

  static const TVKSDKRAMDefineInfo& Table();

 protected:
  TVKStringsDynArray PlaceRows(const TVKStringsDynArray& Rows) override;
  bool DecodeUpReply(int32_t Index, const uint8_t* Data, size_t Size) override;
};

}  // namespace vk
