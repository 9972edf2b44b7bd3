// IPv4 UDP socket bound to a local port: single datagrams out and in.
#pragma once

#include <netinet/in.h>

#include <cstdint>

inline constexpr int udp_buffer_size_snd = 16384;
inline constexpr int udp_buffer_size_rcv = 65536;

// udp_init's modes: only udp_non_blocking asks for a socket that never waits;
// any other value blocks.
enum udp_mode : int {
  udp_blocking = 1,
  udp_non_blocking = 2,
};

class PCSBSocketUDP {
 public:
  PCSBSocketUDP();
  virtual ~PCSBSocketUDP();

  // inMode: a udp_mode.
  bool udp_init(uint16_t inPort, int inMode);
  // Address and port in host byte order; the system's result (bytes or -1).
  int udp_WriteData(const void* inBuf, long inBufSize, unsigned long inAddress, uint16_t inPort);
  // Sender's address and port come back in host byte order (both 0 after a failure).
  int ReadData(void* outBuf, long inBufSize, unsigned long* outAddress, uint16_t* outPort);
  int Cleanup();
  void size_buffer();

  int mWinSocket;
  sockaddr_in mSockAddr;
};
