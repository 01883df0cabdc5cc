// The four note tables (long texts by PLU) to and from a simulated Hecr
// scale through the exported functions, and through offline conversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hecr_scale.h"
#include "support/sim_support.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;
namespace fs = std::filesystem;

HecrInfo Info(uint32_t codePage, uint8_t lfCodeLen = 0) {
  HecrInfo info;
  info.codePage = codePage;
  info.lfCodeLen = lfCodeLen;
  return info;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The record a note cell becomes: its size, its length field and its first
// text bytes; and what uploads back.
TEST(HecrNotes, TextIsStoredOnceInTheDeviceCodePage) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    const char* what;
    uint32_t codePage;
    std::string cell;
    size_t recordSize;
    unsigned length;
    std::string firstBytes;  // the text's first bytes as stored
    std::string back;        // the cell an upload gives
  };
  const std::string chinese = Repeat("\xE4\xB8\xAD", 300);  // 300 x U+4E2D
  const std::vector<Case> cases = {
      {"escape", 1252, "A<ESC1>B", 505, 4, "A\x1B" "1B", "A<ESC1>B"},
      {"short", 1252, "0123456789", 505, 10, "0123", "0123456789"},
      {"empty", 1252, "", 505, 0, "", ""},
      {"longest short", 1252, Repeat("x", 499), 505, 499, "xx", Repeat("x", 499)},
      {"just too long", 1252, Repeat("x", 500), 1017, 500, "xx", Repeat("x", 500)},
      {"600 characters", 1252, Repeat("y", 600), 1017, 600, "yy", Repeat("y", 600)},
      {"cut", 1252, Repeat("y", 1200), 1017, 1011, "yy", Repeat("y", 1011)},
      // An escape is never cut from its digit.
      {"escape at the cut", 1252, Repeat("x", 1010) + "<ESC2>", 1017, 1010, "xx", Repeat("x", 1010)},
      // Cut at the last whole character.
      {"chinese cut", 936, Repeat("\xE4\xB8\xAD", 600), 1017, 1010, "\xD6\xD0", Repeat("\xE4\xB8\xAD", 505)},
      // One byte each in the device's code page, whatever the host's is.
      {"accents", 1252, Repeat("\xC3\xA9", 300), 505, 300, "\xE9\xE9", Repeat("\xC3\xA9", 300)},
      {"chinese", 936, chinese, 1017, 600, "\xD6\xD0", chinese},
      // Leading escapes, line breaks and tabs survive the round trip.
      {"escapes", 1252, "<ESC0>x{$0D}{$0A}y{$09}<ESC3>", 505, 9, "\x1B" "0x\r\n", "<ESC0>x{$0D}{$0A}y{$09}<ESC3>"},
  };
  int host = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vktest::HecrScale scale(Info(c.codePage), host++);
    fs::path in = vktest::WriteFile("notes.txt", "PLUID\tValue\r\n7\t" + c.cell + "\r\n");
    ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 0, 12, in), 0u);
    auto rec = scale.Tables().Record(12, 7);
    ASSERT_TRUE(rec);
    ASSERT_EQ(rec->size(), c.recordSize);
    EXPECT_EQ(Hex(Bytes(rec->begin(), rec->begin() + 4)), "00 00 07 00");
    EXPECT_EQ((*rec)[4] << 8 | (*rec)[5], static_cast<int>(c.length));
    EXPECT_EQ(std::string(rec->begin() + 6, rec->begin() + 6 + c.firstBytes.size()), c.firstBytes);
    for (size_t i = 6 + c.length; i < rec->size(); ++i) ASSERT_EQ((*rec)[i], 0) << "byte " << i;

    fs::path out = vktest::TempDir() / "notes-up.txt";
    ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 1, 12, out), 0u);
    EXPECT_EQ(vktest::Lines(out), (std::vector<std::string>{"PLUID\tValue", "7\t" + c.back}));
  }
}

