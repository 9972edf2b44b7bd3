// DDS files written by us and read by ImageMagick, written by ImageMagick and
// read by us, the header field by field, the reader's refusals, and the S3TC
// conversions checked against libsquish's own decoder.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] Our files and ImageMagick's
//   [SECTION] The reader's refusals
//   [SECTION] S3TC conversion
//   [SECTION] Failed and refused writes
#include "TEX/dds_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <squish.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "tests/support/test_support.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

// [SECTION] Helpers and the fixture

constexpr int kDxt1 = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
constexpr int kDxt3 = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
constexpr int kDxt5 = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;

unsigned u32(const std::string& b, size_t at) {
  return unsigned((unsigned char)b[at]) | unsigned((unsigned char)b[at + 1]) << 8 |
         unsigned((unsigned char)b[at + 2]) << 16 | unsigned((unsigned char)b[at + 3]) << 24;
}

void put32(std::string& b, size_t at, unsigned v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xff);
}

// A smooth picture (block compression keeps it close), bottom row first.
std::vector<unsigned char> picture(int w, int h, int bpp) {
  std::vector<unsigned char> px(size_t(w) * h * bpp);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &px[(size_t(y) * w + x) * bpp];
      p[0] = (unsigned char)(x * 255 / (w > 1 ? w - 1 : 1));
      p[1] = (unsigned char)(y * 255 / (h > 1 ? h - 1 : 1));
      p[2] = 96;
      if (bpp == 4) p[3] = (unsigned char)(255 - y * 200 / (h > 1 ? h - 1 : 1));
    }
  return px;
}

// The largest channel difference between an RGBA picture (top row first)
// and a bottom-up picture of bpp bytes.
int worst_difference(const unsigned char* top_down, const std::vector<unsigned char>& bottom_up,
                     int w, int h, int bpp) {
  int worst = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* a = top_down + (size_t(y) * w + x) * 4;
      const unsigned char* b = &bottom_up[(size_t(h - 1 - y) * w + x) * bpp];
      for (int c = 0; c < bpp; ++c) worst = std::max(worst, std::abs(a[c] - b[c]));
    }
  return worst;
}

class DdsTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("dds"); }
  std::string dir_;
};

// [SECTION] Our files and ImageMagick's

TEST_F(DdsTest, HeaderFieldsOfWrittenFiles) {
  struct {
    int format, dx, dy;
    const char* fourcc;
    unsigned linear, levels;
    size_t data_bytes;
  } cases[] = {
      // 256x64 down to 1x1: nine levels of 8-byte blocks.
      {GL_RGB, 256, 64, "DXT1", 8192, 9, 8192 + 2048 + 512 + 128 + 32 + 16 + 8 + 8 + 8},
      {GL_RGBA, 1, 1, "DXT5", 16, 1, 16},
      {GL_RGB, 1, 1, "DXT1", 8, 1, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fourcc + std::to_string(c.dx));
    const std::vector<unsigned char> px = picture(c.dx, c.dy, c.format == GL_RGBA ? 4 : 3);
    const std::string path = dir_ + "h.dds";
    ASSERT_EQ(TEX_save_dds(path.c_str(), px.data(), {c.format, c.dx, c.dy, 0, 0}), 1);
    const std::string b = read_file(path);
    ASSERT_EQ(b.size(), 128 + c.data_bytes);
    EXPECT_EQ(b.substr(0, 4), "DDS ");
    const struct {
      size_t at;
      unsigned want;
    } fields[] = {{4, 124},       {8, 0xA1007}, {12, unsigned(c.dy)}, {16, unsigned(c.dx)},
                  {20, c.linear}, {24, 0},      {28, c.levels},       {76, 32},
                  {80, 4},        {88, 0},      {108, 0x401008},      {112, 0}};
    for (const auto& f : fields) EXPECT_EQ(u32(b, f.at), f.want) << "offset " << f.at;
    EXPECT_EQ(b.substr(84, 4), c.fourcc);
    EXPECT_EQ(b.substr(32, 44), std::string(44, '\0'));
  }
}

