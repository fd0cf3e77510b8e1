#include <gtest/gtest.h>

#include "TempRoot.h"
#include "core/draw/DrawSession.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"

using text::G;

namespace {

class DrawDataFile : public ::testing::Test {
 protected:
  std::string Write(const std::string& content) {
    const std::string p = m_root.path("DATA_FILE/1001.txt");
    WriteAll(p, content);
    return p;
  }
  bool Read(const std::string& content, int32_t luckTotal = 1, int32_t luckAgain = 0) {
    lines = {"stale"};
    return ReadDrawDataFile(Write(content), luckTotal, luckAgain, lines, idMax, title, error);
  }
  TempRoot m_root;
  TArraySring lines;
  int32_t idMax = -1;
  std::string title, error;
};

}  // namespace

TEST_F(DrawDataFile, WriterAndReaderAgreeOnTheLayout) {
  const std::vector<std::string> in = {G("13800000001 张三"), G("13900000002 李四"),
                                       G("15000000003 王五")};
  const std::string path = m_root.path("DATA_FILE/1001.txt");
  ASSERT_TRUE(WriteDrawDataFile(path, G("手机号码 姓名"), in, LongestIdLength(in), error));
  EXPECT_EQ(ReadAll(path), "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=11\r\n" + G("手机号码 姓名") +
                               "\r\n" + in[0] + "\r\n" + in[1] + "\r\n" + in[2] + "\r\nEND\r\n");
  ASSERT_TRUE(ReadDrawDataFile(path, 3, 0, lines, idMax, title, error)) << error;
  EXPECT_EQ(lines, in);
  EXPECT_EQ(idMax, 11);
  EXPECT_EQ(title, G("手机号码 姓名"));
  EXPECT_EQ(error, "");
}

TEST_F(DrawDataFile, FirstLineMustBeExactlyBegin) {
  for (const char* first : {"BEGIN ", "begin", " BEGIN", ""}) {
    EXPECT_FALSE(Read(std::string(first) + "\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\nt\r\na\r\nEND\r\n"));
    EXPECT_EQ(error, G("文件格式错误,第一行")) << first;
    EXPECT_TRUE(lines.empty());
  }
  EXPECT_FALSE(Read(""));
  EXPECT_EQ(error, G("文件格式错误,第一行"));
}

TEST_F(DrawDataFile, HeaderNumbers) {
  EXPECT_FALSE(Read("BEGIN\r\nCOUNT= 1\r\nID_MAX_LENGTH=1\r\nt\r\na\r\n"));
  EXPECT_EQ(error, G("文件格式错误,第二行"));
  EXPECT_FALSE(Read("BEGIN\r\nCOUNT1\r\nID_MAX_LENGTH=1\r\nt\r\na\r\n"));
  EXPECT_EQ(error, G("文件格式错误,第二行"));
  EXPECT_FALSE(Read("BEGIN\r\n"));
  EXPECT_EQ(error, G("文件格式错误,第二行"));
  EXPECT_FALSE(Read("BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=-1\r\nt\r\na\r\n"));
  EXPECT_EQ(error, G("文件格式错误,第三行"));
  // Another name before the '=' is not looked at.
  EXPECT_TRUE(Read("BEGIN\r\nANZAHL=1\r\nX=2\r\nt\r\nab\r\n"));
  EXPECT_EQ(lines, (TArraySring{"ab"}));
  EXPECT_EQ(idMax, 2);
  // Too large for 32 bits: a conversion error, not a wrapped count.
  EXPECT_FALSE(Read("BEGIN\r\nCOUNT=99999999999\r\nID_MAX_LENGTH=1\r\nt\r\na\r\n"));
  EXPECT_NE(error.find("99999999999"), std::string::npos);
  EXPECT_TRUE(lines.empty());
}

TEST_F(DrawDataFile, CountDecidesHowManyLinesAreCandidates) {
  // Larger than the lines: END and what follows become candidates.
  ASSERT_TRUE(Read("BEGIN\r\nCOUNT=5\r\nID_MAX_LENGTH=1\r\nt\r\na\r\nb\r\nEND\r\nz\r\n"));
  EXPECT_EQ(lines, (TArraySring{"a", "b", "END", "z"}));
  // Smaller: the extra lines are ignored.
  ASSERT_TRUE(Read("BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\nt\r\na\r\nb\r\nEND\r\n"));
  EXPECT_EQ(lines, (TArraySring{"a"}));
  // An empty line in between stays an empty candidate; lines are trimmed, the title is not.
  ASSERT_TRUE(Read("BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=1\r\n  t  \r\n a \r\n\r\nc\r\nEND\r\n"));
  EXPECT_EQ(lines, (TArraySring{"a", "", "c"}));
  EXPECT_EQ(title, "  t  ");
}

