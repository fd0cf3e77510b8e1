#include "JournalForge.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempRoot.h"
#include "core/draw/DrawJournal.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

void ForgeFinishedJournal(int taskId, const std::string& startsWith, const std::string& field,
                          const std::string& value) {
  const std::filesystem::path p = paths::NativePath(paths::FinishedJournalPath(taskId));
  std::string all = ReadAll(p);
  const size_t at = all.find(startsWith);
  ASSERT_NE(at, std::string::npos);
  const size_t end = all.find("\r\n", at);
  std::string line = all.substr(at, end - at);
  line = line.substr(0, line.rfind("\tcheck="));
  const size_t f = line.find("\t" + field + "=");
  ASSERT_NE(f, std::string::npos);
  const size_t fEnd = line.find('\t', f + 1);
  line = line.substr(0, f) + "\t" + field + "=" + value +
         (fEnd == std::string::npos ? "" : line.substr(fEnd));
  all = all.substr(0, at) + SealJournalRecord(line) + all.substr(end + 2);
  WriteAll(p, all);
}

std::string VerifyText(const TVerifyResult& r) {
  std::string s;
  for (const std::string& l : r.Lines) s += l + "\n";
  return text::GbkToUtf8(s);
}