// Our file read back by our reader and decoded by libsquish; the same file
// read by ImageMagick, both close to the picture saved.
TEST_F(DdsTest, SavedFilesReadBackHereAndInImageMagick) {
  for (int format : {GL_RGB, GL_RGBA}) {
    SCOPED_TRACE(format);
    const int bpp = format == GL_RGBA ? 4 : 3, w = 16, h = 8;
    std::vector<unsigned char> px = picture(w, h, bpp);
    // A padded input row: the writer must step over the padding.
    std::vector<unsigned char> padded;
    for (int y = 0; y < h; ++y) {
      padded.insert(padded.end(), px.begin() + y * w * bpp, px.begin() + (y + 1) * w * bpp);
      padded.insert(padded.end(), 5, 0xEE);
    }
    const std::string path = dir_ + "ours.dds";
    ASSERT_EQ(TEX_save_dds(path.c_str(), padded.data(), {format, w, h, 5, 0}), 1);

    const std::string file = read_file(path);
    const unsigned char* levels = nullptr;
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_dds_mem("ours.dds", reinterpret_cast<const unsigned char*>(file.data()),
                               file.size(), levels, desc),
              1);
    EXPECT_EQ(desc.format, format == GL_RGBA ? kDxt5 : kDxt1);
    EXPECT_EQ(desc.dx, w);
    EXPECT_EQ(desc.dy, h);
    EXPECT_EQ(desc.has_mips, 1);
    EXPECT_EQ(levels, reinterpret_cast<const unsigned char*>(file.data()) + 128);
    std::vector<unsigned char> rgba(size_t(w) * h * 4);
    ASSERT_EQ(TEX_decode_s3tc(desc, {GL_RGBA, w, h, 0, 0}, levels, rgba.data()), 1);
    EXPECT_LE(worst_difference(rgba.data(), px, w, h, bpp), 32);

    // ImageMagick's own DDS decoder, as plain RGBA bytes, top row first.
    int status = 0;
    run_command("convert '" + path + "' -depth 8 'rgba:" + dir_ + "im.rgba' 2>&1", &status);
    ASSERT_EQ(status, 0);
    const std::string im = read_file(dir_ + "im.rgba");
    ASSERT_EQ(im.size(), size_t(w) * h * 4);
    EXPECT_LE(worst_difference(reinterpret_cast<const unsigned char*>(im.data()), px, w, h, bpp),
              32);
  }
}

// ImageMagick's files decoded by us match ImageMagick's own decoding of them
// (its encoder is coarser than ours, so the source is no yardstick).
TEST_F(DdsTest, ImageMagickFilesAreRead) {
  const int w = 16, h = 8;
  const std::vector<unsigned char> px = picture(w, h, 4);
  std::string rgba_file;
  for (int y = h - 1; y >= 0; --y)
    rgba_file.append(reinterpret_cast<const char*>(&px[size_t(y) * w * 4]), size_t(w) * 4);
  write_file(dir_ + "src.rgba", rgba_file);
  struct {
    const char* compression;
    int format, bpp;
  } cases[] = {{"dxt1", kDxt1, 3}, {"dxt5", kDxt5, 4}, {"none", GL_BGRA, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.compression);
    const std::string out = dir_ + c.compression + ".dds";
    int status = 0;
    run_command(std::string("convert -size 16x8 -depth 8 'rgba:") + dir_ + "src.rgba' " +
                    (c.bpp == 3 ? "-alpha off " : "") + "-define dds:compression=" + c.compression +
                    " '" + out + "' && convert '" + out + "' -depth 8 'rgba:" + dir_ +
                    "back.rgba' 2>&1",
                &status);
    ASSERT_EQ(status, 0);
    const std::string file = read_file(out), back = read_file(dir_ + "back.rgba");
    ASSERT_EQ(back.size(), size_t(w) * h * 4);
    const unsigned char* levels = nullptr;
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_dds_mem(out.c_str(), reinterpret_cast<const unsigned char*>(file.data()),
                               file.size(), levels, desc),
              1);
    EXPECT_EQ(desc.format, c.format);
    EXPECT_EQ(desc.has_mips, 1);  // ImageMagick writes the whole chain
    std::vector<unsigned char> rgba(size_t(w) * h * 4);
    if (c.format == GL_BGRA) {
      for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = levels[i + 2];
        rgba[i + 1] = levels[i + 1];
        rgba[i + 2] = levels[i];
        rgba[i + 3] = levels[i + 3];
      }
    } else {
      ASSERT_EQ(TEX_decode_s3tc(desc, {GL_RGBA, w, h, 0, 0}, levels, rgba.data()), 1);
    }
    int worst = 0;
    for (size_t i = 0; i < rgba.size(); ++i)
      if (c.bpp == 4 || i % 4 != 3)
        worst = std::max(worst, std::abs(rgba[i] - (unsigned char)back[i]));
    EXPECT_LE(worst, 2);
  }
}