TEST_F(DrawDataFile, LfAloneReadsLikeCrLf) {
  ASSERT_TRUE(Read("BEGIN\nCOUNT=2\nID_MAX_LENGTH=3\ntitle\n123 x\n456 y\nEND\n"));
  EXPECT_EQ(lines, (TArraySring{"123 x", "456 y"}));
  EXPECT_EQ(title, "title");
  ASSERT_TRUE(Read("BEGIN\nCOUNT=2\nID_MAX_LENGTH=3\ntitle\n123 x\n456 y"));  // no last LF
  EXPECT_EQ(lines, (TArraySring{"123 x", "456 y"}));
}

TEST_F(DrawDataFile, CandidateCountAgainstTheWinnersToDraw) {
  const std::string three = "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=1\r\nt\r\na\r\nb\r\nc\r\nEND\r\n";
  EXPECT_TRUE(Read(three, 3, 0));
  EXPECT_FALSE(Read(three, 4, 0));
  EXPECT_EQ(error, G("抽奖记录行数为少于设定的中奖数"));
  EXPECT_TRUE(lines.empty());
  EXPECT_TRUE(Read(three, 4, 1));
  EXPECT_FALSE(Read("BEGIN\r\nCOUNT=0\r\nID_MAX_LENGTH=1\r\nt\r\nEND\r\n", 0, 1));
  EXPECT_EQ(error, G("抽奖记录行数为0，请重新导入文件"));
}

TEST_F(DrawDataFile, SessionReaderKeepsEverythingWhenTheFileIsMissing) {
  TDrawSession session;
  session.CandidateLines = {"kept"};
  session.CandidateCount = 1;
  session.IdMaxLength = 4;
  std::string t;
  EXPECT_FALSE(session.LoadCandidates(m_root.path("DATA_FILE/none.txt"), t, error));
  EXPECT_EQ(error, G("文件不存在，请重新导入文件"));
  EXPECT_EQ(session.CandidateLines, (TArraySring{"kept"}));
  EXPECT_EQ(session.IdMaxLength, 4);
  // A malformed file empties the list, and the count follows it.
  Write("BEGIN\r\nCOUNT=x\r\n");
  EXPECT_FALSE(session.LoadCandidates(m_root.path("DATA_FILE/1001.txt"), t, error));
  EXPECT_TRUE(session.CandidateLines.empty());
  EXPECT_EQ(session.CandidateCount, 0);
  session.LuckTotal = 2;
  session.Task.LuckAgain = 0;
  Write("BEGIN\r\nCOUNT=2\r\nID_MAX_LENGTH=2\r\nt\r\n11 a\r\n22 b\r\nEND\r\n");
  ASSERT_TRUE(session.LoadCandidates(m_root.path("DATA_FILE/1001.txt"), t, error));
  EXPECT_EQ(session.CandidateCount, 2);
  EXPECT_EQ(session.IdMaxLength, 2);
}

TEST_F(DrawDataFile, FindDataLineMatchesTheWholeFirstField) {
  const std::string p =
      Write("BEGIN\r\nCOUNT=4\r\nID_MAX_LENGTH=11\r\nnot checked\r\n138001 " + G("张三") +
            "\r\n13800 x\r\n  138001   dup \r\nabc\r\n999 beyond count\r\n");
  std::string line;
  ASSERT_TRUE(FindDataLine(p, "138001", line, error));
  EXPECT_EQ(line, "138001 " + G("张三"));  // the first of two
  ASSERT_TRUE(FindDataLine(p, "1380", line, error));
  EXPECT_EQ(line, "");  // a prefix is no match
  ASSERT_TRUE(FindDataLine(p, "ABC", line, error));
  EXPECT_EQ(line, "");  // case counts
  ASSERT_TRUE(FindDataLine(p, "abc", line, error));
  EXPECT_EQ(line, "abc");
  ASSERT_TRUE(FindDataLine(p, "999", line, error));
  EXPECT_EQ(line, "");  // past COUNT
}

