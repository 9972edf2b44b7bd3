// The file layer: path conventions, tests, creation, renaming, deletion, case
// repair, and the file references the shell and dialogs need.
//
// Paths use "/" only and a folder path ends in "/". Operations that can fail
// return 0 or an error code for error_str().
#pragma once

#include <cstdio>
#include <string>

// A file reference: the canonical folder (realpath of the parent) joined with
// the unresolved last component, so that links stay visible.
struct FSRef {
  std::string path;
};
typedef FSRef FSSpec;

// The last component of a path, as the reference-making calls report it.
struct HFSUniStr255 {
  unsigned short length = 0;
  unsigned short unicode[255] = {};
};

// The file layer's state: the source file and line of the last failing step,
// which the log lines of the file and archive functions print. Each thread
// has its own: archives are unpacked on several workers at once.
struct io_utils_state {
  std::string err_file;
  int err_line = -1;
};
extern thread_local io_utils_state g_io_utils;
extern thread_local std::string& sErrFile;  // g_io_utils.err_file
extern thread_local int& sErrLine;          // g_io_utils.err_line
// This thread's back to the state at start: no failure recorded.
void io_utils_reset();

// Opens a path that must name a regular file, without ever waiting: a FIFO
// or a device would block open() or read() for ever, so anything but a
// regular file is refused with ENXIO (readers then count it as missing).
// flags as open() takes them; O_CLOEXEC is added. -1 with errno on failure.
// Safe in a signal handler: it allocates nothing.
int UTL_open_regular(const char* path, int flags, int mode = 0666);
// The same as a stdio stream; mode "r", "w", "a" or "r+", each with an
// optional "b". Null with errno on failure.
FILE* UTL_fopen_regular(const char* path, const char* mode);
// For a path about to be handed to a C++ stream, which opens without these
// checks: creates the file when missing; 0 when the path then names a
// regular file, else an errno (ENXIO for a FIFO or a device).
int UTL_make_regular(const char* path);
// The text of a symbolic link, read with a buffer of PATH_MAX: 0 and the text;
// EINVAL when the path is no link; ENAMETOOLONG when the text fills the whole
// buffer (it may have been cut); else readlink's errno.
int UTL_read_link(const char* path, std::string* text);

int file_exists(const std::string& path);
int dir_exists(const std::string& path);
int is_sim_link(const char* path, std::string* link_text);
int delete_file(const std::string& path);
// Renames within one folder; never replaces what has the new name (EEXIST,
// even for an empty folder).
int rename_file(const std::string& folder, const std::string& old_name,
                const std::string& new_name);
int make_folder(const std::string& path);
int show_del_err(int code);
int show_make_dir_err(int code);
void findPath(char* path);

int FilePathToFSRefAndName(const char* path, FSRef* ref, HFSUniStr255* name);
int FSSpecToFilePath(const FSSpec& file_spec, std::string& out);
int FSRefToFilePath(const FSRef& ref, std::string& out);
int FilePathToFSSpec(const char* path, FSSpec& file_spec);
void ConvertPathToCFM(std::string& path);

// The longest text a fixed path buffer (500 bytes) takes.
constexpr size_t kPathBufferChars = 499;
// The fatal "String too long!" alert of every fixed path buffer.
void check_path_length(const std::string& text);
// app_path + path, each part and the whole under that same rule.
std::string prefixed_path(const std::string& path);
// Whether app_path + path passes that rule: for paths from scenery packages,
// which are skipped rather than end the run.
bool fits_path_buffer(const std::string& path);

// Digests, executables, launching.
int calc_file_md5(const std::string& path, std::string& out);
int make_file_executable(const char* path);
int make_file_large_address_aware(const std::string& path);
int load_bundle_by_filename(const char* name, int alert, void** bundle);
int launch_app(const std::string& app, const std::string& dest_path);

// The data-file writer: opens ouf and writes the common header.
int ouf_open(const std::string& path, int kind, int version, const std::string& notice);
// Closes ouf. A file that could not be written whole (a full disk shows at
// the last flush) is removed, so no reader takes it for a finished one:
// 0, or the errno of the failure (EIO when the stream kept none).
int ouf_close();
// Back to the state at start: the stream closed as it stands, no file
// remembered.
void ouf_reset();
