// The server list and the manifest: their downloads polled once a frame,
// their checks, the unpacking of the manifest archive, and the choice of
// another mirror when one fails.
#include "installer/fetch.h"

#include <algorithm>

#include "core/clock.h"
#include "core/globals.h"
#include "Files/io_utils.h"
#include "Files/zip_entries.h"
#include "installer/sizes.h"
#include "installer/start.h"
#include "installer/update/manifest.h"
#include "installer/update/server_list.h"
#include "installer/update/transfer.h"
#include "net/capped_download.h"
#include "net/http.h"
#include "net/retry_pause.h"

namespace {

// A mirror is tried this many times before it is given up.
const int kAttemptsPerMirror = 3;

struct fetch_state {
  net_retry_pause list_pause;
  net_retry_pause manifest_pause;
  int failures[kMirrorCount] = {};  // kAttemptsPerMirror and more: given up
  bool none_left = false;
};
fetch_state g_fetch;

int mirror_count() { return std::max(0, std::min(stg.server_count, kMirrorCount)); }

// The mirror in use failed: counted (given up at once when what it served is
// unusable), and the next attempt goes to the mirror that has failed least,
// the first ones favoured among equals, after a growing pause.
void mirror_failed(bool unusable) {
  const int count = mirror_count();
  const int i = stg.server_index;
  if (i >= 0 && i < count) {
    ++g_fetch.failures[i];
    if (unusable) g_fetch.failures[i] = std::max(g_fetch.failures[i], kAttemptsPerMirror);
  }
  const int chosen = draw_least_failed(g_fetch.failures, count, kAttemptsPerMirror);
  if (chosen < 0) {
    g_fetch.none_left = true;
    xer << "No mirror is left to fetch the manifest from.\n";
    xer.flush();
    return;
  }
  stg.server_index = chosen;
  g_fetch.manifest_pause.failed(xtim.act_time);
  const int pause = static_cast<int>(g_fetch.manifest_pause.resume_at() - xtim.act_time + 0.5f);
  xer << "Fetching the manifest from " << server_name[stg.server_index] << " next, in " << pause
      << " s.\n";
  xer.flush();
}

}  // namespace

std::string server_list_file() { return temp_path + "serverlist.txt"; }
std::string manifest_archive_file() { return temp_path + "directory.txt.zip"; }
std::string manifest_file() { return temp_path + "directory.txt"; }

void fetch_reset() { g_fetch = fetch_state(); }

bool no_mirror_left() { return g_fetch.none_left; }

void mirror_chosen(int i) {
  if (i < 0 || i >= mirror_count()) return;
  g_fetch.failures[i] = 0;
  g_fetch.none_left = false;
  g_fetch.manifest_pause.reset();
}

void server_list_step() {
  if (!g_fetch.list_pause.ready(xtim.act_time)) return;
  const net_result r = net_check_capped(kServerListSlot, web_host, "/serverlist.txt",
                                        server_list_file(), kServerListCap);
  if (r == net_busy) return;
  if (r == net_finished) {
    const server_list_result read = read_server_list(g_install, server_list_file());
    // A newer list: the message, and the run ends.
    if (read == server_list_newer) new_format(server_list_file());
    if (read != server_list_unusable) {
      g_fetch.list_pause.reset();
      return;
    }
  }
  g_fetch.list_pause.failed(xtim.act_time);
}

int unpack_manifest(const std::string& archive, const std::string& folder) {
  std::string name = "directory.txt";
  return zip_unpack_single(archive, folder, &name, kManifestTextCap);
}

void manifest_fetch_step() {
  const int i = stg.server_index;
  if (g_fetch.none_left || i < 0 || i >= mirror_count()) return;
  if (!g_fetch.manifest_pause.ready(xtim.act_time)) return;
  const net_result r =
      net_check_capped(kManifestSlot, server_name[i], server_path[i] + "directory.txt.zip",
                       manifest_archive_file(), kManifestArchiveCap);
  if (r == net_busy) return;
  if (r == net_failed) {
    mirror_failed(false);
    return;
  }
  const int err = unpack_manifest(manifest_archive_file(), temp_path);
  delete_file(manifest_archive_file());
  if (err) {
    // Logged, not an alert: the next mirror is tried at once, and a hostile or broken mirror
    // must not be able to stop the user with a box on every attempt.
    xer << "The manifest archive from " << server_name[i] << " is not usable (error " << err
        << ").\n";
    mirror_failed(true);
    return;
  }
  stg.dir_state = dir_fetched;
}

void manifest_read_step(const std::string& title) {
  // Gone from the temporary folder since it was fetched: fetched again.
  if (!file_exists(manifest_file())) {
    xer << "The manifest " << manifest_file() << " is gone: fetching it again.\n";
    dir_examine_cancel(g_install);
    stg.dir_state = dir_fetching;
    return;
  }
  const dir_state_code state = dir_read_step(g_install, manifest_file(), title, 0.01);
  // Servers that hold a newer manifest than this program reads: the message,
  // and the run ends.
  if (state == dir_no_version && g_install.is_net) new_format(manifest_file());
  if (state == dir_fetching) {
    delete_file(manifest_file());
    mirror_failed(true);
  } else if (state == dir_read) {
    g_fetch.manifest_pause.reset();
    xer << "Read the manifest of " << install_name << " from " << server_name[stg.server_index]
        << ": " << sim_info.size() << " files, " << stg.down_req << " KB to download, "
        << stg.disk_req << " KB to install at " << dest_dir_path << ".\n";
    xer.flush();
  }
  stg.dir_state = state;
}
