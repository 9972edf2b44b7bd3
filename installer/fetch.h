// What an install needs before it can start: the server list from the web
// host, the zipped manifest from a mirror and its reading against the
// destination. Every step is one poll a frame; a fetch that fails waits a
// growing pause, and a mirror whose manifest cannot be fetched or used makes
// way for another.
#pragma once

#include <cstdint>
#include <string>

// Files of the fetch, all in the program's private temporary folder.
std::string server_list_file();
std::string manifest_archive_file();
std::string manifest_file();

// One poll of the server list's download, while stg.server_count is -1.
void server_list_step();
// One poll of the manifest's download from the chosen mirror, while
// stg.dir_state is dir_fetching and there is a mirror.
void manifest_fetch_step();
// A slice of the manifest's reading, while stg.dir_state is dir_fetched.
void manifest_read_step(const std::string& title);

// Unpacks the manifest archive into folder: only one plain "directory.txt"
// within kManifestTextCap; an older one there is gone either way. 0 or the code.
int unpack_manifest(const std::string& archive, const std::string& folder);

// Every mirror has failed the manifest: the screen says so.
bool no_mirror_left();
// The user chose mirror i on the screen: it is asked next, at once, even
// after it had failed.
void mirror_chosen(int i);
// Forgets every failure (a new run, or a test).
void fetch_reset();
