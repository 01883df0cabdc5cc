#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "hecr/hecr_frame.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/sim_support.h"
#include "transport/udp_socket.h"

namespace vemkasim {
namespace {

using namespace std::chrono_literals;
using vk::test::LoopbackAddr;
using Clock = std::chrono::steady_clock;

struct Received {
  Bytes bytes;
  std::string from;
  uint16_t port;
};

// A plain UDP endpoint on the test's own range that sends one request and
// collects what comes back within a quiet period.
class Probe {
 public:
  Probe() { EXPECT_TRUE(sock_.Open(LoopbackAddr(100), 0)); }
  void Send(const std::string& addr, uint16_t port, const Bytes& b) {
    uint32_t a = 0;
    ASSERT_TRUE(vk::ParseDottedIPv4(addr, a));
    ASSERT_TRUE(sock_.SendTo(a, port, b.data(), b.size()));
  }
  std::vector<Received> Collect(int quietMs = 300) {
    std::vector<Received> out;
    std::vector<uint8_t> buf(65536);
    for (;;) {
      size_t got = 0;
      uint32_t from = 0;
      uint16_t port = 0;
      if (sock_.ReceiveFrom(buf.data(), buf.size(), quietMs, got, from, port) !=
          vk::UdpSocket::RecvStatus::Ok)
        return out;
      out.push_back({Bytes(buf.begin(), buf.begin() + static_cast<long>(got)),
                     vk::FormatDottedIPv4(from), port});
    }
  }
  uint16_t Port() const { return sock_.LocalPort(); }

 private:
  vk::UdpSocket sock_;
};

// Discovery requests written out by hand.
Bytes HecrDiscovery() {
  Bytes f = {0xAA, 0, 0, 0, 0, 0x71, 0x03, 0, 0, 0, 0, 6, 0};
  f[12] = static_cast<uint8_t>(0xAA + 0x71 + 0x03 + 6);
  const Bytes data = {0x0F, 'V', 'E', 'M', 'K', 'A'};
  f.insert(f.end(), data.begin(), data.end());
  const uint16_t crc = vk::HecrCrc16(data);
  f.push_back(static_cast<uint8_t>(crc >> 8));
  f.push_back(static_cast<uint8_t>(crc));
  return f;
}

Bytes PecrDiscovery() {
  Bytes f(259, 0);
  f[0] = 14;
  f[1] = 3;
  f[3] = 0xFF;
  f[4] = 0x0F;
  std::memcpy(&f[6], "fenrow", 6);
  return f;
}

Bytes TSecrDiscovery() {
  Bytes f(40, 0);
  f[0] = 3;
  f[8] = 1;
  f[20] = 1;
  std::memcpy(&f[24], "VEMKA", 5);
  return f;
}

// The Hecr reply frame around a data part, head bytes written out.
Bytes HecrReply(uint16_t cmd, uint16_t param, const Bytes& data) {
  Bytes f = {0xAA, 0, 0, 0, 0, uint8_t(cmd >> 8), uint8_t(cmd), uint8_t(param >> 8), uint8_t(param),
             0, uint8_t(data.size() >> 8), uint8_t(data.size()), 0};
  unsigned sum = 0;
  for (int i = 0; i < 12; ++i) sum += f[i];
  f[12] = static_cast<uint8_t>(sum);
  f.insert(f.end(), data.begin(), data.end());
  if (!data.empty()) {
    const uint16_t crc = vk::HecrCrc16(data);
    f.push_back(static_cast<uint8_t>(crc >> 8));
    f.push_back(static_cast<uint8_t>(crc));
  }
  return f;
}

TEST(SimDevice, EachFamilyAnswersItsDiscoveryRequest) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  HecrInfo hecr;
  PecrInfo pecr;
  TSecrInfo tsecr;
  const uint16_t servicePort = static_cast<uint16_t>(20000 + vk::test::LoopbackRange());
  SimNetwork net;
  net.AddHecr(LoopbackAddr(2), hecr);
  net.AddPecr(LoopbackAddr(3), pecr);
  net.AddTSecr(LoopbackAddr(4), tsecr).SetServicePort(servicePort);
  net.Start(false);

