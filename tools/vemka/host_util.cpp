#include "host_util.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>
#include <vector>

namespace vemka {

std::string CodeText(uint32_t code) {
  switch (code) {
#define VEMKA_CODE_CASE_(name, value, text) \
  case value:                               \
    return std::to_string(value) + " " + text;
    VKSDK_RESULT_CODES(VEMKA_CODE_CASE_)
#undef VEMKA_CODE_CASE_
    case 0xFFFFFFFFu:
      return "no result reported";
    default:
      return std::to_string(code) + " unknown code";
  }
}

bool ParseAddress(const std::string& text, uint32_t& out) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) return false;
  if (a > 255 || b > 255 || c > 255 || d > 255) return false;
  out = (a << 24) | (b << 16) | (c << 8) | d;
  return true;
}

std::u16string ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = c;
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    if (len > 1) cp = c & (0x7F >> len);
    for (size_t k = 1; k < len && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size()) cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {

// Names of the data types a scale's tables are selected by (the task
// export's DataType argument).
struct DataTypeName {
  const char* name;
  int32_t type;
};
constexpr DataTypeName kDataTypes[] = {
    {"plu", 0},
    {"unit", 1},
    {"department", 2},
    {"hotkey", 3},
    {"group", 4},
    {"discount", 5},
    {"tare", 10},
    {"note1", 12},
    {"note2", 13},
    {"note3", 14},
    {"options", 16},
    {"barcode", 17},
    {"header", 19},
    {"footer", 20},
    {"advertisement", 21},
    {"labeladvertisement", 24},
    {"nutritionelement", 26},
    {"nutritioninfo", 27},
    {"note4", 28},
    {"label32", 32},
    {"label33", 33},
    {"labeldesign", 34},
    {"label35", 35},
    {"label50", 50},
    {"timefix", 37},
    {"untied", 38},
    {"shelfmap", 39},
    {"shelfplumap", 40},
    {"eslfirmware", 41},
    {"bsfirmware", 48},
    {"htfirmware", 49},
    {"json", 51},
    {"event", 52},
    {"esllayerchanged", 53},
    {"democommand", 54},
    {"picking", 55},
    {"pickingfinish", 56},
    {"pickingcancel", 57},
    {"learn", 64},
    {"learndata", 65},
    {"eslindicator", 66},
    {"esllight", 70},
    {"clerk", 112},
    {"speedcode", 113},
    {"salerecord", 114},
    {"hotsale", 115},
    {"changeprotocol", 148},
    {"webservice", 149},
    {"log", 150},
    {"command", 151},
    {"sms", 152},
    {"rawdata", 153},
    {"message1", 261},
    {"salerecord2", 263},
    {"plureport", 264},
    {"groupreport", 265},
    {"departmentreport", 266},
    {"tracestatus", 288},
    {"tracemap", 289},
    {"tracedata", 290},
    {"image", 4101},
    {"time", 8193},
    {"font", 8194},
    {"firmware", 8195},
    {"param1", 8196},
    {"param2", 8197},
    {"param3", 8198},
    {"tkprnfirmware", 8199},
    {"tkfirmware", 8200},
    {"adfirmware", 8201},
};

}  // namespace

// A data type by name (any case) or by decimal number.
bool ParseDataType(const std::string& text, int32_t& out) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const auto& d : kDataTypes)
    if (lower == d.name) {
      out = d.type;
      return true;
    }
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
    return false;
  out = std::stoi(text);
  return true;
}

// Sorted by name, so a reader finds a table where the alphabet puts it.
std::string DataTypeList() {
  std::vector<const DataTypeName*> sorted;
  for (const auto& d : kDataTypes) sorted.push_back(&d);
  std::sort(sorted.begin(), sorted.end(),
            [](const DataTypeName* a, const DataTypeName* b) { return std::string_view(a->name) < b->name; });
  std::string s = "data types (name or number):";
  for (const DataTypeName* d : sorted) s += std::string(" ") + d->name + "=" + std::to_string(d->type);
  return s;
}


Progress::Progress() : tty(isatty(STDERR_FILENO) != 0) {}

// A bar on a terminal, a line per twentieth otherwise; the final code on
// its own line.
void VEMKA_CALL OnProgress(uint32_t code, uint32_t index, uint32_t total, void* user) {
  auto* p = static_cast<Progress*>(user);
  if (code == VKSDK_PROGRESS) {
    const uint32_t step = total / 20 ? total / 20 : 1;
    if (index == p->lastShown || (index % step != 0 && index != total)) return;
    if (p->tty) {
      const int width = 40;
      int filled = total ? static_cast<int>(static_cast<uint64_t>(std::min(index, total)) * width / total) : 0;
      std::fprintf(stderr, "\r[%s%s] %u/%u", std::string(filled, '#').c_str(),
                   std::string(width - filled, '.').c_str(), index, total);
    } else {
      std::fprintf(stderr, "progress %u/%u\n", index, total);
    }
    p->lastShown = index;
    return;
  }
  p->finalCode = code;
  if (p->tty && p->lastShown != 0xFFFFFFFFu) std::fprintf(stderr, "\n");
  std::fprintf(stderr, "result: %s (%u/%u)\n", CodeText(code).c_str(), index, total);
}

uint32_t RunTask(uint32_t addr, uint32_t port, uint32_t protocolType, uint32_t procType, int32_t dataType,
                 int32_t dataID, const std::string& file) {
  Progress p;
  VemkaSDK_Initialize(nullptr);
  std::u16string wfile = ToUtf16(file);
  VKSDK_TASK h = VemkaSDK_ExecTaskEx(addr, port, protocolType, procType, dataType, dataID, wfile.c_str(),
                                     &OnProgress, &p);
  VemkaSDK_WaitForTask(h);
  return p.finalCode;
}

int ExitStatus(uint32_t code) { return code == VKSDK_OK ? 0 : 1; }

}  // namespace vemka
