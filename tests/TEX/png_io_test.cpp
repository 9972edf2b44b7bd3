// PNG reader and writer: exact round trips, files made by ImageMagick in
// every colour type the reader expands, padding, and hostile inputs.
//
// Contents
//   [SECTION] Helpers
//   [SECTION] Saving
//   [SECTION] Files made by ImageMagick
//   [SECTION] Padding
//   [SECTION] Hostile and broken files
#include "TEX/png_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// [SECTION] Helpers

struct Decoded {
  int ok = 0;
  TEX_image_desc desc;
  std::vector<unsigned char> pixels;
};

Decoded decode(const std::string& bytes, int format, int pad_pow2 = 0, int follow_alpha = 0,
               int pad_width = 0) {
  Decoded d;
  unsigned char* data = nullptr;
  d.ok = TEX_load_png_mem("test.png", reinterpret_cast<const unsigned char*>(bytes.data()),
                          bytes.size(), data, TEX_max_image_bytes, format, pad_width, pad_pow2,
                          follow_alpha, d.desc);
  if (d.ok) {
    size_t rows = pad_pow2 ? 1 : size_t(d.desc.dy);
    if (pad_pow2)
      while (rows < size_t(d.desc.dy)) rows <<= 1;
    d.pixels.assign(data, data + rows * (size_t(d.desc.dx) * TEX_bytes_per_pixel(d.desc.format) +
                                         d.desc.row_pad));
    ::operator delete(data);
  }
  return d;
}

// The test picture, top-down as image files store it.
unsigned char sample(int x, int y, int c) {
  const int v[3] = {x * 7 + y * 3, x * 5 + y * 11 + 40, (x ^ y) * 9};
  return (unsigned char)(v[c] & 255);
}

std::string write_ppm(const std::string& path, int w, int h, bool grey) {
  std::string s =
      std::string(grey ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < (grey ? 1 : 3); ++c) s += char(sample(x, y, c));
  write_file(path, s);
  return path;
}

// Colour type, bit depth and interlace of a PNG, to check that the fixture
// is what the test claims it is.
std::string ihdr(const std::string& png) {
  if (png.size() < 29) return "short";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(png.data()) + 16;
  return "ct" + std::to_string(p[9]) + " bd" + std::to_string(p[8]) + " il" + std::to_string(p[12]);
}

std::string convert(const std::string& dir, const std::string& input, const std::string& options,
                    const std::string& name) {
  // A trailing "FORMAT:" names the output format and prefixes the file name.
  std::string flags = options, prefix;
  const size_t cut = options.find_last_of(' ');
  const std::string last = cut == std::string::npos ? options : options.substr(cut + 1);
  if (!last.empty() && last.back() == ':') {
    prefix = last;
    flags = cut == std::string::npos ? "" : options.substr(0, cut);
  }
  int status = -1;
  std::string out = dir + name;
  run_command("convert '" + input + "' -strip " + flags + " " + prefix + "'" + out + "' 2>&1",
              &status);
  EXPECT_EQ(status, 0) << options;
  return read_file(out);
}

}  // namespace

// [SECTION] Saving

TEST(PngIo, SaveThenLoadIsExact) {
  const std::string dir = make_temp_dir("png-round");
  struct Case {
    int format, dx, dy, row_pad;
  } cases[] = {{GL_RGBA, 13, 7, 0}, {GL_RGB, 5, 9, 3}, {GL_ALPHA, 17, 4, 2}, {GL_RGBA, 1, 1, 0}};
  for (const Case& c : cases) {
    TEX_image_desc desc;
    desc.format = c.format;
    desc.dx = c.dx;
    desc.dy = c.dy;
    desc.row_pad = c.row_pad;
    const int bpp = TEX_bytes_per_pixel(c.format);
    const size_t row = size_t(c.dx) * bpp + c.row_pad;
    std::vector<unsigned char> px(row * c.dy);
    for (size_t i = 0; i < px.size(); ++i) px[i] = (unsigned char)(i * 37 + 11);
    const std::string path = dir + "r" + std::to_string(c.format) + ".png";
    ASSERT_EQ(TEX_save_png(path.c_str(), desc, px.data()), 1);
    const std::string file = read_file(path);
    EXPECT_EQ(ihdr(file), c.format == GL_RGBA  ? "ct6 bd8 il0"
                          : c.format == GL_RGB ? "ct2 bd8 il0"
                                               : "ct0 bd8 il0");
    Decoded d = decode(file, c.format);
    ASSERT_EQ(d.ok, 1);
    EXPECT_EQ(d.desc.dx, c.dx);
    EXPECT_EQ(d.desc.dy, c.dy);
    EXPECT_EQ(d.desc.row_pad, 0);
    for (int y = 0; y < c.dy; ++y)
      ASSERT_EQ(0, memcmp(d.pixels.data() + size_t(y) * c.dx * bpp, px.data() + y * row,
                          size_t(c.dx) * bpp))
          << "format " << c.format << " row " << y;
  }
  // The saved file is upright: ImageMagick sees the buffer's last row at the top.
  TEX_image_desc desc{GL_RGB, 2, 2, 0, 0};
  const unsigned char px[] = {1, 2, 3, 4, 5, 6, 200, 201, 202, 7, 8, 9};
  ASSERT_EQ(TEX_save_png((dir + "up.png").c_str(), desc, px), 1);
  EXPECT_EQ(run_command("convert '" + dir + "up.png' -format '%[pixel:p{0,0}]' info:"),
            "srgb(200,201,202)");
}

