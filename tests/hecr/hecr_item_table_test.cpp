// The data-type table: every Hecr data type has a row, shelf-label systems
// get their own classes, and unknown types have none.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hecr/hecr_item_table.h"
#include "tasks/data_types.h"

namespace {

TEST(HecrItemTable, EveryDataTypeHasExactlyOneRow) {
  const std::set<int> known = {0,   1,   2,   3,   4,   5,   10,  12,  13,  14,  16,  17,  19,   20,   21,   24,
                               26,  27,  28,  32,  33,  34,  35,  37,  38,  39,  40,  41,  48,   49,   50,   51,
                               52,  53,  54,  55,  56,  57,  64,  65,  66,  70,  112, 113, 114,  115,  148,  149,
                               150, 151, 152, 153, 261, 263, 264, 265, 266, 288, 289, 290, 4101, 8193, 8194, 8195,
                               8196, 8197, 8198, 8199, 8200, 8201};
  std::set<int> seen;
  for (const auto& row : vk::DataTypeRows()) {
    if (row.Family == ptHecr) {
      EXPECT_TRUE(seen.insert(row.DataType).second) << row.DataType;
    }
  }
  EXPECT_EQ(seen, known);

  for (int type : known) {
    EXPECT_TRUE(vk::ItemClassOf(type, true)) << type;
    EXPECT_EQ(static_cast<bool>(vk::ItemClassOf(type, false)), type != 38) << type;  // 38: shelf systems only
  }
  for (int type : {-1, 6, 36, 262, 4100, 8202, 65536}) {
    EXPECT_FALSE(vk::ItemClassOf(type, false)) << type;
    EXPECT_FALSE(vk::ItemClassOf(type, true)) << type;
  }
  EXPECT_EQ(std::string(vk::ItemClassOf(0, false).ClassName), "TVKSDKHecrPLUItem");
  EXPECT_EQ(std::string(vk::ItemClassOf(0, true).ClassName), "TVKSDKHecrESLPLUItem");
  EXPECT_EQ(std::string(vk::ItemClassOf(16, true).ClassName), "TVKSDKHecrESLOptionsItem");
}

}  // namespace
