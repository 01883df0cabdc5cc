// The Hecr tables that are data only: each is a definition served by one
// of the generic items (hecr/hecr_table_item.h).
#pragma once

#include "data/field_info.h"

namespace vk {

extern const TVKSDKRAMDefineInfo kUnitTable;        // 25 units, IDs 0..24
extern const TVKSDKRAMDefineInfo kDepartmentTable;  // 99 departments, IDs 1..99
extern const TVKSDKRAMDefineInfo kNutritionElementTable;  // 20 nutrients, IDs 1..20
extern const TVKSDKRAMDefineInfo kNutritionInfoTable;     // per PLU, streamed

}  // namespace vk
