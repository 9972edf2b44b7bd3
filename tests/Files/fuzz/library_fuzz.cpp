// libFuzzer harness of the scenery library file reader: the input is the
// whole "library.txt"; what it registered is then looked up at a few places
// and the library emptied again. Bitmaps named "w..." load as a 360 by 180
// image, "s..." as a smaller one; any other fails to load.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/hooks.h"
#include "Files/dsf_library.h"
#include "Files/dsf_library_file.h"

namespace {

int fake_image(const char* path, unsigned char** pixels, int* width, int* height) {
  const char* leaf = strrchr(path, '/');
  leaf = leaf ? leaf + 1 : path;
  if (*leaf != 'w' && *leaf != 's') return 0;
  *width = *leaf == 'w' ? 360 : 17;
  *height = *leaf == 'w' ? 180 : 3;
  const size_t n = size_t(*width) * size_t(*height);
  *pixels = static_cast<unsigned char*>(::operator new(n));
  for (size_t i = 0; i < n; ++i) (*pixels)[i] = static_cast<unsigned char>(i % 7 == 0);
  return 1;
}

bool set_up() {
  for (int i = 0; i < 10000; ++i) randrat[i] = float(i) / 10000.0f * 0.9999f;
  g_core_hooks.load_alpha_image = fake_image;
  scenery_packages = {"Custom Scenery/fuzz/", "Custom Scenery/other/"};
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static const bool ready = set_up();
  (void)ready;
  package_problems = {0, 0};
  // The input stands in for the mapped file: exactly its bytes, so a read
  // past its end is caught.
  xmap_class map;
  map.map_begin = map.cursor = reinterpret_cast<const char*>(bytes);
  map.map_end = map.map_begin + size;
  DSF_ReadLibrary(map, 0);
  DSF_ReadLibrary(map, 1);  // read twice: region names must not reach across files

  std::vector<std::string> names, out;
  for (const auto& named : dsf_library) names.push_back(named.first);
  for (const std::string& n : names) {
    for (int pos : {-180, 0, 179}) {
      std::string chosen = n;
      DSF_LookupLibraryResource(pos, pos / 2, chosen, pos * 37);
      DSF_LookupLibraryResourceMultiple(pos, pos / 2, n, out);
    }
    std::string chosen = n;
    DSF_LookupLibraryResourceAnywhere(chosen, 5);
    DSF_LookupLibraryResourceAnywhereMultiple(n, out);
  }
  DSF_ClearLibrary();
  return 0;
}
