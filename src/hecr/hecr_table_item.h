// The two generic Hecr items every fixed table is built from. A table is a
// definition (field table, record and package length, placement) plus the
// commands of its data type's row; most tables need no code of their own.
//
// Whole tables (units, departments, nutrition elements, ...): the file is
// read at once, rows are placed by ID, every record is built, and the
// packages go one per frame. Upload asks for the packages in turn.
//
// Streamed tables (PLUs, notes, nutrition information): one record per row,
// built when its frame is due; the upload count comes from the device's
// table counters; a delete clears the whole table.
#pragma once

#include "data/table_file.h"
#include "hecr/hecr_item.h"

namespace vk {

// What both generic items share: the table definition, and the delete of
// the whole table with the row's delete command (261 when it has none).
class TVKSDKHecrDefinedItem : public TVKSDKHecrCustomItem {
 public:
  TVKSDKHecrDefinedItem(TVKSDKHecrProtocol* HecrProtocol, const TVKSDKRAMDefineInfo& Def, bool DeleteRetriesWrongParam)
      : TVKSDKHecrCustomItem(HecrProtocol), FDef(&Def), FDeleteRetriesWrongParam(DeleteRetriesWrongParam) {}

  void DefineFields() override { FFields = FDef->Fields(); }
  bool GetDelSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetDelRecvData(int32_t Index, const TVKBytes& Data) override;

 protected:
  const TVKSDKRAMDefineInfo* FDef;

 private:
  bool FDeleteRetriesWrongParam;
};

class TVKSDKHecrTableItem : public TVKSDKHecrDefinedItem {
 public:
  TVKSDKHecrTableItem(TVKSDKHecrProtocol* HecrProtocol, const TVKSDKRAMDefineInfo& Def)
      : TVKSDKHecrDefinedItem(HecrProtocol, Def, false) {}

  void Create() override;
  TLengthInfo GetLengthInfo() const override { return {FDef->PackageLen, FDef->SingleDataLen}; }
  bool GetDownSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetDownRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetUpSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetUpRecvData(int32_t Index, const TVKBytes& Data) override;

 protected:
  // Places the file's rows (header first) before the records are built.
  virtual TVKStringsDynArray PlaceRows(const TVKStringsDynArray& Rows);
  // Writes the upload line of the record at position FDataIndex.
  virtual void WriteRecordLine(const uint8_t* Record, size_t Size);
  // Decodes the records of one upload reply (bounded by the bytes that
  // arrived); false when the reply holds no whole record.
  virtual bool DecodeUpReply(int32_t Index, const uint8_t* Data, size_t Size);
  // Reports (0, ..) and answers rcStop once every record is written.
  TVKSDKHecrRecvCheck UpProgress();

  TVKBytesDynArray FImportDatas;
  int32_t FRecordCount = 0;
  int32_t FRecordsPerPackage = 1;
  uint32_t FPendingError = 0, FPendingIndex = 0;
};

class TVKSDKHecrStreamItem : public TVKSDKHecrDefinedItem {
 public:
  TVKSDKHecrStreamItem(TVKSDKHecrProtocol* HecrProtocol, const TVKSDKRAMDefineInfo& Def)
      : TVKSDKHecrDefinedItem(HecrProtocol, Def, true) {}

  void Create() override;
  bool isHandled(TVKSDKUDPClientClass* UDPClient) override;
  TLengthInfo GetLengthInfo() const override { return {FDef->SingleDataLen, FDef->SingleDataLen}; }
  bool GetDownSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetDownRecvData(int32_t Index, const TVKBytes& Data) override;
  bool GetUpSendData(int32_t Index, TVKBytes& Data) override;
  TVKSDKHecrRecvCheck SetUpRecvData(int32_t Index, const TVKBytes& Data) override;
  void Prefetch(int32_t Index) override;

 protected:
  // Checks the download file before anything is sent; true when it has
  // failed the task (reported).
  virtual bool CheckDownloadFile() { return false; }
  // The file row download request Index carries.
  virtual int32_t RowOfIndex(int32_t Index) const { return Index; }
  // Bytes of the record for the current row, once its cells are imported
  // into FRecord (a record may be sized by what it holds).
  virtual int32_t RecordLenOfRow() const { return FDef->SingleDataLen; }
  // Adjusts the current row's cells before they are imported.
  virtual void BeforeImport() {}
  // Finishes a record after its cells are imported.
  virtual void AfterImport(uint8_t* /*Record*/, int32_t /*Len*/) {}
  // An upload reply that holds no whole record: the base ends with 266
  // (265 in a conversion).
  virtual TVKSDKHecrRecvCheck ShortUpReply(int32_t Index) { return FailNoRecord(Index); }
  // The upload request's command (and its reply's).
  virtual uint16_t UpCmd() const { return Cmd().Up; }
  // Bytes an upload reply must hold to be a record.
  virtual int32_t MinUpRecordLen() const { return FDef->SingleDataLen; }

  // What building the download frame of a row came to.
  enum class DownBuild { Ok, BadCells, CannotEncode };
  DownBuild BuildDownFrame(int32_t Index, TVKBytes& Data, size_t& FailedCell);

  TVKTableFileReader FReader;
  // The bytes every record starts from.
  TVKBytes FTemplate;
  TVKBytes FRecord;
  bool FCountsAnswered = true;
  // False when the download frames go to a conversion's binary file, which
  // keeps only their data part: their CRC is then not computed.
  bool FFrameCrc = true;

 private:
  // The download frame built ahead by Prefetch, and its index (-1: none).
  TVKBytes FPrefetchFrame;
  int32_t FPrefetchIndex = -1;
};

// Codec of an order column that has no place in the record: on upload it
// writes the record's ID from its position.
std::u16string ExportRowId(const TVKCodecContext& Ctx, const uint8_t*, int32_t);

}  // namespace vk
