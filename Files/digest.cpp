// File digests, executable bits, the large-address flag of Windows programs,
// loading system libraries by their framework name, and launching a program
// in place of this one.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/alert.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/hooks.h"
#include "core/util/md5.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "Files/spawn.h"

// [SECTION] Signature

static std::string md5_hex(const unsigned char* bytes, uint64_t length) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, bytes, length);
  MD5Final(&ctx);
  return MD5HexDigest(ctx);
}

// Memory: the file is mapped, not copied; time: one pass over its bytes. A
// link is digested by its text, read whole (at most PATH_MAX).
int calc_file_md5(const std::string& path, std::string& out) {
  std::string link;
  if (is_sim_link(path.c_str(), &link)) {
    out = md5_hex(reinterpret_cast<const unsigned char*>(link.data()), link.size());
    return 0;
  }
  xmap_class file(path.c_str());  // the reader puts app_path in front itself
  if (!file.map_begin) return kFileCannotOpen;
  out = md5_hex(reinterpret_cast<const unsigned char*>(file.map_begin),
                static_cast<uint64_t>(file.map_end - file.map_begin));
  return 0;
}

// [SECTION] Executables

int make_file_executable(const char* path) {
  std::string full = prefixed_path(path ? path : "");
  return chmod(full.c_str(), 0755) == 0 ? 0 : errno;
}

static int close_keeping(FILE* f, int code) {
  fclose(f);
  return code;
}

int make_file_large_address_aware(const std::string& path) {
  FILE* f = UTL_fopen_regular(path.c_str(), "r+b");
  if (!f) return errno;
  unsigned char dos[64];
  if (fread(dos, 1, 64, f) != 64) return close_keeping(f, EIO);
  if (dos[0] != 'M' || dos[1] != 'Z') return close_keeping(f, kExeNotDos);
  // The header's fields are little-endian whatever machine reads them.
  int32_t pe_offset = static_cast<int32_t>(dos[60] | dos[61] << 8 | dos[62] << 16 |
                                           static_cast<uint32_t>(dos[63]) << 24);
  if (fseek(f, pe_offset, SEEK_SET) != 0) return close_keeping(f, errno);
  unsigned char pe[24];
  if (fread(pe, 1, 24, f) != 24) return close_keeping(f, EIO);
  if (memcmp(pe, "PE\0\0", 4) != 0) return close_keeping(f, kExeNotPe);
  pe[22] |= 0x20;  // characteristics, low byte: large address aware
  if (fseek(f, pe_offset, SEEK_SET) != 0) return close_keeping(f, errno);
  if (fwrite(pe, 1, 24, f) != 24) return close_keeping(f, EIO);
  if (fclose(f) != 0) return errno;
  return 0;
}

// [SECTION] System libraries by framework name

// Framework names the callers use, and the shared library that carries the
// same code here. A name that already is a library file name is taken as is.
static const char* library_for(const std::string& name) {
  static const struct {
    const char* framework;
    const char* library;
  } kMap[] = {
      {"OpenGL.framework", "libGL.so.1"},
  };
  for (const auto& row : kMap)
    if (name == row.framework) return row.library;
  if (name.find(".so") != std::string::npos) return name.c_str();
  return nullptr;
}

int load_bundle_by_filename(const char* name, int alert, void** bundle) {
  std::string n = name ? name : "";
  const char* library = library_for(n);
  if (!library) {
    if (alert)
      MACIBM_alert(wind_main, "Could not find bundle in frameworks folder", "", "", n.c_str(),
                   t_exit);
    return kMacFileNotFound;
  }
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (alert)
      MACIBM_alert(wind_main, "Could not load code for framework", "", "", n.c_str(), t_exit);
    return kMacBadName;
  }
  if (bundle)
    *bundle = handle;
  else
    dlclose(handle);
  return 0;
}

// [SECTION] Launching

// An application folder holds its program under the folder's own name (or
// that name without its extension, "Tool.app/Tool").
static std::string executable_of(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return path;
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string inside = path + "/" + name;
  if (stat(inside.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return inside;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    std::string bare = path + "/" + name.substr(0, dot);
    if (stat(bare.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return bare;
  }
  return inside;
}

int launch_app(const std::string& app, const std::string& dest_path) {
  std::string path = app;
  if (!path.empty() && path.back() == '/') path.pop_back();
  path = executable_of(app_path + path);
  xer << "Launching: " << path << " with " << dest_path << "\n";
  xer.flush();

  std::vector<std::string> args = {path};
  if (!dest_path.empty()) {
    args.push_back("-path");
    args.push_back(dest_path);
  }
  spawned_child child;
  if (int err = UTL_spawn(args, 0, &child)) {
    xer << "Launch failed: errno=" << err << "\n";
    xer.flush();
    return err;
  }
  g_core_hooks.finishup(1);
  exit(1);
}
