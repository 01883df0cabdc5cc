// Simulated scales on loopback addresses. Each SimDevice binds its own
// address on its family's fixed port and answers discovery with its
// information block; handlers added with AddHandler answer further
// commands. A SimSegment listens on a segment's .255 address and passes
// every scan request to each device of the segment, which answers from its
// own socket, so the SDK sees distinct senders. SimNetwork owns a set of
// devices and the segment listeners they need.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_info.h"
#include "sim/sim_record.h"
#include "sim/sim_socket.h"
#include "sim/sim_wire.h"

namespace vemkasim {

// Ways a device misbehaves; all off by default.
// Devices that share one gate hold their first answer until each of them
// has one ready, then all send at once, as the scales of a segment answer a
// scan together. One use: later answers pass straight through.
class AnswerGate {
 public:
  explicit AnswerGate(int devices) : waiting_(devices) {}
  // Counts this device in and waits for the others; false when `stop` was
  // set first.
  bool ArriveAndWait(const std::atomic<bool>& stop);

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  int waiting_;
};

struct Faults {
  bool silent = false;          // receives, never answers
  int dropFirst = 0;            // ignores the first k requests
  int delayMs = 0;              // waits before answering
  bool answerTwice = false;     // sends every answer datagram twice
  int extraCopies = 0;          // sends every answer datagram this many more times (at least 1 with answerTwice)
  // Flips one bit, at a random place (head, data or CRC), in this share of
  // the answer datagrams sent (each copy drawn on its own). The places come
  // from corruptSeed, so a run can be repeated; setting the faults again
  // restarts the sequence.
  double corruptPercent = 0;
  uint32_t corruptSeed = 1;
  std::string answerFrom;       // answers from this other local address (ephemeral port)
  size_t truncateTo = 0;        // cuts every answer datagram to this many bytes (0: off)
  bool badHeadSum = false;      // Hecr answers: head sum byte off by one
  bool badCrc = false;          // Hecr answers with data: CRC off by one
  bool shortAnswer = false;     // discovery answers one byte below what the SDK accepts
  std::shared_ptr<AnswerGate> answerTogether;  // answers wait at this gate (after delayMs)
};

// How a Pecr device answers the M3-mode probe (data type A0, address 0).
enum class M3Answer { None, Short, ZeroData, NonZeroData };

using Answers = std::vector<Bytes>;
// A command handler: nullopt when the request is not its business (the next
// handler, then the built-in discovery answer, gets it); otherwise the
// datagrams to send back (possibly none).
using Handler = std::function<std::optional<Answers>(const Bytes& request, const Peer& from)>;
// A handler for one Hecr command; it sees only frames that pass the head
// sum and CRC checks and carry its CMD.
using HecrCommand = std::function<std::optional<Answers>(const HecrFrame& request, const Peer& from)>;
// A handler for one Pecr data type (the request's first byte).
using PecrRequest =
    std::function<std::optional<Answers>(const Bytes& request, uint16_t addr, const Peer& from)>;

class SimDevice {
 public:
  SimDevice(Family family, std::string addr, Bytes infoBlock);
  ~SimDevice();
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  static std::unique_ptr<SimDevice> Hecr(std::string addr, const HecrInfo& info = {});
  static std::unique_ptr<SimDevice> Pecr(std::string addr, const PecrInfo& info = {});
  static std::unique_ptr<SimDevice> TSecr(std::string addr, const TSecrInfo& info = {});

  // Binds the sockets and starts answering; throws std::runtime_error when
  // an address or port is taken. Returns once the sockets are bound.
  void Start();
  // Stops answering and joins the thread; prompt even during a delay.
  void Stop();
  bool Running() const { return running_; }

  Family GetFamily() const { return family_; }
  const std::string& Addr() const { return addr_; }
  uint16_t Port() const { return FamilyPort(family_); }
  // TSecr: the port discovery answers come from (where its TCP or HTTP
  // server listens); the family port unless set. Set before Start.
  void SetServicePort(uint16_t port) { servicePort_ = port; }
  uint16_t ServicePort() const { return servicePort_ ? servicePort_ : Port(); }

  void SetFaults(const Faults& f);
  Faults GetFaults() const;
  void SetInfoBlock(Bytes block);
  Bytes InfoBlock() const;
  // One byte of the information block (nullopt past its end).
  std::optional<uint8_t> InfoByte(size_t at) const;
  void SetM3Answer(M3Answer a);
  // Handlers run on the device's thread, in the order added, before the
  // built-in answers.
  void AddHandler(Handler h);
  void AddHecrCommand(uint16_t cmd, HecrCommand fn);
  void AddPecrRequest(uint8_t dataType, PecrRequest fn);

