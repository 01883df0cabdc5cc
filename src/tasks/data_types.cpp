#include "tasks/data_types.h"

namespace vk {

namespace {

using TO = TVKTimeOutClass;
constexpr uint8_t H = ptHecr, P = ptPecr, T = ptTSecr;

// Hecr request commands: download, upload, delete, list, then the second
// download, the second upload and the pre-download where a table has them.
constexpr TVKTableCommands C(uint16_t down, uint16_t up = 0, uint16_t del = 0, uint16_t list = 0,
                            uint16_t downAlt = 0, uint16_t upAlt = 0, uint16_t downPre = 0) {
  return {down, up, del, list, downAlt, upAlt, downPre};
}

constexpr uint32_t kLabelFlags = dtDeviceTextCodePage | dtNoTSecrRequery;
constexpr uint32_t kNotesFlags = dtBin2Txt;

constexpr const char* kTSecrData = "TVKSDKTSecrDataItem";
constexpr const char* kTSecrFile = "TVKSDKTSecrFileItem";
constexpr uint32_t kTSecrFileFlags = dtNoFileToDelete | dtRawUpload;

constexpr TVKDataTypeRow kRows[] = {
    // family, type, class, shelf-system class, commands, time-out class, port, flags, counter
    {H, 0, "TVKSDKHecrPLUItem", "TVKSDKHecrESLPLUItem", C(0x982E, 0x602E, 0x9830, 0, 0, 0x6071), TO::SlowClear, 0,
     dtNoTSecrRequery | dtClockFirst | dtBin2Txt | dtTxt2Bin, 0},
    {H, 1, "TVKSDKHecrUnitItem", "TVKSDKHecrUnitItem", C(0x9823, 0x6022)},
    {H, 2, "TVKSDKHecrDepartmentItem", "TVKSDKHecrDepartmentItem", C(0x9814, 0x6014)},
    {H, 3, "TVKSDKHecrHotKeyItem", "TVKSDKHecrHotKeyItem", C(0x9812, 0x6013, 0, 0, 0x9884, 0x6079, 0x9813), TO::Sync,
     0, dtNoTSecrRequery},
    {H, 4, "TVKSDKHecrGroupItem", "TVKSDKHecrGroupItem", C(0x9815, 0x6015)},
    {H, 5, "TVKSDKHecrDiscountItem", "TVKSDKHecrDiscountItem", C(0x9811, 0x6011)},
    {H, 10, "TVKSDKHecrTareItem", "TVKSDKHecrTareItem", C(0x9810, 0x6010)},
    {H, 12, "TVKSDKHecrNotesItem", "TVKSDKHecrNotesItem", C(0x9847, 0x6029, 0x9831), TO::SlowClear, 0, kNotesFlags, 2},
    {H, 13, "TVKSDKHecrNotesItem", "TVKSDKHecrNotesItem", C(0x9846, 0x6021, 0x9832), TO::SlowClear, 0, kNotesFlags, 4},
    {H, 14, "TVKSDKHecrNotesItem", "TVKSDKHecrNotesItem", C(0x985C, 0x605A, 0x985D), TO::SlowClear, 0, kNotesFlags, 8},
    {H, 16, "TVKSDKHecrOptionsItem", "TVKSDKHecrESLOptionsItem", C(0x9850, 0x6028), TO::Sync, 0, dtBin2Txt},
    {H, 17, "TVKSDKHecrCustomBarcodeItem", "TVKSDKHecrCustomBarcodeItem", C(0x982D, 0x602D)},
    {H, 19, "TVKSDKHecrHeaderInfoItem", "TVKSDKHecrHeaderInfoItem", C(0x983F, 0x603F)},
    {H, 20, "TVKSDKHecrFooterInfoItem", "TVKSDKHecrFooterInfoItem", C(0x9840, 0x6040)},
    {H, 21, "TVKSDKHecrAdvertisementInfoItem", "TVKSDKHecrAdvertisementInfoItem", C(0x9917, 0x6067)},
    {H, 24, "TVKSDKHecrLabelAdvertisementInfo", "TVKSDKHecrLabelAdvertisementInfo", C(0x983E, 0x603E)},
    {H, 26, "TVKSDKHecrNutritionElementItem", "TVKSDKHecrNutritionElementItem", C(0x9834, 0x6032)},
    {H, 27, "TVKSDKHecrNutritionInfoItem", "TVKSDKHecrNutritionInfoItem", C(0x9825, 0x6023, 0x9824), TO::Sync, 0, 0,
     6},
    {H, 28, "TVKSDKHecrNotesItem", "TVKSDKHecrNotesItem", C(0x9868, 0x6068, 0x9869), TO::SlowClear, 0, kNotesFlags, 10},
    {H, 32, "TVKSDKHecrLabelItem", "TVKSDKHecrESLLabelItem", C(0, 0, 0x9872), TO::Sync, 0, kLabelFlags},
    {H, 33, "TVKSDKHecrLabelItem", "TVKSDKHecrESLLabelItem", C(0, 0, 0x9872), TO::Sync, 0, kLabelFlags},
    {H, 34, "TVKSDKHecrLabelItem", "TVKSDKHecrESLLabelItem", C(0, 0, 0x9872), TO::Sync, 0, kLabelFlags},
    {H, 35, "TVKSDKHecrLabelItem", "TVKSDKHecrESLLabelItem", C(0, 0, 0x9872), TO::Sync, 0, kLabelFlags},
    {H, 37, "TVKSDKHecrTimeFixItem", "TVKSDKHecrBindingInfoItem", C(0x904A, 0x904D, 0x904E, 0, 0x904B), TO::Sync, 0,
     dtNoInputFile | dtNoDetection},
    {H, 38, nullptr, "TVKSDKHecrUntiedInfoItem", C(0x8902, 0, 0, 0, 0x8932), TO::Sync, 5001,
     dtNoInputFile | dtNoDetection},
    {H, 39, "TVKSDKHecrShelfMapItem", "TVKSDKHecrShelfMapItem", C(0, 0x7931)},
    {H, 40, "TVKSDKHecrShelfPLUMapItem", "TVKSDKHecrShelfPLUMapItem", C(0x8931, 0x7932)},
    {H, 41, "TVKSDKHecrESLFirmwareItem", "TVKSDKHecrESLFirmwareItem"},
    {H, 48, "TVKSDKHecrBSFirmwareItem", "TVKSDKHecrBSFirmwareItem"},
    {H, 49, "TVKSDKHecrHTFirmwareItem", "TVKSDKHecrHTFirmwareItem"},
    {H, 50, "TVKSDKHecrLabelItem", "TVKSDKHecrESLLabelItem", C(0, 0, 0x9872)},
    {H, 51, "TVKSDKHecrJsonItem", "TVKSDKHecrJsonItem"},
    {H, 52, "TVKSDKHecrEventItem", "TVKSDKHecrEventItem", C(0x8933, 0x7933)},
    {H, 53, "TVKSDKHecrESLLayerChangedItem", "TVKSDKHecrESLLayerChangedItem", C(0x8934)},
    {H, 54, "TVKSDKHecrDemoCommandItem", "TVKSDKHecrDemoCommandItem", C(0x6901), TO::Sync, 0, dtNoInputFile},
    {H, 55, "TVKSDKHecrPickingItem", "TVKSDKHecrPickingItem", C(0x8935)},
    {H, 56, "TVKSDKHecrPickingFinishItem", "TVKSDKHecrPickingFinishItem", C(0x8936), TO::Sync, 0, dtNoInputFile},
    {H, 57, "TVKSDKHecrPickingCancelItem", "TVKSDKHecrPickingCancelItem", C(0x8937)},
    {H, 64, "TVKSDKHecrLearnItem", "TVKSDKHecrLearnItem", C(0x6102), TO::Sync, 0, dtNoInputFile},
    {H, 65, "TVKSDKHecrLearnItem", "TVKSDKHecrLearnItem", C(0x6104, 0x6103)},
    {H, 66, "TVKSDKHecrESLIndicatorItem", "TVKSDKHecrESLIndicatorItem", C(0x8938)},
    {H, 70, "TVKSDKHecrESLLightItem", "TVKSDKHecrESLLightItem", C(0x8939)},
    {H, 112, "TVKSDKHecrClerkItem", "TVKSDKHecrClerkItem", C(0x9856, 0x6056)},
    {H, 113, "TVKSDKHecrSpeedCodeItem", "TVKSDKHecrSpeedCodeItem", C(0x9885, 0x606E, 0, 0, 0x9886)},
    {H, 114, "TVKSDKHecrSaleRecordItem", "TVKSDKHecrSaleRecordItem"},
    {H, 115, "TVKSDKHecrHotSaleItem", "TVKSDKHecrHotSaleItem", C(0x9889, 0, 0x988A), TO::Sync, 0, dtNoTSecrRequery},
    {H, 148, "TVKSDKHecrChangeProtocolItem", "TVKSDKHecrChangeProtocolItem", {}, TO::Sync, 0, dtNoInputFile},
    {H, 149, "TVKSDKHecrWebServiceItem", "TVKSDKHecrWebServiceItem"},
    {H, 150, "TVKSDKHecrLogItem", "TVKSDKHecrLogItem", {}, TO::Sync, 0,
     dtRawUpload | dtDeviceTextCodePage | dtNoPecrRequery},
    {H, 151, "TVKSDKHecrCommandItem", "TVKSDKHecrCommandItem", {}, TO::Sync, 0,
     dtNoInputFile | dtRawUpload | dtNoPecrRequeryById},
    {H, 152, "TVKSDKHecrSMSItem", "TVKSDKHecrSMSItem", C(0x9855, 0x6055), TO::Sync, 0, dtDeviceTextCodePage},
    {H, 153, "TVKSDKHecrRawDataItem", "TVKSDKHecrRawDataItem", C(0, 0x7400), TO::Sync, 0, dtDeviceTextCodePage},
    {H, 261, "TVKSDKHecrMessage1Item", "TVKSDKHecrMessage1Item", C(0x986B, 0x606B, 0x986C), TO::Sync, 0, dtBin2Txt, 14},
    {H, 263, "TVKSDKHecrSaleRecordItem", "TVKSDKHecrSaleRecordItem", {}, TO::Sync, 0, dtNoPecrRequery},
    {H, 264, "TVKSDKHecrPLUReportItem", "TVKSDKHecrPLUReportItem", C(0, 0x6041, 0x9845)},
    {H, 265, "TVKSDKHecrGroupReportItem", "TVKSDKHecrGroupReportItem", C(0, 0x6042, 0x9848)},
    {H, 266, "TVKSDKHecrDepartmentReportItem", "TVKSDKHecrDepartmentReportItem", C(0, 0x6044, 0x9857)},
    {H, 288, "TVKSDKHecrTraceStatusItem", "TVKSDKHecrTraceStatusItem", C(0x986E, 0x606C)},
    {H, 289, "TVKSDKHecrTraceMapItem", "TVKSDKHecrTraceMapItem", C(0x986F, 0x606D)},
    {H, 290, "TVKSDKHecrTraceDataItem", "TVKSDKHecrTraceDataItem", C(0x9870, 0x606E, 0x982F)},
    {H, 4101, "TVKSDKHecrImageItem", "TVKSDKHecrImageItem", C(0x987A, 0x6120, 0x987C, 0x6119, 0x987B), TO::Sync, 0,
     dtNoFileToDelete | dtNoTSecrRequery},
    {H, 8193, "TVKSDKHecrTimeItem", "TVKSDKHecrTimeItem", C(0x7003), TO::Sync, 0, dtNoInputFile},
    {H, 8194, "TVKSDKHecrFontItem", "TVKSDKHecrFontItem", C(0, 0, 0, 0, 0x9865), TO::Firmware, 0, dtNoPecrRequery},
    // The scale's program goes through the Pecr frames on port 5001.
    {H, 8195, "TVKSDKHecrFirmwareItem", "TVKSDKHecrFirmwareItem", {}, TO::Firmware, 5001, dtNoPecrRequery},
    {H, 8196, "TVKSDKHecrParamItem", "TVKSDKHecrParamItem", C(0x8700)},
    {H, 8197, "TVKSDKHecrParamItem", "TVKSDKHecrParamItem", C(0x8701)},
    {H, 8198, "TVKSDKHecrParamItem", "TVKSDKHecrParamItem", C(0x8702)},
    {H, 8199, "TVKSDKHecrTKPrnFirmwareItem", "TVKSDKHecrTKPrnFirmwareItem"},
    {H, 8200, "TVKSDKHecrTKFirmwareItem", "TVKSDKHecrTKFirmwareItem"},
    {H, 8201, "TVKSDKHecrADFirmwareItem", "TVKSDKHecrADFirmwareItem", {}, TO::Firmware},

    // Pecr: download data type (64-byte layout, then 128-byte), upload table
    // codes (the same two layouts), the address of the clear request.
    {P, 0, "TVKSDKPecrPLUItem", nullptr, C(11, 128, 4, 0, 123, 132), TO::Sync, 0, dtClockFirst},
    {P, 1, "TVKSDKPecrUnitItem", nullptr},
    {P, 3, "TVKSDKPecrHotkeyItem", nullptr},
    {P, 5, "TVKSDKPecrDiscountItem", nullptr},
    {P, 16, "TVKSDKPecrOptionsItem", nullptr},
    {P, 19, "TVKSDKPecrHeaderInfoItem", nullptr},
    {P, 20, "TVKSDKPecrFooterInfoItem", nullptr},
    {P, 32, "TVKSDKPecrLabelItem", nullptr},
    {P, 33, "TVKSDKPecrLabelItem", nullptr},
    {P, 34, "TVKSDKPecrLabelItem", nullptr},
    {P, 35, "TVKSDKPecrLabelItem", nullptr},
    {P, 36, "TVKSDKPecrLabelItem", nullptr},
    {P, 113, "TVKSDKPecrSpeedCodeItem", nullptr},
    {P, 151, "TVKSDKPecrCommandItem", nullptr, {}, TO::Sync, 0, dtNoInputFile | dtRawUpload},
    {P, 152, "TVKSDKPecrSMSItem", nullptr},
    {P, 261, "TVKSDKPecrMessage1Item", nullptr},
    {P, 8195, "TVKSDKPecrFirmwareItem", nullptr, {}, TO::Firmware},
    {P, 8451, "TVKSDKPecrFirmwareItem", nullptr, {}, TO::Firmware, 5001, dtNoDetection},

    // TSecr: tables move as SQL through the data item, whole files through
    // the file item. A picking finish (56) carries its one row in the task's
    // arguments. A file's delete names a file on the scale, not a local one,
    // and a fetched file is written as the scale sends it.
    {T, 0, kTSecrData, kTSecrData},
    {T, 1, kTSecrData, kTSecrData},
    {T, 2, kTSecrData, kTSecrData},
    {T, 3, kTSecrData, kTSecrData},
    {T, 105, kTSecrData, kTSecrData},
    {T, 4, kTSecrData, kTSecrData},
    {T, 5, kTSecrData, kTSecrData},
    {T, 10, kTSecrData, kTSecrData},
    {T, 12, kTSecrData, kTSecrData},
    {T, 13, kTSecrData, kTSecrData},
    {T, 14, kTSecrData, kTSecrData},
    {T, 16, kTSecrData, kTSecrData},
    {T, 17, kTSecrData, kTSecrData},
    {T, 19, kTSecrData, kTSecrData},
    {T, 20, kTSecrData, kTSecrData},
    {T, 21, kTSecrData, kTSecrData},
    {T, 26, kTSecrData, kTSecrData},
    {T, 27, kTSecrData, kTSecrData},
    {T, 28, kTSecrData, kTSecrData},
    {T, 35, kTSecrData, kTSecrData},
    {T, 38, kTSecrData, kTSecrData},
    {T, 40, kTSecrData, kTSecrData},
    {T, 52, kTSecrData, kTSecrData},
    {T, 55, kTSecrData, kTSecrData},
    {T, 56, kTSecrData, kTSecrData, {}, TO::Sync, 0, dtNoInputFile},
    {T, 57, kTSecrData, kTSecrData},
    {T, 67, kTSecrData, kTSecrData},
    {T, 68, kTSecrData, kTSecrData},
    {T, 69, kTSecrData, kTSecrData},
    {T, 71, kTSecrData, kTSecrData},
    {T, 72, kTSecrData, kTSecrData},
    {T, 261, kTSecrData, kTSecrData},
    {T, 263, kTSecrData, kTSecrData},
    {T, 288, kTSecrData, kTSecrData},
    {T, 289, kTSecrData, kTSecrData},
    {T, 290, kTSecrData, kTSecrData},
    {T, 32, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 33, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 34, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 152, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4096, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4097, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4098, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4099, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4100, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4101, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4102, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4103, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4104, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4105, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 4357, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
    {T, 8195, kTSecrFile, kTSecrFile, {}, TO::Sync, 0, kTSecrFileFlags},
};

}  // namespace

std::span<const TVKDataTypeRow> DataTypeRows() { return kRows; }

const TVKDataTypeRow* DataTypeRow(uint8_t Family, int32_t DataType) {
  for (const auto& r : kRows)
    if (r.Family == Family && r.DataType == DataType) return &r;
  return nullptr;
}

const TVKDataTypeRow* AnyDataTypeRow(int32_t DataType) {
  for (const auto& r : kRows)
    if (r.DataType == DataType) return &r;
  return nullptr;
}

bool NeedsInputFile(const TVKDataTypeRow* Row, uint8_t ProcType, bool WholeTableName) {
  switch (ProcType) {
    case VKSDK_PROC_CLEAR_IMAGES:
      return false;
    case VKSDK_PROC_DELETE:
      if (WholeTableName || HasFlag(Row, dtNoFileToDelete)) return false;
      break;
    default:
      break;
  }
  return !HasFlag(Row, dtNoInputFile);
}

}  // namespace vk
