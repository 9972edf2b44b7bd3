// The global allocator and the memory report.
//
// Contents
//   [SECTION] Scaling and texts
//   [SECTION] The report file
//   [SECTION] The allocator
#include "core/memory/memory_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#ifndef NIMBREL_NO_ALLOCATOR
#include <mimalloc.h>
#endif

#include "core/globals.h"
#include "core/hooks.h"
#include "core/memory/allocator.h"
#include "tests/core/report_figure.h"
#include "tests/support/test_support.h"

using namespace testing_support;

// [SECTION] Scaling and texts

TEST(MemoryReport, ScalingTable) {
  struct Case {
    uint64_t bytes;
    uint64_t number;
    char suffix;
  } cases[] = {
      {0, 0, 'B'},
      {1433, 1433, 'B'},
      {1434, 1, 'K'},
      {1468006, 1433, 'K'},
      {1468007, 1, 'M'},
      {15032385536ULL, 14336, 'M'},  // exactly 14 GiB
      {15032385537ULL, 14, 'G'},
      {1ULL << 47, 131072, 'G'},  // a 64-bit address space gap, in full
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mem_to_number(c.bytes), c.number) << c.bytes;
    EXPECT_EQ(mem_to_suffix(c.bytes), c.suffix) << c.bytes;
  }
}

TEST(MemoryReport, SharingModeTexts) {
  const char* expected[] = {"Unknown",     "Copy-on-write",   "Private",        "Empty",  "Shared",
                            "True-Shared", "Private-Aliased", "Shared-Aliased", "Unknown"};
  for (int mode = 0; mode <= 8; ++mode) EXPECT_STREQ(sm_string(mode), expected[mode]) << mode;
  EXPECT_STREQ(sm_string(255), "Unknown");
}

TEST(MemoryReport, AllocatorStatisticsColumnsAreRead) {
  // The layout mimalloc prints: peak, total, freed, current, then unit and count.
  const std::string text =
      "heap stats:    peak      total      freed    current       unit      count   \n"
      "  reserved:   64.0 MiB   96.0 MiB   32.0 MiB   64.0 MiB                        \n"
      " committed:    1.5 GiB    2.0 GiB      0        1.5 GiB                        \n"
      "   touched:    512 B      512 B        0         12 B                          \n"
      "     reset:      0          0          0          0                            ok\n";
  struct Case {
    const char* label;
    uint64_t bytes;
  } cases[] = {{"reserved", 64ULL << 20}, {"committed", 3ULL << 29}, {"touched", 12}, {"reset", 0}};
  for (const Case& c : cases) {
    uint64_t v = 99;
    ASSERT_TRUE(mem_allocator_stat(text, c.label, &v)) << c.label;
    EXPECT_EQ(v, c.bytes) << c.label;
  }
  uint64_t v;
  EXPECT_FALSE(mem_allocator_stat(text, "segments", &v));
  EXPECT_FALSE(mem_allocator_stat("  reserved:   junk\n", "reserved", &v));
}

// [SECTION] The report file

namespace {

using report_testing::figure;

// Somewhere inside this program's own image, for the map's image column.
void inside_this_program() {}

// What the core's memory hook reports in the tests below: the platform layer
// reads the same from /proc (its own test compares them with the system).
mem_facts g_facts;

class MemoryReportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir("memreport");
    app_path = dir_;
    mem_report.reset();
    xer.open(dir_ + "Log.txt");
  }
  void TearDown() override {
    xer.close();
    app_path.clear();
    g_core_hooks = core_hooks{};
    g_facts = mem_facts{};
    mem_report.reset();
  }
  std::string report() { return read_file(dir_ + "MemoryLog.txt"); }
  std::string dir_;
};

}  // namespace

