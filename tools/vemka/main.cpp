// vemka: a command-line host for the Vemka SDK.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "cmd_discovery.h"
#include "host_util.h"

namespace vemka {
void AddTaskCommands(CLI::App& app, int& status);  // cmd_tasks.cpp
void AddConvertCommand(CLI::App& app, int& status);  // cmd_convert.cpp
}

int main(int argc, char** argv) {
  CLI::App app{"vemka: drive Vemka scales from the command line"};
  app.require_subcommand(1);

  // exec: a task with the raw numbers of the SDK's task export.
  std::string addr, file = "*";
  uint32_t port = 5002, protocol = 0, proc = 0, dataID = 0;
  int32_t dataType = 0;
  auto* exec = app.add_subcommand("exec", "run one task given by its raw numbers");
  exec->add_option("address", addr, "device address (dotted IPv4)")->required();
  exec->add_option("--port", port, "device port")->capture_default_str();
  exec->add_option("--protocol", protocol, "protocol type: 0 detect, 1 Pecr, 2 Hecr, 3 TSecr")->capture_default_str();
  exec->add_option("--proc", proc, "ProcType: 0 download, 1 upload, 3 delete, 4 list")->capture_default_str();
  exec->add_option("--type", dataType, "data type")->capture_default_str();
  exec->add_option("--id", dataID, "DataID")->capture_default_str();
  exec->add_option("--file", file, "data file (a ?codepage suffix selects its code page)")->capture_default_str();

  int taskStatus = -1;
  vemka::AddTaskCommands(app, taskStatus);
  int convertStatus = -1;
  vemka::AddConvertCommand(app, convertStatus);

  vemka::AddDiscoveryCommands(app);

  CLI11_PARSE(app, argc, argv);
  if (taskStatus >= 0) return taskStatus;
  if (convertStatus >= 0) return convertStatus;

  if (*exec) {
    uint32_t a = 0;
    if (!vemka::ParseAddress(addr, a)) {
      std::fprintf(stderr, "not an IPv4 address: %s\n", addr.c_str());
      return 2;
    }
    uint32_t code = vemka::RunTask(a, port, protocol, proc, dataType, static_cast<int32_t>(dataID), file);
    return vemka::ExitStatus(code);
  }
  return 0;
}
