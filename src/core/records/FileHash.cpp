#include "core/records/FileHash.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

std::string Hex(const uint8_t* d, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out += digits[d[i] >> 4];
    out += digits[d[i] & 15];
  }
  return out;
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  return Hex(digest, sizeof digest);
}

bool Sha256File(std::string_view gbkPath, std::string& hex, std::string& error) {
  const files::ReadHandle f = files::OpenForReading(gbkPath);
  if (!f) {
    error = text::G("无法读取文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  sha256_ctx ctx;
  sha256_init(&ctx);
  std::vector<uint8_t> buf(1 << 20);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0)
    sha256_update(&ctx, n, buf.data());
  if (std::ferror(f.get()) != 0) {
    error = text::G("无法读取文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  hex = Hex(digest, sizeof digest);
  return true;
}

std::string ListFingerprintPath(int taskId) {
  return paths::DataFileDir() + std::to_string(taskId) + ".sha256";
}

bool SaveListFingerprint(int taskId, std::string_view gbkDataPath, std::string& error) {
  std::string hex;
  if (!Sha256File(gbkDataPath, hex, error)) return false;
  return files::WriteFileAtomic(ListFingerprintPath(taskId), hex + "\r\n", error);
}
