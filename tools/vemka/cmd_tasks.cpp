// vemka download / upload / delete: table transfers by data-type name.
//
//   vemka download 127.0.0.2 plu plu.txt?65001
//   vemka upload 127.0.0.2 plu back.txt?65001
//   vemka delete 127.0.0.2 plu
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "host_util.h"

namespace vemka {

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

std::string DataTypeList() {
  std::string s = "data types (name or number):";
  for (const auto& d : kDataTypes) s += std::string(" ") + d.name + "=" + std::to_string(d.type);
  return s;
}

struct TaskArgs {
  std::string addr, type, file;
  uint32_t port = 5002, protocol = 0, dataID = 0;
};

int Run(const TaskArgs& a, uint32_t procType) {
  uint32_t addr = 0;
  if (!ParseAddress(a.addr, addr)) {
    std::fprintf(stderr, "not an IPv4 address: %s\n", a.addr.c_str());
    return 2;
  }
  int32_t dataType = 0;
  if (!ParseDataType(a.type, dataType)) {
    std::fprintf(stderr, "unknown data type: %s (%s)\n", a.type.c_str(), DataTypeList().c_str());
    return 2;
  }
  return ExitStatus(RunTask(addr, a.port, a.protocol, procType, dataType, static_cast<int32_t>(a.dataID), a.file));
}

CLI::App* AddTaskCommand(CLI::App& app, const char* name, const char* help, TaskArgs& args, bool fileRequired) {
  auto* cmd = app.add_subcommand(name, help);
  cmd->footer(DataTypeList());
  cmd->add_option("address", args.addr, "device address (dotted IPv4)")->required();
  cmd->add_option("type", args.type, "data type, by name or number")->required();
  auto* file = cmd->add_option("file", args.file, "data file (a ?codepage suffix selects its code page, e.g. plu.txt?65001)");
  if (fileRequired) file->required();
  cmd->add_option("--port", args.port, "device port")->capture_default_str();
  cmd->add_option("--protocol", args.protocol, "protocol type: 0 detect, 1 Pecr, 2 Hecr, 3 TSecr")->capture_default_str();
  cmd->add_option("--id", args.dataID, "DataID (for example 1: upload only the PLUs of the .lst file)")
      ->capture_default_str();
  return cmd;
}

}  // namespace

// Adds download, upload and delete to the host. The chosen command runs
// while the command line is parsed; its exit status lands in `status`
// (left alone when none of them was chosen).
void AddTaskCommands(CLI::App& app, int& status) {
  static TaskArgs down, up, del;
  AddTaskCommand(app, "download", "download a table from FILE into the device", down, true)
      ->callback([&status] { status = Run(down, 0); });
  AddTaskCommand(app, "upload", "upload a table from the device into FILE", up, true)
      ->callback([&status] { status = Run(up, 1); });
  del.file = "*";
  AddTaskCommand(app, "delete", "delete the records named in FILE, or the whole table (\"*\", the default)", del,
                 false)
      ->callback([&status] { status = Run(del, 3); });
}

}  // namespace vemka
