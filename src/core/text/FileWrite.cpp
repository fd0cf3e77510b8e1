#include "core/text/FileWrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/text/Gbk.h"
#include "core/text/Paths.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// windows.h makes MoveFile a macro for MoveFileW, which would rename files::MoveFile here.
#undef MoveFile
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

void SyncDir(const fs::path& dir);

// Creates the missing folders of `dir`, outermost first, flushing the folder each one was
// made in: a new folder's name must survive a power cut like a new file's.
bool CreateFolders(const fs::path& dir, std::error_code& ec) {
  ec.clear();
  if (dir.empty() || fs::is_directory(dir, ec)) return true;
  std::vector<fs::path> missing;
  for (fs::path p = dir; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!fs::create_directory(*it, ec) && ec) return false;
    SyncDir(it->parent_path());
  }
  if (!fs::is_directory(dir, ec)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    return false;
  }
  return true;
}

// Creates the folder a file is written into when it is missing.
bool MakeFolder(const fs::path& dir, std::string_view gbkPath, std::string& error) {
  std::error_code ec;
  if (!CreateFolders(dir, ec)) {
    error = WriteError(gbkPath, ec.value());
    return false;
  }
  return true;
}

#ifdef _WIN32
// Flushes an open file's data to the disk: 0 or the errno that stands for the failure.
int FlushToDisk(FILE* f) {
  if (fflush(f) != 0) return errno;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h) ? 0 : EIO;
}
#endif

#ifndef _WIN32
// Writes every byte, resuming after interruptions; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}
#endif

FileFlushWatch g_fileFlushWatch = nullptr;

// The one place a file's bytes are flushed to the disk: 0 or the errno of the failure. The
// watch hears of `watched` only from here, once the flush itself has returned, so a write
// that skips its flush is seen by the tests as unflushed.
#ifdef _WIN32
int SyncFile(FILE* f, const fs::path& watched) {
  const int err = FlushToDisk(f);
  if (err == 0 && g_fileFlushWatch) g_fileFlushWatch(paths::U8(watched));
  return err;
}
#else
enum class SyncKind { Everything, DataOnly };
int SyncFile(int fd, const fs::path& watched, SyncKind kind = SyncKind::Everything) {
  const int rc = kind == SyncKind::DataOnly ? ::fdatasync(fd) : ::fsync(fd);
  if (rc != 0) return errno;
  if (g_fileFlushWatch) g_fileFlushWatch(paths::U8(watched));
  return 0;
}
#endif

