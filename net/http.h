// The download manager: proxy settings and six polled download slots.
#pragma once

#include <string>

class down_class;

class http_class {
 public:
  std::string proxy_host;
  std::string proxy_port;
  int proxy_port_int = 0;
  down_class* slots[6] = {};
};

extern http_class http;
