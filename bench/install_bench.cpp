// Whole installs from nginx on loopback, frame by frame, each beside curl
// (four parallel transfers), Python's zipfile and md5sum doing the same work,
// on two sets: "large" (a few big files carry most of the bytes) and "small"
// (many files of a few hundred KB); then the examination of the installed
// large tree beside md5sum over it.
//
// Contents:
//   [SECTION] The sets
//   [SECTION] Timing
//   [SECTION] The installs
//   [SECTION] The examination
//   [SECTION] The run
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "tests/net/peers.h"
#include "tests/support/test_support.h"

// Run it by hand (as root or where nginx may listen on port 80 of the two
// addresses); a set is made, under $TMPDIR, only when a benchmark of it
// runs, and removed at the end: the large one takes a few GB.
namespace {

// [SECTION] The sets

// The large set: 1 KB to 20 MB, most of them small: about 1 GB for 2,000.
size_t large_size(int i, int count) {
  const double t = count > 1 ? double(i) / (count - 1) : 0.0;
  return static_cast<size_t>(1000.0 * std::pow(20000.0, std::pow(t, 4.5)));
}

// SplitMix64's finaliser: bench/window_bench.sh computes the same sizes.
uint64_t mix(uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
const uint64_t kSmallSeed = 24;

// The small set: log-uniform from 1 KB to 2 MB, about 260 MB for 1,000.
size_t small_size(int i, int) {
  const double u = double(mix(kSmallSeed + uint64_t(i)) >> 11) * 0x1p-53;
  return static_cast<size_t>(1000.0 * std::pow(2000.0, u));
}

struct set_law {
  const char* name;
  const char* address;    // its own nginx, port 80
  const char* count_var;  // the environment variable naming the count
  int count;
  size_t (*size_of)(int i, int count);
};
const set_law kLarge{"large", "127.0.12.20", "NIMBREL_INSTALL_BENCH_FILES", 2000, large_size};
const set_law kSmall{"small", "127.0.12.21", "NIMBREL_INSTALL_BENCH_SMALL_FILES", 1000, small_size};

struct bench_set {
  const set_law* law = nullptr;
  std::string root;  // ends in "/"
  size_t files = 0;
  double bytes = 0;
  bool installed = false;  // the engine's tree in root + "ours/" is whole
  std::unique_ptr<net_peers::Peer> server;
};

// Even files text (words, compressible), odd ones random, made by the
// tests' mirror script into root + "www/v1", with root + "directory.txt"
// and root + "expect.md5".
void make_set(bench_set& s, const set_law& law) {
  s.law = &law;
  s.root = testing_support::make_temp_dir(std::string("install-bench-") + law.name);
  const char* count_text = getenv(law.count_var);
  const int count = count_text ? atoi(count_text) : law.count;
  std::string plan = "{\"set\": \"" + s.root + "www/v1\", \"manifest\": \"" + s.root +
                     "directory.txt\", \"expect\": \"" + s.root + "expect\", \"files\": [";
  for (int i = 0; i < count; ++i) {
    const size_t size = law.size_of(i, count);
    s.bytes += double(size);
    plan += std::string(i ? ", " : "") + "{\"path\": \"All/d" + std::to_string(i % 20) + "/f" +
            std::to_string(i) + (i % 2 ? ".bin" : ".txt") +
            "\", \"size\": " + std::to_string(size) + ", \"seed\": " + std::to_string(i) +
            (i % 2 ? "" : ", \"words\": true") + "}";
  }
  plan += "]}";
  testing_support::write_file(s.root + "plan.json", plan);
  int status = 0;
  testing_support::run_command("python3 '" + std::string(NIMBREL_SOURCE_DIR) +
                                   "/tests/installer/update/make_mirror.py' '" + s.root +
                                   "plan.json'",
                               &status);
  if (status != 0) abort();
  s.files = size_t(count);
  fprintf(stderr, "%s set: %d files, %.0f bytes, at http://%s/v1/\n", law.name, count, s.bytes,
          law.address);
  s.server = std::make_unique<net_peers::Peer>(net_peers::nginx_argv(s.root, law.address),
                                               law.address, 80, s.root + "nginx.out");
  if (!s.server->ready()) {
    fprintf(stderr, "%s\n", s.server->failure().c_str());
    abort();
  }
}

bench_set& the_set(const set_law& law) {
  static bench_set large, small;
  bench_set& s = &law == &kLarge ? large : small;
  if (s.root.empty()) make_set(s, law);
  return s;
}

bool tree_matches(const bench_set& s, const std::string& dest) {
  int status = 0;
  testing_support::run_command(
      "cd '" + dest + "' && md5sum -c --quiet '" + s.root + "expect.md5' >/dev/null 2>&1", &status);
  return status == 0;
}

// [SECTION] Timing

struct measure {
  double wall = 0, cpu = 0;
};
std::map<std::string, measure> g_results;

double cpu_seconds(int who) {
  rusage u;
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Times a piece of work, wall and CPU (ours, and that of the children it ran).
template <typename Work>
void timed(benchmark::State& state, const std::string& label, Work work) {
  sync();
  const double self0 = cpu_seconds(RUSAGE_SELF), kids0 = cpu_seconds(RUSAGE_CHILDREN);
  const auto start = std::chrono::steady_clock::now();
  bool ok = work();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure m{wall, cpu_seconds(RUSAGE_SELF) - self0 + cpu_seconds(RUSAGE_CHILDREN) - kids0};
  if (!ok) state.SkipWithError(label.c_str());
  state.SetIterationTime(wall);
  state.counters["cpu_s"] = m.cpu;
  g_results[label] = m;
}

// The worker pool as the program starts it (platform/startup.cpp), or none.
void use_workers(bool on) {
  if (on && !THREAD_is_inited()) {
    THREAD_init();
    THREAD_make_workers();
  } else if (!on && THREAD_is_inited()) {
    THREAD_shutdown();
  }
}

// [SECTION] The installs

// The install the benchmarks run, reporting through the program's block.
install_state g_bench(stg);

// An empty destination and temporary folder, the set's mirror the only one.
void prepare_engine(bench_set& s) {
  s.installed = false;
  testing_support::run_command("rm -rf '" + s.root + "ours' '" + s.root + "tmp' && mkdir '" +
                               s.root + "tmp'");
  g_bench.temp_path = s.root + "tmp/";
  g_bench.dest_dir_path = s.root + "ours/";
  g_bench.server_name[0] = s.law->address;
  g_bench.server_path[0] = "/v1/";
  stg.server_count = 1;
  stg.server_index = 0;
  stg.download_os = platform_linux;
  stg.stream_count = 0;
  stg.rename_folder = 0;
}

// What the program does from INSTALL on, the frame's own step in a loop.
bool engine_install(const bench_set& s) {
  if (read_directory(g_bench, s.root + "directory.txt", "bench") != dir_read) return false;
  install_prepare(g_bench);
  if (!choose_files(g_bench)) return false;
  make_dirs(g_bench);
  install_start(g_bench);
  while (stg.install_phase == phase_installing) {
    xtim.xtim_update();
    install_frame_step(g_bench, 0.01);
  }
  return stg.install_error == 0 && g_bench.next.all_done == 1;
}

void BM_install_ours(benchmark::State& state, const set_law* law) {
  bench_set& s = the_set(*law);
  use_workers(true);
  for (auto _ : state) {
    prepare_engine(s);
    timed(state, std::string("install_ours_") + law->name, [&] { return engine_install(s); });
    s.installed = tree_matches(s, g_bench.dest_dir_path);
    if (!s.installed) state.SkipWithError("installed tree differs");
  }
  state.SetBytesProcessed(int64_t(s.bytes));
}

void BM_install_pipeline(benchmark::State& state, const set_law* law) {
  const bench_set& s = the_set(*law);
  // One curl configuration: every archive, four transfers at a time.
  std::ifstream expect(s.root + "expect.md5");
  std::ofstream config(s.root + "curl.cfg");
  for (std::string sig, path; expect >> sig >> path;)
    config << "url = \"http://" << law->address << "/v1/All/" << path << ".zip\"\noutput = \""
           << s.root << "pipe_zip/" << path << ".zip\"\n";
  config.close();
  testing_support::write_file(s.root + "unpack.py",
                              "import os, sys, zipfile\n"
                              "zips, out = sys.argv[1], sys.argv[2]\n"
                              "for folder, _, names in os.walk(zips):\n"
                              "    for n in names:\n"
                              "        rel = os.path.relpath(folder, zips)\n"
                              "        with zipfile.ZipFile(os.path.join(folder, n)) as z:\n"
                              "            z.extractall(os.path.join(out, rel))\n");
  for (auto _ : state) {
    testing_support::run_command("rm -rf '" + s.root + "pipe_zip' '" + s.root + "pipe'");
    timed(state, std::string("install_pipeline_") + law->name, [&] {
      int status = 0;
      testing_support::run_command(
          "curl -s --no-progress-meter --fail --parallel --parallel-max 4 --create-dirs -K '" +
              s.root + "curl.cfg'",
          &status);
      if (status != 0) return false;
      testing_support::run_command(
          "python3 '" + s.root + "unpack.py' '" + s.root + "pipe_zip' '" + s.root + "pipe'",
          &status);
      return status == 0 && tree_matches(s, s.root + "pipe/");
    });
  }
  state.SetBytesProcessed(int64_t(s.bytes));
}

// [SECTION] The examination

// The large set as the engine installed it; installed here, untimed, when
// its install benchmark did not run.
const bench_set& installed_large() {
  bench_set& s = the_set(kLarge);
  if (!s.installed) {
    use_workers(true);
    prepare_engine(s);
    s.installed = engine_install(s) && tree_matches(s, s.root + "ours/");
    if (!s.installed) abort();
  }
  return s;
}

// The installed tree read against the manifest: every file hashed, by the
// frame alone or with the workers.
void examine(benchmark::State& state, const char* label, bool workers) {
  const bench_set& s = installed_large();
  use_workers(workers);
  g_bench.dest_dir_path = s.root + "ours/";
  read_directory(g_bench, s.root + "directory.txt", "bench");  // the cache warm for everyone
  for (auto _ : state) {
    timed(state, label, [&] {
      if (read_directory(g_bench, s.root + "directory.txt", "bench") != dir_read) return false;
      return stg.disk_req == 0.0f;  // every file found current
    });
  }
  state.SetBytesProcessed(int64_t(s.bytes));
}

void BM_examine_ours_one_thread(benchmark::State& state) {
  examine(state, "examine_one_thread", false);
}

void BM_examine_ours_workers(benchmark::State& state) { examine(state, "examine_workers", true); }

void BM_examine_md5sum(benchmark::State& state) {
  const bench_set& s = installed_large();
  for (auto _ : state)
    timed(state, "examine_md5sum", [&] { return tree_matches(s, s.root + "ours/"); });
  state.SetBytesProcessed(int64_t(s.bytes));
}

void print_ratio(const std::string& ours, const std::string& theirs) {
  if (!g_results.count(ours) || !g_results.count(theirs)) return;
  const measure& a = g_results[ours];
  const measure& b = g_results[theirs];
  printf("%-20s / %-24s wall %.2f (%.2f s / %.2f s)  cpu %.2f (%.2f s / %.2f s)\n", ours.c_str(),
         theirs.c_str(), a.wall / b.wall, a.wall, b.wall, a.cpu / b.cpu, a.cpu, b.cpu);
}

}  // namespace

// [SECTION] The run

int main(int argc, char** argv) {
  // Registered here, in this order: each install beside its peer, the
  // examination last, on the tree the large install left.
  const set_law* const laws[] = {&kLarge, &kSmall};
  const struct {
    const char* name;
    void (*run)(benchmark::State&, const set_law*);
  } installs[] = {{"BM_install_ours_", BM_install_ours},
                  {"BM_install_pipeline_", BM_install_pipeline}};
  for (const set_law* law : laws)
    for (const auto& install : installs)
      benchmark::RegisterBenchmark((std::string(install.name) + law->name).c_str(), install.run,
                                   law)
          ->UseManualTime()
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
  const struct {
    const char* name;
    void (*run)(benchmark::State&);
  } examinations[] = {{"BM_examine_md5sum", BM_examine_md5sum},
                      {"BM_examine_ours_one_thread", BM_examine_ours_one_thread},
                      {"BM_examine_ours_workers", BM_examine_ours_workers}};
  for (const auto& examination : examinations)
    benchmark::RegisterBenchmark(examination.name, examination.run)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);

  benchmark::Initialize(&argc, argv);
  xer.open("/dev/null");
  benchmark::RunSpecifiedBenchmarks();
  for (const set_law* law : laws)
    print_ratio(std::string("install_ours_") + law->name,
                std::string("install_pipeline_") + law->name);
  print_ratio("examine_one_thread", "examine_md5sum");
  print_ratio("examine_workers", "examine_md5sum");
  reset_streams(g_bench);
  use_workers(false);
  benchmark::Shutdown();
  testing_support::remove_temp_dirs();
  return 0;
}
