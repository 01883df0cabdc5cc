// The few operating-system calls the tests make themselves, for Linux and
// for the Windows build that runs under Wine: the process number, the
// environment, loading the library, and an exclusive lock file.
#pragma once

#include <filesystem>
#include <string>

namespace vktest {

unsigned long ProcessId();
// An empty value removes the variable.
void SetEnv(const char* name, const std::string& value);

// Loads a shared library and looks up its exports; "" when all is well,
// otherwise the system's reason.
void* OpenLibrary(const std::filesystem::path& file, std::string& error);
void* LibrarySymbol(void* library, const char* name);

// Opens the file and holds an exclusive lock on it for the rest of the
// process; false when another process holds it.
bool LockForProcess(const std::filesystem::path& file);

}  // namespace vktest
