#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <filesystem>

#include "TempRoot.h"
#include "core/config/RuleCheck.h"
#include "core/draw/StageText.h"
#include "core/import/Cells.h"
#include "core/import/Import.h"
#include "core/import/Sheet.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

using text::G;
namespace fs = std::filesystem;

namespace {

const std::string kFixtures = IMPORT_FIXTURES;

enum class Source { Text, Sheet };

class Import : public ::testing::Test {
 protected:
  // Runs an import of task 1001; the log is kept in UTF-8 for readable expectations.
  bool Run(Source kind, const std::string& gbkPath, TIdType idType = TIdType::Numeric) {
    log.clear();
    positions.clear();
    target.clear();
    error.clear();
    dataimport::Callbacks cb;
    cb.log = [this](const std::string& l) { log.push_back(text::GbkToUtf8(l)); };
    cb.progress = [this](int p) {
      if (positions.empty() || positions.back() != p) positions.push_back(p);
    };
    notes = {};
    return kind == Source::Text
               ? dataimport::ImportTextFile(gbkPath, 1001, idType, cb, target, error, &notes)
               : dataimport::ImportSpreadsheet(gbkPath, 1001, idType, cb, target, error, &notes);
  }
  bool RunFixture(Source kind, const std::string& name, TIdType idType = TIdType::Numeric) {
    return Run(kind, kFixtures + "/" + name, idType);
  }
  // A source written by the test, GBK bytes.
  std::string Source(const std::string& name, const std::string& utf8) {
    const std::string p = m_root.path(name);
    WriteAll(p, G(utf8));
    return p;
  }
  std::string DataFile() const { return text::GbkToUtf8(ReadAll(paths::DrawDataPath(1001))); }
  std::vector<std::string> DataDirEntries() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m_root.dir() / "DATA_FILE", ec))
      names.push_back(e.path().filename().string());
    return names;
  }

  TempRoot m_root;
  std::vector<std::string> log;
  std::vector<int> positions;
  std::string target, error;
  dataimport::Notes notes;
};

const std::string kPeopleHead = "BEGIN\r\nCOUNT=7\r\nID_MAX_LENGTH=18\r\n手机号码 姓名 部门\r\n";

}  // namespace

TEST_F(Import, TextInEveryEncodingGivesTheSameFile) {
  for (const char* name :
       {"gbk-crlf.txt", "utf8.txt", "utf8-bom.txt", "utf16le.txt", "utf16be.txt"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(RunFixture(Source::Text, name)) << text::GbkToUtf8(error);
    EXPECT_EQ(target, paths::DrawDataPath(1001));
    // Runs of blanks become one, blank lines are skipped, a tab inside a token stays.
    EXPECT_EQ(DataFile(),
              "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=11\r\n手机号码 姓名 部门\r\n"
              "13800000001 张三 销售部\r\n13800000002 李四\r\n13800000003 王五\t技术部\r\nEND\r\n");
    // Two lines have fewer fields than the title line: a tab is no separator.
    EXPECT_EQ(
        log, (std::vector<std::string>{"导入文件类型为[文本文件]", "正在检查文件...",
                                       "警告:第5行有2列,标题行有3列", "警告:第7行有2列,标题行有3列",
                                       "检查文件结束,文件行数=3", "已经导入行数=3"}));
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 5, 26, 0}));
  }
}

TEST_F(Import, ChineseIdsCountBytesAndRepeatsAreReported) {
  const std::string src =
      Source("list.txt", "姓名 号\n张三 1\n欧阳娜娜 2\n张三 3\nA 4\nA 5\n张三 6\n");
  ASSERT_FALSE(Run(Source::Text, src, TIdType::Numeric));
  ASSERT_TRUE(Run(Source::Text, src, TIdType::NonNumeric)) << text::GbkToUtf8(error);
  EXPECT_EQ(DataFile().substr(0, 36), "BEGIN\r\nCOUNT=6\r\nID_MAX_LENGTH=8\r\n姓");
  // Each repeated id with all its lines, and what follows from it.
  EXPECT_EQ(log.at(3), "警告:有2个编号重复（共5行）：张三（第2、4、7行）；A（第5、6行）。");
  EXPECT_EQ(log.at(4),
            "警告:同一编号的第二个人起无法只凭编号签到，这些人中奖时也无法凭编号分辨是谁。");
}

TEST_F(Import, ProgressStepsFollowTheLineCount) {
  std::string text = "号\n";
  for (int i = 1; i <= 45; ++i) text += std::to_string(1000 + i) + "\n";
  ASSERT_TRUE(Run(Source::Text, Source("45.txt", text)));
  // step 45 div 20 = 2: a line for 2, 4, ..., 44, then the total.
  std::vector<std::string> imported;
  for (const std::string& l : log)
    if (l.rfind("已经导入行数=", 0) == 0) imported.push_back(l.substr(l.find('=') + 1));
  ASSERT_EQ(imported.size(), 23u);
  EXPECT_EQ(imported.front(), "2");
  EXPECT_EQ(imported[21], "44");
  EXPECT_EQ(imported.back(), "45");
  EXPECT_EQ(positions.size(), 25u);  // 0, 1, 5, 6 ... 25, 26, 0
  EXPECT_EQ(positions[positions.size() - 3], 25);
  EXPECT_EQ(positions[positions.size() - 2], 26);
}

