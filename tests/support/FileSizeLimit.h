// For tests of a full disk: while a FileSizeLimit lives, no file of this process may grow
// past `bytes`; a write that crosses the limit writes what fits and the next one fails
// with EFBIG, as on a full disk.
#pragma once

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>

#include <cstdint>

class FileSizeLimit {
 public:
  explicit FileSizeLimit(int64_t bytes) {
    m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit r = m_old;
    r.rlim_cur = static_cast<rlim_t>(bytes);
    m_set = ::setrlimit(RLIMIT_FSIZE, &r) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    ::signal(SIGXFSZ, m_oldHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Set() const { return m_set; }

 private:
  rlimit m_old{};
  void (*m_oldHandler)(int) = nullptr;
  bool m_set = false;
};
#endif
