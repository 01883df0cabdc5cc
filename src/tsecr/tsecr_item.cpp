#include "tsecr/tsecr_item.h"

#include <algorithm>

#include "device/device_blocks.h"
#include "runtime/codepage.h"
#include "runtime/debug_output.h"
#include "runtime/platform.h"
#include "runtime/sync.h"
#include "tasks/custom_protocol.h"
#include "transport/http_client.h"
#include "transport/tcp_client.h"
#include "tsecr/tsecr_protocol.h"

namespace vk {

namespace {

TVKBytes Utf8Bytes(std::string_view Text) { return TVKBytes(Text.begin(), Text.end()); }

uint32_t Count32(int64_t n) { return static_cast<uint32_t>(std::clamp<int64_t>(n, 0, UINT32_MAX)); }

}  // namespace

// ---- The item base ----

TVKSDKTSecrCustomItem::TVKSDKTSecrCustomItem(TVKSDKTSecrProtocol* TSecrProtocol) : FTSecrProtocol(TSecrProtocol) {}
TVKSDKTSecrCustomItem::~TVKSDKTSecrCustomItem() = default;

TVKSDKExecParams& TVKSDKTSecrCustomItem::Params() { return *FTSecrProtocol->GetPExecParams(); }

// The scale's block says which link it serves: 1 the framed TCP link,
// anything else HTTP. The HTTP link's SQL headers are ready at once, so a
// request sent before any other header choice still says what it is.
void TVKSDKTSecrCustomItem::Create() {
  TVKSDKExecParams& p = Params();
  if (p.DeviceRawData.TSecrUsesTCPLink()) {
    FLinkClient = std::make_unique<TVKSDKTCPClient>();
  } else {
    FLinkClient = std::make_unique<TVKSDKHTTPClient>();
    FLinkClient->SetSQLProcHeader(p.ProcType);
  }
  FLinkClient->SetHost(p.Addr);
  FLinkClient->SetPort(p.Port);
  FLinkClient->DebugList = p.DebugList.get();
}

void TVKSDKTSecrCustomItem::DoDownload() { Unsupported(); }
void TVKSDKTSecrCustomItem::DoUpload() { Unsupported(); }
void TVKSDKTSecrCustomItem::DoUpdate() { Unsupported(); }
void TVKSDKTSecrCustomItem::DoDelete() { Unsupported(); }

void TVKSDKTSecrCustomItem::Unsupported() { DoProgress(VKSDK_ERR_TSECR_UNSUPPORTED, 0, 0); }

void TVKSDKTSecrCustomItem::DoProgress(uint32_t ErrorCode, int64_t Index, int64_t Total) {
  FTSecrProtocol->DoProgress(ErrorCode, Count32(Index), Count32(Total));
}

void TVKSDKTSecrCustomItem::FailRequest(int64_t Index, int64_t Total) {
  DoProgress(VKSDK_ERR_NO_REPLY, Index, Total);
  FTSecrProtocol->Terminate();
}

void TVKSDKTSecrCustomItem::WriteDebug(std::u16string_view Line) { FTSecrProtocol->WriteDebug(Line); }
void TVKSDKTSecrCustomItem::WriteDebug(std::string_view Line) { FTSecrProtocol->WriteDebug(Line); }
bool TVKSDKTSecrCustomItem::Stopped() const { return FTSecrProtocol->Terminated(); }

// ---- Tables as SQL ----

void TVKSDKTSecrDataItem::Create() {
  TVKSDKExecParams& p = Params();
  // Hotkeys have a second data type; the scale knows them as 3.
  if (p.DataType == 105) p.DataType = 3;
  TVKSDKTSecrCustomItem::Create();
  FCtx.DataType = p.DataType;
  FCtx.ProcType = p.ProcType;
  FCtx.Ver = StrVer2IntVer(TSecrVersionText(p.DeviceRawData));
  FCtx.DataID = p.DataID;
  FCtx.FileName = p.FileName;
  FDefines = GetSQLDefines(p.DataType, IsShelfSystemDevice(p.DeviceRawData));
}

void TVKSDKTSecrDataItem::DoDownload() { RowLoop(); }
void TVKSDKTSecrDataItem::DoUpdate() { RowLoop(); }

void TVKSDKTSecrDataItem::DoDelete() {
  const TVKSDKExecParams& p = Params();
  if (p.FileName == u"*") return DeleteAll();
  // A clear (6) reads no file, so it has no rows to delete.
  if (p.ProcType != VKSDK_PROC_DELETE) return Unsupported();
  RowLoop();
}

void TVKSDKTSecrDataItem::WriteRequestMark() {
  WriteDebug("[" + FormatTimeMs(platform::Now()) + "] >>>>>>Request<<<<<<");
  WriteDebug(std::string_view());
}

bool TVKSDKTSecrDataItem::BeforeProc() {
  const std::u16string sql = BeforeProcSQL(FCtx);
  if (sql.empty()) return true;
  WriteRequestMark();
  WriteDebug(sql);
  const TVKBytesDynArray blocks{Utf8Bytes(Utf16ToUtf8(sql))};
  return FLinkClient->ExecData(Params().ProcType, Params().DataType, kTSecrTimeOut, 1, 0, blocks);
}

bool TVKSDKTSecrDataItem::Send(const TVKBytesDynArray& Blocks, int32_t Count) {
  return FLinkClient->ExecData(Params().ProcType, Params().DataType, kTSecrTimeOut, Count, 0, Blocks);
}

bool TVKSDKTSecrDataItem::PrepareImport() {
  TVKSDKExecParams& p = Params();
  FLines.clear();
  FTotal = 0;
  if (FCtx.DataType == 56) {
    // A picking finish reads no file: its one row comes from the task.
    FLines.resize(2);
  } else {
    if (!p.FileStream) {
      DoProgress(VKSDK_ERR_OPEN_FILE, 0, 0);
      return false;
    }
    TVKLockGuard guard(FTSecrProtocol->GetLock());
    FLines = GetFileLinesInfo(*p.FileStream, p.FileCodePage);
  }
  if (FLines.empty()) return true;
  FTotal = static_cast<int32_t>(FLines.size()) - 1;
  TVKStrings fileHeader;
  if (FCtx.DataType != 56) fileHeader = SplitString(ReadLineFromFileStream(*p.FileStream, FLines[0], p.FileCodePage), u'\t');
  FMaps = BuildColumnMaps(FDefines, ImportHeader(FCtx, fileHeader));
  return true;
}

// The nutrition data types reach the data item but have no table on the
// scale: they are refused before anything is sent, instead of posting
// empty requests and reporting success.
bool TVKSDKTSecrDataItem::HasTables() {
  if (!FDefines.empty()) return true;
  WriteDebug("The data type has no table on the scale.");
  DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  return false;
}

void TVKSDKTSecrDataItem::RowLoop() {
  TVKSDKExecParams& p = Params();
  if (!HasTables()) return;
  FLinkClient->SetSQLProcHeader(kTSecrProcHeaderKind);
  if (!BeforeProc()) return FailRequest(0, 1);
  if (!PrepareImport()) return;
  FLinkClient->SetSQLProcHeader(p.ProcType);
  for (const TVKSQLBatch& batch : RowBatches(FTotal)) {
    if (Stopped()) return DoProgress(VKSDK_TERMINATED, batch.Index, FTotal);
    WriteRequestMark();
    TVKBytesDynArray blocks;
    blocks.reserve(static_cast<size_t>(batch.Count));
    for (int32_t j = 0; j < batch.Count; ++j) {
      const int32_t line = batch.Index + j + 1;
      TVKStrings row;
      if (FCtx.DataType != 56)
        row = SplitString(ReadLineFromFileStream(*p.FileStream, FLines[static_cast<size_t>(line)], p.FileCodePage),
                          u'\t');
      const std::string sql = BuildRowBlock(FCtx, row, line, FMaps, FDefines);
      if (!sql.empty()) WriteDebug(Utf8ToUtf16(sql));
      blocks.push_back(Utf8Bytes(sql));
    }
    if (!Send(blocks, batch.Count)) return FailRequest(batch.Done(), FTotal);
    DoProgress(VKSDK_PROGRESS, batch.Done(), FTotal);
  }
  if (Stopped()) return DoProgress(VKSDK_TERMINATED, FTotal, FTotal);
  DoProgress(VKSDK_OK, FTotal, FTotal);
}

void TVKSDKTSecrDataItem::DeleteAll() {
  TVKSDKExecParams& p = Params();
  if (!HasTables()) return;
  FLinkClient->SetSQLProcHeader(kTSecrProcHeaderKind);
  if (!BeforeProc()) return FailRequest(0, 1);
  FLinkClient->SetSQLProcHeader(p.ProcType);
  WriteRequestMark();
  const std::string sql = BuildRowSQL(FCtx, p.ProcType, {}, {}, FDefines);
  if (!sql.empty()) WriteDebug(Utf8ToUtf16(sql));
  if (!Send({Utf8Bytes(sql)}, 1)) return FailRequest(0, 1);
  DoProgress(VKSDK_PROGRESS, 1, 1);
  DoProgress(VKSDK_OK, 1, 1);
}

// ---- Whole files ----

std::u16string TSecrFileFolderOf(int32_t DataType) {
  switch (DataType) {
    case 32: case 33: case 34: case 4098: return u"Label";
    case 152: case 4099: case 8195: return u"File";
    case 4096: return u"Image";
    case 4097: return u"Video";
    case 4100: return u"DisplayImage";
    case 4101: case 4357: return u"KeyImage";
    case 4102: return u"CategoryImage";
    case 4103: return u"DataBase";
    case 4104: return u"Parameter";
    case 4105: return u"DataBaseRecovery";
    default: return {};
  }
}

std::u16string TSecrRemoteFileName(int32_t DataType, int32_t DataID, std::u16string_view FileName) {
  const std::u16string number = Utf8ToUtf16(std::to_string(static_cast<int64_t>(DataID) + 1));
  switch (DataType) {
    case 32: return number + u".lf";
    case 33: return number + u".lm";
    case 34: return number + u".tbl";
    case 152: return u"sms.bin";
    default: return MyExtractFileName(FileName);
  }
}

TVKBytes PatchLabelTable(const TVKBytes& File, int32_t DataID) {
  uint32_t cp = 0;
  size_t bom = 0;
  for (uint32_t c : {65001u, 1200u, 1201u}) {
    if (size_t n = ByteOrderMarkSize(File.data(), File.size(), c); n != 0) {
      cp = c;
      bom = n;
      break;
    }
  }
  const std::u16string text = CodePageBytesToString(File.data() + bom, File.size() - bom, cp);
  // Lines end at CR LF, CR or LF; a line end at the very end starts no
  // further line.
  TVKStrings lines;
  std::u16string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t ch = text[i];
    if (ch != u'\r' && ch != u'\n') {
      line += ch;
      continue;
    }
    if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));

  if (!lines.empty()) {
    std::u16string first = lines[0];
    if (!first.empty()) first.pop_back();
    TVKStrings fields = SplitString(first, u',');
    if (fields.size() > 5) fields[5] = Utf8ToUtf16(std::to_string(DataID));
    std::u16string joined;
    for (const std::u16string& f : fields) joined += f + u",";
    lines[0] = joined;
  }
  std::u16string out;
  for (const std::u16string& l : lines) out += l + u"\r\n";
  TVKBytes bytes(File.begin(), File.begin() + static_cast<std::ptrdiff_t>(bom));
  AppendCodePageBytes(out, cp, bytes);
  return bytes;
}

