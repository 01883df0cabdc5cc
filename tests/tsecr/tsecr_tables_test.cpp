#include "tsecr/tsecr_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "device/device_blocks.h"
#include "runtime/types.h"
#include "tsecr/tsecr_sql.h"

namespace vk {
namespace {

std::string Narrow(std::u16string_view s) { return Utf16ToUtf8(s); }

// Every data type's definitions, on both kinds of base: each table is
// named, has columns with valid formats and distinct names, a constant
// column has no text column, joined tables have keys, and a row carrying
// every text column gives one insert per table and a select over the main
// table.
TEST(TSecrTables, EveryDataTypeIsWellFormedAndBuildsItsStatements) {
  TVKSDKSysParams params;
  for (int32_t dt : TSecrTableDataTypes()) {
    for (bool esl : {false, true}) {
      SCOPED_TRACE(testing::Message() << "data type " << dt << (esl ? " (ESL base)" : ""));
      const TVKSDKSQLDefines defines = GetSQLDefines(dt, esl);
      TVKTSecrSQLContext ctx;
      ctx.DataType = dt;
      ctx.Ver = 0xFFFFFFFF;
      ctx.Params = &params;
      if (dt == 26 || dt == 27) {
        EXPECT_TRUE(defines.empty());
        EXPECT_EQ(BuildSelectSQL(ctx, defines), u"");
        EXPECT_EQ(BuildRowSQL(ctx, kSQLModeDelete, {}, {}, defines), "");
        continue;
      }
      ASSERT_FALSE(defines.empty());

      TVKStrings header, row;
      for (const TVKSDKSQLDefineInfo& t : defines) {
        SCOPED_TRACE(Narrow(t.TableName));
        EXPECT_FALSE(t.TableName.empty());
        EXPECT_GT(t.FieldCount, 0);
        std::set<std::u16string_view> names;
        bool hasKey = false;
        for (const TVKSDKSQLFieldInfo& f : t.Fields()) {
          EXPECT_TRUE(IsSQLFmt(f.FieldFmt)) << Narrow(f.FieldName);
          EXPECT_TRUE(names.insert(f.FieldName).second) << Narrow(f.FieldName) << " twice";
          if (!f.ConstVal.empty()) {
            EXPECT_TRUE(f.ImportName.empty()) << Narrow(f.FieldName);
          }
          hasKey = hasKey || f.IsPrimary;
          if (!f.ImportName.empty()) {
            header.emplace_back(f.ImportName);
            row.emplace_back(u"1");
          }
        }
        for (std::u16string_view inert : t.InertColumns)
          EXPECT_TRUE(names.insert(inert).second) << Narrow(inert) << " twice";
        if (defines.size() > 1) {
          EXPECT_TRUE(hasKey) << "a joined table needs a key";
        }
      }

      const TVKSQLColumnMaps maps = BuildColumnMaps(defines, header);
      const std::string insert = BuildRowSQL(ctx, kSQLModeInsert, row, maps, defines);
      for (const TVKSDKSQLDefineInfo& t : defines)
        EXPECT_NE(insert.find("INSERT INTO " + Narrow(t.TableName) + "("), std::string::npos) << insert;
      const std::string select = Narrow(BuildSelectSQL(ctx, defines));
      EXPECT_EQ(select.rfind("select ", 0), 0u) << select;
      EXPECT_NE(select.find(" from " + Narrow(defines[0].TableName) + " Table0"), std::string::npos) << select;
    }
  }
}

TEST(TSecrTables, DataTypesChooseTheirTables) {
  auto names = [](TVKSDKSQLDefines d) {
    std::vector<std::u16string_view> n;
    for (const auto& t : d) n.push_back(t.TableName);
    return n;
  };
  using V = std::vector<std::u16string_view>;
  EXPECT_EQ(names(GetSQLDefines(0)), (V{u"CurCommTb", u"CurCommTb_SC", u"CurCommTb_Rizadoz", u"PluStorageRackTb"}));
  EXPECT_EQ(names(GetSQLDefines(0, true)), V{u"EslPlutbl"});
  EXPECT_EQ(names(GetSQLDefines(5)), (V{u"DiscountGroupTb", u"DiscountScheduleTb"}));
  EXPECT_EQ(names(GetSQLDefines(1, true)), V{u"UnitTb"});  // only PLUs differ on an ESL base
  EXPECT_EQ(GetSQLDefines(105).data(), GetSQLDefines(3).data());
  EXPECT_EQ(GetSQLDefines(57).data(), GetSQLDefines(55).data());

  // The POS tables and the file data types are not tables of this family.
  for (int32_t dt : {50, 32, 4096, 8195, -1}) {
    EXPECT_FALSE(IsTSecrTableDataType(dt)) << dt;
    EXPECT_TRUE(GetSQLDefines(dt).empty()) << dt;
  }
  for (int32_t dt : {0, 26, 27, 105, 290}) EXPECT_TRUE(IsTSecrTableDataType(dt)) << dt;
}

// Each gated column carries the number of the version text it was added
// in, as a scale reports it.
TEST(TSecrTables, VersionGatesAreTheVersionsTheirTextsName) {
  const struct {
    int32_t DataType;
    int32_t Table;
    const char16_t* Field;
    const char16_t* Version;
  } gates[] = {
      {0, 1, u"DiscountBeginTime", u"2.0.21.4"}, {0, 1, u"DiscountEndTime", u"2.0.21.4"},
      {0, 1, u"DiscountPrice", u"2.0.21.4"},     {0, 1, u"DiscountFlag", u"2.0.21.4"},
      {3, 0, u"BackgroundColor", u"3.0.2.16"},   {3, 0, u"FontColor", u"3.0.2.16"},
      {3, 0, u"FontName", u"3.0.2.16"},          {3, 0, u"FontSize", u"3.0.2.16"},
      {3, 0, u"FontStyle", u"3.0.2.16"},
  };
  std::set<const TVKSDKSQLFieldInfo*> gated;
  for (int32_t dt : TSecrTableDataTypes())
    for (bool esl : {false, true})
      for (const auto& t : GetSQLDefines(dt, esl))
        for (const auto& f : t.Fields())
          if (f.VerCtrl != 0) gated.insert(&f);
  EXPECT_EQ(gated.size(), std::size(gates)) << "a gated column is missing from this list";

  for (const auto& g : gates) {
    const TVKSDKSQLDefineInfo& table = GetSQLDefines(g.DataType)[static_cast<size_t>(g.Table)];
    bool found = false;
    for (const auto& f : table.Fields()) {
      if (f.FieldName != g.Field) continue;
      found = true;
      EXPECT_EQ(f.VerCtrl, StrVer2IntVer(g.Version)) << Narrow(g.Field);
    }
    EXPECT_TRUE(found) << Narrow(g.Field);
  }
  EXPECT_EQ(StrVer2IntVer(u"3.0.2.16"), 0x03000210u);
  EXPECT_EQ(StrVer2IntVer(u"1.2.3"), 0x01020300u);
  EXPECT_EQ(StrVer2IntVer(u"10"), 0x0A000000u);
  EXPECT_EQ(StrVer2IntVer(u"abc"), 0u);
}

}  // namespace
}  // namespace vk
