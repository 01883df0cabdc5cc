#include "runtime/debug_list.h"
#include "runtime/codepage.h"

#include <gtest/gtest.h>

#include <iterator>

#include "runtime_test_support.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = "       0  1  2  3  4  5  6  7   8  9  a  b  c  d  e  f  ";

TEST(DebugList, DumpOfTwentyBytesHasTheFixedLayout) {
  TVKBytes data = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
                   0x01, 0x41, 0x7F, 0xC8};
  const std::string full = "0000h  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ";
  const std::string part = "0010h  01 41 7F C8 " + std::string(37, ' ');
  ASSERT_EQ(kHeader.size(), 56u);
  ASSERT_EQ(full.size(), 57u);  // 56 characters and the blank before the printable column
  ASSERT_EQ(part.size(), 56u);

  auto lines = HexDumpLines(data.data(), data.size());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, kHeader);
  EXPECT_TRUE(lines[0].printable.empty());
  EXPECT_EQ(lines[1].text, full);
  EXPECT_EQ(lines[1].printable, TVKBytes(data.begin(), data.begin() + 16));
  EXPECT_EQ(lines[2].text, part + " ");
  EXPECT_EQ(lines[2].printable, (TVKBytes{0x2E, 0x41, 0x7F, 0xC8}));

  TVKDebugList list;
  list.AddDump(data);
  EXPECT_EQ(list.LineCount(), 3u);
  EXPECT_FALSE(list.LastLineEmpty());
  test::TempDir dir;
  ASSERT_TRUE(list.Save(dir / "d.txt"));
  const std::string want = kHeader + " \r\n" + full + "ABCDEFGHIJKLMNOP \r\n" + part + " .A\x7F\xC8 \r\n";
  EXPECT_EQ(test::ReadFile(dir / "d.txt"), want);
}

TEST(DebugList, EmptyDumpIsTheHeaderOnlyAndOffsetsGrowPast64K) {
  TVKDebugList list;
  list.AddDump(nullptr, 0);
  auto bytes = list.SavedBytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kHeader + " \r\n");

  TVKBytes big(0x10010, 0x20);
  auto lines = HexDumpLines(big.data(), big.size());
  ASSERT_EQ(lines.size(), 1u + 0x1001);
  EXPECT_EQ(lines[0x1000].text.substr(0, 7), "fff0h  ");
  EXPECT_EQ(lines[0x1001].text.substr(0, 8), "10000h  ");
}

TEST(DebugList, TextLinesAreWrittenAsTheyAreEvenWithTheDumpMarker) {
  TVKDebugList list;
  EXPECT_TRUE(list.LastLineEmpty());
  list.Add(u"device says @@@4142 and more");
  list.Add("ascii @@@ line");
  list.Add(u"Gr\u00fc\u00dfe");  // in the ANSI code page
  list.Add(std::string_view());
  EXPECT_EQ(list.LineCount(), 4u);
  EXPECT_TRUE(list.LastLineEmpty());
  auto bytes = list.SavedBytes();
  const TVKBytes name = StringToCodePageBytes(u"Gr\u00fc\u00dfe", 0);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "device says @@@4142 and more \r\nascii @@@ line \r\n" + std::string(name.begin(), name.end()) +
                " \r\n \r\n");
}

// Fills a list the way a long task does: text lines and datagram dumps.
void Fill(TVKDebugList& list, int frames) {
  TVKBytes frame(300);
  for (int i = 0; i < frames; ++i) {
    for (size_t k = 0; k < frame.size(); ++k) frame[k] = static_cast<uint8_t>(i * 7 + k);
    list.Add("Send @@@ frame " + std::to_string(i));
    list.AddDump(frame);
  }
}

TEST(DebugList, SpilledListSavesTheSameBytesAndRemovesItsFile) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");

  TVKDebugList detection(4096);
  Fill(detection, 20);
  ASSERT_TRUE(detection.Spilled());

  TVKDebugList memory(SIZE_MAX);
  fs::path spillFile;
  {
    TVKDebugList spilled(4096);
    for (auto* l : {&memory, &spilled}) {
      l->Add("header");
      l->Append(detection);
      Fill(*l, 400);  // spills over 100 KB: read back in pieces that cut records apart
      l->Add(std::string_view());
    }
    EXPECT_FALSE(memory.Spilled());
    ASSERT_TRUE(spilled.Spilled());
    spillFile = spilled.SpillFile();
    EXPECT_EQ(spillFile.parent_path(), dir.path());
    EXPECT_TRUE(fs::exists(spillFile));
    EXPECT_LT(fs::file_size(spillFile), memory.SavedBytes().size() + 1);

    EXPECT_EQ(spilled.LineCount(), memory.LineCount());
    EXPECT_TRUE(spilled.LastLineEmpty());
    ASSERT_TRUE(memory.Save(dir / "memory.txt"));
    ASSERT_TRUE(spilled.Save(dir / "spilled.txt"));
    EXPECT_EQ(test::ReadFile(dir / "spilled.txt"), test::ReadFile(dir / "memory.txt"));
    // Lines added after a save still land in the right place.
    spilled.Add("after");
    memory.Add("after");
    EXPECT_EQ(spilled.SavedBytes(), memory.SavedBytes());
  }
  EXPECT_FALSE(fs::exists(spillFile));
}

