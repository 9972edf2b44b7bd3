// Resource forks and Finder information on Linux: two extended attributes of
// the file, or, where the file system refuses them (tmpfs without user
// attributes, values larger than a block), the AppleDouble block itself kept
// beside the file as "._name".
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "core/globals.h"
#include "Files/io_utils.h"
#include "Files/zip.h"

namespace {

const char kForkAttr[] = "user.com.apple.ResourceFork";
const char kFinderAttr[] = "user.com.apple.FinderInfo";

// Magic 0x00051607, version 0x00020000, 16 bytes of filler.
const unsigned char kAppleHeader[24] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};

enum { kFinderInfoId = 9, kResourceForkId = 2 };

unsigned long be32(const unsigned char* p) {
  return (unsigned long)p[0] << 24 | (unsigned long)p[1] << 16 | (unsigned long)p[2] << 8 | p[3];
}

std::string sidecar_path(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, leaf) + "._" + path.substr(leaf);
}

// The whole sidecar file in a nothrow buffer; null when there is none (or it
// is not a plain file: we never read through a link here either, nor wait on
// a FIFO). Memory: the file's size, at most kMaxAppleDouble; a larger file is
// refused with EFBIG before anything is allocated.
unsigned char* read_sidecar(const std::string& path, size_t* length, int* err) {
  *length = 0;
  *err = 0;
  int fd = UTL_open_regular(path.c_str(), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  if ((unsigned long long)st.st_size > kMaxAppleDouble) {
    close(fd);
    *err = EFBIG;
    return nullptr;
  }
  size_t size = (size_t)st.st_size;
  unsigned char* buf = new (std::nothrow) unsigned char[size ? size : 1];
  if (!buf) {
    close(fd);
    *err = ENOMEM;
    return nullptr;
  }
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, buf + got, size - got);
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  *length = got;
  return buf;
}

}  // namespace

// Time: one pass over the descriptor table, which the check against the
// block's length bounds by the block itself; no memory of its own.
file_result parse_apple_double(const unsigned char* data, size_t length, apple_double_view* out) {
  *out = apple_double_view();
  if (length < 26 || memcmp(data, kAppleHeader, sizeof kAppleHeader) != 0) return kZipBadForkHeader;
  size_t count = (size_t)data[24] << 8 | data[25];
  if (26 + count * 12 > length) return kZipBadForkHeader;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* d = data + 26 + i * 12;
    unsigned long id = be32(d), offset = be32(d + 4), len = be32(d + 8);
    // 64-bit sums: a lying offset plus length must not wrap past the check.
    if ((unsigned long long)offset + len > length) return kZipBadForkHeader;
    if (id == kFinderInfoId && len == 32) {
      out->finder = data + offset;
    } else if (id == kResourceForkId) {
      out->has_fork = true;
      out->fork_offset = offset;
      out->fork_length = len;
    }
  }
  return kFileOk;
}

file_result read_resource_fork(const std::string& path, unsigned char** fork, size_t* fork_length,
                               unsigned char finder16[16], std::string* note) {
  *fork = nullptr;
  *fork_length = 0;
  memset(finder16, 0, 16);

  unsigned char finder[32];
  bool have_finder = lgetxattr(path.c_str(), kFinderAttr, finder, sizeof finder) >= 16;
  if (have_finder) memcpy(finder16, finder, 16);

  // The kernel keeps an attribute's value under 64 KiB: that bounds this copy.
  ssize_t size = lgetxattr(path.c_str(), kForkAttr, nullptr, 0);
  if (size >= 0) {
    if (size == 0) return kFileOk;
    unsigned char* buf = new (std::nothrow) unsigned char[size];
    if (!buf) return pass_on(ENOMEM);
    ssize_t got = lgetxattr(path.c_str(), kForkAttr, buf, (size_t)size);
    if (got <= 0) {  // removed or grown since the size query: treat as no fork
      delete[] buf;
      return kFileOk;
    }
    *fork = buf;
    *fork_length = (size_t)got;
    return kFileOk;
  }

  // No attribute: a fork that an earlier unpacking kept beside the file.
  size_t block_length;
  int err;
  unsigned char* block = read_sidecar(sidecar_path(path), &block_length, &err);
  if (!block) return pass_on(err);
  apple_double_view view;
  if (parse_apple_double(block, block_length, &view) != 0) {
    const std::string line = "Ignoring a damaged AppleDouble file beside " + path + "\n";
    if (note)
      *note = line;
    else
      thread_log() << line;
    delete[] block;
    return kFileOk;
  }
  if (!have_finder && view.finder) memcpy(finder16, view.finder, 16);
  if (view.fork_length >= 0x80000000UL) {
    delete[] block;
    return kZipForkTooLarge;
  }
  if (!view.has_fork || view.fork_length == 0) {
    delete[] block;
    return kFileOk;
  }
  memmove(block, block + view.fork_offset, view.fork_length);
  *fork = block;
  *fork_length = view.fork_length;
  return kFileOk;
}

int write_resource_fork(const std::string& target, const unsigned char* block, size_t length,
                        const apple_double_view& view) {
  int refused = 0;
  if (view.finder) {
    // Only the classic half is ours to replace; the extended half stays.
    unsigned char finder[32] = {};
    if (lgetxattr(target.c_str(), kFinderAttr, finder, sizeof finder) != 32) memset(finder, 0, 32);
    memcpy(finder, view.finder, 16);
    if (lsetxattr(target.c_str(), kFinderAttr, finder, sizeof finder, 0) != 0) refused = errno;
  }
  if (!refused && view.has_fork && view.fork_length >= 1 &&
      lsetxattr(target.c_str(), kForkAttr, block + view.fork_offset, view.fork_length, 0) != 0)
    refused = errno;
  if (!refused) return 0;

  // Whatever the reason, a fork is never worth failing an install for.
  std::string side = sidecar_path(target);
  thread_log() << "Resource fork of " << target << " kept in " << side << " (" << strerror(refused)
               << ")\n";
  unlink(side.c_str());
  int fd = open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    int e = errno;
    sErrFile = __FILE__;
    sErrLine = __LINE__;
    return e;
  }
  size_t done = 0;
  while (done < length) {
    ssize_t n = write(fd, block + done, length - done);
    if (n <= 0) {
      int e = n < 0 ? errno : EIO;
      close(fd);
      sErrFile = __FILE__;
      sErrLine = __LINE__;
      return e;
    }
    done += (size_t)n;
  }
  if (close(fd) != 0) {
    sErrFile = __FILE__;
    sErrLine = __LINE__;
    return errno;
  }
  return 0;
}
