// Unpacking one downloaded archive into place, judged before and after: the
// expected entries within the manifest's size, then the manifest's file
// itself (size, MD5, a link that stays inside) before it replaces the old one.
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "Files/zip.h"
#include "Files/zip_entries.h"
#include "installer/update/folders.h"
#include "installer/update/transfer.h"

namespace {

// The scratch folder's name, beside the target; only ours, so a leftover of
// an interrupted run may be cleared.
const char kScratch[] = ".nimbrel-unpacking/";
// A fork entry holds the file's resource fork, which no manifest size
// covers; this is more than any of ours.
const uint64_t kForkLimit = 64ull << 20;

// Empties and removes the scratch folder (a leftover of an interrupted run
// included). Only a real folder of that name is touched, never one that a
// link stands for.
void clear_scratch(const std::string& scratch) {
  const std::string folder = scratch.substr(0, scratch.size() - 1);
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (DIR* d = opendir(folder.c_str())) {
    while (struct dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") unlink((scratch + name).c_str());
    }
    closedir(d);
  }
  rmdir(folder.c_str());
}

// The entries must be exactly the file (regular or link) and optionally its
// fork twin with the "__MACOSX/" folder entry, within the size the manifest
// gives (kilobytes truncated, so anything below the next thousand bytes).
std::string entries_problem(const std::vector<zip_entry_info>& entries, const std::string& leaf,
                            const file_version_struct& want) {
  const uint64_t limit = static_cast<uint64_t>(want.ext_size) * 1000 + 1000;
  int files = 0;
  for (const zip_entry_info& e : entries) {
    if (e.name == leaf && !e.is_folder) {
      ++files;
      if (e.uncompressed_size > (e.is_link ? uint64_t(PATH_MAX - 1) : limit))
        return "an entry larger than the manifest's size";
    } else if (e.name == "__MACOSX/") {
    } else if (e.name == "__MACOSX/._" + leaf) {
      if (e.uncompressed_size > kForkLimit) return "a resource fork too large";
    } else {
      return "an entry that is not the file: " + (e.name.empty() ? "(unusable name)" : e.name);
    }
  }
  return files == 1 ? "" : "no entry for the file";
}

// A link may point anywhere inside the destination, reckoned from where the
// link will stand (its real folder), never outside it nor to an absolute path.
bool link_stays_inside(const std::string& text, int depth) {
  if (text.empty() || text[0] == '/' || depth < 0) return false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t slash = text.find('/', start);
    if (slash == std::string::npos) slash = text.size();
    const std::string part = text.substr(start, slash - start);
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = slash + 1;
  }
  return true;
}

// What the unpacked file must be before it may take the target's place.
std::string unpacked_problem(const std::string& file, const std::string& destination,
                             const file_version_struct& want) {
  struct stat st;
  if (lstat(file.c_str(), &st) != 0) return "the archive left no file";
  const bool link = S_ISLNK(st.st_mode);
  if (!link && !S_ISREG(st.st_mode)) return "the archive left something that is not a file";
  if (link) {
    std::string text;
    if (UTL_read_link(file.c_str(), &text) != 0 || text.empty()) return "an unreadable link";
    if (!link_stays_inside(text, depth_in_dest(destination)))
      return "a link that leads out of the destination";
  } else if (static_cast<uint64_t>(st.st_size) >
             static_cast<uint64_t>(want.ext_size) * 1000 + 1000) {
    return "a file larger than the manifest's size";
  }
  std::string sig;
  if (!installed_md5(file, &sig)) return "an unreadable file";
  if (sig != want.sig_want) return "MD5 " + sig + " where the manifest has " + want.sig_want;
  // Modes from a mirror never give others the right to write, nor set-id
  // bits; the owner can always read and replace the file.
  if (!link) chmod(file.c_str(), (st.st_mode & 0755) | 0600);
  return "";
}

// Codes of the file system (a full disk, no permission) are ours to report;
// everything else came from the archive.
bool local_failure(int code) { return code > 0 && code < 20000; }

}  // namespace

int extract_and_delete_file(const std::string& archive, const std::string& destination,
                            const file_version_struct& want) {
  size_t search_end = destination.size() > 1 ? destination.size() - 2 : 0;
  size_t slash = destination.rfind('/', search_end);
  const std::string folder = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
  const std::string leaf = destination.substr(folder.size());
  const std::string scratch = app_path + folder + kScratch;

  int result = unpack_done;
  int code = 0;
  std::string problem;
  std::vector<zip_entry_info> entries;
  if ((code = zip_list_entries(archive, entries)) != 0) {
    problem = "an archive that cannot be read";
  } else {
    problem = entries_problem(entries, leaf, want);
  }
  if (problem.empty() && !inside_dest(destination)) {
    code = EACCES;
    problem = "a target outside the destination";
  } else if (problem.empty()) {
    clear_scratch(scratch);
    if (mkdir(scratch.c_str(), 0700) != 0) {
      code = errno;
      problem = "no scratch folder";
    } else if ((code = zip_to_file(archive, folder + kScratch)) != 0) {
      problem = "the archive did not unpack";
    } else {
      problem = unpacked_problem(scratch + leaf, destination, want);
      if (problem.empty()) {
        // Into place: the file, and its fork where the volume keeps forks
        // beside files.
        if (rename((scratch + leaf).c_str(), (app_path + destination).c_str()) != 0) {
          code = errno;
          problem = "it could not take the old file's place";
        } else {
          rename((scratch + "._" + leaf).c_str(), (app_path + folder + "._" + leaf).c_str());
        }
      }
    }
    clear_scratch(scratch);
  }

  if (!problem.empty()) {
    xer << "Not installing " << destination << " from " << archive << ": " << problem << ".\n";
    if (local_failure(code)) {
      result = unpack_failed;
      stg.install_error = 1;
      const std::string l2 = "Error: " + error_str(code);
      const std::string l3 = "Compressed File: " + archive;
      const std::string l4 = "Destination: " + destination;
      // Source and line as the message has always carried them.
      __MACIBM_alert(0, "The installer cannot extract a file.", l2.c_str(), l3.c_str(), l4.c_str(),
                     t_alert, "Installer-f/utils", 390);
    } else {
      result = unpack_bad_archive;
    }
  }

  // Programs of a Mac bundle; done even when the unpacking failed.
  int chmod_result = 0;
  if (destination.find("Contents/MacOS/") != std::string::npos)
    chmod_result = make_file_executable(destination.c_str());
  if (stg.log_actions) {
    xer << "EXPANDING file " << destination << ", with result=" << code << ".\n";
    xer << "CHMODING  file " << destination << ", with result=" << chmod_result << ".\n";
  }
  if (!is_dvd) {
    int r = delete_file(archive);
    if (stg.log_actions) xer << "DELETING  file " << archive << ", with result=" << r << ".\n";
  }
  return result;
}
