// The hotkey table (data type 3) to and from a simulated scale: events
// first, then buttons, in the plain and the touch layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hecr/hecr_protocol.h"
#include "hecr/items/hotkey_item.h"
#include "support/hecr_scale.h"
#include "support/sim_support.h"
#include "tasks/data_types.h"

namespace {

using namespace vktest;
namespace fs = std::filesystem;
using vemkasim::Bytes;
using vemkasim::Hex;

constexpr int32_t kHotKeys = 3;
constexpr uint16_t kEventDown = 0x9813, kPlainDown = 0x9812, kTouchDown = 0x9884;
constexpr uint16_t kPlainUp = 0x6013, kTouchUp = 0x6079;

vemkasim::HecrInfo Info(uint16_t hotkeys, uint8_t touch = 0, uint8_t lfCodeLen = 0) {
  vemkasim::HecrInfo info;
  info.hotkeyCount = hotkeys;
  info.touch = touch;
  info.lfCodeLen = lfCodeLen;
  return info;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Zeros(size_t n) { return Bytes(n, 0); }

// The commands the scale received, in order, without discovery and clock.
std::vector<uint16_t> TableCommands(HecrScale& scale) {
  std::vector<uint16_t> out;
  for (const auto& d : scale.Device().Log().Of(vemkasim::Direction::Received))
    if (auto f = vemkasim::ParseHecr(d.bytes); f && f->cmd != 0x7103 && f->cmd != 0x7003) out.push_back(f->cmd);
  return out;
}

// Buttons 101, -5, 102 on an 8-button plain scale: one event package with
// the event 5, button 2 holds event 0 with the marker AA, and the upload
// (events, then buttons, both with 6013) gives -5 back.
TEST(HecrHotKey, PlainLayoutSendsEventsBeforeButtonsAndReadsThemBack) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale(Info(8));
  fs::path down = WriteFile("hk.txt", "ButtonIndex\tButtonValue\r\n1\t101\r\n2\t-5\r\n3\t102\r\n5\t-300\r\n");
  Recorder r;
  ASSERT_EQ(scale.Exec(sdk, 0, kHotKeys, down, &r), 0u);
  EXPECT_EQ(TableCommands(scale), (std::vector<uint16_t>{kEventDown, kPlainDown}));
  EXPECT_EQ(Hex(scale.Frames(kEventDown)[0].data),
            Hex(Cat({{0x05}, Zeros(31), {0x2C, 0x00, 0x01}, Zeros(29)})));  // 300 = 1 x 256 + 44
  EXPECT_EQ(Hex(scale.Tables().Area(kHotKeys)),
            Hex(Cat({{0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x00, 0x01, 0x02, 0x00}, Zeros(4),
                     {0x00, 0x01, 0x00, 0xAA}, Zeros(12)})));
  EXPECT_EQ(r.calls.back(), (Call{0, 8, 8}));

  scale.Device().Log().Clear();
  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kHotKeys, up, &r), 0u);
  EXPECT_EQ(r.calls.back(), (Call{0, 8, 8}));
  // Event package 0, then the empty event package 1, then button package 0.
  auto asked = scale.Frames(kPlainUp);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[1].param, 1);
  EXPECT_EQ(asked[2].param, 0);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"ButtonIndex", "ButtonValue"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "101"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"2", "-5"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"3", "102"}));
  EXPECT_EQ(rows[4], (std::vector<std::string>{"4", "0"}));
  EXPECT_EQ(rows[5], (std::vector<std::string>{"5", "-300"}));
}

// Touch layout (TouchFlag 2): 64-byte buttons with caption and colours in
// packages of 1024 bytes, sent with 9884 and read with 6079; a CR in a
// caption is stored as CR and uploaded escaped again.
TEST(HecrHotKey, TouchLayoutCarriesNamesAndColours) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale(Info(20, 2));
  fs::path down = WriteFile("hk.txt",
                            "ButtonIndex\tButtonValue\tPLUName\tBackgroundColor\tFontColor\r\n"
                            "1\t12345678\tApple{$0D}Red\t255\t-1\r\n20\t-7\tTare\t0\t65280\r\n");
  Recorder r;
  ASSERT_EQ(scale.Exec(sdk, 0, kHotKeys, down, &r), 0u);
  EXPECT_EQ(TableCommands(scale), (std::vector<uint16_t>{kEventDown, kTouchDown, kTouchDown}));
  auto packages = scale.Frames(kTouchDown);
  EXPECT_EQ(packages[0].data.size(), 1024u);
  EXPECT_EQ(packages[1].data.size(), 256u);
  const Bytes area = scale.Tables().Area(kHotKeys);
  ASSERT_EQ(area.size(), 20u * 64);
  EXPECT_EQ(Hex(Bytes(area.begin(), area.begin() + 42)),
            Hex(Cat({{0x12, 0x34, 0x56, 0x78, 'A', 'p', 'p', 'l', 'e', 0x0D, 'R', 'e', 'd'}, Zeros(21),
                     {0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}})));
  EXPECT_EQ(Hex(Bytes(area.begin() + 19 * 64, area.begin() + 19 * 64 + 8)), "00 00 00 AA 54 61 72 65");

  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kHotKeys, up, &r), 0u);
  EXPECT_EQ(r.calls.back(), (Call{0, 20, 20}));
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 21u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "12345678", "Apple{$0D}Red", "255", "-1"}));
  EXPECT_EQ(rows[20], (std::vector<std::string>{"20", "-7", "Tare", "0", "65280"}));
  EXPECT_EQ(scale.Frames(kTouchUp).size(), 2u);
}

