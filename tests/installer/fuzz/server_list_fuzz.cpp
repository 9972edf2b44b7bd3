// libFuzzer harness of the server-list reader: whatever the bytes, every
// mirror it keeps has a plain host name, perhaps with a port, and a folder
// under "/" that ends in the version's name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "installer/update/server_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const char* begin = reinterpret_cast<const char*>(bytes);
  server_list list;
  int version = 0;
  int result = scan_server_list(begin, begin + size, list, &version);
  if (result != server_list_read && result != server_list_newer && result != server_list_unusable)
    abort();
  if (list.count < 0 || list.count > 10) abort();
  if (list.count && !usable_folder_name(list.install_name)) abort();
  const std::string tail = list.install_name + "/";
  for (int i = 0; i < list.count; ++i) {
    const std::string& host = list.name[i];
    const std::string& path = list.path[i];
    // A host name, then at most one ":" with a port of 1 to 65535.
    const size_t colon = host.find(':');
    const std::string name = host.substr(0, colon);
    if (name.empty() || name.find_first_of(" /:@\\\t\r\n") != std::string::npos) abort();
    if (colon != std::string::npos) {
      const std::string port = host.substr(colon + 1);
      if (port.empty() || port.size() > 5 ||
          port.find_first_not_of("0123456789") != std::string::npos)
        abort();
      const long number = strtol(port.c_str(), nullptr, 10);
      if (number < 1 || number > 65535) abort();
    }
    if (path.empty() || path[0] != '/' || path.size() < tail.size() ||
        path.compare(path.size() - tail.size(), tail.size(), tail) != 0)
      abort();
  }
  return 0;
}
