// Resource location in the scenery and default folders: the candidate paths
// of each kind of resource in order, the first that exists wins, and the
// failures go to the log when the caller asks.
#include "Files/dsf_resource.h"

#include <array>

#include "core/globals.h"
#include "Files/dsf_library.h"
#include "Files/dsf_scan.h"
#include "Files/io_utils.h"

namespace {

using variants = std::array<std::string, 3>;

const char* const kResources = "Resources/";
const char* const kTerrainBitmaps = "Resources/bitmaps/terrain/";
const char* const kCustomTerrainTextures = "custom terrain textures/";
const char* const kCustomObjectTextures = "custom object textures/";
const char* const kCustomObjects = "custom objects/";

bool is_object(int kind) { return kind >= res_object_first && kind <= res_object_last; }

// A name too short for an extension stands for all three.
variants image_variants(const std::string& name) {
  if (name.size() <= 4) return {name, name, name};
  const std::string stem = name.substr(0, name.size() - 4);
  return {stem + ".dds", stem + ".png", stem + ".bmp"};
}

void add_each(std::vector<std::string>& to, const std::string& prefix, const variants& v) {
  for (const std::string& name : v) to.push_back(prefix + name);
}

// A path longer than the file layer's buffers could never be opened: it
// counts as missing rather than ending the run.
std::string first_existing(const std::vector<std::string>& candidates) {
  for (const std::string& c : candidates)
    if (fits_path_buffer(c) && file_exists(c)) return c;
  return std::string();
}

}  // namespace

void DSF_LocateResourceNoLib(int kind, const std::string& name, const std::string& folder, bool log,
                             std::string& result) {
  const variants v = image_variants(name);
  std::vector<std::string> c;
  if (kind == res_image) {
    add_each(c, folder, v);
    add_each(c, folder + kCustomTerrainTextures, v);
    add_each(c, folder + kCustomObjectTextures, v);
    add_each(c, kTerrainBitmaps, v);
    add_each(c, kResources, v);
  } else if (kind == res_terrain) {
    c = {folder + name, folder + kCustomTerrainTextures + name, kTerrainBitmaps + name,
         kResources + name};
  } else if (is_object(kind)) {
    c = {folder + name, folder + kCustomObjects + name, obj_path + name, kResources + name};
  } else if (kind == res_plain) {
    c = {folder + name, kResources + name};
  } else {
    c = {folder + name};
  }
  result = first_existing(c);
  if (!result.empty() || !log) return;
  for (const std::string& tried : c)
    xer << "Failed to find resource '" << name << "' at '" << tried << "'\n";
}

void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& name,
                               const std::string& folder, bool log, std::string& result, int seed) {
  std::string chosen = name;
  if (DSF_LookupLibraryResource(lon, lat, chosen, seed)) {
    result = chosen;
    return;
  }
  DSF_LocateResourceNoLib(kind, name, folder, log, result);
}

void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& name,
                                       const std::string& folder, bool log,
                                       std::vector<std::string>& out) {
  DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
  std::string local;
  DSF_LocateResourceNoLib(kind, name, folder, log && out.empty(), local);
  if (!local.empty()) out.push_back(local);
}

std::string extract_package(const std::string& path) {
  for (const std::string* prefix : {&cus_path, &def_path}) {
    if (path.compare(0, prefix->size(), *prefix) != 0) continue;
    const size_t end = path.find_first_of("\\/:", prefix->size());
    if (end != std::string::npos) return path.substr(0, end + 1);
  }
  return std::string();
}

void DSF_LocateResourceSecondary(int kind, int sub_kind, const std::string& parent,
                                 const std::string& name, bool log, std::string& result) {
  const variants v = image_variants(name);
  std::vector<std::string> c;
  if (!parent.empty()) {
    if (kind == res_image)
      add_each(c, parent, v);
    else
      c.push_back(parent + name);
  }
  const std::string package = extract_package(parent);
  if (!package.empty()) {
    if (kind == res_image)
      add_each(c,
               package + (sub_kind == res_terrain ? kCustomTerrainTextures : kCustomObjectTextures),
               v);
    else if (kind == res_terrain)
      c.push_back(package + kCustomTerrainTextures + name);
    else if (is_object(kind))
      c.push_back(package + kCustomObjects + name);
  }
  if (kind == res_plain) {
    c.push_back(kResources + name);
  } else if (kind == res_image) {
    add_each(c, kTerrainBitmaps, v);
    add_each(c, kResources, v);
  } else if (kind == res_terrain) {
    c.push_back(kTerrainBitmaps + name);
    c.push_back(kResources + name);
  } else if (is_object(kind)) {
    c.push_back(obj_path + name);
    c.push_back(kResources + name);
  }
  result = first_existing(c);
  if (!result.empty() || !log) return;
  for (const std::string& tried : c)
    xer << "Failed to find resource '" << name << "' (parent = '" << parent << "' at '" << tried
        << "'\n";
}

void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int sub_kind,
                                                    const std::string& parent,
                                                    const std::string& name, bool log,
                                                    std::vector<std::string>& out) {
  DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
  std::string local;
  DSF_LocateResourceSecondary(kind, sub_kind, parent, name, log && out.empty(), local);
  if (!local.empty()) out.push_back(local);
}
