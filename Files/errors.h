// Texts for every error code of the file, archive and network functions.
#pragma once

#include <string>

struct err_msg_row {
  int code;
  const char* text;
};

extern const err_msg_row kErrMsgs[];
std::string error_str(int code);
