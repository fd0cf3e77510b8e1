// Writes finished draws for PageChecker.py, a checker written from docs/verify.md alone:
//   <dir>/rules     tickets, both quotas, exclusions (a task, lists), a condition, presets,
//                   replacements;
//   <dir>/flat      the same list and presets without rules, with replacements;
//   <dir>/uniform   conditions and a quota without tickets, with replacements.
// Each folder is a data root (DATA_FILE/, LUCK_FILE/) of task 1001, whose draw is its third
// opening, with list_root.txt: the list's root as tombolix-verify's check gives it.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TaskBuilder.h"
#include "core/config/TaskRules.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/verify/DrawVerify.h"

using text::G;

namespace {

bool Draw(const std::string& root, const char* rulesUtf8, uint32_t secret) {
  std::filesystem::create_directories(root);
  paths::SetDataRoot(root);
  TTombolixDataModule dm;
  if (!dm.DataModuleCreate()) return false;
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i)
    lines.push_back(std::to_string(200 + i) + " " + G("人") + std::to_string(i) + " " +
                    std::string(1, "ABCD"[i % 4]) + " " +
                    G(i % 3 == 0   ? "总部"
                      : i % 3 == 1 ? "北京"
                                   : "上海") +
                    " " + std::to_string(i % 7));
  TaskDef def;
  def.items = {{G("一等奖"), 3, 2, ""}, {G("二等奖"), 4, 2, ""}, {G("三等奖"), 5, 5, ""}};
  def.title = G("号码 姓名 部门 分公司 工龄");
  def.candidates = lines;
  const std::vector<int> ids = BuildTask(dm, def);
  WritePresets(1001, ids[0], {lines[0], lines[5], "nobody"});
  std::string err;
  std::error_code ec;
  std::filesystem::create_directories(paths::NativePath(paths::LuckFileDir()), ec);
  if (!files::WriteFileAtomic(paths::WinnerFilePath(1002, 3001),
                              def.title + "\r\n" + lines[7] + "\r\n" + lines[9] + "\r\n", err))
    return false;
  TTaskRules rules;
  if (!ParseRules(G(rulesUtf8), rules, err) || !config::SaveTaskRules(dm, 1001, rules, err))
    return false;
  TRandom rng;
  TDrawFailure f;
  // Two openings left before their first batch: their heads go to the history, and the
  // draw is the third.
  for (uint32_t k = 1; k <= 2; ++k) {
    TDrawSession s0;
    TDataDraw e0(s0, rng, secret + 100 * k);
    if (!e0.SetUp(1001, f) || !e0.SetAsidePending(err) || !e0.StartJournal(err)) return false;
  }
  TDrawSession s;
  TDataDraw e(s, rng, secret);
  if (!e.SetUp(1001, f) || !e.SetAsidePending(err) || !e.StartJournal(err)) return false;
  for (int batch = 0; !(e.state() == TDataDraw::State::Finished) && batch < 20; ++batch) {
    e.BeginBatch();
    e.SelectBatchWinners();
    for (int r = 0; r < 3 + batch; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
    std::string m;
    if ((batch == 1 || batch == 3) && e.BeginReplacement(0, m)) {
      for (int r = 0; r < 4; ++r) e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
  }
  std::string m;
  if ((e.state() == TDataDraw::State::Finished) &&
      e.BeginReplacement(e.Session().Winners.size() - 1, m)) {
    e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }
  // The list's root as the check gives it, for the page's checker to work out again.
  return (e.state() == TDataDraw::State::Finished) &&
         files::WriteFileAtomic(root + "/list_root.txt", VerifyDrawFolder(root, 1001).ListRoot,
                                err);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  const bool ok = Draw(dir + "/rules",
                       "TICKETS\t工龄\nTASKQUOTA\t部门\t2\nEXCLUDE\t1002\nEXCLUDEIDS\t201\t204\n"
                       "ITEM\t2001\tNONEOF\t分公司\t总部\nITEMQUOTA\t2001\t部门\t1\n"
                       "ITEM\t2002\tONEOF\t部门\tB\tC\tD\nITEMEXCLUDEIDS\t2002\t210\t211\t213\n",
                       30u) &&
                  Draw(dir + "/flat", "", 31u) &&
                  Draw(dir + "/uniform",
                       "ITEM\t2002\tNONEOF\t分公司\t上海\nITEMEXCLUDEIDS\t2002\t203\t206\n"
                       "ITEMQUOTA\t2002\t分公司\t2\n",
                       32u);
  if (!ok) std::fprintf(stderr, "a draw could not be made\n");
  return ok ? 0 : 1;
}
