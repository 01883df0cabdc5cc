// Units (data type 1) and departments (2): names by ID, whole tables in
// 256-byte packages.
#include "data/sysdata.h"
#include "hecr/hecr_table_item.h"
#include "hecr/items/tables.h"

namespace vk {

namespace {

// A unit record is the marker AA 55 and 14 bytes of name; an empty name
// leaves the whole record zero, and a record without the marker has no name.
constexpr uint8_t kUnitMarker[2] = {0xAA, 0x55};

bool ImportUnitName(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  if (s.empty() || n < 2) return true;
  p[0] = kUnitMarker[0];
  p[1] = kUnitMarker[1];
  return TVKSysData::SetASC(c, s, p + 2, n - 2);
}
std::u16string ExportUnitName(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  if (n < 2 || p[0] != kUnitMarker[0] || p[1] != kUnitMarker[1]) return {};
  return TVKSysData::GetASC(c, p + 2, n - 2);
}

constexpr TVKSDKRAMFieldInfo kUnitFields[] = {
    FieldInfo(u"ID", 0, nullptr, &ExportRowId, 0),
    FieldInfo(u"Description", 0, &ImportUnitName, &ExportUnitName, 16),
};
constexpr TVKSDKRAMFieldInfo kDepartmentFields[] = {
    FieldInfo(u"ID", 0, nullptr, &ExportRowId, 0),
    FieldInfo(u"Name", 0, &TVKSysData::SetASC, &TVKSysData::GetASC, 30),
};

}  // namespace

extern constexpr TVKSDKRAMDefineInfo kUnitTable = TableDefine(kUnitFields, 16, 256, u"ID", 0, 25);
extern constexpr TVKSDKRAMDefineInfo kDepartmentTable = TableDefine(kDepartmentFields, 64, 256, u"ID", 1, 99);
static_assert(DefineFits(kUnitTable) && DefineFits(kDepartmentTable));

}  // namespace vk
