// The request/reply patterns the table items share, driven directly the
// way the engine drives them: whole-table downloads in packages, uploads
// that decode every record of a reply, one-frame deletes, and operations an
// item does not have.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "data/sysdata.h"
#include "hecr/hecr_item.h"
#include "hecr/hecr_table_item.h"
#include "hecr/hecr_protocol.h"
#include "sim/sim_wire.h"
#include "support/progress.h"
#include "support/sdk_loader.h"

namespace {

namespace fs = std::filesystem;
using vk::TVKSDKHecrRecvCheck;

constexpr vk::TVKSDKRAMFieldInfo kFields[] = {
    vk::FieldInfo(u"ID", 0, &vk::TVKSysData::SetBCD, &vk::TVKSysData::GetBCD, 2),
    vk::FieldInfo(u"Name", 2, &vk::TVKSysData::SetASC, &vk::TVKSysData::GetASC, 7),
    vk::FieldInfo(u"Qty", 9, &vk::TVKSysData::SetBIN, &vk::TVKSysData::GetBIN, 1),
};
// Ten-byte records, three to a package, at most five, placed by ID.
constexpr vk::TVKSDKRAMDefineInfo kDef{kFields, 3, 10, 30, u"ID", 5};
constexpr uint16_t kDown = 0x9823, kUp = 0x6022, kDel = 0x9824;

// The commands of the test's table, as a data-type row gives them.
constexpr vk::TVKDataTypeRow kRow{ptHecr, 1, "TableItem", "TableItem", {kDown, kUp, kDel}};

using vktest::Call;

// A task that is never started: the items only need its parameters, its
// lock and its progress reports.
struct Harness {
  std::vector<Call> calls;
  std::unique_ptr<vk::TVKSDKHecrProtocol> task;
  std::unique_ptr<vk::TVKSDKHecrCustomItem> item;

