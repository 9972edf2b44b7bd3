// The framework's about box (window 994): credits, the
// current version on the maker's web host, and a one-click download, unpack
// and start of a newer installer for this platform.
#pragma once

#include <string>

#include "net/retry_pause.h"

// about_record::ins_state: how far the update has come.
enum about_ins_state : int {
  ins_nothing_yet = 0,
  ins_offer = 1,  // a newer installer can be had: the button shows
  ins_downloading = 2,
  ins_unpacked = 3,  // ready to start
  ins_message = 4,   // err_msg says why there is nothing to do
};

// What the about box knows, kept from one opening to the next.
struct about_record {
  int version_str_found = 0;    // the list had a FINAL line
  std::string version_str_net;  // the text after FINAL
  int version_beta = -1, version_final = -1;
  int is_latest = 1;
  int is_beta = 0;
  std::string beta_server, beta_path, final_server, final_path;  // from the "_LIN" lines
  std::string installer_server, installer_path;
  std::string installer_app_name;  // the unpacked program, in the private temporary folder
  std::string err_msg;
  int ins_state = ins_nothing_yet;  // an about_ins_state
  bool list_whole = false;          // a list has arrived: the check is over for the run
  net_retry_pause pause;            // between failed fetches of the list
};
about_record& about_state();
// Back to a record that knows nothing, with the about box's downloads
// abandoned.
void about_reset();

// Runs the window until it is closed.
void MACIBM_about();

// One poll of the version check: nothing once a list has arrived whole, and
// nothing before the pause after a failure (no answer, or an answer that is
// no list) is over.
void about_check_step();
// Reads a list that arrived (its header must be the server list's, version
// 820) into the record and decides what to offer. False when the file is no
// such list.
bool about_read_list(const std::string& path, about_record& r);
// One step of the update: the download's poll (state 2), or the start of the
// unpacked program (state 3), which ends this one.
void about_update_step();
