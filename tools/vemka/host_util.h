// Small helpers of the vemka command-line host.
#pragma once

#include <cstdint>
#include <string>

#include "vemkasdk.h"

namespace vemka {

// The meaning of a task code ("266 No valid reply ...").
std::string CodeText(uint32_t code);
// Dotted IPv4 text to the SDK's integer form; false when it is not one.
bool ParseAddress(const std::string& text, uint32_t& out);
// UTF-8 (the host's text) to the SDK's UTF-16.
std::u16string ToUtf16(const std::string& s);
std::string ToUtf8(const std::u16string& s);

// A data type by name (any case: plu, unit, department...) or by number.
bool ParseDataType(const std::string& text, int32_t& out);
// The names and numbers, for help texts.
std::string DataTypeList();

// Progress of a running task on stderr: a bar on a terminal, plain lines
// otherwise, and the final code by its meaning. Pass OnProgress with a
// Progress as its user data.
struct Progress {
  Progress();
  bool tty;
  uint32_t lastShown = 0xFFFFFFFFu;
  uint32_t finalCode = 0xFFFFFFFFu;
};
void VEMKA_CALL OnProgress(uint32_t code, uint32_t index, uint32_t total, void* user);

// Runs a task to its end, drawing progress on stderr (a bar on a terminal,
// plain lines otherwise), and returns the final code.
uint32_t RunTask(uint32_t addr, uint32_t port, uint32_t protocolType, uint32_t procType, int32_t dataType,
                 int32_t dataID, const std::string& file);

// Exit status for a final code: 0 for success, 1 otherwise.
int ExitStatus(uint32_t code);

}  // namespace vemka