// The button value has four BCD bytes on scales with 8-digit PLU numbers,
// three elsewhere (where a larger number fails its row with 267).
TEST(HecrHotKey, PlainButtonValueWidthFollowsTheLabelCodeLength) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  fs::path down = WriteFile("hk.txt", "ButtonIndex\tButtonValue\r\n2\t12345678\r\n");
  {
    HecrScale scale(Info(4, 0, 8));
    ASSERT_EQ(scale.Exec(sdk, 0, kHotKeys, down), 0u);
    EXPECT_EQ(Hex(scale.Tables().Area(kHotKeys)), Hex(Cat({Zeros(4), {0x12, 0x34, 0x56, 0x78}, Zeros(8)})));
  }
  HecrScale scale(Info(4, 0, 6), 3);
  Recorder r;
  EXPECT_EQ(scale.Exec(sdk, 0, kHotKeys, down, &r), 267u);
  EXPECT_EQ(r.Last().index, 2u);
  EXPECT_TRUE(scale.Frames(kPlainDown).empty());
}

// What the table refuses or cannot finish, each with its code.
TEST(HecrHotKey, FaultsEndWithTheirCode) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale(Info(8));
  // Without a ButtonValue column every button would be cleared.
  Recorder r;
  EXPECT_EQ(scale.Exec(sdk, 0, kHotKeys, WriteFile("hk.txt", "ButtonIndex\tName\r\n1\tA\r\n"), &r), 265u);
  EXPECT_TRUE(TableCommands(scale).empty());
  // Only the whole table can go; there is no delete.
  EXPECT_EQ(scale.Exec(sdk, 3, kHotKeys, "*"), 261u);
  EXPECT_EQ(scale.Exec(sdk, 3, kHotKeys, WriteFile("del.txt", "ButtonIndex\r\n1\r\n")), 261u);

  // A button reply without a record ends the upload with 266 (the empty
  // event reply before it is the normal end of the events).
  scale.Tables().SetEvents(kHotKeys, Cat({{0x05}, Zeros(31)}));
  vemkasim::HecrCommandFaults empty;
  empty.after = 2;
  empty.emptyData = -1;
  scale.Tables().SetFaults(kPlainUp, empty);
  EXPECT_EQ(scale.Exec(sdk, 1, kHotKeys, vktest::TempDir() / "up.txt"), 266u);
  EXPECT_EQ(scale.Tables().RequestsSeen(kPlainUp), 3);
}

// A button that points past the events the scale sent uploads as an empty
// cell; the others are unaffected.
TEST(HecrHotKey, EventReferenceBeyondTheEventsIsAnEmptyCell) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale(Info(4));
  scale.Tables().SetEvents(kHotKeys, Cat({{0x09}, Zeros(31)}));
  scale.Tables().SetArea(kHotKeys, {0x00, 0x00, 0x00, 0xAA, 0x00, 0xC8, 0x00, 0xAA, 0x00, 0x00, 0x42, 0x00,
                                    0x00, 0x01, 0x00, 0xAA});
  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kHotKeys, up), 0u);
  auto rows = ReadTable(up);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "-9"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"2", ""}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"3", "42"}));
  EXPECT_EQ(rows[4], (std::vector<std::string>{"4", ""}));
}

