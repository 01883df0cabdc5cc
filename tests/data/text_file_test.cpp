#include "data/text_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "data/sysdata.h"
#include "runtime/codepage.h"
#include "support/sdk_loader.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

fs::path WriteFile(const TVKBytes& bytes) {
  static int n = 0;
  fs::path p = vktest::TempDir() / ("t" + std::to_string(n++) + ".txt");
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return p;
}

TVKBytes Bytes(std::string_view s) { return TVKBytes(s.begin(), s.end()); }

TVKBytes Concat(std::initializer_list<TVKBytes> parts) {
  TVKBytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const TVKBytes kUtf8Mark{0xEF, 0xBB, 0xBF};
const TVKBytes kLEMark{0xFF, 0xFE};
const TVKBytes kBEMark{0xFE, 0xFF};

struct FileCase {
  const char* name;
  TVKBytes bytes;
  uint32_t cp;
  std::vector<std::u16string> lines;  // what the streaming index yields
};

std::vector<FileCase> FileCases() {
  return {
      {"utf8 mark, CR LF, blank line", Concat({kUtf8Mark, Bytes("ID\tName\r\n1\tA\r\n\r\n2\tB\r\n")}), 65001,
       {u"ID\tName", u"1\tA", u"2\tB"}},
      {"utf8 without mark keeps its first bytes", Bytes("ID\tName\r\n1\t\xC3\xA9\r\n"), 65001,
       {u"ID\tName", u"1\té"}},
      {"LF only", Bytes("ID\tPrice\n1\t2.5\n2\t3\n"), 65001, {u"ID\tPrice", u"1\t2.5", u"2\t3"}},
      {"CR only", Bytes("ID\rX\rY"), 65001, {u"ID", u"X", u"Y"}},
      {"no final line end", Bytes("ID\tPrice\r\n1\t12.5"), 65001, {u"ID\tPrice", u"1\t12.5"}},
      {"CR alone inside a line", Bytes("ID\tName\tPrice\r\n1\tA\r\tB\t9.99\r\n"), 65001,
       {u"ID\tName\tPrice", u"1\tA", u"\tB\t9.99"}},
      {"utf16le mark", Concat({kLEMark, StringToCodePageBytes(u"ID\tName\r\n1\t中\r\n", 1200)}), 1200,
       {u"ID\tName", u"1\t中"}},
      {"utf16be mark", Concat({kBEMark, StringToCodePageBytes(u"ID\r\n\r\n1\t\u0A0D\n", 1201)}), 1201,
       {u"ID", u"1\t\u0A0D"}},
      {"utf16be without mark", StringToCodePageBytes(u"ID\n2", 1201), 1201, {u"ID", u"2"}},
      {"936", StringToCodePageBytes(u"ID\tName1\r\n1\t苹果\r\n", 936), 936, {u"ID\tName1", u"1\t苹果"}},
      {"empty file", {}, 65001, {}},
      {"only line ends", Bytes("\r\n\r\n\n"), 65001, {}},
  };
}

TEST(TextFile, StreamingIndexFindsEveryLineWhole) {
  for (const auto& c : FileCases()) {
    SCOPED_TRACE(c.name);
    auto f = TVKFileStream::OpenRead(WriteFile(c.bytes));
    ASSERT_TRUE(f);
    TVKSDKLinesInfo index = GetFileLinesInfo(*f, c.cp);
    ASSERT_EQ(index.size(), c.lines.size());
    for (size_t i = 0; i < index.size(); ++i) EXPECT_EQ(ReadLineFromFileStream(*f, index[i], c.cp), c.lines[i]);
    // The in-memory scan agrees with the file scan.
    TVKSDKLinesInfo mem = GetLinesInfo(c.bytes.data(), c.bytes.size(), c.cp);
    ASSERT_EQ(mem.size(), index.size());
    for (size_t i = 0; i < mem.size(); ++i) EXPECT_EQ(mem[i].Offset, index[i].Offset);
  }
}

TEST(TextFile, WholeFileReaderSplitsAtEveryLineEnd) {
  for (const auto& c : FileCases()) {
    SCOPED_TRACE(c.name);
    auto f = TVKFileStream::OpenRead(WriteFile(c.bytes));
    TVKStringsDynArray table = GetImportStringsDynArray(*f, c.cp);
    ASSERT_EQ(table.size(), c.lines.size());
    for (size_t i = 0; i < table.size(); ++i) {
      TVKStrings want = SplitString(c.lines[i], u'\t');
      // The last line of a file without a final line end gets one extra empty cell.
      std::u16string text = CodePageBytesToString(c.bytes, c.cp);
      bool lastOpen = i + 1 == table.size() && !text.empty() && text.back() != u'\n' && text.back() != u'\r';
      if (lastOpen) want.emplace_back();
      EXPECT_EQ(table[i], want) << i;
    }
  }
}

TEST(TextFile, WholeFileReaderDropsBlankAndSingleTabLines) {
  auto f = TVKFileStream::OpenRead(WriteFile(Bytes("ID\tName\n\t\n\n1\tA\n")));
  TVKStringsDynArray t = GetImportStringsDynArray(*f, 0);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[1], (TVKStrings{u"1", u"A"}));
}

