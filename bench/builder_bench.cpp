// The install-set builder packing a master copy of 2,000 files (about 1 GB)
// beside Python's zipfile packing the same files one archive per file in
// one process. Run it by hand: it writes about 2 GB under $TMPDIR and
// removes them.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "core/globals.h"
#include "tests/support/test_support.h"

// NIMBREL_BUILDER_BENCH_FILES files (2,000 by default) from 1 KB to 20 MB,
// most of them small, even ones text and odd ones random, beside the small
// master the builder's tests use for the folders and files it requires.
namespace {

const char* const kMakeFiles = R"(
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
words = b"the quick brown fox jumps over lazy dogs while nimble engines hum along ".split()
rng = random.Random(16)
pool = b" ".join(rng.choice(words) for _ in range(5_000_000))
total = 0
for i in range(count):
    t = i / (count - 1) if count > 1 else 0.0
    size = int(1000.0 * 20000.0 ** (t ** 4.5))
    if i % 2:
        data = random.Random(i).randbytes(size)
    else:
        start = (i * 7919) % (len(pool) // 2)
        data = (pool[start:] * (size // (len(pool) - start) + 1))[:size]
    folder = os.path.join(root, "All/Resources/bench/d%02d" % (i % 20))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%04d%s" % (i, ".bin" if i % 2 else ".txt")), "wb") as f:
        f.write(data)
    total += size
print(total)
)";

// One archive per file, deflated at zlib's default level, in one process.
const char* const kPython = R"(
import os, sys, zipfile
master, out = sys.argv[1], sys.argv[2]
for folder, dirs, names in os.walk(master):
    dirs[:] = [d for d in dirs if not d.startswith(".")]
    rel = os.path.relpath(folder, master)
    os.makedirs(os.path.join(out, rel), exist_ok=True)
    for n in names:
        if n.startswith("."):
            continue
        with zipfile.ZipFile(os.path.join(out, rel, n + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
            z.write(os.path.join(folder, n), n)
)";

struct bench_master {
  std::string root;  // ends in "/"
  double bytes = 0;
};

const bench_master& the_master() {
  static bench_master m;
  if (!m.root.empty()) return m;
  m.root = testing_support::make_temp_dir("builder-bench");
  const char* count_text = getenv("NIMBREL_BUILDER_BENCH_FILES");
  const std::string count = count_text ? count_text : "2000";
  int status = 0;
  testing_support::run_command("python3 '" + std::string(NIMBREL_SOURCE_DIR) +
                                   "/tests/installer/builder/make_master.py' '" + m.root +
                                   "master'",
                               &status);
  testing_support::write_file(m.root + "make_files.py", kMakeFiles);
  testing_support::write_file(m.root + "pack.py", kPython);
  const std::string total = testing_support::run_command(
      "python3 '" + m.root + "make_files.py' '" + m.root + "master' " + count, &status);
  if (status != 0) abort();
  m.bytes = atof(total.c_str());
  // Both sides start from a warm cache.
  testing_support::run_command("find '" + m.root + "master' -type f -exec cat {} + > /dev/null");
  return m;
}

double children_cpu() {
  rusage u;
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::map<std::string, std::pair<double, double>> g_wall_cpu;

// Runs a command as one timed iteration: wall and the children's CPU.
void timed_command(benchmark::State& state, const char* label, const std::string& command) {
  const bench_master& m = the_master();
  for (auto _ : state) {
    testing_support::run_command("rm -rf '" + m.root + "out' && mkdir '" + m.root + "out' && sync");
    const double cpu0 = children_cpu();
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    const std::string said = testing_support::run_command(command + " 2>&1", &status);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) state.SkipWithError(said.c_str());
    state.SetIterationTime(wall);
    state.counters["cpu_s"] = children_cpu() - cpu0;
    g_wall_cpu[label] = {wall, children_cpu() - cpu0};
  }
  state.SetBytesProcessed(int64_t(m.bytes));
}

void BM_builder(benchmark::State& state) {
  const bench_master& m = the_master();
  timed_command(state, "builder",
                "BUILDER='" + std::string(NIMBREL_BINARY_DIR) + "/nimbrel_builder' bash '" +
                    std::string(NIMBREL_SOURCE_DIR) + "/tools/build_set.sh' '" + m.root +
                    "master' '" + m.root + "out'");
}

void BM_python_zipfile(benchmark::State& state) {
  const bench_master& m = the_master();
  timed_command(state, "python_zipfile",
                "python3 '" + m.root + "pack.py' '" + m.root + "master' '" + m.root + "out'");
}

}  // namespace

BENCHMARK(BM_builder)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_python_zipfile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (g_wall_cpu.count("builder") && g_wall_cpu.count("python_zipfile")) {
    const auto& a = g_wall_cpu["builder"];
    const auto& b = g_wall_cpu["python_zipfile"];
    printf("builder / python_zipfile: wall %.2f (%.2f s / %.2f s)  cpu %.2f (%.2f s / %.2f s)\n",
           a.first / b.first, a.first, b.first, a.second / b.second, a.second, b.second);
  }
  benchmark::Shutdown();
  testing_support::remove_temp_dirs();
  return 0;
}
