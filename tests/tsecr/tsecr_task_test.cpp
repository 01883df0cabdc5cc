// TSecr tasks through the exported functions: a simulated scale answers the
// discovery (its block says TCP or HTTP and where its service listens), and
// a test server in its place takes the requests, keeps them and answers
// success, or failure for a chosen request.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_device.h"
#include "support/hecr_scale.h"
#include "support/link_server.h"
#include "support/loopback.h"
#include "support/progress.h"
#include "support/sdk_loader.h"
#include "support/sim_support.h"

namespace {

namespace fs = std::filesystem;
using namespace vemkasim;
using vk::test::LoopbackAddr;
using vktest::Call;
using vktest::Recorder;

std::string LE32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

uint32_t ReadLE32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])) << (8 * i);
  return v;
}

// One request as the scale received it.
struct Request {
  std::string head;  // HTTP head, or the 8-byte TCP frame head
  std::string body;
};

// A TSecr scale on its own loopback address: discovery from the simulated
// device, the service from a link server on the port the block names.
class TSecrScale {
 public:
  TSecrScale(bool tcp, int host, std::string reply = "")
      : tcp_(tcp), addr_(LoopbackAddr(host)), reply_(std::move(reply)) {
    server_ = std::make_unique<vktest::LinkServer>([this](vktest::LinkConnection& c, int) { Serve(c); }, addr_);
    TSecrInfo info;
    info.linkType = tcp ? 1 : 0;
    info.versionText = "3.0.2.16";
    dev_ = SimDevice::TSecr(addr_, info);
    dev_->SetServicePort(server_->Port());
    dev_->Start();
  }
  ~TSecrScale() {
    dev_->Stop();
    server_.reset();
  }

  // The request with this number (from 1) is answered with failure.
  void FailRequest(int n) { failAt_ = n; }

  std::vector<Request> Requests() const {
    std::vector<Request> out;
    const std::vector<std::string> kept = server_->Kept();
    for (size_t i = 0; i + 1 < kept.size(); i += 2) out.push_back({kept[i], kept[i + 1]});
    return out;
  }
  const std::string& Addr() const { return addr_; }

 private:
  void Serve(vktest::LinkConnection& conn) {
    for (;;) {
      std::string head, body;
      if (tcp_) {
        head = conn.Read(8);
        if (head.size() != 8) return;
        body = conn.Read(ReadLE32(head, 0));
      } else if (!vktest::ReadHttpRequest(conn, head, body)) {
        return;
      }
      conn.Keep(head);
      conn.Keep(body);
      const bool ok = ++served_ != failAt_;
      if (tcp_)
        conn.Write(LE32(static_cast<uint32_t>(reply_.size())) + LE32(ok ? 0 : 1) + reply_);
      else
        conn.Write(std::string("HTTP/1.1 200 OK\r\nWD_RETURN: ") + (ok ? "SUCCESS" : "FAILED") +
                   "\r\nContent-Length: " + std::to_string(reply_.size()) + "\r\n\r\n" + reply_);
    }
  }

  bool tcp_;
  std::string addr_;
  std::string reply_;
  std::atomic<int> served_{0};
  std::atomic<int> failAt_{0};
  std::unique_ptr<vktest::LinkServer> server_;
  std::unique_ptr<SimDevice> dev_;
};

using vktest::ReadFile;
using vktest::WriteFile;

uint32_t Exec(const TSecrScale& scale, uint32_t procType, int32_t dataType, const std::string& file,
              Recorder& r, uint32_t dataId = 0) {
  auto& sdk = vktest::LoadSdkDefault();
  return sdk.Sync_ExecTask(vktest::U16(scale.Addr()).c_str(), 5002, 3, procType | dataId << 8, dataType,
                           vktest::U16(file).c_str(), &Recorder::Cb, &r);
}

// The value of one header line of an HTTP head, empty when absent.
std::string Header(const std::string& head, const std::string& name) {
  const size_t at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "";
  const size_t from = at + name.size() + 4;
  return head.substr(from, head.find("\r\n", from) - from);
}

const std::string kUnits = "ID\tName\tDescription\r\n1\tkg\tkilogram\r\n";
const std::string kUnitSQL =
    "DELETE FROM UnitTb WHERE UnitId=1\r\nINSERT INTO UnitTb(UnitId,CUnit,Description) VALUES(1,'kg','kilogram')\r\n";