// When every button is an event the event phase ends with the last event
// package, without an empty reply (the scale then serves buttons at once).
TEST(HecrHotKey, EveryButtonAnEvent) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  auto& sdk = vktest::LoadSdkDefault();
  HecrScale scale(Info(2));
  fs::path down = WriteFile("hk.txt", "ButtonIndex\tButtonValue\r\n1\t-1\r\n2\t-2\r\n");
  ASSERT_EQ(scale.Exec(sdk, 0, kHotKeys, down), 0u);
  scale.Device().Log().Clear();
  fs::path up = vktest::TempDir() / "up.txt";
  ASSERT_EQ(scale.Exec(sdk, 1, kHotKeys, up), 0u);
  EXPECT_EQ(scale.Frames(kPlainUp).size(), 2u);
  EXPECT_EQ(ReadTable(up), (std::vector<std::vector<std::string>>{
                               {"ButtonIndex", "ButtonValue"}, {"1", "-1"}, {"2", "-2"}}));
}

// The item driven directly: a reply whose DataLen claims more bytes than
// arrived is read only as far as the bytes go.
TEST(HecrHotKey, RepliesAreReadOnlyAsFarAsTheyArrived) {
  fs::path out = vktest::TempDir() / "up.txt";
  {
    vk::TVKTaskCreateArgs a;
    a.ProcType = 1;
    a.DataType = kHotKeys;
    a.FileName = out.u16string();
    a.Addr = u"127.0.0.1";
    a.Port = 5002;
    a.RawData.ProtocolType = ptHecr;
    a.RawData.Raw[113] = 3;  // HotKeyCount 3
    vk::TVKSDKHecrProtocol task(a);
    auto& p = *task.GetPExecParams();
    p.Row = vk::DataTypeRow(ptHecr, kHotKeys);
    p.FileStream = vk::TVKFileStream::Create(out);
    auto item = vk::MakeHecrItem<vk::TVKSDKHecrHotKeyItem>(&task);
    // Events: DataLen says two records, one arrived; then the end of events.
    Bytes events = vemkasim::BuildHecr(kPlainUp, 0, Cat({{0x04}, Zeros(63)}));
    events.erase(events.begin() + 13 + 32, events.end() - 2);
    vk::TVKBytes frame;
    ASSERT_TRUE(item->GetSendData(0, frame));
    EXPECT_EQ(item->SetRecvData(0, events), vk::rcContinue);
    ASSERT_TRUE(item->GetSendData(1, frame));
    EXPECT_EQ(item->SetRecvData(1, vemkasim::BuildHecr(kPlainUp, 1, {})), vk::rcContinue);
    // Buttons: event 0, event 1 (never received), and a PLU; DataLen claims
    // a fourth record.
    Bytes buttons = vemkasim::BuildHecr(kPlainUp, 0, Cat({{0, 0, 0, 0xAA, 0, 1, 0, 0xAA, 0, 0, 7, 0}, Zeros(4)}));
    buttons.erase(buttons.end() - 6, buttons.end() - 2);
    ASSERT_TRUE(item->GetSendData(2, frame));
    EXPECT_EQ(vemkasim::ParseHecr(frame)->param, 0);
    EXPECT_EQ(item->SetRecvData(2, buttons), vk::rcStop);
  }
  auto rows = ReadTable(out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "-4"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"2", ""}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"3", "7"}));
}

// Text to binary and back: the button records alone (a binary file has no
// place for events, so an event button is refused with 267).
TEST(HecrHotKey, ConversionRoundTrip) {
  auto& sdk = vktest::LoadSdkDefault();
  fs::path dir = vktest::TempDir(), bin = dir / "hk.bin", back = dir / "back.txt";
  fs::path txt = WriteFile("hk.txt", "ButtonIndex\tButtonValue\r\n1\t11\r\n3\t33\r\n");
  ASSERT_EQ(Convert(sdk, u"LFCodeLen=6", 0, kHotKeys, txt, bin), 0u);
  const std::string stored = ReadFile(bin);
  EXPECT_EQ(Hex(Bytes(stored.begin(), stored.end())), Hex(Cat({{0, 0, 0x11, 0}, Zeros(4), {0, 0, 0x33, 0}})));
  ASSERT_EQ(Convert(sdk, u"LFCodeLen=6", 1, kHotKeys, back, bin), 0u);
  EXPECT_EQ(ReadTable(back), (std::vector<std::vector<std::string>>{
                                 {"ButtonIndex", "ButtonValue"}, {"1", "11"}, {"2", "0"}, {"3", "33"}}));

  fs::path events = WriteFile("ev.txt", "ButtonIndex\tButtonValue\r\n1\t11\r\n2\t-3\r\n");
  EXPECT_EQ(Convert(sdk, u"LFCodeLen=6", 0, kHotKeys, events, dir / "ev.bin"), 267u);
}

}  // namespace
