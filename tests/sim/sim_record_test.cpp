#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "sim/sim_record.h"

namespace vemkasim {
namespace {

using namespace std::chrono_literals;

const Peer kLocal{"127.0.0.2", 5002};
const Peer kPeer{"127.0.0.3", 40000};

// The first byte of each kept datagram, oldest first.
std::vector<int> FirstBytes(const std::vector<Datagram>& ds) {
  std::vector<int> out;
  for (const auto& d : ds) out.push_back(d.bytes.at(0));
  return out;
}

void AddNumbered(Record& r, int from, int to) {
  for (int i = from; i < to; ++i)
    r.Add(i % 2 ? Direction::Sent : Direction::Received, kLocal, kPeer, Bytes{static_cast<uint8_t>(i)});
}

TEST(SimRecord, KeepsTheLastDatagramsAndCountsTheDropped) {
  struct Case {
    size_t capacity;
    int added;
    std::vector<int> kept;
    uint64_t dropped;
  };
  const Case cases[] = {
      {3, 2, {0, 1}, 0},
      {3, 3, {0, 1, 2}, 0},
      {3, 7, {4, 5, 6}, 4},
      {1, 4, {3}, 3},
      {0, 5, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "capacity " << c.capacity << ", " << c.added << " added");
    Record r;
    r.SetCapacity(c.capacity);
    AddNumbered(r, 0, c.added);
    EXPECT_EQ(FirstBytes(r.All()), c.kept);
    EXPECT_EQ(r.Dropped(), c.dropped);
    // Counts cover every datagram, kept or not.
    EXPECT_EQ(r.Count(Direction::Received) + r.Count(Direction::Sent), static_cast<size_t>(c.added));
    std::vector<int> sent;
    for (int k : c.kept)
      if (k % 2) sent.push_back(k);
    EXPECT_EQ(FirstBytes(r.Of(Direction::Sent)), sent);
  }
}

TEST(SimRecord, ShrinkingDropsTheOldestAndClearStartsAgain) {
  Record r;
  r.SetCapacity(4);
  AddNumbered(r, 0, 6);  // keeps 2 3 4 5, the ring wrapped
  r.SetCapacity(2);
  EXPECT_EQ(FirstBytes(r.All()), (std::vector<int>{4, 5}));
  EXPECT_EQ(r.Dropped(), 4u);
  r.SetCapacity(3);
  AddNumbered(r, 6, 8);
  EXPECT_EQ(FirstBytes(r.All()), (std::vector<int>{5, 6, 7}));
  r.Clear();
  EXPECT_TRUE(r.All().empty());
  EXPECT_EQ(r.Dropped(), 0u);
  EXPECT_EQ(r.Count(Direction::Received), 0u);
}

TEST(SimRecord, KeepingNothingStillWakesWaitersAndFeedsTheObserver) {
  Record r;
  r.SetCapacity(0);
  int observed = 0;
  r.SetObserver([&observed](const Datagram& d) { observed += d.bytes.at(0); });
  std::thread adder([&r] { AddNumbered(r, 1, 7); });  // received: 2 4 6
  EXPECT_TRUE(r.WaitReceived(3, 10s));
  adder.join();
  EXPECT_TRUE(r.All().empty());
  EXPECT_EQ(observed, 1 + 2 + 3 + 4 + 5 + 6);
  EXPECT_FALSE(r.WaitReceived(4, 10ms));
}

}  // namespace
}  // namespace vemkasim
