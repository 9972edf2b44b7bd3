// The address-space map, read from /proc/self/maps for the crash handler's
// stack walk. Reached from a signal handler: open/read/close and a stack
// buffer only, since the allocator may be the very thing that crashed.
#include "platform/memory_map.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

class maps_reader {
 public:
  maps_reader() : fd_(open("/proc/self/maps", O_RDONLY | O_CLOEXEC)) {}
  ~maps_reader() {
    if (fd_ >= 0) close(fd_);
  }
  // Next region in ascending order; readable/writable from its permissions.
  bool next(uintptr_t& lo, uintptr_t& hi, bool& readable, bool& writable) {
    if (fd_ < 0) return false;
    int c = getc();
    if (c < 0) return false;
    lo = read_hex(c);  // stops at '-'
    hi = read_hex(getc());
    readable = getc() == 'r';
    writable = getc() == 'w';
    while (c >= 0 && c != '\n') c = getc();
    return true;
  }

 private:
  int getc() {
    if (pos_ == len_) {
      ssize_t n;
      do n = read(fd_, buf_, sizeof buf_);
      while (n < 0 && errno == EINTR);
      if (n <= 0) return -1;
      len_ = static_cast<size_t>(n);
      pos_ = 0;
    }
    return static_cast<unsigned char>(buf_[pos_++]);
  }
  uintptr_t read_hex(int c) {
    uintptr_t v = 0;
    for (;; c = getc()) {
      if (c >= '0' && c <= '9')
        v = v * 16 + (c - '0');
      else if (c >= 'a' && c <= 'f')
        v = v * 16 + (c - 'a' + 10);
      else
        return v;
    }
  }
  int fd_;
  char buf_[4096];
  size_t len_ = 0, pos_ = 0;
};

}  // namespace

void PLAT_walk_memory_map(memory_region_visitor visit, void* context) {
  maps_reader maps;
  uintptr_t lo, hi;
  bool r, w;
  while (maps.next(lo, hi, r, w))
    if (!visit(lo, hi, r, w, context)) return;
}
