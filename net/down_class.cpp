// One HTTP/1.1 transfer, a step per poll: connect, send the request, read
// the head, write the body to its file, and succeed only with it whole.
#include "net/down_class.h"

#include <errno.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/globals.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "net/http.h"
#include "Sockets/PCSBSocket.h"

// [SECTION] helpers

bool header_name_less::operator()(const std::string& a, const std::string& b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int c = strncasecmp(a.data(), b.data(), n);
  return c != 0 ? c < 0 : a.size() < b.size();
}

namespace {

// "HTTP/x.y NNN reason": the reason may be empty, and its blank with it.
bool parse_status_line(const std::string& line, int* code, std::string* text) {
  if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0) return false;
  for (int i = 9; i < 12; i++)
    if (line[i] < '0' || line[i] > '9') return false;
  if (line.size() > 12 && line[12] != ' ') return false;
  *code = atoi(line.substr(9, 3).c_str());
  *text = line.size() > 13 ? line.substr(13) : std::string();
  return true;
}

// A length that is not a plain decimal number is treated as absent: taking a
// garbled value as 0 would report an empty file as a finished download.
int64_t parse_length(const std::string& value) {
  size_t b = value.find_first_not_of(" \t");
  size_t e = value.find_last_not_of(" \t");
  if (b == std::string::npos) return -1;
  int64_t n = 0;
  for (size_t i = b; i <= e; i++) {
    if (value[i] < '0' || value[i] > '9') return -1;
    if (n > (INT64_MAX - 9) / 10) return -1;
    n = n * 10 + (value[i] - '0');
  }
  return n;
}

}  // namespace

std::string down_class::encode_path(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// [SECTION] construction

down_class::down_class(const char* server, uint16_t port, const char* path, bool post,
                       const std::map<std::string, std::string>& fields, const char* body,
                       int body_len, const char* local_file)
    : sock(nullptr),
      headers_done(false),
      response_code(0),
      file(nullptr),
      error(0),
      content_length(-1),
      written(0),
      last_activity(xtim.act_time) {
  if (local_file) file_path = app_path + local_file;

  bool proxied = http.UseProxy(server, port);
  unsigned long addr = PCSBSocket::LookupAddress(proxied ? http.ProxyHost(server, port) : server);
  if (addr == 0) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&addr);
    xer << "Translated server " << server << " to IP addy: " << int(b[0]) << "." << int(b[1]) << "."
        << int(b[2]) << "." << int(b[3]) << " and port = " << port << "\n";
    error = kNetServerNotFound;
    return;
  }

  response_code = -1;
  sock = new PCSBSocket(0, false);
  sock->Connect(addr, proxied ? http.ProxyPort(server, port) : port);

  std::string req = post ? "POST " : "GET ";
  if (proxied) {
    auto host = fields.find("Host");
    req += "http://";
    req += host != fields.end() ? host->second : std::string(server);
  }
  req += encode_path(path);
  req += " HTTP/1.1\r\n";
  for (const auto& f : fields) req += f.first + ": " + f.second + "\r\n";
  if (body) req += "Content-Length: " + std::to_string(body_len) + "\r\n";
  req += "\r\n";
  send_buf.assign(req.begin(), req.end());
  if (body && body_len > 0) send_buf.insert(send_buf.end(), body, body + body_len);
}

down_class::~down_class() {
  if (file) fclose(file);
  delete sock;
}

// [SECTION] polling

void down_class::DoProcessing() {
  if (!sock) return;
  int status = sock->GetStatus();
  if (status == PCSBSocket::StatusClosed || status == PCSBSocket::StatusError) {
    close_file();
    return;
  }
  if (status != PCSBSocket::StatusConnected) return;

  if (!send_buf.empty()) {
    long took = sock->http_WriteData(send_buf.data(), static_cast<long>(send_buf.size()));
    if (took > 0) send_buf.erase(send_buf.begin(), send_buf.begin() + took);
  }

  if (read_chunk_.empty()) read_chunk_.resize(kReadChunk);
  long got = sock->ReadData(read_chunk_.data(), static_cast<long>(read_chunk_.size()));
  if (got <= 0) return;
  receive(read_chunk_.data(), static_cast<size_t>(got));
}

void down_class::receive(const char* data, size_t length) {
  if (length == 0 || refused_) return;
  if (headers_done && !file && recv_buf.size() + length > kMaxBodyInHand) return refuse();
  recv_buf.insert(recv_buf.end(), data, data + length);
  if (!headers_done) {
    scan_head();
    if (!headers_done) return;
  }
  write_body();
}