TEST_F(Import, FailuresKeepThePreviousFileAndLeaveNothingBehind) {
  const std::string old = "BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\nT\r\n1\r\nEND\r\n";
  WriteAll(paths::DrawDataPath(1001), old);
  struct Case {
    std::string content, shown, lastLog;
  } cases[] = {
      {"", "文件为空，请重新选择文件!", "文件为空，请重新选择文件!"},
      {"手机号码 姓名\n\n   \n", "文件导入出错,文件行数为0,请重新选择文件!",
       "文件导入出错,文件行数为0,请重新选择文件!"},
      {"号 名\n123 甲\n12a3 乙 丙\n",
       "您的[导入数据类型]选择的是数字，但是导入文件出现非数字，请在[基本配置]界面检查["
       "导入数据类型]选项是否正确!",
       "第3行:12a3 乙 丙"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_FALSE(Run(Source::Text, Source("bad.txt", c.content)));
    EXPECT_EQ(text::GbkToUtf8(error), c.shown);
    EXPECT_EQ(log.back(), c.lastLog);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_TRUE(target.empty());
    EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), old);
    EXPECT_EQ(DataDirEntries(), std::vector<std::string>{"1001.txt"});
  }
  EXPECT_FALSE(Run(Source::Text, m_root.path("missing.txt")));
  EXPECT_EQ(log.back().rfind("文件导入出错,无法打开文件", 0), 0u) << log.back();
#ifndef _WIN32
  // A device never ends: refused before reading.
  EXPECT_FALSE(Run(Source::Text, "/dev/zero"));
  EXPECT_EQ(log.back(), "文件导入出错,无法打开文件/dev/zero：不是普通文件");
  EXPECT_FALSE(Run(Source::Sheet, "/dev/zero"));
  EXPECT_EQ(log.back(), "文件导入出错,无法打开文件/dev/zero：不是普通文件");
#endif
  EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), old);
}

TEST_F(Import, SpreadsheetsFromEveryProducer) {
  // Title width 3 (column 4 is empty, column 5 never read). Row 8 has no id and is left out,
  // said so; row 9 is read. A cell is one field: its blanks are no-break spaces.
  const std::string tail = "13600000000  市场部\r\n13500000000 赵六 不导入\r\nEND\r\n";
  struct Case {
    const char* name;
    std::string lines;
  } cases[] = {
      {"people-lo.xlsx",
       "13812345678 张三 销售部\r\n00123 李四 技术部\r\n123456789012345678 王五 "
       "多行\u00A0文本\u00A0内容\r\n"
       "13900000000 TRUE 2024-03-12\r\n13700000000 2024-03-12\u00A008:30:00 2.5\r\n"},
      {"people-openpyxl.xlsx",
       "13812345678 张三 销售部\r\n00123 李四 技术部\r\n123456789012345678 王五 "
       "多行\u00A0文本\u00A0内容\r\n"
       "13900000000 TRUE 2024-03-12\r\n13700000000 2024-03-12\u00A008:30:00 2.5\r\n"},
      {"people-lo.ods",
       "13812345678 张三 销售部\r\n00123 李四 技术部\r\n123456789012345678 王五 "
       "多行\u00A0文本内容\r\n"
       "13900000000 TRUE 2024-03-12\r\n13700000000 2024-03-12\u00A008:30:00 2.5\r\n"},
      // libfreexl gives no value for boolean and formula cells of BIFF files.
      {"people-lo.xls",
       "13812345678 张三 销售部\r\n00123 李四 技术部\r\n123456789012345678 王五 "
       "多行\u00A0文本\u00A0内容\r\n"
       "13900000000  2024-03-12\r\n13700000000 2024-03-12\u00A008:30:00\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(RunFixture(Source::Sheet, c.name)) << text::GbkToUtf8(error);
    EXPECT_EQ(DataFile(), kPeopleHead + c.lines + tail);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "导入文件类型为[Excel文件]", "正在检查文件...", "检查文件结束,文件行数=7",
                       "警告:1行第一列（编号）为空，未导入：第8行", "已经导入行数=7"}));
  }
}

