#include "hecr/hecr_item_table.h"

#include "hecr/hecr_protocol.h"
#include "hecr/items/plu_item.h"

namespace vk {

namespace {

constexpr TVKSDKHecrItemFactory kPLU = &MakeHecrItem<TVKSDKHecrPLUItem>;
// Tables whose item is not built into this library yet.
constexpr TVKSDKHecrItemFactory kTodo = &MakeHecrItem<TVKSDKHecrUnsupportedItem>;

// Data type, class, shelf-system class. A data type that only a shelf
// system has leaves the ordinary class null.
constexpr TVKSDKHecrItemClass kItemClasses[] = {
    {0, "TVKSDKHecrPLUItem", kPLU, "TVKSDKHecrESLPLUItem", kTodo},
    {1, "TVKSDKHecrUnitItem", kTodo, "TVKSDKHecrUnitItem", kTodo},
    {2, "TVKSDKHecrDepartmentItem", kTodo, "TVKSDKHecrDepartmentItem", kTodo},
    {3, "TVKSDKHecrHotKeyItem", kTodo, "TVKSDKHecrHotKeyItem", kTodo},
    {4, "TVKSDKHecrGroupItem", kTodo, "TVKSDKHecrGroupItem", kTodo},
    {5, "TVKSDKHecrDiscountItem", kTodo, "TVKSDKHecrDiscountItem", kTodo},
    {10, "TVKSDKHecrTareItem", kTodo, "TVKSDKHecrTareItem", kTodo},
    {12, "TVKSDKHecrNotesItem", kTodo, "TVKSDKHecrNotesItem", kTodo},
    {13, "TVKSDKHecrNotesItem", kTodo, "TVKSDKHecrNotesItem", kTodo},
    {14, "TVKSDKHecrNotesItem", kTodo, "TVKSDKHecrNotesItem", kTodo},
    {16, "TVKSDKHecrOptionsItem", kTodo, "TVKSDKHecrESLOptionsItem", kTodo},
    {17, "TVKSDKHecrCustomBarcodeItem", kTodo, "TVKSDKHecrCustomBarcodeItem", kTodo},
    {19, "TVKSDKHecrHeaderInfoItem", kTodo, "TVKSDKHecrHeaderInfoItem", kTodo},
    {20, "TVKSDKHecrFooterInfoItem", kTodo, "TVKSDKHecrFooterInfoItem", kTodo},
    {21, "TVKSDKHecrAdvertisementInfoItem", kTodo, "TVKSDKHecrAdvertisementInfoItem", kTodo},
    {24, "TVKSDKHecrLabelAdvertisementInfo", kTodo, "TVKSDKHecrLabelAdvertisementInfo", kTodo},
    {26, "TVKSDKHecrNutritionElementItem", kTodo, "TVKSDKHecrNutritionElementItem", kTodo},
    {27, "TVKSDKHecrNutritionInfoItem", kTodo, "TVKSDKHecrNutritionInfoItem", kTodo},
    {28, "TVKSDKHecrNotesItem", kTodo, "TVKSDKHecrNotesItem", kTodo},
    {32, "TVKSDKHecrLabelItem", kTodo, "TVKSDKHecrESLLabelItem", kTodo},
    {33, "TVKSDKHecrLabelItem", kTodo, "TVKSDKHecrESLLabelItem", kTodo},
    {34, "TVKSDKHecrLabelItem", kTodo, "TVKSDKHecrESLLabelItem", kTodo},
    {35, "TVKSDKHecrLabelItem", kTodo, "TVKSDKHecrESLLabelItem", kTodo},
    {37, "TVKSDKHecrTimeFixItem", kTodo, "TVKSDKHecrBindingInfoItem", kTodo},
    {38, nullptr, nullptr, "TVKSDKHecrUntiedInfoItem", kTodo},
    {39, "TVKSDKHecrShelfMapItem", kTodo, "TVKSDKHecrShelfMapItem", kTodo},
    {40, "TVKSDKHecrShelfPLUMapItem", kTodo, "TVKSDKHecrShelfPLUMapItem", kTodo},
    {41, "TVKSDKHecrESLFirmwareItem", kTodo, "TVKSDKHecrESLFirmwareItem", kTodo},
    {48, "TVKSDKHecrBSFirmwareItem", kTodo, "TVKSDKHecrBSFirmwareItem", kTodo},
    {49, "TVKSDKHecrHTFirmwareItem", kTodo, "TVKSDKHecrHTFirmwareItem", kTodo},
    {50, "TVKSDKHecrLabelItem", kTodo, "TVKSDKHecrESLLabelItem", kTodo},
    {51, "TVKSDKHecrJsonItem", kTodo, "TVKSDKHecrJsonItem", kTodo},
    {52, "TVKSDKHecrEventItem", kTodo, "TVKSDKHecrEventItem", kTodo},
    {53, "TVKSDKHecrESLLayerChangedItem", kTodo, "TVKSDKHecrESLLayerChangedItem", kTodo},
    {54, "TVKSDKHecrDemoCommandItem", kTodo, "TVKSDKHecrDemoCommandItem", kTodo},
    {55, "TVKSDKHecrPickingItem", kTodo, "TVKSDKHecrPickingItem", kTodo},
    {56, "TVKSDKHecrPickingFinishItem", kTodo, "TVKSDKHecrPickingFinishItem", kTodo},
    {57, "TVKSDKHecrPickingCancelItem", kTodo, "TVKSDKHecrPickingCancelItem", kTodo},
    {64, "TVKSDKHecrLearnItem", kTodo, "TVKSDKHecrLearnItem", kTodo},
    {65, "TVKSDKHecrLearnItem", kTodo, "TVKSDKHecrLearnItem", kTodo},
    {66, "TVKSDKHecrESLIndicatorItem", kTodo, "TVKSDKHecrESLIndicatorItem", kTodo},
    {70, "TVKSDKHecrESLLightItem", kTodo, "TVKSDKHecrESLLightItem", kTodo},
    {112, "TVKSDKHecrClerkItem", kTodo, "TVKSDKHecrClerkItem", kTodo},
    {113, "TVKSDKHecrSpeedCodeItem", kTodo, "TVKSDKHecrSpeedCodeItem", kTodo},
    {114, "TVKSDKHecrSaleRecordItem", kTodo, "TVKSDKHecrSaleRecordItem", kTodo},
    {115, "TVKSDKHecrHotSaleItem", kTodo, "TVKSDKHecrHotSaleItem", kTodo},
    {148, "TVKSDKHecrChangeProtocolItem", kTodo, "TVKSDKHecrChangeProtocolItem", kTodo},
    {149, "TVKSDKHecrWebServiceItem", kTodo, "TVKSDKHecrWebServiceItem", kTodo},
    {150, "TVKSDKHecrLogItem", kTodo, "TVKSDKHecrLogItem", kTodo},
    {151, "TVKSDKHecrCommandItem", kTodo, "TVKSDKHecrCommandItem", kTodo},
    {152, "TVKSDKHecrSMSItem", kTodo, "TVKSDKHecrSMSItem", kTodo},
    {153, "TVKSDKHecrRawDataItem", kTodo, "TVKSDKHecrRawDataItem", kTodo},
    {261, "TVKSDKHecrMessage1Item", kTodo, "TVKSDKHecrMessage1Item", kTodo},
    {263, "TVKSDKHecrSaleRecordItem", kTodo, "TVKSDKHecrSaleRecordItem", kTodo},
    {264, "TVKSDKHecrPLUReportItem", kTodo, "TVKSDKHecrPLUReportItem", kTodo},
    {265, "TVKSDKHecrGroupReportItem", kTodo, "TVKSDKHecrGroupReportItem", kTodo},
    {266, "TVKSDKHecrDepartmentReportItem", kTodo, "TVKSDKHecrDepartmentReportItem", kTodo},
    {288, "TVKSDKHecrTraceStatusItem", kTodo, "TVKSDKHecrTraceStatusItem", kTodo},
    {289, "TVKSDKHecrTraceMapItem", kTodo, "TVKSDKHecrTraceMapItem", kTodo},
    {290, "TVKSDKHecrTraceDataItem", kTodo, "TVKSDKHecrTraceDataItem", kTodo},
    {4101, "TVKSDKHecrImageItem", kTodo, "TVKSDKHecrImageItem", kTodo},
    {8193, "TVKSDKHecrTimeItem", kTodo, "TVKSDKHecrTimeItem", kTodo},
    {8194, "TVKSDKHecrFontItem", kTodo, "TVKSDKHecrFontItem", kTodo},
    {8195, "TVKSDKHecrFirmwareItem", kTodo, "TVKSDKHecrFirmwareItem", kTodo},
    {8196, "TVKSDKHecrParamItem", kTodo, "TVKSDKHecrParamItem", kTodo},
    {8197, "TVKSDKHecrParamItem", kTodo, "TVKSDKHecrParamItem", kTodo},
    {8198, "TVKSDKHecrParamItem", kTodo, "TVKSDKHecrParamItem", kTodo},
    {8199, "TVKSDKHecrTKPrnFirmwareItem", kTodo, "TVKSDKHecrTKPrnFirmwareItem", kTodo},
    {8200, "TVKSDKHecrTKFirmwareItem", kTodo, "TVKSDKHecrTKFirmwareItem", kTodo},
    {8201, "TVKSDKHecrADFirmwareItem", kTodo, "TVKSDKHecrADFirmwareItem", kTodo},
};

}  // namespace

const TVKSDKHecrItemClass* HecrItemClasses(size_t& Count) {
  Count = sizeof(kItemClasses) / sizeof(kItemClasses[0]);
  return kItemClasses;
}

TVKSDKHecrItemClassRef ItemClassOf(int32_t DataType, bool IsShelfSystem) {
  for (const auto& c : kItemClasses) {
    if (c.DataType != DataType) continue;
    return IsShelfSystem ? TVKSDKHecrItemClassRef{c.ShelfClassName, c.MakeShelf}
                         : TVKSDKHecrItemClassRef{c.ClassName, c.Make};
  }
  return {};
}

bool TVKSDKHecrUnsupportedItem::isHandled(TVKSDKUDPClientClass*) {
  WriteDebug("Data type not supported by this library.");
  DoProgress(VKSDK_ERR_UNSUPPORTED, 0, 0);
  return true;
}

}  // namespace vk