TEST_F(DrawDataFile, FindDataLineErrors) {
  std::string line = "stale";
  EXPECT_FALSE(FindDataLine(m_root.path("none.txt"), "1", line, error));
  EXPECT_EQ(error, G("文件不存在，请导入文件后再设置"));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(FindDataLine(Write("BEGIN \r\n"), "1", line, error));
  EXPECT_EQ(error, G("输入文件格式错误,第一行，请导入文件后再设置"));
  EXPECT_FALSE(FindDataLine(Write("BEGIN\r\nCOUNT=\r\n"), "1", line, error));
  EXPECT_EQ(error, G("输入文件格式错误,第二行，请导入文件后再设置"));
  // Line 3 is not checked here.
  EXPECT_TRUE(
      FindDataLine(Write("BEGIN\r\nCOUNT=1\r\nwhatever\r\nt\r\n1 a\r\n"), "1", line, error));
  EXPECT_EQ(line, "1 a");
}

TEST(DrawDataFileRead, AFailingFirstReadGivesTheReadErrorNotAFormatError) {
  TempRoot root;
  // A regular file whose very first read fails (EIO).
  const std::string failing = "/proc/self/mem";
  TArraySring lines;
  int32_t maxLength = 0;
  std::string title, error;
  EXPECT_FALSE(ReadDrawDataFile(failing, 1, 0, lines, maxLength, title, error));
  EXPECT_EQ(error.find(G("文件格式错误")), std::string::npos) << error;
  EXPECT_FALSE(error.empty());
  std::string line;
  std::string findError;
  EXPECT_FALSE(FindDataLine(failing, "1", line, findError));
  EXPECT_EQ(findError.find(G("文件格式错误")), std::string::npos);
  EXPECT_EQ(findError, error);  // the reader's own text in both
}

TEST(DrawDataFileOf, AStoredPathThatIsGoneFallsBackToTheTasksFileUnderTheDataRoot) {
  TempRoot root;
  TLuckTask task;
  task.TaskId = 1001;
  task.DataFilePath = "/somewhere/else/DATA_FILE/1001.txt";
  EXPECT_EQ(DrawDataFileOf(task), task.DataFilePath);  // neither exists: the stored one
  WriteAll(root.dir() / "DATA_FILE/1001.txt", "BEGIN\r\n");
  EXPECT_EQ(DrawDataFileOf(task), root.path("DATA_FILE/1001.txt"));
  task.DataFilePath = root.path("elsewhere.txt");
  WriteAll(root.dir() / "elsewhere.txt", "BEGIN\r\n");
  EXPECT_EQ(DrawDataFileOf(task), task.DataFilePath);  // an existing stored path wins
}

TEST_F(DrawDataFile, TheOneHeadParserTellsEachLineAsItStands) {
  Write("BEGIN\r\nN=99999999999\r\nID_MAX_LENGTH= 4\r\n" + G("号码 姓名") + "\r\n1 a\r\n");
  LineReader in;
  ASSERT_TRUE(in.Open(m_root.path("DATA_FILE/1001.txt"), error)) << error;
  TDrawDataHead head;
  ReadDrawDataHead(in, head);
  EXPECT_EQ(head.linesRead, 4);
  EXPECT_TRUE(head.begin);
  EXPECT_EQ(head.count.text, "99999999999");  // digits, but too large for the count
  EXPECT_TRUE(head.count.digits);
  EXPECT_FALSE(head.count.fits);
  EXPECT_EQ(head.idMaxLength.text, " 4");  // a blank is no digit
  EXPECT_FALSE(head.idMaxLength.digits);
  EXPECT_EQ(head.titleLine, G("号码 姓名"));
  std::string_view next;
  ASSERT_TRUE(in.Next(next));  // the reader stands on the first candidate
  EXPECT_EQ(next, "1 a");

  // A head cut short reads as empty lines past the end.
  Write("BEGIN\r\nCOUNT=3\r\n");
  LineReader shortFile;
  ASSERT_TRUE(shortFile.Open(m_root.path("DATA_FILE/1001.txt"), error));
  ReadDrawDataHead(shortFile, head);
  EXPECT_EQ(head.linesRead, 4);
  EXPECT_TRUE(head.count.fits);
  EXPECT_EQ(head.count.value, 3);
  EXPECT_FALSE(head.idMaxLength.digits);
  EXPECT_EQ(head.titleLine, "");
}
