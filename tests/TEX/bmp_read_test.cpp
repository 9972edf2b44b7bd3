// BMP reader: ImageMagick-made 24-bit files with padded rows, the three
// output formats, padding, and the header values a hostile file can carry.
#include "TEX/bmp_read.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

// 3 x 2, top row first as in a PPM: red, green, blue / magenta, (10,20,30), (254,0,255).
const unsigned char kTop[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
const unsigned char kBottom[3][3] = {{255, 0, 255}, {10, 20, 30}, {254, 0, 255}};

std::string make_bmp(const std::string& dir) {
  std::string ppm = "P6\n3 2\n255\n";
  for (auto& p : kTop) ppm.append(reinterpret_cast<const char*>(p), 3);
  for (auto& p : kBottom) ppm.append(reinterpret_cast<const char*>(p), 3);
  write_file(dir + "in.ppm", ppm);
  int status = -1;
  run_command("convert '" + dir + "in.ppm' BMP3:'" + dir + "a.bmp' 2>&1", &status);
  EXPECT_EQ(status, 0);
  return read_file(dir + "a.bmp");
}

int load(const std::string& file, std::vector<unsigned char>& out, TEX_image_desc& desc, int format,
         int pad_pow2 = 0, size_t capacity = TEX_max_image_bytes) {
  unsigned char* data = nullptr;
  int ok = TEX_load_bmp_mem("t.bmp", reinterpret_cast<const unsigned char*>(file.data()),
                            file.size(), data, capacity, format, 0, pad_pow2, desc);
  if (ok) {
    const size_t rows = pad_pow2 ? (desc.dy > 1 ? 2 : 1) : size_t(desc.dy);
    out.assign(data, data + rows * (size_t(desc.dx) * TEX_bytes_per_pixel(format) + desc.row_pad));
    ::operator delete(data);
  }
  return ok;
}

void put32(std::string& s, size_t at, unsigned v) {
  for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 255);
}

}  // namespace