TEST(DebugList, DefaultListMovesItsContentOutPastItsThreshold) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");
  TVKDebugList list;
  Fill(list, 10);  // about 15 KB in saved form
  EXPECT_FALSE(list.Spilled());
  Fill(list, 100);
  EXPECT_TRUE(list.Spilled());
}

// Text lines (plain, empty, non-ASCII) and dumps of sizes that end inside a
// line, on a line, and past 64 KiB where offsets widen.
void FillMixed(TVKDebugList& list) {
  const size_t sizes[] = {0, 1, 15, 16, 17, 255, 4097, 70001, 3};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    TVKBytes block(sizes[i]);
    for (size_t k = 0; k < block.size(); ++k) block[k] = static_cast<uint8_t>(k * 31 + i);
    list.Add("dump " + std::to_string(sizes[i]));
    list.AddDump(block);
    if (i % 3 == 0) list.Add(std::string_view());
    if (i % 3 == 1) list.Add(u"Gr\u00fc\u00dfe @@@");
  }
}

TEST(DebugList, SpilledEarlyOrNeverTheSavedBytesAreTheSame) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");
  TVKDebugList never(SIZE_MAX);
  FillMixed(never);
  ASSERT_TRUE(never.Save(dir / "never.txt"));
  const std::string want = test::ReadFile(dir / "never.txt");
  EXPECT_FALSE(never.Spilled());

  for (size_t threshold : {size_t{1}, size_t{100}, size_t{4096}, TVKDebugList::kDefaultSpillThreshold}) {
    SCOPED_TRACE(threshold);
    TVKDebugList list(threshold);
    FillMixed(list);
    ASSERT_TRUE(list.Spilled());
    EXPECT_EQ(list.LineCount(), never.LineCount());
    const fs::path spillFile = list.SpillFile();
    ASSERT_TRUE(list.Save(dir / "copy.txt"));
    EXPECT_EQ(test::ReadFile(dir / "copy.txt"), want);
    EXPECT_EQ(list.SavedBytes(), TVKBytes(want.begin(), want.end()));

    // At the task's end the temporary file becomes the saved file, over an
    // older file of the same name, and the list is left empty.
    test::WriteFile(dir / "end.txt", "older and longer than nothing");
    ASSERT_TRUE(list.SaveAndClear(dir / "end.txt"));
    EXPECT_EQ(test::ReadFile(dir / "end.txt"), want);
    EXPECT_FALSE(fs::exists(spillFile));
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.Spilled());
  }

  // A list that never spilled is written as well, and emptied.
  TVKDebugList small;
  small.Add("one line");
  ASSERT_TRUE(small.SaveAndClear(dir / "small.txt"));
  EXPECT_EQ(test::ReadFile(dir / "small.txt"), "one line \r\n");
  EXPECT_TRUE(small.Empty());
}

TEST(DebugList, SaveAndClearToAnUnusableNameFailsAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nDebugDir=" + dir.path().string() + "\n");
  fs::create_directories(dir / "taken");
  TVKDebugList list(1024);
  Fill(list, 10);
  ASSERT_TRUE(list.Spilled());
  const fs::path spillFile = list.SpillFile();
  EXPECT_FALSE(list.SaveAndClear(dir / "taken"));  // a directory of that name
  EXPECT_FALSE(fs::exists(spillFile));
  EXPECT_TRUE(fs::is_directory(dir / "taken"));
  EXPECT_TRUE(list.Empty());
}

TEST(DebugList, SpillFallsBackToTheTempDirectory) {
  test::TempDir dir;
  // A debug directory that cannot exist: a path below a regular file.
  test::WriteFile(dir / "file", "x");
  test::LoadIni(dir, "[System]\nOutputDebug=0\nOutputLog=0\nDebugDir=" + (dir / "file" / "sub").string() + "\n");
  TVKDebugList list(1024);
  Fill(list, 10);
  ASSERT_TRUE(list.Spilled());
  EXPECT_EQ(list.SpillFile().parent_path(), (fs::temp_directory_path() / "x").parent_path());
}

}  // namespace
}  // namespace vk
