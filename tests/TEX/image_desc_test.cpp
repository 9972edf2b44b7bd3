// Image sizes, downscale, flips (checked against libsquish's own decoder),
// chroma key and compositing.
#include "TEX/image_desc.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <cstring>
#include <vector>

namespace {

const int kDxt1 = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
const int kDxt1a = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
const int kDxt3 = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
const int kDxt5 = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;

}  // namespace

TEST(ImageDesc, BytesNeeded) {
  struct Case {
    TEX_image_desc desc;
    size_t bytes;
  } cases[] = {
      {{GL_RGBA, 256, 64, 0, 1},
       4u * (256 * 64 + 128 * 32 + 64 * 16 + 32 * 8 + 16 * 4 + 8 * 2 + 4 + 2 + 1)},
      {{GL_RGBA, 256, 64, 0, 0}, 4u * 256 * 64},
      {{GL_RGB, 5, 3, 1, 0}, (15u + 1) * 3},
      {{GL_BGR, 5, 3, 0, 0}, 45u},
      {{GL_ALPHA, 1, 4, 0, 1}, 4u + 2 + 1},
      {{kDxt1, 2, 2, 0, 0}, 8u},
      {{kDxt1a, 8, 8, 0, 1}, 4u * 8 + 8 + 8 + 8},
      {{kDxt5, 8, 8, 0, 1}, 4u * 16 + 16 + 16 + 16},
      {{kDxt3, 12, 4, 5, 0}, 3u * 16},  // row padding means nothing to blocks
      {{0x1234, 8, 8, 0, 0}, 0u},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TEX_bytes_needed_for_image(c.desc), c.bytes) << c.desc.format;
  // Sizes past 32 bits do not wrap.
  EXPECT_EQ(TEX_bytes_needed_for_image({GL_RGBA, 65536, 65536, 0, 0}), size_t(1) << 34);
}

TEST(ImageDesc, DownscaleAveragesBoxesInPlace) {
  // 4 x 4 RGB with a 2-byte row pad; each pixel's channels are (i, 2i, 255 - i).
  TEX_image_desc desc{GL_RGB, 4, 4, 2, 0};
  std::vector<unsigned char> px(4 * 14, 0xEE);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      int i = y * 4 + x;
      unsigned char* p = &px[y * 14 + x * 3];
      p[0] = i;
      p[1] = 2 * i + 1;
      p[2] = 255 - i;
    }
  std::vector<unsigned char> orig = px;
  TEX_downscale(desc, px.data(), 1, 1);
  EXPECT_EQ(px, orig);
  EXPECT_EQ(desc.dx, 4);

  TEX_downscale(desc, px.data(), 2, 2);
  EXPECT_EQ(desc.dx, 2);
  EXPECT_EQ(desc.dy, 2);
  EXPECT_EQ(desc.row_pad, 2);
  // Box (0,0): i = 0, 1, 4, 5 -> sums 10, 24, 1010; truncated quarters 2, 6, 252.
  const unsigned char want[2][6] = {{2, 6, 252, 4, 10, 250}, {10, 22, 244, 12, 26, 242}};
  for (int y = 0; y < 2; ++y) EXPECT_EQ(0, memcmp(&px[y * 8], want[y], 6)) << "row " << y;

  // Odd sizes drop the last column and row; factors need not match.
  TEX_image_desc a{GL_ALPHA, 5, 3, 0, 0};
  std::vector<unsigned char> g = {0, 4, 8, 12, 99, 1, 5, 9, 13, 99, 99, 99, 99, 99, 99};
  TEX_downscale(a, g.data(), 4, 1);
  EXPECT_EQ(a.dx, 1);
  EXPECT_EQ(a.dy, 3);
  EXPECT_EQ(g[0], 6);
  EXPECT_EQ(g[1], 7);
}

TEST(ImageDesc, FlipUncompressedKeepsMiddleRowAndWalksMips) {
  TEX_image_desc desc{GL_ALPHA, 2, 3, 1, 0};
  std::vector<unsigned char> px = {1, 2, 0, 3, 4, 0, 5, 6, 9};
  TEX_flip_y(desc, px.data());
  EXPECT_EQ(px, (std::vector<unsigned char>{5, 6, 9, 3, 4, 0, 1, 2, 0}));

  TEX_image_desc mips{GL_RGBA, 2, 2, 0, 1};
  std::vector<unsigned char> chain(4 * (4 + 1));
  for (size_t i = 0; i < chain.size(); ++i) chain[i] = (unsigned char)i;
  std::vector<unsigned char> want = chain;
  for (int k = 0; k < 8; ++k) std::swap(want[k], want[8 + k]);
  TEX_flip_y(mips, chain.data());
  EXPECT_EQ(chain, want);
}

