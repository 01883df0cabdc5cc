#include "tasks/custom_protocol.h"

#include <filesystem>

#include "runtime/debug_output.h"
#include "runtime/platform.h"
#include "runtime/sysparams.h"
#include "tasks/data_types.h"
#include "tasks/task_files.h"
#include "tasks/task_list.h"

namespace vk {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kVisciiCodePage = 12581258;
// A conversion reads its binary input one record at a time: a large buffer
// keeps that to one system call per 256 KiB. Outputs keep the usual small
// buffer, so a write that fails is found within a few records.
constexpr size_t kConvertFileBuffer = 256 * 1024;

fs::path ToPath(const std::u16string& s) { return fs::path(s); }

// False for text with a lone surrogate: no file system can name such a file.
bool IsWellFormedName(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

// True when both names lead to one existing file.
bool SameFile(const std::u16string& a, const std::u16string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && fs::equivalent(ToPath(a), ToPath(b), ec) && !ec;
}

void CreateParentDirectory(const std::u16string& file) {
  std::error_code ec;
  fs::path parent = ToPath(file).parent_path();
  if (!parent.empty()) fs::create_directories(parent, ec);
}

}  // namespace

void SplitFileNameCodePage(std::u16string_view text, std::u16string& name, uint32_t& codePage, bool& hasSuffix) {
  size_t q = text.find(u'?');
  hasSuffix = q != std::u16string_view::npos;
  if (!hasSuffix) {
    name.assign(text);
    return;
  }
  name.assign(text.substr(0, q));
  std::u16string_view rest = text.substr(q + 1);
  size_t q2 = rest.find(u'?');
  if (q2 != std::u16string_view::npos) rest = rest.substr(0, q2);
  // A decimal number; anything else counts as 0.
  uint64_t v = 0;
  bool ok = !rest.empty();
  for (char16_t c : rest) {
    if (c < u'0' || c > u'9' || v > 0xFFFFFFFFull) {
      ok = false;
      break;
    }
    v = v * 10 + static_cast<uint64_t>(c - u'0');
  }
  codePage = ok && v <= 0xFFFFFFFFull ? static_cast<uint32_t>(v) : 0;
}

TVKSDKCustomProtocol::TVKSDKCustomProtocol(const TVKTaskCreateArgs& a) {
  const TVKSDKSysParams& sp = SysParams();
  TVKSDKExecParams& p = FExecParams;
  p.DeviceRawData = a.RawData;
  p.Addr = a.Addr;
  p.Port = a.Port;
  p.ProcType = a.ProcType;
  p.DataType = a.DataType;
  p.DataID = a.DataID;
  p.Row = DataTypeRow(a.RawData.ProtocolType, a.DataType);

  bool hasSuffix = false;
  SplitFileNameCodePage(a.FileName, p.FileName, p.FileCodePage, hasSuffix);
  if (!hasSuffix) {
    p.FileCodePage = 0;
    // Uploads from a VISCII scale default to UTF-16 so Vietnamese text
    // survives, except for the tables that carry raw label/log data.
    if (p.ProcType == VKSDK_PROC_UPLOAD && a.RawData.ProtocolType == ptHecr &&
        a.RawData.CodePage() == kVisciiCodePage)
      p.FileCodePage = HasFlag(p.Row, dtDeviceTextCodePage) ? 0 : 1200;
  }
  uint32_t auxCp = 0;
  bool auxSuffix = false;
  SplitFileNameCodePage(a.AuxFileName, p.AuxFileName, auxCp, auxSuffix);
  p.AuxCodePage = auxSuffix ? auxCp : a.AuxCodePage;
  p.isConvert = !p.AuxFileName.empty();
  p.OutputFileType = a.OutputFileType;
  if (p.OutputFileType == 0) p.AuxCodePage = 0;

  BaseDatetime = platform::NowDateTime();

  p.OutputLog = sp.OutputLog;
  if (p.OutputLog > 0) p.LogList = std::make_unique<TVKDebugList>();
  p.OutputDebug = sp.OutputDebug;
  if (p.OutputDebug) p.DebugList = std::make_unique<TVKDebugList>();
  FDetectionLines = a.DetectionLines;

  p.isFailed = false;
  p.nErrorCode = 0;
  p.OnProgress = a.OnProgress;
  p.UserData = a.UserData;
}

TVKSDKCustomProtocol::~TVKSDKCustomProtocol() = default;

VKSDK_TASK TVKSDKCustomProtocol::Start() {
  FHandle = TaskList::Add(this);
  // The handle is the number that keeps this task's file names apart.
  BaseFileName = BuildTaskBaseFileName(FExecParams, BaseDatetime, FHandle);
  WriteTaskHeaders(*this, FDetectionLines);
  FDetectionLines = nullptr;
  TaskList::ReapFinishedThreads();
  VKSDK_TASK handle = FHandle;
  // The thread waits until FThread is assigned; the gate is shared so that
  // it outlives the task, which may end and free itself at once.
  auto started = std::make_shared<TVKEvent>(true, false);
  FThread = std::thread([this, started] {
    started->Wait(0xFFFFFFFFu);
    ThreadMain();
  });
  started->Set();
  return handle;
}

VK_CATCHES_THREAD_CANCELLATION void TVKSDKCustomProtocol::ThreadMain() {
  FThreadId.store(std::this_thread::get_id());
  try {
    Execute();
  } catch (const platform::ThreadCancellation&) {
    // The thread is being cancelled (a host callback ended it, or the host
    // is shutting down): the unwinding must go on, or the process aborts.
    // The task still leaves the list and wakes its waiters on the way.
    Finish();
    throw;
  } catch (...) {
    // Engines report their own failures; anything that still escapes ends
    // the task with the generic failure code.
    if (!FFinalReported) DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  }
  // Every started task reports exactly one final code: a task stopped
  // before its engine got going reports the stop, and an engine that ended
  // without a verdict reports the generic failure.
  if (!FFinalReported) DoProgress(Terminated() ? VKSDK_TERMINATED : VKSDK_ERR_UNSUPPORTED, 0, 0);
  Finish();
}

void TVKSDKCustomProtocol::Finish() {
  TVKSDKExecParams& p = FExecParams;
  p.FileStream.reset();
  p.AuxFileStream.reset();
  SettleOutputFile(VKSDK_TERMINATED);  // a cancelled thread's unfinished output is removed
  try {
    if (!p.isConvert) SaveTaskEndFiles(*this);
  } catch (...) {
  }
  p.DebugList.reset();
  p.LogList.reset();

  // Hand the thread over first, so that whoever sees the task gone from the
  // list can also join it. Then leave the list: after this nobody can
  // register another event, so every waiter that did register is in
  // FEventList.
  TaskList::Bury(std::move(FThread));
  TaskList::Remove(FHandle);
  std::vector<TVKEventPtr> events;
  {
    std::lock_guard<std::mutex> g(FEventLock);
    events.swap(FEventList);
  }
  delete this;
  for (auto& ev : events) ev->Set();
}

void TVKSDKCustomProtocol::RegisterDestroyEvent(const TVKEventPtr& Event) {
  std::lock_guard<std::mutex> g(FEventLock);
  FEventList.push_back(Event);
}

void TVKSDKCustomProtocol::WriteDebug(std::u16string_view line) {
  if (FExecParams.DebugList) FExecParams.DebugList->Add(line);
}

void TVKSDKCustomProtocol::WriteDebug(std::string_view line) {
  if (FExecParams.DebugList) FExecParams.DebugList->Add(line);
}

bool TVKSDKCustomProtocol::NeedsInputFile() const {
  const TVKSDKExecParams& p = FExecParams;
  return vk::NeedsInputFile(p.Row, p.ProcType, p.FileName == u"*");
}

bool TVKSDKCustomProtocol::WritesFileHeader() const {
  return !(FExecParams.ProcType == VKSDK_PROC_UPLOAD && HasFlag(FExecParams.Row, dtRawUpload));
}

void TVKSDKCustomProtocol::Execute() {
  TVKSDKExecParams& p = FExecParams;
  // A name that is not well-formed text can be neither read nor created.
  const bool usesFiles = p.ProcType == VKSDK_PROC_UPLOAD || p.ProcType == VKSDK_PROC_LIST ||
                         (p.ProcType <= VKSDK_PROC_DELETE && NeedsInputFile());
  if (usesFiles && (!IsWellFormedName(p.FileName) || !IsWellFormedName(p.AuxFileName))) {
    FailTask(VKSDK_ERR_OPEN_FILE);
    WriteDebug("Invalid FileName!");
    return;
  }
  switch (p.ProcType) {
    case VKSDK_PROC_UPLOAD:
    case VKSDK_PROC_LIST: {
      // A conversion whose output is its own input would wipe the input
      // before reading it.
      if (SameFile(p.FileName, p.AuxFileName)) {
        FailTask(VKSDK_ERR_CREATE_FILE);
        WriteDebug("Invalid FileName!");
        return;
      }
      // A conversion opens its binary input before it makes any output, so
      // a missing input leaves the caller's text file as it was.
      if (!p.AuxFileName.empty()) {
        p.AuxFileStream = TVKFileStream::OpenRead(ToPath(p.AuxFileName));
        if (!p.AuxFileStream) {
          FailTask(VKSDK_ERR_OPEN_FILE);
          return;
        }
        p.AuxFileStream->SetBufferSize(kConvertFileBuffer);
      }
      p.FileStream = CreateOutputFile(p.FileName);
      if (!p.FileStream) {
        FailTask(VKSDK_ERR_CREATE_FILE);
        WriteDebug("Invalid FileName!");
        return;
      }
      if (WritesFileHeader()) WriteFileBom(*p.FileStream, p.FileCodePage);
      return;
    }
    case VKSDK_PROC_DOWNLOAD:
    case VKSDK_PROC_DOWNLOAD_TSECR:
    case VKSDK_PROC_DELETE: {
      if (!NeedsInputFile()) return;
      uint32_t bom = DetectFileBom(ToPath(p.FileName));
      if (bom != 0) p.FileCodePage = bom;
      p.FileStream = TVKFileStream::OpenRead(ToPath(p.FileName));
      if (!p.FileStream) {
        FailTask(VKSDK_ERR_OPEN_FILE);
        return;
      }
      if (!p.AuxFileName.empty()) {
        if (SameFile(p.FileName, p.AuxFileName)) {
          FailTask(VKSDK_ERR_CREATE_FILE);
          return;
        }
        p.AuxFileStream = CreateOutputFile(p.AuxFileName);
        if (!p.AuxFileStream) {
          FailTask(VKSDK_ERR_CREATE_FILE);
          return;
        }
        WriteFileBom(*p.AuxFileStream, p.AuxCodePage);
      }
      return;
    }
    default:
      return;
  }
}

std::unique_ptr<TVKFileStream> TVKSDKCustomProtocol::CreateOutputFile(const std::u16string& name) {
  TVKSDKExecParams& p = FExecParams;
  CreateParentDirectory(name);
  fs::path target = ToPath(name);
  if (!p.isConvert) return TVKFileStream::Create(target);
  std::error_code ec;
  const fs::file_status st = fs::status(target, ec);
  const bool exists = fs::exists(st);
  if (exists) {
    // A directory can hold no output; a device or a pipe is written in place.
    if (fs::is_directory(st)) return nullptr;
    if (!fs::is_regular_file(st)) return TVKFileStream::Create(target);
    // A link keeps its place: the file it leads to is the one replaced.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
      target = fs::canonical(target, ec);
      if (ec) return nullptr;
    }
  }
  // The task thread's number keeps the names of simultaneous conversions
  // to one file apart.
  fs::path temp = target;
  temp += ".~" + std::to_string(platform::CurrentThreadId()) + ".tmp";
  std::unique_ptr<TVKFileStream> stream = TVKFileStream::Create(temp);
  if (!stream) return nullptr;
  if (exists) fs::permissions(temp, st.permissions(), ec);  // the replaced file's permissions stay
  p.OutputTempName = temp.u16string();
  p.OutputTarget = target.u16string();
  return stream;
}

