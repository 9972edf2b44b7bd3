// libFuzzer harness of the zip reader: the input is an archive, written to a
// scratch folder and unpacked into it as a download would be, then cleared
// away. The folder comes from NIMBREL_FUZZ_SCRATCH (else one under /tmp).
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/globals.h"
#include "Files/zip.h"

namespace {

std::string g_dir;

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* scratch = getenv("NIMBREL_FUZZ_SCRATCH");
  std::string base = scratch && *scratch ? scratch : "/tmp";
  std::string pattern = base + "/zip-fuzz-XXXXXX";
  if (!mkdtemp(&pattern[0])) abort();
  g_dir = pattern + "/";
  xer.open(g_dir + "Log.txt");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string archive = g_dir + "in.zip", out = g_dir + "out/";
  FILE* f = fopen(archive.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(bytes, 1, size, f) != size) abort();
  fclose(f);
  mkdir(out.c_str(), 0755);
  std::string first;
  zip_to_file(archive, out, &first, 0);
  // The log is not what is fuzzed: it must not fill the disk.
  xer.seekp(0);
  nftw(out.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  return 0;
}
