// A whole install from nginx on loopback, frame by frame, beside curl
// (four parallel transfers), Python's zipfile and md5sum doing the same work;
// then the examination of the installed tree beside md5sum over it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
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

// The set: NIMBREL_INSTALL_BENCH_FILES files (2,000 by default) from 1 KB to
// 20 MB, about 1 GB, even ones text, odd ones random, made by the tests'
// mirror script. Run it by hand (as root or where nginx may listen on port
// 80 of 127.0.12.20); it writes a few GB under $TMPDIR and removes them.
namespace {

const char* const kAddress = "127.0.12.20";

struct bench_set {
  std::string root;  // ends in "/"
  size_t files = 0;
  double bytes = 0;
  std::unique_ptr<net_peers::Peer> server;
};

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
void timed(benchmark::State& state, const char* label, Work work) {
  sync();
  const double self0 = cpu_seconds(RUSAGE_SELF), kids0 = cpu_seconds(RUSAGE_CHILDREN);
  const auto start = std::chrono::steady_clock::now();
  bool ok = work();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure m{wall, cpu_seconds(RUSAGE_SELF) - self0 + cpu_seconds(RUSAGE_CHILDREN) - kids0};
  if (!ok) state.SkipWithError(label);
  state.SetIterationTime(wall);
  state.counters["cpu_s"] = m.cpu;
  g_results[label] = m;
}

const bench_set& the_set() {
  static bench_set s;
  if (!s.root.empty()) return s;
  s.root = testing_support::make_temp_dir("install-bench");
  const char* count_text = getenv("NIMBREL_INSTALL_BENCH_FILES");
  const int count = count_text ? atoi(count_text) : 2000;
  std::string plan = "{\"set\": \"" + s.root + "www/v1\", \"manifest\": \"" + s.root +
                     "directory.txt\", \"expect\": \"" + s.root + "expect\", \"files\": [";
  for (int i = 0; i < count; ++i) {
    // Sizes from 1 KB to 20 MB, most of them small: about 1 GB for 2,000.
    const double t = count > 1 ? double(i) / (count - 1) : 0.0;
    const size_t size = static_cast<size_t>(1000.0 * std::pow(20000.0, std::pow(t, 4.5)));
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
  s.server = std::make_unique<net_peers::Peer>(net_peers::nginx_argv(s.root, kAddress), kAddress,
                                               80, s.root + "nginx.out");
  if (!s.server->ready()) {
    fprintf(stderr, "%s\n", s.server->failure().c_str());
    abort();
  }
  return s;
}

// The install the benchmarks run, reporting through the program's block.
install_state g_bench(stg);

bool tree_matches(const std::string& dest) {
  int status = 0;
  testing_support::run_command(
      "cd '" + dest + "' && md5sum -c --quiet '" + the_set().root + "expect.md5' >/dev/null 2>&1",
      &status);
  return status == 0;
}

void BM_install_ours(benchmark::State& state) {
  const bench_set& s = the_set();
  for (auto _ : state) {
    testing_support::run_command("rm -rf '" + s.root + "ours' '" + s.root + "tmp' && mkdir '" +
                                 s.root + "tmp'");
    g_bench.temp_path = s.root + "tmp/";
    g_bench.dest_dir_path = s.root + "ours/";
    g_bench.server_name[0] = kAddress;
    g_bench.server_path[0] = "/v1/";
    stg.server_count = 1;
    stg.server_index = 0;
    stg.download_os = platform_linux;
    stg.stream_count = 0;
    stg.rename_folder = 0;
    timed(state, "install_ours", [&] {
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
    });
    if (!tree_matches(g_bench.dest_dir_path)) state.SkipWithError("installed tree differs");
  }
  state.SetBytesProcessed(int64_t(s.bytes));
}

void BM_install_pipeline(benchmark::State& state) {
  const bench_set& s = the_set();
  // One curl configuration: every archive, four transfers at a time.
  std::ifstream expect(s.root + "expect.md5");
  std::ofstream config(s.root + "curl.cfg");
  for (std::string sig, path; expect >> sig >> path;)
    config << "url = \"http://" << kAddress << "/v1/All/" << path << ".zip\"\noutput = \"" << s.root
           << "pipe_zip/" << path << ".zip\"\n";
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
    timed(state, "install_pipeline", [&] {
      int status = 0;
      testing_support::run_command(
          "curl -s --no-progress-meter --fail --parallel --parallel-max 4 --create-dirs -K '" +
              s.root + "curl.cfg'",
          &status);
      if (status != 0) return false;
      testing_support::run_command(
          "python3 '" + s.root + "unpack.py' '" + s.root + "pipe_zip' '" + s.root + "pipe'",
          &status);
      return status == 0 && tree_matches(s.root + "pipe/");
    });
  }
  state.SetBytesProcessed(int64_t(s.bytes));
}

// The installed tree read against the manifest: every file hashed.
void examine(benchmark::State& state, const char* label) {
  const bench_set& s = the_set();
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

void BM_examine_ours_one_thread(benchmark::State& state) { examine(state, "examine_one_thread"); }

void BM_examine_ours_workers(benchmark::State& state) {
  if (!THREAD_worker_count()) {
    THREAD_init();
    THREAD_make_workers();
  }
  examine(state, "examine_workers");
}

void BM_examine_md5sum(benchmark::State& state) {
  const bench_set& s = the_set();
  for (auto _ : state)
    timed(state, "examine_md5sum", [&] { return tree_matches(s.root + "ours/"); });
  state.SetBytesProcessed(int64_t(s.bytes));
}

}  // namespace

BENCHMARK(BM_install_ours)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_install_pipeline)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_examine_md5sum)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_examine_ours_one_thread)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_examine_ours_workers)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  xer.open("/dev/null");
  benchmark::RunSpecifiedBenchmarks();
  auto ratio = [](const char* ours, const char* theirs) {
    if (!g_results.count(ours) || !g_results.count(theirs)) return;
    const measure& a = g_results[ours];
    const measure& b = g_results[theirs];
    printf("%-20s / %-18s wall %.2f (%.2f s / %.2f s)  cpu %.2f (%.2f s / %.2f s)\n", ours, theirs,
           a.wall / b.wall, a.wall, b.wall, a.cpu / b.cpu, a.cpu, b.cpu);
  };
  ratio("install_ours", "install_pipeline");
  ratio("examine_one_thread", "examine_md5sum");
  ratio("examine_workers", "examine_md5sum");
  reset_streams(g_bench);
  if (THREAD_worker_count()) THREAD_shutdown();
  benchmark::Shutdown();
  testing_support::remove_temp_dirs();
  return 0;
}