TEST_F(Import, HandMadeXlsxOdsRepeatsAndCsv) {
  ASSERT_FALSE(RunFixture(Source::Sheet, "handmade-inline.xlsx"));
  EXPECT_EQ(log.back(), "第2行:A001 钱七\u00A0备注");
  ASSERT_TRUE(RunFixture(Source::Sheet, "handmade-inline.xlsx", TIdType::NonNumeric));
  EXPECT_EQ(
      DataFile(),
      "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=4\r\n工号 姓名\r\nA001 钱七\u00A0备注\r\n1500 #N/A\r\n"
      "A001 FALSE\r\nEND\r\n");
  EXPECT_EQ(log.at(3), "警告:有1个编号重复（共2行）：A001（第2、4行）。");

  ASSERT_TRUE(RunFixture(Source::Sheet, "handmade-dates.xlsx"));
  EXPECT_EQ(DataFile(),
            "BEGIN\r\nCOUNT=2\r\nID_MAX_LENGTH=1\r\n编号 日期 时间 城市\r\n"
            "1 1904-01-01 12:00:00 东京\r\n2 2024-03-12\u00A008:30:00 18:00:00\r\nEND\r\n");

  ASSERT_TRUE(RunFixture(Source::Sheet, "repeat-lo.ods"));
  EXPECT_EQ(
      DataFile(),
      "BEGIN\r\nCOUNT=4\r\nID_MAX_LENGTH=1\r\n编号 姓名\r\n7 同\u00A0\u00A0\u00A0名\u00A0第二段\r\n"
      "7 同\u00A0\u00A0\u00A0名\u00A0第二段\r\n7 同\u00A0\u00A0\u00A0名\u00A0第二段\r\n9 "
      "9\r\nEND\r\n");

  ASSERT_TRUE(RunFixture(Source::Sheet, "quoted.csv"));
  EXPECT_EQ(DataFile(),
            "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=3\r\n编号 姓名 备注\r\n001 张,三 说\"你好\"\r\n"
            "002 李四 两\u00A0行\r\n003 王五\r\nEND\r\n");
}

TEST_F(Import, NumberFormatsAsShownAndIdsPlain) {
  // Made by openpyxl (pandas' "YYYY-MM-DD HH:MM:SS" on the dates), and by LibreOffice from it.
  // The ids carry formats too ("#,##0", "0.00", "0%"), which never change an id.
  const std::string head = "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=11\r\n编号 时间 比例 金额 整数\r\n";
  const std::string shown =
      "13812345678 2024-03-12\u00A000:00:00 25% 1234.50 3\r\n"
      "1002 2024-03-12\u00A008:30:15 12.34% 1,234,567.89 1.01\r\n"
      "7 2024-12-31\u00A023:59:59 150% 0.50 -3\r\nEND\r\n";
  struct Case {
    const char* name;
    std::string lines;
  } cases[] = {
      {"formats-openpyxl.xlsx", shown},
      {"formats-lo.ods", shown},
      // libfreexl gives no number formats: only the date keeps its time at midnight.
      {"formats-lo.xls",
       "13812345678 2024-03-12\u00A000:00:00 0.25 1234.5 2.5\r\n"
       "1002 2024-03-12\u00A008:30:15 0.1234 1234567.891 1.005\r\n"
       "7 2024-12-31\u00A023:59:59 1.5 0.5 -2.5\r\nEND\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(RunFixture(Source::Sheet, c.name)) << text::GbkToUtf8(error);
    EXPECT_EQ(DataFile(), head + c.lines);
  }
}

TEST_F(Import, TabSeparatedUnicodeTextAsASpreadsheet) {
  // What Excel saves as "Unicode text": UTF-16 LE with BOM, tabs between cells.
  const std::u16string utf16 = u"\uFEFF编号\t姓名\r\n001\t张 三\r\n002\t\"李,四\"\r\n";
  WriteAll(m_root.path("unicode.txt"),
           std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2));
  ASSERT_TRUE(Run(Source::Sheet, m_root.path("unicode.txt"))) << text::GbkToUtf8(error);
  EXPECT_EQ(
      DataFile(),
      "BEGIN\r\nCOUNT=2\r\nID_MAX_LENGTH=3\r\n编号 姓名\r\n001 张\u00A0三\r\n002 李,四\r\nEND\r\n");
}

TEST_F(Import, TheIdIsTheWholeFirstCell) {
  // Leading zeros kept, a blank inside kept and counted once: the id stays one field.
  const std::string ids = Source("ids.csv", "号\n 007 \n\"1 2\",x\n");
  EXPECT_FALSE(Run(Source::Sheet, ids));
  EXPECT_EQ(log.back(), "第3行:1\u00A02");
  ASSERT_TRUE(Run(Source::Sheet, ids, TIdType::NonNumeric));
  EXPECT_EQ(DataFile(), "BEGIN\r\nCOUNT=2\r\nID_MAX_LENGTH=3\r\n号\r\n007\r\n1\u00A02\r\nEND\r\n");
}

