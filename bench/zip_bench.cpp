// Packing and unpacking one archive per file, beside Python's zipfile doing
// the same in one process, Info-ZIP run once per file, and zlib's inflate over
// the same deflated data (the ceiling for unpacking).
//
// The corpus: NIMBREL_ZIP_BENCH_FILES files (1,000 by default), sizes spread
// evenly on a log scale from 1 KB to 20 MB, even ones text, odd ones random.
// Run it by hand; it writes a few GB under $TMPDIR and removes them at the end.
#include <benchmark/benchmark.h>
#include <minizip/unzip.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Files/zip.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {

struct corpus {
  std::string root;  // ends in "/"
  std::vector<std::string> names;
  std::vector<size_t> sizes;
  size_t total = 0;
};

std::map<std::string, double> g_seconds;

int run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const corpus& the_corpus() {
  static corpus c;
  if (!c.root.empty()) return c;
  c.root = testing_support::make_temp_dir("zip-bench");
  if (c.root.empty()) abort();
  for (const char* sub : {"src", "ours", "ours_out", "py", "py_out", "iz", "iz_out"})
    mkdir((c.root + sub).c_str(), 0755);
  const char* count_text = getenv("NIMBREL_ZIP_BENCH_FILES");
  int count = count_text ? atoi(count_text) : 1000;
  static const char* const words[] = {"runway ",   "heading ", "altitude ", "flaps ",   "trim\n",
                                      "throttle ", "mixture ", "rudder ",   "aileron ", "gear\n"};
  unsigned seed = 12345;
  for (int i = 0; i < count; ++i) {
    double t = count > 1 ? double(i) / (count - 1) : 0.0;
    size_t size = static_cast<size_t>(1000.0 * std::pow(20000.0, t));
    std::string data;
    data.reserve(size + 16);
    while (data.size() < size) {
      seed = seed * 1103515245u + 12345u;
      if (i % 2 == 0)
        data += words[(seed >> 16) % 10];
      else
        data += static_cast<char>(seed >> 16);
    }
    data.resize(size);
    std::string name = "f" + std::to_string(i) + (i % 2 == 0 ? ".txt" : ".bin");
    std::ofstream(c.root + "src/" + name, std::ios::binary) << data;
    c.names.push_back(name);
    c.sizes.push_back(size);
    c.total += size;
  }
  return c;
}

void finish(benchmark::State& state, const char* label, double seconds) {
  state.SetIterationTime(seconds);
  state.SetBytesProcessed(static_cast<int64_t>(the_corpus().total));
  g_seconds[label] = seconds;
}

// Writes left dirty by the previous benchmark must not be charged to the next.
std::chrono::steady_clock::time_point settle_then_start() {
  sync();
  return std::chrono::steady_clock::now();
}

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_pack_ours(benchmark::State& state) {
  const corpus& c = the_corpus();
  for (auto _ : state) {
    auto start = settle_then_start();
    for (const std::string& n : c.names)
      if (file_to_zip(c.root + "src/" + n, c.root + "ours/" + n + ".zip"))
        state.SkipWithError("pack");
    finish(state, "pack_ours", since(start));
  }
}

void BM_unpack_ours(benchmark::State& state) {
  const corpus& c = the_corpus();
  for (auto _ : state) {
    auto start = settle_then_start();
    for (const std::string& n : c.names)
      if (zip_to_file(c.root + "ours/" + n + ".zip", c.root + "ours_out/"))
        state.SkipWithError("unpack");
    finish(state, "unpack_ours", since(start));
  }
}

void python(benchmark::State& state, const char* label, const std::string& body) {
  const corpus& c = the_corpus();
  std::string script = c.root + label + ".py";
  std::ofstream(script) << "import zipfile, sys, os\nroot = sys.argv[1]\nnames = sys.argv[2:]\n"
                        << body;
  std::vector<std::string> argv = {"python3", script, c.root};
  argv.insert(argv.end(), c.names.begin(), c.names.end());
  for (auto _ : state) {
    auto start = settle_then_start();
    if (run(argv) != 0) state.SkipWithError("python3");
    finish(state, label, since(start));
  }
}

