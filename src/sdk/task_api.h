// What the task exports do, in C++: argument unpacking, the synchronous
// wrappers and string conversion. The exports_*.cpp files only adapt.
#pragma once

#include <cstdint>
#include <string>

#include "vemkasdk.h"

namespace vk::sdk {

// NUL-terminated host strings to UTF-16 (null gives empty text).
std::u16string FromWide(const char16_t* s);
std::u16string FromAnsi(const char* s);

// Starts a task from integer address and packed ProcType/DataID.
VKSDK_TASK ExecTaskPacked(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, uint32_t Packed, int32_t DataType,
                          const std::u16string& FileName, TVKSDKOnProgressEvent OnProgress, void* UserData);
VKSDK_TASK ExecTaskEx(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, uint32_t ProcType, int32_t DataType,
                      int32_t DataID, const std::u16string& FileName, TVKSDKOnProgressEvent OnProgress,
                      void* UserData);

// Runs a task to its end; returns the last code it reported, or 0xFFFFFFFF.
uint32_t SyncExecTask(const std::u16string& Addr, uint32_t Port, uint32_t ProtocolType, uint32_t Packed,
                      int32_t DataType, const std::u16string& FileName, TVKSDKOnProgressEvent OnProgress,
                      void* UserData);

// Code that a forwarding callback collects for a synchronous wait.
struct TCallBackParam {
  TVKSDKOnProgressEvent OnProgress = nullptr;
  uint32_t nErrorCode = 0xFFFFFFFFu;
  void* UserData = nullptr;
};
void VEMKA_CALL ForwardProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total, void* UserData);

}  // namespace vk::sdk
