// Tests that run simulated scales in their own process need sockets that
// keep their loopback addresses. Under Wine they have them only through the
// simulator's relay process (see vemkasim::OwnLoopbackAddressesWork), which
// scripts/test-windows.sh starts; without it those tests are skipped.
#pragma once

#include <gtest/gtest.h>

#include "sim/sim_socket.h"

#define VKTEST_REQUIRE_IN_PROCESS_SCALES()                                                       \
  do {                                                                                           \
    if (!vemkasim::OwnLoopbackAddressesWork())                                                   \
      GTEST_SKIP() << "this system's sockets do not keep their loopback addresses (Wine without "\
                      "VEMKA_SIM_RELAY), so simulated scales cannot run in the test's process";  \
  } while (0)
