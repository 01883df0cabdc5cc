// vemka download / upload / delete: table transfers by data-type name.
//
//   vemka download 127.0.0.2 plu plu.txt?65001
//   vemka upload 127.0.0.2 plu back.txt?65001
//   vemka delete 127.0.0.2 plu
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "host_util.h"

namespace vemka {

namespace {

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
