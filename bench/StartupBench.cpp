// Start-up: how long until the main window is first painted, beside a bare Qt Widgets window
// on the same machine. Both programs are started in turn, N times each (default 25), from
// spawn to the line their first-paint probe writes, which also gives the processor time they
// used up to then (steadier than the wall clock on a busy machine); the program runs from a
// copy in a fresh folder whose data a first, unmeasured start creates. The platform is
// QT_QPA_PLATFORM's, else xcb when DISPLAY is set, else offscreen.
//
//   build/bench/bench_startup [N [PROGRAM]]
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/bench_startup [N [PROGRAM]]
//
// PROGRAM measures another build of the program (an older one, say) in place of this one.
// The wall clock moves with the X server more than with the program: on this project's
// virtual machines the bare window's connection took 9 ms on one Xvfb and 20 ms on another
// at the same moment, and a server could go from one to the other. The program loads its font
// configuration during that connection, so a slow connection flatters its ratio; the
// processor-time column (and a few runs on different servers) tells the two apart.
// The target compares with the bare window; the same window with one line of Chinese text is
// shown beside them, for the part of the start-up that any window with text pays.
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

struct Start {
  double wallMs = -1;  // from spawn to the first paint; negative when it never painted
  double cpuMs = -1;   // processor time of the program up to then
};

Start TimeToFirstPaint(const std::string& exe, const std::string& arg, const std::string& platform,
                       const std::string& tmp) {
  Start result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
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
  std::string program = exe, argument = arg;
  char* argv[] = {program.data(), arg.empty() ? nullptr : argument.data(), nullptr};
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
  if (rc == 0) {
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    char buf[64];
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 30000) == 1) {
      const ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      if (result.wallMs < 0)
        result.wallMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
      line.append(buf, static_cast<size_t>(n));
    }
    if (line.find('\n') != std::string::npos)
      result.cpuMs = std::atof(line.c_str()) / 1000.0;
    else
      result.wallMs = -1;
    if (result.wallMs < 0) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  ::close(fds[0]);
  return result;
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
  const fs::path source = argc > 2 ? fs::path(argv[2]) : fs::path(TOMBOLIX_EXE);
  fs::copy_file(source, program);
  // What the program loads from its folder goes with it.
  for (const char* beside : {"tombolix_xls", "tombolix_music.so"}) {
    std::error_code ec;
    fs::copy_file(source.parent_path() / beside, dir / beside, ec);
  }
  fs::create_directory(dir / "tmp");
  const std::string tmp = (dir / "tmp").string();

  struct Subject {
    const char* name;
    std::string exe, arg;
    std::vector<double> wall, cpu;
  } subjects[] = {{"bare Qt window", BARE_WINDOW_EXE, "", {}, {}},
                  {"main window", program.string(), "", {}, {}},
                  {"bare with text", BARE_WINDOW_EXE, "text", {}, {}}};
  // The first start of each loads the libraries from disk and creates the program's data.
  for (Subject& s : subjects) TimeToFirstPaint(s.exe, s.arg, platform, tmp);
  for (int i = 0; i < runs; ++i)
    for (Subject& s : subjects) {
      const Start t = TimeToFirstPaint(s.exe, s.arg, platform, tmp);
      if (t.wallMs < 0) {
        std::fprintf(stderr, "%s did not paint its window\n", s.name);
        return 1;
      }
      s.wall.push_back(t.wallMs);
      s.cpu.push_back(t.cpuMs);
    }
  std::printf("ms to the first paint, %d starts each on %s\n", runs, platform.c_str());
  std::printf("%-16s %12s %10s %10s %14s\n", "", "wall median", "min", "max", "cpu median");
  for (const Subject& s : subjects)
    std::printf("%-16s %12.1f %10.1f %10.1f %14.1f\n", s.name, Median(s.wall),
                *std::min_element(s.wall.begin(), s.wall.end()),
                *std::max_element(s.wall.begin(), s.wall.end()), Median(s.cpu));
  std::printf("main / bare      %12.2f %21s %14.2f   (target: at most 1.30)\n",
              Median(subjects[1].wall) / Median(subjects[0].wall), "",
              Median(subjects[1].cpu) / Median(subjects[0].cpu));
  std::printf("main / with text %12.2f %21s %14.2f\n",
              Median(subjects[1].wall) / Median(subjects[2].wall), "",
              Median(subjects[1].cpu) / Median(subjects[2].cpu));
  fs::remove_all(dir);
  return 0;
}
