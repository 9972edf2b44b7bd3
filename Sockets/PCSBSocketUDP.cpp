// The UDP socket over BSD sockets: bound to a local port, one datagram per
// call, never waiting.
#include "Sockets/PCSBSocketUDP.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "core/alert.h"
#include "core/globals.h"

PCSBSocketUDP::PCSBSocketUDP() : mWinSocket(-1) { memset(&mSockAddr, 0, sizeof mSockAddr); }

PCSBSocketUDP::~PCSBSocketUDP() {
  if (mWinSocket != -1) close(mWinSocket);
}

bool PCSBSocketUDP::udp_init(uint16_t inPort, int inMode) {
  // A second init without Cleanup starts afresh rather than losing the
  // descriptor it had.
  Cleanup();
  memset(&mSockAddr, 0, sizeof mSockAddr);
  mSockAddr.sin_family = AF_INET;
  mSockAddr.sin_port = htons(inPort);
  mSockAddr.sin_addr.s_addr = htonl(INADDR_ANY);

  mWinSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (mWinSocket == -1) return false;

  if (bind(mWinSocket, reinterpret_cast<sockaddr*>(&mSockAddr), sizeof mSockAddr) != 0) {
    close(mWinSocket);
    mWinSocket = -1;
    return false;
  }
  if (inMode == udp_non_blocking) {
    int flags = fcntl(mWinSocket, F_GETFL, 0);
    if (flags == -1 || fcntl(mWinSocket, F_SETFL, flags | O_NONBLOCK) == -1) {
      MACIBM_alert(wind_main, "Could not set net to non-blocking!", "", "", "", t_alert);
      close(mWinSocket);
      mWinSocket = -1;
      return false;
    }
  }
  size_buffer();
  return true;
}

void PCSBSocketUDP::size_buffer() {
  int snd = udp_buffer_size_snd, rcv = udp_buffer_size_rcv, got = 0;
  socklen_t len = sizeof got;
  bool ok = setsockopt(mWinSocket, SOL_SOCKET, SO_SNDBUF, &snd, sizeof snd) == 0 &&
            getsockopt(mWinSocket, SOL_SOCKET, SO_SNDBUF, &got, &len) == 0;
  len = sizeof got;
  ok = ok && setsockopt(mWinSocket, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv) == 0 &&
       getsockopt(mWinSocket, SOL_SOCKET, SO_RCVBUF, &got, &len) == 0;
  if (!ok) MACIBM_alert(wind_main, "Could not set socket size!", "", "", "", t_exit);
}

int PCSBSocketUDP::udp_WriteData(const void* inBuf, long inBufSize, unsigned long inAddress,
                                 uint16_t inPort) {
  sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons(inPort);
  to.sin_addr.s_addr = htonl(static_cast<uint32_t>(inAddress));
  return static_cast<int>(sendto(mWinSocket, inBuf, static_cast<size_t>(inBufSize), 0,
                                 reinterpret_cast<sockaddr*>(&to), sizeof to));
}

int PCSBSocketUDP::ReadData(void* outBuf, long inBufSize, unsigned long* outAddress,
                            uint16_t* outPort) {
  if (mWinSocket < 0) MACIBM_alert(wind_main, "Bad mWinSocket!", "", "", "", t_exit);
  sockaddr_in from;
  memset(&from, 0, sizeof from);
  socklen_t len = sizeof from;
  ssize_t got = recvfrom(mWinSocket, outBuf, static_cast<size_t>(inBufSize), 0,
                         reinterpret_cast<sockaddr*>(&from), &len);
  if (got < 0) memset(&from, 0, sizeof from);
  *outAddress = ntohl(from.sin_addr.s_addr);
  *outPort = ntohs(from.sin_port);
  return static_cast<int>(got);
}

int PCSBSocketUDP::Cleanup() {
  int result = -1;
  if (mWinSocket != -1) result = close(mWinSocket);
  mWinSocket = -1;
  return result;
}
