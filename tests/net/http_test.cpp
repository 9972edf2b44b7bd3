// The download manager against real peers on loopback: nginx, python3's
// http.server, small raw handlers (tests/net/http_peer.py) and tinyproxy.
//
// Contents
//   [SECTION] nginx
//   [SECTION] python3 http.server
//   [SECTION] raw handlers
//   [SECTION] proxies
//   [SECTION] manager failures and slot handling
#include "net/http.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "core/clock.h"
#include "net/down_class.h"
#include "tests/net/peers.h"
#include "tests/support/test_support.h"

using net_peers::kStillBusy;
using net_peers::LogCapture;
using net_peers::Peer;
using net_peers::run_slot;
using net_peers::write_noise;
using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string md5_of(const std::string& path) {
  return run_command("md5sum < '" + path + "'").substr(0, 32);
}

}  // namespace

// Each test starts with idle slots, no proxy and a fresh clock.
class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    http.reset();
    xtim_class::xtim_reset();
  }
};
using HttpNginx = HttpTest;
using HttpPythonServer = HttpTest;
using HttpHandlers = HttpTest;
using HttpHostNames = HttpTest;
using HttpProxy = HttpTest;
using HttpManager = HttpTest;
using HttpManagerDeathTest = HttpTest;

// [SECTION] nginx

TEST_F(HttpNginx, HundredMegabytesArriveByteIdentical) {
  std::string dir = make_temp_dir("net-big");
  // 200 MB is too much to leave behind in the scratch area, pass or fail.
  struct Cleanup {
    std::string dir;
    ~Cleanup() { system(("rm -rf '" + dir + "'").c_str()); }
  } cleanup{dir};
  ASSERT_EQ(system(("mkdir -p '" + dir + "www'").c_str()), 0);
  const int64_t size = 100ll * 1000 * 1000 + 7;
  write_noise(dir + "www/big.bin", size);
  Peer nginx(net_peers::nginx_argv(dir, "127.0.4.10"), "127.0.4.10", 80, dir + "nginx.out");
  ASSERT_TRUE(nginx.ready()) << nginx.failure();

  EXPECT_EQ(http.net_check(stream_slot(0), "127.0.4.10", "/big.bin", dir + "got.bin"), net_busy);
  EXPECT_EQ(run_slot(stream_slot(0), "127.0.4.10", "/big.bin", dir + "got.bin", 90), net_finished);
  EXPECT_EQ(http.slots[stream_slot(0)], nullptr);
  ASSERT_EQ(int64_t(read_file(dir + "got.bin").size()), size);
  EXPECT_EQ(md5_of(dir + "got.bin"), md5_of(dir + "www/big.bin"));
}

