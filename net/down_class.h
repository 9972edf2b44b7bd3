// One HTTP/1.1 transfer: connects without waiting, sends one request, reads the
// response head and writes the body to a local file, one step per poll.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class PCSBSocket;

// What GetStat answers (the "HTTP Error for" block prints the number).
enum down_stat : int {
  down_no_socket = 0,
  down_connecting = 1,
  down_socket_error = 2,
  down_closed = 3,
  down_sending = 4,  // request bytes still going out
  down_reading_body = 5,
  down_awaiting_head = 6,
};

// Response header names compare without regard to letter case, as HTTP
// defines them: "content-length" is the same field as "Content-Length".
struct header_name_less {
  bool operator()(const std::string& a, const std::string& b) const;
};

class down_class {
 public:
  down_class(const char* server, uint16_t port, const char* path, bool post,
             const std::map<std::string, std::string>& fields, const char* body, int body_len,
             const char* local_file);
  ~down_class();
  down_class(const down_class&) = delete;
  down_class& operator=(const down_class&) = delete;

  void DoProcessing();
  // Hands received bytes to the head and body steps, as DoProcessing does
  // with each read (the reply parser's fuzzing harness feeds it directly).
  void receive(const char* data, size_t length);

  // A response head may hold this many bytes and lines, 1xx heads included;
  // without an output file the body in hand may grow to kMaxBodyInHand.
  // Beyond that the transfer fails (IsErr, GetOSErr EMSGSIZE).
  static constexpr size_t kMaxHeadBytes = 32 * 1024;
  static constexpr size_t kMaxHeadLines = 256;
  static constexpr size_t kMaxBodyInHand = 1024 * 1024;
  // One read from the socket takes at most this many bytes.
  static constexpr size_t kReadChunk = 64 * 1024;

  // A down_stat.
  int GetStat() const;
  bool IsDone() const { return GetStat() == down_closed; }
  // The whole announced body is on disk: written, flushed and closed.
  bool IsComplete() const;
  bool IsErr() const;
  // A system error number, or kNetServerNotFound / kNetNoConnection of the
  // file layer's results.
  int GetOSErr() const;

  // Percent-encodes every byte outside the unreserved set and "/".
  static std::string encode_path(const std::string& path);

  PCSBSocket* sock;
  std::vector<char> send_buf;
  std::vector<char> recv_buf;
  bool headers_done;
  int response_code;
  std::string response_text;
  std::map<std::string, std::string, header_name_less> headers;
  FILE* file;
  std::string file_path;
  int error;
  // The system error of creating, writing, flushing or closing the local
  // file (also in `error`); 0 when none.
  int file_error = 0;
  int64_t content_length;
  int64_t written;
  float last_activity;

  // The output file was created by this transfer (so abandoning it may remove it).
  bool OpenedFile() const { return opened_file_; }

 private:
  std::vector<char> read_chunk_;  // one read's bytes, sized at the first read
  bool opened_file_ = false;
  bool refused_ = false;
  size_t head_bytes_ = 0, head_lines_ = 0;
  size_t head_scanned_ = 0;  // recv_buf offset where the line search resumes
  void scan_head();
  void refuse();
  void write_body();
  void close_file();
};
