// Reading the table of contents of a zip archive: names, sizes and Unix modes
// of its entries, with nothing unpacked.
#include "Files/zip_entries.h"

#include <minizip/unzip.h>

#include "core/globals.h"

int zip_list_entries(const std::string& zip_path, std::vector<zip_entry_info>& out,
                     size_t max_entries) {
  out.clear();
  std::string full = app_path + zip_path;
  unzFile uf = unzOpen64(full.c_str());
  if (!uf) return 20001;
  int err = unzGoToFirstFile(uf);
  while (err == UNZ_OK) {
    if (out.size() >= max_entries) {
      err = UNZ_BADZIPFILE;
      break;
    }
    unz_file_info64 info;
    char name[256];
    err = unzGetCurrentFileInfo64(uf, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) break;
    zip_entry_info e;
    // A name cut by the buffer, or with a NUL inside, is not the name stored.
    if (info.size_filename < sizeof name) e.name = name;
    if (e.name.size() != info.size_filename) e.name.clear();
    e.compressed_size = info.compressed_size;
    e.uncompressed_size = info.uncompressed_size;
    e.external_attributes = info.external_fa;
    e.is_folder = !e.name.empty() && e.name.back() == '/';
    e.is_link = ((info.external_fa >> 16) & 0xA000) == 0xA000;
    out.push_back(e);
    err = unzGoToNextFile(uf);
  }
  unzClose(uf);
  if (err == UNZ_END_OF_LIST_OF_FILE) err = 0;
  if (err) out.clear();
  return err;
}
