#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/debug_list.h"
#include "sim/sim_device.h"
#include "support/loopback.h"
#include "support/sim_support.h"
#include "transport/udp_client.h"
#include "transport/udp_socket.h"

namespace vk {
namespace {

using namespace std::chrono_literals;
using vemkasim::Direction;
using vemkasim::SimNetwork;
using vk::test::LoopbackAddr;

using Clock = std::chrono::steady_clock;
long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// The Hecr discovery request, written out by hand: AA, device 0, CMD 7103,
// Param 0, PackageNO 0, DataLen 6, head sum, 0F "VEMKA", CRC.
TVKBytes DiscoveryRequest() {
  TVKBytes f = {0xAA, 0, 0, 0, 0, 0x71, 0x03, 0, 0, 0, 0, 6, 0};
  unsigned sum = 0;
  for (int i = 0; i < 12; ++i) sum += f[i];
  f[12] = static_cast<uint8_t>(sum);
  const TVKBytes data = {0x0F, 'V', 'E', 'M', 'K', 'A'};
  f.insert(f.end(), data.begin(), data.end());
  const uint16_t crc = vemkasim::HecrCrc(data.data(), data.size());
  f.push_back(static_cast<uint8_t>(crc >> 8));
  f.push_back(static_cast<uint8_t>(crc));
  return f;
}

std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }

// The text lines of a debug list (dump lines come out too; callers match
// the lines they care about).
std::vector<std::string> Lines(const TVKDebugList& list) {
  const TVKBytes bytes = list.SavedBytes();
  const std::string all(bytes.begin(), bytes.end());
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t end; (end = all.find(" \r\n", at)) != std::string::npos; at = end + 3)
    out.push_back(all.substr(at, end - at));
  return out;
}

size_t CountExact(const std::vector<std::string>& lines, const std::string& text) {
  size_t n = 0;
  for (const auto& l : lines) n += l == text ? 1 : 0;
  return n;
}

// Trace lines "[hh:nn:ss.zzz] >>>>>>" + rest.
size_t CountTrace(const std::vector<std::string>& lines, const std::string& rest) {
  size_t n = 0;
  for (const auto& l : lines) {
    const bool stamp = l.size() == 21 + rest.size() && l[0] == '[' && l[3] == ':' && l[6] == ':' &&
                       l[9] == '.' && l[13] == ']' && l.compare(14, 6, " >>>>>") == 0;
    n += stamp && l.compare(13, std::string::npos, "] >>>>>>" + rest) == 0 ? 1 : 0;
  }
  return n;
}

vemkasim::Faults Silent() {
  vemkasim::Faults f;
  f.silent = true;
  return f;
}

// Sends datagrams from `from` to the client's port until stopped.
class ChattySender {
 public:
  ChattySender(const std::string& from, uint16_t toPort, std::chrono::microseconds gap)
      : thread_([=, this] {
          UdpSocket s;
          ASSERT_TRUE(s.Open(from, 0));
          uint32_t to = 0;
          ParseDottedIPv4("127.0.0.1", to);
          const uint8_t byte = 0x55;
          while (!stop_) {
            if (s.SendTo(to, toPort, &byte, 1)) ++sent_;
            std::this_thread::sleep_for(gap);
          }
        }) {}
  ~ChattySender() {
    stop_ = true;
    thread_.join();
  }
  int Sent() const { return sent_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};

TEST(UdpClient, GetDataResendsToASilentDeviceAndTracesEveryAttempt) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  dev.SetFaults(Silent());
  net.Start(false);

  TVKSDKUDPClientClass client(U(LoopbackAddr(2)), 5002);
  ASSERT_NE(client.BindPort(), 0);
  TVKDebugList list;
  const TVKBytes req = DiscoveryRequest();

  EXPECT_TRUE(client.GetData(req, 100, 0, &list).empty());
  EXPECT_TRUE(list.Empty());

  const auto start = Clock::now();
  EXPECT_TRUE(client.GetData(req, 200, 3, &list).empty());
  EXPECT_GE(MsSince(start), 3 * 200 - 5);  // clock granularity

  const auto got = dev.Log().Of(Direction::Received);
  ASSERT_EQ(got.size(), 3u);
  for (const auto& d : got) {
    EXPECT_EQ(d.bytes, req);
    EXPECT_EQ(d.peer.port, client.BindPort());  // every attempt from the same local port
  }

