// The crash handler with the shell's map of the address space installed
// (this program has the shell's hooks): child processes that really crash,
// the stack walk and the memory check that follow the map.
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

#include "tests/core/crash_child.h"
#include "tests/support/test_support.h"

using namespace testing_support;

// ---------------------------------------------------------------------------
// Crashing children
// ---------------------------------------------------------------------------
// Not static: the stack dump names them through the dynamic symbol table.
volatile int g_zero = 0;
volatile bool g_stop_recursion = false;

// The null pointer comes from memory at run time, so the compiler cannot
// see the fault and drop or replace the store.
__attribute__((noinline)) void crash_null_deref() {
  volatile int* p = reinterpret_cast<volatile int*>(static_cast<uintptr_t>(g_zero));
  *p = 1;
}

__attribute__((noinline)) int crash_divide_by_zero() { return 7 / g_zero; }

// The frame's buffer escapes into each call, so the recursion can be
// neither a loop nor a tail call.
__attribute__((noinline)) int crash_deep_recursion(int depth, volatile char* below = nullptr) {
  volatile char pad[128];
  pad[0] = static_cast<char>(depth);
  if (g_stop_recursion) return below ? below[0] : 0;
  return crash_deep_recursion(depth + 1, pad) + pad[1];
}

using crash_testing::ChildResult;
using crash_testing::crash_child;
using crash_testing::numbered_lines;
using crash_testing::written_by;

TEST(CrashHandler, CrashingChildrenLeaveASymbolisedLogAndAbort) {
  if (UTL_sanitizer_owns_signals()) GTEST_SKIP() << "the sanitizer owns the fault signals";
  struct Case {
    const char* name;
    std::function<void()> body;
    const char* signal_line;
    const char* function;
  } cases[] = {
      {"null", [] { crash_null_deref(); }, "SEGV (Segmentation fault)\nSig no: 11,",
       "crash_null_deref"},
      {"divide", [] { crash_divide_by_zero(); }, "FPE (Floating point exception)\nSig no: 8,",
       "crash_divide_by_zero"},
      // The overflow hits the guard page: only the alternate stack can run the handler.
      {"recursion", [] { crash_deep_recursion(0); }, "SEGV (Segmentation fault)\nSig no: 11,",
       "crash_deep_recursion"},
  };
  for (const Case& c : cases) {
    ChildResult r = crash_child(c.body);
    EXPECT_EQ(r.term_signal, SIGABRT) << c.name;
    EXPECT_EQ(r.crash_log.rfind(c.signal_line, 0), 0u) << c.name << "\n" << r.crash_log;
    EXPECT_TRUE(std::regex_search(r.crash_log, std::regex("\nAddy: 0x[0-9a-f]{16}\n"))) << c.name;
    // Line 0 is the faulting instruction, in the named function of this program.
    std::regex first_line(
        std::string("\n  0\\) _Z[0-9]+") + c.function +
        "[^ ]* \\+ [0-9]+ \\(file and line unknown\\) \\(platform_crash_test \\+ [0-9]+\\)\n");
    EXPECT_TRUE(std::regex_search(r.crash_log, first_line)) << c.name << "\n" << r.crash_log;
    EXPECT_GE(numbered_lines(r.crash_log), 2) << c.name;
    EXPECT_EQ(r.log,
              "log header\nThis application has crashed.  Please send the file crash_log.txt to "
              "Tessaly Works.\n")
        << c.name;
  }
}

TEST(CrashHandler, DeepStackStopsAtOneHundredLines) {
  if (UTL_sanitizer_owns_signals()) GTEST_SKIP() << "the sanitizer owns the fault signals";
  ChildResult r = crash_child([] { crash_deep_recursion(0); });
  EXPECT_EQ(numbered_lines(r.crash_log), 100);
  EXPECT_NE(r.crash_log.find("\n 99) "), std::string::npos);
}

// ---------------------------------------------------------------------------
// Stack walk and symbol lines
// ---------------------------------------------------------------------------
TEST(StackWalk, FrameChainEndsWhereItStopsLeadingUpwards) {
  void* ret = reinterpret_cast<void*>(&crash_null_deref);
  // Chains in a stack array: each frame's caller a later element, or not.
  stack_frame frames[160];
  for (int i = 0; i < 160; ++i) frames[i] = {i + 1 < 160 ? &frames[i + 1] : nullptr, ret};
  struct Case {
    const char* name;
    std::function<void()> shape;
    void* pc;
    int lines;
  } cases[] = {
      {"deeper than 100", [] {}, nullptr, 100},
      {"deeper than 100 with pc", [] {}, ret, 100},
      {"loop", [&] { frames[1].caller = &frames[0]; }, nullptr, 2},
      {"null caller", [&] { frames[3].caller = nullptr; }, ret, 5},
      {"unmapped caller", [&] { frames[0].caller = reinterpret_cast<stack_frame*>(0x1000); },
       nullptr, 1},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 160; ++i) frames[i] = {i + 1 < 160 ? &frames[i + 1] : nullptr, ret};
    c.shape();
    std::string out = written_by([&](int fd) { UTL_dump_stack(fd, frames, c.pc); });
    EXPECT_EQ(numbered_lines(out), c.lines) << c.name << "\n" << out;
    EXPECT_EQ(out.rfind("  0) _Z16crash_null_derefv + 0", 0), 0u) << c.name;
  }
}

__attribute__((noinline)) void dump_from_here(int fd) {
  UTL_dump_stack(fd, nullptr, nullptr);
  g_stop_recursion = false;  // keeps the call above from being a tail call
}

TEST(StackWalk, WalkFromOwnFrameStartsAtItsCaller) {
  std::string out = written_by([](int fd) { dump_from_here(fd); });
  EXPECT_EQ(out.rfind("  0) _Z14dump_from_herei + ", 0), 0u) << out;
  EXPECT_GE(numbered_lines(out), 3);
}

// ---------------------------------------------------------------------------
// Memory helpers
// ---------------------------------------------------------------------------
TEST(MemoryHelpers, ValidMemoryFollowsTheMapAndItsRights) {
  const long page = sysconf(_SC_PAGESIZE);
  char* two = static_cast<char*>(
      mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(two, MAP_FAILED);
  int local = 0;
  static const char kReadOnly[] = "constant text";
  struct Case {
    const char* name;
    const void* start;
    size_t count;
    int read, write, valid;
  } cases[] = {
      {"stack variable", &local, sizeof local, 1, 1, 1},
      {"read-only data, read", kReadOnly, sizeof kReadOnly, 1, 0, 1},
      {"read-only data, write", kReadOnly, sizeof kReadOnly, 1, 1, 0},
      {"null page", nullptr, 4, 1, 0, 0},
      {"empty range anywhere", nullptr, 0, 1, 1, 1},
      {"two mapped pages", two, 2 * static_cast<size_t>(page), 1, 1, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UTL_valid_memory(c.start, c.count, c.read, c.write), c.valid) << c.name;
  munmap(two + page, page);  // a gap after the first page
  EXPECT_EQ(UTL_valid_memory(two, 2 * page, 1, 0), 0);
  EXPECT_EQ(UTL_valid_memory(two, page, 1, 1), 1);
  munmap(two, page);
}
