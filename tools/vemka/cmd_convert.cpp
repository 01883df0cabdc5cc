// vemka convert: turns a text table into the binary records a scale keeps,
// or such a binary file back into a text table, with no scale present.
//
//   vemka convert txt2bin plu.txt?65001 plu.bin --codepage 936
//   vemka convert txt2bin plu.txt plu.hex --hex
//   vemka convert bin2txt back.txt?65001 plu.bin --lfcodelen 6
//   vemka convert txt2bin plu.txt plu.bin --weight-multiple 1000
//
// The text file always comes first; a "?codepage" suffix selects its code
// page (and, with --hex, the hexadecimal file's).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "host_util.h"

namespace vemka {

namespace {

struct ConvertArgs {
  std::string direction, text, bin, type = "plu";
  int64_t codePage = 936, lfCodeLen = 8, priceMultiple = 100, weightMultiple = 0;  // 0: not named
  bool hex = false;
};

int RunConvert(const ConvertArgs& a) {
  const bool toBinary = a.direction == "txt2bin";
  int32_t dataType = 0;
  if (!ParseDataType(a.type, dataType)) {
    std::fprintf(stderr, "unknown data type: %s (%s)\n", a.type.c_str(), DataTypeList().c_str());
    return 2;
  }
  if (a.hex && !toBinary) {
    std::fprintf(stderr, "--hex applies to txt2bin only\n");
    return 2;
  }
  std::string params = "CodePage=" + std::to_string(a.codePage) + ";LFCodeLen=" + std::to_string(a.lfCodeLen) +
                       ";UnitPriceMultiple=" + std::to_string(a.priceMultiple);
  if (a.weightMultiple != 0) params += ";WeightMultiple=" + std::to_string(a.weightMultiple);
  const std::u16string info = ToUtf16(params), text = ToUtf16(a.text), bin = ToUtf16(a.bin);
  Progress p;
  VemkaSDK_Initialize(nullptr);
  VKSDK_TASK h = VemkaSDK_ExecConvertTaskW(info.c_str(), 2, toBinary ? 0 : 1, dataType, text.c_str(), bin.c_str(), 0,
                                           a.hex ? 1 : 0, &OnProgress, &p);
  VemkaSDK_WaitForTask(h);
  if (p.finalCode == 0xFFFFFFFFu) std::fprintf(stderr, "result: %s\n", CodeText(p.finalCode).c_str());
  return ExitStatus(p.finalCode);
}

}  // namespace

// Adds convert to the host. It runs while the command line is parsed; its
// exit status lands in `status` (left alone when convert was not chosen).
void AddConvertCommand(CLI::App& app, int& status) {
  static ConvertArgs args;
  auto* cmd = app.add_subcommand("convert", "convert between a text table and a scale's binary file, offline");
  cmd->add_option("direction", args.direction, "txt2bin (TEXTFILE -> BINFILE) or bin2txt (BINFILE -> TEXTFILE)")
      ->required()
      ->check(CLI::IsMember({"txt2bin", "bin2txt"}));
  cmd->add_option("textfile", args.text, "the text table (a ?codepage suffix selects its code page)")->required();
  cmd->add_option("binfile", args.bin, "the binary file")->required();
  cmd->add_option("--type", args.type, "data type, by name or number (plu, unit, department, discount, note1..note4, nutritionelement, nutritioninfo, hotkey...)")
      ->capture_default_str();
  cmd->add_option("--codepage", args.codePage, "the scale's character code page")->capture_default_str();
  cmd->add_option("--lfcodelen", args.lfCodeLen, "the scale's label-format code length (8: 8-digit PLU numbers)")
      ->capture_default_str();
  cmd->add_option("--price-multiple", args.priceMultiple, "unit-price multiple: 1, 10, 100 or 1000")
      ->capture_default_str();
  cmd->add_option("--weight-multiple", args.weightMultiple,
                  "PLU weight multiple, a power of ten (1000: 0.125 is stored as 125); without it each row's "
                  "UnitID decides");
  cmd->add_flag("--hex", args.hex, "txt2bin: write each frame as a line of hexadecimal digits");
  cmd->callback([&status] { status = RunConvert(args); });
}

}  // namespace vemka
