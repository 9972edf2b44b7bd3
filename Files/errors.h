// Texts for every error code of the file, archive and network functions, and
// the names of the codes this program raises itself.
#pragma once

#include <string>

// What a file, archive or network function returns: 0 for success, else a
// code that error_str turns into a line for the user. The values are the ones
// logs and alerts show, so they never change. Besides the names below, such a
// function may hand back a POSIX error (written by its <cerrno> name: EEXIST,
// ENOMEM, ...) or a code of minizip's, as they came.
enum file_result : int {
  kFileOk = 0,

  // The program's own codes.
  kZipCannotOpen = 20001,       // an archive to unpack cannot be opened
  kZipCannotRead = 20002,       // an entry ends early, runs long or is damaged
  kZipCannotCreate = 20003,     // an archive to pack cannot be created
  kZipCannotWrite = 20004,      // kept for its text; nothing raises it now
  kZipForkTooLarge = 20005,     // a resource fork of 2 GB or more
  kFileCannotOpen = 20006,      // a file to pack or digest cannot be opened
  kNetReconnectError = 20007,   // kept for its text
  kNetBadState = 20008,         // kept for its text
  kNetNoConnection = 20009,     // a transfer that never had a socket
  kNetCannotWriteFile = 20010,  // kept for its text
  kNetServerNotFound = 20011,   // the host name does not resolve
  kZipBadForkHeader = 20012,    // a "__MACOSX" entry that is no sound AppleDouble block
  kExeNotDos = 20013,           // no "MZ" header; has no text of its own
  kExeNotPe = 20014,            // no "PE" header; has no text of its own

  // Mac OS File Manager codes that the file layer still returns, since its
  // callers came from the Mac and compare against them.
  kMacBadName = -37,
  kMacFileNotFound = -43,
  kMacDuplicateName = -48,

  // Entry names we refuse to unpack (absolute, holding "..", 256 bytes or
  // longer, or landing under a symbolic link) show as "bad name".
  kZipBadEntryName = kMacBadName,

  // minizip's UNZ_BADZIPFILE, also given for an entry we do not read (an
  // unknown method, encryption) and for a table of too many entries.
  kZipBadArchive = -103,
};

// A POSIX error or a minizip code handed on as a result, unchanged.
constexpr file_result pass_on(int code) { return static_cast<file_result>(code); }

// The program's own codes lie above this; a positive code below it is a
// POSIX error, one of the machine's own (a full disk, no access).
constexpr int kOwnCodeBase = 20000;
constexpr bool is_posix_error(int code) { return code > 0 && code < kOwnCodeBase; }

struct err_msg_row {
  int code;
  const char* text;
};

extern const err_msg_row kErrMsgs[];
std::string error_str(int code);
