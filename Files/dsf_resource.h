// Resource location: the file that a scenery file's resource name stands
// for, through the scenery library and then a fixed list of folders beside
// the referencing file, in its package and in the default resources.
#pragma once

#include <string>
#include <vector>

// What a resource is: it decides the folders tried.
enum dsf_resource_kind {
  res_plain = 0,    // the given folder, then "Resources/"
  res_image = 1,    // tried as its ".dds", ".png" and ".bmp" variants
  res_terrain = 2,  // also the terrain texture folders; as a sub-kind, a terrain image
  res_object_first = 3,
  res_object_last = 7,  // 3 to 7: also the object folders
};

// The first existing file for name in folder (a plain prefix, used even when
// empty) and the default folders; result empty when none exists, and then
// with log each path tried goes to the log.
void DSF_LocateResourceNoLib(int kind, const std::string& name, const std::string& folder, bool log,
                             std::string& result);
// The library's weighted choice at (lon, lat) first, whether or not that file
// exists; then the folders.
void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& name,
                               const std::string& folder, bool log, std::string& result, int seed);
// Every library candidate (repeated by weight), then the folders' file last.
// A name the library serves logs no failures.
void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& name,
                                       const std::string& folder, bool log,
                                       std::vector<std::string>& out);
// Beside the referencing file (parent folder), in that file's package, then
// the default folders; for images the sub-kind chooses the package's folder.
void DSF_LocateResourceSecondary(int kind, int sub_kind, const std::string& parent,
                                 const std::string& name, bool log, std::string& result);
void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int sub_kind,
                                                    const std::string& parent,
                                                    const std::string& name, bool log,
                                                    std::vector<std::string>& out);

// The package folder that path lies in ("Custom Scenery/name/" or
// "Resources/default scenery/name/", ending at its separator), or "".
std::string extract_package(const std::string& path);