// The last bytes of a small file reach the disk only when it is closed: a
// disk that refuses them (here a size limit, as a full disk would) makes the
// save fail and leaves no cut file behind. A FIFO in the file's place is
// refused at once rather than waited on.
TEST(PngIo, SaveThatCannotBeWrittenWholeFailsAndLeavesNoFile) {
  const std::string dir = make_temp_dir("png-full");
  TEX_image_desc desc{GL_RGBA, 4, 4, 0, 0};
  std::vector<unsigned char> px(4 * 4 * 4);
  for (size_t i = 0; i < px.size(); ++i) px[i] = (unsigned char)(i * 97 + 5);
  ASSERT_EQ(TEX_save_png((dir + "whole.png").c_str(), desc, px.data()), 1);
  ASSERT_GT(read_file(dir + "whole.png").size(), 40u);

  signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit, small;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  small = {40, old_limit.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int saved = TEX_save_png((dir + "cut.png").c_str(), desc, px.data());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_EQ(saved, 0);
  EXPECT_NE(access((dir + "cut.png").c_str(), F_OK), 0);

  ASSERT_EQ(mkfifo((dir + "fifo.png").c_str(), 0644), 0);
  alarm(30);  // a save that waits for a reader fails the test instead of hanging it
  EXPECT_EQ(TEX_save_png((dir + "fifo.png").c_str(), desc, px.data()), 0);
  alarm(0);
}

// [SECTION] Files made by ImageMagick

TEST(PngIo, ReadsImageMagickFilesOfEveryColourType) {
  const std::string dir = make_temp_dir("png-im");
  const int w = 37, h = 23;
  const std::string rgb = write_ppm(dir + "in.ppm", w, h, false);
  const std::string grey = write_ppm(dir + "in.pgm", w, h, true);
  struct Case {
    const char* name;
    std::string input;
    const char* options;
    const char* header;
    bool grey_src;
  } cases[] = {
      {"rgb8.png", rgb, "PNG24:", "ct2 bd8 il0", false},
      {"rgb16.png", rgb, "PNG48:", "ct2 bd16 il0", false},
      {"rgba8.png", rgb, "-alpha set PNG32:", "ct6 bd8 il0", false},
      {"interlaced.png", rgb, "-interlace PNG PNG24:", "ct2 bd8 il1", false},
      {"grey8.png", grey, "-define png:color-type=0 -define png:bit-depth=8", "ct0 bd8 il0", true},
      {"grey16.png", grey, "-define png:color-type=0 -define png:bit-depth=16", "ct0 bd16 il0",
       true},
  };
  for (const Case& c : cases) {
    const std::string file = convert(dir, c.input, c.options, c.name);
    ASSERT_EQ(ihdr(file), c.header) << c.name;
    for (int format : {GL_RGB, GL_RGBA, GL_ALPHA}) {
      Decoded d = decode(file, format);
      ASSERT_EQ(d.ok, 1) << c.name;
      const int bpp = TEX_bytes_per_pixel(format);
      ASSERT_EQ(d.pixels.size(), size_t(w) * h * bpp) << c.name;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const unsigned char* p = d.pixels.data() + (size_t(h - 1 - y) * w + x) * bpp;
          if (format == GL_ALPHA) {
            // Grey files keep their values; colour files become a grey
            // between their darkest and brightest channel (libpng weighs
            // the channels in linear light).
            if (c.grey_src) {
              ASSERT_EQ(p[0], sample(x, y, 0)) << c.name << " at " << x << "," << y;
            } else {
              const int lo = std::min({sample(x, y, 0), sample(x, y, 1), sample(x, y, 2)});
              const int hi = std::max({sample(x, y, 0), sample(x, y, 1), sample(x, y, 2)});
              ASSERT_GE(p[0], lo) << c.name << " at " << x << "," << y;
              ASSERT_LE(p[0], hi) << c.name << " at " << x << "," << y;
            }
            continue;
          }
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(p[k], c.grey_src ? sample(x, y, 0) : sample(x, y, k))
                << c.name << " at " << x << "," << y;
          if (format == GL_RGBA) {
            ASSERT_EQ(p[3], 255) << c.name;
          }
        }
    }
  }
}

