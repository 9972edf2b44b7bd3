// One HTTP transfer driven directly: the request it builds, the heads it
// reads and where the body goes.
#include "net/down_class.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "Files/errors.h"
#include "Sockets/PCSBSocket.h"
#include "tests/net/peers.h"
#include "tests/support/test_support.h"

using net_peers::Peer;
using testing_support::make_temp_dir;
using testing_support::read_file;

namespace {

// Steps the transfer until its socket is closed or failed, recording each
// new GetStat value.
std::vector<int> drive(down_class& d, double seconds = 10) {
  std::vector<int> stats;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    d.DoProcessing();
    int s = d.GetStat();
    if (stats.empty() || stats.back() != s) stats.push_back(s);
    if (s == down_socket_error || s == down_closed || s == down_no_socket) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return stats;
}

std::map<std::string, std::string> fields_for(const std::string& host) {
  return {{"Host", host}, {"X-Trace", "7"}, {"Connection", "close"}};
}

}  // namespace

TEST(DownClass, EncodePath) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"/Resources/plugins/a.zip", "/Resources/plugins/a.zip"},
      {"/a b", "/a%20b"},
      {"/~_-.", "/~_-."},
      {"/q?x=1&y#z", "/q%3Fx%3D1%26y%23z"},
      {"/100%", "/100%25"},
      {"/\xC3\xA9\r\n", "/%C3%A9%0D%0A"},
  };
  for (const Case& c : cases) EXPECT_EQ(down_class::encode_path(c.in), c.out) << c.in;
}

TEST(DownClass, PostCarriesLengthAndBodyAfterTheFields) {
  std::string dir = make_temp_dir("net-post");
  Peer peer(net_peers::handler_argv("127.0.4.30", 80), "127.0.4.30", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  const char body[] = "a=1&b=2";
  down_class d("127.0.4.30", 80, "/echo", true, fields_for("127.0.4.30"), body, 7,
               (dir + "out").c_str());
  EXPECT_EQ(d.response_code, -1);
  EXPECT_EQ(d.GetStat(), down_connecting);
  std::vector<int> stats = drive(d);
  EXPECT_EQ(stats.back(), down_closed);
  EXPECT_TRUE(d.IsComplete());
  EXPECT_FALSE(d.IsErr());
  EXPECT_EQ(d.response_code, 200);
  EXPECT_EQ(read_file(dir + "out"),
            "POST /echo HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: 127.0.4.30\r\n"
            "X-Trace: 7\r\n"
            "Content-Length: 7\r\n"
            "\r\n"
            "a=1&b=2");
}

TEST(DownClass, InterimHeadThenFinalHeadInOneRead) {
  std::string dir = make_temp_dir("net-interim");
  Peer peer(net_peers::handler_argv("127.0.4.31", 80), "127.0.4.31", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  down_class d("127.0.4.31", 80, "/continue", false, fields_for("127.0.4.31"), nullptr, 0,
               (dir + "out").c_str());
  std::vector<int> stats = drive(d);
  // Closed once the announced five bytes are in. On a loaded machine the
  // reply can arrive within the first poll, so the states passed on the way
  // are not a fixed list.
  EXPECT_EQ(stats.back(), down_closed);
  EXPECT_EQ(d.response_code, 200);
  EXPECT_EQ(d.response_text, "OK");
  EXPECT_EQ(d.content_length, 5);
  EXPECT_EQ(d.written, 5);
  EXPECT_TRUE(d.IsComplete());
  // Fields of both heads are kept; the first value of a name wins, whatever
  // the letter case it is asked for in.
  EXPECT_EQ(d.headers["x-stage"], "one");
  EXPECT_EQ(d.headers.count("X-STAGE"), 1u);
  EXPECT_EQ(read_file(dir + "out"), "hello");
}

TEST(DownClass, NoLocalFileKeepsTheBodyInHand) {
  std::string dir = make_temp_dir("net-nofile");
  Peer peer(net_peers::handler_argv("127.0.4.32", 80), "127.0.4.32", 80, dir + "peer.out");
  ASSERT_TRUE(peer.ready()) << peer.failure();

  down_class d("127.0.4.32", 80, "/plain", false, fields_for("127.0.4.32"), nullptr, 0, nullptr);
  EXPECT_EQ(d.file_path, "");
  std::vector<int> stats = drive(d);
  EXPECT_EQ(stats.back(), down_closed);
  EXPECT_EQ(std::string(d.recv_buf.begin(), d.recv_buf.end()), "hello");
  EXPECT_EQ(d.written, 0);
  EXPECT_FALSE(d.IsComplete());
  EXPECT_FALSE(d.OpenedFile());
}

TEST(DownClass, FailedLookupLeavesNoSocket) {
  down_class d("a..b", 80, "/x", false, fields_for("a..b"), nullptr, 0, "x");
  EXPECT_EQ(d.sock, nullptr);
  EXPECT_EQ(d.response_code, 0);
  EXPECT_EQ(d.GetStat(), down_no_socket);
  EXPECT_TRUE(d.IsErr());
  EXPECT_EQ(d.GetOSErr(), kNetServerNotFound);
  d.DoProcessing();  // nothing to poll, nothing happens
  EXPECT_EQ(d.GetStat(), down_no_socket);
}
