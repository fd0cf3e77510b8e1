#include "import/TextDecode.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "text/Gbk.h"
#include "text/Paths.h"

namespace textsrc {

namespace {

bool Utf16ToGbk(std::string_view in, const char* from, std::string& out) {
  iconv_t cd = iconv_open("GB18030", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  // GB18030 needs at most 4 bytes per UTF-16 unit pair, 2 per unit for the BMP in
  // practice; grow when a text needs more.
  bool ok = true;
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno != E2BIG) {
      ok = false;
      break;
    }
    const size_t done = out.size() - dstLeft;
    out.resize(out.size() * 2);
    dst = out.data() + done;
    dstLeft = out.size() - done;
  }
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return ok;
}

}  // namespace

bool DecodeToGbk(std::string bytes, std::string& gbk, std::string& error) {
  const auto starts = [&](std::string_view bom) {
    return bytes.size() >= bom.size() && std::string_view(bytes).substr(0, bom.size()) == bom;
  };
  if (starts("\xEF\xBB\xBF")) {
    gbk = text::Utf8ToGbk(std::string_view(bytes).substr(3));
    return true;
  }
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    const char* from = bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE";
    if (!Utf16ToGbk(std::string_view(bytes).substr(2), from, gbk)) {
      gbk.clear();
      error = text::G("文件编码无法识别(UTF-16内容有误),请另存为GBK或UTF-8编码后重新导入!");
      return false;
    }
    return true;
  }
  if (!text::IsAscii(bytes) && text::IsValidUtf8(bytes)) {
    gbk = text::Utf8ToGbk(bytes);
    return true;
  }
  gbk = std::move(bytes);
  return true;
}

bool ReadWholeFile(std::string_view gbkPath, std::string& bytes, std::string& error) {
  const auto p = paths::NativePath(gbkPath);
  std::error_code ec;
  // A device or a pipe would never end; a file beyond the bound would not fit in memory.
  if (!std::filesystem::is_regular_file(p, ec)) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：不是普通文件");
    return false;
  }
  const auto size = std::filesystem::file_size(p, ec);
  if (!ec && size > kMaxTextBytes) {
    error = text::G("文件太大(超过1024MB),不能导入:") + std::string(gbkPath);
    return false;
  }
#ifdef _WIN32
  std::unique_ptr<FILE, int (*)(FILE*)> f(_wfopen(p.c_str(), L"rb"), std::fclose);
#else
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(p.c_str(), "rb"), std::fclose);
#endif
  if (!f) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  bytes.clear();
  if (!ec) bytes.reserve(static_cast<size_t>(size));
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
  if (std::ferror(f.get())) {
    error = text::G("读取文件出错：") + text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace textsrc
