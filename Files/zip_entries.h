// The table of contents of a zip archive, read without unpacking anything, so
// that a caller can judge an archive that came over the network before a
// byte of it reaches the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Files/errors.h"

struct zip_entry_info {
  std::string name;  // as stored; empty when the stored name is unusable
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;  // as the archive declares it
  unsigned long external_attributes = 0;
  bool is_folder = false;  // the name ends in "/"
  bool is_link = false;    // both bits of 0xA000 in the Unix mode
};

// Lists every entry of the archive at app_path + zip_path. Returns 0,
// kZipCannotOpen when the archive cannot be opened, or minizip's code for a
// damaged table. An archive holding more than max_entries entries gives
// kZipBadArchive: a caller never needs more, and a forged table cannot make
// it list millions.
file_result zip_list_entries(const std::string& zip_path, std::vector<zip_entry_info>& out,
                             size_t max_entries = 16);

// Unpacks an archive that came over the network only when it is exactly what
// the caller expects: one regular file (no folder, link or fork entry) named
// *name (any plain name when *name is empty) of at most cap bytes. An older
// file of that name in folder is deleted first, so it can never stand in for
// the new one, whatever the archive holds. Returns 0 with the entry's name in
// *name; kZipCannotRead when the archive holds anything else (nothing is
// written then); else the code of the listing or the unpacking that failed.
file_result zip_unpack_single(const std::string& zip_path, const std::string& folder,
                              std::string* name, uint64_t cap);