// Each note table has its own commands and its own table counter; on a
// scale with 8-digit label codes the PLU number takes four BCD bytes.
TEST(HecrNotes, EveryTableRoundTripsWithItsOwnCommandsAndCounter) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    int32_t dataType;
    uint16_t down, up;
    size_t counter;
    uint8_t lfCodeLen;
    const char* id;
    const char* keyHex;
  };
  const Case cases[] = {
      {12, 0x9847, 0x6029, 2, 0, "123456", "12 34 56 00"},
      {13, 0x9846, 0x6021, 4, 0, "5", "00 00 05 00"},
      {14, 0x985C, 0x605A, 8, 8, "12345678", "12 34 56 78"},
      {28, 0x9868, 0x6068, 10, 8, "9", "00 00 00 09"},
  };
  int host = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataType);
    vktest::HecrScale scale(Info(1252, c.lfCodeLen), host++);
    fs::path in = vktest::WriteFile("notes.txt", std::string("PLUID\tValue\r\n") + c.id + "\tfirst\r\n99\tsecond\r\n");
    ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 0, c.dataType, in), 0u);
    EXPECT_EQ(scale.Frames(c.down).size(), 2u);
    const std::vector<Bytes> recs = scale.Tables().Records(static_cast<uint8_t>(c.dataType));
    ASSERT_EQ(recs.size(), 2u);
    const Bytes& mine = std::stoul(c.id) < 99 ? recs[0] : recs[1];
    EXPECT_EQ(Hex(Bytes(mine.begin(), mine.begin() + 4)), c.keyHex);

    fs::path out = vktest::TempDir() / "notes-up.txt";
    ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 1, c.dataType, out), 0u);
    EXPECT_EQ(scale.Frames(c.up).size(), 2u);
    std::vector<std::string> lines = vktest::Lines(out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1] == std::string(c.id) + "\tfirst" || lines[2] == std::string(c.id) + "\tfirst");

    // The count comes from the data type's own counter.
    scale.Tables().SetCounter(c.counter, 1);
    ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 1, c.dataType, out), 0u);
    EXPECT_EQ(vktest::Lines(out).size(), 2u);
  }
}

// An upload reply of the right command that carries no record ends the
// task with 266 instead of asking on for ever; a delete with a list is
// refused with 261 and sends nothing; "*" clears the table.
TEST(HecrNotes, EmptyRepliesAndDeletes) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  vktest::HecrScale scale(Info(1252), 40);
  fs::path in = vktest::WriteFile("notes.txt", "PLUID\tValue\r\n1\ta\r\n2\tb\r\n");
  ASSERT_EQ(scale.Exec(vktest::LoadSdkDefault(), 0, 13, in), 0u);

  HecrCommandFaults empty;
  empty.after = 1;
  empty.emptyData = -1;
  scale.Tables().SetFaults(0x6021, empty);
  EXPECT_EQ(scale.Exec(vktest::LoadSdkDefault(), 1, 13, vktest::TempDir() / "up.txt"), 266u);
  scale.Tables().ClearFaults();

  fs::path list = vktest::WriteFile("del.txt", "PLUID\n1\n");
  EXPECT_EQ(scale.Exec(vktest::LoadSdkDefault(), 3, 13, list), 261u);
  EXPECT_EQ(scale.Frames(0x9832).size(), 0u);
  EXPECT_EQ(scale.Tables().Count(13), 2u);
  EXPECT_EQ(scale.Exec(vktest::LoadSdkDefault(), 3, 13, "*"), 0u);
  EXPECT_EQ(scale.Frames(0x9832).size(), 1u);
  EXPECT_EQ(scale.Tables().Count(13), 0u);
}

// Text to binary gives one 1024-byte record per row, whatever the text's
// length; binary to text gives the cells back.
TEST(HecrNotes, ConversionRoundTrip) {
  const fs::path txt = vktest::WriteFile("n.txt", "PLUID\tValue\r\n12345678\tA<ESC1>B\r\n2\t" + Repeat("z", 700) + "\r\n");
  const fs::path bin = txt.parent_path() / "n.bin", back = txt.parent_path() / "back.txt";
  auto run = [&](uint32_t procType, const fs::path& text) {
    return vktest::Convert(vktest::LoadSdkDefault(), u"CodePage=1252;LFCodeLen=8", procType, 12, text, bin);
  };
  ASSERT_EQ(run(0, txt), 0u);
  const std::string records = vktest::ReadFile(bin);
  ASSERT_EQ(records.size(), 2u * 1024u);
  EXPECT_EQ(records.substr(0, 10), std::string("\x12\x34\x56\x78\x00\x04" "A\x1B" "1B", 10));
  EXPECT_EQ(records.substr(1024 + 4, 2), std::string("\x02\xBC", 2));  // 700
  ASSERT_EQ(run(1, back), 0u);
  EXPECT_EQ(vktest::Lines(back), (std::vector<std::string>{"PLUID\tValue", "12345678\tA<ESC1>B", "2\t" + Repeat("z", 700)}));
}

}  // namespace
