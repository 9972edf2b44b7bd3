// The download manager: proxy settings and six polled download slots, who
// uses which slot, and what a poll answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class down_class;

// [SECTION] Results and slots

// What net_check answers (the logs print the number).
enum net_result : int {
  net_busy = 0,      // call again with the same arguments
  net_finished = 1,  // the file holds the whole body
  net_failed = 2,
};

// A reply status of the success class, 2xx: the only replies whose body is
// the file asked for.
constexpr bool http_success(int status) { return status >= 200 && status <= 299; }

// The slots, and who takes which. The frame fetches the server list and the
// manifest in the first two; the transfer engine's streams own the others,
// stream s in stream_slot(s). The about box reuses the first two: it belongs
// to the framework's programs and the installer never opens it, so it never
// polls them while the frame does. Any other user needs a slot of its own.
inline constexpr int kHttpSlots = 6;
inline constexpr int kServerListSlot = 0;
inline constexpr int kManifestSlot = 1;
inline constexpr int kAboutListSlot = kServerListSlot;
inline constexpr int kAboutInstallerSlot = kManifestSlot;
inline constexpr int kStreams = 4;  // the transfer engine's download streams
inline constexpr int kFirstStreamSlot = 2;
constexpr int stream_slot(int stream) { return kFirstStreamSlot + stream; }

static_assert(stream_slot(kStreams) == kHttpSlots, "the streams take the last slots");
static_assert(kServerListSlot != kManifestSlot, "the frame polls both fetches at once");
static_assert(kServerListSlot < kFirstStreamSlot && kManifestSlot < kFirstStreamSlot,
              "the frame's fetches run beside the streams");
static_assert(kAboutListSlot < kFirstStreamSlot && kAboutInstallerSlot < kFirstStreamSlot &&
                  kAboutListSlot != kAboutInstallerSlot,
              "the about box's two downloads stay clear of the streams and of each other");

// [SECTION] The manager

class http_class {
 public:
  std::string proxy_host;
  std::string proxy_port;  // as the user typed it
  int proxy_port_int = 0;  // 0: no proxy
  down_class* slots[kHttpSlots] = {};
  // The status code of the reply each slot's last transfer ended with, kept
  // when net_check answers 1 or 2 (the transfer is gone by then); 0 or -1
  // when no reply head came.
  int final_response[kHttpSlots] = {};
  // The system error that writing the local file met in each slot's last
  // transfer (a full disk...), kept as final_response is; 0 when none.
  int final_file_error[kHttpSlots] = {};
  // Server-name endings that never go through the proxy (gProxyExclude).
  std::vector<std::string> proxy_exclude;

  bool UseProxy(const char* server, uint16_t port) const;
  uint16_t ProxyPort(const char* server, uint16_t port) const;
  const char* ProxyHost(const char* server, uint16_t port) const;

  // Drives slot 0..kHttpSlots-1 one step: a net_result, net_busy until the
  // transfer ends. Call again with the same arguments until it is not busy; a
  // busy slot asked for something else drops its old transfer and starts anew.
  // A slot outside the range is a fatal alert.
  int net_check(int slot, const std::string& server, const std::string& path,
                const std::string& local_file);
  // Drops the slot's transfer, if any, and removes the partial file it wrote.
  void net_abandon(int slot);
  // Back to start-up: every slot abandoned, no proxy, no exclusions, and
  // networking to be started again by the next poll.
  void reset();

 private:
  struct slot_request {
    std::string server, path, local_file;
  };
  slot_request requests_[kHttpSlots];
  bool networking_started_ = false;
};

extern http_class http;

// [SECTION] Server names

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

// Server-name endings that never go through the proxy: http.proxy_exclude.
extern std::vector<std::string>& gProxyExclude;
