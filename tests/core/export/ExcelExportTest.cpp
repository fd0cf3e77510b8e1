#include <gtest/gtest.h>

#include <memory>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "TempRoot.h"
#include "core/export/ExcelExport.h"
#include "core/import/Zip.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;
namespace fs = std::filesystem;

namespace {

TLuckItem Item(int itemId, const std::string& name) {
  TLuckItem it;
  it.ItemId = itemId;
  it.TaskId = 1001;
  it.ItemName = name;
  return it;
}

fs::path WinnerPath(int item) { return paths::NativePath(paths::WinnerFilePath(1001, item)); }

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class ExcelExport : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_root.dir() / "out");
    WriteAll(WinnerPath(2001), "id\r\n1\r\n");
    WriteAll(m_root.dir() / "out" / "w.xlsx", "previous");
  }
  std::string Out(const std::string& name) const { return m_root.path("out/" + name); }

  TempRoot m_root;
  const TArrLuckItem m_items = {Item(2001, "A"), Item(2002, "B")};
  TLuckTask m_task;
  std::string m_err;
};

}  // namespace

TEST_F(ExcelExport, ReplacesThePreviousFileAndLeavesNothingElse) {
  ASSERT_TRUE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err)) << m_err;
  EXPECT_EQ(ReadAll(Out("w.xlsx")).substr(0, 2), "PK");
  EXPECT_EQ(Entries(m_root.dir() / "out"), std::vector<std::string>{"w.xlsx"});
#ifndef _WIN32  // Windows files have no mode for others
  EXPECT_EQ(fs::status(Out("w.xlsx")).permissions() & fs::perms::others_read,
            fs::perms::others_read);
#endif
}

#ifndef _WIN32  // the limit on open files is set with setrlimit
TEST_F(ExcelExport, AnyNumberOfItemsExports) {
  // More worksheets than the process may hold files open.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  rlimit low = old;
  low.rlim_cur = 128;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  TArrLuckItem many;
  for (int k = 0; k < 200; ++k) {
    many.push_back(Item(3000 + k, "A"));
    WriteAll(WinnerPath(3000 + k), "id\r\n" + std::to_string(k) + "\r\n");
  }
  const bool ok = ExportWinnersExcel(many, m_task, -1, Out("w.xlsx"), m_err);
  setrlimit(RLIMIT_NOFILE, &old);
  ASSERT_TRUE(ok) << m_err;
  EXPECT_EQ(ReadAll(Out("w.xlsx")).substr(0, 2), "PK");
}
#endif

TEST_F(ExcelExport, AnEmptyPathWritesNothing) {
  EXPECT_FALSE(ExportWinnersExcel(m_items, m_task, -1, "", m_err));
  EXPECT_EQ(m_err, G("文件名为空，请选择excel文件名"));
}

TEST_F(ExcelExport, AFolderThatCannotBeWrittenIsAnErrorText) {
  // A regular file where the folder should be stops even the superuser.
  EXPECT_FALSE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx") + "/x.xlsx", m_err));
  EXPECT_EQ(m_err.rfind(G("无法写入文件") + Out("w.xlsx") + "/x.xlsx" + G("："), 0), 0u) << m_err;
  EXPECT_EQ(ReadAll(Out("w.xlsx")), "previous");
#ifndef _WIN32  // Windows does not hold a folder's read-only mode against new files
  if (geteuid() != 0) {
    fs::permissions(m_root.dir() / "out", fs::perms::owner_read | fs::perms::owner_exec);
    m_err.clear();
    EXPECT_FALSE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err));
    EXPECT_FALSE(m_err.empty());
    EXPECT_EQ(ReadAll(Out("w.xlsx")), "previous");
  }
#endif
}

TEST_F(ExcelExport, ARenameThatFailsKeepsThePreviousFileAndLeavesNoTemporary) {
  // The workbook goes through the one atomic writer, whose fault hook stands for a disk
  // that refuses the rename.
  files::SetRenameFault([](const std::string&) { return EIO; });
  const bool ok = ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err);
  files::SetRenameFault(nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(m_err.rfind(G("无法写入文件") + Out("w.xlsx") + G("："), 0), 0u) << m_err;
  EXPECT_EQ(ReadAll(Out("w.xlsx")), "previous");
  EXPECT_EQ(Entries(m_root.dir() / "out"), std::vector<std::string>{"w.xlsx"});
}

