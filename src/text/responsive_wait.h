#pragma once
// A wait that keeps the calling thread's windows responsive (Windows only).

namespace quillmere {

// Waits `amount` units (0 ms, 1 s, 2 min, 3 h; any other unit is that many ms per step),
// dispatching the thread's messages meanwhile. An amount of 0 or below returns at once.
// Always true.
bool responsive_wait(long long amount, int unit = 0);

// Dispatches every message waiting in the calling thread's queue.
void process_pending_messages();

}  // namespace quillmere
