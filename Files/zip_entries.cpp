// Reading the table of contents of a zip archive: names, sizes and Unix modes
// of its entries, with nothing unpacked; and unpacking an archive that must
// hold one expected file.
#include "Files/zip_entries.h"

#include <minizip/unzip.h>
#include <sys/stat.h>

#include "core/globals.h"
#include "Files/io_utils.h"
#include "Files/zip.h"

file_result zip_list_entries(const std::string& zip_path, std::vector<zip_entry_info>& out,
                             size_t max_entries) {
  out.clear();
  std::string full = app_path + zip_path;
  unzFile uf = unzOpen64(full.c_str());
  if (!uf) return kZipCannotOpen;
  int err = unzGoToFirstFile(uf);
  while (err == UNZ_OK) {
    if (out.size() >= max_entries) {
      err = kZipBadArchive;
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
  return pass_on(err);
}

file_result zip_unpack_single(const std::string& zip_path, const std::string& folder,
                              std::string* name, uint64_t cap) {
  // Anything but the one file expected reads as an archive that cannot be read.
  const file_result kNotTheFile = kZipCannotRead;
  const std::string wanted = name ? *name : std::string();
  if (!wanted.empty() && wanted.find('/') == std::string::npos) delete_file(folder + wanted);
  std::vector<zip_entry_info> entries;
  if (file_result err = zip_list_entries(zip_path, entries, 4)) return err;
  if (entries.size() != 1) return kNotTheFile;
  const zip_entry_info& e = entries[0];
  // No Unix mode at all (a DOS host) counts as a plain file.
  const unsigned long type = (e.external_attributes >> 16) & S_IFMT;
  const bool plain = type == 0 || type == S_IFREG;
  if (e.name.empty() || e.is_folder || e.is_link || !plain ||
      e.name.find('/') != std::string::npos || e.name == "." || e.name == ".." ||
      e.name.compare(0, 8, "__MACOSX") == 0 || (!wanted.empty() && e.name != wanted) ||
      e.uncompressed_size > cap)
    return kNotTheFile;

  const std::string target = folder + e.name;
  if (wanted.empty()) delete_file(target);
  if (int err = zip_to_file(zip_path, folder)) return pass_on(err);
  // The unpacking holds the entry to its declared size; this is the last word.
  struct stat st;
  if (lstat((app_path + target).c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > cap) {
    delete_file(target);
    return kNotTheFile;
  }
  if (name) *name = e.name;
  return kFileOk;
}