void BM_pack_python(benchmark::State& state) {
  python(state, "pack_python",
         "for n in names:\n"
         "    with zipfile.ZipFile(root + 'py/' + n + '.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
         "        z.write(root + 'src/' + n, n)\n");
}

void BM_unpack_python(benchmark::State& state) {
  python(state, "unpack_python",
         "for n in names:\n"
         "    with zipfile.ZipFile(root + 'py/' + n + '.zip') as z:\n"
         "        z.extractall(root + 'py_out/')\n");
}

void BM_pack_infozip(benchmark::State& state) {
  const corpus& c = the_corpus();
  for (auto _ : state) {
    auto start = settle_then_start();
    for (const std::string& n : c.names)
      if (run({"zip", "-qjX", c.root + "iz/" + n + ".zip", c.root + "src/" + n}) != 0)
        state.SkipWithError("zip");
    finish(state, "pack_infozip", since(start));
  }
}

void BM_unpack_infozip(benchmark::State& state) {
  const corpus& c = the_corpus();
  for (auto _ : state) {
    auto start = settle_then_start();
    for (const std::string& n : c.names)
      if (run({"unzip", "-qo", c.root + "iz/" + n + ".zip", "-d", c.root + "iz_out"}) != 0)
        state.SkipWithError("unzip");
    finish(state, "unpack_infozip", since(start));
  }
}

// Raw inflate of every entry's deflated bytes, read into memory first: what
// unpacking would cost with no archive walk, no file I/O and no CRC. With
// with_crc set, the CRC of each output is computed as well, as unpacking must.
void inflate_all(benchmark::State& state, const char* label, bool with_crc) {
  const corpus& c = the_corpus();
  std::vector<std::string> deflated;
  for (const std::string& n : c.names) {
    unzFile uf = unzOpen64((c.root + "ours/" + n + ".zip").c_str());
    int method = 0, level = 0;
    unz_file_info64 info;
    if (!uf || unzGoToFirstFile(uf) != UNZ_OK ||
        unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        unzOpenCurrentFile2(uf, &method, &level, 1) != UNZ_OK) {
      state.SkipWithError("raw read");
      return;
    }
    std::string raw(info.compressed_size, '\0');
    unzReadCurrentFile(uf, &raw[0], static_cast<unsigned>(raw.size()));
    unzCloseCurrentFile(uf);
    unzClose(uf);
    deflated.push_back(std::move(raw));
  }
  std::vector<unsigned char> out(*std::max_element(c.sizes.begin(), c.sizes.end()));
  for (auto _ : state) {
    auto start = settle_then_start();
    uLong crc = 0;
    for (size_t i = 0; i < deflated.size(); ++i) {
      z_stream z = {};
      inflateInit2(&z, -MAX_WBITS);
      z.next_in = reinterpret_cast<Bytef*>(&deflated[i][0]);
      z.avail_in = static_cast<uInt>(deflated[i].size());
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(c.sizes[i]);
      if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate");
      inflateEnd(&z);
      if (with_crc) crc ^= crc32_z(0, out.data(), c.sizes[i]);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(crc);
    finish(state, label, since(start));
  }
}

void BM_inflate_zlib(benchmark::State& state) { inflate_all(state, "inflate_zlib", false); }
void BM_inflate_crc_zlib(benchmark::State& state) { inflate_all(state, "inflate_crc_zlib", true); }

}  // namespace

BENCHMARK(BM_pack_ours)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unpack_ours)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pack_python)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unpack_python)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pack_infozip)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_unpack_infozip)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_inflate_zlib)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_inflate_crc_zlib)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto ratio = [](const char* theirs, const char* ours) {
    if (g_seconds.count(theirs) && g_seconds.count(ours) && g_seconds[ours] > 0)
      printf("%-16s / %-12s = %.2f\n", theirs, ours, g_seconds[theirs] / g_seconds[ours]);
  };
  ratio("pack_python", "pack_ours");
  ratio("unpack_python", "unpack_ours");
  ratio("pack_infozip", "pack_ours");
  ratio("unpack_infozip", "unpack_ours");
  ratio("unpack_ours", "inflate_zlib");
  ratio("unpack_ours", "inflate_crc_zlib");
  benchmark::Shutdown();
  testing_support::remove_temp_dirs();
  return 0;
}
