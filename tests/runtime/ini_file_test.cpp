#include "runtime/ini_file.h"

#include <gtest/gtest.h>

#include "runtime_test_support.h"

namespace vk {
namespace {

TEST(IniFile, FollowsWindowsLookupRules) {
  const TVKIniFile ini = TVKIniFile::FromText(
      "\xEF\xBB\xBF"
      "Orphan=before any section\r\n"
      "; a comment line\r\n"
      "  [ System ]  \r\n"
      "  SyncTimeOut =  1500  \r\n"
      "synctimeout=9999\r\n"
      "Dir=C:\\data;old\r\n"
      ";Hidden=1\r\n"
      "Quoted=\"  spaced  \"\r\n"
      "NoEquals\r\n"
      "Empty=\r\n"
      "[function]\n"
      "Customer=abc\n"
      "[SYSTEM]\n"
      "Second=from a repeated section\n"
      "SyncTimeOut=1\n");

  struct Case {
    const char16_t* section;
    const char16_t* key;
    std::optional<std::u16string> want;
  } cases[] = {
      {u"system", u"SYNCTIMEOUT", u"1500"},            // case-insensitive, first key wins
      {u"System", u"Dir", u"C:\\data;old"},            // no inline comments
      {u"System", u"Hidden", std::nullopt},            // commented out
      {u"System", u"Quoted", u"  spaced  "},           // one pair of quotes removed
      {u"System", u"Empty", u""},                      // present but empty
      {u"System", u"Second", std::nullopt},            // the first section of a name wins
      {u"System", u"Orphan", std::nullopt},            // keys outside sections do not count
      {u"Function", u"customer", u"abc"},              // LF line ends
      {u"Missing", u"Customer", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.key));
    EXPECT_EQ(ini.Find(c.section, c.key), c.want);
  }
}

TEST(IniFile, NumbersThatDoNotParseKeepTheDefault) {
  struct Case {
    const char* value;
    int32_t integer;  // ReadInteger with default 77
    bool boolean;     // ReadBool with default true
  } cases[] = {
      {"12", 12, true},          {" 7 ", 7, true},           {"-3", -3, true},
      {"0", 0, false},           {"+5", 5, true},            {"fast", 77, true},
      {"12abc", 77, true},       {"", 77, true},             {"99999999999", 77, true},
      {"-2147483648", INT32_MIN, true}, {"0x10", 77, true},  {"true", 77, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const auto ini = TVKIniFile::FromText(std::string("[S]\nK=") + c.value + "\n");
    EXPECT_EQ(ini.ReadInteger(u"S", u"K", 77), c.integer);
    EXPECT_EQ(ini.ReadBool(u"S", u"K", true), c.boolean);
  }
  const auto none = TVKIniFile::FromText("");
  EXPECT_EQ(none.ReadInteger(u"S", u"K", 5), 5);
  EXPECT_FALSE(none.ReadBool(u"S", u"K", false));
  EXPECT_EQ(none.ReadString(u"S", u"K", u"d"), u"d");
}

TEST(IniFile, WritingOneIntegerKeepsTheRestOfTheFile) {
  test::TempDir dir;
  const auto file = dir / "last.ini";

  // Missing file: created with the section.
  ASSERT_TRUE(WriteIniInteger(file, "Param", "Last", 46000));
  EXPECT_EQ(test::ReadFile(file), "[Param]\r\nLast=46000\r\n");

  // Existing key replaced in place, other sections and comments kept.
  test::WriteFile(file, "; note\r\n[Other]\r\nLast=1\r\n[param]\r\nKeep=yes\r\nlast = 3\r\nTail=1\r\n");
  ASSERT_TRUE(WriteIniInteger(file, "Param", "Last", 46001));
  EXPECT_EQ(test::ReadFile(file), "; note\r\n[Other]\r\nLast=1\r\n[param]\r\nKeep=yes\r\nLast=46001\r\nTail=1\r\n");

  // Section without the key: the key joins the section, before the blank
  // line that separates it from the next one.
  test::WriteFile(file, "[Param]\nKeep=yes\n\n[Next]\nA=1\n");
  ASSERT_TRUE(WriteIniInteger(file, "Param", "Last", 7));
  EXPECT_EQ(test::ReadFile(file), "[Param]\nKeep=yes\nLast=7\n\n[Next]\nA=1\n");
  EXPECT_EQ(TVKIniFile(file).ReadInteger(u"Param", u"Last", 0), 7);
}

// The same file saved the ways Windows editors save it: every form reads the
// same values, and writing one key keeps the file's encoding.
TEST(IniFile, ReadsAndKeepsUtf8AndUtf16Files) {
  const std::u16string text = u"[System]\r\nSyncTimeOut=1500\r\n[Function]\r\nCustomer=Caf\u00E9 \U0001F600\r\n";
  auto utf16 = [&](bool le) {
    std::string out;
    for (char16_t c : u"\uFEFF" + text) {
      const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      out += le ? std::string{lo, hi} : std::string{hi, lo};
    }
    return out;
  };
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"UTF-8", Utf16ToUtf8(text)},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + Utf16ToUtf8(text)},
      {"UTF-16 LE", utf16(true)},
      {"UTF-16 BE", utf16(false)},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir / "vemka.ini";
    test::WriteFile(file, c.bytes);
    const TVKIniFile ini(file);
    EXPECT_EQ(ini.ReadInteger(u"System", u"SyncTimeOut", 0), 1500);
    EXPECT_EQ(ini.Find(u"Function", u"Customer"), u"Caf\u00E9 \U0001F600");

    ASSERT_TRUE(WriteIniInteger(file, "System", "SyncTimeOut", 7));
    const std::string written = test::ReadFile(file);
    EXPECT_EQ(written.substr(0, 2), c.bytes.substr(0, 2));  // same mark, same byte order
    const TVKIniFile again(file);
    EXPECT_EQ(again.ReadInteger(u"System", u"SyncTimeOut", 0), 7);
    EXPECT_EQ(again.Find(u"Function", u"Customer"), u"Caf\u00E9 \U0001F600");
  }
}

}  // namespace
}  // namespace vk
