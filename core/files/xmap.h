// Read-only access to a whole file, mapped in memory, with a read cursor; and
// the test of the program's data-file header.
#pragma once

#include <string>

enum { kind_binary = 10000, kind_text = 10001 };

class xmap_class {
 public:
  explicit xmap_class(const char* path = "");
  ~xmap_class();
  xmap_class(const xmap_class&) = delete;
  xmap_class& operator=(const xmap_class&) = delete;

  const char* retry(const char* path);
  // Whether retry takes the path without ending the program: it holds no
  // app_path and no backslash, and app_path and it fit the path buffer. A
  // name met on disk can fail any of these; its reader asks first and skips
  // the file, as a missing one.
  static bool can_take(const std::string& path);
  int check_file(int kind, const int* versions, const char* kind_word, std::string* out);
  void read_n_rev(void* dest, size_t n);
  int io_file_open(int mode, std::string path, const int* versions, int kind);
  void io_file_close();

  // Text scanning (the character classes: blank TAB/space; line end NUL/CR/LF).
  void TXT_str_scan_space(std::string* out);
  void TXT_str_scan_eoln(std::string* out);
  void TXT_xer_line();
  // Integer token of the text readers: optional "-", optional "+", then digits
  // (every byte counts as its value minus '0'). Never overflows.
  int TXT_int_scan();

  int byte_swap = 0;
  std::string path;
  int io_mode = 0;
  const char* map_begin = nullptr;
  const char* cursor = nullptr;
  const char* map_end = nullptr;
  int fd = -1;            // -1 when no file is open (0 is a valid descriptor)
  size_t map_length = 0;  // bytes really mapped; 0 for an empty file

 private:
  void skip_blanks();
  void skip_to_line_end();
  void skip_white();
};