TEST_F(Import, RowsAfterAnEmptyRowAreReadAndEveryRowLeftOutIsNamed) {
  // Row 4 is empty, row 6 has data but no id; the formatted rows below the list are no gap.
  for (const char* name : {"gap-openpyxl.xlsx", "gap.csv"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(RunFixture(Source::Sheet, name)) << text::GbkToUtf8(error);
    EXPECT_EQ(DataFile(),
              "BEGIN\r\nCOUNT=4\r\nID_MAX_LENGTH=4\r\n工号 姓名 部门\r\n1001 张三 销售部\r\n"
              "1002 李四 技术部\r\n1003 王五 市场部\r\n1004 赵六 行政部\r\nEND\r\n");
    EXPECT_EQ(log, (std::vector<std::string>{"导入文件类型为[Excel文件]", "正在检查文件...",
                                             "检查文件结束,文件行数=4", "跳过空行1行：第4行",
                                             "警告:1行第一列（编号）为空，未导入：第6行",
                                             "已经导入行数=4"}));
    EXPECT_EQ(notes.emptyRows, 1);
    EXPECT_EQ(notes.rowsWithoutId, 1);
  }
  // Runs of empty rows are named as ranges, the first five of them.
  std::string csv = "号\n";
  for (int i = 0; i < 7; ++i) csv += std::to_string(i) + "\n\n" + (i == 2 ? "\n\n" : "");
  ASSERT_TRUE(Run(Source::Sheet, Source("gaps.csv", csv)));
  EXPECT_EQ(text::GbkToUtf8(notes.emptyRowsText),
            "跳过空行8行：第3行、第5行、第7-9行、第11行、第13行等");
}

TEST_F(Import, ACellWithBlanksStaysOneFieldForEveryReader) {
  ASSERT_TRUE(RunFixture(Source::Sheet, "spaces-openpyxl.xlsx")) << text::GbkToUtf8(error);
  EXPECT_EQ(DataFile(),
            "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=4\r\n工号 English\u00A0Name 部门 分公司\r\n"
            "2001 Maximilian\u00A0Alexander\u00A0von\u00A0Hohenberg 研发\u00A0一部 总部\r\n"
            "2002 李四 销售部 深圳\r\n2003 Anna\u00A0\u00A0Lee 销售部 北京\u00A0分公司\r\nEND\r\n");
  // The rules see his own 分公司, and the shown text is the cell as written.
  config::TRuleContext context;
  ASSERT_TRUE(config::ReadRuleList(target, context.List, error));
  EXPECT_EQ(config::FieldColumn(context.List, G("English\u00A0Name")), 1);
  EXPECT_EQ(config::FieldValues(context.List, G("分公司")),
            (std::vector<config::TValueCount>{
                {G("北京\u00A0分公司"), 1}, {G("深圳"), 1}, {G("总部"), 1}}));
  TTaskRules rules;
  rules.Items = {{1, {{G("分公司"), TConditionKind::NoneOf, {G("总部")}}}, {}}};
  EXPECT_EQ(config::EligibleCount(rules, 1, context), 2);
  EXPECT_EQ(ShownField(text::FieldAt(context.List.Lines[0], 1)),
            G("Maximilian Alexander von Hohenberg"));
  EXPECT_EQ(ShownField(text::FieldAt(context.List.Lines[2], 1)), G("Anna  Lee"));
  const TWinnerCard card = WinnerCard(context.List.Lines[0]);
  EXPECT_EQ(card.name, G("Maximilian Alexander von Hohenberg"));
  EXPECT_EQ(card.rest, G("研发 一部 总部"));
  std::string found;
  ASSERT_TRUE(FindDataLine(target, G("2003"), found, error));
  EXPECT_EQ(found, context.List.Lines[2]);
}

TEST_F(Import, ATextLineWithOtherFieldsThanTheTitleIsNamed) {
  ASSERT_TRUE(
      Run(Source::Text, Source("fields.txt", "号 名 部门\n1 甲 销售部\n2 乙\n3 丙 技术 部\n")));
  EXPECT_EQ(log.at(2), "警告:第3行有2列,标题行有3列");
  EXPECT_EQ(log.at(3), "警告:第4行有4列,标题行有3列");
  ASSERT_EQ(notes.warnings.size(), 1u);
  EXPECT_EQ(text::GbkToUtf8(notes.warnings[0]),
            "有2行的列数与标题行不同（第3-4行），这些行的各列可能与标题对不上。");
}

TEST_F(Import, RepeatedIdsAreNamedWithTheirLinesAndWhatFollows) {
  // Ids and tickets stored as numbers; one id once as a number and once as text.
  ASSERT_TRUE(RunFixture(Source::Sheet, "numbers-openpyxl.xlsx")) << text::GbkToUtf8(error);
  EXPECT_EQ(DataFile(),
            "BEGIN\r\nCOUNT=5\r\nID_MAX_LENGTH=11\r\n手机号码 姓名 票数\r\n13800000001 张三 2\r\n"
            "13800000002 李四 1\r\n13800000001 张叁 1\r\n13800000003 王五 -1\r\n"
            "13800000002 李司 3\r\nEND\r\n");
  ASSERT_EQ(notes.warnings.size(), 1u);
  EXPECT_EQ(text::GbkToUtf8(notes.warnings[0]),
            "有2个编号重复（共4行）：13800000001（第2、4行）；13800000002（第3、6行）。"
            "同一编号的第二个人起无法只凭编号签到，这些人中奖时也无法凭编号分辨是谁。");
  // The same groups for check-in, by candidate line.
  const std::vector<std::string> lines = {"7 a", "8 b", "7 c", "9", "8", "7 d"};
  EXPECT_EQ(DuplicateIds(lines), (std::vector<TDuplicateId>{{"7", {0, 2, 5}}, {"8", {1, 4}}}));
}

TEST_F(Import, CsvQuoteLeftOpenNamesItsLineAndKeepsTheList) {
  const std::string old = "BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\nT\r\n1\r\nEND\r\n";
  WriteAll(paths::DrawDataPath(1001), old);
  struct Case {
    const char* content;
    int line;
  } cases[] = {
      {"号,名\n1,\"甲\n2,乙\n3,丙\n", 2},
      // A closed quote may span lines; CR LF, LF and a lone CR each end one line.
      {"号,名\r\n1,\"两\r\n行\"\r\n2,乙\r3,\"丙,丁\r\n", 5},
      {"号,名\n1,甲\n\"2", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    EXPECT_FALSE(Run(Source::Sheet, Source("open.csv", c.content)));
    const std::string shown =
        "文件内容格式不正确,第" + std::to_string(c.line) + "行的引号没有结束,请检查文件后重新导入!";
    EXPECT_EQ(text::GbkToUtf8(error), shown);
    EXPECT_EQ(log.back(), "文件导入出错," + shown);
    EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), old);
    EXPECT_EQ(DataDirEntries(), std::vector<std::string>{"1001.txt"});
  }
  // An empty row does not end the list: the open quote after it is found.
  EXPECT_FALSE(Run(Source::Sheet, Source("open.csv", "号,名\n1,甲\n,\n2,\"乙\n")));
  EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), old);
}

