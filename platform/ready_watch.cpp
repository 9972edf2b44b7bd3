// The thread behind the frame's wait on the application's descriptors. The
// main thread arms it before SDL_WaitEventTimeout and disarms it after; a
// disarm interrupts its poll through an eventfd and waits for it to return,
// so it never polls a descriptor that the main thread may close next.
#include "platform/ready_watch.h"

#include <SDL2/SDL.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/threads/threads.h"

namespace {

struct ready_watch_state {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<pollfd> fds;
  bool armed = false;    // between begin and end
  bool polling = false;  // the thread is in poll() (or about to leave it)
  bool quit = false;
  uint64_t generation = 0;  // one per begin: the thread polls each at most once
  int interrupt_fd = -1;
  bool started = false;
  UTL_thread thread{};
  UTL_thread_id id{};
  UTL_thread_join_rec join{};
  unsigned event_type = 0;
};
ready_watch_state g_watch;

void* watch_thread(void*) {
  ready_watch_state& w = g_watch;
  std::unique_lock<std::mutex> hold(w.lock);
  uint64_t seen = 0;
  for (;;) {
    w.changed.wait(hold, [&] { return w.quit || (w.armed && w.generation != seen); });
    if (w.quit) return nullptr;
    seen = w.generation;
    std::vector<pollfd> fds = w.fds;
    fds.push_back({w.interrupt_fd, POLLIN, 0});
    w.polling = true;
    hold.unlock();
    int ready = poll(fds.data(), fds.size(), -1);
    hold.lock();
    w.polling = false;
    // Ready beyond the interrupt: the frame has work.
    if (ready > 0 && fds.back().revents == 0 && w.armed) {
      SDL_Event e = {};
      e.type = w.event_type;
      SDL_PushEvent(&e);
    }
    w.changed.notify_all();
  }
}

}  // namespace

unsigned PLAT_ready_event_type() {
  if (!g_watch.event_type) g_watch.event_type = SDL_RegisterEvents(1);
  return g_watch.event_type;
}

void PLAT_ready_watch_begin(const pollfd* fds, int count) {
  ready_watch_state& w = g_watch;
  PLAT_ready_event_type();
  if (!w.started) {
    w.interrupt_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (w.interrupt_fd < 0) return;  // then the wait is a plain one
    w.quit = false;
    THREAD_create(watch_thread, nullptr, &w.thread, &w.id, &w.join, 0);
    w.started = true;
  }
  std::lock_guard<std::mutex> hold(w.lock);
  w.fds.assign(fds, fds + count);
  for (pollfd& p : w.fds) p.revents = 0;
  w.armed = true;
  ++w.generation;
  w.changed.notify_all();
}

void PLAT_ready_watch_end() {
  ready_watch_state& w = g_watch;
  if (!w.started) return;
  std::unique_lock<std::mutex> hold(w.lock);
  w.armed = false;
  if (w.polling) {
    const uint64_t one = 1;
    (void)!write(w.interrupt_fd, &one, sizeof one);
    w.changed.wait(hold, [&] { return !w.polling; });
  }
  uint64_t count;
  (void)!read(w.interrupt_fd, &count, sizeof count);
}

void PLAT_ready_watch_shutdown() {
  ready_watch_state& w = g_watch;
  if (!w.started) return;
  PLAT_ready_watch_end();
  {
    std::lock_guard<std::mutex> hold(w.lock);
    w.quit = true;
    w.changed.notify_all();
  }
  UTL_thread_join(w.thread, w.join);
  close(w.interrupt_fd);
  w.interrupt_fd = -1;
  w.started = false;
}
