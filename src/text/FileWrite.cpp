#include "text/FileWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "text/Gbk.h"
#include "text/Paths.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace files {

namespace fs = std::filesystem;

namespace {

std::string OsError(int err) { return text::Utf8ToGbk(std::strerror(err)); }

std::string WriteError(std::string_view gbkPath, int err) {
  return text::G("无法写入文件") + std::string(gbkPath) + text::G("：") + OsError(err);
}

// Writes content to a fresh temporary beside `target`; returns its path or empty.
bool WriteTemp(const fs::path& target, std::string_view gbkPath, std::string_view content,
               std::string& tempOut, std::string& error) {
  std::error_code ec;
  const fs::path dir = target.parent_path();
  if (!dir.empty() && !fs::is_directory(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) {
      error = WriteError(gbkPath, ec.value());
      return false;
    }
  }
  if (fs::is_directory(target, ec)) {
    error = WriteError(gbkPath, EISDIR);
    return false;
  }
#ifdef _WIN32
  std::wstring tmpl = (target.wstring() + L".tmp");
  const fs::path temp = tmpl + std::to_wstring(GetCurrentProcessId());
  FILE* f = _wfopen(temp.c_str(), L"wb");
  if (!f) {
    error = WriteError(gbkPath, errno);
    return false;
  }
  const bool ok = fwrite(content.data(), 1, content.size(), f) == content.size() &&
                  fflush(f) == 0 && _commit(_fileno(f)) == 0;
  const int werr = errno;
  fclose(f);
  if (!ok) {
    fs::remove(temp, ec);
    error = WriteError(gbkPath, werr);
    return false;
  }
  tempOut = paths::U8(temp);
#else
  std::string tmpl = target.string() + ".tmp-XXXXXX";
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    error = WriteError(gbkPath, errno);
    return false;
  }
  size_t done = 0;
  int werr = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      werr = errno;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (werr == 0 && ::fsync(fd) != 0) werr = errno;
  // Keep the target's usual permissions rather than mkstemp's 0600.
  if (werr == 0) ::fchmod(fd, 0644);
  if (::close(fd) != 0 && werr == 0) werr = errno;
  if (werr != 0) {
    ::unlink(tmpl.c_str());
    error = WriteError(gbkPath, werr);
    return false;
  }
  tempOut = tmpl;
#endif
  return true;
}

bool RenameOver(const std::string& temp, const std::string& target, std::string& error) {
  std::error_code ec;
  fs::rename(paths::FromU8(temp), paths::FromU8(target), ec);
  if (ec) {
    error = WriteError(text::Utf8ToGbk(target), ec.value());
    return false;
  }
  return true;
}

}  // namespace

bool WriteFileAtomic(std::string_view gbkPath, std::string_view content, std::string& error) {
  const fs::path target = paths::NativePath(gbkPath);
  std::string temp;
  if (!WriteTemp(target, gbkPath, content, temp, error)) return false;
  if (!RenameOver(temp, paths::U8(target), error)) {
    std::error_code ec;
    fs::remove(paths::FromU8(temp), ec);
    return false;
  }
  return true;
}

AtomicBatch::~AtomicBatch() { Discard(); }

void AtomicBatch::Discard() {
  std::error_code ec;
  for (const Entry& e : m_entries) fs::remove(paths::FromU8(e.tempPath), ec);
  m_entries.clear();
}

bool AtomicBatch::Stage(std::string_view gbkPath, std::string_view content, std::string& error) {
  const fs::path target = paths::NativePath(gbkPath);
  std::string temp;
  if (!WriteTemp(target, gbkPath, content, temp, error)) {
    Discard();
    return false;
  }
  m_entries.push_back({temp, paths::U8(target)});
  return true;
}

bool AtomicBatch::Commit(std::string& error) {
  // Renames within one directory do not fail for want of space; what could fail was found
  // while staging. A failure here still stops before touching the remaining targets.
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (!RenameOver(m_entries[i].tempPath, m_entries[i].target, error)) {
      m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<long>(i));
      Discard();
      return false;
    }
  }
  m_entries.clear();
  return true;
}

bool RemoveFile(std::string_view gbkPath, std::string& error) {
  std::error_code ec;
  const fs::path p = paths::NativePath(gbkPath);
  if (!fs::exists(p, ec)) return true;
  if (!fs::remove(p, ec) && ec) {
    error = text::G("无法删除文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(ec.message());
    return false;
  }
  return true;
}

}  // namespace files
