// tombolix_audit_bundle DATA_FOLDER TASK_ID OUT.zip: the audit bundle of a finished draw, as
// the results window exports it, for checking it with tombolix-verify on another system
// (scripts/test-windows). Paths in UTF-8 (on Windows, from the wide command line).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
//
#include <shellapi.h>
#endif

#include "core/db/TombolixDM.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/verify/AuditBundle.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  int n = 0;
  wchar_t** w = ::CommandLineToArgvW(::GetCommandLineW(), &n);
  for (int i = 0; w && i < n; ++i) args.push_back(paths::U8(std::filesystem::path(w[i])));
  if (w) ::LocalFree(w);
#else
  args.assign(argv, argv + argc);
#endif
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: %s DATA_FOLDER TASK_ID OUT.zip\n", argc > 0 ? argv[0] : "");
    return 2;
  }
  paths::SetDataRoot(text::Utf8ToGbk(args[1]));
  if (!paths::FileExists(paths::DatabasePath())) {
    std::fprintf(stderr, "no database in %s\n", args[1].c_str());
    return 1;
  }
  TTombolixDataModule dm;
  TLuckTask task;
  std::string error;
  if (!dm.DataModuleCreate() || !LoadLuckTask(std::stoi(args[2]), task, error) ||
      !WriteAuditBundle(task, text::Utf8ToGbk(args[3]), error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  return 0;
}
