// Single-file zip archives: packing a file or link with its resource fork, and
// unpacking an archive that came over the network.
//
// Contents
//   [SECTION] Shared helpers
//   [SECTION] Packing
//   [SECTION] Unpacking: entry data, names, links, forks, regular files
#include "Files/zip.h"

#include <fcntl.h>
#include <limits.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "core/globals.h"
#include "core/util/md5.h"
#include "Files/io_utils.h"

// [SECTION] Shared helpers
namespace {

// "Version made by" Unix 2.0, so that other tools read our modes and links.
const uLong kVersionMadeBy = (3 << 8) | 20;
// Link type, mode 0755.
const uLong kLinkAttributes = 0xA1ED0000UL;
// The AppleDouble block up to the fork's length: header, two descriptors
// (Finder information 32 bytes at 50, resource fork at 82).
const unsigned char kMagicCrap[46] = {
    0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00, 0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0x02, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00,
    0x00, 50,   0x00, 0x00, 0x00, 32,   0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 82};

static_assert(kZipBadArchive == UNZ_BADZIPFILE, "the bad-archive code is minizip's");

// minizip takes lengths as unsigned int: big buffers go in slices.
const size_t kSlice = 1u << 30;

void record_failure(int line) {
  sErrFile = __FILE__;
  sErrLine = line;
}

// A DOS date holds the years 1980 to 2107 only; minizip would wrap any other
// year into that range (1979 becomes 2107), so a time outside it is written
// as the nearest time the field can hold.
const int kDosFirstYear = 1980;
const int kDosLastYear = 2107;

tm_zip dos_date_of(time_t when) {
  struct tm t = {};
  // A time too far off for a calendar year lies past one end or the other.
  const int year = localtime_r(&when, &t) ? t.tm_year + 1900
                   : when < 0             ? kDosFirstYear - 1
                                          : kDosLastYear + 1;
  tm_zip out = {};
  if (year < kDosFirstYear) {
    out.tm_mday = 1;
    out.tm_year = kDosFirstYear;
  } else if (year > kDosLastYear) {
    // Two-second steps: 59 seconds would be stored as 58 anyway.
    out.tm_sec = 58;
    out.tm_min = 59;
    out.tm_hour = 23;
    out.tm_mday = 31;
    out.tm_mon = 11;
    out.tm_year = kDosLastYear;
  } else {
    out.tm_sec = t.tm_sec;
    out.tm_min = t.tm_min;
    out.tm_hour = t.tm_hour;
    out.tm_mday = t.tm_mday;
    out.tm_mon = t.tm_mon;
    out.tm_year = year;
  }
  return out;
}

}  // namespace

// [SECTION] Packing
namespace {

// minizip tells of a failed write, seek or close only as ZIP_ERRNO; the
// system's cause (a full disk, a quota) is in errno right after the call,
// and it is what the alert must name. EIO when the call left none.
template <typename Call>
int with_cause(Call call) {
  errno = 0;
  const int err = call();
  return err == ZIP_ERRNO ? (errno ? errno : EIO) : err;
}

int close_entry(zipFile zf) {
  return with_cause([&] { return zipCloseFileInZip(zf); });
}

// One packing under way. Every step hands its failure to fail(), which leaves
// nothing behind.
struct packing {
  std::string name;  // the entry's name: the source's last component
  zipFile zf = nullptr;
  unsigned char* fork = nullptr;
  std::string archive;  // set once the archive was created
  zip_pack_result* result = nullptr;
  MD5_CTX ctx;

  // A half-written archive would be taken for a whole one: it goes.
  file_result fail(int code, int line) {
    if (zf) zipClose(zf, nullptr);
    zf = nullptr;
    if (!archive.empty()) unlink(archive.c_str());
    delete[] fork;
    fork = nullptr;
    result->line = line;
    result->md5.clear();
    return pass_on(code);
  }

  bool create(const std::string& full_zip) {
    zf = zipOpen64(full_zip.c_str(), APPEND_STATUS_CREATE);
    if (zf) archive = full_zip;
    return zf != nullptr;
  }

