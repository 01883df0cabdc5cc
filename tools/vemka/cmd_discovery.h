// The vemka subcommands that find devices: "scan" and "info".
#pragma once

#include <CLI/CLI.hpp>

namespace vemka {

// Adds "scan ADDRESS" (a table of the devices of a segment or one address)
// and "info ADDRESS" (every field of one device's record). Each runs from
// its own callback and ends the program's parse with its exit status.
void AddDiscoveryCommands(CLI::App& app);

}  // namespace vemka
