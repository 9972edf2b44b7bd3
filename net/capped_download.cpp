// The capped download: a slot's transfer stopped once it is over its cap or
// its server has given up on it, and the failure told apart as refused or
// out of reach.
#include "net/capped_download.h"

#include <sys/stat.h>

#include "core/globals.h"
#include "Files/io_utils.h"
#include "net/down_class.h"
#include "Sockets/PCSBSocket.h"

namespace {

// Replies that a server in trouble gives, and that may come out otherwise on
// another try.
constexpr int kHttpRequestTimeout = 408;
constexpr int kHttpTooManyRequests = 429;

// A reply that says the file is not there to be had (not found, forbidden, a
// redirection we do not follow), as against a server in trouble that may
// recover (5xx, a time-out, too many requests).
bool reply_refuses(int code) {
  return code >= 300 && code < 500 && code != kHttpRequestTimeout && code != kHttpTooManyRequests;
}

}  // namespace

net_result net_check_capped(int slot, const std::string& server, const std::string& path,
                            const std::string& local_file, int64_t cap, download_failure* failure) {
  download_failure why = failure_unreachable;
  net_result r = static_cast<net_result>(http.net_check(slot, server, path, local_file));
  if (r == net_busy) {
    const down_class* d = http.slots[slot];
    if (d && (d->content_length > cap || d->written > cap)) {
      xer << "Abandoning " << path << " from " << server << ": more than " << cap << " bytes.\n";
      http.net_abandon(slot);
      why = failure_refused;
      r = net_failed;
    } else if (d && d->sock && d->sock->ReceivedRelease() && !d->IsComplete()) {
      // The server has closed its side before the whole body came: no more
      // will come, so waiting out the idle rule would only stall the caller.
      xer << "Abandoning " << path << " from " << server
          << ": the server closed the connection after " << d->written << " bytes.\n";
      http.net_abandon(slot);
      r = net_failed;
    }
  } else if (r == net_finished) {
    struct stat st;
    if (stat((app_path + local_file).c_str(), &st) == 0 && st.st_size > cap) {
      xer << "Refusing " << path << " from " << server << ": more than " << cap << " bytes.\n";
      delete_file(local_file);
      why = failure_refused;
      r = net_failed;
    }
  } else if (http.final_file_error[slot] != 0) {
    why = failure_local;
  } else if (reply_refuses(http.final_response[slot])) {
    why = failure_refused;
  }
  if (r == net_failed && failure) *failure = why;
  return r;
}