  const struct {
    const char* name;
    std::string addr;
    uint16_t port;
    Bytes request;
    Bytes reply;
    uint16_t replyPort;
  } cases[] = {
      {"Hecr", LoopbackAddr(2), 5002, HecrDiscovery(), HecrReply(0x7103, 0, hecr.Build()), 5002},
      {"Pecr", LoopbackAddr(3), 5001, PecrDiscovery(), pecr.Build(), 5001},
      {"TSecr", LoopbackAddr(4), 5003, TSecrDiscovery(), tsecr.Build(), servicePort},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Probe probe;
    probe.Send(c.addr, c.port, c.request);
    const auto got = probe.Collect();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, c.reply);
    EXPECT_EQ(got[0].from, c.addr);
    EXPECT_EQ(got[0].port, c.replyPort);
  }
  // Each device ignores the other families' requests.
  Probe probe;
  probe.Send(LoopbackAddr(2), 5002, PecrDiscovery());
  probe.Send(LoopbackAddr(3), 5001, HecrDiscovery());
  probe.Send(LoopbackAddr(4), 5003, HecrDiscovery());
  EXPECT_TRUE(probe.Collect().empty());
}

TEST(SimDevice, InfoBlocksPlaceFieldsAtTheirOffsets) {
  HecrInfo h;
  h.serial = 0x01020304;
  h.model = "AB-1";
  h.version = 0x6031;
  h.codePage = 65001;
  h.pluCapacity = 0x1234;
  h.classLetter = '*';
  h.mac = {1, 2, 3, 4, 5, 6};
  h.aiId = 0xA1B2C3D4;
  h.printerDot = 0x0102030405060708;
  const Bytes hb = h.Build();
  ASSERT_EQ(hb.size(), 256u);
  EXPECT_EQ(Bytes(hb.begin() + 3, hb.begin() + 7), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(std::string(hb.begin() + 7, hb.begin() + 23), "AB-116909060" + std::string(4, '\0'));
  EXPECT_EQ(Bytes(hb.begin() + 23, hb.begin() + 25), (Bytes{0x60, 0x31}));
  EXPECT_EQ(Bytes(hb.begin() + 52, hb.begin() + 60), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Bytes(hb.begin() + 80, hb.begin() + 84), (Bytes{0xE9, 0xFD, 0, 0}));
  EXPECT_EQ(Bytes(hb.begin() + 124, hb.begin() + 126), (Bytes{0x12, 0x34}));
  EXPECT_EQ(hb[146], '*');
  EXPECT_EQ(Bytes(hb.begin() + 180, hb.begin() + 186), (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Bytes(hb.begin() + 216, hb.begin() + 220), (Bytes{0xA1, 0xB2, 0xC3, 0xD4}));

  PecrInfo p;
  p.version = 0x11223344;
  p.serial = 0x00BC614E;
  p.power = 0xAC;
  p.name = "SCALE-1";
  const Bytes pb = p.Build();
  ASSERT_EQ(pb.size(), 259u);
  EXPECT_EQ(Bytes(pb.begin(), pb.begin() + 3), (Bytes{14, 3, 0}));
  EXPECT_EQ(Bytes(pb.begin() + 17, pb.begin() + 21), (Bytes{0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(Bytes(pb.begin() + 21, pb.begin() + 25), (Bytes{0x20, 0x24, 0x01, 0x15}));
  EXPECT_EQ(pb[27], 0xAC);
  EXPECT_EQ(std::string(pb.begin() + 42, pb.begin() + 47), "VEMKA");
  EXPECT_EQ(std::string(pb.begin() + 55, pb.begin() + 63), std::string("SCALE-1") + '\0');
  EXPECT_EQ(Bytes(pb.begin() + 84, pb.begin() + 88), (Bytes{0x00, 0xBC, 0x61, 0x4E}));
  p.legacyBoard = true;
  const Bytes legacy = p.Build();
  for (int i = 0; i < 128; ++i) ASSERT_EQ(legacy[4 + i], 255 - i) << i;
  EXPECT_EQ(legacy[132], 0);

  TSecrInfo t;
  t.linkType = 1;
  t.versionText = "2.0.1.7";
  t.aiId = 0x01020304;
  t.department = 0x99;
  t.replyLength = 300;
  const Bytes tb = t.Build();
  ASSERT_EQ(tb.size(), 300u);
  EXPECT_EQ(Bytes(tb.begin(), tb.begin() + 4), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(std::string(tb.begin() + 52, tb.begin() + 59), "2.0.1.7");
  EXPECT_EQ(Bytes(tb.begin() + 104, tb.begin() + 108), (Bytes{0x99, 0, 0, 0}));
  EXPECT_EQ(Bytes(tb.begin() + 178, tb.begin() + 182), (Bytes{1, 2, 3, 4}));
  double date = 0;
  std::memcpy(&date, &tb[88], 8);  // little-endian host
  EXPECT_EQ(date, t.printerStartDate);
}

TEST(SimDevice, ScanListenerPassesRequestsToEveryDeviceOfTheFamily) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& a = net.AddHecr(LoopbackAddr(2));
  auto& b = net.AddHecr(LoopbackAddr(3));
  auto& pecr = net.AddPecr(LoopbackAddr(4));
  net.Start();

  Probe probe;
  probe.Send(vk::test::LoopbackScanAddr(), 5002, HecrDiscovery());
  const auto got = probe.Collect();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NE(got[0].from, got[1].from);
  for (auto* d : {&a, &b}) {
    const auto in = d->Log().Of(Direction::Received);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].local.addr, vk::test::LoopbackScanAddr());
    EXPECT_EQ(in[0].peer.port, probe.Port());
    EXPECT_EQ(d->Log().Of(Direction::Sent).at(0).local.addr, d->Addr());
  }
  EXPECT_EQ(pecr.Log().Count(Direction::Received), 0u);
  EXPECT_EQ(net.Segment(vk::test::LoopbackScanAddr())->Log().Count(Direction::Received), 1u);
}

TEST(SimDevice, FaultKnobsShapeTheAnswers) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  const Bytes block = HecrInfo{}.Build();
  const Bytes good = HecrReply(0x7103, 0, block);
  auto plus = [](Bytes b, size_t at) { ++b[at]; return b; };
  const std::string own = LoopbackAddr(2), other = LoopbackAddr(9);

  struct Case {
    const char* name;
    Faults faults;
    std::vector<Bytes> replies;
    std::string from;
  };
  std::vector<Case> cases(8);
  cases[0] = {"none", {}, {good}, own};
  cases[1].name = "silent", cases[1].faults.silent = true;
  cases[2] = {"twice", {}, {good, good}, own}, cases[2].faults.answerTwice = true;
  cases[3] = {"elsewhere", {}, {good}, other}, cases[3].faults.answerFrom = other;
  cases[4] = {"truncated", {}, {Bytes(good.begin(), good.begin() + 20)}, own};
  cases[4].faults.truncateTo = 20;
  cases[5] = {"head sum", {}, {plus(good, 12)}, own}, cases[5].faults.badHeadSum = true;
  cases[6] = {"crc", {}, {plus(good, good.size() - 1)}, own}, cases[6].faults.badCrc = true;
  cases[7] = {"short", {}, {HecrReply(0x7103, 0, Bytes(block.begin(), block.begin() + 255))}, own};
  cases[7].faults.shortAnswer = true;

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimNetwork net;
    net.AddHecr(own).SetFaults(c.faults);
    net.Start(false);
    Probe probe;
    probe.Send(own, 5002, HecrDiscovery());
    const auto got = probe.Collect();
    ASSERT_EQ(got.size(), c.replies.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].bytes, c.replies[i]);
      EXPECT_EQ(got[i].from, c.from);
    }
    EXPECT_EQ(net.Devices()[0]->Log().Count(Direction::Received), 1u);
  }
}

