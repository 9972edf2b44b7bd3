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
  static UTL_stat_registry registry;
  return registry;
}

UTL_stat::UTL_stat(float* outside_value, const char* stat_name, UTL_stat_type kind)
    : own_value(0.0f), type(kind), next(nullptr), value(outside_value), name(stat_name) {
  enroll();
}

UTL_stat::UTL_stat(const char* stat_name, UTL_stat_type kind, float initial)
    : own_value(initial), type(kind), next(nullptr), value(&own_value), name(stat_name) {
  enroll();
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

void UTL_remote_cmd::invoke(void* /*context*/, int wanted) {
  for (UTL_remote_cmd* c = cmd_list; c; c = c->next)
    if (c->id == wanted) {
      if (c->func) c->func();
      return;
    }
}

void UTL_remote_cmd::init_remote_cmds() { inited = true; }

// The profiler's hooks stay empty in this build; callers mark sections anyway.
void UTL_profiler_init() {}
void UTL_profiler_start(const char* /*section*/) {}
void UTL_profiler_stop() {}
