// libFuzzer harness of the server-list reader: whatever the bytes, every
// mirror it keeps has a plain host name (with a port, if it names one) and a
// folder under "/" that ends in the version's name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "installer/update/server_list.h"
#include "net/http.h"

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
    if (host.empty() || host.find_first_of(" /\t\r\n") != std::string::npos) abort();
    if (!http_host_name_ok(host)) abort();
    if (path.empty() || path[0] != '/' || path.size() < tail.size() ||
        path.compare(path.size() - tail.size(), tail.size(), tail) != 0)
      abort();
  }
  return 0;
}
