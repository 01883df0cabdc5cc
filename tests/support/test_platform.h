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

// Runs a program with arguments and waits up to timeoutMs for it to end.
// Returns its exit code, or -1 when it could not start or did not end in
// time (it is then killed); elapsedMs is the time from start to end.
int RunProgram(const std::filesystem::path& program, const std::string& argument, int timeoutMs,
               long long& elapsedMs);

}  // namespace vktest
