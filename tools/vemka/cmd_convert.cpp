// vemka convert: turns a text table into the binary records a scale keeps,
// or such a binary file back into a text table, with no scale present.
//
//   vemka convert txt2bin plu.txt?65001 plu.bin --codepage 936
//   vemka convert txt2bin plu.txt plu.hex --hex
//   vemka convert bin2txt back.txt?65001 plu.bin --lfcodelen 6
//
// The text file always comes first; a "?codepage" suffix selects its code
// page (and, with --hex, the hexadecimal file's).
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "host_util.h"

namespace vemka {

namespace {

// The tables a conversion knows, by name (the task export's DataType).
struct ConvertType {
  const char* name;
  int32_t type;
};
constexpr ConvertType kConvertTypes[] = {
    {"plu", 0}, {"note1", 12}, {"note2", 13}, {"note3", 14}, {"options", 16}, {"note4", 28}, {"message1", 261},
};

bool ParseConvertType(const std::string& text, int32_t& out) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const auto& t : kConvertTypes)
    if (lower == t.name) {
      out = t.type;
      return true;
    }
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
    return false;
  out = std::stoi(text);
  return true;
}

struct ConvertArgs {
  std::string direction, text, bin, type = "plu";
  int64_t codePage = 936, lfCodeLen = 8, priceMultiple = 100;
  bool hex = false;
};

struct ConvertProgress {
  bool tty = isatty(STDERR_FILENO) != 0;
  uint32_t lastShown = 0xFFFFFFFFu;
  uint32_t finalCode = 0xFFFFFFFFu;
};

// A bar on a terminal, a line per twentieth otherwise; the final code on
// its own line.
void VEMKA_CALL OnConvertProgress(uint32_t code, uint32_t index, uint32_t total, void* user) {
  auto* p = static_cast<ConvertProgress*>(user);
  if (code == VKSDK_PROGRESS) {
    const uint32_t step = total / 20 ? total / 20 : 1;
    if (p->tty) {
      if (index == p->lastShown || (index % step != 0 && index != total)) return;
      const int width = 40;
      int filled = total ? static_cast<int>(static_cast<uint64_t>(std::min(index, total)) * width / total) : 0;
      std::fprintf(stderr, "\r[%s%s] %u/%u", std::string(filled, '#').c_str(),
                   std::string(width - filled, '.').c_str(), index, total);
    } else if (index != p->lastShown && (index % step == 0 || index == total)) {
      std::fprintf(stderr, "progress %u/%u\n", index, total);
    }
    p->lastShown = index;
    return;
  }
  p->finalCode = code;
  if (p->tty && p->lastShown != 0xFFFFFFFFu) std::fprintf(stderr, "\n");
  std::fprintf(stderr, "result: %s (%u/%u)\n", CodeText(code).c_str(), index, total);
}

int RunConvert(const ConvertArgs& a) {
  const bool toBinary = a.direction == "txt2bin";
  int32_t dataType = 0;
  if (!ParseConvertType(a.type, dataType)) {
    std::string names;
    for (const auto& t : kConvertTypes) names += std::string(" ") + t.name + "=" + std::to_string(t.type);
    std::fprintf(stderr, "unknown data type: %s (names:%s, or a number)\n", a.type.c_str(), names.c_str());
    return 2;
  }
  if (a.hex && !toBinary) {
    std::fprintf(stderr, "--hex applies to txt2bin only\n");
    return 2;
  }
  const std::string params = "CodePage=" + std::to_string(a.codePage) + ";LFCodeLen=" + std::to_string(a.lfCodeLen) +
                             ";UnitPriceMultiple=" + std::to_string(a.priceMultiple);
  const std::u16string info = ToUtf16(params), text = ToUtf16(a.text), bin = ToUtf16(a.bin);
  ConvertProgress p;
  VemkaSDK_Initialize(nullptr);
  VKSDK_TASK h = VemkaSDK_ExecConvertTaskW(info.c_str(), 2, toBinary ? 0 : 1, dataType, text.c_str(), bin.c_str(), 0,
                                           a.hex ? 1 : 0, &OnConvertProgress, &p);
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
  cmd->add_option("--type", args.type, "data type, by name or number (plu, note1..note4, options, message1)")
      ->capture_default_str();
  cmd->add_option("--codepage", args.codePage, "the scale's character code page")->capture_default_str();
  cmd->add_option("--lfcodelen", args.lfCodeLen, "the scale's label-format code length (8: 8-digit PLU numbers)")
      ->capture_default_str();
  cmd->add_option("--price-multiple", args.priceMultiple, "unit-price multiple: 1, 10, 100 or 1000")
      ->capture_default_str();
  cmd->add_flag("--hex", args.hex, "txt2bin: write each frame as a line of hexadecimal digits");
  cmd->callback([&status] { status = RunConvert(args); });
}

}  // namespace vemka
