// Debugging registries: named statistics by kind, remote commands by id, and
// the profiler's section marks (which do nothing in this build).
#pragma once

#include <map>
#include <set>

// The kind of a statistic: a debugging front end lists and resets by kind.
// Only the kinds our modules use are named.
enum UTL_stat_type : int {
  stat_memory = 0,  // memory totals
  stat_render = 2,  // per-frame drawing counts
  stat_perf = 4,    // culling counts
};

class UTL_stat {
 public:
  // Shows an outside float that its module keeps up to date.
  UTL_stat(float* outside_value, const char* name, UTL_stat_type type);
  // Holds its own value.
  UTL_stat(const char* name, UTL_stat_type type, float initial);
  // The registry owns nothing: a statistic that goes away takes itself out.
  ~UTL_stat();
  UTL_stat(const UTL_stat&) = delete;
  UTL_stat& operator=(const UTL_stat&) = delete;

  static void init_stats();
  void publish();
  static void reset_stats(UTL_stat_type type);
  // Back to before init_stats: the registry empty, every statistic still
  // alive waiting again.
  static void reset_registry();

  float own_value;
  UTL_stat_type type;
  UTL_stat* next;
  float* value;
  const char* name;

 private:
  void enroll();
};

typedef std::map<UTL_stat_type, std::set<UTL_stat*>> UTL_stat_registry;

// The registry by kind. A function, not a plain global, because modules make
// their statistics during static construction, in no fixed order with ours.
UTL_stat_registry& all_stats();
// Statistics made before init_stats, newest first.
extern UTL_stat* waiting;
extern bool stat_initialized;

class UTL_remote_cmd {
 public:
  typedef void (*cmd_func)();

  UTL_remote_cmd(const char* name, cmd_func func);
  ~UTL_remote_cmd();
  UTL_remote_cmd(const UTL_remote_cmd&) = delete;
  UTL_remote_cmd& operator=(const UTL_remote_cmd&) = delete;

  // Calls the function of the first command in the list with this id.
  static void invoke(void* context, int id);
  static void init_remote_cmds();
  // Back to before init_remote_cmds; the commands and their ids stay.
  static void reset_remote_cmds();
  void publish() {}

  UTL_remote_cmd* next;
  cmd_func func;
  const char* name;
  int id;

  static UTL_remote_cmd* cmd_list;  // newest first
  static int free_id;
  static bool inited;
};

// Section marks for an outside profiler; none is attached in this build.
void UTL_profiler_init();
void UTL_profiler_start(const char* section);
void UTL_profiler_stop();
