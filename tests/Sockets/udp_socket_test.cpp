// The UDP socket on loopback: a datagram to its own port, an empty
// non-blocking read, a port already taken, and the close rules.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "Sockets/PCSBSocketUDP.h"

namespace {

uint16_t bound_port(const PCSBSocketUDP& s) {
  sockaddr_in a = {};
  socklen_t len = sizeof a;
  getsockname(s.mWinSocket, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

}  // namespace

TEST(UdpSocket, DatagramToOwnPortComesBackWithLoopbackSender) {
  PCSBSocketUDP s;
  ASSERT_TRUE(s.udp_init(0, udp_non_blocking));
  uint16_t port = bound_port(s);
  ASSERT_NE(port, 0);

  EXPECT_EQ(s.udp_WriteData("hello", 5, 0x7f000001, port), 5);
  char buf[64];
  unsigned long from = 1;
  uint16_t from_port = 1;
  int got = -1;
  for (int i = 0; i < 2000 && got < 0; i++) {
    got = s.ReadData(buf, sizeof buf, &from, &from_port);
    if (got < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(got, 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(from, 0x7f000001u);
  EXPECT_EQ(from_port, port);

  // Nothing waiting on a non-blocking socket: -1 and a zero sender.
  EXPECT_EQ(s.ReadData(buf, sizeof buf, &from, &from_port), -1);
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(from_port, 0);
}

TEST(UdpSocket, PortAlreadyBoundFails) {
  PCSBSocketUDP first, second;
  ASSERT_TRUE(first.udp_init(0, udp_blocking));
  EXPECT_FALSE(second.udp_init(bound_port(first), udp_non_blocking));
  EXPECT_EQ(second.mWinSocket, -1);
}

size_t open_descriptors() {
  size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) n += !e.path().empty();
  return n;
}

TEST(UdpSocket, SecondInitReplacesTheFirstDescriptor) {
  PCSBSocketUDP s;
  const size_t before = open_descriptors();
  ASSERT_TRUE(s.udp_init(0, udp_non_blocking));
  ASSERT_TRUE(s.udp_init(0, udp_non_blocking));
  EXPECT_EQ(open_descriptors(), before + 1) << "the first socket must be closed";
  s.Cleanup();
  EXPECT_EQ(open_descriptors(), before);
}

TEST(UdpSocket, CleanupTwiceAndReinit) {
  PCSBSocketUDP s;
  ASSERT_TRUE(s.udp_init(0, udp_non_blocking));
  EXPECT_EQ(s.Cleanup(), 0);
  EXPECT_EQ(s.mWinSocket, -1);
  EXPECT_EQ(s.Cleanup(), -1);
  EXPECT_TRUE(s.udp_init(0, udp_non_blocking));
  EXPECT_GE(s.mWinSocket, 0);
}

TEST(UdpSocketDeathTest, ReadWithoutDescriptorIsFatal) {
  PCSBSocketUDP s;
  char buf[8];
  unsigned long a;
  uint16_t p;
  EXPECT_EXIT(s.ReadData(buf, sizeof buf, &a, &p), testing::ExitedWithCode(1), "Bad mWinSocket!");
}