TEST_F(MemoryReportFile, TheSystemsFactsAreWrittenInTheirColumns) {
  const uint64_t page = sysconf(_SC_PAGESIZE);
  const uint64_t image = reinterpret_cast<uintptr_t>(&inside_this_program) & ~(page - 1);
  g_facts.vsize = 3ULL << 20;
  g_facts.rsize = 1400;
  g_facts.mem_free = 15ULL << 30;
  g_facts.swap_total = 2ULL << 20;
  g_facts.swap_free = 3ULL << 20;  // more free than there is: none counts as used
  mem_region code;
  code.lo = image;
  code.hi = image + 2 * page;
  memcpy(code.perms, "r-xp", 5);
  code.path = "/somewhere/else/prog";  // the image's own name wins
  code.private_bytes = 8192;
  code.shared_bytes = 4096;
  mem_region guard;
  guard.lo = image + 16 * page;
  guard.hi = image + 16 * page + (2ULL << 20);
  memcpy(guard.perms, "---p", 5);
  mem_region stack;
  stack.lo = 0x7ff000000000ULL;
  stack.hi = stack.lo + 0x21000;
  memcpy(stack.perms, "rw-p", 5);
  stack.path = "[stack]";
  stack.private_bytes = 0x21000;
  g_facts.regions = {code, guard, stack};
  g_core_hooks.read_memory_facts = [](mem_facts& facts) { facts = g_facts; };

  dump_mem_stats("facts");
  const std::string text = report();
  char gap[128], code_line[160], guard_line[160];
  snprintf(gap, sizeof gap, "        0x%016llX      %5llu%c               --------\n",
           static_cast<unsigned long long>(image + 2 * page),
           static_cast<unsigned long long>(mem_to_number(14 * page)), mem_to_suffix(14 * page));
  snprintf(code_line, sizeof code_line,
           "        0x%016llX      %5llu%c           8K     4K          not available (  0)       "
           "core_memory_test\n",
           static_cast<unsigned long long>(image),
           static_cast<unsigned long long>(mem_to_number(2 * page)), mem_to_suffix(2 * page));
  snprintf(guard_line, sizeof guard_line,
           "        0x%016llX          2M           0B     0B          not available (  0)       ",
           static_cast<unsigned long long>(guard.lo));
  const std::string expected[] = {
      "dump_mem_stats: facts\nLinux Info:\n",
      "    Vsize (reported):     3M      This is the total virtual address space used by Nimbrel "
      "(including empty regions).\n",
      "    Rsize:             1400B      This is the total amount of real RAM used by Nimbrel "
      "(virtual pages resident in RAM).\n",
      "    Free pages:          15G      This is the total free RAM on the machine.\n",
      "    Total Swap Pages:     2M\n    Avail Swap Pages:     3M\n    Used  Swap Pages:     0B\n",
      "    I will now print the entire map of virtual memory.\n",
      code_line,
      gap,
      guard_line,
      "        0x00007FF000000000        132K         132K     0B          not available (  0)  "
      "     [stack]\n",
      // The reserved region counts as free, not as used address space.
      "    Total vsize:       140K      This is the total non-empty virtual address space used by "
      "Nimbrel.\n",
      "    Total rsize:       144K",
      "    Shared rsize:        4K",
      "    Largest free:        2M",
      "    Total free:          2M",
  };
  size_t at = 0;
  for (const std::string& line : expected) {
    const size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order:\n" << line << "\nin\n" << text;
    at = found + line.size();
  }
}

TEST_F(MemoryReportFile, WithoutAReaderTheFiguresReadZeroAndTheMapIsEmpty) {
  dump_mem_stats("no reader");
  const std::string text = report();
  for (const char* line : {"    Vsize (reported):     0B", "    Rsize:                0B",
                           "    Free pages:           0B", "    Wired Pages:          0B",
                           "    Used  Swap Pages:     0B"})
    EXPECT_NE(text.find(std::string("\n") + line), std::string::npos) << line;
  EXPECT_NE(text.find("the count 0]\n    Total vsize:         0B"), std::string::npos) << text;
  EXPECT_NE(text.find("    Total gap:           0B"), std::string::npos);
}

