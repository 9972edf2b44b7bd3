// The TCP socket against itself on loopback: listener and accept, data both
// ways, half close, a refused port and a peer that never reads.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "Sockets/PCSBSocket.h"

namespace {

const unsigned long kLoopback = htonl(0x7f000001);

// Polls until pred holds or two seconds pass; returns whether it held.
template <class Pred>
bool poll_until(Pred pred) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

uint16_t local_port(PCSBSocket& s) {
  PCSBSocket::ConnectionData d = {};
  s.GetAddresses(&d);
  return d.localPort;
}

// A connected pair over loopback: the client side and the accepted side.
struct Pair {
  std::unique_ptr<PCSBSocket> listener{new PCSBSocket(0, true)};
  std::unique_ptr<PCSBSocket> client{new PCSBSocket(0, false)};
  std::unique_ptr<PCSBSocket> server;

  void connect() {
    ASSERT_EQ(listener->GetStatus(), PCSBSocket::StatusUnconnected);
    client->Connect(kLoopback, local_port(*listener));
    ASSERT_TRUE(poll_until([&] { return client->GetStatus() != PCSBSocket::StatusConnecting; }));
    ASSERT_EQ(client->GetStatus(), PCSBSocket::StatusConnected);
    ASSERT_TRUE(poll_until([&] { return listener->GetStatus() == PCSBSocket::StatusConnecting; }));
    server.reset(listener->Accept());
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(server->GetStatus(), PCSBSocket::StatusConnected);
  }
};

std::string read_some(PCSBSocket& s, size_t want) {
  std::string got;
  char buf[256];
  poll_until([&] {
    long n = s.ReadData(buf, sizeof buf);
    if (n > 0) got.append(buf, n);
    return got.size() >= want || n < 0;
  });
  return got;
}

}  // namespace

TEST(TcpSocket, ListenerAcceptsAndDataFlowsBothWays) {
  Pair p;
  ASSERT_NO_FATAL_FAILURE(p.connect());
  EXPECT_EQ(p.listener->GetStatus(), PCSBSocket::StatusUnconnected);

  // Nothing waiting: a read would block, which is 0 and no change of status.
  char buf[16];
  EXPECT_EQ(p.client->ReadData(buf, sizeof buf), 0);
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::StatusConnected);

  EXPECT_EQ(p.client->http_WriteData("ping", 4), 4);
  EXPECT_EQ(read_some(*p.server, 4), "ping");
  EXPECT_EQ(p.server->http_WriteData("pong!", 5), 5);
  EXPECT_EQ(read_some(*p.client, 5), "pong!");

  PCSBSocket::ConnectionData c = {}, s = {};
  p.client->GetAddresses(&c);
  p.server->GetAddresses(&s);
  EXPECT_EQ(c.remoteAddress, kLoopback);   // network order
  EXPECT_EQ(c.localAddress, 0x7f000001u);  // host order
  EXPECT_EQ(c.remotePort, local_port(*p.listener));
  EXPECT_EQ(s.remotePort, c.localPort);

  // Accept with nothing waiting gives null and leaves the listener at 1.
  PCSBSocket* none = p.listener->Accept();
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(p.listener->GetStatus(), PCSBSocket::StatusUnconnected);
}

TEST(TcpSocket, HalfCloseKeepsTheOtherDirectionOpen) {
  Pair p;
  ASSERT_NO_FATAL_FAILURE(p.connect());

  p.client->Release();
  char buf[16];
  ASSERT_TRUE(poll_until(
      [&] { return p.server->ReadData(buf, sizeof buf) != 0 || p.server->ReceivedRelease(); }));
  // The peer's release is an end of stream, but this side has not released:
  // the socket stays connected and may still send.
  EXPECT_TRUE(p.server->ReceivedRelease());
  EXPECT_EQ(p.server->ReadData(buf, sizeof buf), 0);
  EXPECT_EQ(p.server->GetStatus(), PCSBSocket::StatusConnected);
  EXPECT_EQ(p.server->http_WriteData("late", 4), 4);
  EXPECT_EQ(read_some(*p.client, 4), "late");

  // Now the server releases too: the client, having released first, sees
  // the end of stream as a closed connection.
  p.server->Release();
  ASSERT_TRUE(poll_until([&] { return p.client->ReadData(buf, sizeof buf) == -1; }));
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::StatusClosed);
  EXPECT_EQ(p.client->GetOSError(), 0);
}

TEST(TcpSocket, RefusedPortReadsAsClosedNotConnected) {
  uint16_t port;
  {
    PCSBSocket probe(0, true);
    port = local_port(probe);
  }  // nothing listens on the port any more
  PCSBSocket s(0, false);
  s.Connect(kLoopback, port);
  ASSERT_TRUE(poll_until([&] { return s.GetStatus() != PCSBSocket::StatusConnecting; }));
  EXPECT_EQ(s.GetStatus(), PCSBSocket::StatusClosed);
}

TEST(TcpSocket, PeerThatNeverReadsBlocksWritesThenResetCloses) {
  Pair p;
  ASSERT_NO_FATAL_FAILURE(p.connect());
  std::string chunk(65536, 'x');
  long total = 0, n;
  int rounds = 0;
  while ((n = p.client->http_WriteData(chunk.data(), (long)chunk.size())) > 0 && rounds++ < 10000)
    total += n;
  EXPECT_EQ(n, 0) << "a full send buffer is 'nothing now', not a failure";
  EXPECT_GT(total, 0);
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::StatusConnected);

  // The peer goes away with our bytes unread (a reset). Writing must end in
  // a closed socket, never in SIGPIPE killing the process.
  p.server.reset();
  // GetStatus on a connected socket makes no system call, so it cannot know.
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::StatusConnected);
  ASSERT_TRUE(poll_until([&] { return p.client->http_WriteData(chunk.data(), 100) == -1; }));
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::StatusClosed);
}

TEST(TcpSocket, LookupAddress) {
  struct Case {
    const char* name;
    unsigned long want;
  } cases[] = {
      {"127.0.0.1", htonl(0x7f000001)},
      {"10.1.2.3", htonl(0x0a010203)},
      {"localhost", htonl(0x7f000001)},  // from the hosts file: no network
      {"a..b", 0},                       // refused by the resolver before any query
  };
  for (const Case& c : cases) EXPECT_EQ(PCSBSocket::LookupAddress(c.name), c.want) << c.name;
}

TEST(TcpSocket, DisconnectIsFinal) {
  Pair p;
  ASSERT_NO_FATAL_FAILURE(p.connect());
  p.client->Disconnect();
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::StatusClosed);
  char buf[8];
  ASSERT_TRUE(poll_until(
      [&] { return p.server->ReadData(buf, sizeof buf) != 0 || p.server->ReceivedRelease(); }));
  EXPECT_TRUE(p.server->ReceivedRelease());
}
