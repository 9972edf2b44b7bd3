// MD5 message digest (RFC 1321).
#pragma once

#include <cstdint>
#include <string>

struct MD5_CTX {
  uint32_t i[2];         // bit count, low word first
  uint32_t buf[4];       // state A, B, C, D
  unsigned char in[64];  // current block
  unsigned char digest[16];
};

void MD5Init(MD5_CTX* ctx);
void MD5Update(MD5_CTX* ctx, const unsigned char* input, uint16_t length);
// Any length: files of 4 GiB and more are hashed whole.
void MD5UpdateWide(MD5_CTX* ctx, const unsigned char* input, uint64_t length);
void MD5Final(MD5_CTX* ctx);
// The digest of a finished context as 32 lower-case hex digits, the form
// manifests and md5sum write.
std::string MD5HexDigest(const MD5_CTX& ctx);
