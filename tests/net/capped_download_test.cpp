// The capped download against a raw peer on loopback: a body within its cap
// arrives, one past it (announced or delivered) is dropped with its file,
// and each failure is told apart as refused or out of reach.
#include "net/capped_download.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "core/clock.h"
#include "net/down_class.h"
#include "net/http.h"
#include "Sockets/PCSBSocket.h"
#include "tests/net/peers.h"
#include "tests/support/test_support.h"

using net_peers::LogCapture;
using net_peers::Peer;
using testing_support::make_temp_dir;
using testing_support::read_file;

namespace {

// Loopback (each case runs as its own process, beside the others): the raw
// peer on 127.0.4.40 for the replies, .42 for the failure's kind and .43 for
// a local file that cannot be written; nothing listens on 127.0.4.41.
const char kPeer[] = "127.0.4.40";
const char kNobody[] = "127.0.4.41";
const char kKindPeer[] = "127.0.4.42";
const char kLocalPeer[] = "127.0.4.43";

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

struct outcome {
  int result = net_busy;
  download_failure failure = failure_unreachable;
};

// Polls like the frame does, waiting on the socket between calls; net_busy
// when the transfer outlasts the seconds.
outcome run_capped(int slot, const std::string& server, const std::string& path,
                   const std::string& file, int64_t cap, double seconds = 10) {
  outcome o;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    o.result = net_check_capped(slot, server, path, file, cap, &o.failure);
    if (o.result != net_busy) break;
    const down_class* d = http.slots[slot];
    if (d && d->sock) {
      const bool reading = d->send_buf.empty() && d->sock->mStatus == PCSBSocket::StatusConnected;
      pollfd p = {d->sock->mSocket, short(reading ? POLLIN : POLLOUT), 0};
      poll(&p, 1, 10);
    }
  }
  return o;
}

class CappedDownload : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    http.reset();
    xtim_class::xtim_reset();
  }
};

}  // namespace

TEST_F(CappedDownload, EachReplyEndsAsItsCapAndItsServerSay) {
  const std::string dir = make_temp_dir("net-capped");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv(kPeer, 80), kPeer, 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();
  // The idle rule (the clock stands still here) never ends these transfers:
  // only the cap and the server's own close may.
  xtim.act_time = 100.0f;

  struct Case {
    const char* server;
    const char* path;
    int64_t cap;
    int result;
    download_failure failure;  // when failed
    const char* file;          // what is left in the file; nullptr: no file
    const char* logged;        // expected in the log, "" for nothing asked
  } cases[] = {
      {kPeer, "/plain", 5, net_finished, failure_unreachable, "hello", ""},
      // Announced past the cap, or delivered past it with the head in one read.
      {kPeer, "/plain", 4, net_failed, failure_refused, nullptr, ": more than 4 bytes.\n"},
      {kPeer, "/huge", 1000, net_failed, failure_refused, nullptr,
       "Abandoning /huge from 127.0.4.40: more than 1000 bytes.\n"},
      {kPeer, "/nolength", 4, net_failed, failure_refused, nullptr, ": more than 4 bytes.\n"},
      // No length, and the server has closed its side: nothing more will come.
      {kPeer, "/nolength", 100, net_failed, failure_unreachable, nullptr,
       "Abandoning /nolength from 127.0.4.40: the server closed the connection after 5 bytes.\n"},
      {kPeer, "/gone", 100, net_failed, failure_refused, "nope", "(#404)"},
      {kPeer, "/busy", 100, net_failed, failure_unreachable, "busy", "(#503)"},
      {kNobody, "/plain", 100, net_failed, failure_unreachable, nullptr, "   IsDone     =1\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = std::string(c.path) + " capped at " + std::to_string(c.cap);
    const std::string file = dir + "f" + std::to_string(n++);
    const size_t before = log.text().size();
    const outcome o = run_capped(kServerListSlot, c.server, c.path, file, c.cap);
    EXPECT_EQ(o.result, c.result) << name;
    if (c.result == net_failed) {
      EXPECT_EQ(o.failure, c.failure) << name;
    }
    EXPECT_EQ(http.slots[kServerListSlot], nullptr) << name;
    if (c.file)
      EXPECT_EQ(read_file(file), c.file) << name;
    else
      EXPECT_FALSE(exists(file)) << name;
    const std::string logged = log.text().substr(before);
    EXPECT_NE(logged.find(c.logged), std::string::npos) << name << "\n" << logged;
  }
}

// The kind is written only on a failure, and a caller may leave it unasked.
TEST_F(CappedDownload, TheFailureKindIsWrittenOnlyOnAFailure) {
  const std::string dir = make_temp_dir("net-capped-kind");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv(kKindPeer, 80), kKindPeer, 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  // Asked after a failure of the other kind: a success leaves it as it was.
  outcome o;
  o.failure = failure_refused;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (o.result == net_busy && std::chrono::steady_clock::now() < deadline)
    o.result = net_check_capped(stream_slot(0), kKindPeer, "/plain", dir + "p", 5, &o.failure);
  EXPECT_EQ(o.result, net_finished);
  EXPECT_EQ(o.failure, failure_refused);

  int r = net_busy;
  while (r == net_busy && std::chrono::steady_clock::now() < deadline)
    r = net_check_capped(stream_slot(1), kKindPeer, "/gone", dir + "g", 100);
  EXPECT_EQ(r, net_failed);
  EXPECT_NE(log.text().find("(#404)"), std::string::npos) << log.text();
}

// A body that cannot be written where it goes is this machine's failure,
// whatever the server sent, and the slot keeps the system's error.
TEST_F(CappedDownload, ALocalFileThatCannotBeWrittenIsALocalFailure) {
  const std::string dir = make_temp_dir("net-capped-local");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv(kLocalPeer, 80), kLocalPeer, 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();
  xtim.act_time = 100.0f;
  for (const char* path : {"/plain", "/gone"}) {
    const outcome o = run_capped(stream_slot(0), kLocalPeer, path, dir + "missing/f", 100);
    EXPECT_EQ(o.result, net_failed) << path;
    EXPECT_EQ(o.failure, failure_local) << path;
    EXPECT_EQ(http.final_file_error[stream_slot(0)], ENOENT) << path;
  }
  // The next transfer of the slot starts clean.
  const outcome o = run_capped(stream_slot(0), kLocalPeer, "/busy", dir + "b", 100);
  EXPECT_EQ(o.failure, failure_unreachable);
  EXPECT_EQ(http.final_file_error[stream_slot(0)], 0);
}
