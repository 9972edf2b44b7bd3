// Single-file zip archives: one file (or symbolic link) per archive, with its
// resource fork and Finder information in an AppleDouble entry under
// "__MACOSX". The container itself is minizip's.
//
// On this platform a file's resource fork and Finder information live in the
// extended attributes "user.com.apple.ResourceFork" and
// "user.com.apple.FinderInfo"; where the file system refuses them, the
// AppleDouble block is kept beside the file as "._name".
#pragma once

#include <minizip/unzip.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Files/errors.h"

// The largest resource fork a file can have: the Resource Manager addresses
// a fork's data with 24-bit offsets. An AppleDouble block adds its header,
// descriptors (at most 65535 of 12 bytes) and small entries such as the
// Finder information, which 1 MiB more covers. A fork entry or a "._name"
// file larger than the block is refused before it is read, and a larger
// fork is never packed, so every archive we write is one we unpack.
const size_t kMaxResourceFork = size_t(16) << 20;
const size_t kMaxAppleDouble = kMaxResourceFork + (size_t(1) << 20);

// Packs src into a new archive at zip_path (both prefixed with app_path).
// Returns 0 or an error code for error_str().
int file_to_zip(const std::string& src, const std::string& zip_path);

// What one packing did, for a caller that must know exactly what went in.
struct zip_pack_result {
  std::string md5;     // of the bytes packed (a link's text), 32 lower-case hex digits
  uint64_t bytes = 0;  // how many bytes that was
  bool link = false;   // the source was a symbolic link
  int line = 0;        // the line of zip.cpp that failed, 0 on success
  std::string note;    // a line for the log (a damaged "._name" passed over), or ""
};

// The packing of file_to_zip on paths taken as they are: the source is read
// once, and the digest is taken of the very bytes that go into the archive,
// so the two can never disagree. The mode stored loses the bits of
// clear_mode. Logs nothing and touches no shared record, so it is safe on
// any thread; a half-written archive is removed. Returns 0 or an error code:
// a write that failed gives the system's cause (ENOSPC for a full disk).
file_result zip_pack_file(const std::string& src, const std::string& zip_path, unsigned clear_mode,
                          zip_pack_result* result);

// Unpacks every entry of zip_path into out_dir (ends in "/"; both prefixed
// with app_path). first_name, when given, receives the first entry's name;
// with use_given_name set, the first entry is written under the name that
// *first_name holds on entry (later entries keep their own names).
int zip_to_file(const std::string& zip_path, const std::string& out_dir,
                std::string* first_name = nullptr, int use_given_name = 0);

// Helpers of zip_to_file for the current entry of an open archive.
int unzip_resource_fork(unzFile uf, const std::string& target, const unz_file_info_s& info);
int unzip_symlink(unzFile uf, const std::string& target, const unz_file_info_s& info);

// [SECTION] Resource forks and Finder information on this platform (Files/forks.cpp)

// The parts of an AppleDouble block that we use. Offsets are into the block.
struct apple_double_view {
  const unsigned char* finder = nullptr;  // 32 bytes, or null when absent
  size_t fork_offset = 0;
  size_t fork_length = 0;
  bool has_fork = false;
};

// Checks the header and every descriptor against the block's length; a short
// or lying block gives kZipBadForkHeader.
file_result parse_apple_double(const unsigned char* data, size_t length, apple_double_view* out);

// Reads a file's resource fork and the first 16 bytes of its Finder
// information (zero when it has none). *fork is allocated with new[] (nothrow)
// and null when the file has no fork. Returns 0, ENOMEM, kZipForkTooLarge, or
// EFBIG for a "._name" file larger than kMaxAppleDouble. A damaged "._name"
// file is passed over with a line for the log: into *note when given, else to
// the log.
file_result read_resource_fork(const std::string& path, unsigned char** fork, size_t* fork_length,
                               unsigned char finder16[16], std::string* note = nullptr);

// Gives the target the Finder information and fork of a parsed block; falls
// back to the block as "._name" beside the target when the file system
// refuses an attribute. Returns 0 or an errno of the fallback file.
int write_resource_fork(const std::string& target, const unsigned char* block, size_t length,
                        const apple_double_view& view);