  Record& Log() { return record_; }
  const Record& Log() const { return record_; }

  // A scan request that reached the segment listener at `via`.
  void Deliver(const Bytes& request, const Peer& from, const Peer& via);

 private:
  struct Pending {
    Bytes request;
    Peer from;
    Peer via;
  };
  void Run();
  void HandleQueued();
  void Handle(const Pending& p);
  Answers BuiltInAnswers(const Bytes& request, const Faults& f) const;
  void ApplyFaults(Answers& answers, const Faults& f) const;
  // True (and one bit of `datagram` flipped) for corruptPercent of the calls.
  bool Corrupt(Bytes& datagram, const Faults& f);
  void Wake();  // with mu_ held

  const Family family_;
  const std::string addr_;
  uint16_t servicePort_ = 0;

  mutable std::mutex mu_;  // guards the settings, handlers and the queue
  std::condition_variable stopCv_;
  Bytes info_;
  Faults faults_;
  M3Answer m3_ = M3Answer::None;
  // Replaced whole when a handler is added, so a request takes a snapshot
  // without copying the handlers.
  std::shared_ptr<const std::vector<Handler>> handlers_ = std::make_shared<std::vector<Handler>>();
  std::deque<Pending> queue_;
  int requestsSeen_ = 0;
  uint64_t faultsSet_ = 0;  // bumped by SetFaults, so the corruption restarts

  // Used on the device's thread only.
  std::mt19937 corruptRng_;
  uint64_t corruptRngFor_ = ~uint64_t{0};

  SockFd sock_ = kNoSocket;       // family port on addr_
  SockFd replySock_ = kNoSocket;  // TSecr service port, or none (answers go out on sock_)
  SockFd altSock_ = kNoSocket;    // Faults::answerFrom
  // The device's thread waits in a receive on sock_ alone; an empty
  // datagram from pokeSock_ (bound to addr_) wakes it for queued scan
  // requests and for Stop.
  SockFd pokeSock_ = kNoSocket;
  Peer ownPeer_, replyPeer_, altPeer_, pokePeer_;  // the local ends of the sockets
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  bool exited_ = false;  // the thread left its loop (guarded by mu_)
  std::thread thread_;
  Record record_;
};

// Listens on "<a>.<b>.<c>.255" on the ports of the given families and fans
// each request out to the devices of that family in the segment.
class SimSegment {
 public:
  explicit SimSegment(std::string scanAddr);
  ~SimSegment();
  SimSegment(const SimSegment&) = delete;
  SimSegment& operator=(const SimSegment&) = delete;

  void Add(SimDevice* device);  // before Start
  void Start();                 // throws std::runtime_error on a bind failure
  void Stop();
  const std::string& ScanAddr() const { return scanAddr_; }
  Record& Log() { return record_; }

 private:
  void Run();
  std::string scanAddr_;
  std::vector<SimDevice*> devices_;
  std::vector<std::pair<Family, SockFd>> socks_;
  WakeChannel wake_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  Record record_;
};

// A set of devices plus the segment listeners for their segments.
class SimNetwork {
 public:
  SimNetwork() = default;
  ~SimNetwork();
  SimDevice& Add(std::unique_ptr<SimDevice> device);
  SimDevice& AddHecr(const std::string& addr, const HecrInfo& info = {});
  SimDevice& AddPecr(const std::string& addr, const PecrInfo& info = {});
  SimDevice& AddTSecr(const std::string& addr, const TSecrInfo& info = {});
  // Starts every device, then one listener per segment (set scanListeners
  // false to run without them). Stops what it started and rethrows on error.
  void Start(bool scanListeners = true);
  void Stop();
  std::vector<SimDevice*> Devices() const;
  SimSegment* Segment(const std::string& scanAddr) const;
  // How many datagrams each device's and segment listener's record keeps
  // (see Record); applied to devices now and to listeners as they start.
  void SetRecordCapacity(size_t datagrams);

 private:
  size_t recordCapacity_ = kDefaultRecordCapacity;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  std::map<std::string, std::unique_ptr<SimSegment>> segments_;
};

// "a.b.c.255" for an address "a.b.c.d".
std::string ScanAddressOf(const std::string& addr);

}  // namespace vemkasim
