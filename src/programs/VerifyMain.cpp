// tombolix-verify: checks a finished draw from its files, without the program.
//   tombolix-verify BUNDLE.zip          an audit bundle exported by the results window
//   tombolix-verify DATA_FOLDER TASK_ID the data folder (holding DATA_FILE and LUCK_FILE)
//   tombolix-verify TASK_ID             the data folder of the program installed beside it
// Prints one line per batch and "验证通过", or what differs; exit status 0 or 1.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
//
#include <shellapi.h>
#endif

#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/DrawVerify.h"

namespace {

// UTF-8 out, as the console is told on Windows.
void Print(const std::string& gbk) { std::fputs((text::GbkToUtf8(gbk) + "\n").c_str(), stdout); }

// The arguments in GBK: from UTF-8 here; on Windows from the wide command line, whatever the
// system's code page.
std::vector<std::string> Args(int argc, char** argv) {
  std::vector<std::string> out;
#ifdef _WIN32
  (void)argv;
  int n = 0;
  wchar_t** w = ::CommandLineToArgvW(::GetCommandLineW(), &n);
  for (int i = 0; w && i < n && i < argc; ++i)
    out.push_back(text::Utf8ToGbk(paths::U8(std::filesystem::path(w[i]))));
  if (w) ::LocalFree(w);
  ::SetConsoleOutputCP(CP_UTF8);
#else
  for (int i = 0; i < argc; ++i) out.push_back(text::Utf8ToGbk(argv[i]));
#endif
  return out;
}

bool TaskNumber(const std::string& s, int32_t& id) {
  if (s.empty() || s.size() > 9 || !text::IsAllDigits(s)) return false;
  id = static_cast<int32_t>(std::stol(s));
  return id > 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Args(argc, argv);
  int32_t taskId = 0;
  TVerifyResult r;
  if (args.size() == 2 && TaskNumber(args[1], taskId)) {
    r = VerifyDrawFolder(paths::DataRoot(), taskId);
  } else if (args.size() == 2) {
    r = VerifyAuditBundle(args[1]);
  } else if (args.size() == 3 && TaskNumber(args[2], taskId)) {
    r = VerifyDrawFolder(args[1], taskId);
  } else {
    Print(text::G("用法: tombolix-verify 审计包.zip"));
    Print(text::G("      tombolix-verify 数据目录 抽奖任务号"));
    Print(text::G("      tombolix-verify 抽奖任务号"));
    return 1;
  }
  // The verdict comes last, after the openings of the task's draw.
  for (size_t i = 0; i + 1 < r.Lines.size(); ++i) Print(r.Lines[i]);
  for (const std::string& line : r.Openings) Print(line);
  if (!r.Lines.empty()) Print(r.Lines.back());
  return r.Passed ? 0 : 1;
}
