// Ends the frame's wait for window events when one of the application's
// descriptors becomes ready (an install's sockets, its workers' finished
// files): a thread polls them for the length of one wait and posts an event
// that the pump passes over. SDL waits on its own queue only; this is how
// anything else reaches it.
#pragma once

#include <poll.h>

// The event type the watch posts; registered on first use.
unsigned PLAT_ready_event_type();

// Watches the descriptors until PLAT_ready_watch_end, posting the ready event
// once when any of them is ready. Main thread; the descriptors stay open
// until the end.
void PLAT_ready_watch_begin(const pollfd* fds, int count);
// Returns once the thread has let go of the descriptors.
void PLAT_ready_watch_end();
// Stops the thread (at shut-down; started again on the next begin).
void PLAT_ready_watch_shutdown();
