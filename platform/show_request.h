#pragma once
// Requests of later launchers to show the running launcher's window (see launcher_lock.h): the
// running launcher listens from its start, and its window takes them on its ticks.

namespace platform {

// From now on requests of later launchers to show the window are noted, not fatal. Called before
// the lock is taken, so that a request can never meet a launcher without the listener.
void ListenForShowRequests();

// True once for the requests that arrived since the last call.
bool TakeShowRequest();

}  // namespace platform
