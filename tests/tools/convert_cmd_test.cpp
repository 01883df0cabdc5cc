// The built `vemka convert` command: both directions, its options, exit
// status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs `vemka convert ARGS` with a private INI; returns its exit status.
int VemkaConvert(const fs::path& dir, const std::string& args) {
  const fs::path ini = dir / "libvemkasdk.ini";
  if (!fs::exists(ini)) std::ofstream(ini, std::ios::binary) << vktest::DefaultIni(dir / "debug");
  const std::string cmd = "VEMKASDK_INI='" + ini.string() + "' '" VEMKA_BINARY_DIR "/tools/vemka' convert " + args +
                          " >'" + (dir / "out.log").string() + "' 2>&1";
  int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(VemkaConvertCommand, ConvertsBothWaysWithTheScaleParameters) {
  fs::path dir = vktest::TempDir();
  std::ofstream(dir / "plu.txt", std::ios::binary) << "ID\tName1\tPrice\r\n123\tApple\t12.5\r\n";
  const std::string txt = "'" + (dir / "plu.txt").string() + "'", bin = "'" + (dir / "plu.bin").string() + "'";

  ASSERT_EQ(VemkaConvert(dir, "txt2bin " + txt + " " + bin + " --codepage 1252 --lfcodelen 6 --price-multiple 1000"),
            0)
      << ReadAll(dir / "out.log");
  std::string rec = ReadAll(dir / "plu.bin");
  ASSERT_EQ(rec.size(), 512u);
  EXPECT_EQ(rec.substr(0, 3), std::string("\x00\x01\x23", 3));
  EXPECT_EQ(rec.substr(138, 6), std::string("\x00\x00\x00\x01\x25\x00", 6));  // 12.5 x 1000
  EXPECT_NE(ReadAll(dir / "out.log").find("result: 0"), std::string::npos) << ReadAll(dir / "out.log");

  const std::string back = "'" + (dir / "back.txt").string() + "'";
  ASSERT_EQ(VemkaConvert(dir, "bin2txt " + back + " " + bin + " --lfcodelen 6 --price-multiple 1000"), 0);
  std::string text = ReadAll(dir / "back.txt");
  EXPECT_NE(text.find("\r\n123\t"), std::string::npos) << text;
  EXPECT_NE(text.find("\tApple\t"), std::string::npos) << text;
  EXPECT_NE(text.find("\t12.5\t"), std::string::npos) << text;

  ASSERT_EQ(VemkaConvert(dir, "txt2bin " + txt + " '" + (dir / "plu.hex").string() + "' --hex --lfcodelen 6"), 0);
  std::string hex = ReadAll(dir / "plu.hex");
  ASSERT_EQ(hex.size(), 1056u);
  EXPECT_EQ(hex.substr(0, 14), "AA00000000982E");

  // Fractional weights keep their digits with a weight multiple.
  std::ofstream(dir / "w.txt", std::ios::binary) << "ID\tName1\tTareValue\r\n1\tA\t0.125\r\n";
  ASSERT_EQ(VemkaConvert(dir, "txt2bin '" + (dir / "w.txt").string() + "' " + bin + " --weight-multiple 1000"), 0)
      << ReadAll(dir / "out.log");
  EXPECT_EQ(ReadAll(dir / "plu.bin").substr(179, 4), std::string("\x00\x00\x01\x25", 4));
}

TEST(VemkaConvertCommand, ExitStatusForFailuresAndUsage) {
  fs::path dir = vktest::TempDir();
  const std::string missing = "'" + (dir / "missing.txt").string() + "'", bin = "'" + (dir / "x.bin").string() + "'";
  EXPECT_EQ(VemkaConvert(dir, "txt2bin " + missing + " " + bin), 1);
  EXPECT_NE(ReadAll(dir / "out.log").find("264"), std::string::npos) << ReadAll(dir / "out.log");
  EXPECT_EQ(VemkaConvert(dir, "bin2txt " + missing + " " + bin + " --hex"), 2);
  std::ofstream(dir / "w.txt", std::ios::binary) << "ID\tName1\r\n1\tA\r\n";
  EXPECT_EQ(VemkaConvert(dir, "txt2bin '" + (dir / "w.txt").string() + "' " + bin + " --weight-multiple 5"), 1);
  EXPECT_NE(ReadAll(dir / "out.log").find("261"), std::string::npos) << ReadAll(dir / "out.log");
  EXPECT_EQ(VemkaConvert(dir, "txt2bin " + missing + " " + bin + " --type nosuch"), 2);
  EXPECT_NE(VemkaConvert(dir, "sideways " + missing + " " + bin), 0);
}

}  // namespace
