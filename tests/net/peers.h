// Real servers for the download client's tests: each one is started by the
// test that needs it, on its own loopback address, and killed by its owner's
// destructor, so a failing test still stops it (and PR_SET_PDEATHSIG stops it
// if the test program itself dies).
//
// Loopback addresses of the net tests (each test case runs as its own process,
// in parallel with the rest of the suite, so none shares an address):
//   127.0.4.10-12  nginx        127.0.4.13     python3 http.server
//   127.0.4.14-17  raw handlers 127.0.4.18-21  tinyproxy and its origins
//   127.0.4.22-25  manager      127.0.4.30-32  single transfers
//   127.0.4.40-43  capped downloads  127.0.4.50-52  the readiness of Peer itself
//   127.0.11.10    endless heads  127.0.15.20     a server with a port
//   127.0.17.1-3   the start of the end-to-end scripts' nginx (tests/support/e2e_lib_test.sh)
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "net/down_class.h"
#include "net/http.h"
#include "Sockets/PCSBSocket.h"
#include "tests/support/test_support.h"

namespace net_peers {

// Pseudo-random bytes, so a lost, doubled or shifted block shows in the
// digest; the seed makes files of one size differ where that matters.
inline void write_noise(const std::string& path, size_t bytes,
                        uint64_t seed = 88172645463325252ull) {
  std::ofstream out(path, std::ios::binary);
  std::vector<uint64_t> block(1 << 16);
  uint64_t x = seed;
  for (size_t done = 0; done < bytes;) {
    for (uint64_t& w : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      w = x;
    }
    size_t n = std::min(bytes - done, block.size() * sizeof(uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), n);
    done += n;
  }
}

inline std::string peer_script() {
  return std::string(NIMBREL_SOURCE_DIR) + "/tests/net/http_peer.py";
}

// One server process, ready once that very process listens on host:port.
// A connection that goes through proves nothing: another test run on this
// machine may serve the same address, and our server, failing to bind, would
// pass for ready on its answers.
class Peer {
 public:
  Peer(const std::vector<std::string>& argv, const std::string& host, int port,
       const std::string& log_path)
      : log_path_(log_path) {
    const std::string where = host + ":" + std::to_string(port);
    if (accepts(host, port)) {
      failure_ =
          where + " is served already, by another process (another test run on this machine?)";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      int fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
      }
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      int status;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        failure_ = argv[0] + " exited early: " + testing_support::read_file(log_path);
        return;
      }
      if (listens(pid_, host, port)) {
        ready_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    failure_ = argv[0] + " did not listen on " + where;
    if (accepts(host, port)) failure_ += ", where another process serves (another test run?)";
  }

  ~Peer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 300; i++) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool ready() const { return ready_; }
  const std::string& failure() const { return failure_; }

  static bool accepts(const std::string& host, int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
  }

  // Whether process pid holds a socket listening on exactly host:port. The
  // sockets of this process do not count: a child between fork and exec
  // still holds them all.
  static bool listens(pid_t pid, const std::string& host, int port) {
    std::set<unsigned long> listening = listening_inodes(host, port);
    if (listening.empty()) return false;
    std::set<unsigned long> ours = socket_inodes("self");
    for (unsigned long inode : socket_inodes(std::to_string(pid)))
      if (listening.count(inode) && !ours.count(inode)) return true;
    return false;
  }

 private:
  // The kernel's table of TCP sockets names each by its inode, and its local
  // address as the 32 bits of the address in memory order, then the port.
  static std::set<unsigned long> listening_inodes(const std::string& host, int port) {
    in_addr a = {};
    if (inet_pton(AF_INET, host.c_str(), &a) != 1) return {};
    char local[32];
    snprintf(local, sizeof local, "%08X:%04X", unsigned(a.s_addr), unsigned(port));
    std::set<unsigned long> inodes;
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
      std::istringstream fields(line);
      std::string slot, address, remote, state, queues, timer, retransmits, uid, timeout;
      unsigned long inode = 0;
      fields >> slot >> address >> remote >> state >> queues >> timer >> retransmits >> uid >>
          timeout >> inode;
      if (state == "0A" && address == local) inodes.insert(inode);  // 0A: LISTEN
    }
    return inodes;
  }

  // The inodes of the sockets that /proc/<process>/fd holds.
  static std::set<unsigned long> socket_inodes(const std::string& process) {
    std::set<unsigned long> inodes;
    const std::string fd_dir = "/proc/" + process + "/fd/";
    DIR* d = opendir(fd_dir.c_str());
    if (!d) return inodes;
    while (dirent* e = readdir(d)) {
      char target[64];
      ssize_t n = readlink((fd_dir + e->d_name).c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = 0;
      unsigned long inode;
      if (sscanf(target, "socket:[%lu]", &inode) == 1) inodes.insert(inode);
    }
    closedir(d);
    return inodes;
  }

  pid_t pid_ = -1;
  bool ready_ = false;
  std::string log_path_;
  std::string failure_;
};

