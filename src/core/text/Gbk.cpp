#include "core/text/Gbk.h"
#include "core/text/Format.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

namespace text {

namespace {

// One converter per direction; iconv descriptors are not thread-safe, so each call locks.
struct Converter {
  iconv_t cd;
  std::mutex m;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

Converter& ToUtf8() {
  static Converter c("UTF-8", "GB18030");
  return c;
}
Converter& ToGbk() {
  static Converter c("GB18030", "UTF-8");
  return c;
}

// Converts `in`; on an invalid or incomplete sequence either fails (strict) or writes
// `replacement` and skips one byte.
bool Convert(Converter& c, std::string_view in, std::string& out, bool strict,
             std::string_view replacement) {
  out.clear();
  if (in.empty()) return true;
  if (c.cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::lock_guard<std::mutex> lock(c.m);
  iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t done = 0;
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = out.data() + done;
    size_t dstLeft = out.size() - done;
    const size_t r = iconv(c.cd, &src, &srcLeft, &dst, &dstLeft);
    done = out.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: a byte that does not convert.
    ok = false;
    if (strict) break;
    // The replacement goes in place; the buffer only ever grows by doubling, so text full
    // of bad bytes still converts in time linear in its length.
    if (out.size() - done < replacement.size() + 16)
      out.resize(out.size() * 2 + replacement.size());
    out.replace(done, replacement.size(), replacement);
    done += replacement.size();
    ++src;
    --srcLeft;
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(done);
  return ok;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  Convert(ToUtf8(), gbk, out, false, "\xEF\xBF\xBD");
  return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  Convert(ToGbk(), utf8, out, false, "?");
  return out;
}

bool GbkToUtf8(std::string_view gbk, std::string& out) {
  return Convert(ToUtf8(), gbk, out, true, {});
}

bool Utf8ToGbk(std::string_view utf8, std::string& out) {
  return Convert(ToGbk(), utf8, out, true, {});
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8Length(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace text
