// Tests that run simulated scales in their own process need sockets that
// keep their loopback addresses. Under Wine they do not (see
// vemkasim::OwnLoopbackAddressesWork): those tests are skipped there, and the
// Windows build is exercised against the simulator's Linux process instead
// (scripts/test-windows.sh).
#pragma once

#include <gtest/gtest.h>

#include "sim/sim_socket.h"

#define VKTEST_REQUIRE_IN_PROCESS_SCALES()                                                       \
  do {                                                                                           \
    if (!vemkasim::OwnLoopbackAddressesWork())                                                   \
      GTEST_SKIP() << "this system's sockets do not keep their loopback addresses (Wine), so "   \
                      "simulated scales cannot run in the test's own process";                   \
  } while (0)
