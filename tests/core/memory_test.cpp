// The global allocator and the memory report.
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
#include "core/memory/allocator.h"
#include "tests/support/test_support.h"

using namespace testing_support;

// ---------------------------------------------------------------------------
// Scaling and texts
// ---------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------
// The report file
// ---------------------------------------------------------------------------
namespace {

uint64_t status_bytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(std::string(key) + ":", 0) == 0)
      return strtoull(line.c_str() + strlen(key) + 1, nullptr, 10) * 1024;
  return 0;
}

// The scaled figure of a report line "    <label> <n><unit>...".
bool figure(const std::string& report, const std::string& label, uint64_t* number, char* unit) {
  size_t at = report.find("\n    " + label);
  if (at == std::string::npos) return false;
  std::istringstream rest(report.substr(at + 5 + label.size()));
  rest >> *number >> *unit;
  return !rest.fail();
}

}  // namespace

TEST(MemoryReport, FiguresMatchTheSystemAndSecondReportAppends) {
  std::string dir = make_temp_dir("memreport");
  app_path = dir;
  xer.open(dir + "Log.txt");
  write_file(dir + "MemoryLog.txt", "stale report from an earlier run\n");

  dump_mem_stats("first reason");
  const uint64_t vm_after = status_bytes("VmSize"), rss_after = status_bytes("VmRSS");
  std::string report = read_file(dir + "MemoryLog.txt");
  EXPECT_EQ(report.find("stale"), std::string::npos) << "the first report must truncate";
  EXPECT_EQ(report.rfind("dump_mem_stats: first reason\n", 0), 0u);

  uint64_t n;
  char unit;
  ASSERT_TRUE(figure(report, "Page size:", &n, &unit));
  const uint64_t page = sysconf(_SC_PAGESIZE);
  EXPECT_EQ(n, mem_to_number(page));
  EXPECT_EQ(unit, mem_to_suffix(page));
  struct Check {
    const char* label;
    uint64_t now;
  } checks[] = {{"Vsize (reported):", vm_after}, {"Rsize:", rss_after}};
  for (const Check& c : checks) {
    ASSERT_TRUE(figure(report, c.label, &n, &unit)) << c.label;
    EXPECT_EQ(unit, mem_to_suffix(c.now)) << c.label;
    // The process may have grown a little between the report and now.
    EXPECT_NEAR(static_cast<double>(n), static_cast<double>(mem_to_number(c.now)),
                0.05 * static_cast<double>(mem_to_number(c.now)) + 2)
        << c.label;
  }
  // The map lists this program's own image and the totals follow it.
  EXPECT_NE(report.find("core_memory_test"), std::string::npos);
  EXPECT_NE(report.find("[stack]"), std::string::npos);
  // No sharing mode is given where the system keeps none.
  for (const char* guess : {"Copy-on-write (", "Private (", "Empty (", "Shared ("})
    EXPECT_EQ(report.find(guess), std::string::npos) << guess;
  EXPECT_NE(report.find("  not available (  0)"), std::string::npos);
  ASSERT_TRUE(figure(report, "Total vsize:", &n, &unit));
  EXPECT_GT(n, 0u);
  EXPECT_NE(report.find("Total gap:"), std::string::npos);
#ifdef NIMBREL_NO_ALLOCATOR
  EXPECT_NE(report.find("sanitizer's allocator"), std::string::npos);
#else
  EXPECT_NE(report.find("This version of Nimbrel is using the mimalloc allocator.\n"),
            std::string::npos);
  ASSERT_TRUE(figure(report, "Total Alloc Space:", &n, &unit));
  EXPECT_GT(n, 0u);
  EXPECT_NE(report.find("Total Used Space:      0B     n/a with mimalloc"), std::string::npos);
#endif

  dump_mem_stats("Remote Commanded Dump");
  report = read_file(dir + "MemoryLog.txt");
  size_t first = report.find("dump_mem_stats: first reason\n");
  size_t second = report.find("dump_mem_stats: Remote Commanded Dump\n");
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  xer.close();
  EXPECT_NE(read_file(dir + "Log.txt")
                .find("OK check MemoryLog.txt! I just sent him a dump from first reason\n"),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// The allocator
// ---------------------------------------------------------------------------
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
