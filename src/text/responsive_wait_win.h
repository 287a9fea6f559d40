#pragma once
// A wait that keeps the calling thread's windows responsive (Windows only).

struct tagMSG;
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

// Waits until the kernel object `handle` is signalled, dispatching the thread's messages
// meanwhile. A quit taken during the wait is posted again when it ends. With `end_at_quit` the
// wait then ends at once and yields false; without, it waits on for the handle, dispatching
// nothing more. True when the handle was signalled.
bool wait_for_object_responsively(void* handle, bool end_at_quit);

// The program's own keyboard handling: every loop and wait of this program gives each message
// to the filter before dispatching it; a filter that yields true has taken the message. Set
// once at start-up, before the first window exists.
using MessageFilter = bool (*)(tagMSG& message);
void set_message_filter(MessageFilter filter);

// What a message loop does with one message it took: the filter, else translate and dispatch.
void dispatch_message(tagMSG& message);

}  // namespace quillmere