namespace {

// Every row of a sheet, GBK cells joined by '|'.
std::vector<std::string> SheetRows(const std::string& path, std::string& error) {
  std::vector<std::string> rows;
  sheet::Visitor v;
  v.onRow = [&](int64_t number, const std::vector<std::string>& cells) {
    std::string joined = std::to_string(number) + ":";
    for (size_t i = 0; i < cells.size(); ++i) joined += (i ? "|" : "") + cells[i];
    rows.push_back(joined);
    return true;
  };
  if (!sheet::ReadSheet(path, v, error)) rows.clear();
  return rows;
}

}  // namespace

TEST_F(Import, CsvRecordsRunAcrossTheReadBlocks) {
  // Some 300 KB: the 64 KiB read blocks cut characters (an emoji is 4 bytes in UTF-8 and a
  // surrogate pair in UTF-16), quoted line breaks, doubled quotes and CR LF.
  const std::string row = ",\"张😀\r\n\"\"三\"\"\",李四王五赵六钱七孙八\r\n";
  std::string utf8 = "编号,姓名\r\n";
  for (int i = 1; i <= 6000; ++i) utf8 += "0000" + std::to_string(i) + row;
  const std::string bom = "\xEF\xBB\xBF";
  std::string utf16 = "\xFF\xFE";
  {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(utf8.size() * 2, '\0');
    char* in = utf8.data();
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    ASSERT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    utf16 += out.substr(0, out.size() - outLeft);
  }
  for (const auto& [name, bytes] :
       std::vector<std::pair<std::string, std::string>>{{"utf8.csv", utf8},
                                                        {"bom.csv", bom + utf8},
                                                        {"gbk.csv", G(utf8)},
                                                        {"utf16.csv", utf16}}) {
    SCOPED_TRACE(name);
    WriteAll(m_root.path(name), bytes);
    std::string error;
    const std::vector<std::string> rows = SheetRows(m_root.path(name), error);
    ASSERT_EQ(rows.size(), 6001u) << text::GbkToUtf8(error);
    EXPECT_EQ(text::GbkToUtf8(rows[0]), "1:编号|姓名");
    for (int i = 1; i <= 6000; ++i)
      ASSERT_EQ(
          text::GbkToUtf8(rows[static_cast<size_t>(i)]),
          std::to_string(i + 1) + ":0000" + std::to_string(i) + "|张😀 \"三\"|李四王五赵六钱七孙八");
  }
}

