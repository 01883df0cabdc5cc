/*
 * Vemka SDK: drive networked retail scales from a host program.
 *
 * The whole public interface is this flat set of C functions.
 *
 * Conventions
 *  - Strings: the unsuffixed and W functions take NUL-terminated UTF-16
 *    (char16_t, 16 bits on every platform; wchar_t is not used because it is
 *    32 bits wide on Linux). A functions take NUL-terminated 8-bit text in the
 *    ANSI code page (UTF-8 on Linux, the system's ANSI code page on Windows,
 *    unless the INI key System/AnsiCodePage names another code page).
 *  - Booleans are 8 bits wide (VKSDK_BOOL): 0 false, 1 true.
 *  - Device addresses passed as integers carry the first octet in the most
 *    significant byte: 192.168.1.10 is 0xC0A8010A.
 *  - Task handles are opaque pointer-sized values that are never reused.
 *    VKSDK_INVALID_TASK (0xFFFFFFFF) means that no task was started.
 *  - Calling convention: stdcall on 32-bit Windows, the platform default
 *    elsewhere (VEMKA_CALL).
 *
 * Threads
 *  - The progress callback of a task runs on that task's own thread, except a
 *    detection failure (codes 266/270), which is reported on the thread that
 *    called the task-starting function, before it returns.
 *  - From inside a progress callback a host may start other tasks and call
 *    VemkaSDK_StopTask / VemkaSDK_WaitForTask; for the callback's own task,
 *    and for any task that is itself waiting (directly or through others)
 *    for the callback's task, these request termination (StopTask) and do
 *    not wait for it, so callbacks that stop each other never deadlock.
 *  - The online-service callbacks run on a worker or connection thread of the
 *    service; the host answers through the matching Post function while the
 *    callback runs.
 */
#ifndef VEMKASDK_H
#define VEMKASDK_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define VEMKA_CALL __stdcall
#else
#define VEMKA_CALL
#endif

#if defined(_WIN32)
#if defined(VEMKASDK_BUILD)
#define VEMKA_API __declspec(dllexport)
#else
#define VEMKA_API __declspec(dllimport)
#endif
#else
#define VEMKA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t VKSDK_BOOL;
typedef uintptr_t VKSDK_TASK;
#define VKSDK_INVALID_TASK ((VKSDK_TASK)0xFFFFFFFFu)

/* Result codes. Each row: name, value, meaning. This list is the one place
 * that defines them; the enum below and the SDK's own texts are built from it. */
#define VKSDK_RESULT_CODES(X)                                                              \
  X(VKSDK_OK, 0, "Task finished successfully")                                             \
  X(VKSDK_PROGRESS, 1, "Progress")                                                         \
  X(VKSDK_TERMINATED, 2, "Task stopped because it was terminated")                         \
  X(VKSDK_ERR_TSECR_UNSUPPORTED, 260, "Operation not supported by the device, or the task failed")   \
  X(VKSDK_ERR_UNSUPPORTED, 261, "Data type or operation not supported, or the task failed")          \
  X(VKSDK_ERR_OPEN_FILE, 264, "A file the task must read cannot be opened")                \
  X(VKSDK_ERR_FILE_FORMAT, 265, "The data file does not fit the table")                    \
  X(VKSDK_ERR_NO_REPLY, 266, "No valid reply from the device, or no device found")         \
  X(VKSDK_ERR_ENCODE, 267, "A field value cannot be encoded, or an input file is malformed") \
  X(VKSDK_ERR_CREATE_FILE, 269, "An output file cannot be created")                        \
  X(VKSDK_ERR_NO_DEVICE_TYPE, 270, "No device found for an unknown protocol type")         \
  X(VKSDK_ERR_GZIP, 276, "Extract gz file error, Invalid label design file.")

#define VKSDK_RESULT_ENUM_ROW_(name, value, text) name = value,
enum { VKSDK_RESULT_CODES(VKSDK_RESULT_ENUM_ROW_) VKSDK_RESULT_CODE_END_ };
#undef VKSDK_RESULT_ENUM_ROW_

/* Protocol families (the low byte of a ProtocolType argument). */
typedef enum TVKSDKProtocolType {
  ptNone = 0, /* detect */
  ptPecr = 1,
  ptHecr = 2,
  ptTSecr = 3
} TVKSDKProtocolType;

/* Operation codes (ProcType). */
enum {
  VKSDK_PROC_DOWNLOAD = 0,       /* table from the file into the device */
  VKSDK_PROC_UPLOAD = 1,         /* table from the device into the file */
  VKSDK_PROC_DOWNLOAD_TSECR = 2, /* download, TSecr devices only */
  VKSDK_PROC_DELETE = 3,         /* file name "*" clears the whole table */
  VKSDK_PROC_LIST = 4,           /* a listing from the device into the file */
  VKSDK_PROC_CLEAR_IMAGES = 6    /* TSecr devices */
};