// [SECTION] The reader's refusals

// A valid 8x8 DXT5 file with its chain, to be broken one field at a time.
std::string dxt5_file(int w = 8, int h = 8) {
  std::string b(128, '\0');
  b.replace(0, 4, "DDS ");
  put32(b, 4, 124);
  put32(b, 8, 0xA1007);
  put32(b, 12, unsigned(h));
  put32(b, 16, unsigned(w));
  int levels = 1;
  for (int x = w, y = h; x > 1 || y > 1; x = x > 1 ? x / 2 : 1, y = y > 1 ? y / 2 : 1) ++levels;
  put32(b, 28, unsigned(levels));
  put32(b, 80, 4);
  b.replace(84, 4, "DXT5");
  put32(b, 108, 0x401008);
  b += std::string(TEX_bytes_needed_for_image({kDxt5, w, h, 0, 1}), '\x55');
  return b;
}

// The same with an uncompressed layout: bits per pixel and the masks.
std::string rgb_file(unsigned flags, unsigned bits, unsigned alpha_mask, int bpp) {
  std::string b = dxt5_file().substr(0, 128);
  put32(b, 80, flags);
  b.replace(84, 4, std::string(4, '\0'));
  put32(b, 88, bits);
  put32(b, 92, 0xff0000);
  put32(b, 96, 0xff00);
  put32(b, 100, 0xff);
  put32(b, 104, alpha_mask);
  return b + std::string((64 + 16 + 4 + 1) * size_t(bpp), '\x11');
}

