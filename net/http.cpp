// The download manager: proxy choice, the six slots driven from the frame,
// the "HTTP Error for" log blocks, and the network preference keys.
#include "net/http.h"

#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/clock.h"
#include "core/constants.h"
#include "core/globals.h"
#include "core/prefs.h"
#include "net/down_class.h"
#include "Sockets/PCSBSocket.h"

http_class http;
std::vector<std::string>& gProxyExclude = http.proxy_exclude;

namespace {

// A transfer that receives nothing for this long has failed.
constexpr double kIdleSeconds = 30.0;

std::string agent_text() {
  std::string version = build_name[0];
  return "Installer-APL/" + version.substr(version.size() - 4);
}

}  // namespace

// [SECTION] proxy settings

bool http_class::UseProxy(const char* server, uint16_t /*port*/) const {
  if (proxy_port_int == 0 || proxy_host.empty()) return false;
  size_t len = strlen(server);
  for (const std::string& ending : proxy_exclude)
    if (ending.size() <= len &&
        ending.compare(0, std::string::npos, server + len - ending.size()) == 0)
      return false;
  return true;
}

uint16_t http_class::ProxyPort(const char* server, uint16_t port) const {
  return UseProxy(server, port) ? static_cast<uint16_t>(proxy_port_int & 0xFFFF) : port;
}

const char* http_class::ProxyHost(const char* server, uint16_t port) const {
  return UseProxy(server, port) ? proxy_host.c_str() : server;
}

// [SECTION] download slots

void http_class::net_abandon(int slot) {
  if (slot < 0 || slot >= kHttpSlots || !slots[slot]) return;
  down_class* d = slots[slot];
  std::string partial = d->OpenedFile() ? d->file_path : std::string();
  delete d;  // closes the file first
  slots[slot] = nullptr;
  requests_[slot] = slot_request();
  if (!partial.empty()) remove(partial.c_str());
}

void http_class::reset() {
  for (int slot = 0; slot < kHttpSlots; ++slot) net_abandon(slot);
  proxy_host.clear();
  proxy_port.clear();
  proxy_port_int = 0;
  proxy_exclude.clear();
  networking_started_ = false;
}

int http_class::net_check(int slot, const std::string& server, const std::string& path,
                          const std::string& local_file) {
  if (slot < 0 || slot >= kHttpSlots)
    MACIBM_alert(wind_main, "Too many download objects requested!", "", "", "", t_exit);

  if (!networking_started_) {
    networking_started_ = true;
    PCSBSocket::StartupNetworking(true);
  }

  slot_request& req = requests_[slot];
  if (slots[slot] && (req.server != server || req.path != path || req.local_file != local_file))
    net_abandon(slot);

  if (!slots[slot]) {
    std::string host;
    uint16_t port = 80;
    if (!http_split_server(server, &host, &port) || path.empty() || path[0] != '/') {
      xer << "HTTP Error for " << local_file << "\n"
          << "   server     =" << server << "\n"
          << "   file       =" << path << "\n"
          << "   a server is a host name with an optional port, and a path starts with a slash\n\n";
      xer.flush();
      final_response[slot] = 0;
      final_file_error[slot] = 0;
      return net_failed;
    }
    std::map<std::string, std::string> fields;
    // The Host field names the port whenever the server did.
    fields["Host"] = server;
    fields["User-agent"] = agent_text();
    fields["Connection"] = "close";
    slots[slot] = new down_class(host.c_str(), port, path.c_str(), false, fields, nullptr, 0,
                                 local_file.c_str());
    req = slot_request{server, path, local_file};
  }

  down_class* d = slots[slot];
  d->DoProcessing();

  net_result result;
  if (!(d->IsDone() || d->IsComplete() || d->IsErr())) {
    // Silence, not total time: last_activity moves with every body read.
    if (static_cast<double>(xtim.act_time) <= static_cast<double>(d->last_activity) + kIdleSeconds)
      return net_busy;
    result = net_failed;
  } else if (http_success(d->response_code) && d->IsComplete() && !d->IsErr()) {
    result = net_finished;
  } else {
    xer << "HTTP Error for " << local_file << "\n"
        << "   server     =" << server << "\n"
        << "   file       =" << path << "\n"
        << "   IsDone     =" << (d->IsDone() ? 1 : 0) << "\n"
        << "   IsComplete =" << (d->IsComplete() ? 1 : 0) << "\n"
        << "   IsErr      =" << (d->IsErr() ? 1 : 0) << "\n"
        << "   GetStat    =" << d->GetStat() << "\n"
        << "   GetOSErr   =" << d->GetOSErr() << "\n"
        << "   response   =" << d->response_text << " (#" << d->response_code << ")\n\n";
    xer.flush();
    result = net_failed;
  }
  final_response[slot] = d->response_code;
  final_file_error[slot] = d->file_error;
  delete d;
  slots[slot] = nullptr;
  req = slot_request();
  return result;
}

// [SECTION] Preferences

namespace {

void http_prefs_io(scan_class& scan) {
  scan.str_io(&http.proxy_host, "_proxy_host");
  scan.str_io(&http.proxy_port, "_proxy_port");
  scan.int_io(&http.proxy_port_int, "_proxy_port_int");
  // The maker's hosts: written only when changed from the built-in ones, so
  // a new build's defaults reach users who never touched them.
  if (scan.mode == 0) {
    scan.str_io(&web_host, "_web_host");
    scan.str_io(&shop_host, "_shop_host");
  } else {
    std::string web = web_host == kDefaultWebHost ? "" : web_host;
    std::string shop = shop_host == kDefaultShopHost ? "" : shop_host;
    scan.str_io(&web, "_web_host");
    scan.str_io(&shop, "_shop_host");
  }
}

}  // namespace

void http_register_prefs(int which) { pref.add_keys(which, http_prefs_io); }
