// Offline conversion exports: thin adapters over tasks/convert_task.
#include "sdk/guard.h"
#include "sdk/task_api.h"
#include "tasks/convert_task.h"
#include "tasks/data_types.h"
#include "tasks/task_list.h"
#include "vemkasdk.h"

using vk::sdk::FromAnsi;
using vk::sdk::FromWide;
using vk::sdk::Guard;

namespace {

VKSDK_TASK Convert(const std::u16string& info, uint32_t protocolType, uint32_t packed, int32_t dataType,
                   const std::u16string& file, const std::u16string& aux, uint32_t auxCodePage,
                   uint32_t outputFileType, TVKSDKOnProgressEvent cb, void* user) {
  return vk::ExecConvertTask(info, protocolType, static_cast<uint8_t>(packed & 0xFF), dataType,
                             static_cast<int32_t>(packed >> 8), file, aux, auxCodePage, outputFileType, cb, user);
}

// The two one-call conversions take only the tables whose rows name them.
bool Converts(int32_t dataType, uint32_t flag) { return vk::HasFlag(vk::DataTypeRow(ptHecr, dataType), flag); }

// Runs one conversion to its end and returns its last code (0xFFFFFFFF when
// it reported none). These two exports may be called without Initialize, so
// they call it themselves; they do not call Finalize, which would stop the
// host's other tasks.
uint32_t RunConversion(const char* info, uint32_t protocolType, uint32_t procType, int32_t dataType,
                       const char* textFile, const char* binFile, uint32_t outputFileType) {
  VemkaSDK_Initialize(nullptr);
  vk::sdk::TCallBackParam param;
  VKSDK_TASK h = Convert(FromAnsi(info), protocolType, procType, dataType, FromAnsi(textFile), FromAnsi(binFile), 0,
                         outputFileType, &vk::sdk::ForwardProgress, &param);
  vk::TaskList::Wait(h);
  return param.nErrorCode;
}

}  // namespace

extern "C" {

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTask(const char16_t* DeviceInfo, uint32_t ProtocolType,
                                                         uint32_t Packed, int32_t DataType,
                                                         const char16_t* FileName, const char16_t* AuxFileName,
                                                         uint32_t AuxCodePage, uint32_t OutputFileType,
                                                         TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return Guard(VKSDK_INVALID_TASK, [&] {
    return Convert(FromWide(DeviceInfo), ProtocolType, Packed, DataType, FromWide(FileName), FromWide(AuxFileName),
                   AuxCodePage, OutputFileType, OnProgress, UserData);
  });
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTaskW(const char16_t* DeviceInfo, uint32_t ProtocolType,
                                                          uint32_t Packed, int32_t DataType,
                                                          const char16_t* FileName, const char16_t* AuxFileName,
                                                          uint32_t AuxCodePage, uint32_t OutputFileType,
                                                          TVKSDKOnProgressEvent OnProgress, void* UserData) {
  return VemkaSDK_ExecConvertTask(DeviceInfo, ProtocolType, Packed, DataType, FileName, AuxFileName, AuxCodePage,
                                  OutputFileType, OnProgress, UserData);
}

VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTaskA(const char* DeviceInfo, uint32_t ProtocolType,
                                                          uint32_t Packed, int32_t DataType, const char* FileName,
                                                          const char* AuxFileName, uint32_t AuxCodePage,
                                                          uint32_t OutputFileType, TVKSDKOnProgressEvent OnProgress,
                                                          void* UserData) {
  return Guard(VKSDK_INVALID_TASK, [&] {
    return Convert(FromAnsi(DeviceInfo), ProtocolType, Packed, DataType, FromAnsi(FileName), FromAnsi(AuxFileName),
                   AuxCodePage, OutputFileType, OnProgress, UserData);
  });
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Bin2TxtA(const char* DeviceInfo, uint32_t ProtocolType, int32_t DataType,
                                                const char* BinFileName, const char* TxtFileName,
                                                uint32_t OutputFileType) {
  if (ProtocolType != ptHecr || !Converts(DataType, vk::dtBin2Txt)) return VKSDK_ERR_UNSUPPORTED;
  return Guard(0xFFFFFFFFu, [&] {
    return RunConversion(DeviceInfo, ProtocolType, VKSDK_PROC_UPLOAD, DataType, TxtFileName, BinFileName, OutputFileType);
  });
}

VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Txt2BinA(const char* DeviceInfo, uint32_t ProtocolType, int32_t DataType,
                                                const char* TxtFileName, const char* BinFileName,
                                                uint32_t OutputFileType) {
  if (ProtocolType != ptHecr || !Converts(DataType, vk::dtTxt2Bin)) return VKSDK_ERR_UNSUPPORTED;
  return Guard(0xFFFFFFFFu, [&] {
    return RunConversion(DeviceInfo, ProtocolType, VKSDK_PROC_DOWNLOAD, DataType, TxtFileName, BinFileName, OutputFileType);
  });
}

}  // extern "C"
