// The test servers' own readiness: a server is ready only when the process
// the test started listens on its address, never because some other process
// answers there (another test run on this machine, say).
#include "tests/net/peers.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "tests/support/test_support.h"

using net_peers::Peer;
using testing_support::make_temp_dir;

namespace {

// A listening socket of the test's own, standing for another run's server.
struct Listener {
  int fd = -1;
  Listener(const std::string& host, int port) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0) {
      close(fd);
      fd = -1;
    }
  }
  ~Listener() {
    if (fd >= 0) close(fd);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
};

// A server that says it has started, then binds only once the test lets it,
// so the test can put another listener on the address in between.
const char kServer[] = R"(import os, socket, sys, time
host, port, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3]
open(folder + "started", "w").close()
while not os.path.exists(folder + "go"):
    time.sleep(0.01)
s = socket.socket()
s.bind((host, port))
s.listen(4)
while True:
    s.accept()[0].close()
)";

bool wait_for_file(const std::string& path, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

TEST(Peer, ReadyOnlyWhenItsOwnServerListens) {
  enum other_server { none, before_start, before_bind };
  struct Case {
    const char* host;
    other_server other;
    bool ready;
    std::vector<const char*> failure;  // what the failure names
  } cases[] = {
      {"127.0.4.50", none, true, {}},
      {"127.0.4.51", before_start, false, {"127.0.4.51:80 is served already, by another process"}},
      // Our server cannot bind, while the other one answers on the address.
      {"127.0.4.52", before_bind, false, {"python3 exited early: ", "Address already in use"}},
  };
  const int port = 80;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    const std::string dir = make_temp_dir("net-peer");
    std::unique_ptr<Listener> other;
    if (c.other == before_start) {
      other = std::make_unique<Listener>(c.host, port);
      ASSERT_GE(other->fd, 0);
    }
    // Lets the server bind once it has started, after putting the other
    // listener on the address first where the case says so, and waiting
    // a moment for the readiness check to be fooled by it.
    std::thread gate;
    if (c.other != before_start) {
      gate = std::thread([&] {
        if (!wait_for_file(dir + "started", 10)) return;
        if (c.other == before_bind) {
          other = std::make_unique<Listener>(c.host, port);
          // A readiness check that connects shows up here at once; without
          // one, the server goes on after a second.
          pollfd p = {other->fd, POLLIN, 0};
          poll(&p, 1, 1000);
        }
        testing_support::write_file(dir + "go", "");
      });
    }
    Peer peer({"python3", "-c", kServer, c.host, std::to_string(port), dir}, c.host, port,
              dir + "peer.out");
    if (gate.joinable()) gate.join();
    if (c.other == before_bind) {
      ASSERT_TRUE(other && other->fd >= 0);
    }
    EXPECT_EQ(peer.ready(), c.ready) << peer.failure();
    for (const char* part : c.failure)
      EXPECT_NE(peer.failure().find(part), std::string::npos)
          << part << " not in: " << peer.failure();
    if (c.ready) {
      EXPECT_TRUE(Peer::accepts(c.host, port));
    }
  }
}
