// Loading an image by content and by name variants, on files made with
// ImageMagick.
#include "TEX/load_any.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

struct Loaded {
  int ok = 0;
  TEX_image_desc desc;
  std::string bytes;
};

Loaded load_ext(const std::string& path, int format, size_t capacity = TEX_max_image_bytes) {
  Loaded l;
  unsigned char* data = nullptr;
  l.ok = TEX_load_any_ext(path.c_str(), data, capacity, format, 0, 0, l.desc);
  if (l.ok) {
    l.bytes.assign(reinterpret_cast<char*>(data),
                   size_t(l.desc.dx) * TEX_bytes_per_pixel(l.desc.format) * l.desc.dy);
    ::operator delete(data);
  } else {
    EXPECT_EQ(data, nullptr);
  }
  return l;
}

class LoadAny : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir("load-any"); }
  // A grey picture, top row first as files store it, converted by
  // ImageMagick to the named file (a prefix such as "BMP3:" picks the kind).
  void make(const std::string& name, int w, int h, const std::string& format = "") {
    std::string pgm = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pgm += char(10 * y + x + 1);
    write_file(dir_ + "src.pgm", pgm);
    int status = 0;
    run_command("convert '" + dir_ + "src.pgm' " + format + "'" + dir_ + name + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << name;
  }
  // Files that are no image of a kind read here, or are damaged: a text, a GIF,
  // a PNG cut short or with a broken chunk, a palette bitmap, a compressed one.
  // Made beside a good "good.png" of 6 x 4 pixels.
  void make_bad_images() {
    make("good.png", 6, 4, "PNG24:");
    make("gif.png", 6, 4, "GIF:");
    make("palette.bmp", 6, 4, "-type palette BMP3:");
    make("rgb.bmp", 6, 4, "BMP3:");
    const std::string good = read_file(dir_ + "good.png");
    write_file(dir_ + "text.png", "this is no picture at all");
    write_file(dir_ + "cut.png", good.substr(0, good.size() / 2));
    std::string broken = good;
    broken[broken.find("IDAT") + 6] ^= 0x55;
    write_file(dir_ + "crc.png", broken);
    std::string compressed = read_file(dir_ + "rgb.bmp");
    compressed[30] = 1;
    write_file(dir_ + "compressed.bmp", compressed);
  }
  std::string dir_;
};

TEST_F(LoadAny, VariantsAreTriedInOrderAndTheFirstRowIsTheBottom) {
  make("pic.bmp", 3, 2, "BMP3:");
  Loaded l = load_ext(dir_ + "pic.png", GL_ALPHA);
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.desc.dx, 3);
  EXPECT_EQ(l.desc.dy, 2);
  // Width bytes per row, the picture's bottom row (values 11..13) first.
  EXPECT_EQ(l.bytes, std::string("\x0b\x0c\x0d\x01\x02\x03", 6));

  // With a PNG beside it, the PNG wins; a path without an extension gets
  // the suffixes appended.
  make("pic.png", 4, 2, "PNG8:");
  EXPECT_EQ(load_ext(dir_ + "pic.bmp", GL_ALPHA).desc.dx, 4);
  EXPECT_EQ(load_ext(dir_ + "pic", GL_RGB).desc.dx, 4);
  EXPECT_EQ(load_ext(dir_ + "pic.x", GL_ALPHA).ok, 0);  // "pic.x.png" does not exist
  // A .dds beside them is tried first and refused, not read as a broken PNG.
  write_file(dir_ + "pic.dds", "DDS not an image");
  EXPECT_EQ(load_ext(dir_ + "pic.png", GL_RGB).desc.dx, 4);
}

TEST_F(LoadAny, MissingOrTooLargeGivesNothing) {
  EXPECT_EQ(load_ext(dir_ + "none.png", GL_RGB).ok, 0);
  make("big.png", 64, 64, "PNG8:");
  EXPECT_EQ(load_ext(dir_ + "big.png", GL_RGB, 64 * 64 * 3 - 1).ok, 0);
  EXPECT_EQ(load_ext(dir_ + "big.png", GL_RGB, 64 * 64 * 3).ok, 1);
}

// Images come with scenery packages: a bad one reads as no image, and the
// next name is still tried.
TEST_F(LoadAny, DamagedOrForeignFilesReadAsNone) {
  make_bad_images();
  ASSERT_NE(read_file(dir_ + "palette.bmp")[28], 24) << "the bitmap must not be 24-bit";
  for (const char* name :
       {"text.png", "gif.png", "cut.png", "crc.png", "palette.bmp", "compressed.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(load_ext(dir_ + name, GL_ALPHA).ok, 0);
    unsigned char* pixels = nullptr;
    int width = -1, height = -1;
    EXPECT_EQ(TEX_load_alpha_ext((dir_ + name).c_str(), &pixels, &width, &height), 0);
    EXPECT_EQ(pixels, nullptr);
  }
  // A ".dds" that is no DDS at all, then the good PNG.
  write_file(dir_ + "good.dds", "not a DDS file");
  const Loaded l = load_ext(dir_ + "good.bmp", GL_ALPHA);
  EXPECT_EQ(l.ok, 1);
  EXPECT_EQ(l.desc.dx, 6);
}

// The program's own images stay fatal when bad.
TEST_F(LoadAny, DamagedFilesOfTheProgramEndTheRun) {
  make_bad_images();
  const struct {
    const char* name;
    const char* alert;
  } cases[] = {{"text.png", "PING-FILE ERROR!"},
               {"crc.png", "PING-FILE ERROR!"},
               {"palette.bmp", "Wrong bitmap color depth"},
               {"compressed.bmp", "Bitmap is compressed!"}};
  for (const auto& c : cases) {
    unsigned char* data = nullptr;
    TEX_image_desc desc;
    EXPECT_EXIT(
        TEX_load_any((dir_ + c.name).c_str(), data, TEX_max_image_bytes, GL_RGB, 0, 0, desc),
        testing::ExitedWithCode(1), c.alert)
        << c.name;
  }
}

}  // namespace