TEST_F(Import, BadWorkbooksAreRefusedAndChangeNothing) {
  const std::string old = "BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\nT\r\n1\r\nEND\r\n";
  WriteAll(paths::DrawDataPath(1001), old);
  const std::string path = kFixtures + "/";
  struct Case {
    const char* name;
    std::string shown;
  } cases[] = {
      {"truncated.xlsx", "文件不是有效的电子表格文件,或者已经损坏:" + path + "truncated.xlsx"},
      {"not-a-workbook.xlsx",
       "文件不是有效的电子表格文件,或者已经损坏:" + path + "not-a-workbook.xlsx"},
      {"empty.xlsx", "文件为空，请重新选择文件!"},
      {"entity-bomb.xlsx", "文件内容格式不正确(含有DTD),不能导入"},
      {"zip-bomb.xlsx", "文件解压后超过2048MB,不能导入:" + path + "zip-bomb.xlsx"},
      {"encrypted.xlsx",
       "文件已加密,请先在电子表格软件中取消密码后再导入:" + path + "encrypted.xlsx"},
      {"encrypted.xls",
       "文件已加密,请先在电子表格软件中取消密码后再导入:" + path + "encrypted.xls"},
      // Plain, but libfreexl gives no handle for it, as for an encrypted one.
      {"lo-unreadable.xls",
       "文件无法读取,请在电子表格软件中另存为xlsx格式后再导入:" + path + "lo-unreadable.xls"},
      {"empty-sheet.xlsx", "第一行第一列【标题】为空，请重新选择文件!"},
      // Found by the fuzzer: libfreexl reads past a buffer on it.
      {"fuzzed-overread.xls",
       "文件不是有效的电子表格文件,或者已经损坏:" + path + "fuzzed-overread.xls"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(RunFixture(Source::Sheet, c.name));
    EXPECT_EQ(text::GbkToUtf8(error), c.shown);
    const std::string logged =
        c.shown.rfind("第一行", 0) == 0 ? c.shown + "!" : "文件导入出错," + c.shown;
    EXPECT_EQ(log.back(), logged);
    EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), old);
    EXPECT_EQ(DataDirEntries(), std::vector<std::string>{"1001.txt"});
  }
}

TEST_F(Import, XlsHelperThatFailsOrIsMissingLosesNothing) {
  const std::string old = "BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\nT\r\n1\r\nEND\r\n";
  WriteAll(paths::DrawDataPath(1001), old);
  const std::string xls = kFixtures + "/people-lo.xls";
  struct Case {
    std::string helper, shown;
  } cases[] = {
      // A helper that dies without a word is a damaged file, as a crash of libfreexl is.
      {"/bin/false", "文件不是有效的电子表格文件,或者已经损坏:" + xls},
      {"/nonexistent/tombolix_xls",
       "无法读取xls文件:找不到辅助程序/nonexistent/tombolix_xls,请重新安装本软件,"
       "或将文件另存为xlsx格式后再导入"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.helper);
    sheet::SetXlsHelperPath(c.helper);
    const bool ok = Run(Source::Sheet, xls);
    sheet::SetXlsHelperPath("");
    EXPECT_FALSE(ok);
    EXPECT_EQ(text::GbkToUtf8(error), c.shown);
    EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), old);
  }
  // The helper beside this test program, as beside the installed program.
#ifdef _WIN32
  const std::string exe = ".exe";
#else
  const std::string exe;
#endif
  EXPECT_EQ(sheet::XlsHelperPath(),
            paths::U8(paths::NativePath(paths::ProgramDir())) + "tombolix_xls" + exe);
  EXPECT_TRUE(Run(Source::Sheet, xls)) << text::GbkToUtf8(error);
}

TEST(Cells, NumbersAndDatesAsShown) {
  std::string s;
  const auto num = [&](const char* raw) {
    EXPECT_TRUE(sheet::FormatNumber(raw, s)) << raw;
    return s;
  };
  EXPECT_EQ(num("1.3812345678E10"), "13812345678");
  EXPECT_EQ(num("123456789012345678"), "123456789012345678");
  EXPECT_EQ(num("2.5"), "2.5");
  EXPECT_EQ(num("0.1"), "0.1");
  EXPECT_EQ(num("1500.0"), "1500");
  EXPECT_EQ(num("-0.0"), "0");
  EXPECT_EQ(num("1E+22"), "1e+22");
  EXPECT_FALSE(sheet::FormatNumber("12a", s));
  EXPECT_EQ(sheet::SerialToDateText(45363, false, false), "2024-03-12");
  EXPECT_EQ(sheet::SerialToDateText(45363.3541666667, false, false), "2024-03-12 08:30:00");
  EXPECT_EQ(sheet::SerialToDateText(60, false, false), "1900-02-29");
  EXPECT_EQ(sheet::SerialToDateText(61, false, false), "1900-03-01");
  EXPECT_EQ(sheet::SerialToDateText(1, false, false), "1900-01-01");
  EXPECT_EQ(sheet::SerialToDateText(0, true, false), "1904-01-01");
  EXPECT_EQ(sheet::SerialToDateText(0.75, false, true), "18:00:00");
  EXPECT_EQ(sheet::IsoDateText("2024-03-12T00:00:00"), "2024-03-12");
  EXPECT_EQ(sheet::IsoDateText("2024-03-12T08:30:00.000Z"), "2024-03-12 08:30:00");
  EXPECT_FALSE(sheet::IsDateFormatCode("General"));
  EXPECT_FALSE(sheet::IsDateFormatCode("[Red]0.00;\"d\"0"));
  EXPECT_FALSE(sheet::IsDateFormatCode("\"day\"0"));
  EXPECT_TRUE(sheet::IsDateFormatCode("yyyy\\-mm\\-dd"));
  EXPECT_TRUE(sheet::IsDateFormatCode("[h]:mm"));
  EXPECT_TRUE(sheet::IsDateFormatCode("[$-804]yyyy\"年\"m\"月\"d\"日\""));
}

