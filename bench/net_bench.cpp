// The polled download client beside curl, both fetching from nginx on
// loopback: one 1 GB file, and 1,000 small files four at a time. Wall time is
// the benchmark's time; "cpu_s" is the CPU seconds used per iteration (this
// process for the client, the curl processes for curl).
//
// Needs nginx and curl, and port 80 on 127.0.4.50 (run as root). Built with
// the tree, never run by the tests.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/down_class.h"
#include "net/http.h"
#include "Sockets/PCSBSocket.h"
#include "tests/net/peers.h"
#include "tests/support/test_support.h"

namespace {

const char* kAddr = "127.0.4.50";
const int kSmallFiles = 1000;
const size_t kSmallSize = 16 * 1024;
const size_t kBigSize = 1024ull * 1024 * 1024;

struct Fixture {
  std::string dir;
  pid_t nginx = -1;
  bool ok = false;

  Fixture() {
    dir = testing_support::make_temp_dir("net-bench");
    if (dir.empty()) return;
    if (system(("mkdir -p " + dir + "www/s " + dir + "out/s").c_str()) != 0) return;
    write_noise(dir + "www/big.bin", kBigSize);
    for (int i = 0; i < kSmallFiles; i++)
      write_noise(dir + "www/s/" + std::to_string(i) + ".bin", kSmallSize);
    std::ofstream(dir + "nginx.conf")
        << "daemon off;\nmaster_process off;\npid " << dir << "nginx.pid;\n"
        << "error_log " << dir << "error.log;\nevents { worker_connections 256; }\n"
        << "http { access_log off; sendfile on; client_body_temp_path " << dir << "body;\n"
        << "  server { listen " << kAddr << ":80; root " << dir << "www; } }\n";
    nginx = fork();
    if (nginx == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      execlp("nginx", "nginx", "-p", dir.c_str(), "-e", (dir + "error.log").c_str(), "-c",
             (dir + "nginx.conf").c_str(), (char*)nullptr);
      _exit(127);
    }
    for (int i = 0; i < 300 && !ok; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ok = system(("curl -s -o /dev/null http://" + std::string(kAddr) + "/s/0.bin").c_str()) == 0;
    }
  }

  ~Fixture() {
    if (nginx > 0) {
      kill(nginx, SIGTERM);
      waitpid(nginx, nullptr, 0);
    }
    testing_support::remove_temp_dirs();
  }

  static void write_noise(const std::string& path, size_t bytes) {
    net_peers::write_noise(path, bytes, 0x9E3779B97F4A7C15ull ^ bytes);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

double cpu_seconds(int who) {
  rusage u;
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Like a frame loop with nothing else to draw: step every busy slot, and when
// no slot moved, wait on their sockets instead of spinning.
bool fetch_with_slots(const std::vector<std::string>& paths, const std::string& out_dir) {
  size_t next = 0, done = 0;
  std::string want[kHttpSlots];
  bool ok = true;
  while (done < paths.size()) {
    std::vector<pollfd> waits;
    for (int slot = stream_slot(0); slot < stream_slot(kStreams); slot++) {
      if (want[slot].empty()) {
        if (next == paths.size()) continue;
        want[slot] = paths[next++];
      }
      int r = http.net_check(slot, kAddr, want[slot], out_dir + want[slot]);
      if (r != net_busy) {
        ok = ok && r == net_finished;
        done++;
        want[slot].clear();
        continue;
      }
      down_class* d = http.slots[slot];
      if (d && d->sock) {
        bool reading = d->send_buf.empty() && d->sock->mStatus == PCSBSocket::StatusConnected;
        waits.push_back({d->sock->mSocket, short(reading ? POLLIN : POLLOUT), 0});
      }
    }
    if (!waits.empty()) poll(waits.data(), waits.size(), 10);
  }
  return ok;
}

std::vector<std::string> small_paths() {
  std::vector<std::string> p;
  for (int i = 0; i < kSmallFiles; i++) p.push_back("/s/" + std::to_string(i) + ".bin");
  return p;
}

void report(benchmark::State& state, double cpu, size_t bytes) {
  state.counters["cpu_s"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// The client fetches the paths once an iteration; cpu_s is this process's.
void time_client(benchmark::State& state, const std::vector<std::string>& paths, size_t bytes) {
  Fixture& f = fixture();
  double cpu = 0;
  for (auto _ : state) {
    double c0 = cpu_seconds(RUSAGE_SELF);
    if (!fetch_with_slots(paths, f.dir + "out")) state.SkipWithError("fetch failed");
    cpu += cpu_seconds(RUSAGE_SELF) - c0;
  }
  report(state, cpu, bytes);
}

// The shell command runs once an iteration; cpu_s is its processes'.
void time_curl(benchmark::State& state, const std::string& cmd, size_t bytes) {
  double cpu = 0;
  for (auto _ : state) {
    double c0 = cpu_seconds(RUSAGE_CHILDREN);
    if (system(cmd.c_str()) != 0) state.SkipWithError("curl failed");
    cpu += cpu_seconds(RUSAGE_CHILDREN) - c0;
  }
  report(state, cpu, bytes);
}

void BM_Client_BigFile(benchmark::State& state) {
  if (!fixture().ok) return state.SkipWithError("nginx did not start");
  time_client(state, {"/big.bin"}, kBigSize);
}

void BM_Curl_BigFile(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ok) return state.SkipWithError("nginx did not start");
  time_curl(state, "curl -sf -o " + f.dir + "out/big.bin http://" + kAddr + "/big.bin", kBigSize);
}

void BM_Client_SmallFiles(benchmark::State& state) {
  if (!fixture().ok) return state.SkipWithError("nginx did not start");
  time_client(state, small_paths(), kSmallSize * kSmallFiles);
}

// One curl process per file, four running at a time.
void BM_Curl_SmallFiles_PerProcess(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ok) return state.SkipWithError("nginx did not start");
  std::string cmd = "seq 0 " + std::to_string(kSmallFiles - 1) + " | xargs -P 4 -I{} curl -sf -o " +
                    f.dir + "out/s/{}.bin http://" + kAddr + "/s/{}.bin";
  time_curl(state, cmd, kSmallSize * kSmallFiles);
}

// One curl process, four transfers at a time.
void BM_Curl_SmallFiles_Parallel(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ok) return state.SkipWithError("nginx did not start");
  std::string config = f.dir + "curl.cfg";
  {
    std::ofstream cfg(config);
    for (int i = 0; i < kSmallFiles; i++)
      cfg << "url = \"http://" << kAddr << "/s/" << i << ".bin\"\noutput = \"" << f.dir << "out/s/"
          << i << ".bin\"\n";
  }
  time_curl(state, "curl -sf --parallel --parallel-max 4 -K " + config + " 2>/dev/null",
            kSmallSize * kSmallFiles);
}

}  // namespace

BENCHMARK(BM_Client_BigFile)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Curl_BigFile)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Client_SmallFiles)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Curl_SmallFiles_PerProcess)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Curl_SmallFiles_Parallel)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
