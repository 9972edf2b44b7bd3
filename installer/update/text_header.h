// The header of the installer's downloaded text files (server list and
// manifest), told apart three ways: one we read, a well-formed one of a
// version we do not read, and anything else (an HTML page from a captive
// portal, an empty or cut body), which is only a failed download.
#pragma once

// The byte classes of these files: blanks pad fields, and any mix of CR, LF
// and NUL ends a line.
inline bool text_blank(char c) { return c == '\t' || c == ' '; }
inline bool text_line_end(char c) { return c == 0 || c == '\r' || c == '\n'; }

enum header_verdict {
  header_unusable = 0,       // not a data-file header of the wanted kind at all
  header_other_version = 1,  // well-formed, of the wanted kind, a version not in the list
  header_accepted = 2,
};

struct text_header {
  header_verdict verdict = header_unusable;
  int version = 0;
  const char* body = nullptr;  // the first byte after the header when accepted
};

// The header is the line "I" (or "A"), a line with a decimal version followed
// by " version", and a line holding kind_word; blanks may pad each line and
// any mix of CR, LF and NUL ends them. versions ends with a 0.
text_header classify_text_header(const char* begin, const char* end, const char* kind_word,
                                 const int* versions);
