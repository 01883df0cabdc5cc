// What tasks and discovery leave in the debug directory: the task header,
// the debug and log files written when a task ends, copies of the task's
// data file, failure files for devices that never answered, the daily purge
// of old files, and the small append-only log used outside tasks.
//
// Nothing here reports a file error: debug output never changes a result.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/debug_list.h"
#include "runtime/platform.h"
#include "runtime/types.h"

namespace vk {

// Separator lines of the task header and failure files (73 characters).
inline constexpr std::string_view kStarLine =
    "*************************************************************************";
inline constexpr std::string_view kDashLine =
    "-------------------------------------------------------------------------";
static_assert(kStarLine.size() == 73 && kDashLine.size() == 73);

// Time texts.
std::string FormatDateTimeMs(const platform::LocalTime& t);   // yyyy-mm-dd hh:nn:ss.zzz
std::string FormatDateTimeSec(const platform::LocalTime& t);  // yyyy-mm-dd hh:nn:ss
std::string FormatTimeMs(const platform::LocalTime& t);       // hh:nn:ss.zzz
std::string FormatFileStamp(const platform::LocalTime& t);    // yyyymmdd_hhnnss_zzz
std::string FormatDate8(const platform::LocalTime& t);        // yyyymmdd
inline std::string FormatDateTimeMs(TDateTime t) { return FormatDateTimeMs(platform::FromDateTime(t)); }
inline std::string FormatFileStamp(TDateTime t) { return FormatFileStamp(platform::FromDateTime(t)); }
// A duration as hh:nn:ss.zzz (hours keep counting past 24).
std::string FormatElapsed(TDateTime start, TDateTime stop);

// Stem of a task's debug and log file names:
// Addr_yyyymmdd_hhnnss_zzz_<number>_0x<ProcType 2 digits>_0x<DataType low 16 bits, 4 digits>.
std::u16string BuildBaseFileName(std::u16string_view addr, TDateTime time, uint64_t uniqueNumber, uint8_t procType,
                                 int32_t dataType);

// What the task header shows about a task.
struct TVKTaskHeaderInfo {
  std::u16string Addr;
  uint16_t Port = 0;
  std::string ClassName;  // TVKSDKHecrProtocol, TVKSDKPecrProtocol, TVKSDKTSecrProtocol
  uint8_t ProcType = 0;
  int32_t DataType = 0;
  int32_t DataID = 0;
  std::u16string FileName;
  TVKBytes DeviceBlock;                     // the block of the discovery reply that chose the family
  std::vector<std::u16string> DeviceItems;  // what the device reported, one "Name:value" text each
};

// Adds the header block (parameters, the raw block's dump and the device's
// information items) to a task's debug or log list.
void WriteTaskHeader(TVKDebugList& list, const TVKTaskHeaderInfo& info);
// Adds the detection lines and a dashed line, when there are any.
void AppendDetectionLines(TVKDebugList& list, const TVKDebugList& detection);
// The progress line of a report: "Complete, Total: %d", "Progress: %d/%d" or
// "Proc Failed! ErrorCode:%d  Progress: %d/%d".
std::string ProgressLogText(uint32_t errorCode, uint32_t index, uint32_t total);

// What a device task leaves when it is destroyed.
struct TVKTaskFiles {
  TVKDebugList* DebugList = nullptr;  // null when OutputDebug is off
  TVKDebugList* LogList = nullptr;    // null when OutputLog is 0
  int32_t OutputLog = 0;
  std::filesystem::path DebugDir;
  std::u16string BaseFileName;
  TDateTime StartTime = 0;
  bool Failed = false;
  uint32_t ErrorCode = 0;
  uint8_t ProcType = 0;
  std::filesystem::path FileName;  // the task's data file, without a code-page suffix
};
// Writes the debug file (with its start, stop and elapsed lines), the copy
// of a downloaded file, and the log file as the log level asks; every file
// is dated at the task's start. The lists are empty afterwards (a spilled
// list's temporary file becomes the saved file).
void SaveTaskFiles(const TVKTaskFiles& files);

// Copies an uploaded data file into DebugDir as BaseFileName_<name>, dated
// at the task's start. Nothing happens when the file does not exist.
void CopyUploadFile(const std::filesystem::path& debugDir, std::u16string_view baseFileName,
                    const std::filesystem::path& fileName, TDateTime startTime);

// Deletes the SDK's own files in Directory whose modification date is more
// than Days days before today, at most once a day (the date of the last run
// is kept in last.ini there). Other files, last.ini and directories stay.
void PurgeOldDebugFiles(const std::filesystem::path& directory, int32_t days);
// Whether a file name is one the SDK writes into the debug directory.
bool IsSdkDebugFileName(std::u16string_view name);

// The failure file of a task that was never created because no family
// answered detection. Written only when OutputDebug or OutputLog > 0.
struct TVKDetectionFailure {
  std::u16string Addr;
  uint16_t Port = 0;
  uint8_t ProtocolType = 0;  // after the DetectProtocol rule
  uint8_t ProcType = 0;
  int32_t DataType = 0;
  int32_t DataID = 0;
  std::u16string FileName;
  std::u16string Message = u"Connect Failed!";
  std::u16string FileTag = u"connect failed";
};
// Returns the file written (empty when nothing was written).
std::filesystem::path WriteDetectionFailure(const TVKDebugList& detection, const TVKDetectionFailure& failure);

// Appends the three lines of a failed device-information query to the
// day's GetDeviceInfo_ file in the debug directory (only when OutputDebug or
// OutputLog > 0).
void WriteGetDeviceInfoFailure(std::u16string_view addr, uint16_t port, uint8_t protocolType);

// Appends S and a line end to a log file outside any task: fn itself when it
// has a directory part, else <library dir>/<library name>_log/fn, or that
// directory's yyyymmdd.txt when fn is empty.
void WriteLog(std::u16string_view S, std::u16string_view fn);
// The directory WriteLog uses for bare names.
std::filesystem::path DefaultLogDirectory();

}  // namespace vk