// Extra copies go out as sent; corruption flips exactly one bit per damaged
// datagram, at places that repeat for the same seed.
TEST(SimDevice, CopiesAndSeededBitFlips) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  const Bytes good = HecrReply(0x7103, 0, HecrInfo{}.Build());
  auto flippedBits = [&](const Bytes& b) {
    int n = 0;
    for (size_t i = 0; i < b.size(); ++i) n += __builtin_popcount(static_cast<unsigned>(b[i] ^ good[i]));
    return n;
  };
  auto answers = [](const Faults& f, int requests) {
    SimNetwork net;
    net.AddHecr(LoopbackAddr(2)).SetFaults(f);
    net.Start(false);
    Probe probe;
    std::vector<Bytes> out;
    for (int i = 0; i < requests; ++i) {
      probe.Send(LoopbackAddr(2), 5002, HecrDiscovery());
      for (auto& r : probe.Collect(150)) out.push_back(r.bytes);
    }
    return out;
  };

  Faults three;
  three.extraCopies = 2;
  const auto copies = answers(three, 1);
  ASSERT_EQ(copies.size(), 3u);
  for (const auto& c : copies) EXPECT_EQ(c, good);

  Faults all;
  all.corruptPercent = 100;
  all.corruptSeed = 7;
  const auto first = answers(all, 4), again = answers(all, 4);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first, again);
  std::set<Bytes> distinct(first.begin(), first.end());
  EXPECT_GT(distinct.size(), 1u);
  for (const auto& b : first) {
    ASSERT_EQ(b.size(), good.size());
    EXPECT_EQ(flippedBits(b), 1);
  }
}

