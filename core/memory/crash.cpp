// The crash handler and its stack walk. Everything reachable from the signal
// handler uses open/write/read/close and stack buffers only: the C library's
// stream functions and the allocator may be the very thing that crashed.
//
// Contents
//   [SECTION] Signal-safe output
//   [SECTION] Memory map walk (through the platform's hook)
//   [SECTION] Symbols and the stack walk
//   [SECTION] Memory helpers
//   [SECTION] The handler
#include "core/memory/crash.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/hooks.h"
#include "Files/io_utils.h"

// [SECTION] Signal-safe output
namespace {

class fd_writer {
 public:
  explicit fd_writer(int fd) : fd_(fd) {}
  ~fd_writer() { flush(); }

  void put(const char* s) {
    while (s && *s) put_char(*s++);
  }
  void put_char(char c) {
    if (len_ == sizeof buf_) flush();
    buf_[len_++] = c;
  }
  void put_dec(long long v) { put_dec_width(v, 0); }
  // Right-aligned in width characters, like "% 2d".
  void put_dec_width(long long v, int width) {
    char tmp[24];
    int n = 0;
    unsigned long long u = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : v;
    do {
      tmp[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u);
    int len = n + (v < 0 ? 1 : 0);
    for (int i = len; i < width; ++i) put_char(' ');
    if (v < 0) put_char('-');
    while (n) put_char(tmp[--n]);
  }
  void put_hex(unsigned long long v, int digits, bool upper) {
    const char* hex = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) put_char(hex[(v >> (4 * i)) & 0xf]);
  }
  // Addresses are printed in full: 16 digits on a 64-bit system.
  void put_addr(const void* p) {
    put_hex(reinterpret_cast<uintptr_t>(p), 2 * sizeof(void*), false);
  }
  void flush() {
    size_t off = 0;
    while (off < len_) {
      ssize_t w = write(fd_, buf_ + off, len_ - off);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      off += static_cast<size_t>(w);
    }
    len_ = 0;
  }

 private:
  int fd_;
  char buf_[512];
  size_t len_ = 0;
};

const char* base_name(const char* path) {
  const char* b = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') b = p + 1;
  return b;
}

void copy_text(char* dst, size_t cap, const char* src) {
  size_t i = 0;
  for (; src && src[i] && i + 1 < cap; ++i) dst[i] = src[i];
  dst[i] = 0;
}

// [SECTION] Memory map walk (through the platform's hook)
// Checks the range and, when one region holds all of it, reports that region
// so that a stack walk need not read the map again for every frame.
int valid_range(uintptr_t start, size_t count, int read, int write, uintptr_t* region_lo,
                uintptr_t* region_hi) {
  if (count == 0) return 1;
  struct range_check {
    uintptr_t cur, end;
    int read, write;
    uintptr_t *region_lo, *region_hi;
    bool first = true;
    int valid = 0;
  } check{start, start + count, read, write, region_lo, region_hi};
  if (check.end < start) return 0;
  g_core_hooks.walk_memory_map(
      [](uintptr_t lo, uintptr_t hi, bool r, bool w, void* context) {
        range_check& c = *static_cast<range_check*>(context);
        if (hi <= c.cur) return true;
        if (lo > c.cur) return false;
        if ((c.read && !r) || (c.write && !w)) return false;
        if (c.first && hi >= c.end && c.region_lo) {
          *c.region_lo = lo;
          *c.region_hi = hi;
        }
        c.first = false;
        c.cur = hi;
        if (c.cur >= c.end) c.valid = 1;
        return !c.valid;
      },
      &check);
  return check.valid;
}

// The crash handler's state. Nothing resets it: the first fault ends the
// process, and the stack is the system's once it was handed over.
struct crash_state {
  int crashing = 0;  // set by the first thread to fault
  // The main thread's alternate signal stack; other threads get their own
  // when the thread layer starts them.
  alignas(16) char main_alt_stack[65536];
};
crash_state g_crash;

}  // namespace

// [SECTION] Symbols and the stack walk
int UTL_get_debug_symbol(const void* address, symbol_info* info) {
  info->image_path[0] = info->symbol_name[0] = info->source_file[0] = 0;
  info->image_base = info->symbol_address = nullptr;
  info->source_line = -1;
  Dl_info di;
  if (!dladdr(address, &di)) return 0;
  copy_text(info->image_path, sizeof info->image_path, di.dli_fname);
  info->image_base = di.dli_fbase;
  copy_text(info->symbol_name, sizeof info->symbol_name, di.dli_sname);
  info->symbol_address = di.dli_saddr;
  // ELF images carry no file and line without a debug-info reader, so the
  // source fields stay unknown.
  return 1;
}

void print_symbol(int fd, const void* address) {
  symbol_info info;
  UTL_get_debug_symbol(address, &info);
  fd_writer out(fd);
  const uintptr_t a = reinterpret_cast<uintptr_t>(address);
  if (info.symbol_address) {
    const long long dist =
        static_cast<long long>(a - reinterpret_cast<uintptr_t>(info.symbol_address));
    if (info.symbol_name[0]) {
      out.put(info.symbol_name);
    } else {
      out.put("0x");
      out.put_addr(info.symbol_address);
    }
    out.put(" + ");
    out.put_dec(dist);
  } else {
    out.put("0x");
    out.put_addr(address);
  }
  if (info.source_file[0]) {
    out.put(" (");
    out.put(base_name(info.source_file));
    out.put(":");
    out.put_dec(info.source_line);
    out.put(")");
  } else if (info.image_base) {
    out.put(" (file and line unknown)");
  }
  if (info.image_base) {
    const long long dist = static_cast<long long>(a - reinterpret_cast<uintptr_t>(info.image_base));
    out.put(" (");
    if (info.image_path[0]) {
      out.put(base_name(info.image_path));
    } else {
      out.put("0x");
      out.put_addr(info.image_base);
    }
    out.put(" + ");
    out.put_dec(dist);
    out.put(")\n");
  } else {
    out.put(" (?\?\?)\n");
  }
}