TEST(BmpRead, ConvertsImageMagickFileInEveryFormat) {
  const std::string file = make_bmp(make_temp_dir("bmp-im"));
  ASSERT_EQ(file.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
  std::vector<unsigned char> px;
  TEX_image_desc desc;

  ASSERT_EQ(load(file, px, desc, GL_RGB), 1);
  EXPECT_EQ(desc.dx, 3);
  EXPECT_EQ(desc.dy, 2);
  EXPECT_EQ(desc.row_pad, 0);
  std::vector<unsigned char> want;
  for (auto& p : kBottom) want.insert(want.end(), p, p + 3);  // bottom row first, as stored
  for (auto& p : kTop) want.insert(want.end(), p, p + 3);
  EXPECT_EQ(px, want);

  ASSERT_EQ(load(file, px, desc, GL_RGBA), 1);
  const std::vector<unsigned char> rgba_bottom = {0, 0, 0, 0, 10, 20, 30, 255, 254, 0, 255, 255};
  EXPECT_EQ(std::vector<unsigned char>(px.begin(), px.begin() + 12), rgba_bottom);
  EXPECT_EQ(px[12 + 3], 255);

  ASSERT_EQ(load(file, px, desc, GL_ALPHA), 1);
  EXPECT_EQ(px, (std::vector<unsigned char>{170, 20, 169, 85, 85, 85}));

  ASSERT_EQ(load(file, px, desc, GL_RGB, 1), 1);
  EXPECT_EQ(desc.row_pad, 3);
  ASSERT_EQ(px.size(), 24u);
  EXPECT_EQ(std::vector<unsigned char>(px.begin(), px.begin() + 9),
            std::vector<unsigned char>(want.begin(), want.begin() + 9));
  EXPECT_EQ(std::vector<unsigned char>(px.begin() + 9, px.begin() + 12),
            std::vector<unsigned char>(3, 0));
  EXPECT_EQ(std::vector<unsigned char>(px.begin() + 21, px.end()),
            std::vector<unsigned char>(3, 0));
}

TEST(BmpRead, RefusesHostileHeadersBeforeWriting) {
  const std::string good = make_bmp(make_temp_dir("bmp-hostile"));
  struct Case {
    const char* what;
    size_t field;
    unsigned value;
    size_t capacity;
    int ok;
  } cases[] = {
      {"negative width", 18, 0xFFFFFFFDu, TEX_max_image_bytes, 0},
      {"negative height", 22, 0x80000000u, TEX_max_image_bytes, 0},
      {"huge width, rows past the end", 18, 0x7FFFFFFFu, TEX_max_image_bytes, 0},
      {"huge height", 22, 0x40000000u, TEX_max_image_bytes, 0},
      {"pixel offset past the end", 10, 0x10000u, TEX_max_image_bytes, 0},
      {"last row past the end", 10, 55u, TEX_max_image_bytes, 0},
      {"capacity one short", 0, 0, 17, 0},
      {"capacity exact", 0, 0, 18, 1},
      {"empty image", 18, 0, 0, 1},
  };
  for (const Case& c : cases) {
    std::string file = good;
    if (c.field) put32(file, c.field, c.value);
    std::vector<unsigned char> buf(32, 0xAB);
    unsigned char* data = buf.data();
    TEX_image_desc desc;
    int ok = TEX_load_bmp_mem("t.bmp", reinterpret_cast<const unsigned char*>(file.data()),
                              file.size(), data, c.capacity, GL_RGB, 0, 0, desc);
    EXPECT_EQ(ok, c.ok) << c.what;
    for (size_t i = c.ok ? c.capacity : 0; i < buf.size(); ++i)
      ASSERT_EQ(buf[i], 0xAB) << c.what << " byte " << i;
  }
}

TEST(BmpRead, NoColumnsAndHugeRowCountReturnsAtOnce) {
  // Found by the fuzzer: a zero width passed every size test and then walked
  // two billion empty rows.
  std::string file = make_bmp(make_temp_dir("bmp-empty"));
  put32(file, 18, 0);
  put32(file, 22, 0x7FFFFFFFu);
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  EXPECT_EQ(TEX_load_bmp_mem("t.bmp", reinterpret_cast<const unsigned char*>(file.data()),
                             file.size(), data, TEX_max_image_bytes, GL_RGB, 0, 0, desc),
            1);
  EXPECT_EQ(desc.dy, 0x7FFFFFFF);
  ::operator delete(data);
}

TEST(BmpReadDeathTest, UnsupportedFilesAreFatal) {
  const std::string good = make_bmp(make_temp_dir("bmp-fatal"));
  auto load_with = [&](size_t at, unsigned value, int format) {
    std::string file = good;
    if (at == 28)
      file[28] = char(value);
    else if (at)
      put32(file, at, value);
    unsigned char* data = nullptr;
    TEX_image_desc desc;
    TEX_load_bmp_mem("t.bmp", reinterpret_cast<const unsigned char*>(file.data()), file.size(),
                     data, TEX_max_image_bytes, format, 0, 0, desc);
  };
  EXPECT_EXIT(load_with(28, 8, GL_RGB), testing::ExitedWithCode(1), "Wrong bitmap color depth");
  EXPECT_EXIT(load_with(30, 1, GL_RGB), testing::ExitedWithCode(1), "Bitmap is compressed!");
  EXPECT_EXIT(load_with(0, 0, GL_BGR), testing::ExitedWithCode(1),
              "Illegal desired format for bmp.");
  // A header cut short reads its missing fields as 0: a depth of 0 is refused.
  auto load_short = [&] {
    unsigned char* data = nullptr;
    TEX_image_desc desc;
    TEX_load_bmp_mem("t.bmp", reinterpret_cast<const unsigned char*>(good.data()), 20, data,
                     TEX_max_image_bytes, GL_RGB, 0, 0, desc);
  };
  EXPECT_EXIT(load_short(), testing::ExitedWithCode(1), "Wrong bitmap color depth");
}