uint32_t TVKSDKCustomProtocol::SettleOutputFile(uint32_t ErrorCode) {
  TVKSDKExecParams& p = FExecParams;
  if (p.OutputTempName.empty()) return ErrorCode;
  const fs::path temp = ToPath(p.OutputTempName), target = ToPath(p.OutputTarget);
  p.OutputTempName.clear();
  p.OutputTarget.clear();
  if (ErrorCode == VKSDK_OK) {
    if (platform::RenameReplacing(temp, target)) return ErrorCode;
    WriteDebug("The output file could not be put in place.");
    ErrorCode = VKSDK_ERR_CREATE_FILE;
  }
  std::error_code ec;
  fs::remove(temp, ec);
  return ErrorCode;
}

void TVKSDKCustomProtocol::DoProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total) {
  TVKSDKExecParams& p = FExecParams;
  if (ErrorCode != VKSDK_PROGRESS) {
    FFinalReported = true;
    // A task has only succeeded when every byte of its output reached the
    // file: a write that failed on the way (a full disk) makes it 269.
    if (ErrorCode == VKSDK_OK) {
      TVKFileStream* out = (p.ProcType == VKSDK_PROC_UPLOAD || p.ProcType == VKSDK_PROC_LIST) ? p.FileStream.get()
                                                                                             : p.AuxFileStream.get();
      if (out && (!out->Flush() || out->Failed())) {
        WriteDebug("The output file could not be written.");
        ErrorCode = VKSDK_ERR_CREATE_FILE;
      }
    }
    // Files are complete and closed before the host hears the result.
    p.FileStream.reset();
    p.AuxFileStream.reset();
    ErrorCode = SettleOutputFile(ErrorCode);
    // A conversion that failed produced no text, so there is nothing to copy.
    if (p.ProcType == VKSDK_PROC_UPLOAD && (!p.isConvert || ErrorCode == VKSDK_OK)) CopyUploadFileToDebugDir(*this);
  }
  WriteProgressLog(ErrorCode, Index, Total);
  if (p.OnProgress) p.OnProgress(ErrorCode, Index, Total, p.UserData);
}

void TVKSDKCustomProtocol::WriteProgressLog(uint32_t ErrorCode, uint32_t Index, uint32_t Total) {
  TVKSDKExecParams& p = FExecParams;
  const std::string text = ProgressLogText(ErrorCode, Index, Total);
  if (ErrorCode != VKSDK_OK && ErrorCode != VKSDK_PROGRESS) {
    if (p.DebugList) {
      p.DebugList->Add(std::string_view());
      p.DebugList->Add(text);
    }
    p.isFailed = true;
    p.nErrorCode = ErrorCode;
  }
  if (p.LogList) p.LogList->Add(text);
}

void TVKSDKCustomProtocol::FailTask(uint32_t ErrorCode) {
  // The failure is always recorded (so the debug file is named as failed);
  // only the host call depends on a callback being there.
  DoProgress(ErrorCode, 0, 0);
  Terminate();
}

}  // namespace vk