TEST_F(HttpNginx, ProgressGrowsUnderLimitRate) {
  std::string dir = make_temp_dir("net-rate");
  ASSERT_EQ(system(("mkdir -p '" + dir + "www/slow'").c_str()), 0);
  const int64_t size = 700 * 1000;
  write_noise(dir + "www/slow/f.bin", size);
  Peer nginx(net_peers::nginx_argv(dir, "127.0.4.11", "300k"), "127.0.4.11", 80, dir + "nginx.out");
  ASSERT_TRUE(nginx.ready()) << nginx.failure();

  std::vector<int64_t> seen;
  int r = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((r = http.net_check(stream_slot(0), "127.0.4.11", "/slow/f.bin", dir + "f.bin")) ==
             net_busy &&
         std::chrono::steady_clock::now() < deadline) {
    down_class* d = http.slots[stream_slot(0)];
    if (d->headers_done) {
      EXPECT_EQ(d->content_length, size);
      if (seen.empty() || d->written != seen.back()) seen.push_back(d->written);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(r, net_finished);
  ASSERT_GE(seen.size(), 4u) << "the counters should be seen growing while the body trickles in";
  for (size_t i = 1; i < seen.size(); i++) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_LT(seen.front(), size);
  EXPECT_EQ(md5_of(dir + "f.bin"), md5_of(dir + "www/slow/f.bin"));
}

TEST_F(HttpNginx, NotFoundFailsWithLogBlock) {
  std::string dir = make_temp_dir("net-404");
  ASSERT_EQ(system(("mkdir -p '" + dir + "www'").c_str()), 0);
  LogCapture log(dir);
  Peer nginx(net_peers::nginx_argv(dir, "127.0.4.12"), "127.0.4.12", 80, dir + "nginx.out");
  ASSERT_TRUE(nginx.ready()) << nginx.failure();

  EXPECT_EQ(run_slot(kServerListSlot, "127.0.4.12", "/missing.txt", dir + "m.txt"), net_failed);
  EXPECT_EQ(log.text(), "HTTP Error for " + dir +
                            "m.txt\n"
                            "   server     =127.0.4.12\n"
                            "   file       =/missing.txt\n"
                            "   IsDone     =1\n"
                            "   IsComplete =1\n"
                            "   IsErr      =0\n"
                            "   GetStat    =3\n"
                            "   GetOSErr   =0\n"
                            "   response   =Not Found (#404)\n\n");
  // Any final status opens the file: the error page is what it holds.
  EXPECT_NE(read_file(dir + "m.txt").find("404"), std::string::npos);
}

// [SECTION] python3 http.server

TEST_F(HttpPythonServer, Http10ReplyWithCloseWorks) {
  std::string dir = make_temp_dir("net-py");
  write_file(dir + "server list.txt", "I\n900 version\n");
  Peer py({"python3", "-m", "http.server", "80", "--bind", "127.0.4.13", "--directory", dir},
          "127.0.4.13", 80, dir + "py.out");
  ASSERT_TRUE(py.ready()) << py.failure();

  // The blank travels encoded; the server decodes it back to the file name.
  EXPECT_EQ(run_slot(kServerListSlot, "127.0.4.13", "/server list.txt", dir + "got.txt"),
            net_finished);
  EXPECT_EQ(read_file(dir + "got.txt"), "I\n900 version\n");
}

// [SECTION] raw handlers

TEST_F(HttpHandlers, ReplyShapes) {
  std::string dir = make_temp_dir("net-shapes");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv("127.0.4.14", 80), "127.0.4.14", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  struct Case {
    const char* path;
    int result;
    const char* file;
    const char* logged;  // expected in the log's block, "" for no block
  } cases[] = {
      {"/plain", net_finished, "hello", ""},
      {"/lowercase", net_finished, "hello", ""},    // header names ignore letter case
      {"/emptyreason", net_finished, "hello", ""},  // "HTTP/1.1 200 " is a status line
      {"/continue", net_finished, "hello", ""},     // 100 and 200 heads in one read
      {"/empty", net_finished, "", ""},
      {"/extra", net_failed, "hello EXTRA", "   IsComplete =0\n"},
      {"/gone", net_failed, "nope", "   response   =Not Found (#404)\n"},
  };
  // One slot throughout: a slot that has answered is free for the next.
  for (const Case& c : cases) {
    std::string file = dir + (c.path + 1);
    size_t before = log.text().size();
    EXPECT_EQ(run_slot(stream_slot(2), "127.0.4.14", c.path, file, 10), c.result) << c.path;
    EXPECT_EQ(http.slots[stream_slot(2)], nullptr);
    EXPECT_EQ(read_file(file), c.file) << c.path;
    std::string block = log.text().substr(before);
    if (*c.logged)
      EXPECT_NE(block.find(c.logged), std::string::npos) << c.path << ":\n" << block;
    else
      EXPECT_EQ(block, "") << c.path;
  }
}

// Replies that never complete: no length, chunked framing (not decoded), a
// body cut short, and one far beyond 32 bits of length. They end only by the 30-second idle rule,
// measured on the frame clock, which the test moves by hand.
TEST_F(HttpHandlers, IdleTimeoutEndsStalledTransfers) {
  std::string dir = make_temp_dir("net-idle");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv("127.0.4.15", 80), "127.0.4.15", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  struct Case {
    const char* path;
    const char* on_disk;
    int64_t length;
  } cases[] = {
      {"/nolength", "hello", -1},
      {"/chunked", "5\r\nhello\r\n0\r\n\r\n", -1},
      {"/cut", "hello", 10},
      {"/huge", "hello", 5000000000ll},
  };
  for (const Case& c : cases) {
    std::string file = dir + (c.path + 1);
    xtim.act_time = 100.0f;
    EXPECT_EQ(run_slot(stream_slot(3), "127.0.4.15", c.path, file, 0.5), kStillBusy) << c.path;
    down_class* d = http.slots[stream_slot(3)];
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->written, int64_t(strlen(c.on_disk))) << c.path;
    EXPECT_EQ(d->content_length, c.length) << c.path;
    EXPECT_FLOAT_EQ(d->last_activity, 100.0f);

    xtim.act_time = 129.9f;
    EXPECT_EQ(http.net_check(stream_slot(3), "127.0.4.15", c.path, file), net_busy) << c.path;
    xtim.act_time = 130.5f;
    EXPECT_EQ(http.net_check(stream_slot(3), "127.0.4.15", c.path, file), net_failed) << c.path;
    EXPECT_EQ(http.slots[stream_slot(3)], nullptr);
    EXPECT_EQ(read_file(file), c.on_disk) << "the partial file stays";
  }
  EXPECT_EQ(log.text(), "") << "an idle failure writes nothing to the log";
}

TEST_F(HttpHandlers, RequestBytesAreExact) {
  std::string dir = make_temp_dir("net-raw");
  Peer peer(net_peers::handler_argv("127.0.4.16", 80), "127.0.4.16", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  EXPECT_EQ(run_slot(kManifestSlot, "127.0.4.16", "/echo/a b?c%d\xC3\xA9~_-.txt", dir + "req"),
            net_finished);
  EXPECT_EQ(read_file(dir + "req"),
            "GET /echo/a%20b%3Fc%25d%C3%A9~_-.txt HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: 127.0.4.16\r\n"
            "User-agent: Installer-APL/a-17\r\n"
            "\r\n");
}

// A server may name its port: the connection goes there and the Host field
// names it too, directly and through a proxy.
TEST_F(HttpHandlers, AServerWithAPortIsReachedThereAndNamedSo) {
  std::string dir = make_temp_dir("net-port");
  Peer peer(net_peers::handler_argv("127.0.15.20", 8015), "127.0.15.20", 8015, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();
  EXPECT_EQ(run_slot(kManifestSlot, "127.0.15.20:8015", "/echo/p", dir + "req"), net_finished);
  EXPECT_EQ(read_file(dir + "req"),
            "GET /echo/p HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: 127.0.15.20:8015\r\n"
            "User-agent: Installer-APL/a-17\r\n"
            "\r\n");

  http.proxy_host = "127.0.15.20";
  http.proxy_port = "8015";
  http.proxy_port_int = 8015;
  EXPECT_EQ(run_slot(kManifestSlot, "origin.invalid:8081", "/echo/q", dir + "req"), net_finished);
  http.proxy_host.clear();
  http.proxy_port.clear();
  http.proxy_port_int = 0;
  EXPECT_EQ(read_file(dir + "req"),
            "GET http://origin.invalid:8081/echo/q HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: origin.invalid:8081\r\n"
            "User-agent: Installer-APL/a-17\r\n"
            "\r\n");
}

TEST_F(HttpHostNames, APortIsOneTo65535AfterTheOneColon) {
  struct {
    const char* server;
    bool ok;
    const char* host;
    int port;
  } cases[] = {
      {"mirror.example", true, "mirror.example", 80},
      {"mirror.example:8080", true, "mirror.example", 8080},
      {"127.0.0.1:1", true, "127.0.0.1", 1},
      {"a:65535", true, "a", 65535},
      {"a:00080", true, "a", 80},
      {"a:0", false, "", 0},
      {"a:65536", false, "", 0},
      {"a:123456", false, "", 0},
      {"a:", false, "", 0},
      {":80", false, "", 0},
      {"a:8a", false, "", 0},
      {"a:+80", false, "", 0},
      {"a:1:2", false, "", 0},
      {"a b:80", false, "", 0},
  };
  for (const auto& c : cases) {
    std::string host = "unchanged";
    uint16_t port = 0;
    EXPECT_EQ(http_split_server(c.server, &host, &port), c.ok) << c.server;
    EXPECT_EQ(http_host_name_ok(c.server), c.ok) << c.server;
    if (c.ok) {
      EXPECT_EQ(host, c.host) << c.server;
      EXPECT_EQ(port, c.port) << c.server;
    } else {
      EXPECT_EQ(host, "unchanged") << c.server;
    }
  }
}

// [SECTION] proxies

TEST_F(HttpProxy, RequestGoesOutInAbsoluteForm) {
  std::string dir = make_temp_dir("net-proxy-form");
  Peer proxy(net_peers::handler_argv("127.0.4.17", 8080), "127.0.4.17", 8080, dir + "peer.out");
  ASSERT_TRUE(proxy.ready()) << proxy.failure();
  http.proxy_host = "127.0.4.17";
  http.proxy_port = "8080";
  http.proxy_port_int = 8080;

  // The origin's name is never looked up: only the proxy host is.
  EXPECT_EQ(run_slot(kManifestSlot, "origin.invalid", "/echo/x y", dir + "req"), net_finished);
  EXPECT_EQ(read_file(dir + "req"),
            "GET http://origin.invalid/echo/x%20y HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: origin.invalid\r\n"
            "User-agent: Installer-APL/a-17\r\n"
            "\r\n");
}

TEST_F(HttpProxy, TinyproxyCarriesTheDownload) {
  std::string dir = make_temp_dir("net-tiny");
  ASSERT_EQ(system(("mkdir -p '" + dir + "www'").c_str()), 0);
  write_noise(dir + "www/f.bin", 300 * 1000);
  Peer origin(
      {"python3", "-m", "http.server", "80", "--bind", "127.0.4.19", "--directory", dir + "www"},
      "127.0.4.19", 80, dir + "origin.out");
  ASSERT_TRUE(origin.ready()) << origin.failure();
  Peer proxy(net_peers::tinyproxy_argv(dir, "127.0.4.18", 8888), "127.0.4.18", 8888,
             dir + "tinyproxy.out");
  ASSERT_TRUE(proxy.ready()) << proxy.failure();
  http.proxy_host = "127.0.4.18";
  http.proxy_port_int = 8888;

  EXPECT_EQ(run_slot(stream_slot(1), "127.0.4.19", "/f.bin", dir + "f.bin"), net_finished);
  EXPECT_EQ(md5_of(dir + "f.bin"), md5_of(dir + "www/f.bin"));
  EXPECT_NE(read_file(dir + "tinyproxy.out").find("127.0.4.19"), std::string::npos)
      << "the request should have passed through the proxy";
}

TEST_F(HttpProxy, TinyproxyErrorPageOnDeadOriginFails) {
  std::string dir = make_temp_dir("net-tiny-dead");
  LogCapture log(dir);
  Peer proxy(net_peers::tinyproxy_argv(dir, "127.0.4.20", 8888), "127.0.4.20", 8888,
             dir + "tinyproxy.out");
  ASSERT_TRUE(proxy.ready()) << proxy.failure();
  http.proxy_host = "127.0.4.20";
  http.proxy_port_int = 8888;

  // Nothing listens on 127.0.4.21: the proxy answers with its own page, which
  // has no length and ends by closing. Such a reply can only end through the
  // idle rule; it must never count as a download.
  const int slot = stream_slot(1);
  xtim.act_time = 50.0f;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline &&
         !(http.slots[slot] && http.slots[slot]->sock && http.slots[slot]->sock->ReceivedRelease()))
    ASSERT_EQ(run_slot(slot, "127.0.4.21", "/f.bin", dir + "f.bin", 0.05), kStillBusy);
  ASSERT_NE(http.slots[slot], nullptr);
  EXPECT_EQ(http.slots[slot]->response_code, 500);
  EXPECT_EQ(http.slots[slot]->content_length, -1);
  xtim.act_time = 80.5f;
  EXPECT_EQ(http.net_check(slot, "127.0.4.21", "/f.bin", dir + "f.bin"), net_failed);
  EXPECT_EQ(http.slots[slot], nullptr);
  EXPECT_NE(read_file(dir + "f.bin").find("Unable to connect"), std::string::npos);
  EXPECT_EQ(log.text(), "");
}

TEST_F(HttpProxy, Rules) {
  http.proxy_host = "proxy.lan";
  http.proxy_port_int = 0x13039;  // only the low 16 bits are a port
  gProxyExclude = {"mirror.example", "internal"};
  struct Case {
    const char* server;
    bool proxied;
  } cases[] = {
      {"www.example.org", true},
      {"mirror.example", false},       // equal to an entry
      {"eu.mirror.example", false},    // ends with an entry
      {"internal.example.org", true},  // contains one, but not at its end
      {"example", true},               // shorter than the entries
  };
  for (const Case& c : cases) {
    EXPECT_EQ(http.UseProxy(c.server, 80), c.proxied) << c.server;
    EXPECT_EQ(http.ProxyPort(c.server, 80), c.proxied ? 0x3039 : 80) << c.server;
    EXPECT_STREQ(http.ProxyHost(c.server, 80), c.proxied ? "proxy.lan" : c.server);
  }
  gProxyExclude.clear();
  http.proxy_port_int = 0;
  EXPECT_FALSE(http.UseProxy("www.example.org", 80)) << "no port, no proxy";
  http.proxy_port_int = 3128;
  http.proxy_host.clear();
  EXPECT_FALSE(http.UseProxy("www.example.org", 80)) << "no host, no proxy";
}

// [SECTION] manager failures and slot handling

TEST_F(HttpManager, UnknownHostFailsOnTheFirstCall) {
  std::string dir = make_temp_dir("net-lookup");
  LogCapture log(dir);
  // "a..b" is refused by the resolver itself, so no query leaves the machine.
  EXPECT_EQ(http.net_check(kServerListSlot, "a..b", "/serverlist.txt", "s.txt"), net_failed);
  EXPECT_EQ(http.slots[kServerListSlot], nullptr);
  std::string text = log.text();
  EXPECT_EQ(text.rfind("Translated server a..b to IP addy: 0.0.0.0 and port = 80\n"
                       "HTTP Error for s.txt\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("   GetStat    =0\n   GetOSErr   =20011\n"), std::string::npos) << text;
}

TEST_F(HttpManager, RefusedConnectionFails) {
  std::string dir = make_temp_dir("net-refused");
  LogCapture log(dir);
  EXPECT_EQ(run_slot(stream_slot(0), "127.0.4.22", "/x", dir + "x"), net_failed);
  EXPECT_NE(log.text().find("   IsDone     =1\n"), std::string::npos) << log.text();
  EXPECT_NE(log.text().find("   GetStat    =3\n"), std::string::npos) << log.text();
  EXPECT_FALSE(exists(dir + "x")) << "no head, so no file";
}

// A file the disk will not take whole fails the transfer; so does a path
// that names no regular file, at once: a FIFO would hold the open for ever.
TEST_F(HttpManager, FullDiskOrSpecialFileIsAFailureNotATruncatedFile) {
  std::string dir = make_temp_dir("net-full");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv("127.0.4.23", 80), "127.0.4.23", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();
  alarm(60);  // a transfer stuck in open() fails the test instead of hanging it

  // The file may not grow past 64 KB: what the disk refuses, as when it is
  // full, without touching the log (which stays smaller).
  signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit, small = {64 * 1024, 64 * 1024};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  small.rlim_max = old_limit.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_EQ(run_slot(stream_slot(0), "127.0.4.23", "/big", dir + "big"), net_failed);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_NE(log.text().find("   IsErr      =1\n"), std::string::npos) << log.text();
  EXPECT_NE(log.text().find("   GetOSErr   =" + std::to_string(EFBIG) + "\n"), std::string::npos)
      << log.text();

  ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0644), 0);
  EXPECT_EQ(run_slot(stream_slot(0), "127.0.4.23", "/plain", dir + "fifo"), net_failed);
  EXPECT_NE(log.text().find("   GetOSErr   =" + std::to_string(ENXIO) + "\n"), std::string::npos)
      << log.text();
  alarm(0);
}

// A server that sends head lines without end, or one line without end, is
// refused once the head passes its bound: the transfer fails with the log
// block long before the idle rule (the clock stands still here) would end it.
TEST_F(HttpHandlers, EndlessHeadsFailWithTheLogBlock) {
  std::string dir = make_temp_dir("net-endless");
  LogCapture log(dir);
  Peer peer(net_peers::handler_argv("127.0.11.10", 80), "127.0.11.10", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();
  xtim.act_time = 100.0f;
  for (const char* path : {"/endless", "/endlessline"}) {
    size_t before = log.text().size();
    EXPECT_EQ(run_slot(stream_slot(1), "127.0.11.10", path, dir + "out", 20), net_failed) << path;
    std::string block = log.text().substr(before);
    EXPECT_NE(block.find("HTTP Error for " + dir + "out\n"), std::string::npos) << block;
    EXPECT_NE(block.find("   GetOSErr   =" + std::to_string(EMSGSIZE) + "\n"), std::string::npos)
        << block;
    EXPECT_FALSE(exists(dir + "out")) << "no head, so no file";
  }
}

TEST_F(HttpManager, MalformedArgumentsFailOnlyThatTransfer) {
  std::string dir = make_temp_dir("net-bad-args");
  LogCapture log(dir);
  struct Case {
    const char* server;
    const char* path;
  } cases[] = {
      {"host.example/", "/f"},      {"", "/f"},
      {"bad host", "/f"},           {"a\r\nX: y", "/f"},
      {"host.example", "f"},        {"host.example", ""},
      {"host.example:0", "/f"},     {"host.example:", "/f"},
      {"host.example:99999", "/f"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(http.net_check(kManifestSlot, c.server, c.path, dir + "f"), net_failed)
        << c.server << " " << c.path;
    EXPECT_EQ(http.slots[kManifestSlot], nullptr);
  }
  EXPECT_NE(log.text().find("HTTP Error for " + dir + "f\n   server     =host.example/\n"),
            std::string::npos)
      << log.text();
  EXPECT_FALSE(exists(dir + "f"));
}

TEST_F(HttpManagerDeathTest, SlotOutOfRangeIsFatal) {
  EXPECT_EXIT(http.net_check(kHttpSlots, "host.example", "/f", "f"), testing::ExitedWithCode(1),
              "Too many download objects requested!");
  EXPECT_EXIT(http.net_check(-1, "host.example", "/f", "f"), testing::ExitedWithCode(1),
              "Too many download objects requested!");
}

TEST_F(HttpManager, BusySlotAskedForOtherArgumentsStartsOver) {
  std::string dir = make_temp_dir("net-busy");
  Peer peer(net_peers::handler_argv("127.0.4.24", 80), "127.0.4.24", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  EXPECT_EQ(run_slot(stream_slot(1), "127.0.4.24", "/cut", dir + "old", 0.5), kStillBusy);
  ASSERT_NE(http.slots[stream_slot(1)], nullptr);
  ASSERT_EQ(http.slots[stream_slot(1)]->written, 5);
  ASSERT_TRUE(exists(dir + "old"));

  // A caller that moved on must get its own file, never the old transfer's.
  EXPECT_EQ(run_slot(stream_slot(1), "127.0.4.24", "/plain", dir + "new"), net_finished);
  EXPECT_EQ(read_file(dir + "new"), "hello");
  EXPECT_FALSE(exists(dir + "old")) << "the dropped transfer's partial file is removed";
}

TEST_F(HttpManager, AbandonDropsTransferAndPartialFile) {
  std::string dir = make_temp_dir("net-abandon");
  Peer peer(net_peers::handler_argv("127.0.4.25", 80), "127.0.4.25", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();
  write_file(dir + "keep", "earlier download");

  EXPECT_EQ(run_slot(stream_slot(2), "127.0.4.25", "/cut", dir + "part", 0.5), kStillBusy);
  ASSERT_TRUE(exists(dir + "part"));
  http.net_abandon(stream_slot(2));
  EXPECT_EQ(http.slots[stream_slot(2)], nullptr);
  EXPECT_FALSE(exists(dir + "part"));

  // A transfer dropped before its head arrived never created its file, so a
  // file of that name from before is left alone.
  EXPECT_EQ(run_slot(stream_slot(2), "127.0.4.25", "/silent", dir + "keep", 0.3), kStillBusy);
  http.net_abandon(stream_slot(2));
  EXPECT_EQ(read_file(dir + "keep"), "earlier download");
  http.net_abandon(stream_slot(2));  // an empty slot: nothing to do
  http.net_abandon(kHttpSlots + 3);  // outside the slots: nothing to do

  EXPECT_EQ(run_slot(stream_slot(2), "127.0.4.25", "/plain", dir + "part"), net_finished);
  EXPECT_EQ(read_file(dir + "part"), "hello");
}