#ifdef __linux__
TEST_F(ExcelExport, AnUnreadableWinnerFileKeepsThePreviousFileAndLeavesNoPart) {
  // Reading this file fails with an I/O error, for every user.
  fs::create_symlink("/proc/self/mem", WinnerPath(2002));
  const size_t open = Entries("/proc/self/fd").size();
  EXPECT_FALSE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err));
  EXPECT_EQ(m_err.rfind(G("读取文件出错："), 0), 0u) << m_err;
  EXPECT_EQ(Entries("/proc/self/fd").size(), open);  // nothing of the workbook stays open
  EXPECT_EQ(ReadAll(Out("w.xlsx")), "previous");
  EXPECT_EQ(Entries(m_root.dir() / "out"), std::vector<std::string>{"w.xlsx"});
}
#endif

TEST(WorksheetNames, ValidUniqueAndCloseToTheItemName) {
  const std::string thirty(30, 'x');
  EXPECT_EQ(
      WorksheetNames({"'quoted'", "", "Abc", "aBC", "abc (2)", thirty + "yz", thirty + "yq",
                      thirty + "'", "a\tb"}),
      (std::vector<std::string>{"_quoted_", "Sheet2", "Abc", "aBC (2)", "abc (2) (2)", thirty + "y",
                                std::string(27, 'x') + " (2)", thirty + "_", "a_b"}));
  // Characters, not bytes, count: 31 Chinese characters fit, a 32nd does not.
  std::string han;
  for (int i = 0; i < 32; ++i) han += "奖";
  EXPECT_EQ(WorksheetNames({han})[0], han.substr(0, 31 * 3));
}

TEST(ColumnWidthFor, BytesPlusTwoUpToTheLargestWidth) {
  EXPECT_EQ(ColumnWidthFor(30), 32.0);
  EXPECT_EQ(ColumnWidthFor(300), 255.0);
}

TEST_F(ExcelExport, CheckInsGetASheetAndASectionInAWholeTasksExportWithoutTheirTokens) {
  m_task.TaskId = 1001;
  m_task.TaskName = G("年会");
  const std::string token(32, 'a');
  WriteAll(paths::NativePath(checkin::CheckinFilePath(1001)),
           "CHECKIN\t1001\r\n13800000001\t2026-12-09 18:01:02\t" + token +
               "\r\nE07\t2026-12-09 18:05:00\t" + token + "\r\n");
  ASSERT_TRUE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err)) << m_err;
  sheet::ZipArchive zip;
  ASSERT_TRUE(zip.OpenFile(Out("w.xlsx"), m_err)) << m_err;
  std::string workbook, sheet;
  ASSERT_TRUE(zip.ReadPart("xl/workbook.xml", workbook, m_err));
  EXPECT_NE(workbook.find("name=\"签到名单\""), std::string::npos) << workbook;
  ASSERT_TRUE(zip.ReadPart("xl/worksheets/sheet2.xml", sheet, m_err));  // after A
  for (const std::string c : {"号码", "签到时间", "13800000001", "2026-12-09 18:01:02", "E07"})
    EXPECT_NE(sheet.find(">" + c + "<"), std::string::npos) << c;
  EXPECT_EQ(sheet.find(token), std::string::npos);

  ASSERT_TRUE(ExportWinnersText(m_items, m_task, -1, Out("w.txt"), m_err));
  EXPECT_EQ(ReadAll(Out("w.txt")), G("年会") + "\r\n\r\nA\r\nid\r\n1\r\n\r\n" + G("签到名单") +
                                       "\r\n" + G("号码 签到日期 签到时间") +
                                       "\r\n13800000001 2026-12-09 18:01:02\r\nE07 2026-12-09 "
                                       "18:05:00\r\n");
  // One item's export is that item's winners alone.
  ASSERT_TRUE(ExportWinnersText(m_items, m_task, 2001, Out("a.txt"), m_err));
  EXPECT_EQ(ReadAll(Out("a.txt")), G("年会") + "\r\n\r\nA\r\nid\r\n1\r\n");
}

