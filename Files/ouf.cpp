// Opening the data-file stream ouf and writing the common header; closing
// it so that a file cut short does not stay behind.
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "core/alert.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "Files/io_utils.h"

namespace {
// The writer's state besides the stream itself.
struct ouf_state {
  std::string path;  // the file ouf_open last opened, for ouf_close
};
ouf_state g_ouf;
}  // namespace

void ouf_reset() {
  if (ouf.is_open()) ouf.close();
  ouf.clear();
  g_ouf = ouf_state();
}

static bool ouf_attempt(const std::string& path, int kind, int version, const std::string& notice) {
  ouf.clear();
  if (ouf.is_open()) ouf.close();
  ouf.clear();
  // A FIFO in the file's place would hold the stream's open for ever.
  if (UTL_make_regular(path.c_str()) != 0) return false;
  if (kind == kind_text) {
    ouf.open(path, std::ios::out | std::ios::trunc);
    if (!ouf.is_open()) return false;
    ouf.setf(std::ios::fixed, std::ios::floatfield);
    ouf << "I\n" << version << " version";
    if (notice != "no-copyright-string") ouf << notice;
    ouf << "\n";
  } else {
    ouf.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!ouf.is_open()) return false;
    int32_t v = version;  // native order: little-endian here
    ouf.put('i');
    ouf.write(reinterpret_cast<const char*>(&v), 4);
  }
  return ouf.good();
}

int ouf_open(const std::string& path, int kind, int version, const std::string& notice) {
  if (kind != kind_binary && kind != kind_text)
    MACIBM_alert(wind_main, "Bad ouf_open type!", path.c_str(), "", "", t_exit);
  std::string full = prefixed_path(path);
  // Extensions are always written in lower case.
  if (full.size() >= 4)
    for (size_t i = full.size() - 3; i < full.size(); ++i)
      if (full[i] >= 'A' && full[i] <= 'Z') full[i] = static_cast<char>(full[i] - 'A' + 'a');

  g_ouf.path = full;
  if (ouf_attempt(full, kind, version, notice)) return 1;
  size_t slash = full.rfind('/');
  if (slash != std::string::npos) make_folder(full.substr(0, slash + 1));
  if (ouf_attempt(full, kind, version, notice)) return 1;
  g_ouf.path.clear();

  MACIBM_alert(
      0,
      "I could not save the file! Could the directory that the file sits in be missing? Or "
      "flagged as READ-ONLY by the operating system? (Windows machines typically do this).",
      full.c_str(),
      "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
      "Try putting this app in the background and then flag the file as NOT read-only, or "
      "creating the folder listed in the path above.",
      t_alert);
  return 0;
}

int ouf_close() {
  if (!ouf.is_open()) return 0;
  errno = 0;
  ouf.flush();
  const bool flushed = !ouf.fail();
  int err = flushed ? 0 : (errno ? errno : EIO);
  ouf.close();
  if (!err && ouf.fail()) err = errno ? errno : EIO;
  if (err && !g_ouf.path.empty()) unlink(g_ouf.path.c_str());
  g_ouf.path.clear();
  return err;
}