  const auto lines = Lines(list);
  const std::string port = std::to_string(client.BindPort());
  EXPECT_EQ(CountTrace(lines, "Send data, Local port:" + port + ", Remote port:5002"), 3u);
  EXPECT_EQ(CountExact(lines, "Retry 1"), 1u);
  EXPECT_EQ(CountExact(lines, "Retry 2"), 1u);
  EXPECT_EQ(CountExact(lines, "Retry 0") + CountExact(lines, "Retry 3"), 0u);
  EXPECT_EQ(CountTrace(lines, "Receive data, Local port:" + port + ", Remote port:5002"), 0u);
}

TEST(UdpClient, GetDataTakesTheAnswerOfTheAskedAddressOnly) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  vemkasim::Faults slow;
  slow.delayMs = 300;
  dev.SetFaults(slow);
  net.Start(false);

  // Integer form of the host: first octet most significant.
  const uint32_t host = (127u << 24) | (uint32_t(test::LoopbackRange()) << 8) | 2u;
  TVKSDKUDPClientClass client(host, 5002);
  EXPECT_EQ(client.GetHost(), U(LoopbackAddr(2)));
  TVKDebugList list;

  // Stray datagrams from another address arrive while the answer is delayed.
  ChattySender stray(LoopbackAddr(9), client.BindPort(), 20ms);
  const TVKBytes answer = client.GetData(DiscoveryRequest(), 3000, 1, &list);

  const auto sent = dev.Log().Of(Direction::Sent);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(answer, sent[0].bytes);
  EXPECT_GT(stray.Sent(), 0);
  const auto lines = Lines(list);
  EXPECT_EQ(CountTrace(lines, "Receive data, Local port:" + std::to_string(client.BindPort()) +
                                  ", Remote port:5002"),
            1u);
  EXPECT_TRUE(list.LastLineEmpty());
}

TEST(UdpClient, GetDataIgnoresAnAnswerFromAnotherAddressWithoutRestartingTheWait) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  vemkasim::Faults elsewhere;
  elsewhere.answerFrom = LoopbackAddr(8);
  dev.SetFaults(elsewhere);
  net.Start(false);

  TVKSDKUDPClientClass client(U(LoopbackAddr(2)), 5002);
  // A steady stream of strays must not stretch the wait past its deadline.
  ChattySender stray(LoopbackAddr(9), client.BindPort(), 10ms);
  const auto start = Clock::now();
  EXPECT_TRUE(client.GetData(DiscoveryRequest(), 400, 2, nullptr).empty());
  EXPECT_LT(MsSince(start), 10000);  // hang guard
  EXPECT_EQ(dev.Log().Count(Direction::Sent), 2u);
  EXPECT_EQ(dev.Log().Of(Direction::Sent)[0].local.addr, LoopbackAddr(8));
}

// A datagram the caller's check refuses is no answer: the request goes out
// again at once (no wait for the time-out), and the queue may now hold
// stale answers until DiscardQueued empties it.
TEST(UdpClient, RefusedAnswerIsResentAtOnceAndQueuedOnesCanBeDiscarded) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  vemkasim::Faults thrice;
  thrice.extraCopies = 2;
  dev.SetFaults(thrice);
  net.Start(false);

  TVKSDKUDPClientClass client(U(LoopbackAddr(2)), 5002);
  TVKDebugList list;
  int refused = 0;
  const auto refuseFirst = [&](const TVKBytes&) { return ++refused > 1; };
  const auto start = Clock::now();
  const TVKBytes answer = client.GetData(DiscoveryRequest(), 5000, 2, &list, {}, refuseFirst);
  EXPECT_LT(MsSince(start), 4000);  // not a time-out's wait
  EXPECT_FALSE(answer.empty());
  EXPECT_TRUE(client.MayHoldStaleAnswers());
  EXPECT_EQ(CountExact(Lines(list), "Retry 1"), 1u);

  // Two sends of three copies each: one refused, one taken, four queued.
  ASSERT_TRUE(dev.Log().WaitFor(Direction::Sent, 6, 5s));
  EXPECT_EQ(dev.Log().Count(Direction::Received), 2u);
  size_t discarded = 0;
  for (const auto until = Clock::now() + 5s; discarded < 4 && Clock::now() < until;)
    discarded += client.DiscardQueued(&list);
  EXPECT_EQ(discarded, 4u);
  EXPECT_FALSE(client.MayHoldStaleAnswers());
  EXPECT_EQ(client.DiscardQueued(&list), 0u);

  // With every try refused the result is empty.
  EXPECT_TRUE(client.GetData(DiscoveryRequest(), 5000, 2, nullptr, {}, [](const TVKBytes&) { return false; }).empty());
}

