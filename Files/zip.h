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
#include <string>

// The largest resource fork a file can have: the Resource Manager addresses
// a fork's data with 24-bit offsets. An AppleDouble block adds its header,
// descriptors (at most 65535 of 12 bytes) and small entries such as the
// Finder information, which 1 MiB more covers. A fork entry or a "._name"
// file larger than the block is refused before it is read, and a larger
// fork is never packed, so every archive we write is one we unpack.
const size_t kMaxResourceFork = size_t(16) << 20;
const size_t kMaxAppleDouble = kMaxResourceFork + (size_t(1) << 20);

// Entry names we refuse to unpack: absolute, holding "..", 256 bytes or
// longer, or landing under a symbolic link. Shown as "bad name".
enum { kZipBadEntryName = -37 };

// Packs src into a new archive at zip_path (both prefixed with app_path).
// Returns 0 or an error code for error_str().
int file_to_zip(const std::string& src, const std::string& zip_path);

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
// or lying block gives 20012.
int parse_apple_double(const unsigned char* data, size_t length, apple_double_view* out);

// Reads a file's resource fork and the first 16 bytes of its Finder
// information (zero when it has none). *fork is allocated with new[] (nothrow)
// and null when the file has no fork. Returns 0, 12, 20005, or EFBIG for a
// "._name" file larger than kMaxAppleDouble.
int read_resource_fork(const std::string& path, unsigned char** fork, size_t* fork_length,
                       unsigned char finder16[16]);

// Gives the target the Finder information and fork of a parsed block; falls
// back to the block as "._name" beside the target when the file system
// refuses an attribute. Returns 0 or an errno of the fallback file.
int write_resource_fork(const std::string& target, const unsigned char* block, size_t length,
                        const apple_double_view& view);