/* Online sell request kinds. */
typedef enum TVKSDKOnlineSellType { ostSinglePLU = 0, ostDepartmentPLU = 1 } TVKSDKOnlineSellType;

/* Device information record: 256 bytes, packed, integers little-endian. */
#pragma pack(push, 1)
typedef struct TVKSDKDeviceInfo {
  uint32_t ProtocolType;
  uint32_t Addr;
  uint32_t Port;
  char Name[16];
  uint32_t ID;
  uint32_t Version;
  uint8_t Country;
  uint8_t DepartmentID;
  uint8_t KeyType;
  uint64_t PrinterDot;
  double PrnStartDate; /* days since 1899-12-30, fraction = time of day */
  uint32_t LabelPage;
  uint32_t PrinterNo;
  uint16_t PLUStorage;
  uint16_t HotKeyCount;
  uint16_t NutritionStorage;
  uint16_t DiscountStorage;
  uint16_t Note1Storage;
  uint16_t Note2Storage;
  uint16_t Note3Storage;
  uint16_t Note4Storage;
  uint8_t FirmwareVersion[12];
  uint8_t DefaultProtocol;
  uint8_t LFCodeLen;
  uint8_t DeviceId[4];
  uint8_t StockId[4];
  uint8_t FontAreaBad;
  uint8_t DataAreaBad;
  uint32_t BuildDate;
  uint8_t DisplayType;
  uint8_t NickId[8];
  uint8_t IsBusy;
  uint8_t IsHangScale;
  uint8_t Reserved1[2];
  uint8_t MacAddr[6];
  uint8_t SDCardErrFlag;
  uint8_t Reserved2[2];
  char CPUType[4];
  uint8_t Reserved3[4];
  uint8_t CPUID[16];
  uint8_t CPUIDLen;
  uint8_t TouchFlag;
  char AIName[5];
  uint32_t AIID;
  uint8_t SmallM3CPU;
  uint8_t Adjunct[91];
} TVKSDKDeviceInfo;
#pragma pack(pop)

#ifdef __cplusplus
#define VKSDK_STATIC_ASSERT_(cond, msg) static_assert(cond, msg)
#else
#define VKSDK_STATIC_ASSERT_(cond, msg) _Static_assert(cond, msg)
#endif
VKSDK_STATIC_ASSERT_(sizeof(TVKSDKDeviceInfo) == 256, "TVKSDKDeviceInfo is 256 bytes");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, Name) == 12, "Name at 12");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, ID) == 28, "ID at 28");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, Country) == 36, "Country at 36");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, PrinterDot) == 39, "PrinterDot at 39");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, PrnStartDate) == 47, "PrnStartDate at 47");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, LabelPage) == 55, "LabelPage at 55");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, PLUStorage) == 63, "PLUStorage at 63");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, Note4Storage) == 77, "Note4Storage at 77");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, FirmwareVersion) == 79, "FirmwareVersion at 79");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, DefaultProtocol) == 91, "DefaultProtocol at 91");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, DeviceId) == 93, "DeviceId at 93");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, StockId) == 97, "StockId at 97");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, BuildDate) == 103, "BuildDate at 103");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, DisplayType) == 107, "DisplayType at 107");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, NickId) == 108, "NickId at 108");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, IsBusy) == 116, "IsBusy at 116");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, MacAddr) == 120, "MacAddr at 120");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, SDCardErrFlag) == 126, "SDCardErrFlag at 126");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, CPUType) == 129, "CPUType at 129");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, CPUID) == 137, "CPUID at 137");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, CPUIDLen) == 153, "CPUIDLen at 153");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, TouchFlag) == 154, "TouchFlag at 154");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, AIName) == 155, "AIName at 155");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, AIID) == 160, "AIID at 160");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, SmallM3CPU) == 164, "SmallM3CPU at 164");
VKSDK_STATIC_ASSERT_(offsetof(TVKSDKDeviceInfo, Adjunct) == 165, "Adjunct at 165");

/* Task progress: ErrorCode 1 = progress, 0 = finished, other = final code.
 * Runs on the task's thread (see Threads above). */
typedef void(VEMKA_CALL *TVKSDKOnProgressEvent)(uint32_t ErrorCode, uint32_t Index, uint32_t Total,
                                                 void *UserData);

/* Online sell request (runs on a service worker thread; answer with
 * VemkaSDK_PostOnlineSellData). TaskType is a TVKSDKOnlineSellType. */
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineSellEvent)(void *lpUserData, uintptr_t PeerHandle,
                                                         uint32_t TaskType, int32_t ID);
/* Online message over UDP (answer with VemkaSDK_PostOnlineMessageResponse). */
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineMessageEvent)(void *lpUserData, uintptr_t PeerHandle,
                                                            const char16_t *RequestStr);
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineMessageEventA)(void *lpUserData, uintptr_t PeerHandle,
                                                             const char *RequestStr);
