// Task exports: thin adapters over sdk/task_api.
#include "sdk/guard.h"
#include "sdk/task_api.h"
#include "tasks/task_list.h"
#include "vemkasdk.h"

using vk::sdk::FromAnsi;
using vk::sdk::FromWide;
using vk::sdk::Guard;

namespace {

// The _PB result lives in a holder of its own per call.
uint32_t SyncExecPB(const std::u16string& addr, uint32_t port, uint32_t protocolType, uint32_t packed,
                    int32_t dataType, const std::u16string& fileName) {
  return vk::sdk::SyncExecTask(addr, port, protocolType, packed, dataType, fileName, nullptr, nullptr);
}

}  // namespace

extern "C" {

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTask(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                  uint32_t Packed, int32_t DataType, const char16_t* FileName,
                                                  TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return Guard(VKSDK_INVALID_TASK, [&] {
    return vk::sdk::ExecTaskPacked(Addr, Port, ProtocolType, Packed, DataType, FromWide(FileName), OnProgress,
                                   UserData);
  });
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskW(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                   uint32_t Packed, int32_t DataType, const char16_t* FileName,
                                                   TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return VemkaSDK_ExecTask(Addr, Port, ProtocolType, Packed, DataType, FileName, OnProgress, UserData);
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskA(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                   uint32_t Packed, int32_t DataType, const char* FileName,
                                                   TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return Guard(VKSDK_INVALID_TASK, [&] {
    return vk::sdk::ExecTaskPacked(Addr, Port, ProtocolType, Packed, DataType, FromAnsi(FileName), OnProgress,
                                   UserData);
  });
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskEx(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                    uint32_t ProcType, int32_t DataType, int32_t DataID,
                                                    const char16_t* FileName, TVKSDKOnProgressEvent OnProgress,
                                                    void* UserData) {
  return Guard(VKSDK_INVALID_TASK, [&] {
    return vk::sdk::ExecTaskEx(Addr, Port, ProtocolType, ProcType, DataType, DataID, FromWide(FileName), OnProgress,
                               UserData);
  });
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskExW(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                     uint32_t ProcType, int32_t DataType, int32_t DataID,
                                                     const char16_t* FileName, TVKSDKOnProgressEvent OnProgress,
                                                     void* UserData) {
  return VemkaSDK_ExecTaskEx(Addr, Port, ProtocolType, ProcType, DataType, DataID, FileName, OnProgress, UserData);
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskExA(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                     uint32_t ProcType, int32_t DataType, int32_t DataID,
                                                     const char* FileName, TVKSDKOnProgressEvent OnProgress,
                                                     void* UserData) {
  return Guard(VKSDK_INVALID_TASK, [&] {
    return vk::sdk::ExecTaskEx(Addr, Port, ProtocolType, ProcType, DataType, DataID, FromAnsi(FileName), OnProgress,
                               UserData);
  });
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTask(const char16_t* Addr, uint32_t Port, uint32_t ProtocolType,
                                                     uint32_t Packed, int32_t DataType, const char16_t* FileName,
                                                     TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return Guard(0xFFFFFFFFu, [&] {
    return vk::sdk::SyncExecTask(FromWide(Addr), Port, ProtocolType, Packed, DataType, FromWide(FileName),
                                 OnProgress, UserData);
  });
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskW(const char16_t* Addr, uint32_t Port, uint32_t ProtocolType,
                                                      uint32_t Packed, int32_t DataType, const char16_t* FileName,
                                                      TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return VemkaSDK_Sync_ExecTask(Addr, Port, ProtocolType, Packed, DataType, FileName, OnProgress, UserData);
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskA(const char* Addr, uint32_t Port, uint32_t ProtocolType,
                                                      uint32_t Packed, int32_t DataType, const char* FileName,
                                                      TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return Guard(0xFFFFFFFFu, [&] {
    return vk::sdk::SyncExecTask(FromAnsi(Addr), Port, ProtocolType, Packed, DataType, FromAnsi(FileName),
                                 OnProgress, UserData);
  });
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTask_PB(const char16_t* Addr, uint32_t Port,
                                                        uint32_t ProtocolType, uint32_t Packed, int32_t DataType,
                                                        const char16_t* FileName) {
  return Guard(0xFFFFFFFFu,
               [&] { return SyncExecPB(FromWide(Addr), Port, ProtocolType, Packed, DataType, FromWide(FileName)); });
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskW_PB(const char16_t* Addr, uint32_t Port,
                                                         uint32_t ProtocolType, uint32_t Packed, int32_t DataType,
                                                         const char16_t* FileName) {
  return VemkaSDK_Sync_ExecTask_PB(Addr, Port, ProtocolType, Packed, DataType, FileName);
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskA_PB(const char* Addr, uint32_t Port, uint32_t ProtocolType,
                                                         uint32_t Packed, int32_t DataType, const char* FileName) {
  return Guard(0xFFFFFFFFu,
               [&] { return SyncExecPB(FromAnsi(Addr), Port, ProtocolType, Packed, DataType, FromAnsi(FileName)); });
}

VEMKA_API void VEMKA_CALL VemkaSDK_StopTask(VKSDK_TASK Task) {
  vk::sdk::GuardVoid([&] { vk::TaskList::Stop(Task == VKSDK_INVALID_TASK ? VKSDK_INVALID_TASK : Task); });
}

VEMKA_API void VEMKA_CALL VemkaSDK_WaitForTask(VKSDK_TASK Task) {
  vk::sdk::GuardVoid([&] { vk::TaskList::Wait(Task); });
}

}  // extern "C"
