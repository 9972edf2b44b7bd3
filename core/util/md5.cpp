// MD5 message digest (RFC 1321), in the four-call form of that document's
// reference code. Our own code: the manifest compares installed files by it.
#include "core/util/md5.h"

#include <cstring>

static const unsigned char PADDING[64] = {0x80};

static inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

#define MD5_F(x, y, z) (((x) & (y)) | (~(x) & (z)))
#define MD5_G(x, y, z) (((x) & (z)) | ((y) & ~(z)))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, s, ac)         \
  (a) += f((b), (c), (d)) + (x) + (uint32_t)(ac); \
  (a) = rotl((a), (s)) + (b)

// One 64-byte block, read as sixteen little-endian words.
static void Transform(uint32_t* buf, const uint32_t* in) {
  uint32_t a = buf[0], b = buf[1], c = buf[2], d = buf[3];

  MD5_STEP(MD5_F, a, b, c, d, in[0], 7, 0xd76aa478);
  MD5_STEP(MD5_F, d, a, b, c, in[1], 12, 0xe8c7b756);
  MD5_STEP(MD5_F, c, d, a, b, in[2], 17, 0x242070db);
  MD5_STEP(MD5_F, b, c, d, a, in[3], 22, 0xc1bdceee);
  MD5_STEP(MD5_F, a, b, c, d, in[4], 7, 0xf57c0faf);
  MD5_STEP(MD5_F, d, a, b, c, in[5], 12, 0x4787c62a);
  MD5_STEP(MD5_F, c, d, a, b, in[6], 17, 0xa8304613);
  MD5_STEP(MD5_F, b, c, d, a, in[7], 22, 0xfd469501);
  MD5_STEP(MD5_F, a, b, c, d, in[8], 7, 0x698098d8);
  MD5_STEP(MD5_F, d, a, b, c, in[9], 12, 0x8b44f7af);
  MD5_STEP(MD5_F, c, d, a, b, in[10], 17, 0xffff5bb1);
  MD5_STEP(MD5_F, b, c, d, a, in[11], 22, 0x895cd7be);
  MD5_STEP(MD5_F, a, b, c, d, in[12], 7, 0x6b901122);
  MD5_STEP(MD5_F, d, a, b, c, in[13], 12, 0xfd987193);
  MD5_STEP(MD5_F, c, d, a, b, in[14], 17, 0xa679438e);
  MD5_STEP(MD5_F, b, c, d, a, in[15], 22, 0x49b40821);

  MD5_STEP(MD5_G, a, b, c, d, in[1], 5, 0xf61e2562);
  MD5_STEP(MD5_G, d, a, b, c, in[6], 9, 0xc040b340);
  MD5_STEP(MD5_G, c, d, a, b, in[11], 14, 0x265e5a51);
  MD5_STEP(MD5_G, b, c, d, a, in[0], 20, 0xe9b6c7aa);
  MD5_STEP(MD5_G, a, b, c, d, in[5], 5, 0xd62f105d);
  MD5_STEP(MD5_G, d, a, b, c, in[10], 9, 0x02441453);
  MD5_STEP(MD5_G, c, d, a, b, in[15], 14, 0xd8a1e681);
  MD5_STEP(MD5_G, b, c, d, a, in[4], 20, 0xe7d3fbc8);
  MD5_STEP(MD5_G, a, b, c, d, in[9], 5, 0x21e1cde6);
  MD5_STEP(MD5_G, d, a, b, c, in[14], 9, 0xc33707d6);
  MD5_STEP(MD5_G, c, d, a, b, in[3], 14, 0xf4d50d87);
  MD5_STEP(MD5_G, b, c, d, a, in[8], 20, 0x455a14ed);
  MD5_STEP(MD5_G, a, b, c, d, in[13], 5, 0xa9e3e905);
  MD5_STEP(MD5_G, d, a, b, c, in[2], 9, 0xfcefa3f8);
  MD5_STEP(MD5_G, c, d, a, b, in[7], 14, 0x676f02d9);
  MD5_STEP(MD5_G, b, c, d, a, in[12], 20, 0x8d2a4c8a);

  MD5_STEP(MD5_H, a, b, c, d, in[5], 4, 0xfffa3942);
  MD5_STEP(MD5_H, d, a, b, c, in[8], 11, 0x8771f681);
  MD5_STEP(MD5_H, c, d, a, b, in[11], 16, 0x6d9d6122);
  MD5_STEP(MD5_H, b, c, d, a, in[14], 23, 0xfde5380c);
  MD5_STEP(MD5_H, a, b, c, d, in[1], 4, 0xa4beea44);
  MD5_STEP(MD5_H, d, a, b, c, in[4], 11, 0x4bdecfa9);
  MD5_STEP(MD5_H, c, d, a, b, in[7], 16, 0xf6bb4b60);
  MD5_STEP(MD5_H, b, c, d, a, in[10], 23, 0xbebfbc70);
  MD5_STEP(MD5_H, a, b, c, d, in[13], 4, 0x289b7ec6);
  MD5_STEP(MD5_H, d, a, b, c, in[0], 11, 0xeaa127fa);
  MD5_STEP(MD5_H, c, d, a, b, in[3], 16, 0xd4ef3085);
  MD5_STEP(MD5_H, b, c, d, a, in[6], 23, 0x04881d05);
  MD5_STEP(MD5_H, a, b, c, d, in[9], 4, 0xd9d4d039);
  MD5_STEP(MD5_H, d, a, b, c, in[12], 11, 0xe6db99e5);
  MD5_STEP(MD5_H, c, d, a, b, in[15], 16, 0x1fa27cf8);
  MD5_STEP(MD5_H, b, c, d, a, in[2], 23, 0xc4ac5665);

  MD5_STEP(MD5_I, a, b, c, d, in[0], 6, 0xf4292244);
  MD5_STEP(MD5_I, d, a, b, c, in[7], 10, 0x432aff97);
  MD5_STEP(MD5_I, c, d, a, b, in[14], 15, 0xab9423a7);
  MD5_STEP(MD5_I, b, c, d, a, in[5], 21, 0xfc93a039);
  MD5_STEP(MD5_I, a, b, c, d, in[12], 6, 0x655b59c3);
  MD5_STEP(MD5_I, d, a, b, c, in[3], 10, 0x8f0ccc92);
  MD5_STEP(MD5_I, c, d, a, b, in[10], 15, 0xffeff47d);
  MD5_STEP(MD5_I, b, c, d, a, in[1], 21, 0x85845dd1);
  MD5_STEP(MD5_I, a, b, c, d, in[8], 6, 0x6fa87e4f);
  MD5_STEP(MD5_I, d, a, b, c, in[15], 10, 0xfe2ce6e0);
  MD5_STEP(MD5_I, c, d, a, b, in[6], 15, 0xa3014314);
  MD5_STEP(MD5_I, b, c, d, a, in[13], 21, 0x4e0811a1);
  MD5_STEP(MD5_I, a, b, c, d, in[4], 6, 0xf7537e82);
  MD5_STEP(MD5_I, d, a, b, c, in[11], 10, 0xbd3af235);
  MD5_STEP(MD5_I, c, d, a, b, in[2], 15, 0x2ad7d2bb);
  MD5_STEP(MD5_I, b, c, d, a, in[9], 21, 0xeb86d391);

  buf[0] += a;
  buf[1] += b;
  buf[2] += c;
  buf[3] += d;
}