TEST_F(MemoryReportFile, FirstReportTruncatesAndLaterOnesAppend) {
  write_file(dir_ + "MemoryLog.txt", "stale report from an earlier run\n");
  dump_mem_stats("first reason");
  std::string text = report();
  EXPECT_EQ(text.find("stale"), std::string::npos) << "the first report must truncate";
  EXPECT_EQ(text.rfind("dump_mem_stats: first reason\n", 0), 0u);
#ifdef NIMBREL_NO_ALLOCATOR
  EXPECT_NE(text.find("sanitizer's allocator"), std::string::npos);
#else
  EXPECT_NE(text.find("This version of Nimbrel is using the mimalloc allocator.\n"),
            std::string::npos);
  uint64_t n;
  char unit;
  ASSERT_TRUE(figure(text, "Total Alloc Space:", &n, &unit));
  EXPECT_GT(n, 0u);
  EXPECT_NE(text.find("Total Used Space:      0B     n/a with mimalloc"), std::string::npos);
#endif

  dump_mem_stats("Remote Commanded Dump");
  text = report();
  size_t first = text.find("dump_mem_stats: first reason\n");
  size_t second = text.find("dump_mem_stats: Remote Commanded Dump\n");
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  xer.close();
  EXPECT_NE(read_file(dir_ + "Log.txt")
                .find("OK check MemoryLog.txt! I just sent him a dump from first reason\n"),
            std::string::npos);
}

// [SECTION] The allocator

#ifdef NIMBREL_NO_ALLOCATOR
#define SKIP_WITHOUT_ALLOCATOR() GTEST_SKIP() << "the sanitizer's allocator serves this build"
#else
#define SKIP_WITHOUT_ALLOCATOR() (void)0
#endif

namespace {
// Out of reach of any machine, but below the allocator's own size limit.
volatile size_t g_huge = size_t{1} << 62;
int g_handler_calls = 0;
}  // namespace

TEST(Allocator, EveryFormIsServedByTheAllocator) {
  SKIP_WITHOUT_ALLOCATOR();
#ifndef NIMBREL_NO_ALLOCATOR
  struct alignas(256) Wide {
    char c[3];
  };
  int* one = new int(5);
  char* many = new char[100];
  int* quiet = new (std::nothrow) int[4];
  Wide* wide = new Wide;
  Wide* wides = new Wide[3];
  char* tagged = new (__FILE__, __LINE__) char[8];
  void* zero_a = ::operator new(0);
  void* zero_b = ::operator new(0);
  for (void* p : {static_cast<void*>(one), static_cast<void*>(many), static_cast<void*>(quiet),
                  static_cast<void*>(wide), static_cast<void*>(wides), static_cast<void*>(tagged),
                  zero_a, zero_b}) {
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(mi_is_in_heap_region(p));
  }
  EXPECT_EQ(reinterpret_cast<uintptr_t>(wide) % 256, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(wides) % 256, 0u);
  EXPECT_NE(zero_a, zero_b);
  // A block made elsewhere in the library (a string's buffer) comes from it too.
  std::string s(1000, 'x');
  EXPECT_TRUE(mi_is_in_heap_region(s.data()));
  delete one;
  delete[] many;
  delete[] quiet;
  delete wide;
  delete[] wides;
  delete[] tagged;
  ::operator delete(zero_a);
  ::operator delete (zero_b, size_t{0});
#endif
}

TEST(Allocator, NewHandlerIsCalledUntilItGivesUp) {
  SKIP_WITHOUT_ALLOCATOR();
  g_handler_calls = 0;
  std::set_new_handler([] {
    if (++g_handler_calls == 3) std::set_new_handler(nullptr);
  });
  EXPECT_THROW((void)::operator new(g_huge), std::bad_alloc);
  EXPECT_EQ(g_handler_calls, 3);
}

TEST(Allocator, NoThrowFormsYieldNullOnHugeSizes) {
  SKIP_WITHOUT_ALLOCATOR();
  std::set_new_handler(nullptr);
  EXPECT_EQ(::operator new(g_huge, std::nothrow), nullptr);
  EXPECT_EQ(::operator new[](g_huge, std::nothrow), nullptr);
  EXPECT_EQ(::operator new(g_huge, std::align_val_t(64), std::nothrow), nullptr);
  // A handler that throws is caught by the no-throw form.
  std::set_new_handler([] { throw std::bad_alloc(); });
  EXPECT_EQ(::operator new(g_huge, std::nothrow, __FILE__, __LINE__), nullptr);
  std::set_new_handler(nullptr);
}
