// Starts a task to an address where no scale answers, with long time-outs, and returns from main while the task waits for its answer.
// The test that runs this program checks that the process ends at once:
// unloading the library must not wait out the task's time-outs (and on
// Windows must not wait for threads at all).
#include <cstdio>
#include <filesystem>

#include "support/sdk_loader.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::filesystem::path dir = argv[1];
  auto& sdk = vktest::LoadSdk("[System]\nSyncTimeOut=30000\nSyncTryCount=3\nDebugDir=" +
                              (dir / "debug").string() + "\n");
  if (!sdk.ExecTask) return 3;
  // 127.1.0.9: a loopback address where nothing listens. Data type 37 (an
  // upload, ProcType 1, of DataID 5) starts without asking the device first.
  const std::u16string file = (dir / "out.txt").u16string();
  VKSDK_TASK task = sdk.ExecTask(0x7F010009, 5002, 2, 0x00000501, 37, file.c_str(), nullptr, nullptr);
  if (task == VKSDK_INVALID_TASK) return 4;
  std::puts("task running, leaving main");
  return 0;
}