inline std::vector<std::string> handler_argv(const std::string& host, int port) {
  return {"python3", peer_script(), host, std::to_string(port)};
}

// nginx serving dir + "www/" on addr:port; /slow/ is sent at limit_rate.
// With log_requests, dir + "access.log" gets a line per request, cut short
// ones included: "path status body-bytes-sent".
inline std::vector<std::string> nginx_argv(const std::string& dir, const std::string& addr,
                                           const std::string& limit_rate = "64k", int port = 80,
                                           bool log_requests = false) {
  std::string conf = dir + "nginx.conf";
  testing_support::write_file(
      conf,
      "daemon off;\n"
      "master_process off;\n"  // one process, as our own user: it can read the temp folder
      "pid " +
          dir +
          "nginx.pid;\n"
          "error_log " +
          dir +
          "error.log;\n"
          "events { worker_connections 64; }\n"
          "http {\n" +
          (log_requests ? "  log_format sent '$uri $status $body_bytes_sent';\n"
                          "  access_log " +
                              dir + "access.log sent;\n"
                        : std::string("  access_log off;\n")) +
          "  client_body_temp_path " + dir +
          "body;\n"
          "  proxy_temp_path " +
          dir +
          "proxy;\n"
          "  sendfile on;\n"
          "  default_type application/octet-stream;\n"
          "  server {\n"
          "    listen " +
          addr + ":" + std::to_string(port) +
          ";\n"
          "    root " +
          dir +
          "www;\n"
          "    location /slow/ { limit_rate " +
          limit_rate +
          "; }\n"
          "  }\n"
          "}\n");
  return {"nginx", "-p", dir, "-e", dir + "error.log", "-c", conf};
}

// tinyproxy on addr:port, forwarding anywhere (origins are loopback addresses).
inline std::vector<std::string> tinyproxy_argv(const std::string& dir, const std::string& addr,
                                               int port) {
  std::string conf = dir + "tinyproxy.conf";
  testing_support::write_file(conf, "Port " + std::to_string(port) +
                                        "\n"
                                        "Listen " +
                                        addr +
                                        "\n"
                                        "Timeout 10\n"
                                        "MaxClients 16\n"
                                        "LogLevel Info\n"
                                        "Allow 127.0.0.0/8\n");
  return {"tinyproxy", "-d", "-c", conf};
}

// run_slot's answer when the transfer outlasts the seconds it was given.
inline constexpr int kStillBusy = -1;

// Polls the slot like the frame loop does, but waits on the socket between
// calls instead of spinning. Returns the first answer that is not net_busy,
// or kStillBusy when the transfer is still busy after the given seconds.
inline int run_slot(int slot, const std::string& server, const std::string& path,
                    const std::string& file, double seconds = 20) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int r = http.net_check(slot, server, path, file);
    if (r != net_busy) return r;
    down_class* d = http.slots[slot];
    if (d && d->sock) {
      bool reading = d->send_buf.empty() && d->sock->mStatus == PCSBSocket::StatusConnected;
      pollfd p = {d->sock->mSocket, short(reading ? POLLIN : POLLOUT), 0};
      poll(&p, 1, 10);
    }
  }
  return kStillBusy;
}

// Sends the log to a file of the test's folder; text() reads what was written.
struct LogCapture {
  std::string path;
  explicit LogCapture(const std::string& dir) : path(dir + "Log.txt") { xer.open(path); }
  ~LogCapture() { xer.close(); }
  std::string text() {
    xer.flush();
    return testing_support::read_file(path);
  }
};

}  // namespace net_peers
