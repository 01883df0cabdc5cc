// The TSecr items: one per task, created by the task for its data type. An
// item owns the link to the scale (framed TCP or HTTP, as the scale's
// discovery block says) and turns the task into requests: the data item
// sends a table as SQL statements in batches of rows, the file item moves
// one whole file into, out of or within a folder of the scale.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/text_file.h"
#include "transport/link_base.h"
#include "tsecr/tsecr_sql.h"

namespace vk {

class TVKSDKTSecrProtocol;
struct TVKSDKExecParams;

// Every request of a TSecr item waits this long (milliseconds).
inline constexpr int32_t kTSecrTimeOut = 3000;
// The header kind of the statements sent before and after a task's rows.
inline constexpr uint8_t kTSecrProcHeaderKind = 16;

class TVKSDKTSecrCustomItem {
 public:
  explicit TVKSDKTSecrCustomItem(TVKSDKTSecrProtocol* TSecrProtocol);
  virtual ~TVKSDKTSecrCustomItem();
  TVKSDKTSecrCustomItem(const TVKSDKTSecrCustomItem&) = delete;
  TVKSDKTSecrCustomItem& operator=(const TVKSDKTSecrCustomItem&) = delete;

  // Builds the link; run once, right after construction.
  virtual void Create();

  // The slots by ProcType: download 0, upload 1 and 4, update 2, delete 3
  // and 6. Each fails the task with 260 unless the item serves it.
  virtual void DoDownload();
  virtual void DoUpload();
  virtual void DoUpdate();
  virtual void DoDelete();

  TVKSDKLinkBase* Link() const { return FLinkClient.get(); }

 protected:
  TVKSDKExecParams& Params();
  void DoProgress(uint32_t ErrorCode, int64_t Index, int64_t Total);
  // Reports a failed request with how far the task got and ends it.
  void FailRequest(int64_t Index, int64_t Total);
  void WriteDebug(std::u16string_view Line);
  void WriteDebug(std::string_view Line);
  bool Stopped() const;
  void Unsupported();

  std::unique_ptr<TVKSDKLinkBase> FLinkClient;
  TVKSDKTSecrProtocol* FTSecrProtocol;
};

// Tables as SQL: download (insert), update and delete of text rows, and
// the clearing of whole tables.
class TVKSDKTSecrDataItem : public TVKSDKTSecrCustomItem {
 public:
  using TVKSDKTSecrCustomItem::TVKSDKTSecrCustomItem;
  void Create() override;
  void DoDownload() override;
  void DoUpdate() override;
  void DoDelete() override;

 private:
  // False (task refused with 261) for a data type without tables.
  bool HasTables();
  // Indexes the text file and maps its columns; false (task failed) when
  // the file cannot be read as a table.
  bool PrepareImport();
  // The statement before the rows (kind 16), when the data type has one.
  bool BeforeProc();
  // Sends the file's rows in batches.
  void RowLoop();
  void DeleteAll();
  // One request under the task's kind; false when it failed.
  bool Send(const TVKBytesDynArray& Blocks, int32_t Count);
  void WriteRequestMark();

  TVKTSecrSQLContext FCtx;
  TVKSDKSQLDefines FDefines;
  TVKSDKLinesInfo FLines;
  TVKSQLColumnMaps FMaps;
  int32_t FTotal = 0;
};

// Whole files in the scale's folders.
class TVKSDKTSecrFileItem : public TVKSDKTSecrCustomItem {
 public:
  using TVKSDKTSecrCustomItem::TVKSDKTSecrCustomItem;
  void Create() override;
  void DoDownload() override;
  void DoUpload() override;
  void DoDelete() override;
};

// The scale's folder of a file data type ("Label", "Image", ...), empty
// for other data types.
std::u16string TSecrFileFolderOf(int32_t DataType);
// The name a stored or fetched file has on the scale: numbered label files
// (DataID + 1), "sms.bin" for the SMS block, otherwise the name part of
// the local file name.
std::u16string TSecrRemoteFileName(int32_t DataType, int32_t DataID, std::u16string_view FileName);
// A label table (".tbl") as it is stored: the sixth field of its first
// line becomes the label number; every line ends with CR LF; the encoding
// (byte-order mark, else ANSI) is kept.
TVKBytes PatchLabelTable(const TVKBytes& File, int32_t DataID);

// Which item serves a TSecr data type.
enum class TVKSDKTSecrItemClass : uint8_t { None, Data, File };
TVKSDKTSecrItemClass TSecrItemClassOf(int32_t DataType);
std::unique_ptr<TVKSDKTSecrCustomItem> MakeTSecrItem(TVKSDKTSecrItemClass Class, TVKSDKTSecrProtocol* Protocol);

}  // namespace vk