  // Closes the archive; the digest is final from here on.
  file_result finish(int line) {
    int err = with_cause([&] { return zipClose(zf, nullptr); });
    zf = nullptr;
    if (err) return fail(err, line);
    MD5Final(&ctx);
    result->md5 = MD5HexDigest(ctx);
    return kFileOk;
  }
};

int write_slices(zipFile zf, const void* data, size_t length) {
  const char* p = static_cast<const char*>(data);
  while (length > 0) {
    unsigned n = (unsigned)(length < kSlice ? length : kSlice);
    int err = with_cause([&] { return zipWriteInFileInZip(zf, p, n); });
    if (err != ZIP_OK) return err;
    p += n;
    length -= n;
  }
  return ZIP_OK;
}

// The level stays zlib's default; the largest memory level (a 64K-entry hash
// table and bigger blocks, 128 KiB more memory) deflates the same data faster,
// random data most, with the same or slightly better ratio. Readers do not
// see it: the stream format is the same.
int open_entry(zipFile zf, const std::string& name, const zip_fileinfo& zi, int method,
               size_t size) {
  int zip64 = size >= 0xffffffffUL;
  return with_cause([&] {
    return zipOpenNewFileInZip4_64(zf, name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr, method,
                                   Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, MAX_MEM_LEVEL,
                                   Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeBy, 0, zip64);
  });
}

// Reads are this large: big enough that a read costs little beside deflate,
// small enough to stay in the cache between the digest and the deflate.
const size_t kReadChunk = 1u << 20;

// Streams the open file into the open entry and the digest, chunk by chunk,
// to its end. Returns 0, a minizip code, ENOMEM, or the errno of the read
// or the write that failed.
file_result pack_stream(zipFile zf, int fd, MD5_CTX* ctx, uint64_t* bytes, int* line) {
  unsigned char* buf = new (std::nothrow) unsigned char[kReadChunk];
  if (!buf) {
    *line = __LINE__;
    return pass_on(ENOMEM);
  }
  int err = 0;
  for (;;) {
    ssize_t n = read(fd, buf, kReadChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno ? errno : EIO;
      *line = __LINE__;
      break;
    }
    if (n == 0) break;
    MD5UpdateWide(ctx, buf, (uint64_t)n);
    *bytes += (uint64_t)n;
    if ((err = write_slices(zf, buf, (size_t)n)) != ZIP_OK) {
      *line = __LINE__;
      break;
    }
  }
  delete[] buf;
  return pass_on(err);
}

// A symbolic link: its text is the one entry, marked as a link, and the
// digest is the text's.
file_result pack_link(packing& p, const std::string& full_zip, const std::string& link_text) {
  if (!p.create(full_zip)) return p.fail(kZipCannotCreate, __LINE__);
  zip_fileinfo zi = {};
  zi.external_fa = kLinkAttributes;
  int err;
  if ((err = open_entry(p.zf, p.name, zi, 0, link_text.size())) != ZIP_OK)
    return p.fail(err, __LINE__);
  if ((err = write_slices(p.zf, link_text.data(), link_text.size())) != ZIP_OK)
    return p.fail(err, __LINE__);
  if ((err = close_entry(p.zf)) != ZIP_OK) return p.fail(err, __LINE__);
  MD5UpdateWide(&p.ctx, reinterpret_cast<const unsigned char*>(link_text.data()), link_text.size());
  if (file_result r = p.finish(__LINE__)) return r;
  p.result->bytes = link_text.size();
  p.result->link = true;
  return kFileOk;
}

// A regular file: the archive is created and the file's bytes, mode and
// date become its first entry, left open for the fork to follow.
file_result pack_regular(packing& p, const std::string& canon, const std::string& full_zip,
                         unsigned clear_mode) {
  // O_NOFOLLOW: a link that took the file's place since the test for one is
  // not followed; it fails here and is reported.
  int fd = UTL_open_regular(canon.c_str(), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return p.fail(kFileCannotOpen, __LINE__);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return p.fail(kFileCannotOpen, __LINE__);
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  if (!p.create(full_zip)) {
    close(fd);
    return p.fail(kZipCannotCreate, __LINE__);
  }
  zip_fileinfo zi = {};
  zi.tmz_date = dos_date_of(st.st_mtime);
  zi.external_fa = (uLong)(st.st_mode & ~(mode_t)clear_mode) << 16;
  int err = open_entry(p.zf, p.name, zi, Z_DEFLATED, (size_t)st.st_size);
  if (err != ZIP_OK) {
    close(fd);
    return p.fail(err, __LINE__);
  }
  int line = 0;
  err = pack_stream(p.zf, fd, &p.ctx, &p.result->bytes, &line);
  close(fd);
  if (err) return p.fail(err, line);
  if ((err = close_entry(p.zf)) != ZIP_OK) return p.fail(err, __LINE__);
  return kFileOk;
}

// The AppleDouble entry of the source's resource fork and Finder
// information, when it has a fork at all.
file_result pack_fork(packing& p, const std::string& full_src) {
  size_t fork_length = 0;
  unsigned char finder16[16];
  int err = read_resource_fork(full_src, &p.fork, &fork_length, finder16, &p.result->note);
  if (err != 0) return p.fail(err, __LINE__);
  if (fork_length >= 0x80000000UL) return p.fail(kZipForkTooLarge, __LINE__);
  if (fork_length > kMaxResourceFork) return p.fail(EFBIG, __LINE__);
  if (fork_length == 0) return kFileOk;
  zip_fileinfo zi = {};
  if ((err = open_entry(p.zf, "__MACOSX/._" + p.name, zi, Z_DEFLATED, fork_length + 82)) != ZIP_OK)
    return p.fail(err, __LINE__);
  unsigned char head[82];
  memcpy(head, kMagicCrap, sizeof kMagicCrap);
  head[46] = (unsigned char)(fork_length >> 24);
  head[47] = (unsigned char)(fork_length >> 16);
  head[48] = (unsigned char)(fork_length >> 8);
  head[49] = (unsigned char)fork_length;
  // Finder information is kept big-endian already, as the block wants it.
  memcpy(head + 50, finder16, 16);
  memset(head + 66, 0, 16);
  if ((err = write_slices(p.zf, head, sizeof head)) != ZIP_OK) return p.fail(err, __LINE__);
  if ((err = write_slices(p.zf, p.fork, fork_length)) != ZIP_OK) return p.fail(err, __LINE__);
  if ((err = close_entry(p.zf)) != ZIP_OK) return p.fail(err, __LINE__);
  delete[] p.fork;
  p.fork = nullptr;
  return kFileOk;
}

}  // namespace

file_result zip_pack_file(const std::string& full_src, const std::string& full_zip,
                          unsigned clear_mode, zip_pack_result* result) {
  *result = zip_pack_result();
  size_t slash = full_src.rfind('/');
  packing p;
  p.name = slash == std::string::npos ? full_src : full_src.substr(slash + 1);
  p.result = result;
  MD5Init(&p.ctx);

  FSRef ref;
  int err = FilePathToFSRefAndName(full_src.c_str(), &ref, nullptr);
  if (err) return p.fail(err, __LINE__);
  if (ref.path.size() > kPathBufferChars) return p.fail(ENAMETOOLONG, __LINE__);
  const std::string& canon = ref.path;

  std::string link_text;
  err = UTL_read_link(canon.c_str(), &link_text);
  if (err != 0 && err != EINVAL) return p.fail(err, __LINE__);
  if (err == 0) return pack_link(p, full_zip, link_text);

  if (file_result r = pack_regular(p, canon, full_zip, clear_mode)) return r;
  if (file_result r = pack_fork(p, full_src)) return r;
  return p.finish(__LINE__);
}

int file_to_zip(const std::string& src, const std::string& zip_path) {
  zip_pack_result result;
  int err = zip_pack_file(app_path + src, app_path + zip_path, 0, &result);
  if (!result.note.empty()) thread_log() << result.note;
  if (err) {
    record_failure(result.line);
    thread_log() << "file_to_zip failed with error " << err << ".\nfile = " << sErrFile
                 << " line = " << sErrLine << "\n";
  }
  return err;
}

// [SECTION] Unpacking: entry data, names, links, forks, regular files
namespace {

// One entry's bytes as they inflate, held to what the archive declares of
// them. minizip stops at the declared size without telling whether more
// would follow, and hands an entry of a method it cannot inflate over raw
// with no CRC test; so the entry is read raw and inflated here, and one that
// gives more or fewer bytes than declared, fails its CRC, is encrypted or
// uses a method other than store and deflate is refused.
// Memory: the input buffer below and zlib's inflate state (about 44 KiB),
// whatever the entry declares. Time: the entry's compressed bytes plus at
// most its declared size inflated, so a lying size costs no more than an
// honest one (deflate expands at most about 1032 times).
class entry_stream {
 public:
  entry_stream() = default;
  entry_stream(const entry_stream&) = delete;
  entry_stream& operator=(const entry_stream&) = delete;
  ~entry_stream() { end(); }

