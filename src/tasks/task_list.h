// The process-wide list of live tasks. Handles given to hosts are numbers
// that are never reused; every export that takes a handle looks it up here,
// so a stale or foreign handle is harmless.
#pragma once

#include <cstdint>
#include <thread>

#include "vemkasdk.h"

namespace vk {

class TVKSDKCustomProtocol;

namespace TaskList {

// Adds a task and returns its new handle.
VKSDK_TASK Add(TVKSDKCustomProtocol* task);
// Removes a task (its destruction calls this before setting its events).
void Remove(VKSDK_TASK handle);
// Number of live tasks.
size_t Count();

// Asks the task (every task for handle 0) to terminate and waits until each
// one has been destroyed. Called from a task's callback, it does not wait for
// that task itself nor for any task that is (directly or through others)
// waiting for it from its own callback: those are only asked to terminate.
void Stop(VKSDK_TASK handle);
// Asks the task (every task for handle 0) to terminate, without waiting.
void AskToStop(VKSDK_TASK handle);
// Waits until the task has been destroyed; returns at once for a handle that
// is not listed, or (from a callback) for a task that Stop would not wait for.
void Wait(VKSDK_TASK handle);

// Keeps a finished task's thread until someone joins it (never itself).
void Bury(std::thread&& t);
// Joins every buried thread except the caller's own.
void ReapFinishedThreads();

}  // namespace TaskList
}  // namespace vk