// The server decides what it sends: a reply beyond our bounds ends the
// transfer as failed, and what came of it is dropped.
void down_class::refuse() {
  refused_ = true;
  if (error == 0) error = EMSGSIZE;
  recv_buf.clear();
  recv_buf.shrink_to_fit();
  if (sock) sock->Disconnect();
}

// Memory: at most kMaxHeadBytes of head in hand (kMaxHeadLines lines, each
// kept in `headers` at most once); a longer or longer-lined head fails the
// transfer. Time: each received byte is looked at once by the line search,
// which resumes where the last one stopped, and each line is copied once.
void down_class::scan_head() {
  size_t start = 0;  // the first byte of the line being looked for
  while (!headers_done) {
    size_t eol = std::string::npos;
    for (size_t i = std::max(start, head_scanned_); i + 1 < recv_buf.size(); i++)
      if (recv_buf[i] == '\r' && recv_buf[i + 1] == '\n') {
        eol = i;
        break;
      }
    if (eol == std::string::npos) {
      // A CR at the end may be followed by its LF in the next read.
      head_scanned_ = recv_buf.size() > start ? recv_buf.size() - 1 : start;
      break;
    }
    head_bytes_ += eol + 2 - start;
    if (++head_lines_ > kMaxHeadLines || head_bytes_ > kMaxHeadBytes) return refuse();

    if (eol == start) {
      start = eol + 2;
      // A 1xx head is followed by the real one, often in the same read: keep
      // scanning what is in hand rather than waiting for data that may never come.
      if (response_code > 199) {
        headers_done = true;
        if (!file_path.empty()) {
          file = UTL_fopen_regular(file_path.c_str(), "wb");
          if (file)
            opened_file_ = true;
          else
            error = file_error = errno ? errno : EIO;
        }
        auto len = headers.find("Content-Length");
        if (len != headers.end()) content_length = parse_length(len->second);
      }
      continue;
    }

    std::string line(recv_buf.begin() + start, recv_buf.begin() + eol);
    int code;
    std::string text;
    if (parse_status_line(line, &code, &text)) {
      response_code = code;
      response_text = text;
    } else {
      size_t colon = line.find(": ");
      if (colon != std::string::npos)
        headers.emplace(line.substr(0, colon), line.substr(colon + 2));
    }
    start = eol + 2;
  }
  recv_buf.erase(recv_buf.begin(), recv_buf.begin() + start);
  head_scanned_ = head_scanned_ > start ? head_scanned_ - start : 0;
  if (!headers_done && head_bytes_ + recv_buf.size() > kMaxHeadBytes) refuse();
}

// Memory: with an output file, one read's worth of body; without one, the
// body is kept in recv_buf up to kMaxBodyInHand and the transfer fails past
// it. Time: one write per read.
void down_class::write_body() {
  last_activity = xtim.act_time;
  // The part of the last read that followed the head counts as well.
  if (!file && recv_buf.size() > kMaxBodyInHand) return refuse();
  bool reached = content_length != -1 && static_cast<uint64_t>(recv_buf.size() + written) >=
                                             static_cast<uint64_t>(content_length);
  if (reached && sock) sock->Disconnect();

  // With no output file the body stays in recv_buf and does not count as written.
  if (file && !recv_buf.empty()) {
    written += static_cast<int64_t>(recv_buf.size());
    errno = 0;
    if (fwrite(recv_buf.data(), 1, recv_buf.size(), file) != recv_buf.size())
      error = file_error = errno ? errno : EIO;
    recv_buf.clear();
  }
  // The owner judges the transfer in this same call, so the file must already
  // be flushed and closed: a failing flush (a full disk) then shows as an error.
  if (reached) close_file();
}

void down_class::close_file() {
  if (!file) return;
  errno = 0;
  if (fflush(file) != 0 && error == 0) error = file_error = errno ? errno : EIO;
  if (fclose(file) != 0 && error == 0) error = file_error = errno ? errno : EIO;
  file = nullptr;
}

// [SECTION] state tests

int down_class::GetStat() const {
  if (!sock) return down_no_socket;
  switch (sock->mStatus) {
    case PCSBSocket::StatusConnecting:
      return down_connecting;
    case PCSBSocket::StatusError:
      return down_socket_error;
    case PCSBSocket::StatusClosed:
      return down_closed;
    default:
      break;
  }
  if (!send_buf.empty()) return down_sending;
  return headers_done ? down_reading_body : down_awaiting_head;
}

bool down_class::IsComplete() const { return written == content_length && file == nullptr; }

bool down_class::IsErr() const {
  return error != 0 || !sock || sock->mStatus == PCSBSocket::StatusError;
}

int down_class::GetOSErr() const {
  if (error != 0) return error;
  if (sock) return sock->GetOSError();
  return kNetNoConnection;
}