  // 0, or a code: minizip's when it cannot open the entry, its "bad zip
  // file" for a method or an encryption we do not read, ENOMEM.
  file_result open(unzFile uf, const unz_file_info_s& info) {
    if ((info.compression_method != 0 && info.compression_method != Z_DEFLATED) || (info.flag & 1))
      return fail(kZipBadArchive, __LINE__);
    int method = 0, level = 0;
    int err = unzOpenCurrentFile2(uf, &method, &level, 1);
    if (err != UNZ_OK) return fail(err, __LINE__);
    uf_ = uf;
    deflated_ = method == Z_DEFLATED;
    declared_ = info.uncompressed_size;
    want_crc_ = info.crc;
    crc_ = crc32(0L, Z_NULL, 0);
    if (deflated_) {
      if (inflateInit2(&zs_, -MAX_WBITS) != Z_OK) return fail(ENOMEM, __LINE__);
      inflating_ = true;
    }
    return kFileOk;
  }

  // Up to cap bytes into out; *got is 0 once every declared byte was given.
  // 0, or kZipCannotRead for an entry that ends early or is damaged.
  file_result read(unsigned char* out, size_t cap, size_t* got) {
    *got = 0;
    size_t want = declared_ - given_;
    if (want > cap) want = cap;
    if (want > kSlice) want = kSlice;
    if (want == 0) return kFileOk;
    if (!deflated_) {
      int n = unzReadCurrentFile(uf_, out, (unsigned)want);
      if (n <= 0) return fail(kZipCannotRead, __LINE__);
      *got = (size_t)n;
    } else {
      zs_.next_out = out;
      zs_.avail_out = (uInt)want;
      while (zs_.avail_out > 0 && !stream_end_) {
        if (zs_.avail_in == 0 && !input_done_ && fill() != 0) return fail(kZipCannotRead, __LINE__);
        int r = inflate(&zs_, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
          stream_end_ = true;
        } else if (r == Z_BUF_ERROR && zs_.avail_in == 0) {
          if (input_done_) break;
        } else if (r != Z_OK) {
          return fail(kZipCannotRead, __LINE__);
        }
      }
      *got = want - zs_.avail_out;
      if (*got == 0) return fail(kZipCannotRead, __LINE__);
    }
    crc_ = crc32(crc_, out, (uInt)*got);
    given_ += *got;
    return kFileOk;
  }