TEST(SimDevice, DropAndDelayHoldBackAnswers) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  Faults f;
  f.dropFirst = 2;
  f.delayMs = 200;
  dev.SetFaults(f);
  net.Start(false);

  Probe probe;
  for (int i = 0; i < 2; ++i) probe.Send(LoopbackAddr(2), 5002, HecrDiscovery());
  EXPECT_TRUE(probe.Collect(400).empty());
  const auto start = Clock::now();
  probe.Send(LoopbackAddr(2), 5002, HecrDiscovery());
  EXPECT_EQ(probe.Collect(2000).size(), 1u);
  EXPECT_GE(Clock::now() - start, 195ms);

  const auto log = dev.Log().All();
  ASSERT_EQ(log.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(log[i].dir, Direction::Received);
  EXPECT_EQ(log[3].dir, Direction::Sent);
  EXPECT_LE(log[2].time, log[3].time);
}

TEST(SimDevice, PecrAnswersTheM3ProbeAsConfigured) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  Bytes zero = Bytes(259, 0);
  zero[0] = 0xA0;
  const struct {
    M3Answer answer;
    size_t count;
    size_t size;
    bool dataZero;
  } cases[] = {
      {M3Answer::None, 0, 0, false},
      {M3Answer::Short, 1, 3, false},
      {M3Answer::ZeroData, 1, 259, true},
      {M3Answer::NonZeroData, 1, 259, false},
  };
  SimNetwork net;
  auto& dev = net.AddPecr(LoopbackAddr(3));
  net.Start(false);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    dev.SetM3Answer(c.answer);
    Probe probe;
    probe.Send(LoopbackAddr(3), 5001, zero);
    const auto got = probe.Collect();
    ASSERT_EQ(got.size(), c.count);
    if (!c.count) continue;
    EXPECT_EQ(got[0].bytes.size(), c.size);
    EXPECT_EQ(got[0].bytes[0], 0xA0);
    if (c.size == 259) {
      EXPECT_EQ(got[0].bytes == zero, c.dataZero);
    }
  }
}

TEST(SimDevice, HandlersAnswerCommandsAndLeaveTheRestToDiscovery) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  dev.AddHecrCommand(0x7003, [](const HecrFrame& f, const Peer&) -> std::optional<Answers> {
    return Answers{BuildHecr(0x800E, f.param, {})};
  });
  net.Start(false);

  Probe probe;
  probe.Send(LoopbackAddr(2), 5002, HecrReply(0x7003, 5, Bytes{0x24, 0x01, 0x02, 0x03, 0x04, 0x05, 0}));
  auto got = probe.Collect();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, HecrReply(0x800E, 5, {}));

  probe.Send(LoopbackAddr(2), 5002, HecrDiscovery());
  got = probe.Collect();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes.size(), 256u + 15);
}

TEST(SimDevice, StartFailsLoudlyOnATakenAddressAndStopIsPrompt) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork first;
  auto& dev = first.AddHecr(LoopbackAddr(2));
  Faults f;
  f.delayMs = 60000;
  dev.SetFaults(f);
  first.Start(false);

  SimNetwork second;
  second.AddHecr(LoopbackAddr(2));
  EXPECT_THROW(second.Start(false), std::runtime_error);

  Probe probe;
  probe.Send(LoopbackAddr(2), 5002, HecrDiscovery());
  ASSERT_TRUE(dev.Log().WaitReceived(1, 5s));
  EXPECT_FALSE(dev.Log().WaitReceived(2, 50ms));
  const auto start = Clock::now();
  first.Stop();
  EXPECT_LT(Clock::now() - start, 10s);  // hang guard: the pending delay is abandoned
  EXPECT_EQ(dev.Log().Count(Direction::Sent), 0u);
  EXPECT_FALSE(dev.Running());
  // The address is free again.
  SimNetwork third;
  third.AddHecr(LoopbackAddr(2));
  EXPECT_NO_THROW(third.Start(false));
}

}  // namespace
}  // namespace vemkasim