TEST_F(ExcelExport, AbsentWinnersGetTheSheetOfTheirOwnAndTheTextExportASection) {
  WriteAll(paths::NativePath(paths::AbsentFilePath(1001, 2001)),
           "id name\r\n7 " + G("张三") + " " + G("替补:") + "9\r\n");
  ASSERT_TRUE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err)) << m_err;
  sheet::ZipArchive zip;
  ASSERT_TRUE(zip.OpenFile(Out("w.xlsx"), m_err)) << m_err;
  std::string workbook, sheet, strings;
  ASSERT_TRUE(zip.ReadPart("xl/workbook.xml", workbook, m_err));
  EXPECT_NE(workbook.find("name=\"缺席名单\""), std::string::npos) << workbook;
  ASSERT_TRUE(zip.ReadPart("xl/worksheets/sheet2.xml", sheet, m_err));  // after A
  // Its cells: the item, the heads with 替补, the absent winner's fields and the replacement.
  const std::vector<std::string> cells = {"A", "id", "name", "替补", "7", "张三", "9"};
  for (const std::string& c : cells) EXPECT_NE(sheet.find(">" + c + "<"), std::string::npos) << c;

  m_task.TaskName = G("年会");
  ASSERT_TRUE(ExportWinnersText(m_items, m_task, -1, Out("w.txt"), m_err));
  EXPECT_EQ(ReadAll(Out("w.txt")), G("年会") + "\r\n\r\nA\r\nid\r\n1\r\n\r\nA" + G("缺席名单") +
                                       "\r\nid name\r\n7 " + G("张三") + " " + G("替补:") +
                                       "9\r\n");
}

TEST_F(ExcelExport, ClaimsGetAColumnOnTheirPrizesSheetAndASheetOfTheirOwn) {
  m_task.TaskId = 1001;
  m_task.TaskName = G("年会");
  const std::string key = claims::ResultsDrawKey(1001);
  WriteAll(paths::NativePath(claims::ClaimFilePath(1001, key)),
           "CLAIM\t1001\t" + key + "\r\n1\t2001\t2026-12-09 21:30:05\t" + G("领奖台1") +
               "\r\n9\t2002\t2026-12-09 21:31:00\t" + G("结果查询") + "\r\n");
  ASSERT_TRUE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err)) << m_err;
  auto zip = std::make_unique<sheet::ZipArchive>();
  ASSERT_TRUE(zip->OpenFile(Out("w.xlsx"), m_err)) << m_err;
  std::string workbook, prizes, claimed;
  ASSERT_TRUE(zip->ReadPart("xl/workbook.xml", workbook, m_err));
  EXPECT_NE(workbook.find("name=\"领奖名单\""), std::string::npos) << workbook;
  ASSERT_TRUE(zip->ReadPart("xl/worksheets/sheet1.xml", prizes, m_err));
  for (const std::string c : {"id", "领奖", "1", "2026-12-09 21:30:05 领奖台1"})
    EXPECT_NE(prizes.find(">" + c + "<"), std::string::npos) << c;
  // B has no winner file: its claim is in no sheet.
  ASSERT_TRUE(zip->ReadPart("xl/worksheets/sheet2.xml", claimed, m_err));
  for (const std::string c : {"号码", "奖项", "领取时间", "领奖台", "A", "2026-12-09 21:30:05"})
    EXPECT_NE(claimed.find(">" + c + "<"), std::string::npos) << c;
  EXPECT_EQ(claimed.find("结果查询"), std::string::npos);
  // Without claims the prize sheet has no such column.
  fs::remove(paths::NativePath(claims::ClaimFilePath(1001, key)));
  zip.reset();  // a workbook open elsewhere cannot be replaced on Windows
  ASSERT_TRUE(ExportWinnersExcel(m_items, m_task, -1, Out("w.xlsx"), m_err)) << m_err;
  zip = std::make_unique<sheet::ZipArchive>();
  ASSERT_TRUE(zip->OpenFile(Out("w.xlsx"), m_err)) << m_err;
  ASSERT_TRUE(zip->ReadPart("xl/worksheets/sheet1.xml", prizes, m_err));
  EXPECT_EQ(prizes.find(">领奖<"), std::string::npos);
}