/* Online message over HTTP / TCP: the host writes its answer into the
 * zero-filled ResponseStr buffer of BufSize bytes during the callback. */
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineHttpMessageEvent)(void *lpUserData, const char16_t *RequestStr,
                                                                char16_t *ResponseStr);
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineHttpMessageEventA)(void *lpUserData, const char *RequestStr,
                                                                 char *ResponseStr);
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineTcpMessageEvent)(void *lpUserData, const char16_t *RequestStr,
                                                               char16_t *ResponseStr);
typedef VKSDK_BOOL(VEMKA_CALL *TVKSDKOnOnlineTcpMessageEventA)(void *lpUserData, const char *RequestStr,
                                                                char *ResponseStr);

/* ---- Lifecycle ---------------------------------------------------------- */
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_Initialize(void *Reserved);
VEMKA_API void VEMKA_CALL VemkaSDK_Finalize(void);
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetLastTaskError(void);

/* ---- Tasks ---------------------------------------------------------------
 * Packed: bits 0..7 ProcType, bits 8..31 DataID. ProtocolType: low byte. */
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTask(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                  uint32_t Packed, int32_t DataType, const char16_t *FileName,
                                                  TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskA(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                   uint32_t Packed, int32_t DataType, const char *FileName,
                                                   TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskW(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                   uint32_t Packed, int32_t DataType, const char16_t *FileName,
                                                   TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskEx(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                    uint32_t ProcType, int32_t DataType, int32_t DataID,
                                                    const char16_t *FileName, TVKSDKOnProgressEvent OnProgress,
                                                    void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskExA(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                     uint32_t ProcType, int32_t DataType, int32_t DataID,
                                                     const char *FileName, TVKSDKOnProgressEvent OnProgress,
                                                     void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecTaskExW(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                     uint32_t ProcType, int32_t DataType, int32_t DataID,
                                                     const char16_t *FileName, TVKSDKOnProgressEvent OnProgress,
                                                     void *UserData);

/* Synchronous forms: Addr is dotted text; the result is the last code the
 * task reported, or 0xFFFFFFFF when it reported none. */
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTask(const char16_t *Addr, uint32_t Port, uint32_t ProtocolType,
                                                     uint32_t Packed, int32_t DataType, const char16_t *FileName,
                                                     TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskA(const char *Addr, uint32_t Port, uint32_t ProtocolType,
                                                      uint32_t Packed, int32_t DataType, const char *FileName,
                                                      TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskW(const char16_t *Addr, uint32_t Port, uint32_t ProtocolType,
                                                      uint32_t Packed, int32_t DataType, const char16_t *FileName,
                                                      TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTask_PB(const char16_t *Addr, uint32_t Port,
                                                        uint32_t ProtocolType, uint32_t Packed, int32_t DataType,
                                                        const char16_t *FileName);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskA_PB(const char *Addr, uint32_t Port, uint32_t ProtocolType,
                                                         uint32_t Packed, int32_t DataType, const char *FileName);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Sync_ExecTaskW_PB(const char16_t *Addr, uint32_t Port,
                                                         uint32_t ProtocolType, uint32_t Packed, int32_t DataType,
                                                         const char16_t *FileName);

/* Task 0 stops every task. Both return once the selected tasks are gone. */
VEMKA_API void VEMKA_CALL VemkaSDK_StopTask(VKSDK_TASK Task);
VEMKA_API void VEMKA_CALL VemkaSDK_WaitForTask(VKSDK_TASK Task);

/* ---- Offline conversion --------------------------------------------------
 * DeviceInfo: "CodePage=936;LFCodeLen=8;UnitPriceMultiple=100" (, or ;).
 * WeightMultiple=1000 (a power of ten, else 261) scales every PLU weight by
 * it; without it each row's UnitID decides, as for a scale. */
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTask(const char16_t *DeviceInfo, uint32_t ProtocolType,
                                                         uint32_t Packed, int32_t DataType,
                                                         const char16_t *FileName, const char16_t *AuxFileName,
                                                         uint32_t AuxCodePage, uint32_t OutputFileType,
                                                         TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTaskA(const char *DeviceInfo, uint32_t ProtocolType,
                                                          uint32_t Packed, int32_t DataType, const char *FileName,
                                                          const char *AuxFileName, uint32_t AuxCodePage,
                                                          uint32_t OutputFileType, TVKSDKOnProgressEvent OnProgress,
                                                          void *UserData);
VEMKA_API VKSDK_TASK VEMKA_CALL VemkaSDK_ExecConvertTaskW(const char16_t *DeviceInfo, uint32_t ProtocolType,
                                                          uint32_t Packed, int32_t DataType,
                                                          const char16_t *FileName, const char16_t *AuxFileName,
                                                          uint32_t AuxCodePage, uint32_t OutputFileType,
                                                          TVKSDKOnProgressEvent OnProgress, void *UserData);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Bin2TxtA(const char *DeviceInfo, uint32_t ProtocolType, int32_t DataType,
                                                const char *BinFileName, const char *TxtFileName,
                                                uint32_t OutputFileType);
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_Txt2BinA(const char *DeviceInfo, uint32_t ProtocolType, int32_t DataType,
                                                const char *TxtFileName, const char *BinFileName,
                                                uint32_t OutputFileType);

/* ---- Discovery ---------------------------------------------------------- */
VEMKA_API uint32_t VEMKA_CALL VemkaSDK_GetDeviceType(uint32_t Addr, uint32_t Port, uint32_t Unused);
VEMKA_API TVKSDKDeviceInfo *VEMKA_CALL VemkaSDK_GetDeviceInfo(TVKSDKDeviceInfo *DeviceInfo, uint32_t Addr,
                                                              uint32_t Port, uint32_t ProtocolType);
VEMKA_API TVKSDKDeviceInfo *VEMKA_CALL VemkaSDK_GetDeviceInfoEx(TVKSDKDeviceInfo *DeviceInfo, uint32_t Addr,
                                                                uint32_t Port, uint32_t ProtocolType,
                                                                int32_t TimeOut, int32_t TryCount);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_GetDevicesInfo(uint32_t Addr, uint32_t Port, uint32_t ProtocolType,
                                                        TVKSDKDeviceInfo *DeviceInfo);
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDevicesInfo(uint32_t Addr, uint32_t Port,
                                                                   uint32_t ProtocolType,
                                                                   TVKSDKDeviceInfo *DeviceInfos, int32_t Count);
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDevicesInfoEx(uint32_t Addr, uint32_t Port,
                                                                     uint32_t ProtocolType,
                                                                     TVKSDKDeviceInfo *DeviceInfos, int32_t Count,
                                                                     int32_t TimeOut);
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDeviceList(uint32_t Addr, uint32_t Port,
                                                                  uint32_t ProtocolType, int32_t TimeOut,
                                                                  const char16_t *FileName);
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDeviceListA(uint32_t Addr, uint32_t Port,
                                                                   uint32_t ProtocolType, int32_t TimeOut,
                                                                   const char *FileName);
VEMKA_API int32_t VEMKA_CALL VemkaSDK_GetNetworkSectionDeviceListW(uint32_t Addr, uint32_t Port,
                                                                   uint32_t ProtocolType, int32_t TimeOut,
                                                                   const char16_t *FileName);

/* ---- Online services ---------------------------------------------------- */
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineSell(void *lpUserData, VKSDK_BOOL Enable,
                                                    TVKSDKOnOnlineSellEvent OnOnlineSellEvent,
                                                    uint32_t ListenPort);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineSellData(uintptr_t PeerHandle, const char16_t *lpData);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineSellDataW(uintptr_t PeerHandle, const char16_t *lpData);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineSellDataA(uintptr_t PeerHandle, const char *lpData);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineMessage(void *lpUserData, VKSDK_BOOL Enable,
                                                       TVKSDKOnOnlineMessageEvent OnOnlineMessageEvent,
                                                       uint32_t ListenPort);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineMessageA(void *lpUserData, VKSDK_BOOL Enable,
                                                        TVKSDKOnOnlineMessageEventA OnOnlineMessageEvent,
                                                        uint32_t ListenPort);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineMessageResponse(uintptr_t PeerHandle, const char16_t *lpData);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_PostOnlineMessageResponseA(uintptr_t PeerHandle, const char *lpData);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineHttpMessage(void *lpUserData, VKSDK_BOOL Enable,
                                                           TVKSDKOnOnlineHttpMessageEvent OnEvent,
                                                           uint32_t ListenPort, int32_t BufSize);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineHttpMessageA(void *lpUserData, VKSDK_BOOL Enable,
                                                            TVKSDKOnOnlineHttpMessageEventA OnEvent,
                                                            uint32_t ListenPort, int32_t BufSize);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineTcpMessage(void *lpUserData, VKSDK_BOOL Enable,
                                                          TVKSDKOnOnlineTcpMessageEvent OnEvent, uint32_t ListenPort,
                                                          int32_t BufSize);
VEMKA_API VKSDK_BOOL VEMKA_CALL VemkaSDK_OnlineTcpMessageA(void *lpUserData, VKSDK_BOOL Enable,
                                                           TVKSDKOnOnlineTcpMessageEventA OnEvent,
                                                           uint32_t ListenPort, int32_t BufSize);

#ifdef __cplusplus
}
#endif

#endif /* VEMKASDK_H */
