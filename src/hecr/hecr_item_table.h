// Which item class serves which Hecr data type.
#pragma once

#include <cstdint>
#include <memory>

#include "hecr/hecr_item.h"

namespace vk {

using TVKSDKHecrItemFactory = std::unique_ptr<TVKSDKHecrCustomItem> (*)(TVKSDKHecrProtocol* HecrProtocol);

// One data type's classes: the ordinary one and the one a shelf-label
// system uses. A null factory means the device has no such table.
struct TVKSDKHecrItemClass {
  int32_t DataType;
  const char* ClassName;
  TVKSDKHecrItemFactory Make;
  const char* ShelfClassName;
  TVKSDKHecrItemFactory MakeShelf;
};

// The row for a data type on a device (shelf-label system or not); null for
// a data type no Hecr device has, or one this device kind lacks.
struct TVKSDKHecrItemClassRef {
  const char* ClassName = nullptr;
  TVKSDKHecrItemFactory Make = nullptr;
  explicit operator bool() const { return Make != nullptr; }
};
TVKSDKHecrItemClassRef ItemClassOf(int32_t DataType, bool IsShelfSystem);

// The whole table, for listing.
const TVKSDKHecrItemClass* HecrItemClasses(size_t& Count);

// Stands in for a table whose item is not part of this build: every task on
// it ends with 261 before anything is sent.
class TVKSDKHecrUnsupportedItem : public TVKSDKHecrCustomItem {
 public:
  using TVKSDKHecrCustomItem::TVKSDKHecrCustomItem;
  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
};

}  // namespace vk
