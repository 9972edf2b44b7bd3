// The download manager: proxy settings and six polled download slots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class down_class;

class http_class {
 public:
  std::string proxy_host;
  std::string proxy_port;  // as the user typed it
  int proxy_port_int = 0;  // 0: no proxy
  down_class* slots[6] = {};
  // The status code of the reply each slot's last transfer ended with, kept
  // when net_check answers 1 or 2 (the transfer is gone by then); 0 or -1
  // when no reply head came.
  int final_response[6] = {};

  bool UseProxy(const char* server, uint16_t port) const;
  uint16_t ProxyPort(const char* server, uint16_t port) const;
  const char* ProxyHost(const char* server, uint16_t port) const;

  // Drives slot 0..5 one step: 0 busy, 1 finished (the file holds the whole
  // body), 2 failed. Call again with the same arguments until it is not 0; a
  // busy slot asked for something else drops its old transfer and starts anew.
  int net_check(int slot, const std::string& server, const std::string& path,
                const std::string& local_file);
  // Drops the slot's transfer, if any, and removes the partial file it wrote.
  void net_abandon(int slot);
  // Back to start-up: every slot abandoned, no proxy, no exclusions.
  void reset();

 private:
  struct slot_request {
    std::string server, path, local_file;
  };
  slot_request requests_[6];
};

extern http_class http;

// Server names come from downloaded lists, so a bad one must fail that one
// transfer, not end the program. A server is a host name of plain host-name
// characters (anything else could break the request's head), optionally
// followed by ":" and a port of 1 to 65535 (80 when none is given), so that a
// mirror can be served from an unprivileged port. Splits a good one into
// *host and *port (either may be null); false for anything else.
inline bool http_split_server(const std::string& server, std::string* host, uint16_t* port) {
  const size_t colon = server.find(':');
  const std::string name = server.substr(0, colon);
  if (name.empty()) return false;
  for (char c : name) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '.' || c == '_';
    if (!ok) return false;
  }
  long number = 80;
  if (colon != std::string::npos) {
    const std::string digits = server.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    number = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535) return false;
  }
  if (host) *host = name;
  if (port) *port = static_cast<uint16_t>(number);
  return true;
}

inline bool http_host_name_ok(const std::string& server) {
  return http_split_server(server, nullptr, nullptr);
}

// Binds the proxy settings and the maker's hosts to keys of a preference set.
void http_register_prefs(int which);

// Server-name endings that never go through the proxy.
extern std::vector<std::string> gProxyExclude;
