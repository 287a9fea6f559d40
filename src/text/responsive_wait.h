#pragma once
// A wait that keeps the calling thread's windows responsive (Windows only).

#include <functional>

namespace quillmere {

// Waits `amount` units (0 ms, 1 s, 2 min, 3 h; any other unit is that many ms per step),
// dispatching the thread's messages meanwhile. An amount of 0 or below returns at once.
// Always true.
bool responsive_wait(long long amount, int unit = 0);

// Waits at most `milliseconds`, dispatching the thread's messages meanwhile, and returns as soon
// as `done` holds: it is tested first, after every round of messages and at least every 10 ms
// (another thread may be what makes it true). 0 or below: `done` is tested once.
void responsive_wait_until(long long milliseconds, const std::function<bool()>& done);

// Dispatches every message waiting in the calling thread's queue.
void process_pending_messages();

}  // namespace quillmere