// The block is decoded byte by byte so the digest does not depend on the
// host's byte order or on the alignment of the caller's buffer.
static void transform_block(MD5_CTX* ctx) {
  uint32_t words[16];
  for (int k = 0; k < 16; ++k) {
    const unsigned char* p = ctx->in + 4 * k;
    words[k] =
        (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
  }
  Transform(ctx->buf, words);
}

void MD5Init(MD5_CTX* ctx) {
  ctx->i[0] = ctx->i[1] = 0;
  ctx->buf[0] = 0x67452301u;
  ctx->buf[1] = 0xefcdab89u;
  ctx->buf[2] = 0x98badcfeu;
  ctx->buf[3] = 0x10325476u;
}

void MD5Update(MD5_CTX* ctx, const unsigned char* input, uint16_t length) {
  unsigned mdi = (ctx->i[0] >> 3) & 0x3F;

  uint32_t bits = (uint32_t)length << 3;
  if (ctx->i[0] + bits < ctx->i[0]) ctx->i[1]++;
  ctx->i[0] += bits;

  while (length > 0) {
    unsigned take = 64 - mdi;
    if (take > length) take = length;
    memcpy(ctx->in + mdi, input, take);
    mdi += take;
    input += take;
    length = (uint16_t)(length - take);
    if (mdi == 64) {
      transform_block(ctx);
      mdi = 0;
    }
  }
}

void MD5UpdateWide(MD5_CTX* ctx, const unsigned char* input, uint64_t length) {
  while (length > 0) {
    uint16_t piece = length > 65535 ? 65535 : (uint16_t)length;
    MD5Update(ctx, input, piece);
    input += piece;
    length -= piece;
  }
}

void MD5Final(MD5_CTX* ctx) {
  unsigned char bits[8];
  for (int k = 0; k < 4; ++k) {
    bits[k] = (unsigned char)(ctx->i[0] >> (8 * k));
    bits[4 + k] = (unsigned char)(ctx->i[1] >> (8 * k));
  }

  unsigned mdi = (ctx->i[0] >> 3) & 0x3F;
  unsigned pad = mdi < 56 ? 56 - mdi : 120 - mdi;
  MD5Update(ctx, PADDING, (uint16_t)pad);
  // Feeding the length through MD5Update bumps the count once more; the bytes
  // were taken from it above, so the digest is unaffected.
  MD5Update(ctx, bits, 8);

  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 4; ++j) ctx->digest[4 * k + j] = (unsigned char)(ctx->buf[k] >> (8 * j));
}

std::string MD5HexDigest(const MD5_CTX& ctx) {
  static const char kHex[] = "0123456789abcdef";
  std::string out(32, '0');
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = kHex[ctx.digest[i] >> 4];
    out[2 * i + 1] = kHex[ctx.digest[i] & 15];
  }
  return out;
}
