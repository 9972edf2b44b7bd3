// The crash handler on the ground floor alone: the signal lines, the symbol
// lines and the hex dump, and what the stack walk and the memory check do
// with the map of the address space the hook gives them (none by default;
// the shell's real map is tested with the shell, tests/platform/crash_test).
#include "core/memory/crash.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <regex>
#include <string>

#include "core/hooks.h"
#include "tests/core/crash_child.h"
#include "tests/support/test_support.h"

using namespace testing_support;

// Not static: the symbol lines name it through the dynamic symbol table.
volatile int g_zero = 0;
__attribute__((noinline)) int crash_divide_by_zero() { return 7 / g_zero; }

using crash_testing::ChildResult;
using crash_testing::crash_child;
using crash_testing::numbered_lines;
using crash_testing::written_by;

TEST(CrashHandler, UnknownSignalIsNamedByNumber) {
  ChildResult r = crash_child([] { fatal_signal_handler(40, nullptr, nullptr); });
  EXPECT_EQ(r.term_signal, SIGABRT);
  EXPECT_EQ(r.crash_log.rfind("An unknown signal 40 has been caught.\nSig no: 40, sig err: 0,", 0),
            0u)
      << r.crash_log;
}

TEST(CrashHandler, SecondReportAppends) {
  std::string dir = make_temp_dir("crash-append");
  write_file(dir + "crash_log.txt", "earlier crash\n");
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(2);
    siginfo_t info{};
    info.si_signo = SIGBUS;
    fatal_signal_handler(SIGBUS, &info, nullptr);
  }
  int status;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
  EXPECT_EQ(read_file(dir + "crash_log.txt").rfind("earlier crash\nBUS (Bus error)\n", 0), 0u);
}

// ---------------------------------------------------------------------------
// Stack walk and symbol lines
// ---------------------------------------------------------------------------
TEST(StackWalk, SymbolLineNamesFunctionAndImage) {
  const char* fn = reinterpret_cast<const char*>(&crash_divide_by_zero);
  std::string line = written_by([&](int fd) { print_symbol(fd, fn + 4); });
  EXPECT_TRUE(std::regex_match(
      line, std::regex("_Z20crash_divide_by_zerov \\+ 4 \\(file and line unknown\\) "
                       "\\(core_crash_test \\+ [0-9]+\\)\n")))
      << line;
  line = written_by([](int fd) { print_symbol(fd, reinterpret_cast<void*>(0x10)); });
  EXPECT_EQ(line, "0x0000000000000010 (?\?\?)\n");
}

namespace {

// The hook's map for one test: its regions, lowest first, each readable.
struct fake_map {
  struct region {
    uintptr_t lo, hi;
    bool writable;
  };
  static const region* regions;
  static int count;
  static void walk(memory_region_visitor visit, void* context) {
    for (int i = 0; i < count; ++i)
      if (!visit(regions[i].lo, regions[i].hi, true, regions[i].writable, context)) return;
  }
};
const fake_map::region* fake_map::regions = nullptr;
int fake_map::count = 0;

}  // namespace

TEST(StackWalk, WithoutAMapOnlyTheFaultingInstructionIsListed) {
  ASSERT_EQ(g_core_hooks.walk_memory_map, &core_hook_defaults::walk_memory_map);
  stack_frame frames[4];
  void* ret = reinterpret_cast<void*>(&crash_divide_by_zero);
  for (int i = 0; i < 4; ++i) frames[i] = {i + 1 < 4 ? &frames[i + 1] : nullptr, ret};
  std::string out = written_by([&](int fd) { UTL_dump_stack(fd, frames, ret); });
  EXPECT_EQ(out.rfind("  0) _Z20crash_divide_by_zerov + 0 ", 0), 0u) << out;
  EXPECT_EQ(numbered_lines(out), 1) << out;
  int local = 0;
  EXPECT_EQ(UTL_valid_memory(&local, sizeof local, 1, 0), 0);
  EXPECT_EQ(UTL_valid_memory(nullptr, 0, 1, 1), 1);
}

TEST(MemoryHelpers, ValidMemoryFollowsTheHooksMap) {
  static const fake_map::region regions[] = {
      {0x1000, 0x2000, true}, {0x2000, 0x3000, false}, {0x4000, 0x5000, true}};
  fake_map::regions = regions;
  fake_map::count = sizeof regions / sizeof regions[0];
  g_core_hooks.walk_memory_map = fake_map::walk;
  struct Case {
    const char* name;
    uintptr_t start;
    size_t count;
    int write, valid;
  } cases[] = {
      {"inside one region", 0x1100, 0x10, 1, 1},
      {"across two regions, read", 0x1f00, 0x200, 0, 1},
      {"across two regions, write", 0x1f00, 0x200, 1, 0},
      {"into the gap", 0x2f00, 0x200, 0, 0},
      {"in the gap", 0x3100, 0x10, 0, 0},
      {"below the map", 0x10, 0x10, 0, 0},
      {"past the map", 0x4f00, 0x200, 0, 0},
      {"wrapping round", 0x4000, SIZE_MAX, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UTL_valid_memory(reinterpret_cast<const void*>(c.start), c.count, 1, c.write),
              c.valid)
        << c.name;
  g_core_hooks.walk_memory_map = core_hook_defaults::walk_memory_map;
}

// ---------------------------------------------------------------------------
// Memory helpers
// ---------------------------------------------------------------------------
TEST(MemoryHelpers, HexDumpRows) {
  const char bytes[] = "ABCDEFGHIJKLMNOP\x01RST";
  std::string out = written_by([&](int fd) { dump_hex(fd, bytes, 20); });
  EXPECT_EQ(out,
            " 41424344 45464748 494A4B4C 4D4E4F50     ABCD EFGH IJKL MNOP\n"
            " 01525354                                .RST               \n");
  EXPECT_EQ(written_by([&](int fd) { dump_hex(fd, bytes, 0); }), "");
}
