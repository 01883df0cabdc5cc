// Conversion exports as a host sees them: argument checks and refusals that
// must not touch any file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;

struct Calls {
  std::vector<uint32_t> codes;
  static void VEMKA_CALL Cb(uint32_t code, uint32_t, uint32_t, void* user) {
    static_cast<Calls*>(user)->codes.push_back(code);
  }
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ConvertExports, UnacceptedArgumentsAre261WithoutFiles) {
  auto& sdk = vktest::LoadSdkDefault();
  fs::path dir = vktest::TempDir();
  std::string txt = (dir / "in.txt").string(), bin = (dir / "out.bin").string();
  std::ofstream(txt, std::ios::binary) << "ID\tName1\n1\tA\n";
  EXPECT_EQ(sdk.Txt2BinA("", 2, 16, txt.c_str(), bin.c_str(), 0), 261u);
  EXPECT_EQ(sdk.Txt2BinA("", 1, 0, txt.c_str(), bin.c_str(), 0), 261u);
  EXPECT_EQ(sdk.Bin2TxtA("", 2, 1, bin.c_str(), txt.c_str(), 0), 261u);
  EXPECT_EQ(sdk.Bin2TxtA("", 3, 0, bin.c_str(), txt.c_str(), 0), 261u);
  EXPECT_FALSE(fs::exists(bin));
  EXPECT_EQ(ReadAll(txt), "ID\tName1\n1\tA\n");
}

TEST(ConvertExports, PecrStartsNothingAndCallsNothing) {
  auto& sdk = vktest::LoadSdkDefault();
  Calls calls;
  EXPECT_EQ(sdk.ExecConvertTask(u"", 1, 0, 0, u"a.txt", u"a.bin", 0, 0, &Calls::Cb, &calls), VKSDK_INVALID_TASK);
  EXPECT_TRUE(calls.codes.empty());
}

// Only text-to-binary (0) and binary-to-text (1) exist; any other ProcType
// is refused before the caller's binary file is opened, let alone truncated.
TEST(ConvertExports, OtherProcTypesAreRefusedAndTheBinaryFileSurvives) {
  auto& sdk = vktest::LoadSdkDefault();
  fs::path dir = vktest::TempDir();
  fs::path txt = dir / "plu.txt", bin = dir / "plu.bin";
  std::ofstream(txt, std::ios::binary) << "ID\n1\n";
  std::ofstream(bin, std::ios::binary) << std::string(700, '\x11');
  for (uint32_t proc : {2u, 3u, 4u, 6u}) {
    Calls calls;
    VKSDK_TASK h = sdk.ExecConvertTask(u"", 2, proc, 0, txt.u16string().c_str(), bin.u16string().c_str(), 0, 0,
                                       &Calls::Cb, &calls);
    sdk.WaitForTask(h);
    EXPECT_EQ(h, VKSDK_INVALID_TASK) << proc;
    EXPECT_EQ(calls.codes, std::vector<uint32_t>{261}) << proc;
  }
  EXPECT_EQ(fs::file_size(bin), 700u);
}

// A name that is only a code-page suffix names no file: refused with 264,
// never run as a task against a device.
TEST(ConvertExports, NameThatIsOnlyASuffixIs264) {
  auto& sdk = vktest::LoadSdkDefault();
  fs::path dir = vktest::TempDir();
  const std::u16string txt = (dir / "plu.txt").u16string(), bin = (dir / "plu.bin").u16string();
  std::ofstream(dir / "plu.txt") << "ID\n1\n";
  struct Case {
    std::u16string text, binary;
  } cases[] = {{txt, u"?1200"}, {u"?65001", bin}};
  for (const auto& c : cases) {
    for (uint32_t proc : {0u, 1u}) {
      Calls calls;
      VKSDK_TASK h = sdk.ExecConvertTask(u"", 2, proc, 0, c.text.c_str(), c.binary.c_str(), 0, 0, &Calls::Cb, &calls);
      sdk.WaitForTask(h);
      EXPECT_EQ(h, VKSDK_INVALID_TASK);
      EXPECT_EQ(calls.codes, std::vector<uint32_t>{264});
    }
  }
}

// A name with a lone surrogate cannot name a file: 264, not a generic
// failure.
TEST(ConvertExports, NameWithInvalidUtf16Is264) {
  auto& sdk = vktest::LoadSdkDefault();
  fs::path dir = vktest::TempDir();
  const std::u16string bin = (dir / "plu.bin").u16string();
  const std::u16string bad = (dir / "plu").u16string() + u'\xD800' + u".txt";
  Calls calls;
  VKSDK_TASK h = sdk.ExecConvertTask(u"", 2, 0, 0, bad.c_str(), bin.c_str(), 0, 0, &Calls::Cb, &calls);
  ASSERT_NE(h, VKSDK_INVALID_TASK);
  sdk.WaitForTask(h);
  EXPECT_EQ(calls.codes, std::vector<uint32_t>{264});
}

// With debug and log output both off a conversion leaves nothing in the
// debug directory: no copy of its result either.
TEST(ConvertExports, NoCopiesWhenOutputsAreOff) {
  fs::path debugDir = vktest::TempDir();
  auto& sdk = vktest::LoadSdk(vktest::DefaultIni(debugDir, "OutputDebug=0\nOutputLog=0\n"));
  fs::path dir = vktest::TempDir();
  const std::string txt = (dir / "plu.txt").string(), bin = (dir / "plu.bin").string(),
                    back = (dir / "back.txt").string();
  std::ofstream(txt, std::ios::binary) << "ID\tName1\n1\tA\n";
  ASSERT_EQ(sdk.Txt2BinA("", 2, 0, txt.c_str(), bin.c_str(), 0), 0u);
  ASSERT_EQ(sdk.Bin2TxtA("", 2, 0, bin.c_str(), back.c_str(), 0), 0u);
  EXPECT_TRUE(fs::exists(back));
  EXPECT_TRUE(fs::is_empty(debugDir));
}

}  // namespace
