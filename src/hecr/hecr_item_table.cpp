#include "hecr/hecr_item_table.h"

#include <cstring>

#include "hecr/hecr_protocol.h"
#include "hecr/items/discount_item.h"
#include "hecr/items/hotkey_item.h"
#include "hecr/items/notes_item.h"
#include "hecr/items/plu_item.h"
#include "hecr/items/tables.h"

namespace vk {

namespace {

const TVKSDKRAMDefineInfo* const kHotKeyTables[] = {&TVKSDKHecrHotKeyItem::Layout(false, false),
                                                     &TVKSDKHecrHotKeyItem::Layout(false, true),
                                                     &TVKSDKHecrHotKeyItem::Layout(true, false)};
const TVKSDKRAMDefineInfo* const kPluTables[] = {
    &TVKSDKHecrPLUItem::Layout(false, false), &TVKSDKHecrPLUItem::Layout(false, true),
    &TVKSDKHecrPLUItem::Layout(true, false), &TVKSDKHecrPLUItem::Layout(true, true)};

const TVKSDKRAMDefineInfo* const kDiscountTables[] = {&TVKSDKHecrDiscountItem::Table()};

// A fixed table that is nothing but its definition.
template <class Item, const TVKSDKRAMDefineInfo& Def>
std::unique_ptr<TVKSDKHecrCustomItem> MakeTable(TVKSDKHecrProtocol* HecrProtocol) {
  return MakeHecrItem<Item>(HecrProtocol, Def);
}
template <const TVKSDKRAMDefineInfo& Def>
constexpr const TVKSDKRAMDefineInfo* kOne[] = {&Def};

const TVKSDKHecrItemMaker kMakers[] = {
    {"TVKSDKHecrPLUItem", &MakeHecrItem<TVKSDKHecrPLUItem>, kPluTables},
    {"TVKSDKHecrUnitItem", &MakeTable<TVKSDKHecrTableItem, kUnitTable>, kOne<kUnitTable>},
    {"TVKSDKHecrDepartmentItem", &MakeTable<TVKSDKHecrTableItem, kDepartmentTable>, kOne<kDepartmentTable>},
    {"TVKSDKHecrHotKeyItem", &MakeHecrItem<TVKSDKHecrHotKeyItem>, kHotKeyTables},
    {"TVKSDKHecrNutritionElementItem", &MakeTable<TVKSDKHecrTableItem, kNutritionElementTable>,
     kOne<kNutritionElementTable>},
    {"TVKSDKHecrNutritionInfoItem", &MakeTable<TVKSDKHecrStreamItem, kNutritionInfoTable>, kOne<kNutritionInfoTable>},
    {"TVKSDKHecrDiscountItem", &MakeHecrItem<TVKSDKHecrDiscountItem>, kDiscountTables},
    {"TVKSDKHecrNotesItem", &MakeHecrItem<TVKSDKHecrNotesItem>, TVKSDKHecrNotesItem::Layouts()},
};

}  // namespace

std::span<const TVKSDKHecrItemMaker> HecrItemMakers() { return kMakers; }

TVKSDKHecrItemClassRef ItemClassOf(int32_t DataType, bool IsShelfSystem) {
  const TVKDataTypeRow* row = DataTypeRow(ptHecr, DataType);
  if (!row) return {};
  const char* name = IsShelfSystem ? row->ShelfItemClass : row->ItemClass;
  if (!name) return {};
  for (const auto& m : kMakers)
    if (std::strcmp(m.ClassName, name) == 0) return {name, m.Make};
  return {name, &MakeHecrItem<TVKSDKHecrUnsupportedItem>};
}

bool TVKSDKHecrUnsupportedItem::isHandled(TVKSDKUDPClientClass*) {
  WriteDebug("Data type not supported by this library.");
  DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  return true;
}

}  // namespace vk
