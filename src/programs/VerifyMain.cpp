// tombolix-verify: checks a finished draw from its files, without the program.
//   tombolix-verify BUNDLE.zip          an audit bundle exported by the results window
//   tombolix-verify DATA_FOLDER TASK_ID the data folder (holding DATA_FILE and LUCK_FILE)
//   tombolix-verify TASK_ID             the data folder of the program installed beside it
//   tombolix-verify --proof LINE NUMBER PROOF ROOT
//                                       whether LINE is line NUMBER of the list with ROOT
// Prints one line per batch and "验证通过", or what differs; exit status 0 or 1. With
// --english (or --lang en) it speaks English; --lang zh is the default, Chinese.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
//
#include <shellapi.h>
#endif

#include "core/records/ListTree.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/DrawVerify.h"
#include "core/verify/VerifyWords.h"

namespace {

TVerifyLanguage g_language = TVerifyLanguage::Chinese;

// UTF-8 out, as the console is told on Windows; in English when asked.
void Print(const std::string& gbk) {
  const std::string said = g_language == TVerifyLanguage::English ? VerifyLineInEnglish(gbk) : gbk;
  std::fputs((text::GbkToUtf8(said) + "\n").c_str(), stdout);
}

// Takes the language options out of the arguments; false on a language it does not speak.
bool TakeLanguage(std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size();) {
    if (args[i] == "--english" || args[i] == "--lang=en") {
      g_language = TVerifyLanguage::English;
    } else if (args[i] == "--lang=zh") {
      g_language = TVerifyLanguage::Chinese;
    } else if (args[i] == "--lang" && i + 1 < args.size() &&
               (args[i + 1] == "en" || args[i + 1] == "zh")) {
      g_language = args[i + 1] == "en" ? TVerifyLanguage::English : TVerifyLanguage::Chinese;
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (args[i] == "--lang" || args[i].rfind("--lang=", 0) == 0) {
      return false;
    } else {
      ++i;
      continue;
    }
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return true;
}

// --proof LINE NUMBER PROOF ROOT: yes (0) or no (1) in words.
int CheckLineProof(const std::vector<std::string>& args) {
  const std::string& number = args[3];
  uint64_t n = 0;
  if (number.empty() || number.size() > 18 || !text::IsAllDigits(number)) {
    Print(text::G("否: 行号") + number + text::G("不是正整数"));
    return 1;
  }
  n = std::stoull(number);
  uint64_t count = 0;
  const listtree::TProofVerdict v = listtree::CheckProof(args[2], n, args[4], args[5], count);
  Print(ProofAnswer(v, n, count, args[5]));
  return v == listtree::TProofVerdict::Holds ? 0 : 1;
}

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

void Usage() {
  if (g_language == TVerifyLanguage::English) {
    Print("Usage: tombolix-verify AUDIT_BUNDLE.zip");
    Print("       tombolix-verify DATA_FOLDER TASK_NUMBER");
    Print("       tombolix-verify TASK_NUMBER");
    Print("       tombolix-verify --proof LINE LINE_NUMBER PROOF ROOT");
    Print("Options: --english (or --lang en) for English, --lang zh for Chinese");
    return;
  }
  Print(text::G("用法: tombolix-verify 审计包.zip"));
  Print(text::G("      tombolix-verify 数据目录 抽奖任务号"));
  Print(text::G("      tombolix-verify 抽奖任务号"));
  Print(text::G("      tombolix-verify --proof 名单中的一行 行号 证明 根值"));
  Print(text::G("选项: --english (或 --lang en) 用英文输出, --lang zh 用中文输出"));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = Args(argc, argv);
  const bool spoken = TakeLanguage(args);
  int32_t taskId = 0;
  TVerifyResult r;
  if (spoken && args.size() == 6 && args[1] == "--proof") {
    return CheckLineProof(args);
  } else if (!spoken || (args.size() >= 2 && args[1].rfind("--", 0) == 0)) {
    Usage();
    return 1;
  } else if (args.size() == 2 && TaskNumber(args[1], taskId)) {
    r = VerifyDrawFolder(paths::DataRoot(), taskId);
  } else if (args.size() == 2) {
    r = VerifyAuditBundle(args[1]);
  } else if (args.size() == 3 && TaskNumber(args[2], taskId)) {
    r = VerifyDrawFolder(args[1], taskId);
  } else {
    Usage();
    return 1;
  }
  // The list's root and the openings of the task's draw, then the verdict.
  for (size_t i = 0; i + 1 < r.Lines.size(); ++i) Print(r.Lines[i]);
  if (!r.Voucher.empty()) Print(r.Voucher);
  if (!r.ListRoot.empty())
    Print(text::G("名单哈希树根值: ") + r.ListRoot + " (" + std::to_string(r.ListCount) +
          text::G("行)"));
  for (const std::string& line : r.Openings) Print(line);
  if (!r.Lines.empty()) Print(r.Lines.back());
  return r.Passed ? 0 : 1;
}
