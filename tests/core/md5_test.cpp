// MD5 against the system's md5sum: the RFC 1321 suite, the block-boundary
// sizes, arbitrary splits of one message, and a file past 4 GiB.
#include "core/util/md5.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

std::string md5_whole(const std::string& bytes) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  MD5Final(&ctx);
  return MD5HexDigest(ctx);
}

std::string md5sum_of_file(const std::string& path) {
  int status = -1;
  std::string out = run_command("md5sum '" + path + "'", &status);
  EXPECT_EQ(status, 0) << out;
  return out.substr(0, 32);
}

std::string md5sum_of(const std::string& dir, const std::string& bytes) {
  std::string path = dir + "msg.bin";
  write_file(path, bytes);
  return md5sum_of_file(path);
}

// Bytes with every value and no period near a block length.
std::string pseudo_random_bytes(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (size_t k = 0; k < n; ++k) {
    seed = seed * 1664525u + 1013904223u;
    s[k] = static_cast<char>(seed >> 24);
  }
  return s;
}

TEST(Md5, Rfc1321SuiteMatchesPublishedDigestsAndMd5sum) {
  struct Case {
    const char* text;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890"
       "1234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  std::string dir = make_temp_dir("md5-rfc");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(md5_whole(c.text), c.digest);
    EXPECT_EQ(md5sum_of(dir, c.text), c.digest);
  }
}

// 55 bytes leave room for the length in the last block, 56 do not; 65535 is
// the widest single MD5Update, 65536 the first length MD5UpdateWide splits.
TEST(Md5, BlockBoundarySizesMatchMd5sum) {
  std::string dir = make_temp_dir("md5-sizes");
  for (size_t n : {0, 1, 55, 56, 63, 64, 65, 119, 120, 65535, 65536, 200000}) {
    SCOPED_TRACE(n);
    std::string bytes = pseudo_random_bytes(n, static_cast<uint32_t>(n));
    EXPECT_EQ(md5_whole(bytes), md5sum_of(dir, bytes));
  }
}

TEST(Md5, AnySplitOfTheInputGivesTheSameDigest) {
  const std::string bytes = pseudo_random_bytes(200000, 7);
  const std::string whole = md5_whole(bytes);
  std::string dir = make_temp_dir("md5-split");
  ASSERT_EQ(whole, md5sum_of(dir, bytes));

  // Each row is the sequence of piece lengths, repeated until the input ends.
  const std::vector<std::vector<size_t>> splits = {
      {1}, {63}, {64}, {65}, {3, 61, 200}, {65535}, {55, 65535, 9}, {100000, 1, 99999},
  };
  for (const auto& pattern : splits) {
    MD5_CTX ctx;
    MD5Init(&ctx);
    size_t pos = 0;
    for (size_t k = 0; pos < bytes.size(); ++k) {
      size_t piece = std::min(pattern[k % pattern.size()], bytes.size() - pos);
      const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + pos;
      if (piece <= 65535 && (k % 2 == 0))
        MD5Update(&ctx, p, static_cast<uint16_t>(piece));
      else
        MD5UpdateWide(&ctx, p, piece);
      pos += piece;
    }
    // A zero-length update anywhere changes nothing.
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(bytes.data()), 0);
    MD5Final(&ctx);
    EXPECT_EQ(MD5HexDigest(ctx), whole) << "first piece " << pattern[0];
  }
}

// Past 4 GiB the byte count no longer fits 32 bits and the bit count carries
// into its high word; the file is hashed whole from one mapping, as the file
// digest does it. Marks at the start, across the 4 GiB line and at the end
// make the content matter, not only the length.
TEST(Md5, SparseFileOver4GiBMatchesMd5sum) {
  struct Remove {
    std::string dir, path;
    ~Remove() {
      unlink(path.c_str());
      rmdir(dir.c_str());
    }
  } scratch{make_temp_dir("md5-big"), ""};
  scratch.path = scratch.dir + "big.bin";
  const std::string& path = scratch.path;
  const uint64_t size = (uint64_t(1) << 32) + 4099;
  int status = -1;
  run_command("truncate -s " + std::to_string(size) + " '" + path + "'", &status);
  ASSERT_EQ(status, 0);

  int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  const std::string mark = "Nimbrel mark";
  for (uint64_t at : {uint64_t(0), (uint64_t(1) << 32) - 5, size - mark.size()})
    ASSERT_EQ(pwrite(fd, mark.data(), mark.size(), static_cast<off_t>(at)),
              static_cast<ssize_t>(mark.size()));
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  ASSERT_NE(map, MAP_FAILED);
  madvise(map, size, MADV_SEQUENTIAL);

  // md5sum reads the same file meanwhile, to keep the test short.
  std::string reference;
  std::thread peer([&] { reference = md5sum_of_file(path); });
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, static_cast<const unsigned char*>(map), size);
  MD5Final(&ctx);
  munmap(map, size);
  peer.join();

  EXPECT_EQ(reference.size(), 32u);
  EXPECT_EQ(MD5HexDigest(ctx), reference);
}

}  // namespace
