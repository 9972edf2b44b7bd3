// The debugging registries: statistics waiting for init_stats, then filed by
// kind; remote commands numbered in order of construction.
#include "core/stats.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include <gtest/gtest.h>

namespace {

// Made during static construction, like the modules' own statistics.
float g_pool_total = 3.5f;
UTL_stat g_bound(&g_pool_total, "test/pool_total", stat_memory);
UTL_stat g_own("test/kills", stat_perf, 7.0f);

// Each test starts before init_stats and init_remote_cmds, as a program does.
class Stats : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    g_own.own_value = 7.0f;
    UTL_stat::reset_registry();
    UTL_remote_cmd::reset_remote_cmds();
  }
};

TEST_F(Stats, StatisticsWaitForInitStatsThenAreFiledByKind) {
  // The two made during static construction (and any a linked module made).
  EXPECT_FALSE(stat_initialized);
  bool bound_waits = false, own_waits = false;
  for (UTL_stat* s = waiting; s; s = s->next) {
    bound_waits |= s == &g_bound;
    own_waits |= s == &g_own;
  }
  EXPECT_TRUE(bound_waits);
  EXPECT_TRUE(own_waits);
  EXPECT_EQ(all_stats().count(stat_perf), 0u);
  EXPECT_EQ(g_bound.value, &g_pool_total);
  EXPECT_EQ(g_own.value, &g_own.own_value);
  EXPECT_EQ(*g_own.value, 7.0f);

  UTL_stat::init_stats();
  EXPECT_TRUE(stat_initialized);
  EXPECT_EQ(all_stats()[stat_memory].count(&g_bound), 1u);
  EXPECT_EQ(all_stats()[stat_perf].count(&g_own), 1u);
  EXPECT_EQ(all_stats()[stat_memory].count(&g_own), 0u);

  // After init_stats a new statistic goes straight into the registry.
  size_t render_before = all_stats()[stat_render].size();
  UTL_stat late("test/late", stat_render, 1.0f);
  EXPECT_EQ(all_stats()[stat_render].count(&late), 1u);
  EXPECT_NE(waiting, &late);

  // Publishing again keeps a single entry.
  size_t n = all_stats()[stat_perf].size();
  g_own.publish();
  late.publish();
  EXPECT_EQ(all_stats()[stat_perf].size(), n);
  EXPECT_EQ(all_stats()[stat_render].size(), render_before + 1);

  // A reset clears own values of that kind only; outside floats belong to
  // their modules.
  UTL_stat::reset_stats(stat_perf);
  EXPECT_EQ(g_own.own_value, 0.0f);
  EXPECT_EQ(late.own_value, 1.0f);
  UTL_stat::reset_stats(stat_memory);
  EXPECT_EQ(g_pool_total, 3.5f);
  const UTL_stat_type unused = static_cast<UTL_stat_type>(99);
  UTL_stat::reset_stats(unused);  // a kind nobody uses: nothing happens
  EXPECT_EQ(all_stats().count(unused), 0u);
}

TEST_F(Stats, PublishBeforeInitStatsFilesAtOnce) {
  UTL_stat s("test/early", stat_perf, 0.0f);
  EXPECT_EQ(waiting, &s);
  s.publish();
  EXPECT_EQ(all_stats()[stat_perf].count(&s), 1u);
  EXPECT_EQ(all_stats()[stat_perf].count(&g_own), 0u) << "the others still wait";
}

bool is_waiting(const UTL_stat* stat) {
  for (UTL_stat* s = waiting; s; s = s->next)
    if (s == stat) return true;
  return false;
}

// A stat that went away is looked for by the address it had, kept as a
// number: a pointer to it would dangle.
UTL_stat* at(std::uintptr_t address) { return reinterpret_cast<UTL_stat*>(address); }

TEST_F(Stats, StatisticsAndCommandsThatGoAwayLeaveNoTrace) {
  std::uintptr_t gone = 0;
  {
    UTL_stat early("test/early", stat_perf, 0.0f);
    gone = reinterpret_cast<std::uintptr_t>(&early);
    EXPECT_TRUE(is_waiting(at(gone)));
  }
  EXPECT_FALSE(is_waiting(at(gone)));
  EXPECT_TRUE(is_waiting(&g_own)) << "the rest of the list stays linked";

  UTL_stat::init_stats();
  {
    UTL_stat late("test/late", stat_render, 0.0f);
    gone = reinterpret_cast<std::uintptr_t>(&late);
    EXPECT_EQ(all_stats()[stat_render].count(&late), 1u);
  }
  EXPECT_EQ(all_stats()[stat_render].count(at(gone)), 0u);

  UTL_remote_cmd* before = UTL_remote_cmd::cmd_list;
  { UTL_remote_cmd passing("Passing", nullptr); }
  EXPECT_EQ(UTL_remote_cmd::cmd_list, before);
}

int g_calls[4];
void first_cmd() { ++g_calls[1]; }
void second_cmd() { ++g_calls[2]; }
void third_cmd() { ++g_calls[3]; }

TEST_F(Stats, RemoteCommandsAreInvokedById) {
  std::fill(std::begin(g_calls), std::end(g_calls), 0);
  int base = UTL_remote_cmd::free_id;
  UTL_remote_cmd a("Reload Pixel Shaders...", first_cmd);
  UTL_remote_cmd b("Dump Memory Info", second_cmd);
  UTL_remote_cmd c("Third", third_cmd);
  EXPECT_EQ(a.id, base);
  EXPECT_EQ(b.id, base + 1);
  EXPECT_EQ(c.id, base + 2);
  EXPECT_EQ(UTL_remote_cmd::free_id, base + 3);
  EXPECT_EQ(UTL_remote_cmd::cmd_list, &c);
  EXPECT_EQ(c.next, &b);

  UTL_remote_cmd::invoke(nullptr, base + 1);
  EXPECT_EQ(g_calls[1], 0);
  EXPECT_EQ(g_calls[2], 1);
  EXPECT_EQ(g_calls[3], 0);
  UTL_remote_cmd::invoke(nullptr, base + 50);  // no such id
  UTL_remote_cmd::invoke(nullptr, 0);
  EXPECT_EQ(g_calls[1] + g_calls[2] + g_calls[3], 1);
  UTL_remote_cmd::invoke(nullptr, base);
  EXPECT_EQ(g_calls[1], 1);

  EXPECT_FALSE(UTL_remote_cmd::inited);
  UTL_remote_cmd::init_remote_cmds();
  EXPECT_TRUE(UTL_remote_cmd::inited);
}

}  // namespace
