// The memory report's figures, read from /proc.
#include "platform/memory_facts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// A whole /proc file, read once for all the keys the report takes from it.
std::string proc_text(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The "Key:   1234 kB" line of a /proc file's text, in bytes.
uint64_t proc_kb(const std::string& text, const char* key) {
  std::istringstream in(text);
  std::string line;
  const size_t n = strlen(key);
  while (std::getline(in, line)) {
    if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
      return strtoull(line.c_str() + n + 1, nullptr, 10) * 1024ULL;
  }
  return 0;
}

std::vector<mem_region> read_regions() {
  std::vector<mem_region> out;
  std::ifstream in("/proc/self/smaps");
  std::string line;
  while (std::getline(in, line)) {
    unsigned long long lo, hi;
    char perms[5];
    int consumed = 0;
    if (sscanf(line.c_str(), "%llx-%llx %4s %*s %*s %*s%n", &lo, &hi, perms, &consumed) >= 3 &&
        line.find('-') < line.find(' ')) {
      mem_region r;
      r.lo = lo;
      r.hi = hi;
      memcpy(r.perms, perms, sizeof r.perms);
      size_t p = line.find_first_not_of(' ', static_cast<size_t>(consumed));
      if (consumed > 0 && p != std::string::npos) r.path = line.substr(p);
      out.push_back(r);
      continue;
    }
    if (out.empty()) continue;
    char key[64];
    unsigned long long kb;
    if (sscanf(line.c_str(), "%63[^:]: %llu kB", key, &kb) != 2) continue;
    if (!strcmp(key, "Private_Clean") || !strcmp(key, "Private_Dirty"))
      out.back().private_bytes += kb * 1024ULL;
    else if (!strcmp(key, "Shared_Clean") || !strcmp(key, "Shared_Dirty"))
      out.back().shared_bytes += kb * 1024ULL;
  }
  return out;
}

}  // namespace

void PLAT_read_memory_facts(mem_facts& facts) {
  const std::string status = proc_text("/proc/self/status");
  const std::string meminfo = proc_text("/proc/meminfo");
  facts.vsize = proc_kb(status, "VmSize");
  facts.rsize = proc_kb(status, "VmRSS");
  facts.mem_free = proc_kb(meminfo, "MemFree");
  facts.active = proc_kb(meminfo, "Active");
  facts.inactive = proc_kb(meminfo, "Inactive");
  // Linux's unevictable pages are what other systems call wired.
  facts.wired = proc_kb(meminfo, "Unevictable");
  facts.swap_total = proc_kb(meminfo, "SwapTotal");
  facts.swap_free = proc_kb(meminfo, "SwapFree");
  facts.regions = read_regions();
}
