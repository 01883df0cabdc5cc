// The four note tables of a Hecr scale (data types 12, 13, 14 and 28): long
// texts attached to PLUs, one record per PLU, streamed like the PLU table.
// A record is the PLU number (BCD, 4 bytes on devices with 8-digit label
// codes), the text's byte length and the text in the device's code page;
// printer escapes are written "<ESC0>" to "<ESC3>" in files.
#pragma once

#include <cstdint>
#include <span>

#include "hecr/hecr_table_item.h"

namespace vk {

class TVKSDKHecrNotesItem : public TVKSDKHecrStreamItem {
 public:
  // Bytes of text a record holds, and the record sizes a scale takes: the
  // short one for texts of at most kShortText bytes, the long one else.
  // Binary files of a conversion hold every record at kFileRecord bytes.
  static constexpr int32_t kMaxText = 1011;
  static constexpr int32_t kShortRecord = 505, kLongRecord = 1017, kFileRecord = 1024;
  static constexpr int32_t kShortText = kShortRecord - 6;

  explicit TVKSDKHecrNotesItem(TVKSDKHecrProtocol* HecrProtocol);

  void DefineFields() override;

  // The layout on a device with or without 8-digit label codes.
  static const TVKSDKRAMDefineInfo& Layout(bool LFCodeLen8);
  static std::span<const TVKSDKRAMDefineInfo* const> Layouts();

 protected:
  int32_t RecordLenOfRow() const override;
  int32_t MinUpRecordLen() const override { return kShortRecord; }
};

}  // namespace vk