TEST(DdsRead, FormatsAndRefusals) {
  std::string no_caps_mip = dxt5_file();
  put32(no_caps_mip, 108, 0x1008);
  std::string fourcc = dxt5_file();
  fourcc.replace(84, 4, "ATI2");
  std::string dxt3 = dxt5_file();
  dxt3.replace(84, 4, "DXT3");
  std::string short_chain = dxt5_file();
  put32(short_chain, 28, 3);
  std::string long_chain = dxt5_file();
  put32(long_chain, 28, 5);
  std::string bad_mask = rgb_file(0x40, 24, 0, 3);
  put32(bad_mask, 92, 0xff);
  std::string both = rgb_file(0x41 | 0x4, 32, 0xff000000u, 4);
  both.replace(84, 4, "DXT1");
  const std::string good = dxt5_file();
  struct {
    const char* what;
    std::string file;
    int ok, format, has_mips;
  } cases[] = {
      {"dxt5 with chain", good, 1, kDxt5, 1},
      {"dxt3", dxt3, 1, kDxt3, 1},
      {"mip count without the caps bit", no_caps_mip, 1, kDxt5, 0},
      {"24-bit BGR", rgb_file(0x40, 24, 0, 3), 1, GL_BGR, 1},
      {"32-bit BGRA", rgb_file(0x41, 32, 0xff000000u, 4), 1, GL_BGRA, 1},
      {"RGB flag wins over FourCC", both, 1, GL_BGRA, 1},
      {"32-bit without alpha is no BGR", rgb_file(0x40, 32, 0, 4), 0, 0, 0},
      {"24-bit claiming alpha", rgb_file(0x41, 24, 0xff000000u, 3), 0, 0, 0},
      {"odd channel masks", bad_mask, 0, 0, 0},
      {"unknown FourCC", fourcc, 0, 0, 0},
      {"neither flag", rgb_file(0, 24, 0, 3), 0, 0, 0},
      {"chain shorter than the full one", short_chain, 0, 0, 0},
      {"chain longer than the full one", long_chain, 0, 0, 0},
      {"data one byte short", good.substr(0, good.size() - 1), 0, 0, 0},
      {"header only", good.substr(0, 128), 0, 0, 0},
      {"shorter than a header", good.substr(0, 127), 0, 0, 0},
      {"bad magic", "XDS " + good.substr(4), 0, 0, 0},
      {"a level 6 rows high", dxt5_file(8, 6), 0, 0, 0},
      {"a chain through a level 6 rows high", dxt5_file(8, 12), 0, 0, 0},
      {"a width that is no multiple of 4", dxt5_file(12, 8), 1, kDxt5, 1},
      {"a single short block row", dxt5_file(8, 2), 1, kDxt5, 1},
      {"wider than 2048", dxt5_file(4096, 4), 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const unsigned char* levels = nullptr;
    TEX_image_desc desc;
    const int ok = TEX_load_dds_mem("t.dds", reinterpret_cast<const unsigned char*>(c.file.data()),
                                    c.file.size(), levels, desc);
    EXPECT_EQ(ok, c.ok);
    if (ok) {
      EXPECT_EQ(desc.format, c.format);
      EXPECT_EQ(desc.has_mips, c.has_mips);
      EXPECT_EQ(desc.row_pad, 0);
    } else {
      EXPECT_EQ(levels, nullptr);
    }
  }
}

// [SECTION] S3TC conversion

TEST(DdsS3tc, EncodeTakesFourBytePixelsAndTheirRowPitch) {
  const int w = 8, h = 4;
  std::vector<unsigned char> rgba = picture(w, h, 4);
  std::vector<unsigned char> want(TEX_bytes_needed_for_image({kDxt5, w, h, 0, 0}));
  squish::CompressImage(rgba.data(), w, h, want.data(), squish::kDxt5 | squish::kColourClusterFit);

  // The same pixels in rows padded by 12 bytes, and in BGRA order.
  std::vector<unsigned char> padded, bgra(rgba);
  for (int y = 0; y < h; ++y) {
    padded.insert(padded.end(), rgba.begin() + y * w * 4, rgba.begin() + (y + 1) * w * 4);
    padded.insert(padded.end(), 12, 0x99);
  }
  for (size_t i = 0; i < bgra.size(); i += 4) std::swap(bgra[i], bgra[i + 2]);
  std::vector<unsigned char> got(want.size());
  ASSERT_EQ(TEX_encode_s3tc({GL_RGBA, w, h, 12, 0}, {kDxt5, w, h, 0, 0}, padded.data(), got.data(),
                            s3tc_cluster_fit),
            1);
  EXPECT_EQ(got, want);
  std::fill(got.begin(), got.end(), 0);
  ASSERT_EQ(TEX_encode_s3tc({GL_BGRA, w, h, 0, 0}, {kDxt5, w, h, 0, 0}, bgra.data(), got.data(),
                            s3tc_cluster_fit),
            1);
  EXPECT_EQ(got, want);

  // Three-byte pixels would be read as four: refused, nothing written.
  std::fill(got.begin(), got.end(), 0);
  EXPECT_EQ(TEX_encode_s3tc({GL_RGB, w, h, 0, 0}, {kDxt1, w, h, 0, 0}, rgba.data(), got.data(), 2),
            0);
  EXPECT_EQ(got, std::vector<unsigned char>(want.size(), 0));
  EXPECT_EQ(TEX_decode_s3tc({GL_RGBA, w, h, 0, 0}, {GL_RGBA, w, h, 0, 0}, want.data(), got.data()),
            0);
}

// [SECTION] Failed and refused writes

TEST_F(DdsTest, FailedWritesLeaveNoFile) {
  const std::vector<unsigned char> px = picture(64, 64, 4);
  const std::string path = dir_ + "f.dds";
  EXPECT_EQ(TEX_save_dds(path.c_str(), px.data(), {GL_RGBA, 0, 4, 0, 0}), 0);
  EXPECT_EQ(TEX_save_dds(path.c_str(), px.data(), {GL_RGBA, 4, -1, 0, 0}), 0);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
  EXPECT_EQ(TEX_save_dds((dir_ + "no/such/folder.dds").c_str(), px.data(), {GL_RGBA, 4, 4, 0, 0}),
            0);
  // A file-size limit makes the writes fail part-way (after the header).
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto save_past_the_limit = [&] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const TEX_image_desc big{GL_RGBA, 64, 64, 0, 0};
    const int r = TEX_save_dds(path.c_str(), px.data(), big);
    _exit(r == 0 && access(path.c_str(), F_OK) == -1 ? 0 : 3);
  };
  EXPECT_EXIT(save_past_the_limit(), testing::ExitedWithCode(0), "");
}

TEST(DdsDeathTest, SavingAnotherFormatIsFatal) {
  unsigned char px[4] = {};
  EXPECT_EXIT(TEX_save_dds("x.dds", px, {GL_ALPHA, 2, 2, 0, 0}), testing::ExitedWithCode(1),
              "in_desc.format == GL_RGBA \\|\\| in_desc.format == GL_RGB");
}

}  // namespace
