#include "core/import/TextDecode.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

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

std::string Utf16Error() {
  return text::G("文件编码无法识别(UTF-16内容有误),请另存为GBK或UTF-8编码后重新导入!");
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
      error = Utf16Error();
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

namespace {

// A regular file of at most kMaxTextBytes: false with the error text otherwise.
bool CheckSource(std::string_view gbkPath, std::string& error) {
  const auto p = paths::NativePath(gbkPath);
  std::error_code ec;
  // A device or a pipe would never end; a file beyond the bound would not fit in memory.
  if (!std::filesystem::is_regular_file(p, ec)) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：不是普通文件");
    return false;
  }
  const uintmax_t size = std::filesystem::file_size(p, ec);
  if (!ec && size > kMaxTextBytes) {
    error = text::G("文件太大(超过1024MB),不能导入:") + std::string(gbkPath);
    return false;
  }
  return true;
}

// A source that CheckSource lets through, open for reading.
bool OpenSource(std::string_view gbkPath, files::ReadHandle& f, std::string& error) {
  if (!CheckSource(gbkPath, error)) return false;
  f = files::OpenForReading(gbkPath);
  if (!f) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  return true;
}

std::string ReadError() {
  return text::G("读取文件出错：") + text::Utf8ToGbk(std::strerror(errno));
}

// Length of the part of `s` that ends on a whole UTF-8 character: a lead byte near the end
// whose sequence runs past it is left for the next block.
size_t WholeUtf8(std::string_view s) {
  const size_t n = s.size();
  for (size_t back = 1; back <= 3 && back <= n; ++back) {
    const unsigned char c = static_cast<unsigned char>(s[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return len > back ? n - back : n;
  }
  return n;
}

// Length of the part of UTF-16 `s` that ends on a whole character: even, and not ending in
// the first half of a surrogate pair.
size_t WholeUtf16(std::string_view s, bool littleEndian) {
  size_t n = s.size() & ~size_t{1};
  if (n >= 2) {
    const unsigned char hi = static_cast<unsigned char>(littleEndian ? s[n - 1] : s[n - 2]);
    if (hi >= 0xD8 && hi <= 0xDB) n -= 2;
  }
  return n;
}

constexpr size_t kBlock = 1 << 16;

}  // namespace

bool ReadSourceFile(std::string_view gbkPath, std::string& bytes, std::string& error) {
  return CheckSource(gbkPath, error) && files::ReadWholeFile(gbkPath, bytes, error);
}

DecodedFile::DecodedFile() : m_file(nullptr, std::fclose) {}
DecodedFile::~DecodedFile() = default;

bool DecodedFile::ReadBlock(std::string& bytes, std::string& error) {
  const size_t at = bytes.size();
  bytes.resize(at + kBlock);
  const size_t n = std::fread(bytes.data() + at, 1, kBlock, m_file.get());
  bytes.resize(at + n);
  if (n < kBlock) {
    if (std::ferror(m_file.get())) {
      error = ReadError();
      return false;
    }
    m_eof = true;
  }
  return true;
}

bool DecodedFile::Open(std::string_view gbkPath, std::string& error) {
  m_carry.clear();
  m_eof = false;
  if (!OpenSource(gbkPath, m_file, error)) return false;
  std::string head;
  if (!ReadBlock(head, error)) return false;
  const auto starts = [&](std::string_view bom) {
    return std::string_view(head).substr(0, bom.size()) == bom;
  };
  if (starts("\xEF\xBB\xBF")) {
    m_encoding = Encoding::Utf8;
    m_carry = head.substr(3);
    return true;
  }
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    m_encoding = head[0] == '\xFF' ? Encoding::Utf16Le : Encoding::Utf16Be;
    m_carry = head.substr(2);
    return true;
  }
  // No mark: UTF-8 when the whole file is valid UTF-8 and not plain ASCII.
  bool ascii = true, valid = true;
  std::string block = std::move(head);
  while (valid) {
    const size_t whole = m_eof ? block.size() : WholeUtf8(block);
    const std::string_view part = std::string_view(block).substr(0, whole);
    ascii = ascii && text::IsAscii(part);
    valid = text::IsValidUtf8(part);
    if (m_eof) break;
    block.erase(0, whole);
    if (!ReadBlock(block, error)) return false;
  }
  m_encoding = valid && !ascii ? Encoding::Utf8 : Encoding::Gbk;
  std::rewind(m_file.get());
  m_eof = false;
  return true;
}

bool DecodedFile::Next(std::string& gbk, std::string& error) {
  gbk.clear();
  while (gbk.empty()) {
    if (!m_eof && !ReadBlock(m_carry, error)) return false;
    if (m_carry.empty()) return true;  // the end
    if (m_encoding == Encoding::Gbk) {
      gbk.swap(m_carry);
      m_carry.clear();
      return true;
    }
    // A character cut by the block's end waits for the next block; at the end of the file
    // what is left is converted as it stands.
    const std::string_view bytes(m_carry);
    size_t whole = bytes.size();
    if (m_encoding == Encoding::Utf8) {
      if (!m_eof) whole = WholeUtf8(bytes);
      gbk = text::Utf8ToGbk(bytes.substr(0, whole));
    } else {
      const bool le = m_encoding == Encoding::Utf16Le;
      if (!m_eof) whole = WholeUtf16(bytes, le);
      if (whole > 0 && !Utf16ToGbk(bytes.substr(0, whole), le ? "UTF-16LE" : "UTF-16BE", gbk)) {
        gbk.clear();
        error = Utf16Error();
        return false;
      }
    }
    m_carry.erase(0, whole);
  }
  return true;
}

}  // namespace textsrc
