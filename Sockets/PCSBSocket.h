// Non-blocking IPv4 TCP socket, polled by its owner: no call waits on the
// network except the host-name look-up.
#pragma once

#include <cstdint>

class PCSBSocket {
 public:
  // What GetStatus answers and mStatus holds (logs print the number).
  enum socket_status : int {
    StatusUnconnected = 1,  // made, no connect yet; a listener with nothing waiting
    StatusConnecting = 2,   // connect under way; a listener with a connection waiting
    StatusConnected = 3,
    StatusClosed = 4,
    StatusError = 5  // mOSError holds the error number
  };

  struct ConnectionData {
    uint32_t localAddress;   // host byte order
    uint16_t localPort;      // host byte order
    uint32_t remoteAddress;  // network byte order, as the socket address carries it
    uint16_t remotePort;     // host byte order
  };

  PCSBSocket(uint16_t inPort, bool inListen);
  explicit PCSBSocket(int inAcceptedSocket);
  virtual ~PCSBSocket();

  static bool StartupNetworking(bool inDoOT);
  static void ShutdownNetworking(bool inDoOT);

  int GetStatus();
  int GetOSError() const { return mOSError; }
  bool ReceivedRelease() const { return mReceivedRelease; }

  // Both return the byte count, 0 when the call would block (or the peer
  // released and this side has not), -1 once the connection is closed or failed.
  long ReadData(void* outBuf, long inBufSize);
  long http_WriteData(const void* inBuf, long inBufSize);

  void Disconnect();
  void Release();

  // Network byte order; 0 when the name cannot be resolved. Blocks on the resolver.
  static unsigned long LookupAddress(const char* inAddress);
  void Connect(unsigned long inAddress, uint16_t inPort);
  void GetAddresses(ConnectionData* outData);
  PCSBSocket* Accept();

  static int printf_null(const char* fmt, ...);

  int mSocket;
  int mStatus;
  int mOSError;
  bool mReceivedRelease;
  bool mSentRelease;
  bool mIsListener;

 private:
  void SetError(int err);
  long ResultOfFailure(const char* what);
};
