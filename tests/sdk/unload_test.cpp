// A host that leaves while a task waits for a silent scale ends at once:
// the library's unload code never waits out the task's time-outs (on
// Windows it runs under the loader lock and must not wait for threads).
#include <gtest/gtest.h>

#include "support/sdk_loader.h"
#include "support/test_platform.h"

TEST(Unload, ExitWithARunningTaskEndsWithinASecond) {
  const auto dir = vktest::TempDir();
  long long elapsedMs = 0;
  // The task would wait 3 x 30 s for its answer; the program itself needs
  // some time to start (more under Wine), so the whole run is allowed 10 s.
  const int code = vktest::RunProgram(VEMKA_EXIT_PROGRAM, dir.string(), 60000, elapsedMs);
  EXPECT_EQ(code, 0);
  EXPECT_LT(elapsedMs, 10000);
}
