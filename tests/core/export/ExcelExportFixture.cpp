// Writes the workbooks that ExcelReadBack.py reads back with a different reader:
//   <dir>/all.xlsx  every prize item of a task (duplicate, bad and long names, one item
//                   without a winner file);
//   <dir>/one.xlsx  only the third prize item.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/export/ExcelExport.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

void WriteWinners(int item, const std::string& utf8Content) {
  const std::filesystem::path p = paths::NativePath(paths::WinnerFilePath(1001, item));
  std::filesystem::create_directories(p.parent_path());
  const std::string gbk = G(utf8Content);
  std::ofstream(p, std::ios::binary).write(gbk.data(), static_cast<std::streamsize>(gbk.size()));
}

TLuckItem Item(int id, const std::string& utf8Name) {
  TLuckItem it;
  it.ItemId = id;
  it.TaskId = 1001;
  it.ItemName = G(utf8Name);
  return it;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  std::filesystem::remove_all(dir);
  paths::SetDataRoot(dir + "/root/");

  std::string longName;
  for (int i = 0; i < 6; ++i) longName += "超级幸运大奖";
  const TArrLuckItem items = {Item(2001, "一等奖"), Item(2002, "二等奖"),
                              Item(2003, "一等奖"), Item(2004, "a:b/c?d*e[f]g\\h"),
                              Item(2005, longName), Item(2006, longName),
                              Item(2007, "HISTORY")};
  // CR LF, and a last line without one: both are lines.
  WriteWinners(2001,
               "号码 姓名 部门\r\n110101199001011234 张三 销售部\r\n013800000001\r\n"
               "110101199001011234\r\n000123 李四");
  WriteWinners(2003, "号码\r\n");
  WriteWinners(2004, "id\n1\n");
  WriteWinners(2005, "id\r\n5\r\n");
  WriteWinners(2006, "id\r\n6\r\n");
  WriteWinners(2007, "id\r\n7\r\n");

  TLuckTask task;
  task.TaskId = 1001;
  task.TaskName = G("年会抽奖");
  std::string err;
  if (!ExportWinnersExcel(items, task, -1, dir + "/all.xlsx", err) ||
      !ExportWinnersExcel(items, task, 2003, dir + "/one.xlsx", err)) {
    std::fprintf(stderr, "export failed: %s\n", text::GbkToUtf8(err).c_str());
    return 1;
  }
  return 0;
}
