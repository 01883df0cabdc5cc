#include "tsecr/tsecr_sql.h"

#include <gtest/gtest.h>

#include <string>

#include "device/device_blocks.h"

namespace vk {
namespace {

std::string Narrow(std::u16string_view s) { return Utf16ToUtf8(s); }

// A task's view for the SQL: data type, ProcType, scale version and its
// own system parameters (defaults unless a test changes them).
struct Sql {
  TVKSDKSysParams params;
  TVKTSecrSQLContext ctx;
  bool esl = false;

  Sql(int32_t dataType, int32_t procType, const char16_t* version = u"3.0.2.16") {
    ctx.DataType = dataType;
    ctx.ProcType = procType;
    ctx.Ver = StrVer2IntVer(version);
    ctx.Params = &params;
  }
  TVKSDKSQLDefines Defines() const { return GetSQLDefines(ctx.DataType, esl); }
  // The statements of one file row under the given header.
  std::string Row(const TVKStrings& header, const TVKStrings& row, int32_t mode) const {
    return BuildRowSQL(ctx, mode, row, BuildColumnMaps(Defines(), ImportHeader(ctx, header)), Defines());
  }
  std::string Row(const TVKStrings& header, const TVKStrings& row) const { return Row(header, row, ctx.ProcType); }
  std::string Select() const { return Narrow(BuildSelectSQL(ctx, Defines())); }
};

TEST(TSecrSql, UnitRowInEachMode) {
  const struct {
    int32_t mode;
    const char* sql;
  } cases[] = {
      {kSQLModeInsert,
       "DELETE FROM UnitTb WHERE UnitId=1\r\n"
       "INSERT INTO UnitTb(UnitId,CUnit,Description) VALUES(1,'kg','kilogram')\r\n"},
      {kSQLModeUpdate, "Update OR IGNORE UnitTb set UnitId=1,CUnit='kg',Description='kilogram' WHERE UnitId=1\r\n"},
      {kSQLModeDelete, "DELETE FROM UnitTb WHERE UnitId=1\r\n"},
      {6, ""},
  };
  for (const auto& c : cases) {
    Sql s(1, c.mode);
    EXPECT_EQ(s.Row({u"ID", u"Name", u"Description"}, {u"1", u"kg", u"kilogram"}), c.sql) << c.mode;
  }
  // Header names match whatever their letter case; a row cut short reads
  // its missing cells as empty.
  Sql s(1, kSQLModeInsert);
  EXPECT_EQ(s.Row({u"id", u"NAME", u"description"}, {u"2", u"g"}),
            "DELETE FROM UnitTb WHERE UnitId=2\r\nINSERT INTO UnitTb(UnitId,CUnit,Description) VALUES(2,'g','')\r\n");
}

TEST(TSecrSql, LiteralsOfEachFormat) {
  const struct {
    uint16_t fmt;
    const char16_t* value;
    const char16_t* literal;
  } cases[] = {
      {SQLFmtText, u"kg", u"'kg'"},
      {SQLFmtText, u"O'Brien", u"'O''Brien'"},
      {SQLFmtText, u"", u"''"},
      {SQLFmtText, u"\"x\"", u"'\"x\"'"},
      // A line end would end the statement line: it travels as a char() term.
      {SQLFmtText, u"a'\r\nDELETE FROM UnitTb", u"'a'''||char(13)||''||char(10)||'DELETE FROM UnitTb'"},
      {SQLFmtInteger, u"42", u"42"},
      {SQLFmtInteger, u"-7", u"-7"},
      {SQLFmtInteger, u"4.5", u"0"},
      {SQLFmtInteger, u"1); DROP TABLE UnitTb", u"0"},
      {SQLFmtInteger, u"2147483648", u"0"},
      {SQLFmtFlag, u"1", u"1"},
      {SQLFmtDecimal, u"3.50", u"3.5"},
      {SQLFmtDecimal, u"2,25", u"2.25"},
      {SQLFmtDecimal, u"abc", u"0"},
      {SQLFmtDecimal, u"1e30", u"1E30"},
      {SQLFmtDateTime, u"2024-3-5 14:07:09", u"'2024-03-05 14:07:09'"},
      {SQLFmtDateTime, u"2024-03-05", u"'2024-03-05 00:00:00'"},
      {SQLFmtDateTime, u"yesterday", u"'1899-12-30 00:00:00'"},
      {SQLFmtInteger, u"<null>", u"'<null>'"},
      {SQLFmtDecimal, u"<null>", u"'<null>'"},
      {0x2006, u"5", u"0"},
  };
  for (const auto& c : cases) EXPECT_EQ(SQLLiteral(c.fmt, c.value), c.literal) << Narrow(c.value);

  Sql s(1, kSQLModeInsert);
  EXPECT_EQ(s.Row({u"ID", u"Name"}, {u"3", u"O'Brien"}),
            "DELETE FROM UnitTb WHERE UnitId=3\r\nINSERT INTO UnitTb(UnitId,CUnit) VALUES(3,'O''Brien')\r\n");
}

// Values are taken as they stand: a cell escape is not undone.
TEST(TSecrSql, CellEscapesAreSentAsWritten) {
  Sql s(1, kSQLModeUpdate);
  EXPECT_EQ(s.Row({u"ID", u"Name"}, {u"3", u"a{$0D}b"}),
            "Update OR IGNORE UnitTb set UnitId=3,CUnit='a{$0D}b' WHERE UnitId=3\r\n");
}

TEST(TSecrSql, RowsTravelInBatchesOfAHundred) {
  using B = std::vector<TVKSQLBatch>;
  EXPECT_EQ(RowBatches(250), (B{{0, 100}, {100, 100}, {200, 50}}));
  std::vector<int32_t> progress;
  for (const TVKSQLBatch& b : RowBatches(250)) progress.push_back(b.Done());
  EXPECT_EQ(progress, (std::vector<int32_t>{100, 200, 250}));
  EXPECT_EQ(RowBatches(100), (B{{0, 100}}));
  EXPECT_EQ(RowBatches(101), (B{{0, 100}, {100, 1}}));
  EXPECT_TRUE(RowBatches(0).empty());  // a header-only file sends nothing
}

TEST(TSecrSql, UnitSelectCountAndPages) {
  Sql s(1, 1);
  const std::u16string select = BuildSelectSQL(s.ctx, s.Defines());
  EXPECT_EQ(Narrow(select),
            "select Table0.UnitId as ID,Table0.CUnit as Name,Table0.Description as Description from UnitTb Table0 ");
  EXPECT_EQ(Narrow(PageSQL(select, 0, 100)),
            "select Table0.UnitId as ID,Table0.CUnit as Name,Table0.Description as Description from UnitTb Table0  "
            "Limit 0,100");
  EXPECT_EQ(Narrow(PageSQL(select, 200, 50)), Narrow(select) + " Limit 200,50");
  EXPECT_EQ(Narrow(CountSQL(select)), "Select Count(*) as TotalLine from (" + Narrow(select) + ")");
}

const TVKStrings kPluHeader = {u"ID", u"ItemCode", u"Name1", u"Price", u"UnitID", u"SalesCategory", u"HotKeyName1"};
const TVKStrings kPluRow = {u"0012", u"0034", u"Apple", u"3.50", u"4", u"7", u"Red"};

// One PLU row on a scale of 3.0.2.16: a delete and an insert for each of
// the four tables, each keyed by the PLU number from the column ID, with
// the defaults of the columns the file lacks.
TEST(TSecrSql, PluDownloadWritesEightStatements) {
  Sql s(0, 0);
  EXPECT_EQ(s.Row(kPluHeader, kPluRow),
            "DELETE FROM CurCommTb WHERE BCode='12'\r\n"
            "INSERT INTO CurCommTb(BCode,CommID,CommName1,SpeedCode,CommTypeId,PMemberSale,ConvRate,Sale1,"
            "FlgCalMemberScore,DisCountRate,PTRefPur,CommStatus,IsShowTouch1,SalesCategory) "
            "VALUES('12','34','Apple','','0',0,1,3.5,0,100,0,0,1,'7')\r\n"
            "DELETE FROM CurCommTb_SC WHERE BCode='12'\r\n"
            "INSERT INTO CurCommTb_SC(BCode,LFCode,LabelNo,AuxLabeNo,BarCodeType1,UnitID,DiscountFlag) "
            "VALUES('12',34,1,0,255,'4',0)\r\n"
            "DELETE FROM CurCommTb_Rizadoz WHERE BCode='12'\r\n"
            "INSERT INTO CurCommTb_Rizadoz(BCode,HotKeyName1) VALUES('12','Red')\r\n"
            "DELETE FROM PluStorageRackTb WHERE StockNo=7\r\n"
            "INSERT INTO PluStorageRackTb(StockNo,BgColor) VALUES(7,0)\r\n");

  // A shelf-label base keeps its PLUs in one table.
  s.esl = true;
  EXPECT_EQ(s.Row(kPluHeader, kPluRow),
            "DELETE FROM EslPlutbl WHERE id='0012'\r\n"
            "INSERT INTO EslPlutbl(id,ItemCode,Name1,Price) VALUES('0012','34','Apple',3.5)\r\n");

  // Deleting every PLU clears every table; ProcType 6 sends an empty body.
  Sql all(0, kSQLModeDelete);
  EXPECT_EQ(BuildRowSQL(all.ctx, kSQLModeDelete, {}, {}, all.Defines()),
            "Delete From CurCommTb\r\nDelete From CurCommTb_SC\r\nDelete From CurCommTb_Rizadoz\r\n"
            "Delete From PluStorageRackTb\r\n");
  EXPECT_EQ(BuildRowSQL(all.ctx, 6, {}, {}, all.Defines()), "");
  EXPECT_EQ(BuildRowSQL(all.ctx, kSQLModeInsert, {}, {}, all.Defines()), "");
}

TEST(TSecrSql, PluSelectJoinsItsTablesOnTheirKeys) {
  Sql s(0, 1);
  const std::string select = s.Select();
  EXPECT_EQ(select.rfind("select Case When ((Table0.BCode is null) or (Table0.BCode is \"\")) then '0' else "
                         "Table0.BCode end as ID,", 0),
            0u)
      << select;
  EXPECT_NE(select.find(",Case When ((Table0.CommID is null) or (Table0.CommID is \"\")) then '0' else "
                        "Table0.CommID end as ItemCode,"),
            std::string::npos);
  EXPECT_NE(select.find(",Table0.Sale1 as Price,"), std::string::npos);  // the price is shown as stored
  const std::string from =
      " from CurCommTb Table0 Left Join CurCommTb_SC Table1 On Table0.BCode=Table1.BCode"
      " Left Join CurCommTb_Rizadoz Table2 On Table0.BCode=Table2.BCode"
      " Left Join PluStorageRackTb Table3 On Table0.BCode=Table3.StockNo ";
  EXPECT_EQ(select.substr(select.size() - from.size()), from);

  // A page of PLUs by list; a quote inside a number stays inside its value.
  const std::vector<std::u16string> ids = {u"12", u"7\") or (\"1\"=\"1"};
  EXPECT_EQ(Narrow(ListPageSQL(u"select x from CurCommTb Table0 ", ids)),
            "select x from CurCommTb Table0  where Table0.BCode in (\"12\",\"7\"\") or (\"\"1\"\"=\"\"1\")");
}

// Columns newer firmware added are left out, in both directions, for a
// scale older than their version.
TEST(TSecrSql, VersionGates) {
  const TVKStrings header = {u"PLUID", u"GroupID", u"FontName"};
  const TVKStrings row = {u"0005", u"2", u"Arial"};
  const std::string keyed = "DELETE FROM CurCommTb_Relation WHERE BCode='5'\r\n";
  EXPECT_EQ(Sql(3, 0, u"3.0.2.15").Row(header, row),
            keyed + "INSERT INTO CurCommTb_Relation(BCode,CommTypeId) VALUES('5','2')\r\n");
  EXPECT_EQ(Sql(3, 0, u"3.0.2.16").Row(header, row),
            keyed + "INSERT INTO CurCommTb_Relation(BCode,CommTypeId,FontName) VALUES('5','2','Arial')\r\n");
  EXPECT_EQ(Sql(105, 0, u"3.0.2.16").Row(header, row), Sql(3, 0, u"3.0.2.16").Row(header, row));

  const std::string older =
      "select Table0.BCode as PLUID,Table0.CommTypeId as GroupID,Table0.IsShowTouch1 as IsShowTouch1,"
      "Table0.IsShowTouch2 as IsShowTouch2,Table0.Position1 as Position1,Table0.Position2 as Position2";
  EXPECT_EQ(Sql(3, 1, u"3.0.2.15").Select(), older + " from CurCommTb_Relation Table0 ");
  EXPECT_EQ(Sql(3, 1, u"3.0.2.16").Select(),
            older + ",Table0.BackgroundColor as BackgroundColor,Table0.FontColor as FontColor,"
                    "Table0.FontName as FontName,Table0.FontSize as FontSize,Table0.FontStyle as FontStyle"
                    " from CurCommTb_Relation Table0 ");

  // The PLU discount times from 2.0.21.4 on.
  const TVKStrings plu = {u"ID", u"DiscountPrice"};
  for (const auto& [version, present] : {std::pair{u"2.0.21.3", false}, {u"2.0.21.4", true}}) {
    Sql s(0, 0, version);
    const std::string sql = s.Row(plu, {u"1", u"2.5"});
    EXPECT_EQ(sql.find("DiscountPrice") != std::string::npos, present) << sql;
    EXPECT_EQ(sql.find("DiscountFlag") != std::string::npos, present) << sql;
    s.ctx.ProcType = 1;
    EXPECT_EQ(s.Select().find("Table1.DiscountPrice as DiscountPrice") != std::string::npos, present);
  }
}

// The system's Force* parameters replace the PLU columns of CurCommTb_SC on
// a download, whether or not the file has them; an update keeps the file's.
TEST(TSecrSql, ForcedValues) {
  Sql s(0, 0);
  s.params.ForceBarcode1 = u"7";
  s.params.ForceFlag1 = u"3";
  s.params.ForceFlag2 = u"1";
  s.params.ForceValidDateFrom = u"2";
  const TVKStrings header = {u"ID", u"BarcodeType1", u"Flag2"};
  const TVKStrings row = {u"5", u"9", u"0"};

  const std::string insert = s.Row(header, row);
  EXPECT_NE(insert.find("INSERT INTO CurCommTb_SC(BCode,LabelNo,AuxLabeNo,BarCodeType1,Flag1,Flag2,UnitID,ValidDateF,"
                        "DiscountFlag) VALUES('5',1,0,7,3,1,'4',2,0)\r\n"),
            std::string::npos)
      << insert;
  const std::string update = s.Row(header, row, kSQLModeUpdate);
  EXPECT_NE(update.find("Update OR IGNORE CurCommTb_SC set BCode='5',BarCodeType1=9,Flag2=0 WHERE BCode='5'\r\n"),
            std::string::npos)
      << update;

  const struct {
    int32_t dataType, mode, table;
    const char16_t* importName;
    const char16_t* forced;
  } cases[] = {
      {0, 0, 1, u"BarcodeType1", u"7"}, {0, 0, 1, u"Flag1", u"3"}, {0, 0, 1, u"ValidDateFrom", u"2"},
      {0, 0, 1, u"Flag3", u""},         // parameter empty
      {0, 0, 0, u"Flag1", u""},         // another table
      {0, 2, 1, u"Flag1", u""},         // an update
      {1, 0, 1, u"Flag1", u""},         // not PLUs
  };
  for (const auto& c : cases) {
    s.ctx.DataType = c.dataType;
    EXPECT_EQ(ForcedValue(s.ctx, c.mode, c.importName, c.table), c.forced) << Narrow(c.importName);
  }
}

TEST(TSecrSql, PluNumbersAndItemCodesAreNormalised) {
  const struct {
    int32_t dataType, mode;
    bool trimId, trimCode;
    const char16_t* importName;
    const char16_t* value;
    const char16_t* sent;
  } cases[] = {
      {0, 0, true, true, u"ID", u" 0012\t", u"12"},
      {0, 2, true, true, u"ID", u"0012", u"12"},
      {0, 0, true, true, u"ID", u"12a", u"0"},
      {0, 0, true, true, u"ID", u"4294967296", u"0"},  // 32-bit
      {0, 0, false, true, u"ID", u"0012", u"0012"},
      {0, 3, true, true, u"ID", u"0012", u"0012"},  // deletes keep the value
      {0, 0, true, true, u"ItemCode", u"004294967296", u"4294967296"},  // 64-bit
      {0, 0, true, false, u"ItemCode", u"0034", u"0034"},
      {0, 0, true, true, u"id", u"0012", u"0012"},  // the shelf-label base's column
      {3, 0, true, true, u"PLUID", u"0012", u"12"},
      {105, 2, true, true, u"PLUID", u"0012", u"12"},
      {12, 0, true, true, u"PLUID", u"0012", u"12"},
      {28, 0, true, true, u"PLUID", u"0012", u"12"},
      {3, 0, false, true, u"PLUID", u"0012", u"0012"},
      {1, 0, true, true, u"ID", u"0012", u"0012"},
      {0, 0, true, true, u"PLUID", u"0012", u"0012"},
  };
  for (const auto& c : cases) {
    Sql s(c.dataType, c.mode);
    s.params.TrimPLUID4TS = c.trimId;
    s.params.TrimPLUCode4TS = c.trimCode;
    EXPECT_EQ(TrimIDValue(s.ctx, c.mode, c.importName, c.value), c.sent)
        << c.dataType << " " << Narrow(c.importName) << " " << Narrow(c.value);
  }
}

TEST(TSecrSql, PickingAddsLightStatusAndOperation) {
  const TVKStrings fileHeader = {u"barcode"};
  const TVKStrings fileRow = {u"6901"};
  const struct {
    int32_t dataType;
    TVKStrings header, row;
  } cases[] = {
      {55, {u"barcode", u"LightStatus", u"OperateType"}, {u"6901", u"12", u"0"}},
      {57, {u"barcode", u"LightStatus", u"OperateType"}, {u"6901", u"12", u"2"}},
      {56, {u"barcode", u"LightStatus", u"OperateType"}, {u"B-77", u"12", u"1"}},  // no file
      {1, {u"barcode"}, {u"6901"}},
  };
  for (const auto& c : cases) {
    Sql s(c.dataType, 0);
    s.ctx.DataID = 12;
    s.ctx.FileName = u"B-77";
    EXPECT_EQ(PickingColumns(s.ctx, fileHeader, 0), c.header) << c.dataType;
    EXPECT_EQ(PickingColumns(s.ctx, fileRow, 1), c.row) << c.dataType;
  }

  Sql finish(56, 0);
  finish.ctx.DataID = 12;
  finish.ctx.FileName = u"B-77";
  const TVKSQLColumnMaps maps = BuildColumnMaps(finish.Defines(), ImportHeader(finish.ctx, {}));
  EXPECT_EQ(BuildRowBlock(finish.ctx, {}, 1, maps, finish.Defines()),
            "DELETE FROM PickPluTb WHERE Barcode='B-77'\r\n"
            "INSERT INTO PickPluTb(Barcode,LightStatus,OperateType) VALUES('B-77',12,1)\r\n");
}

// Minus2Delete withdraws a PLU named "---...": on download its name says so
// and its price is 0. For the customer "ZAR" a PLU download updates first
// (with the row as read) and then inserts what the scale lacks.
TEST(TSecrSql, WithdrawnPlusAndTheZarDownload) {
  const TVKStrings header = {u"ID", u"Name1", u"Price"};
  const TVKStrings row = {u"1", u"---Old", u"2.5"};
  const std::string withdrawn = "'\xE6\xAD\xA4\xE5\x8D\x95\xE5\x93\x81\xE5\xB7\xB2\xE5\x81\x9C\xE5\x94\xAE'";

  Sql s(0, 0);
  s.params.Minus2Delete = true;
  EXPECT_NE(s.Row(header, row).find("INSERT INTO CurCommTb(BCode,CommID,CommName1,SpeedCode,CommTypeId,PMemberSale,"
                                    "ConvRate,Sale1,FlgCalMemberScore,DisCountRate,PTRefPur,CommStatus,IsShowTouch1) "
                                    "VALUES('1','0'," + withdrawn + ",'','0',0,1,0,0,100,0,0,1)\r\n"),
            std::string::npos);
  EXPECT_NE(s.Row(header, {u"1", u"---Old"}).find(withdrawn), std::string::npos);  // no price column
  EXPECT_NE(s.Row(header, row, kSQLModeUpdate).find("CommName1='---Old',SpeedCode='',Sale1=2.5"), std::string::npos);

  s.params.Customer = u"ZAR";
  const TVKSQLColumnMaps maps = BuildColumnMaps(s.Defines(), header);
  const std::string block = BuildRowBlock(s.ctx, row, 1, maps, s.Defines());
  const size_t update = block.find("Update OR IGNORE CurCommTb set BCode='1',CommName1='---Old',SpeedCode='',"
                                   "Sale1=2.5 WHERE BCode='1'\r\n");
  const size_t insert = block.find("INSERT OR IGNORE INTO CurCommTb(BCode,CommID,CommName1,");
  ASSERT_NE(update, std::string::npos) << block;
  ASSERT_NE(insert, std::string::npos) << block;
  EXPECT_LT(update, insert);
  EXPECT_EQ(block.find("DELETE FROM"), std::string::npos);
  EXPECT_NE(block.find(withdrawn, insert), std::string::npos);
  EXPECT_EQ(block.find("---Old", insert), std::string::npos);

  // Only a PLU download of that customer keeps existing rows.
  Sql update2(0, 2);
  update2.params.Customer = u"ZAR";
  EXPECT_EQ(BuildRowBlock(update2.ctx, row, 1, maps, update2.Defines()).find("INSERT"), std::string::npos);
}

TEST(TSecrSql, GroupsNeedANonNegativeNumber) {
  const TVKStrings header = {u"ID", u"Name"};
  for (const char16_t* id : {u"-3", u"x", u""}) EXPECT_EQ(Sql(4, 0).Row(header, {id, u"Fruit"}), "") << Narrow(id);
  EXPECT_EQ(Sql(4, 0).Row(header, {u"3", u"Fruit"}),
            "DELETE FROM CommTypeTb WHERE TypeID='3'\r\n"
            "INSERT INTO CommTypeTb(TypeID,TypeName1,DiscountRate,IsShowTouch1,TypeGroupID) "
            "VALUES('3','Fruit',100,1,'0')\r\n");
  EXPECT_EQ(Sql(4, 2).Row(header, {u"-3", u"Fruit"}),
            "Update OR IGNORE CommTypeTb set TypeID='-3',TypeName1='Fruit' WHERE TypeID='-3'\r\n");
}

// Constant columns ignore the file and restrict the select; a table joined
// on its own key takes the same row.
TEST(TSecrSql, ConstantsAndSharedTextColumns) {
  const TVKStrings header = {u"SysParamID", u"Value", u"SysParamType"};
  EXPECT_EQ(Sql(19, 0).Row(header, {u"other", u"Welcome", u"9"}),
            "DELETE FROM SysParamTb WHERE SysParamID='headmsg'\r\n"
            "INSERT INTO SysParamTb(SysParamID,SysParamValue,SysParamType) VALUES('headmsg','Welcome',2)\r\n");
  EXPECT_EQ(Sql(19, 1).Select(),
            "select Table0.SysParamValue as Value from SysParamTb Table0  "
            "Where Table0.SysParamID='headmsg' AND Table0.SysParamType=2");
  EXPECT_EQ(Sql(16, 1).Select(),
            "select Table0.SysParamID as Name,Table0.SysParamValue as Value from SysParamTb Table0  "
            "Where Table0.SysParamType=2");
  EXPECT_TRUE(Sql(17, 1).Select().ends_with(" from WeightBarcodeFormatTb Table0  where FormatID>=150 "));

  EXPECT_EQ(Sql(5, 0).Row({u"ID"}, {u"3"}),
            "DELETE FROM DiscountGroupTb WHERE DiscGroupID=3\r\n"
            "INSERT INTO DiscountGroupTb(DiscGroupID,DiscGroupName) VALUES(3,'3')\r\n"
            "DELETE FROM DiscountScheduleTb WHERE DiscGroupID=3\r\n"
            "INSERT INTO DiscountScheduleTb(DiscGroupID,DiscName) VALUES(3,'3')\r\n");
}

TEST(TSecrSql, SaleRecordsSelectMarkedRowsWithTheirAmountsAsText) {
  Sql s(263, 1);
  auto amount = [](const std::string& c, const std::string& value) {
    return "Case When ((Table0." + c + " is null) or (Table0." + c + " is \"\")) then '0' else cast(" + value +
           " as varchar) end as " + c;
  };
  EXPECT_EQ(s.Select(),
            "select Table0.MarkD as TypeID,Table0.IP as IP,Table0.ReceiptNo as ReceiptNo,Table0.Lfcode as PLUID," +
                amount("UnitPrice", "Table0.UnitPrice") + "," + amount("TotalPrice", "Table0.TotalPrice") + "," +
                amount("DiscountAmt", "Table0.DiscountAmt") + ",Table0.UnitID as UnitID," +
                amount("Weight", "Table0.Weight") +
                ",Table0.SaleTime as SaleTime,Table0.OnlineTime as OnlineTime,Table0.EmpId as Clerk,"
                "Table0.Tracecode as Tracecode,Table0.PCode as PCode,Table0.LinkF as LinkF"
                " from LabelPrintRecordTb Table0  Where uploadstatus=1");
  s.params.SaleRecordUseg = true;
  EXPECT_NE(s.Select().find("," + amount("Weight", "Table0.Weight*1000") + ","), std::string::npos);
}

TEST(TSecrSql, StatementsBeforeAndAfter) {
  const char* mark = " set uploadstatus=1 where uploadstatus=0 or uploadstatus is null ";
  const struct {
    int32_t dataType, procType, dataID;
    bool clear;  // ClearHotkey4TS and ClearGroup4TS
    std::string before, after;
  } cases[] = {
      {263, 1, 0, true, std::string("update LabelPrintRecordTb") + mark,
       "update LabelPrintRecordTb set uploadstatus=2 where uploadstatus=1"},
      {67, 1, 0, true, std::string("update ESLInfoTbl") + mark, "update ESLInfoTbl set uploadstatus=2 where uploadstatus=1"},
      {69, 1, 0, true, std::string("update ESLPairTbl") + mark, "update ESLPairTbl set uploadstatus=2 where uploadstatus=1"},
      {69, 1, 5, true, "update ESLPairTbl set uploadstatus=1", "update ESLPairTbl set uploadstatus=2 where uploadstatus=1"},
      {263, 4, 0, true, "", ""},  // an upload without marking
      {2, 0, 0, true, "delete from TypeGroupTb ", ""},
      {3, 0, 0, true, "delete from CurCommTb_Relation ", ""},
      {105, 0, 0, true, "delete from CurCommTb_Relation ", ""},
      {3, 0, 0, false, "", ""},
      {4, 0, 0, true, "delete from CommTypeTb ", ""},
      {4, 0, 0, false, "", ""},
      {17, 0, 0, true, "delete from WeightBarcodeFormatTb where FormatID>=150 ", ""},
      {52, 0, 0, true, "delete from EventTbl ", ""},
      {288, 0, 0, true, "delete from TraceStatusTb ", ""},
      {289, 0, 0, true, "delete from TraceMapTb ", ""},
      {290, 0, 0, true, "delete from TraceDataTb ", ""},
      {2, 2, 0, true, "", ""},  // updates and deletes clear nothing
      {2, 3, 0, true, "", ""},
      {0, 0, 0, true, "", ""},
  };
  for (const auto& c : cases) {
    Sql s(c.dataType, c.procType);
    s.ctx.DataID = c.dataID;
    s.params.ClearHotkey4TS = s.params.ClearGroup4TS = c.clear;
    EXPECT_EQ(Narrow(BeforeProcSQL(s.ctx)), c.before) << c.dataType << "/" << c.procType;
    EXPECT_EQ(Narrow(AfterUploadSQL(s.ctx)), c.after) << c.dataType << "/" << c.procType;
  }
}

}  // namespace
}  // namespace vk
