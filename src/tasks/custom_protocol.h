// The task: one job against one device (or one offline conversion), run on a
// thread of its own. Each protocol family derives its task class from
// TVKSDKCustomProtocol and supplies the exchange in Execute.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/debug_list.h"
#include "runtime/file_stream.h"
#include "runtime/sync.h"
#include "runtime/types.h"
#include "tasks/data_types.h"
#include "device/device_raw_data.h"
#include "vemkasdk.h"

namespace vk {

// Everything a task knows about its job. Owned by the task.
struct TVKSDKExecParams {
  std::u16string Addr;
  uint16_t Port = 0;
  uint8_t ProcType = 0;
  int32_t DataType = 0;
  int32_t DataID = 0;
  // The data type's row in the task's family (null: a type the family lacks).
  const TVKDataTypeRow* Row = nullptr;
  std::u16string FileName;   // without the "?codepage" suffix
  uint32_t FileCodePage = 0;
  std::u16string AuxFileName;
  uint32_t AuxCodePage = 0;
  uint32_t OutputFileType = 0;
  TVKSDKOnProgressEvent OnProgress = nullptr;
  void* UserData = nullptr;
  std::unique_ptr<TVKFileStream> FileStream;
  std::unique_ptr<TVKFileStream> AuxFileStream;
  bool isConvert = false;
  // A conversion's output while it is written, and the file it replaces
  // once the conversion has succeeded; both empty otherwise.
  std::u16string OutputTempName;
  std::u16string OutputTarget;
  TVKSDKDeviceRawData DeviceRawData;
  bool OutputDebug = false;
  std::unique_ptr<TVKDebugList> DebugList;
  int32_t OutputLog = 0;
  std::unique_ptr<TVKDebugList> LogList;
  bool isFailed = false;
  uint32_t nErrorCode = 0;
};

// Arguments of a task's construction.
struct TVKTaskCreateArgs {
  TVKSDKDeviceRawData RawData;
  const TVKDebugList* DetectionLines = nullptr;
  void* UserData = nullptr;
  TVKSDKOnProgressEvent OnProgress = nullptr;
  uint32_t OutputFileType = 0;
  uint32_t AuxCodePage = 0;
  std::u16string AuxFileName;
  std::u16string FileName;
  int32_t DataID = 0;
  int32_t DataType = 0;
  uint8_t ProcType = 0;
  uint16_t Port = 0;
  std::u16string Addr;
};

class TVKSDKCustomProtocol {
 public:
  explicit TVKSDKCustomProtocol(const TVKTaskCreateArgs& args);
  virtual ~TVKSDKCustomProtocol();
  TVKSDKCustomProtocol(const TVKSDKCustomProtocol&) = delete;
  TVKSDKCustomProtocol& operator=(const TVKSDKCustomProtocol&) = delete;

  // The class name shown in the task header.
  virtual const char* ClassName() const = 0;

  // Joins the TaskList and starts the thread; returns the task's handle.
  // Called exactly once, right after construction. From here on the task
  // owns itself and frees itself when its thread ends.
  VKSDK_TASK Start();

  // The one way a task reports to the host.
  void DoProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total);
  // Reports a failure and asks the thread to end.
  void FailTask(uint32_t ErrorCode);
  void RegisterDestroyEvent(const TVKEventPtr& Event);
  TVKLock& GetLock() { return FLock; }
  TVKSDKExecParams* GetPExecParams() { return &FExecParams; }

  bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
  void Terminate() { FTerminated.store(true, std::memory_order_release); }
  std::thread::id ThreadId() const { return FThreadId.load(); }
  VKSDK_TASK Handle() const { return FHandle; }

  TDateTime BaseDatetime = 0;
  std::u16string BaseFileName;

  // Adds a line to the debug list when there is one.
  void WriteDebug(std::u16string_view line);
  void WriteDebug(std::string_view line);

 protected:
  // The base part of the thread body: opens the task's files by ProcType.
  // A family's Execute calls it first, then returns at once if Terminated().
  virtual void Execute();

  // Creates an output file. A conversion writes beside the named file and
  // puts its work in place only when it succeeds (SettleOutputFile), so a
  // failed or stopped conversion leaves the caller's file as it was.
  std::unique_ptr<TVKFileStream> CreateOutputFile(const std::u16string& name);
  bool NeedsInputFile() const;
  bool WritesFileHeader() const;
  // True once a final code has reached DoProgress (task thread only).
  bool FinalReported() const { return FFinalReported; }

  TVKSDKExecParams FExecParams;
  TVKLock FLock;

 private:
  void ThreadMain();
  void Finish();
  void WriteProgressLog(uint32_t ErrorCode, uint32_t Index, uint32_t Total);
  // With the output closed: on success moves a conversion's output into
  // place (269 when that fails), otherwise removes it. Returns the code.
  uint32_t SettleOutputFile(uint32_t ErrorCode);

  const TVKDebugList* FDetectionLines = nullptr;  // only until Start
  bool FFinalReported = false;  // a final code has reached DoProgress (task thread only)
  std::atomic<bool> FTerminated{false};
  std::atomic<std::thread::id> FThreadId{};
  VKSDK_TASK FHandle = VKSDK_INVALID_TASK;
  std::mutex FEventLock;
  std::vector<TVKEventPtr> FEventList;
  std::thread FThread;
};

// Splits "name?codepage": the name and the number after the first "?"
// (0 when it is not a number). hasSuffix tells whether a "?" was there.
void SplitFileNameCodePage(std::u16string_view text, std::u16string& name, uint32_t& codePage, bool& hasSuffix);

}  // namespace vk