// Transfers on the HTTP link report their bytes as they go.
void TVKSDKTSecrFileItem::Create() {
  TVKSDKTSecrCustomItem::Create();
  FLinkClient->FOnWorkEvent = [this](int32_t WorkCount, int32_t WorkCountMax) {
    DoProgress(VKSDK_PROGRESS, WorkCount, WorkCountMax);
  };
}

void TVKSDKTSecrFileItem::DoDownload() {
  TVKSDKExecParams& p = Params();
  FLinkClient->SetFileProcHeader(p.ProcType, TSecrFileFolderOf(p.DataType),
                                 TSecrRemoteFileName(p.DataType, p.DataID, p.FileName));
  TVKBytes data;
  if (p.FileStream) {
    const int64_t size = p.FileStream->Size();
    data.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    p.FileStream->Seek(0);
    if (p.FileStream->Read(data.data(), data.size()) != data.size()) {
      WriteDebug("The file could not be read.");
      return DoProgress(VKSDK_ERR_OPEN_FILE, 0, 0);
    }
  }
  if (p.DataType == 34) data = PatchLabelTable(data, p.DataID);
  const int64_t size = static_cast<int64_t>(data.size());
  DoProgress(VKSDK_PROGRESS, 0, size);
  if (!FLinkClient->ExecFile(p.ProcType, p.DataType, kTSecrTimeOut, data)) return FailRequest(0, size);
  DoProgress(VKSDK_OK, size, size);
}

