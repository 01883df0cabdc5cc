#include "runtime/sysparams.h"

#include <gtest/gtest.h>

#include "runtime/platform.h"
#include "runtime_test_support.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

TEST(SysParams, MissingFileGivesDefaultsAndCreatesTheLibraryLogDirectory) {
  test::TempDir dir;
  test::SetEnv("VEMKASDK_INI", (dir / "absent.ini").string());
  const auto& p = SysParams();  // loads lazily
  EXPECT_EQ(p.ParamFile, dir / "absent.ini");
  EXPECT_FALSE(p.ParamFileExists);
  EXPECT_EQ(p.SyncTimeOut, 3000);
  EXPECT_EQ(p.SyncTryCount, 5);
  EXPECT_EQ(p.GetDeviceTimeOut, 3000);
  EXPECT_EQ(p.GetDeviceTryCount, 3);
  EXPECT_EQ(p.ClearDataTimeOut, 20000);
  EXPECT_EQ(p.ClearDataTryCount, 3);
  EXPECT_EQ(p.UpdateFirmwareTimeOut, 10000);
  EXPECT_EQ(p.UpdateFirmwareTryCount, 10);
  EXPECT_TRUE(p.OutputDebug);
  EXPECT_EQ(p.OutputLog, 2);
  EXPECT_EQ(p.DebugDays, 7);
  EXPECT_TRUE(p.ClearHotkey4TS && p.ClearGroup4TS && p.TrimPLUID4TS && p.TrimPLUCode4TS && p.AutoSyncTime);
  EXPECT_FALSE(p.ExpandName1 || p.Minus2Delete || p.WeightUseg || p.SaleRecordUseg || p.DetectProtocol);
  EXPECT_TRUE(p.Customer.empty() && p.OldM3Mode.empty() && p.ForceBarcode1.empty());
#ifdef _WIN32
  EXPECT_EQ(p.AnsiCodePage, syscp::DefaultAnsiCodePage());  // the system's ANSI code page
#else
  EXPECT_EQ(p.AnsiCodePage, 65001u);
#endif
  EXPECT_EQ(p.KM40ACP, 0);
  const fs::path logDir = platform::LibraryPath().parent_path() / "vemkasdk_log";
  EXPECT_EQ(fs::path(p.DebugDir), logDir);
  EXPECT_TRUE(fs::is_directory(logDir));
}

TEST(SysParams, WithoutOverrideTheIniSitsBesideTheLibrary) {
  test::SetEnv("VEMKASDK_INI", "");
  ASSERT_EQ(LoadSysParams(), 0);
  fs::path want = platform::LibraryPath();
  want.replace_extension(".ini");
  EXPECT_EQ(SysParams().ParamFile, want);
}

