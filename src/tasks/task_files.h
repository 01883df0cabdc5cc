// The files a task reads and leaves behind: byte-order marks of its data
// files, its debug and log files, copies of transferred files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "runtime/file_stream.h"
#include "runtime/types.h"
#include "vemkasdk.h"

namespace vk {

class TVKSDKCustomProtocol;
class TVKDebugList;
struct TVKSDKExecParams;

// Stem of the task's debug and log file names.
std::u16string BuildTaskBaseFileName(const TVKSDKExecParams& p, TDateTime start, VKSDK_TASK number);
// Header blocks of the new task's debug and log lists, then the detection lines.
void WriteTaskHeaders(TVKSDKCustomProtocol& task, const TVKDebugList* detectionLines);
// Debug and log files written when a device task ends.
void SaveTaskEndFiles(TVKSDKCustomProtocol& task);
// Copy of an upload's output file into the debug directory.
void CopyUploadFileToDebugDir(TVKSDKCustomProtocol& task);

// 65001, 1200 or 1201 from a file's byte-order mark, 0 without one.
uint32_t DetectFileBom(const std::filesystem::path& file);
// Writes the byte-order mark of 1200, 1201 or 65001; nothing for others.
void WriteFileBom(TVKFileStream& s, uint32_t codePage);

}  // namespace vk

namespace vk {

// Daily purge of old debug files (when any debug or log output is on).
void PurgeDebugDirectory();
// The failure file of a task that was never created.
void WriteDetectionFailureFile(const TVKDebugList& lines, std::u16string_view addr, uint16_t port,
                               uint32_t protocolType, uint8_t procType, int32_t dataType, int32_t dataID,
                               std::u16string_view fileName);
// Dotted IPv4 text and its 32-bit form (first octet most significant).
uint32_t IPAddressToInteger(std::u16string_view addr);
std::u16string IntegerToIPAddress(uint32_t addr);

}  // namespace vk