TEST(Cells, FormatCodesAndNumbersAsShown) {
  using K = sheet::NumberFormat::Kind;
  const auto kind = [](const char* code) { return sheet::ParseFormatCode(code).kind; };
  EXPECT_EQ(kind("YYYY-MM-DD HH:MM:SS"), K::DateTime);
  EXPECT_EQ(kind("yyyy/m/d;@"), K::Date);
  EXPECT_EQ(kind("[$-804]yyyy\"年\"m\"月\"d\"日\""), K::Date);
  EXPECT_EQ(kind("hh:mm"), K::Time);
  EXPECT_EQ(kind("[h]:mm:ss"), K::Time);
  // Texts of their own, exponents and varying decimals stay General.
  EXPECT_EQ(kind("[$¥-804]#,##0.00"), K::General);
  EXPECT_EQ(kind("0.00E+00"), K::General);
  EXPECT_EQ(kind("0.##"), K::General);
  EXPECT_EQ(kind("#,##0,"), K::General);
  EXPECT_EQ(kind("0.00\" 元\""), K::General);
  EXPECT_EQ(kind("General"), K::General);
  const sheet::NumberFormat red = sheet::ParseFormatCode("#,##0.00_);[Red](#,##0.00)");
  EXPECT_EQ(red.kind, K::Fixed);
  EXPECT_EQ(red.decimals, 2);
  EXPECT_TRUE(red.grouped);
  EXPECT_EQ(sheet::ParseFormatCode("0.0%").decimals, 1);

  const auto show = [](double v, const char* code) {
    return sheet::ShowNumber(v, sheet::ParseFormatCode(code), false);
  };
  EXPECT_EQ(show(0.125, "0.0%"), "12.5%");
  EXPECT_EQ(show(-0.004, "0.00"), "0.00");  // no sign on a number shown as zero
  EXPECT_EQ(show(999.995, "0.00"), "1000.00");
  EXPECT_EQ(show(0.5, "0"), "1");
  EXPECT_EQ(show(-1234.5, "#,##0"), "-1,235");
  EXPECT_EQ(show(1e20, "#,##0"), "100,000,000,000,000,000,000");
  EXPECT_EQ(show(0.000001, "0.00%"), "0.00%");
  EXPECT_EQ(show(45363, "yyyy-mm-dd hh:mm:ss"), "2024-03-12 00:00:00");
  EXPECT_EQ(show(45363.5, "yyyy-mm-dd"), "2024-03-12 12:00:00");  // as before: time when there
  EXPECT_EQ(sheet::ShowNumber(2.5, sheet::IdColumnFormat(sheet::BuiltinFormat(2)), false), "2.5");
  EXPECT_EQ(sheet::BuiltinFormat(10).kind, K::Percent);
  EXPECT_EQ(sheet::IsoDateText("2024-03-12", true), "2024-03-12 00:00:00");
  EXPECT_EQ(sheet::IsoDateText("2024-03-12T00:00:00", true), "2024-03-12 00:00:00");
}

#include "TaskBuilder.h"
#include "core/db/TombolixDB.h"
#include "core/import/ImportTask.h"
#include "core/records/Loaders.h"

namespace {

class ImportForTask : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.candidates = {"1 old"};
    BuildTask(m_dm, def);
    m_old = ReadAll(paths::DrawDataPath(1001));
  }
  dataimport::Outcome Run(const std::string& taskId, const std::string& source,
                          dataimport::SourceKind kind = dataimport::SourceKind::Text) {
    log.clear();
    dataimport::Callbacks cb;
    cb.log = [this](const std::string& l) { log.push_back(text::GbkToUtf8(l)); };
    return dataimport::ImportForTask(m_dm.ARryPub, taskId, source, kind, TIdType::Numeric, cb);
  }
  std::string StoredPath() {
    TLuckTask task;
    std::string error;
    EXPECT_TRUE(LoadLuckTask(1001, task, error)) << error;
    return task.DataFilePath;
  }
  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::string m_old;
  std::vector<std::string> log;
};

}  // namespace