  // After the declared bytes: nothing more may inflate, and the CRC must
  // match. 0, kZipCannotRead, minizip's CRC code, or its code for the close.
  // The entry is closed either way.
  file_result finish() {
    int err = given_ < declared_ ? kZipCannotRead : 0;
    int line = __LINE__;
    unsigned char extra;
    if (!err && deflated_) {
      while (!err && !stream_end_) {
        if (zs_.avail_in == 0 && !input_done_ && fill() != 0) err = kZipCannotRead;
        if (err) break;
        zs_.next_out = &extra;
        zs_.avail_out = 1;
        int r = inflate(&zs_, Z_NO_FLUSH);
        if (zs_.avail_out == 0) {
          err = kZipCannotRead;  // a byte past the declared size
        } else if (r == Z_STREAM_END) {
          stream_end_ = true;
        } else if (r != Z_OK && (r != Z_BUF_ERROR || zs_.avail_in != 0 || input_done_)) {
          err = kZipCannotRead;  // damaged, or a stream that never ends
        }
      }
      line = __LINE__;
    } else if (!err && unzReadCurrentFile(uf_, &extra, 1) != 0) {
      err = kZipCannotRead;
      line = __LINE__;
    }
    if (!err && crc_ != want_crc_) {
      err = UNZ_CRCERROR;
      line = __LINE__;
    }
    int close_err = unzCloseCurrentFile(uf_);
    uf_ = nullptr;
    if (!err && close_err != UNZ_OK) {
      err = close_err;
      line = __LINE__;
    }
    end();
    return err ? fail(err, line) : kFileOk;
  }