TEST(TextFile, ReadLineDropsLineEndsInsideAHandMadeSpan) {
  auto f = TVKFileStream::OpenRead(WriteFile(Bytes("1\tA\r\tB\t9.99\r\n")));
  EXPECT_EQ(ReadLineFromFileStream(*f, {0, 11}, 65001), u"1\tA\tB\t9.99");
}

TEST(TextFile, EncodingTypeComesFromTheMark) {
  EXPECT_EQ(GetFileEncodingType(WriteFile(Concat({kUtf8Mark, Bytes("ID")}))), 65001);
  EXPECT_EQ(GetFileEncodingType(WriteFile(Concat({kLEMark, Bytes("I")}))), 1200);
  EXPECT_EQ(GetFileEncodingType(WriteFile(kBEMark)), 1201);
  EXPECT_EQ(GetFileEncodingType(WriteFile(Bytes("\xEF\xBB"))), 0);
  EXPECT_EQ(GetFileEncodingType(WriteFile(Bytes("ID"))), 0);
  EXPECT_EQ(GetFileEncodingType(vktest::TempDir() / "missing.txt"), 0);
}

TEST(TextFile, WrittenLinesReadBack) {
  for (uint32_t cp : {65001u, 1200u, 1201u, 936u}) {
    fs::path p = vktest::TempDir() / "out.txt";
    {
      auto w = TVKFileStream::Create(p);
      ASSERT_TRUE(WriteStreamHeader(*w, cp));
      WriteLineToFileStream(*w, u"ID\tName1", cp);
      WriteLineToFileStream(*w, u"1\t苹果", cp);
    }
    uint16_t enc = GetFileEncodingType(p);
    EXPECT_EQ(enc, cp == 936 ? 0 : cp);
    auto f = TVKFileStream::OpenRead(p);
    TVKSDKLinesInfo idx = GetFileLinesInfo(*f, cp);
    ASSERT_EQ(idx.size(), 2u) << cp;
    EXPECT_EQ(ReadLineFromFileStream(*f, idx[1], cp), u"1\t苹果") << cp;
  }
}

TEST(TextFile, SplittingCellsAndPieces) {
  EXPECT_EQ(SplitString(u"a\tb\t", u'\t'), (TVKStrings{u"a", u"b", u""}));
  EXPECT_EQ(SplitString(u"", u'\t'), TVKStrings{});
  EXPECT_EQ(SplitString(u"\t", u'\t'), (TVKStrings{u"", u""}));
  TVKStrings list{u"x"};
  SplitStringList(u"a;;b;", u";", list);
  EXPECT_EQ(list, (TVKStrings{u"x", u"a", u"", u"b", u""}));
  list.clear();
  SplitStringList(u"a<>b", u"<>", list);
  EXPECT_EQ(list, (TVKStrings{u"a", u"b"}));
  EXPECT_EQ(StringToStringDataItems(u"ID\tN\r\n1\ta\n\n2\tb\r3\tc"),
            (TVKStringsDynArray{{u"ID", u"N"}, {u"1", u"a"}, {u"2", u"b"}, {u"3", u"c"}}));
}

