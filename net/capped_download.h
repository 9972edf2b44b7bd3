// A download polled with a cap on its size, and why one failed: the one rule
// the installer's fetches, its streams and the about box share.
#pragma once

#include <cstdint>
#include <string>

#include "net/http.h"

// Why a download failed.
enum download_failure {
  failure_unreachable,  // no connection, no reply, a server error, a cut: it may come back
  failure_refused,      // the server answered with something that is not the file
  failure_local,        // the local file could not be written (http.final_file_error says why)
};

// net_check with a cap: a transfer that announces or delivers more than
// cap bytes is abandoned (its file removed) and counts as failed, and so is
// one whose server closed the connection before the whole body came. On a
// failure *failure (when given) tells the kind: a local file that could not
// be written is this machine's failure, whatever the server did.
net_result net_check_capped(int slot, const std::string& server, const std::string& path,
                            const std::string& local_file, int64_t cap,
                            download_failure* failure = nullptr);
