// The debugging registries (statistics by kind, remote commands by id) and
// the profiler's marks, which do nothing in this build.
#include "core/stats.h"

// Plain pointers and flags are constant-initialised, so they are valid when
// another module's static constructor registers before this unit's turn.
UTL_stat* waiting = nullptr;
bool stat_initialized = false;

UTL_remote_cmd* UTL_remote_cmd::cmd_list = nullptr;
int UTL_remote_cmd::free_id = 1;
bool UTL_remote_cmd::inited = false;

UTL_stat_registry& all_stats() {
  // Never destroyed: statistics of static duration leave it in their
  // destructors, after a function static would be gone.
  static UTL_stat_registry* registry = new UTL_stat_registry;
  return *registry;
}

UTL_stat::UTL_stat(float* outside_value, const char* stat_name, UTL_stat_type kind)
    : own_value(0.0f), type(kind), next(nullptr), value(outside_value), name(stat_name) {
  enroll();
}

UTL_stat::UTL_stat(const char* stat_name, UTL_stat_type kind, float initial)
    : own_value(initial), type(kind), next(nullptr), value(&own_value), name(stat_name) {
  enroll();
}

UTL_stat::~UTL_stat() {
  for (UTL_stat** link = &waiting; *link; link = &(*link)->next)
    if (*link == this) {
      *link = next;
      break;
    }
  auto it = all_stats().find(type);
  if (it != all_stats().end()) it->second.erase(this);
}

void UTL_stat::enroll() {
  if (stat_initialized) {
    all_stats()[type].insert(this);
  } else {
    next = waiting;
    waiting = this;
  }
}

void UTL_stat::init_stats() {
  // The waiting list stays linked: nothing reads it afterwards, and a stat
  // never leaves it.
  for (UTL_stat* s = waiting; s; s = s->next) all_stats()[s->type].insert(s);
  stat_initialized = true;
}

void UTL_stat::reset_registry() {
  // Those made after init_stats never waited: they join the list now.
  for (auto& kind : all_stats())
    for (UTL_stat* s : kind.second) {
      bool listed = false;
      for (UTL_stat* w = waiting; w && !listed; w = w->next) listed = w == s;
      if (!listed) {
        s->next = waiting;
        waiting = s;
      }
    }
  all_stats().clear();
  stat_initialized = false;
}

void UTL_stat::publish() { all_stats()[type].insert(this); }

void UTL_stat::reset_stats(UTL_stat_type kind) {
  auto it = all_stats().find(kind);
  if (it == all_stats().end()) return;
  // Only the statistic's own value: an outside float belongs to its module.
  for (UTL_stat* s : it->second) s->own_value = 0.0f;
}

UTL_remote_cmd::UTL_remote_cmd(const char* cmd_name, cmd_func f)
    : next(cmd_list), func(f), name(cmd_name), id(free_id++) {
  cmd_list = this;
}

UTL_remote_cmd::~UTL_remote_cmd() {
  for (UTL_remote_cmd** link = &cmd_list; *link; link = &(*link)->next)
    if (*link == this) {
      *link = next;
      break;
    }
}

void UTL_remote_cmd::invoke(void* /*context*/, int wanted) {
  for (UTL_remote_cmd* c = cmd_list; c; c = c->next)
    if (c->id == wanted) {
      if (c->func) c->func();
      return;
    }
}

void UTL_remote_cmd::init_remote_cmds() { inited = true; }

void UTL_remote_cmd::reset_remote_cmds() { inited = false; }

// The profiler's hooks stay empty in this build; callers mark sections anyway.
void UTL_profiler_init() {}
void UTL_profiler_start(const char* /*section*/) {}
void UTL_profiler_stop() {}