TEST(TSecrTask, UnitsDownloadOverHttpSendsOnePostWithTheStatements) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  TSecrScale scale(false, 2);
  Recorder r;
  EXPECT_EQ(Exec(scale, 0, 1, WriteFile("units.txt", kUnits).string(), r), 0u);
  const auto reqs = scale.Requests();
  ASSERT_EQ(reqs.size(), 1u);  // units have no clearing statement
  EXPECT_EQ(reqs[0].body, kUnitSQL);
  const std::string& head = reqs[0].head;
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST / HTTP/1.1");
  EXPECT_EQ(Header(head, "WD_CLASSNAME"), "SQLiteProc");
  EXPECT_EQ(Header(head, "WD_PROCTYPE"), "99");
  EXPECT_EQ(Header(head, "WD_TASKTYPE"), "1");
  EXPECT_EQ(Header(head, "Content-Length"), std::to_string(kUnitSQL.size()));
  EXPECT_EQ(r.Calls(), (std::vector<Call>{{1, 1, 1}, {0, 1, 1}}));
}

TEST(TSecrTask, UnitsDownloadOverTcpSendsOneFrame) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  TSecrScale scale(true, 3);
  Recorder r;
  EXPECT_EQ(Exec(scale, 0, 1, WriteFile("units.txt", kUnits).string(), r), 0u);
  const auto reqs = scale.Requests();
  ASSERT_EQ(reqs.size(), 1u);
  // Length, ProcType 0 and data type 1 as little-endian 32-, 16- and 16-bit values.
  EXPECT_EQ(reqs[0].head, LE32(static_cast<uint32_t>(kUnitSQL.size())) + std::string("\0\0\1\0", 4));
  EXPECT_EQ(reqs[0].body, kUnitSQL);
  EXPECT_EQ(r.Last(), (Call{0, 1, 1}));
}

std::string UnitRows(int n) {
  std::string text = "ID\tName\r\n";
  for (int i = 1; i <= n; ++i) text += std::to_string(i) + "\tu" + std::to_string(i) + "\r\n";
  return text;
}

// Departments are cleared first (kind 16), then 250 rows go as 100, 100
// and 50; a failing batch reports how far the task got.
TEST(TSecrTask, RowsGoInBatchesOfAHundredAndAFailedBatchStopsTheTask) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  const fs::path file = WriteFile("departments.txt", UnitRows(250));
  struct Case {
    int failAt;  // request number answered with failure, 0 none
    size_t requests;
    std::vector<Call> calls;
  } cases[] = {
      {0, 4, {{1, 100, 250}, {1, 200, 250}, {1, 250, 250}, {0, 250, 250}}},
      {3, 3, {{1, 100, 250}, {266, 200, 250}}},
      {1, 1, {{266, 0, 1}}},  // the clearing statement
  };
  int host = 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    TSecrScale scale(false, host++);
    scale.FailRequest(c.failAt);
    Recorder r;
    EXPECT_EQ(Exec(scale, 0, 2, file.string(), r), c.calls.back().code);
    EXPECT_EQ(r.Calls(), c.calls);
    const auto reqs = scale.Requests();
    ASSERT_EQ(reqs.size(), c.requests);
    EXPECT_EQ(reqs[0].body, "delete from TypeGroupTb ");
    EXPECT_EQ(Header(reqs[0].head, "WD_PROCTYPE"), "98");
    EXPECT_EQ(Header(reqs[0].head, "WD_TASKTYPE"), "2");
    const size_t rows[] = {100, 100, 50};
    for (size_t i = 1; i < reqs.size(); ++i) {
      const std::string& body = reqs[i].body;
      size_t inserts = 0;
      for (size_t at = body.find("INSERT INTO"); at != std::string::npos; at = body.find("INSERT INTO", at + 1))
        ++inserts;
      EXPECT_EQ(inserts, rows[i - 1]) << i;
      EXPECT_EQ(Header(reqs[i].head, "WD_PROCTYPE"), "99");
    }
  }
}

// Deleting with "*" clears every table of the data type in one request; a
// clear (ProcType 6) sends one empty request. Hotkeys (105) go as 3.
TEST(TSecrTask, DeleteAllAndTheHotkeyDataType) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    uint32_t procType;
    int32_t dataType;
    std::string taskType, body;
  } cases[] = {
      {3, 5, "196613", "Delete From DiscountGroupTb\r\nDelete From DiscountScheduleTb\r\n"},
      {3, 105, "196611", "Delete From CurCommTb_Relation\r\n"},
      {6, 1, "393217", ""},
  };
  int host = 8;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataType);
    TSecrScale scale(false, host++);
    Recorder r;
    EXPECT_EQ(Exec(scale, c.procType, c.dataType, "*", r), 0u);
    EXPECT_EQ(r.Calls(), (std::vector<Call>{{1, 1, 1}, {0, 1, 1}}));
    const auto reqs = scale.Requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(Header(reqs[0].head, "WD_TASKTYPE"), c.taskType);
    EXPECT_EQ(reqs[0].body, c.body);
  }
}