std::u16string Get(const TVKCodecContext&, const uint8_t*, int32_t) { return {}; }

TEST(TextFile, ColumnsMatchFieldNamesWithAsciiCaseFolded) {
  const TVKSDKRAMFieldInfo fields[] = {
      FieldInfo(u"%Nil%", 0, nullptr, nullptr, 1), FieldInfo(u"ID", 1, nullptr, &Get, 3),
      FieldInfo(u"Price", 4, nullptr, &Get, 6),    FieldInfo(u"Ärger", 10, nullptr, &Get, 1),
      FieldInfo(u"ID", 11, nullptr, &Get, 1),
  };
  TVKStrings header{u"id", u"PRICE", u"Other", u"%nil%", u"ärger", u"Ärger", u"Id"};
  EXPECT_EQ(GetFieldLineIndexs(header, fields, 5), (TVKIntegers{1, 2, -1, -1, -1, 3, 1}));
  EXPECT_EQ(GetFieldLineIndexs(u"ID\tprice", fields, 5), (TVKIntegers{1, 2}));
  EXPECT_EQ(GetFieldIndex(header, u"Price"), 1);
  EXPECT_EQ(GetFieldIndex(TVKStrings{u"ärger"}, u"Ärger"), -1);
  EXPECT_EQ(GetFieldIndex(TVKStringsDynArray{}, u"ID"), -1);
  EXPECT_EQ(GetFieldLineIndexs(TVKStrings{u"", u"B", u"a", u"b"}, TVKStrings{u"b", u"A", u"", u"z"}),
            (TVKIntegers{1, 2, -1, -1}));
  EXPECT_EQ(GetHecrFields(fields, 5), u"ID\tPrice\tÄrger\tID");
}

TEST(TextFile, EscapesHexAndAddresses) {
  EXPECT_EQ(EncodeStr(u"a\r\n\tb", 2), u"a{$0D}\n\tb");
  EXPECT_EQ(EncodeStr(u"a\r\n\tb", 3), u"a{$0D}{$0A}{$09}b");
  EXPECT_EQ(DecodeStr(u"a{$0D}{$0A}{$09}\\r\\nb"), u"a\r\n\t\r\nb");
  EXPECT_EQ(Bytes2Hex(TVKBytes{0x0A, 0xFF, 0x00}), u"0AFF00");
  EXPECT_EQ(Hex2Bytes(u"0aFz"), (TVKBytes{0x0A, 0x00}));
  EXPECT_EQ(Hex2Bytes(u"ABC"), TVKBytes{0xAB});
  TVKBytes buf{0, 0, 1, 0};
  EXPECT_TRUE(isMemZero(buf, 0, 2));
  EXPECT_FALSE(isMemZero(buf, 1, 2));
  EXPECT_TRUE(isMemZero(buf, 3, 10));
  EXPECT_EQ(IPToInteger(u"192.168.1.1"), 0xC0A80101u);
  for (const char16_t* bad : {u"192.168.1.300", u"192.168.1", u"1.2.3.4.5", u"a.b.c.d", u"1..2.3"})
    EXPECT_EQ(IPToInteger(bad), 0u);
  EXPECT_EQ(IntegerToIP(0xC0A80101u), u"192.168.1.1");
  EXPECT_TRUE(SameIPAddress(u"10.0.0.1", u"10.0.0.01"));
  EXPECT_EQ(MyExtractFileName(u"C:\\data/dir\\plu.txt"), u"plu.txt");
  EXPECT_EQ(MyExtractFileName(u"plu.txt"), u"plu.txt");
}

}  // namespace
}  // namespace vk
