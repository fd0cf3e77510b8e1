// Legacy xls (BIFF 2 to 8) through libfreexl (XlsFreexl.cpp).
//
// libfreexl reads beyond its buffers on some malformed files (found by fuzzing), so it runs in
// a helper program of its own (tombolix_xls beside the program), started fresh for each file,
// that hands the rows back through a pipe: a file that crashes or hangs the library is
// reported as damaged and the program goes on. The helper is spawned, never forked from the
// program, whose threads would leave a forked copy unable to do more than async-signal-safe
// calls; on Windows it is started with CreateProcess, its output on an anonymous pipe.
#ifdef _WIN32
#include <windows.h>
#else
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

namespace {

constexpr int kQuietSeconds = 60;  // a child silent this long is taken as hung

#ifdef _WIN32
using TPipe = HANDLE;
#else
using TPipe = int;
#endif

// row -1 with [uint32 ok][uint32 len][error text].
class PipeReader {
 public:
  explicit PipeReader(TPipe fd) : m_fd(fd) {}
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
#ifdef _WIN32
  // An anonymous pipe cannot be waited on: it is looked at every few milliseconds until it has
  // bytes, the helper has closed it, or the helper has been quiet too long.
  bool Fill() {
    const ULONGLONG deadline = ::GetTickCount64() + kQuietSeconds * 1000ull;
    DWORD wait = 1;
    while (true) {
      DWORD ready = 0;
      if (!::PeekNamedPipe(m_fd, nullptr, 0, nullptr, &ready, nullptr)) return false;
      if (ready > 0) {
        DWORD n = 0;
        if (!::ReadFile(m_fd, m_buf, sizeof m_buf, &n, nullptr) || n == 0) return false;
        m_at = 0;
        m_end = n;
        return true;
      }
      if (::GetTickCount64() >= deadline) return false;
      ::Sleep(wait);
      wait = wait < 20 ? wait * 2 : 20;
    }
  }
#else
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
#endif
  TPipe m_fd;
  char m_buf[1 << 16];
  size_t m_at = 0, m_end = 0;
};

std::string& HelperOverride() {
  static std::string path;
  return path;
}

#ifdef _WIN32

std::wstring Wide(std::string_view utf8) {
  std::wstring w(utf8.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      w.data(), static_cast<int>(w.size()));
  w.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return w;
}

// One argument as CommandLineToArgvW reads it back: quoted, with its quotes and the
// backslashes before them doubled.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
    } else if (c == L'"') {
      out.append(slashes * 2 + 1, L'\\');
      slashes = 0;
    } else {
      out.append(slashes, L'\\');
      slashes = 0;
    }
    if (c != L'\\') out.push_back(c);
  }
  out.append(slashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

struct THelper {
  HANDLE process = nullptr;
  HANDLE out = nullptr;  // the read end of its standard output
};

// The helper on the file (its path handed over in UTF-8, whatever the system's code page),
// its standard output on a pipe whose write end only the helper holds, its standard input and
// error on NUL, no console window.
bool SpawnHelper(const std::string& helper, std::string_view gbkPath, THelper& h) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return false;
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = writeEnd;
  si.hStdError = nul;
  const std::wstring exe = Wide(helper);
  std::wstring line = Quoted(exe) + L" -- " + Quoted(Wide(text::GbkToUtf8(gbkPath)));
  PROCESS_INFORMATION pi{};
  const BOOL started = ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  ::CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
  if (!started) {
    ::CloseHandle(readEnd);
    return false;
  }
  ::CloseHandle(pi.hThread);
  h.process = pi.hProcess;
  h.out = readEnd;
  return true;
}

#else

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

#endif

}  // namespace

void SetXlsHelperPath(std::string_view nativePath) { HelperOverride() = std::string(nativePath); }

std::string XlsHelperPath() {
  if (!HelperOverride().empty()) return HelperOverride();
#ifdef _WIN32
  return paths::U8(paths::NativePath(paths::ProgramDir() + kXlsHelperName + ".exe"));
#else
  return paths::U8(paths::NativePath(paths::ProgramDir() + kXlsHelperName));
#endif
}

bool ReadXls(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  const std::string corrupt =
      text::G("文件不是有效的电子表格文件,或者已经损坏:") + std::string(gbkPath);
  const std::string helper = XlsHelperPath();
#ifdef _WIN32
  THelper child;
  const bool spawned = SpawnHelper(helper, gbkPath, child);
  const TPipe readFd = child.out;
#else
  pid_t pid = 0;
  int readFd = -1;
  const bool spawned = SpawnHelper(helper, gbkPath, pid, readFd);
#endif
  if (!spawned) {
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
#ifdef _WIN32
  ::CloseHandle(readFd);
  if (!finished) ::TerminateProcess(child.process, 1);
  ::WaitForSingleObject(child.process, INFINITE);
  ::CloseHandle(child.process);
#else
  ::close(readFd);
  if (!finished) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
#endif
  if (stopped) return true;
  if (!finished) {
    error = corrupt;
    return false;
  }
  return ok;
}

}  // namespace sheet