void TVKSDKTSecrFileItem::DoUpload() {
  TVKSDKExecParams& p = Params();
  DoProgress(VKSDK_PROGRESS, 0, 1);
  FLinkClient->SetFileProcHeader(p.ProcType, TSecrFileFolderOf(p.DataType),
                                 TSecrRemoteFileName(p.DataType, p.DataID, p.FileName));
  TVKBytes reply;
  if (!FLinkClient->GetData(p.ProcType, p.DataType, kTSecrTimeOut, reply, {})) return FailRequest(0, 1);
  if (p.FileStream && !reply.empty()) p.FileStream->Write(reply.data(), reply.size());
  DoProgress(VKSDK_PROGRESS, 1, 1);
  DoProgress(VKSDK_OK, 1, 1);
}

void TVKSDKTSecrFileItem::DoDelete() {
  TVKSDKExecParams& p = Params();
  FLinkClient->SetFileProcHeader(p.ProcType, TSecrFileFolderOf(p.DataType), MyExtractFileName(p.FileName));
  DoProgress(VKSDK_PROGRESS, 0, 1);
  if (!FLinkClient->ExecFile(p.ProcType, p.DataType, kTSecrTimeOut, {})) return FailRequest(0, 1);
  DoProgress(VKSDK_PROGRESS, 1, 1);
  DoProgress(VKSDK_OK, 1, 1);
}

// ---- Item choice ----

TVKSDKTSecrItemClass TSecrItemClassOf(int32_t DataType) {
  const TVKDataTypeRow* row = DataTypeRow(ptTSecr, DataType);
  if (!row || !row->ItemClass) return TVKSDKTSecrItemClass::None;
  const std::string_view name = row->ItemClass;
  if (name == "TVKSDKTSecrDataItem") return TVKSDKTSecrItemClass::Data;
  if (name == "TVKSDKTSecrFileItem") return TVKSDKTSecrItemClass::File;
  return TVKSDKTSecrItemClass::None;
}

std::unique_ptr<TVKSDKTSecrCustomItem> MakeTSecrItem(TVKSDKTSecrItemClass Class, TVKSDKTSecrProtocol* Protocol) {
  switch (Class) {
    case TVKSDKTSecrItemClass::Data: return std::make_unique<TVKSDKTSecrDataItem>(Protocol);
    case TVKSDKTSecrItemClass::File: return std::make_unique<TVKSDKTSecrFileItem>(Protocol);
    default: return nullptr;
  }
}

}  // namespace vk
