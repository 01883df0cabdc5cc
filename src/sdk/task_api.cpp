#include "sdk/task_api.h"

#include <atomic>

#include "runtime/codepage.h"
#include "tasks/exec_task.h"
#include "tasks/task_files.h"
#include "tasks/task_list.h"

namespace vk::sdk {

std::u16string FromWide(const char16_t* s) { return s ? std::u16string(s) : std::u16string(); }

std::u16string FromAnsi(const char* s) {
  if (!s) return {};
  std::string_view v(s);
  return CodePageBytesToString(reinterpret_cast<const uint8_t*>(v.data()), v.size(), 0);
}

VKSDK_TASK ExecTaskEx(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, uint32_t ProcType, int32_t DataType,
                      int32_t DataID, const std::u16string& FileName, TVKSDKOnProgressEvent OnProgress,
                      void* UserData) {
  return ExecTask(IntegerToIPAddress(Addr), static_cast<uint16_t>(Port), static_cast<uint8_t>(ProtocolType),
                  static_cast<uint8_t>(ProcType), DataType, DataID, FileName, OnProgress, UserData);
}

VKSDK_TASK ExecTaskPacked(uint32_t Addr, uint32_t Port, uint32_t ProtocolType, uint32_t Packed, int32_t DataType,
                          const std::u16string& FileName, TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return ExecTaskEx(Addr, Port, ProtocolType, Packed & 0xFF, DataType, static_cast<int32_t>(Packed >> 8), FileName,
                    OnProgress, UserData);
}

void VEMKA_CALL ForwardProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total, void* UserData) {
  auto* p = static_cast<TCallBackParam*>(UserData);
  std::atomic_ref<uint32_t>(p->nErrorCode).store(ErrorCode);
  if (p->OnProgress) p->OnProgress(ErrorCode, Index, Total, p->UserData);
}

uint32_t SyncExecTask(const std::u16string& Addr, uint32_t Port, uint32_t ProtocolType, uint32_t Packed,
                      int32_t DataType, const std::u16string& FileName, TVKSDKOnProgressEvent OnProgress,
                      void* UserData) {
  // Each call has its own result holder, so concurrent calls never see each
  // other's codes.
  TCallBackParam param;
  param.OnProgress = OnProgress;
  param.UserData = UserData;
  VKSDK_TASK h = ExecTask(Addr, static_cast<uint16_t>(Port), static_cast<uint8_t>(ProtocolType & 0xFF),
                          static_cast<uint8_t>(Packed & 0xFF), DataType, static_cast<int32_t>(Packed >> 8), FileName,
                          &ForwardProgress, &param);
  TaskList::Wait(h);
  return std::atomic_ref<uint32_t>(param.nErrorCode).load();
}

}  // namespace vk::sdk