void UTL_dump_stack(int fd, stack_frame* frame, void* pc) {
  int number = 0;
  auto numbered = [fd](int n) {
    fd_writer out(fd);
    out.put(" ");
    out.put_dec_width(n, 2);
    out.put(") ");
  };
  if (pc) {
    numbered(number++);
    print_symbol(fd, pc);
  }
  stack_frame* f = frame ? frame : static_cast<stack_frame*>(__builtin_frame_address(0));
  uintptr_t known_lo = 0, known_hi = 0;  // a region already seen readable and writable
  while (f && number < 100) {
    const uintptr_t a = reinterpret_cast<uintptr_t>(f);
    const bool known = a >= known_lo && a + sizeof(stack_frame) <= known_hi;
    if (!known && !valid_range(a, sizeof(stack_frame), 1, 1, &known_lo, &known_hi)) break;
    numbered(number++);
    print_symbol(fd, f->return_address);
    if (reinterpret_cast<uintptr_t>(f->caller) <= a) break;
    f = f->caller;
  }
}

// [SECTION] Memory helpers
void dump_hex(int fd, const void* start, int count) {
  const unsigned char* p = static_cast<const unsigned char*>(start);
  fd_writer out(fd);
  for (int row = 0; row < count; row += 16) {
    const int left = count - row;
    out.put(" ");
    for (int i = 0; i < 16; ++i) {
      if (i && i % 4 == 0) out.put(" ");
      if (i < left)
        out.put_hex(p[row + i], 2, true);
      else
        out.put("  ");
    }
    out.put("     ");
    for (int i = 0; i < 16; ++i) {
      if (i == 4 || i == 8 || i == 12) out.put(" ");
      if (i >= left)
        out.put_char(' ');
      else if (p[row + i] >= 0x20 && p[row + i] < 0x7f)
        out.put_char(static_cast<char>(p[row + i]));
      else
        out.put_char('.');
    }
    out.put("\n");
  }
}

int UTL_valid_memory(const void* start, size_t count, int read, int write) {
  return valid_range(reinterpret_cast<uintptr_t>(start), count, read, write, nullptr, nullptr);
}

// [SECTION] The handler
bool UTL_sanitizer_owns_signals() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

void fatal_signal_handler(int sig, siginfo_t* info, void* context) {
  // A second thread faulting meanwhile waits for the first one's abort.
  if (__atomic_exchange_n(&g_crash.crashing, 1, __ATOMIC_SEQ_CST)) {
    for (;;) pause();
  }
  int fd = UTL_open_regular("crash_log.txt", O_WRONLY | O_CREAT | O_APPEND, 0644);
  const bool own_file = fd >= 0;
  if (!own_file) fd = STDERR_FILENO;
  {
    fd_writer out(fd);
    const char* name = sig > 0 && sig < 32 ? sigabbrev_np(sig) : nullptr;
    if (name) {
      out.put(name);
      out.put(" (");
      out.put(sigdescr_np(sig));
      out.put(")\n");
    } else {
      out.put("An unknown signal ");
      out.put_dec(sig);
      out.put(" has been caught.\n");
    }
    out.put("Sig no: ");
    out.put_dec(info ? info->si_signo : sig);
    out.put(", sig err: ");
    out.put_dec(info ? info->si_errno : 0);
    out.put(", sig code: ");
    out.put_dec(info ? info->si_code : 0);
    out.put(", status: ");
    out.put_dec(info ? info->si_status : 0);
    out.put("\nAddy: 0x");
    out.put_addr(info ? info->si_addr : nullptr);
    out.put("\n");
  }
  stack_frame* frame = nullptr;
  void* pc = nullptr;
  if (context) {
    const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    frame = reinterpret_cast<stack_frame*>(uc->uc_mcontext.gregs[REG_RBP]);
    pc = reinterpret_cast<void*>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    frame = reinterpret_cast<stack_frame*>(uc->uc_mcontext.regs[29]);
    pc = reinterpret_cast<void*>(uc->uc_mcontext.pc);
#else
    (void)uc;
#endif
  }
  UTL_dump_stack(fd, frame, pc);
  if (own_file) close(fd);
  // The log's stream buffer cannot be touched here; the notice is appended to
  // the log file itself, which the start-up opened in the working folder.
  int log = UTL_open_regular("Log.txt", O_WRONLY | O_APPEND);
  if (log >= 0) {
    fd_writer out(log);
    out.put(
        "This application has crashed.  Please send the file crash_log.txt to Tessaly Works.\n");
    out.flush();
    close(log);
  }
  abort();
}

void UTL_debug_init() {
  signal(SIGPIPE, SIG_IGN);
  if (UTL_sanitizer_owns_signals()) return;
  stack_t ss{};
  ss.ss_sp = g_crash.main_alt_stack;
  ss.ss_size = sizeof g_crash.main_alt_stack;
  sigaltstack(&ss, nullptr);
  struct sigaction sa {};
  sa.sa_sigaction = fatal_signal_handler;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  // SIGEMT has no Linux counterpart.
  const int signals[] = {SIGILL, SIGFPE, SIGBUS, SIGSEGV, SIGTRAP, SIGSYS};
  for (int s : signals) {
    if (sigaction(s, &sa, nullptr) != 0) printf("Failed to installed signal: %d\n", errno);
  }
}
