#include "core/text/LineReader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace {
constexpr size_t kBlock = 1 << 20;
}

bool LineReader::Open(std::string_view gbkPath, std::string& error) {
  const std::filesystem::path p = paths::NativePath(gbkPath);
  std::error_code ec;
  m_size = static_cast<long long>(std::filesystem::file_size(p, ec));
  if (ec) m_size = 0;
  m_file = files::OpenForReading(gbkPath);
  if (!m_file) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  m_buf.resize(kBlock);
  return true;
}

bool LineReader::Fill() {
  if (m_eof || m_failed || !m_file) return false;
  // Keep the unread tail, then read more behind it.
  const size_t tail = m_end - m_begin;
  if (m_begin > 0) {
    std::memmove(m_buf.data(), m_buf.data() + m_begin, tail);
    m_begin = 0;
    m_end = tail;
  }
  if (m_buf.size() - m_end < kBlock / 2) m_buf.resize(m_buf.size() * 2);
  const size_t n = std::fread(m_buf.data() + m_end, 1, m_buf.size() - m_end, m_file.get());
  if (n == 0) {
    if (std::ferror(m_file.get())) {
      m_failed = true;
      m_error = text::G("读取文件出错：") + text::Utf8ToGbk(std::strerror(errno));
    }
    m_eof = true;
    return false;
  }
  m_end += n;
  return true;
}

bool LineReader::Next(std::string_view& line) {
  if (!m_file) return false;
  size_t scanFrom = m_begin;
  while (true) {
    const char* start = m_buf.data() + scanFrom;
    const void* lf = std::memchr(start, '\n', m_end - scanFrom);
    if (lf) {
      const size_t at = static_cast<size_t>(static_cast<const char*>(lf) - m_buf.data());
      size_t len = at - m_begin;
      if (len > 0 && m_buf[m_begin + len - 1] == '\r') --len;
      line = std::string_view(m_buf.data() + m_begin, len);
      m_begin = at + 1;
      return true;
    }
    const size_t scanned = m_end - m_begin;
    if (!Fill()) break;
    scanFrom = m_begin + scanned;
  }
  if (m_failed || m_begin >= m_end) return false;
  // The last line has no LF.
  size_t len = m_end - m_begin;
  if (m_buf[m_begin + len - 1] == '\r') --len;
  line = std::string_view(m_buf.data() + m_begin, len);
  m_begin = m_end;
  return true;
}

std::string_view LineReader::NextOrEmpty() {
  std::string_view line;
  return Next(line) ? line : std::string_view();
}

bool ForEachTrimmedLine(std::string_view gbkPath, const std::function<void(std::string_view)>& each,
                        std::string& error) {
  if (!paths::FileExists(gbkPath)) return true;
  LineReader in;
  if (!in.Open(gbkPath, error)) return false;
  std::string_view line;
  while (in.Next(line)) {
    const std::string_view t = text::TrimView(line);
    if (!t.empty()) each(t);
  }
  if (in.Failed()) {
    error = in.Error();
    return false;
  }
  return true;
}