TEST(PngIo, PaletteWithTransparencyKeepsItsBytesPerPixel) {
  const std::string dir = make_temp_dir("png-pal");
  // 6 x 4 with magenta in column 2: magenta becomes the transparent entry.
  std::string ppm = "P6\n6 4\n255\n";
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      if (x == 2)
        ppm += std::string("\xff\x00\xff", 3);
      else
        ppm += std::string{char(x * 40), char(y * 60), char(100)};
    }
  write_file(dir + "in.ppm", ppm);
  const std::string file = convert(dir, dir + "in.ppm", "-transparent '#ff00ff' PNG8:", "pal.png");
  ASSERT_EQ(ihdr(file), "ct3 bd8 il0");
  ASSERT_NE(file.find("tRNS"), std::string::npos);

  Decoded rgba = decode(file, GL_RGBA);
  ASSERT_EQ(rgba.ok, 1);
  ASSERT_EQ(rgba.pixels.size(), 6u * 4 * 4);
  Decoded rgb = decode(file, GL_RGB);
  ASSERT_EQ(rgb.ok, 1);
  ASSERT_EQ(rgb.pixels.size(), 6u * 4 * 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const unsigned char* a = rgba.pixels.data() + ((3 - y) * 6 + x) * 4;
      const unsigned char* b = rgb.pixels.data() + ((3 - y) * 6 + x) * 3;
      EXPECT_EQ(a[3], x == 2 ? 0 : 255) << x << "," << y;
      if (x != 2) {
        EXPECT_EQ(a[0], x * 40);
        EXPECT_EQ(b[0], x * 40);
        EXPECT_EQ(b[1], y * 60);
        EXPECT_EQ(b[2], 100);
      }
    }
  // With follow_alpha the tRNS chunk is the file's alpha, asked for RGB or RGBA.
  for (int asked : {GL_RGB, GL_RGBA}) {
    Decoded followed = decode(file, asked, 0, 1);
    EXPECT_EQ(followed.desc.format, GL_RGBA) << asked;
    ASSERT_EQ(followed.pixels.size(), 6u * 4 * 4) << asked;
    EXPECT_EQ(followed.pixels[2 * 4 + 3], 0) << "the transparent column keeps its alpha";
    EXPECT_EQ(followed.pixels[1 * 4 + 3], 255);
  }
  // Without tRNS a palette file follows to RGB.
  Decoded opaque = decode(convert(dir, dir + "in.ppm", "PNG8:", "opaque.png"), GL_RGBA, 0, 1);
  EXPECT_EQ(opaque.desc.format, GL_RGB);
  Decoded rgba_file =
      decode(convert(dir, dir + "in.ppm", "-alpha set PNG32:", "a.png"), GL_RGB, 0, 1);
  EXPECT_EQ(rgba_file.desc.format, GL_RGBA);
}

// [SECTION] Padding

TEST(PngIo, PowerOfTwoPaddingClearsAndFlips) {
  const std::string dir = make_temp_dir("png-pad");
  const std::string file = convert(dir, write_ppm(dir + "in.ppm", 5, 3, false), "PNG24:", "p.png");
  Decoded d = decode(file, GL_RGB, 1);
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.desc.dx, 5);
  EXPECT_EQ(d.desc.dy, 3);
  EXPECT_EQ(d.desc.row_pad, 9);
  ASSERT_EQ(d.pixels.size(), 8u * 4 * 3);
  for (int row = 0; row < 4; ++row)
    for (int x = 0; x < 8; ++x)
      for (int k = 0; k < 3; ++k) {
        const unsigned char want = (row < 3 && x < 5) ? sample(x, 2 - row, k) : 0;
        ASSERT_EQ(d.pixels[(row * 8 + x) * 3 + k], want) << "row " << row << " x " << x;
      }
  // pad_width alone pads rows but not the row count.
  Decoded w = decode(file, GL_RGBA, 0, 0, 7);
  EXPECT_EQ(w.desc.row_pad, 8);
  EXPECT_EQ(w.pixels.size(), size_t(7 * 4) * 3);
}

// [SECTION] Hostile and broken files