TEST(UdpClient, GetDatasToTheScanAddressCollectsEveryDevice) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  for (int host : {2, 3, 4}) {
    vemkasim::HecrInfo info;
    info.serial = uint32_t(host);
    net.AddHecr(LoopbackAddr(host), info);
  }
  net.Start();

  TVKSDKUDPClientClass client(U(test::LoopbackScanAddr()), 5002);
  TVKDebugList list;
  const auto packs = client.GetDatas(DiscoveryRequest(), 300, &list);

  ASSERT_EQ(packs.size(), 3u);
  std::set<std::u16string> senders;
  for (const auto& p : packs) {
    senders.insert(p.Addr);
    EXPECT_EQ(p.Port, 5002);
  }
  EXPECT_EQ(senders, (std::set<std::u16string>{U(LoopbackAddr(2)), U(LoopbackAddr(3)),
                                                U(LoopbackAddr(4))}));
  for (auto* d : net.Devices()) {
    const auto sent = d->Log().Of(Direction::Sent);
    ASSERT_EQ(sent.size(), 1u);
    bool found = false;
    for (const auto& p : packs) found |= p.Addr == U(d->Addr()) && p.Data == sent[0].bytes;
    EXPECT_TRUE(found) << d->Addr();
  }
  const auto lines = Lines(list);
  const std::string ports = "Local port:" + std::to_string(client.BindPort()) + ", Remote port:5002";
  EXPECT_EQ(CountTrace(lines, "Send data, " + ports), 1u);
  EXPECT_EQ(CountTrace(lines, "Receive data, " + ports), 3u);
  EXPECT_TRUE(list.LastLineEmpty());
}

TEST(UdpClient, GetDatasToOneAddressStopsAfterTheFirstAnswer) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  vemkasim::Faults twice;
  twice.answerTwice = true;
  twice.delayMs = 200;
  dev.SetFaults(twice);
  net.Start(false);

  TVKSDKUDPClientClass client(U(LoopbackAddr(2)), 5002);
  ChattySender stray(LoopbackAddr(9), client.BindPort(), 10ms);  // not the asked address
  const auto packs = client.GetDatas(DiscoveryRequest(), 3000, nullptr);
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_EQ(packs[0].Addr, U(LoopbackAddr(2)));
  EXPECT_EQ(packs[0].Data, dev.Log().Of(Direction::Sent).at(0).bytes);
}

TEST(UdpClient, ForcedTimeOutReplacesTheWaitOfGetDatasOnly) {
  VKTEST_REQUIRE_IN_PROCESS_SCALES();
  SimNetwork net;
  auto& dev = net.AddHecr(LoopbackAddr(2));
  dev.SetFaults(Silent());
  net.Start(false);

  TVKSDKUDPClientClass client(U(LoopbackAddr(2)), 5002);
  EXPECT_EQ(client.FForceTimeOut, -1);
  client.FForceTimeOut = 600;
  auto start = Clock::now();
  EXPECT_TRUE(client.GetDatas(DiscoveryRequest(), 50, nullptr).empty());
  EXPECT_GE(MsSince(start), 600 - 5);

  client.FForceTimeOut = 20000;
  start = Clock::now();
  EXPECT_TRUE(client.GetData(DiscoveryRequest(), 100, 1, nullptr).empty());
  EXPECT_LT(MsSince(start), 20000);
}

TEST(UdpClient, AScanEndsWithinTenTimeOutsWhileASenderKeepsTalking) {
  TVKSDKUDPClientClass client(U(test::LoopbackScanAddr()), 5002);
  // The sender talks far more often than the time-out, so that even a
  // loaded machine that holds its thread back for a while never lets a
  // whole time-out pass in silence.
  ChattySender chatty(LoopbackAddr(7), client.BindPort(), 5ms);
  const auto start = Clock::now();
  const auto packs = client.GetDatas({}, 400, nullptr);
  const long took = MsSince(start);
  EXPECT_GE(took, 10 * 400 - 5);
  EXPECT_LT(took, 20000);  // hang guard
  EXPECT_GT(packs.size(), 1u);
  EXPECT_LE(packs.size(), TVKSDKUDPClientClass::kScanAnswerLimit);
}

TEST(UdpClient, AScanKeepsAtMost4096Answers) {
  TVKSDKUDPClientClass client(U(test::LoopbackScanAddr()), 5002);
  ChattySender chatty(LoopbackAddr(7), client.BindPort(), 100us);
  const auto packs = client.GetDatas({}, 3000, nullptr);
  EXPECT_EQ(packs.size(), TVKSDKUDPClientClass::kScanAnswerLimit);
}