// Writes content to a fresh temporary beside `target`, flushed to disk unless `flush` is off
// (a reservation that its filler flushes); false with the error text.
bool WriteTemp(const fs::path& target, std::string_view gbkPath, std::string_view content,
               std::string& tempOut, std::string& error, bool flush = true) {
  if (!MakeFolder(target.parent_path(), gbkPath, error)) return false;
  std::error_code ec;
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
  int werr = fwrite(content.data(), 1, content.size(), f) == content.size() ? 0 : errno;
  if (werr == 0 && flush) werr = SyncFile(f, target);
  if (fclose(f) != 0 && werr == 0) werr = errno;
  if (werr != 0) {
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
  int werr = WriteAll(fd, content);
  if (werr == 0 && flush) werr = SyncFile(fd, target);
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

RenameFault g_renameFault = nullptr;
FolderFlushWatch g_flushWatch = nullptr;

// Flushes a directory's entries, so a rename or a new file in it survives a power cut.
// The watch hears of a folder once its flush has returned. Windows has no flush of a folder:
// there the rename itself is written through (RenameOver), and NTFS journals the entry.
void SyncDir(const fs::path& dir) {
  const fs::path folder = dir.empty() ? fs::path(".") : dir;
#ifndef _WIN32
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (synced && g_flushWatch) g_flushWatch(paths::U8(folder));
#else
  if (g_flushWatch) g_flushWatch(paths::U8(folder));
#endif
}

bool RenameOver(const std::string& temp, const std::string& target, std::string& error,
                bool flushFolder = true) {
  if (g_renameFault) {
    if (const int err = g_renameFault(target); err != 0) {
      error = WriteError(text::Utf8ToGbk(target), err);
      return false;
    }
  }
  const fs::path to = paths::FromU8(target);
#ifdef _WIN32
  // Replaces the target in one step, and returns once the change is on the disk.
  if (!MoveFileExW(paths::FromU8(temp).c_str(), to.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD why = GetLastError();
    error = WriteError(text::Utf8ToGbk(target), why == ERROR_ACCESS_DENIED ? EACCES
                                                : why == ERROR_DISK_FULL   ? ENOSPC
                                                                           : EIO);
    return false;
  }
#else
  std::error_code ec;
  fs::rename(paths::FromU8(temp), to, ec);
  if (ec) {
    error = WriteError(text::Utf8ToGbk(target), ec.value());
    return false;
  }
#endif
  if (flushFolder) SyncDir(to.parent_path());
  return true;
}

// Flushes the bytes of the temporaries `temps` (native UTF-8), written for `targets`, in as
// few flushes as the system allows: on Linux one flush of each file system they are on
// (syncfs), elsewhere one per file. The watch hears of each target once its flush returned.
int SyncTemporaries(const std::vector<std::string>& temps, const std::vector<fs::path>& targets) {
#ifdef _WIN32
  for (size_t i = 0; i < temps.size(); ++i) {
    FILE* f = _wfopen(paths::FromU8(temps[i]).c_str(), L"r+b");
    const int err = f ? SyncFile(f, targets[i]) : errno;
    if (f) fclose(f);
    if (err != 0) return err;
  }
#else
  std::vector<fs::path> folders;
  for (const fs::path& t : targets)
    if (std::find(folders.begin(), folders.end(), t.parent_path()) == folders.end())
      folders.push_back(t.parent_path());
  for (const fs::path& folder : folders) {
    const int fd = ::open((folder.empty() ? fs::path(".") : folder).c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (err != 0) return err;
  }
  if (g_fileFlushWatch)
    for (const fs::path& t : targets) g_fileFlushWatch(paths::U8(t));
#endif
  return 0;
}

}  // namespace

bool WriteFilesAtomic(const std::vector<std::pair<std::string, std::string>>& filesToWrite,
                      size_t& written, std::string& error) {
  written = 0;
  if (filesToWrite.empty()) return true;
  std::vector<std::string> temps;
  std::vector<fs::path> targets;
  const auto discard = [&temps] {
    std::error_code ec;
    for (const std::string& t : temps) fs::remove(paths::FromU8(t), ec);
  };
  for (const auto& [gbkPath, content] : filesToWrite) {
    const fs::path target = paths::NativePath(gbkPath);
    std::string temp;
    if (!WriteTemp(target, gbkPath, content, temp, error, false)) {
      discard();
      return false;
    }
    temps.push_back(std::move(temp));
    targets.push_back(target);
  }
  if (const int err = SyncTemporaries(temps, targets); err != 0) {
    discard();
    error = WriteError(filesToWrite.front().first, err);
    return false;
  }
  std::vector<fs::path> folders;
  for (size_t i = 0; i < temps.size(); ++i) {
    if (!RenameOver(temps[i], paths::U8(targets[i]), error, false)) {
      temps.erase(temps.begin(), temps.begin() + static_cast<long>(i));
      discard();
      for (const fs::path& f : folders) SyncDir(f);
      return false;
    }
    ++written;
    if (std::find(folders.begin(), folders.end(), targets[i].parent_path()) == folders.end())
      folders.push_back(targets[i].parent_path());
  }
  for (const fs::path& f : folders) SyncDir(f);
  return true;
}

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

bool WriteFileAtomicBy(std::string_view gbkPath, const FillTemporary& fill, std::string& error) {
  const fs::path target = paths::NativePath(gbkPath);
  // An empty temporary reserves the name beside the target; `fill` then writes it whole.
  std::string temp;
  if (!WriteTemp(target, gbkPath, {}, temp, error, false)) return false;
  const auto discard = [&temp] {
    std::error_code ec;
    fs::remove(paths::FromU8(temp), ec);
  };
  if (!fill(temp, error)) {
    discard();
    return false;
  }
  int err = 0;
#ifdef _WIN32
  FILE* f = _wfopen(paths::FromU8(temp).c_str(), L"r+b");
  err = f ? SyncFile(f, target) : errno;
  if (f) fclose(f);
#else
  const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
  err = fd < 0 ? errno : SyncFile(fd, target);
  if (fd >= 0) ::close(fd);
#endif
  if (err != 0) {
    discard();
    error = WriteError(gbkPath, err);
    return false;
  }
  if (!RenameOver(temp, paths::U8(target), error)) {
    discard();
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
  m_replaced.clear();
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (!RenameOver(m_entries[i].tempPath, m_entries[i].target, error)) {
      for (size_t j = 0; j < i; ++j) m_replaced.push_back(text::Utf8ToGbk(m_entries[j].target));
      m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<long>(i));
      Discard();
      return false;
    }
  }
  m_entries.clear();
  return true;
}

ReadHandle OpenForReading(std::string_view gbkPath) {
  const fs::path p = paths::NativePath(gbkPath);
#ifdef _WIN32
  return ReadHandle(_wfopen(p.c_str(), L"rb"), std::fclose);
#else
  return ReadHandle(std::fopen(p.c_str(), "rb"), std::fclose);
#endif
}

bool ReadWholeFile(std::string_view gbkPath, std::string& bytes, std::string& error) {
  ReadHandle f = OpenForReading(gbkPath);
  if (!f) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(std::strerror(errno));
    return false;
  }
  std::error_code ec;
  const uintmax_t size = fs::file_size(paths::NativePath(gbkPath), ec);
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

bool AppendDurable(std::string_view gbkPath, std::string_view bytes, std::string& error) {
  const fs::path target = paths::NativePath(gbkPath);
  const fs::path dir = target.parent_path();
  if (!MakeFolder(dir, gbkPath, error)) return false;
  std::error_code ec;
  const bool isNew = !fs::exists(target, ec);
#ifdef _WIN32
  FILE* f = _wfopen(target.c_str(), L"ab");
  if (!f) {
    error = WriteError(gbkPath, errno);
    return false;
  }
  int werr = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() ? 0 : errno;
  if (werr == 0) werr = SyncFile(f, target);
  fclose(f);
  if (werr != 0) {
    error = WriteError(gbkPath, werr);
    return false;
  }
#else
  const int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = WriteError(gbkPath, errno);
    return false;
  }
  int werr = WriteAll(fd, bytes);
  if (werr == 0) werr = SyncFile(fd, target, SyncKind::DataOnly);
  if (::close(fd) != 0 && werr == 0) werr = errno;
  if (werr != 0) {
    error = WriteError(gbkPath, werr);
    return false;
  }
#endif
  if (isNew) SyncDir(dir);
  return true;
}

bool AppendRecords(std::string_view gbkPath, size_t& wholeBytes, std::string_view head,
                   std::string_view records, std::string& error) {
  std::error_code ec;
  const auto size = fs::file_size(paths::NativePath(gbkPath), ec);
  if (!ec && size != wholeBytes) {
    std::string bytes;
    if (wholeBytes == 0) {
      if (!RemoveFile(gbkPath, error)) return false;
    } else if (!ReadWholeFile(gbkPath, bytes, error) || bytes.size() < wholeBytes ||
               !WriteFileAtomic(gbkPath, std::string_view(bytes).substr(0, wholeBytes), error)) {
      if (error.empty())
        error = text::G("文件") + std::string(gbkPath) + text::G("比记录的短，无法续写");
      return false;
    }
  }
  std::string lines;
  if (wholeBytes == 0) lines = head;
  lines += records;
  if (!AppendDurable(gbkPath, lines, error)) return false;
  wholeBytes += lines.size();
  return true;
}

bool MoveFile(std::string_view gbkFrom, std::string_view gbkTo, std::string& error) {
  const fs::path from = paths::NativePath(gbkFrom);
  const fs::path to = paths::NativePath(gbkTo);
  std::error_code ec;
  if (!to.parent_path().empty()) CreateFolders(to.parent_path(), ec);
  if (fs::exists(to, ec)) {
    error = WriteError(gbkTo, EEXIST);
    return false;
  }
  if (g_renameFault) {
    if (const int err = g_renameFault(paths::U8(to)); err != 0) {
      error = WriteError(gbkTo, err);
      return false;
    }
  }
  fs::rename(from, to, ec);
  if (ec) {
    error = WriteError(gbkTo, ec.value());
    return false;
  }
  SyncDir(to.parent_path());
  if (from.parent_path() != to.parent_path()) SyncDir(from.parent_path());
  return true;
}

int RemoveStaleTemporaries(std::string_view gbkDir) {
  std::error_code ec;
  const fs::path dir = paths::NativePath(gbkDir);
  int removed = 0;
  std::vector<fs::path> stale;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = paths::U8(it->path().filename());
    // mkstemp's suffix: ".tmp-" and six characters.
    const size_t at = name.rfind(".tmp-");
    if (at == std::string::npos || at == 0 || name.size() != at + 11) continue;
    stale.push_back(it->path());
  }
  for (const fs::path& p : stale) {
    if (fs::remove(p, ec)) ++removed;
  }
  if (removed > 0) SyncDir(dir);
  return removed;
}

bool MakeFolders(std::string_view gbkDir, std::string& error) {
  std::error_code ec;
  if (CreateFolders(paths::NativePath(gbkDir), ec)) return true;
  error =
      text::G("无法创建目录") + std::string(gbkDir) + text::G("：") + text::Utf8ToGbk(ec.message());
  return false;
}

void FlushFolder(std::string_view gbkDir) {
  fs::path dir = paths::NativePath(gbkDir);
  if (dir.filename().empty()) dir = dir.parent_path();  // "LUCK_FILE/history/"
  SyncDir(dir);
}

void SetRenameFault(RenameFault fault) { g_renameFault = fault; }
void SetFolderFlushWatch(FolderFlushWatch watch) { g_flushWatch = watch; }
void SetFileFlushWatch(FileFlushWatch watch) { g_fileFlushWatch = watch; }

}  // namespace files
