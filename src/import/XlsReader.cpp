// Legacy xls (BIFF 2 to 8) through libfreexl: the first worksheet, cells as freexl gives
// them (texts UTF-8, dates already as "2024-03-12" / "2024-03-12 08:30:00").
//
// libfreexl reads beyond its buffers on some malformed files (found by fuzzing), so outside
// Windows it runs in a helper program of its own (tombolix_xls beside the program), started
// fresh for each file, that hands the rows back through a pipe: a file that crashes or hangs
// the library is reported as damaged and the program goes on. The helper is spawned, never
// forked from the program, whose threads would leave a forked copy unable to do more than
// async-signal-safe calls.
#include <freexl.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "import/Cells.h"
#include "import/Sheet.h"
#include "import/TextDecode.h"
#include "text/Gbk.h"
#include "text/Paths.h"

namespace sheet {

namespace {

// An Office file protected by a password is a compound file holding an encrypted package.
bool IsEncryptedPackage(std::string_view bytes) {
  static const std::string_view kName("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  return bytes.find(kName) != std::string_view::npos;
}

// A BIFF8 workbook protected by a password starts its globals with a FILEPASS record right
// after the BOF record.
bool HasFilePass(std::string_view bytes) {
  static const std::string_view kBof("\x09\x08\x10\x00\x00\x06\x05\x00", 8);
  const std::size_t at = bytes.find(kBof);
  return at != std::string_view::npos && bytes.size() >= at + 22 &&
         bytes.substr(at + 20, 2) == std::string_view("\x2F\x00", 2);
}

std::string Encrypted(std::string_view name) {
  return text::G("文件已加密,请先在电子表格软件中取消密码后再导入:") + std::string(name);
}

struct Handle {
  const void* h = nullptr;
  ~Handle() {
    if (h) freexl_close(h);
  }
};

}  // namespace

static bool ReadXlsHere(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  const std::string corrupt =
      text::G("文件不是有效的电子表格文件,或者已经损坏:") + std::string(gbkPath);
  bool filePass = false;
  {
    std::string bytes;
    if (!textsrc::ReadWholeFile(gbkPath, bytes, error)) return false;
    if (IsEncryptedPackage(bytes)) {
      error = Encrypted(gbkPath);
      return false;
    }
    filePass = HasFilePass(bytes);
  }
  Handle x;
  const std::string native = paths::U8(paths::NativePath(gbkPath));
  if (freexl_open(native.c_str(), &x.h) != FREEXL_OK) {
    error = corrupt;
    return false;
  }
  // libfreexl opens a password-protected (RC4) workbook without giving a handle, but also
  // some plain workbooks it cannot read (LibreOffice writes them too): only the first kind
  // may be called encrypted, or the operator hunts for a password that does not exist.
  if (!x.h) {
    error = filePass ? Encrypted(gbkPath)
                     : text::G("文件无法读取,请在电子表格软件中另存为xlsx格式后再导入:") +
                           std::string(gbkPath);
    return false;
  }
  unsigned int info = 0;
  if (freexl_get_info(x.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
      info == FREEXL_BIFF_OBFUSCATED) {
    error = Encrypted(gbkPath);
    return false;
  }
  unsigned int sheets = 0;
  if (freexl_get_info(x.h, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0 ||
      freexl_select_active_worksheet(x.h, 0) != FREEXL_OK) {
    error = text::G("文件中找不到工作表,不是有效的Excel文件:") + std::string(gbkPath);
    return false;
  }
  unsigned int rows = 0;
  unsigned short cols = 0;
  if (freexl_worksheet_dimensions(x.h, &rows, &cols) != FREEXL_OK) {
    error = corrupt;
    return false;
  }
  std::vector<std::string> cells;
  for (unsigned int r = 0; r < rows; ++r) {
    cells.clear();
    const unsigned short width =
        static_cast<unsigned short>(std::min<size_t>(cols, visitor.maxColumns));
    cells.resize(width);
    for (unsigned short c = 0; c < width; ++c) {
      FreeXL_CellValue v;
      if (freexl_get_cell_value(x.h, r, c, &v) != FREEXL_OK) {
        error = corrupt;
        return false;
      }
      std::string& out = cells[c];
      switch (v.type) {
        case FREEXL_CELL_INT:
          out = std::to_string(v.value.int_value);
          break;
        case FREEXL_CELL_DOUBLE:
          out = FormatDouble(v.value.double_value);
          break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
          if (v.value.text_value) Utf8CellToGbk(v.value.text_value, out);
          break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_TIME:
          if (v.value.text_value) out = v.value.text_value;
          break;
        case FREEXL_CELL_DATETIME:
          if (v.value.text_value) {
            out = v.value.text_value;
            // libfreexl calls a cell a date-time when its format shows both: past the id in
            // column 1 it keeps its time at midnight too. The id shows a plain date then.
            if (c == 0 && out.size() == 19 && out.compare(10, 9, " 00:00:00") == 0) out.resize(10);
          }
          break;
        default:
          break;
      }
    }
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    if (visitor.onPulse && ((r + 1) & 0x3FFF) == 0) visitor.onPulse();
    if (!visitor.onRow(static_cast<int64_t>(r) + 1, cells)) break;
  }
  return true;
}

#ifndef _WIN32

namespace {

constexpr int kQuietSeconds = 60;  // a child silent this long is taken as hung

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void PutString(std::string& out, std::string_view s) {
  const uint32_t n = static_cast<uint32_t>(s.size());
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
  out.append(s);
}

// Reads the child's messages: [int64 row][uint32 cells]{[uint32 len][bytes]}..., ended by
// row -1 with [uint32 ok][uint32 len][error text].
class PipeReader {
 public:
  explicit PipeReader(int fd) : m_fd(fd) {}
  bool Read(void* out, size_t size) {
    char* p = static_cast<char*>(out);
    while (size > 0) {
      if (m_at == m_end && !Fill()) return false;
      const size_t n = std::min(size, m_end - m_at);
      std::memcpy(p, m_buf + m_at, n);
      m_at += n;
      p += n;
      size -= n;
    }
    return true;
  }
  bool ReadString(std::string& s) {
    uint32_t n = 0;
    if (!Read(&n, sizeof n) || n > (64u << 20)) return false;
    s.resize(n);
    return n == 0 || Read(s.data(), n);
  }

 private:
  bool Fill() {
    pollfd pfd{m_fd, POLLIN, 0};
    while (true) {
      const int r = ::poll(&pfd, 1, kQuietSeconds * 1000);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      const ssize_t n = ::read(m_fd, m_buf, sizeof m_buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      m_at = 0;
      m_end = static_cast<size_t>(n);
      return true;
    }
  }
  int m_fd;
  char m_buf[1 << 16];
  size_t m_at = 0, m_end = 0;
};

std::string& HelperOverride() {
  static std::string path;
  return path;
}

// The rows of the file, written to `fd` in the form PipeReader reads.
int ServeRows(std::string_view gbkPath, int fd) {
  std::string out;
  Visitor rows;
  rows.onRow = [&](int64_t number, const std::vector<std::string>& cells) {
    out.append(reinterpret_cast<const char*>(&number), sizeof number);
    const uint32_t n = static_cast<uint32_t>(cells.size());
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    for (const std::string& c : cells) PutString(out, c);
    if (out.size() >= (1u << 16)) {
      if (!WriteAll(fd, out.data(), out.size())) return false;
      out.clear();
    }
    return true;
  };
  std::string why;
  const bool ok = ReadXlsHere(gbkPath, rows, why);
  const int64_t end = -1;
  out.append(reinterpret_cast<const char*>(&end), sizeof end);
  const uint32_t okFlag = ok ? 1 : 0;
  out.append(reinterpret_cast<const char*>(&okFlag), sizeof okFlag);
  PutString(out, why);
  return WriteAll(fd, out.data(), out.size()) ? 0 : 1;
}

// Starts the helper on the file with its output on the write end of a pipe; false when it
// cannot be started.
bool SpawnHelper(const std::string& helper, std::string_view gbkPath, pid_t& pid, int& readFd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // A fresh signal state: whatever the program blocks or ignores is not the helper's.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::string path(gbkPath);
  char* argv[] = {const_cast<char*>(helper.c_str()), const_cast<char*>("--"),
                  const_cast<char*>(path.c_str()), nullptr};
  const int rc = ::posix_spawn(&pid, helper.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return false;
  }
  readFd = fds[0];
  return true;
}

}  // namespace

void SetXlsHelperPath(std::string_view nativePath) { HelperOverride() = std::string(nativePath); }

std::string XlsHelperPath() {
  if (!HelperOverride().empty()) return HelperOverride();
  return paths::U8(paths::NativePath(paths::ProgramDir() + kXlsHelperName));
}

int XlsHelperMain(int argc, char** argv) {
  if (argc != 3 || std::string_view(argv[1]) != "--") {
    std::fprintf(stderr, "%s: reads an xls workbook for Qarvo; not meant to be run by hand\n",
                 argc > 0 ? argv[0] : kXlsHelperName);
    return 2;
  }
  std::signal(SIGPIPE, SIG_DFL);
  return ServeRows(argv[2], STDOUT_FILENO);
}

bool ReadXls(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  const std::string corrupt =
      text::G("文件不是有效的电子表格文件,或者已经损坏:") + std::string(gbkPath);
  const std::string helper = XlsHelperPath();
  pid_t pid = 0;
  int readFd = -1;
  if (!SpawnHelper(helper, gbkPath, pid, readFd)) {
    error = text::G("无法读取xls文件:找不到辅助程序") + text::Utf8ToGbk(helper) +
            text::G(",请重新安装本软件,或将文件另存为xlsx格式后再导入");
    return false;
  }
  bool finished = false, ok = false, stopped = false;
  {
    PipeReader in(readFd);
    std::vector<std::string> cells;
    uint64_t rows = 0;
    while (true) {
      int64_t number = 0;
      if (!in.Read(&number, sizeof number)) break;
      if (number == -1) {
        uint32_t okFlag = 0;
        std::string why;
        if (in.Read(&okFlag, sizeof okFlag) && in.ReadString(why)) {
          finished = true;
          ok = okFlag == 1;
          if (!ok) error = why;
        }
        break;
      }
      uint32_t n = 0;
      if (!in.Read(&n, sizeof n) || n > 65536) break;
      cells.resize(n);
      bool good = true;
      for (std::string& c : cells) good = good && in.ReadString(c);
      if (!good) break;
      if (cells.size() > visitor.maxColumns) cells.resize(visitor.maxColumns);
      if (visitor.onPulse && (++rows & 0x3FFF) == 0) visitor.onPulse();
      if (!visitor.onRow(number, cells)) {
        stopped = true;
        break;
      }
    }
  }
  ::close(readFd);
  if (!finished) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (stopped) return true;
  if (!finished) {
    error = corrupt;
    return false;
  }
  return ok;
}

#else

void SetXlsHelperPath(std::string_view) {}
std::string XlsHelperPath() { return std::string(); }
int XlsHelperMain(int, char**) { return 2; }

bool ReadXls(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  return ReadXlsHere(gbkPath, visitor, error);
}

#endif

}  // namespace sheet