TEST(TSecrTask, HotkeyDownloadGoesOnTheWireAsDataType3) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  TSecrScale scale(true, 11);
  Recorder r;
  const fs::path file = WriteFile("hotkeys.txt", "PLUID\tHotKey\r\n7\t1\r\n");
  EXPECT_EQ(Exec(scale, 0, 105, file.string(), r), 0u);
  const auto reqs = scale.Requests();
  ASSERT_FALSE(reqs.empty());
  for (const Request& q : reqs) EXPECT_EQ(q.head.substr(4), std::string("\0\0\3\0", 4));
}

// Refusals happen before anything is sent.
TEST(TSecrTask, RefusedTasksSendNothing) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  const fs::path units = WriteFile("units.txt", kUnits);
  struct Case {
    const char* what;
    uint32_t procType;
    int32_t dataType;
    std::string file;
    uint32_t code;
  } cases[] = {
      {"no slot for ProcType 5", 5, 1, units.string(), 260},
      {"not a TSecr data type", 0, 50, units.string(), 261},
      {"a clear with a file of rows", 6, 1, units.string(), 260},
      {"an update of a file", 2, 4096, units.string(), 260},
      {"nutrition information has no table", 0, 27, units.string(), 261},
  };
  int host = 12;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TSecrScale scale(false, host++);
    Recorder r;
    EXPECT_EQ(Exec(scale, c.procType, c.dataType, c.file, r), c.code);
    EXPECT_EQ(r.Last().code, c.code);
    EXPECT_TRUE(scale.Requests().empty());
  }
}

// A label table is stored under its number with its sixth field set to it.
TEST(TSecrTask, FileStoreSendsTheFileIntoItsFolder) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  struct Case {
    int32_t dataType;
    uint32_t dataId;
    std::string local, content, name, folder, sent;
  } cases[] = {
      {32, 4, "price.lf", "label bytes", "5.lf", "Label", "label bytes"},
      {34, 2, "price.tbl", "a,b,c,d,e,f,\r\nx,y\r\n", "3.tbl", "Label", "a,b,c,d,e,2,\r\nx,y\r\n"},
      {34, 2, "short.tbl", "a,b,c;\r\n", "3.tbl", "Label", "a,b,c,\r\n"},
      {152, 0, "anything.bin", "sms", "sms.bin", "File", "sms"},
      {4096, 0, "logo.bmp", "BM", "logo.bmp", "Image", "BM"},
  };
  int host = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.local);
    TSecrScale scale(false, host++);
    Recorder r;
    EXPECT_EQ(Exec(scale, 0, c.dataType, WriteFile(c.local, c.content).string(), r, c.dataId), 0u);
    const auto reqs = scale.Requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(Header(reqs[0].head, "WD_CLASSNAME"), "FileProc");
    EXPECT_EQ(Header(reqs[0].head, "WD_PROCTYPE"), "COVER");
    EXPECT_EQ(Header(reqs[0].head, "WD_DIRNAME"), c.folder);
    EXPECT_EQ(Header(reqs[0].head, "WD_FILENAME"), c.name);
    EXPECT_EQ(reqs[0].body, c.sent);
    EXPECT_EQ(r.Calls().front(), (Call{1, 0, static_cast<uint32_t>(c.sent.size())}));
    EXPECT_EQ(r.Last(), (Call{0, static_cast<uint32_t>(c.sent.size()), static_cast<uint32_t>(c.sent.size())}));
  }
}

// A listing and a delete name the folder; the listing is written to the
// output file as the scale sent it.
TEST(TSecrTask, FileListAndDelete) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  {
    TSecrScale scale(false, 30, "a.bmp\r\nb.bmp\r\n");
    Recorder r;
    const fs::path out = vktest::TempDir() / "list.txt";
    EXPECT_EQ(Exec(scale, 4, 4096, out.string(), r), 0u);
    const auto reqs = scale.Requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(Header(reqs[0].head, "WD_PROCTYPE"), "LIST");
    EXPECT_EQ(Header(reqs[0].head, "WD_DIRNAME"), "Image");
    EXPECT_EQ(Header(reqs[0].head, "WD_TASKTYPE"), std::to_string(4 * 65536 + 4096));
    EXPECT_EQ(ReadFile(out), "a.bmp\r\nb.bmp\r\n");
    EXPECT_EQ(r.Last(), (Call{0, 1, 1}));
  }
  {
    TSecrScale scale(false, 31);
    Recorder r;
    // The local file need not exist: it only names the file on the scale.
    EXPECT_EQ(Exec(scale, 3, 4096, "D:\\img\\logo.bmp", r), 0u);
    const auto reqs = scale.Requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(Header(reqs[0].head, "WD_PROCTYPE"), "DELETE");
    EXPECT_EQ(Header(reqs[0].head, "WD_DIRNAME"), "Image");
    EXPECT_EQ(Header(reqs[0].head, "WD_FILENAME"), "logo.bmp");
    EXPECT_EQ(r.Calls(), (std::vector<Call>{{1, 0, 1}, {1, 1, 1}, {0, 1, 1}}));
  }
}

}  // namespace