TEST(PngIo, RefusesWhatWouldNotFitBeforeWriting) {
  const std::string dir = make_temp_dir("png-cap");
  int status = -1;
  run_command("convert -size 4096x1 xc:red -strip PNG24:'" + dir + "wide.png'", &status);
  ASSERT_EQ(status, 0);
  const std::string wide = read_file(dir + "wide.png");
  const std::string small = convert(dir, write_ppm(dir + "in.ppm", 5, 3, false), "PNG24:", "s.png");

  std::vector<unsigned char> buf(64, 0xAB);
  struct Case {
    const std::string* file;
    size_t capacity;
    int pad_pow2;
    int ok;
  } cases[] = {
      {&wide, TEX_max_image_bytes, 0, 0},  // over 2048 pixels a side
      {&small, 44, 0, 0},                  // 5 x 3 x 3 = 45 bytes needed
      {&small, 45, 0, 1},
      {&small, 64, 1, 0},  // padded to 8 x 4 x 3 = 96
  };
  for (const Case& c : cases) {
    std::fill(buf.begin(), buf.end(), 0xAB);
    unsigned char* data = buf.data();
    TEX_image_desc desc;
    int ok = TEX_load_png_mem("t.png", reinterpret_cast<const unsigned char*>(c.file->data()),
                              c.file->size(), data, c.capacity, GL_RGB, 0, c.pad_pow2, 0, desc);
    EXPECT_EQ(ok, c.ok) << c.capacity;
    EXPECT_EQ(data, buf.data());
    for (size_t i = c.ok ? 45 : 0; i < buf.size(); ++i) ASSERT_EQ(buf[i], 0xAB) << "byte " << i;
  }
  // A null buffer is allocated only up to the capacity.
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  EXPECT_EQ(TEX_load_png_mem("t.png", reinterpret_cast<const unsigned char*>(small.data()),
                             small.size(), data, 10, GL_RGB, 0, 0, 0, desc),
            0);
  EXPECT_EQ(data, nullptr);
}

TEST(PngIo, ShortFileIsQuietlyRefused) {
  unsigned char* data = nullptr;
  TEX_image_desc desc;
  const unsigned char sig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a};
  EXPECT_EQ(
      TEX_load_png_mem("s.png", sig, sizeof sig, data, TEX_max_image_bytes, GL_RGB, 0, 0, 0, desc),
      0);
  EXPECT_EQ(TEX_load_png_mem("s.png", nullptr, 0, data, TEX_max_image_bytes, GL_RGB, 0, 0, 0, desc),
            0);
}

// The same files, read for scenery, fail without an alert.
TEST(PngIo, BadFilesFailWhenAskedTo) {
  const std::string dir = make_temp_dir("png-bad-fails");
  const std::string good =
      convert(dir, write_ppm(dir + "in.ppm", 37, 23, false), "PNG24:", "g.png");
  std::string crc = good;
  crc[crc.find("IDAT") + 6] ^= 0x55;
  for (const std::string& bytes :
       {std::string("GIF89a-not-a-png"), good.substr(0, good.size() / 2), crc}) {
    unsigned char* data = nullptr;
    TEX_image_desc desc;
    EXPECT_EQ(TEX_load_png_mem("bad.png", reinterpret_cast<const unsigned char*>(bytes.data()),
                               bytes.size(), data, TEX_max_image_bytes, GL_RGB, 0, 0, 0, desc,
                               TEX_bad_file_fails),
              0)
        << bytes.size();
    EXPECT_EQ(data, nullptr);
  }
}

TEST(PngIoDeathTest, BadFilesAreFatal) {
  const std::string dir = make_temp_dir("png-bad");
  const std::string good =
      convert(dir, write_ppm(dir + "in.ppm", 37, 23, false), "PNG24:", "g.png");
  auto load = [](const std::string& bytes, int format) {
    unsigned char* data = nullptr;
    TEX_image_desc desc;
    TEX_load_png_mem("bad.png", reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                     data, TEX_max_image_bytes, format, 0, 0, 0, desc);
  };
  EXPECT_EXIT(load("GIF89a-not-a-png", GL_RGB), testing::ExitedWithCode(1), "PING-FILE ERROR!");
  EXPECT_EXIT(load(good.substr(0, good.size() / 2), GL_RGB), testing::ExitedWithCode(1),
              "overran end of buffer");
  EXPECT_EXIT(load(good, GL_BGRA), testing::ExitedWithCode(1), "Illegal bits per pixel");
  TEX_image_desc desc{GL_BGR, 1, 1, 0, 0};
  const unsigned char px[3] = {};
  EXPECT_EXIT(TEX_save_png((dir + "x.png").c_str(), desc, px), testing::ExitedWithCode(1),
              "Illegal pixel format for png-write.");
  TEX_image_desc ok{GL_RGB, 1, 1, 0, 0};
  EXPECT_EQ(TEX_save_png((dir + "missing/x.png").c_str(), ok, px), 0);
}
