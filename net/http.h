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

 private:
  struct slot_request {
    std::string server, path, local_file;
  };
  slot_request requests_[6];
};

extern http_class http;

// Server names come from downloaded lists, so a bad one must fail that one
// transfer, not end the program. Only plain host-name characters pass:
// anything else could break the request's head.
inline bool http_host_name_ok(const std::string& server) {
  if (server.empty()) return false;
  for (char c : server) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '.' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// Binds the proxy settings and the maker's hosts to keys of a preference set.
void http_register_prefs(int which);

// Server-name endings that never go through the proxy.
extern std::vector<std::string> gProxyExclude;
