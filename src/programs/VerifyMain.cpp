// tombolix-verify: checks a finished draw from its files, without the program.
//   tombolix-verify BUNDLE.zip          an audit bundle exported by the results window
//   tombolix-verify DATA_FOLDER TASK_ID the data folder (holding DATA_FILE and LUCK_FILE)
//   tombolix-verify TASK_ID             the data folder of the program installed beside it
// Prints one line per batch and "验证通过", or what differs; exit status 0 or 1.
#include <cstdio>
#include <string>

#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/DrawVerify.h"

namespace {

// The console's own encoding: UTF-8 here, the GBK code page on Windows.
void Print(const std::string& gbk) {
#ifdef _WIN32
  std::fputs((gbk + "\n").c_str(), stdout);
#else
  std::fputs((text::GbkToUtf8(gbk) + "\n").c_str(), stdout);
#endif
}

std::string Arg(const char* a) {
#ifdef _WIN32
  return a;
#else
  return text::Utf8ToGbk(a);
#endif
}

bool TaskNumber(const std::string& s, int32_t& id) {
  if (s.empty() || s.size() > 9 || !text::IsAllDigits(s)) return false;
  id = static_cast<int32_t>(std::stol(s));
  return id > 0;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t taskId = 0;
  TVerifyResult r;
  if (argc == 2 && TaskNumber(argv[1], taskId)) {
    r = VerifyDrawFolder(paths::DataRoot(), taskId);
  } else if (argc == 2) {
    r = VerifyAuditBundle(Arg(argv[1]));
  } else if (argc == 3 && TaskNumber(argv[2], taskId)) {
    r = VerifyDrawFolder(Arg(argv[1]), taskId);
  } else {
    Print(text::G("用法: tombolix-verify 审计包.zip"));
    Print(text::G("      tombolix-verify 数据目录 抽奖任务号"));
    Print(text::G("      tombolix-verify 抽奖任务号"));
    return 1;
  }
  for (const std::string& line : r.Lines) Print(line);
  return r.Passed ? 0 : 1;
}
