// Start-up: how long until the main window is first painted, beside a bare Qt Widgets window
// on the same machine. Both programs are started in turn, N times each (default 25), from
// spawn to the byte their first-paint probe writes; the program runs from a copy in a fresh
// folder whose data a first, unmeasured start creates. The platform is QT_QPA_PLATFORM's, else
// xcb when DISPLAY is set, else offscreen.
//
//   build/bench/bench_startup [N]
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/bench_startup [N]
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Milliseconds from spawn to the first paint; negative when the program never painted.
double TimeToFirstPaint(const std::string& exe, const std::string& platform,
                        const std::string& tmp) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v(*e);
    if (v.rfind("QT_QPA_PLATFORM=", 0) != 0 && v.rfind("TMPDIR=", 0) != 0) env.push_back(v);
  }
  env.push_back("QT_QPA_PLATFORM=" + platform);
  env.push_back("TOMBOLIX_SHOWN_FD=3");
  env.push_back("TMPDIR=" + tmp);  // its own single-instance lock
  std::vector<char*> envp;
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string program = exe;
  char* argv[] = {program.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  double ms = -1;
  if (rc == 0) {
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    if (::poll(&p, 1, 30000) == 1 && ::read(fds[0], &c, 1) == 1)
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count();
    if (ms < 0) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  ::close(fds[0]);
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
  // The platform of the environment: a real or virtual display (xcb), else offscreen.
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  const std::string platform = qpa && *qpa ? qpa : std::getenv("DISPLAY") ? "xcb" : "offscreen";
  char tmpl[] = "/tmp/tombolix-startup-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  const fs::path dir(tmpl);
  const fs::path program = dir / "tombolix";
  fs::copy_file(TOMBOLIX_EXE, program);
  fs::copy_file(fs::path(TOMBOLIX_EXE).parent_path() / "tombolix_xls", dir / "tombolix_xls");
  fs::create_directory(dir / "tmp");
  const std::string tmp = (dir / "tmp").string();

  struct Subject {
    const char* name;
    std::string exe;
    std::vector<double> ms;
  } subjects[] = {{"bare Qt window", BARE_WINDOW_EXE, {}}, {"main window", program.string(), {}}};
  // The first start of each loads the libraries from disk and creates the program's data.
  for (Subject& s : subjects) TimeToFirstPaint(s.exe, platform, tmp);
  for (int i = 0; i < runs; ++i)
    for (Subject& s : subjects) {
      const double ms = TimeToFirstPaint(s.exe, platform, tmp);
      if (ms < 0) {
        std::fprintf(stderr, "%s did not paint its window\n", s.name);
        return 1;
      }
      s.ms.push_back(ms);
    }
  std::printf("%-16s %10s %10s %10s   (%d starts each on %s, ms to first paint)\n", "", "median",
              "min", "max", runs, platform.c_str());
  for (const Subject& s : subjects)
    std::printf("%-16s %10.1f %10.1f %10.1f\n", s.name, Median(s.ms),
                *std::min_element(s.ms.begin(), s.ms.end()),
                *std::max_element(s.ms.begin(), s.ms.end()));
  std::printf("main / bare      %10.2f   (target: at most 1.30)\n",
              Median(subjects[1].ms) / Median(subjects[0].ms));
  fs::remove_all(dir);
  return 0;
}
