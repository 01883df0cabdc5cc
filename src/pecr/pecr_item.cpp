#include "pecr/pecr_item.h"

#include <cstring>

#include "data/table_ops.h"
#include "data/text_file.h"
#include "pecr/items/plu_item.h"
#include "pecr/pecr_protocol.h"
#include "runtime/sysparams.h"
#include "transport/udp_client.h"

namespace vk {

namespace {

constexpr uint8_t kParamBlockType = 108;
constexpr size_t kParamDotCount = 17;

struct Maker {
  const char* ClassName;
  TVKSDKPecrItemFactory Make;
};
constexpr Maker kMakers[] = {
    {"TVKSDKPecrPLUItem", &MakePecrItem<TVKSDKPecrPLUItem>},
};

const TVKSDKRAMDefineInfo* const kTables[] = {
    &TVKSDKPecrPLUItem::Layout(false, false), &TVKSDKPecrPLUItem::Layout(false, true),
    &TVKSDKPecrPLUItem::Layout(true, false), &TVKSDKPecrPLUItem::Layout(true, true)};

}  // namespace

std::span<const TVKSDKRAMDefineInfo* const> PecrTableDefines() { return kTables; }

TVKSDKPecrItemFactory PecrItemFactoryOf(const TVKDataTypeRow* Row) {
  if (!Row || !Row->ItemClass) return nullptr;
  for (const auto& m : kMakers)
    if (std::strcmp(m.ClassName, Row->ItemClass) == 0) return m.Make;
  return nullptr;
}

void TVKSDKPecrCustomItem::Create() {
  DefineFields();
  FDataIndex = 0;
  switch (Params().ProcType) {
    case VKSDK_PROC_DOWNLOAD:
      FGetSendData = &TVKSDKPecrCustomItem::GetDownSendData;
      FSetRecvData = &TVKSDKPecrCustomItem::SetDownRecvData;
      break;
    case VKSDK_PROC_UPLOAD:
      FGetSendData = &TVKSDKPecrCustomItem::GetUpSendData;
      FSetRecvData = &TVKSDKPecrCustomItem::SetUpRecvData;
      break;
    case VKSDK_PROC_DELETE:
      FGetSendData = &TVKSDKPecrCustomItem::GetDelSendData;
      FSetRecvData = &TVKSDKPecrCustomItem::SetDelRecvData;
      break;
    default:
      break;
  }
}

bool TVKSDKPecrCustomItem::GetDownSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  return false;
}
bool TVKSDKPecrCustomItem::SetDownRecvData(int32_t, const TVKBytes&) { return false; }
bool TVKSDKPecrCustomItem::GetUpSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  return false;
}
bool TVKSDKPecrCustomItem::SetUpRecvData(int32_t, const TVKBytes&) { return false; }
bool TVKSDKPecrCustomItem::GetDelSendData(int32_t, TVKBytes& Data) {
  Data.clear();
  return false;
}
bool TVKSDKPecrCustomItem::SetDelRecvData(int32_t, const TVKBytes&) { return false; }

TVKSDKExecParams& TVKSDKPecrCustomItem::Params() const { return *FPecrProtocol->GetPExecParams(); }

const TVKDataTypeRow& TVKSDKPecrCustomItem::Row() const {
  static constexpr TVKDataTypeRow kNoRow{ptPecr, -1, nullptr, nullptr};
  const TVKDataTypeRow* row = Params().Row;
  return row ? *row : kNoRow;
}

void TVKSDKPecrCustomItem::DoProgress(uint32_t ErrorCode, uint32_t Index, uint32_t Total) {
  FPecrProtocol->DoProgress(ErrorCode, Index, Total);
}

void TVKSDKPecrCustomItem::WriteDebug(std::string_view line) { FPecrProtocol->WriteDebug(line); }
void TVKSDKPecrCustomItem::WriteDebug(std::u16string_view line) { FPecrProtocol->WriteDebug(line); }

void TVKSDKPecrCustomItem::WriteDebugAndLog(std::u16string_view line) {
  TVKSDKExecParams& p = Params();
  if (p.DebugList) p.DebugList->Add(line);
  if (p.LogList) p.LogList->Add(line);
}

bool TVKSDKPecrCustomItem::Fail(uint32_t ErrorCode, uint32_t Index) {
  DoProgress(ErrorCode, Index, static_cast<uint32_t>(FTotal));
  return false;
}

std::u16string TVKSDKPecrCustomItem::RecordToText(const uint8_t* Data, size_t Size,
                                                  std::span<const TVKSDKRAMFieldInfo> Fields, int32_t Offset) const {
  std::u16string line;
  bool first = true;
  for (const TVKSDKRAMFieldInfo& f : Fields) {
    if (IsNilField(f) || !f.ExportFun) continue;
    if (!first) line.push_back(u'\t');
    first = false;
    const int64_t at = static_cast<int64_t>(Offset) + f.Offset;
    if (at < 0 || at + f.Size > static_cast<int64_t>(Size)) continue;  // a field past the data: an empty cell
    AppendCell(line, f.ExportFun(FCtx, Data + at, f.Size));
  }
  return line;
}

std::u16string TVKSDKPecrCustomItem::FieldsHeaderLine(std::span<const TVKSDKRAMFieldInfo> Fields) {
  std::u16string line;
  for (const TVKSDKRAMFieldInfo& f : Fields) {
    if (IsNilField(f)) continue;
    if (!line.empty()) line.push_back(u'\t');
    line += f.ImportName;
  }
  return line;
}

bool TVKSDKPecrCustomItem::WriteTextLine(std::u16string_view Line) {
  TVKSDKExecParams& p = Params();
  return p.FileStream && WriteLineToFileStream(*p.FileStream, Line, p.FileCodePage);
}

bool TVKSDKPecrCustomItem::ReadParamBlock(TVKBytes& Block) {
  Block.assign(kPecrDataSize, 0);
  const TVKSDKExecParams& p = Params();
  const TVKSDKSysParams& sp = SysParams();
  TVKSDKUDPClientClass client(p.Addr, p.Port);
  TVKBytes request(kPecrDataSize, 0);
  request[0] = kParamBlockType;
  const TVKSDKUDPClientClass::AnswerCheck accept = [](const TVKBytes& d) { return TVKPecrProtocol::CheckPackage(d); };
  TVKBytes reply = client.GetData(request, sp.SyncTimeOut, sp.SyncTryCount, p.DebugList.get(), {}, accept);
  if (!TVKPecrProtocol::CheckPackage(reply)) return false;
  Block = TVKPecrProtocol::GetData(reply);
  return true;
}

int32_t TVKSDKPecrCustomItem::PriceMultipleOf(const TVKBytes& Block) {
  switch (Block.size() > kParamDotCount ? Block[kParamDotCount] : 0) {
    case 1: return 10;
    case 2: return 100;
    case 3: return 1000;
    default: return 1;
  }
}

}  // namespace vk