  static void VEMKA_CALL Cb(uint32_t code, uint32_t index, uint32_t total, void* user) {
    static_cast<Harness*>(user)->calls.push_back({code, index, total});
  }
  Harness(uint8_t procType, const fs::path& file, bool forWriting) {
    vk::TVKTaskCreateArgs a;
    a.ProcType = procType;
    a.DataType = 1;
    a.FileName = file.u16string();
    a.Addr = u"127.0.0.1";
    a.Port = 5002;
    a.OnProgress = &Cb;
    a.UserData = this;
    task = std::make_unique<vk::TVKSDKHecrProtocol>(a);
    auto& p = *task->GetPExecParams();
    p.Row = &kRow;
    if (!file.empty()) p.FileStream = forWriting ? vk::TVKFileStream::Create(file) : vk::TVKFileStream::OpenRead(file);
    item = vk::MakeHecrItem<vk::TVKSDKHecrTableItem>(task.get(), kDef);
  }
};

vemkasim::Bytes Ack(uint16_t param) { return vemkasim::BuildHecr(0x800E, param, {}); }

TEST(HecrItemPatterns, WholeTableGoesDownInPackagesPlacedById) {
  fs::path file = vktest::TempDir() / "t.txt";
  std::ofstream(file, std::ios::binary) << "ID\tName\r\n2\tB\r\n1\tA\r\n9\tZ\r\n";
  Harness h(0, file, false);
  auto& item = *h.item;
  EXPECT_EQ(item.Total(), 5);

  vk::TVKBytes frame;
  ASSERT_TRUE(item.GetSendData(0, frame));
  auto f = vemkasim::ParseHecr(frame);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->cmd, kDown);
  EXPECT_EQ(f->param, 0);
  // IDs 1 and 2 in their places, the third record empty; 9 is beyond the table.
  EXPECT_EQ(vemkasim::Hex(f->data), "00 01 41 00 00 00 00 00 00 00 00 02 42 00 00 00 00 00 00 00 "
                                    "00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(item.SetRecvData(0, Ack(0)), vk::rcContinue);
  ASSERT_TRUE(item.GetSendData(1, frame));
  EXPECT_EQ(vemkasim::ParseHecr(frame)->data.size(), 20u);  // the short last package
  EXPECT_EQ(item.SetRecvData(1, Ack(1)), vk::rcContinue);
  EXPECT_FALSE(item.GetSendData(2, frame));
  EXPECT_EQ(h.calls, (std::vector<Call>{{1, 3, 5}, {1, 5, 5}, {0, 5, 5}}));

  // Anything but an acknowledgement ends the transfer with 266.
  Harness h2(0, file, false);
  ASSERT_TRUE(h2.item->GetSendData(0, frame));
  EXPECT_EQ(h2.item->SetRecvData(0, vemkasim::BuildHecr(0x9823, 0, {})), vk::rcStop);
  EXPECT_EQ(h2.calls.back().code, 266u);
}

// A late copy of the answer to an earlier package (its Param) is not this
// package's answer, in both directions; the right one still moves on.
TEST(HecrItemPatterns, AnswersForEarlierPackagesAreNotTaken) {
  fs::path in = vktest::TempDir() / "t.txt";
  std::ofstream(in, std::ios::binary) << "ID\tName\r\n1\tA\r\n4\tD\r\n";
  Harness down(0, in, false);
  vk::TVKBytes frame;
  ASSERT_TRUE(down.item->GetSendData(0, frame));
  EXPECT_EQ(down.item->SetRecvData(0, Ack(0)), vk::rcContinue);
  ASSERT_TRUE(down.item->GetSendData(1, frame));
  EXPECT_EQ(down.item->SetRecvData(1, Ack(0)), vk::rcRetry);
  EXPECT_EQ(down.item->SetRecvData(1, Ack(1)), vk::rcContinue);

  fs::path out = vktest::TempDir() / "up.txt";
  {
    Harness up(1, out, true);
    const vemkasim::Bytes rec = {0x00, 0x07, 'G', 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(up.item->GetSendData(0, frame));
    EXPECT_EQ(up.item->SetRecvData(0, vemkasim::BuildHecr(kUp, 0, rec)), vk::rcContinue);
    ASSERT_TRUE(up.item->GetSendData(1, frame));
    EXPECT_EQ(up.item->SetRecvData(1, vemkasim::BuildHecr(kUp, 0, rec)), vk::rcRetry);
    EXPECT_EQ(up.calls, (std::vector<Call>{{1, 1, 5}}));
  }
  std::ifstream f(out, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_EQ(ss.str(), "ID\tName\tQty\r\n7\tG\t0\r\n");
}

TEST(HecrItemPatterns, WholeTableRefusesACellItCannotEncode) {
  fs::path file = vktest::TempDir() / "t.txt";
  std::ofstream(file, std::ios::binary) << "ID\tName\tQty\r\n1\tA\t1\r\n2\tB\t300\r\n";  // 300 in one byte
  Harness h(0, file, false);
  vk::TVKBytes frame;
  EXPECT_FALSE(h.item->GetSendData(0, frame));
  ASSERT_EQ(h.calls.size(), 1u);
  EXPECT_EQ(h.calls[0].code, 267u);
  EXPECT_EQ(h.calls[0].index, 2u);
}

TEST(HecrItemPatterns, UploadDecodesEveryRecordThatArrived) {
  fs::path file = vktest::TempDir() / "up.txt";
  {
    Harness h(1, file, true);
    auto& item = *h.item;
    vk::TVKBytes frame;
    ASSERT_TRUE(item.GetSendData(0, frame));
    EXPECT_EQ(vemkasim::ParseHecr(frame)->cmd, kUp);
    vemkasim::Bytes recs = {0x00, 0x07, 'G', 0, 0, 0, 0, 0, 0, 0,  //
                            0x00, 0x08, 'H', 0, 0, 0, 0, 0, 0, 0,  //
                            0x00, 0x09, 'I', 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(item.SetRecvData(0, vemkasim::BuildHecr(kUp, 0, recs)), vk::rcContinue);
    // A reply whose DataLen claims three records but that carries two.
    vemkasim::Bytes cut = vemkasim::BuildHecr(kUp, 1, recs);
    cut.erase(cut.begin() + 13 + 20, cut.end() - 2);
    ASSERT_TRUE(item.GetSendData(1, frame));
    EXPECT_EQ(item.SetRecvData(1, cut), vk::rcStop);
    EXPECT_EQ(h.calls, (std::vector<Call>{{1, 3, 5}, {1, 5, 5}, {0, 5, 5}}));
  }
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "ID\tName\tQty\r\n7\tG\t0\r\n8\tH\t0\r\n9\tI\t0\r\n7\tG\t0\r\n8\tH\t0\r\n");

  // A reply of another command, or one without a record, ends with 266.
  for (const auto& reply : {vemkasim::BuildHecr(0x6023, 0, vemkasim::Bytes(10, 0)), vemkasim::BuildHecr(kUp, 0, {})}) {
    Harness h(1, vktest::TempDir() / "up2.txt", true);
    vk::TVKBytes frame;
    ASSERT_TRUE(h.item->GetSendData(0, frame));
    EXPECT_EQ(h.item->SetRecvData(0, reply), vk::rcStop);
    EXPECT_EQ(h.calls.back().code, 266u);
  }
}

TEST(HecrItemPatterns, DeleteIsOneAcknowledgedFrame) {
  Harness h(3, {}, false);
  vk::TVKBytes frame;
  ASSERT_TRUE(h.item->GetSendData(0, frame));
  EXPECT_EQ(vemkasim::Hex(frame), vemkasim::Hex(vemkasim::BuildHecr(kDel, 0, {})));
  EXPECT_EQ(h.item->SetRecvData(0, Ack(0)), vk::rcStop);
  EXPECT_EQ(h.calls, (std::vector<Call>{{1, 1, 1}, {0, 1, 1}}));

  Harness wrong(3, {}, false);
  EXPECT_EQ(wrong.item->SetRecvData(0, Ack(4)), vk::rcStop);
  EXPECT_EQ(wrong.calls, (std::vector<Call>{{266, 1, 1}}));
}

// Index 65536 is Param 0 on the wire, and its acknowledgement matches.
TEST(HecrItemPatterns, ParamIsTheLow16BitsOfTheIndex) {
  EXPECT_TRUE(vk::ParamMatches(0, 65536));
  EXPECT_TRUE(vk::ParamMatches(4464, 70000));
  EXPECT_FALSE(vk::ParamMatches(4463, 70000));
  EXPECT_EQ(vk::ParamOf(70000), 4464);
}

TEST(HecrItemPatterns, MissingOperationsReport261Once) {
  Harness h(4, {}, false);  // list: the item has none
  ASSERT_TRUE(h.item->HasOperation());
  vk::TVKBytes frame;
  EXPECT_FALSE(h.item->GetSendData(0, frame));
  EXPECT_EQ(h.item->SetRecvData(0, Ack(0)), vk::rcStop);
  EXPECT_EQ(h.calls, (std::vector<Call>{{261, 0, 0}}));
  Harness none(5, {}, false);
  EXPECT_FALSE(none.item->HasOperation());
}

}  // namespace
