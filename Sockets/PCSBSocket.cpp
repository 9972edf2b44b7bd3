// The TCP socket over BSD sockets: connects without waiting, polls with a
// zero time-out, and reports its state in five values.
#include "Sockets/PCSBSocket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// Errors that mean the connection itself is gone (StatusClosed), as opposed
// to a fault of this side (StatusError). Matched by name: the numbers differ by system.
bool is_connection_failure(int err) {
  switch (err) {
    case ECONNABORTED:
    case ECONNREFUSED:
    case ECONNRESET:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETRESET:
    case ENETUNREACH:
    case ETIMEDOUT:
      return true;
    default:
      return false;
  }
}

void set_non_blocking(int fd) {
  int on = 1;
  ioctl(fd, FIONBIO, &on);
}

}  // namespace

PCSBSocket::PCSBSocket(uint16_t inPort, bool inListen)
    : mSocket(-1),
      mStatus(StatusUnconnected),
      mOSError(0),
      mReceivedRelease(false),
      mSentRelease(false),
      mIsListener(false) {
  // Close-on-exec so that programs we launch do not keep our connections open.
  mSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (mSocket == -1) {
    fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
    SetError(errno);
    return;
  }
  int on = 1;
  if (setsockopt(mSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
    printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", inPort);

  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(inPort);
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(mSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
    SetError(errno);
    return;
  }
  set_non_blocking(mSocket);

  if (inListen) {
    mIsListener = true;
    if (listen(mSocket, 128) != 0) {
      fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
      SetError(errno);
    }
  }
}

PCSBSocket::PCSBSocket(int inAcceptedSocket)
    : mSocket(inAcceptedSocket),
      mStatus(StatusConnected),
      mOSError(0),
      mReceivedRelease(false),
      mSentRelease(false),
      mIsListener(false) {
  set_non_blocking(mSocket);
}

PCSBSocket::~PCSBSocket() {
  if (mSocket != -1) {
    shutdown(mSocket, SHUT_RDWR);
    close(mSocket);
  }
}

bool PCSBSocket::StartupNetworking(bool /*inDoOT*/) { return true; }

void PCSBSocket::ShutdownNetworking(bool /*inDoOT*/) {}

int PCSBSocket::printf_null(const char* /*fmt*/, ...) { return 0; }

void PCSBSocket::SetError(int err) {
  mStatus = StatusError;
  mOSError = err;
}

int PCSBSocket::GetStatus() {
  if (mStatus == StatusUnconnected && mIsListener) {
    pollfd p = {mSocket, POLLIN, 0};
    int result = poll(&p, 1, 0);
    if (result > 0) {
      mStatus = (p.revents & POLLIN) ? StatusConnecting : StatusClosed;
    } else if (result < 0 && errno != EINTR) {
      fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", result);
      SetError(errno);
    }
  } else if (mStatus == StatusConnecting) {
    pollfd p = {mSocket, POLLOUT, 0};
    int result = poll(&p, 1, 0);
    if (result > 0) {
      // Writable alone is not success on this system: a refused connect is
      // writable too, and only the pending socket error tells them apart.
      int pending = 0;
      socklen_t len = sizeof pending;
      bool ok = (p.revents & POLLOUT) && !(p.revents & (POLLERR | POLLHUP | POLLNVAL)) &&
                getsockopt(mSocket, SOL_SOCKET, SO_ERROR, &pending, &len) == 0 && pending == 0;
      mStatus = ok ? StatusConnected : StatusClosed;
    } else if (result < 0 && errno != EINTR) {
      int err = errno;
      fprintf(stderr,
              "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n",
              result, err, mSocket);
      SetError(err);
    }
  }
  return mStatus;
}

long PCSBSocket::ResultOfFailure(const char* what) {
  int err = errno;
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
  if (is_connection_failure(err) || err == EPIPE) {
    mStatus = StatusClosed;
    return -1;
  }
  fprintf(stderr, "LINUX: NET: Some sort of error while %s! %d\n", what, err);
  SetError(err);
  return -1;
}

long PCSBSocket::ReadData(void* outBuf, long inBufSize) {
  ssize_t got = recv(mSocket, outBuf, static_cast<size_t>(inBufSize), 0);
  if (got > 0) return got;
  if (got == 0) {
    mReceivedRelease = true;
    if (mSentRelease) {
      mStatus = StatusClosed;
      return -1;
    }
    return 0;
  }
  return ResultOfFailure("recving");
}

long PCSBSocket::http_WriteData(const void* inBuf, long inBufSize) {
  // A peer that has gone must show as a closed socket, not as SIGPIPE.
  ssize_t sent = send(mSocket, inBuf, static_cast<size_t>(inBufSize), MSG_NOSIGNAL);
  if (sent >= 0) return sent;
  return ResultOfFailure("sending");
}

void PCSBSocket::Disconnect() {
  shutdown(mSocket, SHUT_RDWR);
  mStatus = StatusClosed;
}

void PCSBSocket::Release() {
  if (shutdown(mSocket, SHUT_WR) != 0) SetError(errno);
  mSentRelease = true;
}

unsigned long PCSBSocket::LookupAddress(const char* inAddress) {
  in_addr_t dotted = inet_addr(inAddress);
  if (dotted != INADDR_NONE) return dotted;
  hostent* entry = gethostbyname(inAddress);
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0])
    return 0;
  in_addr_t first;
  memcpy(&first, entry->h_addr_list[0], sizeof first);
  return first;
}

void PCSBSocket::Connect(unsigned long inAddress, uint16_t inPort) {
  mStatus = StatusConnecting;
  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(inPort);
  addr.sin_addr.s_addr = static_cast<in_addr_t>(inAddress);
  if (connect(mSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    mStatus = StatusConnected;
    return;
  }
  int err = errno;
  if (err == EINPROGRESS || err == EAGAIN) return;
  // A loopback connect is decided inside the call: a refused one must read as
  // a connect that did not complete, the same as when it is refused later.
  if (is_connection_failure(err)) {
    mStatus = StatusClosed;
    return;
  }
  fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", err);
  SetError(err);
}

void PCSBSocket::GetAddresses(ConnectionData* outData) {
  sockaddr_in addr;
  socklen_t len = sizeof addr;
  memset(&addr, 0, sizeof addr);
  if (getpeername(mSocket, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    outData->remoteAddress = addr.sin_addr.s_addr;
    outData->remotePort = ntohs(addr.sin_port);
  }
  len = sizeof addr;
  memset(&addr, 0, sizeof addr);
  if (getsockname(mSocket, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    outData->localAddress = ntohl(addr.sin_addr.s_addr);
    outData->localPort = ntohs(addr.sin_port);
  }
}

PCSBSocket* PCSBSocket::Accept() {
  int fd = accept4(mSocket, nullptr, nullptr, SOCK_CLOEXEC);
  mStatus = StatusUnconnected;
  if (fd < 0) return nullptr;
  return new PCSBSocket(fd);
}