  size_t declared() const { return declared_; }

 private:
  int fill() {
    int n = unzReadCurrentFile(uf_, in_, sizeof in_);
    if (n < 0) return n;
    if (n == 0) input_done_ = true;
    zs_.next_in = in_;
    zs_.avail_in = (uInt)n;
    return 0;
  }
  file_result fail(int code, int line) {
    record_failure(line);
    return pass_on(code);
  }
  void end() {
    if (inflating_) inflateEnd(&zs_);
    inflating_ = false;
    if (uf_) unzCloseCurrentFile(uf_);
    uf_ = nullptr;
  }

  unzFile uf_ = nullptr;
  bool deflated_ = false, inflating_ = false, stream_end_ = false, input_done_ = false;
  z_stream zs_ = {};
  uLong crc_ = 0, want_crc_ = 0;
  size_t declared_ = 0, given_ = 0;
  unsigned char in_[16384];
};

// The current entry whole, as text. Only for entries whose declared size
// the caller has bounded already: this allocates that size.
file_result read_entry(unzFile uf, const unz_file_info_s& info, std::string* data) {
  entry_stream in;
  file_result err = in.open(uf, info);
  if (err) return err;
  data->assign(in.declared(), '\0');
  size_t done = 0, got = 0;
  do {
    unsigned char* at = reinterpret_cast<unsigned char*>(&(*data)[0]) + done;
    if ((err = in.read(at, data->size() - done, &got)) != 0) return err;
    done += got;
  } while (got > 0);
  return in.finish();
}

// Names come from the network: refuse absolute ones and any ".." component.
bool name_is_safe(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

// True when a folder on the way from base to base + rel is a symbolic link,
// whether the archive made it or it was there before: we never write through one.
bool crosses_link(const std::string& base, const std::string& rel) {
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
    if (slash == 0) continue;
    struct stat st;
    if (lstat((base + rel.substr(0, slash)).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
  }
  return false;
}

void log_entry_failure(const char* what, int code, const std::string& target) {
  thread_log() << what << code << ". file = " << sErrFile << " line = " << sErrLine
               << ". inFile=" << target << ".\n";
}

// Regular entries stream through a buffer of this size into the file. One the
// size of the entry costs a page fault per 4 KiB on first touch and has left
// the cache again by the time write() copies it.
const size_t kStreamBuffer = 256 * 1024;

// O_TMPFILE files are given their name through /proc. Without it, or on a file
// system that has no unnamed files, the target is written directly and a
// damaged entry leaves no file at all instead of the old one.
bool can_link_unnamed() {
  static const bool ok = access("/proc/self/fd", X_OK) == 0;
  return ok;
}

// Where an entry's bytes go. Preferably an unnamed file in the target's folder
// that takes the target's place only once the entry has read back whole and
// its CRC matched, so a damaged download leaves the old file as it was.
struct entry_output {
  std::string target;
  int fd = -1;
  bool unnamed = false;

  // Returns 0 or an errno; on failure no file is made.
  int open_for(const std::string& path) {
    target = path;
    if (can_link_unnamed()) {
      size_t slash = path.rfind('/');
      std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
      fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd >= 0) {
        unnamed = true;
        return 0;
      }
    }
    unlink(target.c_str());
    // O_NOFOLLOW: a link that appeared since the deletion is not written through.
    fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    return fd < 0 ? errno : 0;
  }

  // Returns 0 or an errno.
  int write_all(const unsigned char* data, size_t length) {
    while (length > 0) {
      ssize_t n = write(fd, data, length);
      if (n <= 0) return n < 0 ? errno : EIO;
      data += n;
      length -= (size_t)n;
    }
    return 0;
  }

  // Gives the unnamed file the target's name, replacing whatever was there.
  int publish() {
    if (!unnamed) return 0;
    unlink(target.c_str());
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      unnamed = false;
      return 0;
    }
    int err = errno;
    // What is still in the way could not be deleted: answer as opening it would.
    struct stat st;
    if (err == EEXIST && lstat(target.c_str(), &st) == 0)
      err = S_ISDIR(st.st_mode) ? EISDIR : S_ISLNK(st.st_mode) ? ELOOP : EEXIST;
    return err;
  }

  // An unnamed file vanishes with its descriptor; a named one was made by us.
  void discard() {
    if (fd < 0) return;
    close(fd);
    fd = -1;
    if (!unnamed) unlink(target.c_str());
  }
};

// Codes of the entry take precedence over those of the output, as they did
// when the entry was read whole before the file was touched.
// Memory: one 256 KiB buffer; the bytes go to the file as they inflate.
int unzip_regular(unzFile uf, const std::string& target, const unz_file_info_s& info) {
  entry_stream in;
  int err = in.open(uf, info);
  if (err) return err;
  unsigned char* buf = new (std::nothrow) unsigned char[kStreamBuffer];
  if (!buf) {
    record_failure(__LINE__);
    return ENOMEM;
  }
  entry_output out;
  int out_err = out.open_for(target);
  int out_line = out_err ? __LINE__ : 0;
  size_t got = 0;
  do {
    if ((err = in.read(buf, kStreamBuffer, &got)) != 0) break;
    // After a failed write the rest is still read: a short or damaged entry
    // reports as such.
    if (got && !out_err && (out_err = out.write_all(buf, got)) != 0) out_line = __LINE__;
  } while (got > 0);
  delete[] buf;
  if (!err) err = in.finish();
  if (err) {
    out.discard();
    return err;
  }
  if (!out_err && (out_err = out.publish()) != 0) out_line = __LINE__;
  if (out_err) {
    out.discard();
    record_failure(out_line);
    return out_err;
  }
  int fd = out.fd;
  uLong attributes = info.external_fa;
  // DOS hosts put their own bits (0x20, archive) in the low half: no mode there.
  if ((attributes >> 16) != 0) fchmod(fd, (mode_t)((attributes >> 16) & 0777));
  if (attributes != 0) {
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    t.tm_sec = (int)info.tmu_date.tm_sec;
    t.tm_min = (int)info.tmu_date.tm_min;
    t.tm_hour = (int)info.tmu_date.tm_hour;
    t.tm_mday = (int)info.tmu_date.tm_mday;
    t.tm_mon = (int)info.tmu_date.tm_mon;
    t.tm_year = (int)info.tmu_date.tm_year - 1900;
    // The entry's own date decides summer time, not today's.
    t.tm_isdst = -1;
    struct timeval tv[2] = {};
    tv[0].tv_sec = tv[1].tv_sec = mktime(&t);
    if (futimes(fd, tv) != 0) {
      close(fd);
      record_failure(__LINE__);
      return -1;
    }
  }
  if (close(fd) != 0) {
    record_failure(__LINE__);
    return errno;
  }
  return 0;
}

}  // namespace

// Memory: the link's text, which is never longer than PATH_MAX: a bigger
// entry is refused before a byte of it is read.
int unzip_symlink(unzFile uf, const std::string& target, const unz_file_info_s& info) {
  std::string text;
  int err = 0;
  if (info.uncompressed_size >= PATH_MAX) {
    record_failure(__LINE__);
    err = ENAMETOOLONG;
  } else {
    err = read_entry(uf, info, &text);
  }
  // A NUL inside would make a link to a different, shorter text.
  if (!err && text.find('\0') != std::string::npos) {
    record_failure(__LINE__);
    err = kZipBadEntryName;
  }
  if (!err) {
    unlink(target.c_str());
    if (symlink(text.c_str(), target.c_str()) != 0) {
      record_failure(__LINE__);
      err = -1;
    }
  }
  if (err) log_entry_failure("Zip to symlink failed with error ", err, target);
  return err;
}

int unzip_resource_fork(unzFile uf, const std::string& entry_target, const unz_file_info_s& info) {
  // Only the last component loses its "._": "x._y" is a file of its own.
  size_t slash = entry_target.rfind('/');
  size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  if (entry_target.compare(leaf, 2, "._") != 0) {
    thread_log() << "Skipping a __MACOSX entry that names no fork: " << entry_target << "\n";
    return 0;
  }
  std::string target = entry_target.substr(0, leaf) + entry_target.substr(leaf + 2);

  // Memory: the block whole, at most kMaxAppleDouble; a larger entry is
  // refused before a byte of it is read.
  std::string block;
  int err = 0;
  if (info.uncompressed_size > kMaxAppleDouble) {
    record_failure(__LINE__);
    err = kZipBadForkHeader;
  } else {
    err = read_entry(uf, info, &block);
  }
  if (!err) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(block.data());
    apple_double_view view;
    err = parse_apple_double(data, block.size(), &view);
    if (err) {
      record_failure(__LINE__);
    } else {
      struct stat st;
      if (lstat(target.c_str(), &st) == 0)
        err = write_resource_fork(target, data, block.size(), view);
    }
  }
  if (err) log_entry_failure("Unzip RF failed with error ", err, target);
  return err;
}