// Compress a picture with libsquish, flip the blocks, decompress: the result
// must be the decompressed original upside down, for every block format and
// for heights with an odd count of block rows or a single short row.
TEST(ImageDesc, FlipS3tcMatchesTheDecodedPicture) {
  struct Case {
    int format, flags, dx, dy;
  } cases[] = {
      {kDxt1, squish::kDxt1, 8, 8},
      {kDxt3, squish::kDxt3, 8, 12},
      {kDxt5, squish::kDxt5, 12, 8},
      {kDxt5, squish::kDxt5, 4, 4},
      {kDxt1a, squish::kDxt1, 8, 2},
      {kDxt5, squish::kDxt5, 8, 2},
      {kDxt3, squish::kDxt3, 4, 2},
      // Blocks per row round up; a level one row high stays as it is.
      {kDxt5, squish::kDxt5, 6, 8},
      {kDxt1, squish::kDxt1, 10, 2},
      {kDxt1, squish::kDxt1, 8, 1},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> rgba(size_t(c.dx) * c.dy * 4);
    for (int y = 0; y < c.dy; ++y)
      for (int x = 0; x < c.dx; ++x) {
        unsigned char* p = &rgba[(y * c.dx + x) * 4];
        p[0] = (unsigned char)(y * 37);
        p[1] = (unsigned char)(x * 20 + y * 5);
        p[2] = (unsigned char)(255 - y * 30);
        p[3] = (unsigned char)(y * 70 + x * 3);
      }
    std::vector<unsigned char> blocks(squish::GetStorageRequirements(c.dx, c.dy, c.flags));
    squish::CompressImage(rgba.data(), c.dx, c.dy, blocks.data(), c.flags);
    std::vector<unsigned char> before(rgba.size()), after(rgba.size());
    squish::DecompressImage(before.data(), c.dx, c.dy, blocks.data(), c.flags);
    nv_flip(c.format, blocks.data(), c.dx, c.dy, blocks.size());
    squish::DecompressImage(after.data(), c.dx, c.dy, blocks.data(), c.flags);
    for (int y = 0; y < c.dy; ++y)
      ASSERT_EQ(0, memcmp(&after[size_t(y) * c.dx * 4], &before[size_t(c.dy - 1 - y) * c.dx * 4],
                          size_t(c.dx) * 4))
          << "format " << c.format << " " << c.dx << "x" << c.dy << " row " << y;
  }
}

TEST(ImageDescDeathTest, FlipOfUnknownFormatIsFatal) {
  unsigned char px[16] = {};
  EXPECT_EXIT(nv_flip(0x1234, px, 2, 2, 16), testing::ExitedWithCode(1), "Illegal format!");
}

TEST(ImageDesc, ChromaKeyClearsAlphaNearTheKey) {
  TEX_image_desc desc{GL_RGBA, 3, 1, 0, 0};
  unsigned char px[] = {255, 0, 255, 200, 250, 3, 255, 200, 240, 0, 240, 200};
  const unsigned char key[3] = {255, 0, 255};
  TEX_chroma_key(desc, px, key, 10);  // distances 0, 8 and 30
  EXPECT_EQ(px[3], 0);
  EXPECT_EQ(px[7], 0);
  EXPECT_EQ(px[11], 200);
  EXPECT_EQ(px[0], 255);
}

TEST(ImageDesc, CompositeBlendsAndClips) {
  // A 2 x 2 opaque RGB source over a 4 x 2 RGBA destination at (1, 0)-(3, 2):
  // the pixels land one to one, the destination alpha fills up, the rest stays.
  TEX_image_desc src{GL_RGB, 2, 2, 0, 0}, dst{GL_RGBA, 4, 2, 0, 0};
  const unsigned char s[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  std::vector<unsigned char> d(4 * 2 * 4, 0);
  TEX_composite(src, dst, s, d.data(), 1, 0, 3, 2);
  const unsigned char row0[] = {0, 0, 0, 0, 10, 20, 30, 255, 40, 50, 60, 255, 0, 0, 0, 0};
  EXPECT_EQ(0, memcmp(d.data(), row0, 16));
  EXPECT_EQ(d[16 + 4], 70);

  // A half-transparent source pixel mixes half of its colour in.
  TEX_image_desc one{GL_RGBA, 1, 1, 0, 0};
  const unsigned char half[] = {200, 100, 0, 128};
  unsigned char target[] = {0, 0, 200, 0};
  TEX_composite(one, one, half, target, 0, 0, 1, 1);
  EXPECT_NEAR(target[0], 100, 1);
  EXPECT_NEAR(target[2], 100, 1);
  EXPECT_EQ(target[3], 128);

  // A rectangle wholly outside the destination changes nothing.
  std::vector<unsigned char> before = d;
  TEX_composite(src, dst, s, d.data(), 5, 5, 9, 9);
  EXPECT_EQ(d, before);
}
