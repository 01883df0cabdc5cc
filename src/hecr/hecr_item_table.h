// Which item serves a Hecr data type: the data type's row names the class
// (one for ordinary scales, one for shelf-label systems); this registry
// makes the classes that are built into the library.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "hecr/hecr_item.h"

namespace vk {

using TVKSDKHecrItemFactory = std::unique_ptr<TVKSDKHecrCustomItem> (*)(TVKSDKHecrProtocol* HecrProtocol);

// A built item class, and the table definitions it uses (for checks that
// run over every field table).
struct TVKSDKHecrItemMaker {
  const char* ClassName;
  TVKSDKHecrItemFactory Make;
  std::span<const TVKSDKRAMDefineInfo* const> Tables;
};
std::span<const TVKSDKHecrItemMaker> HecrItemMakers();

// The class for a data type on a device (shelf-label system or not); null
// for a data type no Hecr device has, or one this device kind lacks. A
// class that is not built into the library makes an item that reports 261.
struct TVKSDKHecrItemClassRef {
  const char* ClassName = nullptr;
  TVKSDKHecrItemFactory Make = nullptr;
  explicit operator bool() const { return Make != nullptr; }
};
TVKSDKHecrItemClassRef ItemClassOf(int32_t DataType, bool IsShelfSystem);

// Stands in for a table whose item is not part of this build: every task on
// it ends with 261 before anything is sent.
class TVKSDKHecrUnsupportedItem : public TVKSDKHecrCustomItem {
 public:
  using TVKSDKHecrCustomItem::TVKSDKHecrCustomItem;
  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
};

}  // namespace vk
