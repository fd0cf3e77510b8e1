// Legacy xls (BIFF 2 to 8) through libfreexl (XlsFreexl.cpp).
//
// libfreexl reads beyond its buffers on some malformed files (found by fuzzing), so outside
// Windows it runs in a helper program of its own (tombolix_xls beside the program), started
// fresh for each file, that hands the rows back through a pipe: a file that crashes or hangs
// the library is reported as damaged and the program goes on. The helper is spawned, never
// forked from the program, whose threads would leave a forked copy unable to do more than
// async-signal-safe calls.
#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/import/Sheet.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace sheet {

#ifndef _WIN32

namespace {

constexpr int kQuietSeconds = 60;  // a child silent this long is taken as hung

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

bool ReadXls(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  return ReadXlsDirect(gbkPath, visitor, error);
}

#endif

}  // namespace sheet