// The archive comes from a mirror. Memory: per entry at most 256 KiB for a
// file, PATH_MAX for a link and kMaxAppleDouble for a fork, besides the fixed
// state of minizip and zlib; never what an entry declares. Time: each entry's
// compressed bytes read once and at most its declared size inflated (an
// entry that inflates to anything else is refused); each central-directory
// record is read once, its name into 256 bytes, and of its extra fields
// minizip parses only the zip64 sizes, within the record's 64 KiB.
int zip_to_file(const std::string& zip_path, const std::string& out_dir, std::string* first_name,
                int use_given_name) {
  std::string full_zip = app_path + zip_path;
  std::string full_out = app_path + out_dir;
  int err;

  unzFile uf = unzOpen64(full_zip.c_str());
  if (!uf) {
    thread_log() << "OK I am about to report that I could not open a zip file for extraction!\n"
                 << "That incoming file is " << full_zip << "\n"
                 << "In c-form, it is " << full_zip << "\n"
                 << "The size is " << full_zip.size() << "\n";
    record_failure(__LINE__);
    err = kZipCannotOpen;
  } else {
    bool first = true;
    err = unzGoToFirstFile(uf);
    while (err == UNZ_OK) {
      unz_file_info_s info;
      char name_buf[256];
      err = unzGetCurrentFileInfo(uf, &info, name_buf, sizeof name_buf, nullptr, 0, nullptr, 0);
      if (err != UNZ_OK) {
        thread_log() << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
        record_failure(__LINE__);
        break;
      }
      int result = 0;
      // A name that does not fit the buffer is not terminated; one with a NUL
      // inside would be read as a different, shorter name.
      std::string name = info.size_filename < sizeof name_buf ? name_buf : "";
      if (name.size() != info.size_filename) name.clear();
      std::string target_name = name;
      if (first && use_given_name && first_name) target_name = *first_name;
      if (first && first_name) *first_name = name;
      first = false;

      bool is_fork = name.compare(0, 8, "__MACOSX") == 0;
      std::string rel = target_name;
      if (is_fork) rel = name.size() > 9 ? name.substr(9) : "";
      bool is_folder = !name.empty() && name.back() == '/';

      if (name.empty() || !name_is_safe(name) ||
          (!is_folder && !rel.empty() && !name_is_safe(rel)) || crosses_link(full_out, rel)) {
        thread_log() << "Refusing zip entry " << (name.empty() ? "(bad name)" : name) << "\n";
        record_failure(__LINE__);
        result = kZipBadEntryName;
      } else if (is_folder) {
        if (!is_fork) {
          result = make_folder(full_out + rel);
          if (result == EEXIST || result == kMacDuplicateName) result = 0;
        }
      } else if (is_fork) {
        result = unzip_resource_fork(uf, full_out + rel, info);
      } else if (((info.external_fa >> 16) & 0xA000) == 0xA000) {
        result = unzip_symlink(uf, full_out + rel, info);
      } else {
        result = unzip_regular(uf, full_out + rel, info);
        if (result) log_entry_failure("Zip to file failed with error ", result, full_out + rel);
      }
      if (result) {
        thread_log() << "UNZIP zip_to_file failed with err=" << result << "\n";
        err = result;
        break;
      }
      err = unzGoToNextFile(uf);
    }
    if (err == UNZ_END_OF_LIST_OF_FILE) err = 0;
    unzClose(uf);
  }
  if (err) {
    thread_log() << "Zip to file failed with error err = " << err << ". file = " << sErrFile
                 << " line = " << sErrLine << ". zip_file=" << full_zip
                 << ", out_directory=" << full_out << ".\n";
  }
  return err;
}