// A segment's answers arrive all at once: the scan socket's queue holds the
// whole answer cap of discovery-sized answers that came before it read any.
// A queue of the system's default size held about 166 of them.
TEST(UdpClient, AScanQueueHoldsTheWholeAnswerCap) {
  constexpr size_t kCap = TVKSDKUDPClientClass::kScanAnswerLimit;
  TVKSDKUDPClientClass client(U(test::LoopbackScanAddr()), 5002);
  UdpSocket probe;
  ASSERT_TRUE(probe.Open());
  if (probe.SetReceiveBuffer(TVKSDKUDPClientClass::kScanReceiveBuffer) < kCap * 1300)
    GTEST_SKIP() << "the system grants only " << probe.ReceiveBufferSize() << " bytes of receive queue";

  UdpSocket device;
  ASSERT_TRUE(device.Open(LoopbackAddr(7), 0));
  uint32_t to = 0;
  ASSERT_TRUE(ParseDottedIPv4("127.0.0.1", to));
  const TVKBytes answer(271, 0x5A);
  for (size_t i = 0; i < kCap; ++i) ASSERT_TRUE(device.SendTo(to, client.BindPort(), answer.data(), answer.size()));
  EXPECT_EQ(client.GetDatas({}, 200, nullptr).size(), kCap);
}

TEST(UdpSocket, DottedAddressesParseStrictly) {
  const struct {
    const char* text;
    bool ok;
    uint32_t value;
  } cases[] = {
      {"127.0.3.2", true, 0x7F000302},     {"192.168.001.020", true, 0xC0A80114},
      {"255.255.255.255", true, 0xFFFFFFFF}, {"256.0.0.1", false, 0},
      {"1.2.3", false, 0},                 {"1.2.3.4.5", false, 0},
      {"1.2.3.4 ", false, 0},              {"", false, 0},
      {"a.b.c.d", false, 0},               {"1..2.3", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t v = 0;
    EXPECT_EQ(ParseDottedIPv4(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
      EXPECT_EQ(ParseDottedIPv4(FormatDottedIPv4(v), v), true);
    }
  }
}

// Every wait uses its own time-out, also right after a longer one; a zero
// wait takes only what is already queued.
TEST(UdpSocket, EachReceiveWaitsItsOwnTimeOut) {
  UdpSocket rx, tx;
  ASSERT_TRUE(rx.Open(LoopbackAddr(3), 0));
  ASSERT_TRUE(tx.Open(LoopbackAddr(4), 0));
  uint8_t buf[16];
  size_t got = 0;
  uint32_t from = 0;
  uint16_t fromPort = 0;

  auto start = Clock::now();
  EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, 1500, got, from, fromPort), UdpSocket::RecvStatus::TimedOut);
  EXPECT_GE(MsSince(start), 1495);
  start = Clock::now();
  EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, 0, got, from, fromPort), UdpSocket::RecvStatus::TimedOut);
  EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, 30, got, from, fromPort), UdpSocket::RecvStatus::TimedOut);
  EXPECT_LT(MsSince(start), 1000);  // not the 1500 ms wait again

  uint32_t to = 0;
  ASSERT_TRUE(ParseDottedIPv4(LoopbackAddr(3), to));
  const uint8_t byte = 0x5A;
  ASSERT_TRUE(tx.SendTo(to, rx.LocalPort(), &byte, 1));
  EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, 5000, got, from, fromPort), UdpSocket::RecvStatus::Ok);
  ASSERT_TRUE(tx.SendTo(to, rx.LocalPort(), &byte, 1));
  std::this_thread::sleep_for(50ms);  // queued before the zero wait looks
  EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, 0, got, from, fromPort), UdpSocket::RecvStatus::Ok);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(buf[0], 0x5A);
  EXPECT_EQ(fromPort, tx.LocalPort());
}

TEST(UdpClient, AnUnusableHostFailsQuietly) {
  TVKSDKUDPClientClass client(u"not-an-address", 5002);
  const auto start = Clock::now();
  EXPECT_TRUE(client.GetData(DiscoveryRequest(), 5000, 2, nullptr).empty());
  EXPECT_TRUE(client.GetDatas(DiscoveryRequest(), 5000, nullptr).empty());
  client.SendData(DiscoveryRequest());
  EXPECT_LT(MsSince(start), 5000);
}

}  // namespace
}  // namespace vk