TEST(SysParams, ReadsEveryKey) {
  test::TempDir dir;
  const std::string debugDir = (dir / "deep" / "logs").string();
  test::LoadIni(dir,
                "[System]\n"
                "SyncTimeOut=1001\nSyncTryCount=2\nGetDeviceTimeOut=fast\nGetDeviceTryCount=4\n"
                "ClearDataTimeOut=1003\nClearDataTryCount=5\nUpdateFirmwareTimeOut=1004\n"
                "UpdateFirmwareTryCount=6\nOutputDebug=0\nOutputLog=1\nDebugDays=30\n"
                "DebugDir=" + debugDir + "\nOldM3Mode=2\nAnsiCodePage=936\n"
                "[Function]\n"
                "ExpandName1=1\nForceBarcode1=b1\nMinus2Delete=5\nForceFlag1=f1\nForceFlag2=f2\nForceFlag3=f3\n"
                "ForceProducedDateRule=r\nForceFreshnessDateFrom=fr\nForceValidDateFrom=va\n"
                "ForcePackageDateFrom=pa\nClearHotkey4TS=0\nClearGroup4TS=0\nTrimPLUID4TS=0\n"
                "TrimPLUCode4TS=0\nAutoSyncTime=0\nCustomer=abc\nWeightUseg=1\nSaleRecordUseg=1\n"
                "DetectProtocol=1\n");
  const auto& p = SysParams();
  EXPECT_TRUE(p.ParamFileExists);
  EXPECT_EQ(p.ParamFile, dir / "params.ini");
  EXPECT_EQ(p.SyncTimeOut, 1001);
  EXPECT_EQ(p.SyncTryCount, 2);
  EXPECT_EQ(p.GetDeviceTimeOut, 3000);  // "fast" is no number
  EXPECT_EQ(p.GetDeviceTryCount, 4);
  EXPECT_EQ(p.ClearDataTimeOut, 1003);
  EXPECT_EQ(p.ClearDataTryCount, 5);
  EXPECT_EQ(p.UpdateFirmwareTimeOut, 1004);
  EXPECT_EQ(p.UpdateFirmwareTryCount, 6);
  EXPECT_FALSE(p.OutputDebug);
  EXPECT_EQ(p.OutputLog, 1);
  EXPECT_EQ(p.DebugDays, 30);
  EXPECT_EQ(fs::path(p.DebugDir), fs::path(debugDir));
  EXPECT_TRUE(fs::is_directory(debugDir));  // created with its parents because OutputLog > 0
  EXPECT_EQ(p.OldM3Mode, u"2");
  EXPECT_EQ(p.AnsiCodePage, 936u);
  EXPECT_TRUE(p.ExpandName1 && p.Minus2Delete && p.WeightUseg && p.SaleRecordUseg && p.DetectProtocol);
  EXPECT_FALSE(p.ClearHotkey4TS || p.ClearGroup4TS || p.TrimPLUID4TS || p.TrimPLUCode4TS || p.AutoSyncTime);
  EXPECT_EQ(p.ForceBarcode1, u"b1");
  EXPECT_EQ(p.ForceFlag1, u"f1");
  EXPECT_EQ(p.ForceFlag2, u"f2");
  EXPECT_EQ(p.ForceFlag3, u"f3");
  EXPECT_EQ(p.ForceProducedDateRule, u"r");
  EXPECT_EQ(p.ForceFreshnessDateFrom, u"fr");
  EXPECT_EQ(p.ForceValidDateFrom, u"va");
  EXPECT_EQ(p.ForcePackageDateFrom, u"pa");
  EXPECT_EQ(p.Customer, u"ABC");
  EXPECT_EQ(p.KM40ACP, 0);
}

TEST(SysParams, DebugDirIsNotCreatedWhenBothOutputsAreOff) {
  test::TempDir dir;
  const fs::path debugDir = dir / "never";
  test::LoadIni(dir, "[System]\nOutputDebug=0\nOutputLog=0\nDebugDir=" + debugDir.string() + "\n");
  EXPECT_FALSE(fs::exists(debugDir));
}

TEST(SysParams, ExplicitMissingFileChangesNothing) {
  test::TempDir dir;
  test::LoadIni(dir, "[System]\nSyncTimeOut=1234\n");
  EXPECT_EQ(LoadSysParams(dir / "nope.ini"), -1);
  EXPECT_EQ(SysParams().SyncTimeOut, 1234);
  EXPECT_EQ(SysParams().ParamFile, dir / "params.ini");
}

TEST(SysParams, EnvironmentOverrideIsReadOnFirstUse) {
  test::TempDir dir;
  test::WriteFile(dir / "env.ini", "[system]\nsynctrycount=9\n[Function]\nCustomer=  mixed Case  \n");
  test::SetEnv("VEMKASDK_INI", (dir / "env.ini").string());
  EXPECT_EQ(SysParams().SyncTryCount, 9);
  EXPECT_EQ(SysParams().Customer, u"MIXED CASE");
  EXPECT_TRUE(SysParams().ParamFileExists);
}

}  // namespace
}  // namespace vk