TEST_F(ImportForTask, SuccessStoresThePathAndFailureChangesNothing) {
  const std::string stored = StoredPath();
  ASSERT_EQ(stored, paths::DrawDataPath(1001));

  EXPECT_FALSE(Run("  ", m_root.path("any.txt")).ran);
  EXPECT_TRUE(log.empty());

  dataimport::Outcome o = Run("1001", m_root.path("missing.txt"));
  EXPECT_TRUE(o.ran);
  EXPECT_FALSE(o.imported);
  EXPECT_EQ(o.messageKind, MessageKind::Error);
  EXPECT_EQ(text::GbkToUtf8(o.message), "文件不存在,请重新选择文件!");
  EXPECT_TRUE(log.empty());

  const std::string bad = m_root.path("bad.txt");
  WriteAll(bad, G("号\nx1 甲\n"));
  o = Run("1001", bad);
  EXPECT_FALSE(o.imported);
  EXPECT_EQ(o.messageKind, MessageKind::Error);
  EXPECT_EQ(log.at(0), "开始导入文件...");
  EXPECT_EQ(log.at(1), "正在导入文件:" + bad);
  EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), m_old);
  EXPECT_EQ(StoredPath(), stored);

  const std::string good = m_root.path("good.csv");
  WriteAll(good, G("号,名\n7,甲\n"));
  o = Run(" 1001 ", " " + good + " ", dataimport::SourceKind::Spreadsheet);
  EXPECT_TRUE(o.imported);
  EXPECT_EQ(o.messageKind, MessageKind::Information);
  EXPECT_EQ(text::GbkToUtf8(o.message), "导入成功!");
  EXPECT_EQ(o.targetPath, paths::DrawDataPath(1001));
  EXPECT_EQ(log,
            (std::vector<std::string>{
                "开始导入文件...", "正在导入文件:" + good, "导入文件类型为[Excel文件]",
                "正在检查文件...", "检查文件结束,文件行数=1", "已经导入行数=1", "导入文件成功!"}));
  EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)),
            "BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\n" + G("号 名\r\n7 甲\r\n") + "END\r\n");
}

TEST_F(ImportForTask, ANewListIsCheckedAgainstTheSavedRulesAtOnce) {
  TTaskRules rules;
  rules.TicketsField = G("票数");
  std::string error;
  ASSERT_TRUE(config::SaveRules(1001, rules, error)) << error;
  const dataimport::Outcome o =
      Run("1001", kFixtures + "/numbers-openpyxl.xlsx", dataimport::SourceKind::Spreadsheet);
  EXPECT_TRUE(o.imported);
  EXPECT_EQ(o.messageKind, MessageKind::Warning);
  // The words of the rules' own check, on the 4th candidate line.
  const std::string said =
      "已保存的抽奖规则与新名单不符，请修改规则：票数字段：第4名候选人（抽奖数据文件第8行）"
      "[13800000003]的[票数]“-1”不是大于等于0的整数";
  EXPECT_NE(text::GbkToUtf8(o.message).find("\n" + said), std::string::npos)
      << text::GbkToUtf8(o.message);
  EXPECT_NE(std::find(log.begin(), log.end(), "警告:" + said), log.end());
}

TEST_F(ImportForTask, PhoneColumnsOfANewListStartOffTheStageAndTheOperatorIsTold) {
  const std::string list = m_root.path("staff.csv");
  // 手机 holds eleven digits throughout (one left empty); 工号 is the id, 座机 is shorter.
  WriteAll(list, G("工号,姓名,手机,座机,备注\n101,甲,13812345678,02188886666,a\n"
                   "102,乙,,02188886667,13800000000\n103,丙,13987654321,0218888,\n"));
  dataimport::Outcome o = Run("1001", list, dataimport::SourceKind::Spreadsheet);
  ASSERT_TRUE(o.imported) << text::GbkToUtf8(o.message);
  EXPECT_EQ(o.messageKind, MessageKind::Information);
  EXPECT_EQ(text::GbkToUtf8(o.message),
            "导入成功!\n手机号码不在大屏显示：手机列已设为不显示，可在基本配置的“大屏显示列...”"
            "中更改。");
  std::string stored, error;
  ASSERT_TRUE(LoadStageColumns(1001, stored, error)) << error;
  EXPECT_EQ(stored, "SSH");
  // Once chosen, the choice stands: a new import changes nothing and says nothing of it.
  ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, db::sql::kUpdateStageColumns,
                          {std::string("SSSH"), int64_t{1001}}, error));
  o = Run("1001", list, dataimport::SourceKind::Spreadsheet);
  EXPECT_EQ(text::GbkToUtf8(o.message), "导入成功!");
  ASSERT_TRUE(LoadStageColumns(1001, stored, error)) << error;
  EXPECT_EQ(stored, "SSSH");
}
