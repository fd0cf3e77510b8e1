#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "FileSizeLimit.h"
#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/checkin/CheckinList.h"
#include "core/checkin/CheckinWall.h"
#include "core/checkin/WinnersBoard.h"
#include "core/claims/ClaimHttp.h"
#include "core/net/SignScript.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/remote/HostHttp.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"

using namespace checkin;
using text::G;

namespace {

const char* kTitle = "手机号码 姓名 部门";

std::vector<std::string> ThreeLines() {
  return {G("13800000001 张三 销售"), G("13800000002 李四 财务"), G("13800000003 王五 技术")};
}

TCheckinTask TaskAt(const TempRoot& root, std::vector<std::string> lines = ThreeLines(),
                    const char* title = kTitle) {
  TCheckinTask t;
  t.TaskId = 7;
  t.TaskName = G("年会");
  t.TitleLine = G(title);
  t.Lines = std::move(lines);
  t.HideBegin = 4;
  t.HideEnd = 7;
  t.FilePath = root.path("LUCK_FILE/CHECKIN_7.txt");
  return t;
}

// A desk on a clock the test moves.
struct Desk {
  TCheckinDesk desk;
  int64_t now = 1'000'000;
  explicit Desk(const TCheckinTask& task) {
    desk.SetClock([this] { return now; }, [] { return std::string("2026-12-09 12:00:00"); });
    std::string error;
    EXPECT_TRUE(desk.Open(task, error)) << error;
  }
  TCheckinResult In(const char* id, const char* name, const char* from = "10.0.0.5") {
    return desk.CheckIn(from, id, name);
  }
};

}  // namespace

TEST(CheckinList, MatchesIdAndTheNameFieldOfTheTitleLine) {
  TCheckinList list;
  list.Load(G(kTitle), ThreeLines());
  EXPECT_TRUE(list.HasNameField());
  EXPECT_EQ(list.Count(), 3u);
  int64_t line = -1;
  EXPECT_EQ(list.Match("13800000002", G("李四"), line), TAnswer::CheckedIn);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(list.Match("13800000002", G("张三"), line), TAnswer::NameMismatch);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(list.Match("13800000009", G("李四"), line), TAnswer::NotOnList);
  EXPECT_EQ(line, -1);
  EXPECT_EQ(list.Match("13800000009", G("李四"), line), TAnswer::NotOnList);
  EXPECT_EQ(list.Match("", G("李四"), line), TAnswer::Empty);
  // A prefix of an id is no id.
  EXPECT_EQ(list.Match("1380000000", G("李四"), line), TAnswer::NotOnList);

  // Without a 姓名 head the name is not asked.
  list.Load("id dept", ThreeLines());
  EXPECT_FALSE(list.HasNameField());
  EXPECT_EQ(list.Match("13800000003", "", line), TAnswer::CheckedIn);
  EXPECT_EQ(list.NameOf(2), "");
  // 姓名 as the third head names the third field.
  list.Load(G("号码 部门 姓名"), ThreeLines());
  EXPECT_EQ(list.NameOf(0), G("销售"));
  // Repeated ids are told apart by the name; without names the first stands for them;
  // empty lines are no one.
  list.Load(G(kTitle), {G("8 张三"), G("8 李四"), G("8 张三"), ""});
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Match("8", G("李四"), line), TAnswer::CheckedIn);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(list.Match("8", G("王五"), line), TAnswer::NameMismatch);
  list.Load("id", {G("8 张三"), G("8 李四")});
  EXPECT_EQ(list.Count(), 1u);
  // The field names the list's first title, and digits alone bring up the number pad.
  list.Load(G("工号 姓名"), {"0012 x", "77 y"});
  EXPECT_EQ(list.IdTitle(), G("工号"));
  EXPECT_TRUE(list.NumericIds());
  list.Load(G("工号 姓名"), {"0012 x", "E77 y"});
  EXPECT_FALSE(list.NumericIds());

  EXPECT_EQ(AnswerText(TAnswer::CheckedIn), G("签到成功"));
  EXPECT_EQ(AnswerText(TAnswer::NotOnList), G("名单中没有这个号码"));
  EXPECT_EQ(AnswerText(TAnswer::NameMismatch), G("号码与姓名不符"));
  EXPECT_EQ(AnswerText(TAnswer::AlreadyIn), G("已经签到过了"));
}

TEST(CheckinDesk, ChecksInOnceAndWritesTheRecordBeforeAnswering) {
  TempRoot root;
  Desk d(TaskAt(root));
  const TCheckinResult r = d.In("13800000001", " 张三 ");
  ASSERT_EQ(r.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(r.Name, G("张三"));
  ASSERT_EQ(r.Token.size(), 32u);
  EXPECT_EQ(ReadAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt"),
            "CHECKIN\t7\r\n13800000001\t2026-12-09 12:00:00\t" + r.Token + "\r\n");

  EXPECT_EQ(d.In("13800000001", "张三").Answer, TAnswer::AlreadyIn);
  EXPECT_EQ(d.In("13800000002", "张三").Answer, TAnswer::NameMismatch);
  EXPECT_EQ(d.In("13900000000", "张三").Answer, TAnswer::NotOnList);
  EXPECT_EQ(d.In("  ", "张三").Answer, TAnswer::Empty);
  EXPECT_EQ(d.In("138\xff", "张三").Answer, TAnswer::BadText);  // not UTF-8

  EXPECT_EQ(d.desk.View().CheckedIn, 1u);
  EXPECT_EQ(d.desk.View().Latest, std::vector<std::string>{G("张三")});

  d.desk.Close();
  EXPECT_EQ(d.In("13800000002", "李四").Answer, TAnswer::Closed);
  EXPECT_FALSE(d.desk.View().Open);
}

TEST(CheckinDesk, GuessesLockTheIdOrTheAddressButAHallsTyposDoNot) {
  TempRoot root;
  Desk d(TaskAt(root));
  // A reception tablet: many refusals from one address still let the next person in.
  for (int i = 0; i < kMaxAddressFailures - 1; ++i)
    ASSERT_EQ(d.In(("1390000" + std::to_string(1000 + i)).c_str(), "", "10.0.0.9").Answer,
              TAnswer::NotOnList);
  EXPECT_EQ(d.In("13800000001", "张三", "10.0.0.9").Answer, TAnswer::CheckedIn);
  EXPECT_TRUE(d.desk.Locks().empty());
  EXPECT_EQ(d.In("13900000000", "", "10.0.0.9").Answer, TAnswer::NotOnList);
  EXPECT_EQ(d.In("13800000003", "王五", "10.0.0.9").Answer, TAnswer::TooMany);
  EXPECT_EQ(d.desk.Locks(), (std::vector<TCheckinLock>{{"10.0.0.9", false, 600}}));

  // Names guessed for one id lock that id, from whichever address they come.
  for (int i = 0; i < kMaxIdFailures; ++i)
    ASSERT_EQ(d.In("13800000002", "x", ("10.0.1." + std::to_string(i)).c_str()).Answer,
              TAnswer::NameMismatch);
  EXPECT_EQ(d.In("13800000002", "李四", "10.0.2.1").Answer, TAnswer::TooMany);
  EXPECT_EQ(d.In("13800000003", "王五", "10.0.2.1").Answer, TAnswer::CheckedIn);
  d.now += 60'000;
  EXPECT_EQ(d.desk.Locks(),
            (std::vector<TCheckinLock>{{"13800000002", true, 540}, {"10.0.0.9", false, 540}}));
  EXPECT_EQ(AnswerText(TAnswer::TooMany), G("尝试次数过多，请稍后再试"));

  // The operator lifts a lock; the other one ends with its window.
  d.desk.Lift("13800000002", true);
  EXPECT_EQ(d.In("13800000002", "李四", "10.0.2.1").Answer, TAnswer::CheckedIn);
  d.now += kFailureWindowMs - 60'000;
  EXPECT_TRUE(d.desk.Locks().empty());
  EXPECT_EQ(d.In("13800000001", "张三", "10.0.0.9").Answer, TAnswer::AlreadyIn);
}

TEST(CheckinDesk, PhonesFullWidthFormsBlanksAndLetterCaseFindTheirLine) {
  TempRoot root;
  Desk d(TaskAt(root,
                {G("E1001 张三 销售"), G("18770000001 王五 市场"), G("18770000001 赵六 市场"),
                 G("Ab9 甲 x"), G("aB9 乙 x")},
                "工号 姓名 部门"));
  // Full-width digits and an ideographic space, as a Chinese keyboard sends them.
  const TCheckinResult wang = d.In("１８７７００００００1", "王五\u3000");
  ASSERT_EQ(wang.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(wang.Name, G("王五"));
  // The same id, another person: told apart by the name.
  const TCheckinResult zhao = d.In(" 18770000001", "\u00a0赵六 ");
  ASSERT_EQ(zhao.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(zhao.Name, G("赵六"));
  // Another letter case matches one id; two ids that differ only by case need the exact one.
  const TCheckinResult zhang = d.In("ｅ１００１", "张三");
  EXPECT_EQ(zhang.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(d.In("AB9", "甲").Answer, TAnswer::NotOnList);
  const TCheckinResult yi = d.In("aB9", "乙");
  EXPECT_EQ(yi.Answer, TAnswer::CheckedIn);
  // Records hold the list's id, and the name where the id repeats.
  EXPECT_EQ(ReadAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt"),
            "CHECKIN\t7\r\n18770000001\t2026-12-09 12:00:00\t" + wang.Token + "\t" + G("王五") +
                "\r\n18770000001\t2026-12-09 12:00:00\t" + zhao.Token + "\t" + G("赵六") +
                "\r\nE1001\t2026-12-09 12:00:00\t" + zhang.Token +
                "\r\naB9\t2026-12-09 12:00:00\t" + yi.Token + "\r\n");
  Desk again(TaskAt(root,
                    {G("E1001 张三 销售"), G("18770000001 王五 市场"), G("18770000001 赵六 市场"),
                     G("Ab9 甲 x"), G("aB9 乙 x")},
                    "工号 姓名 部门"));
  EXPECT_EQ(again.desk.View().CheckedIn, 4u);
  EXPECT_EQ(again.desk.View().Total, 5u);
  EXPECT_EQ(again.In("18770000001", "赵六").Answer, TAnswer::AlreadyIn);
  EXPECT_EQ(again.desk.CheckedInIds(), (std::vector<std::string>{"18770000001", "E1001", "aB9"}));
}

namespace {

TCheckinDesk* g_watched = nullptr;
std::vector<size_t> g_countAtFlush;
void WatchCheckins(const std::string& file) {
  if (file.find("CHECKIN_7") != std::string::npos)
    g_countAtFlush.push_back(g_watched->View().CheckedIn);
}

}  // namespace

TEST(CheckinDesk, EachCheckInIsFlushedBeforeThePhoneOrTheScreenHearsOfIt) {
  TempRoot root;
  Desk d(TaskAt(root));
  g_watched = &d.desk;
  g_countAtFlush.clear();
  files::SetFileFlushWatch(WatchCheckins);
  EXPECT_EQ(d.In("13800000001", "张三").Answer, TAnswer::CheckedIn);
  EXPECT_EQ(d.In("13800000002", "李四").Answer, TAnswer::CheckedIn);
  files::SetFileFlushWatch(nullptr);
  EXPECT_EQ(g_countAtFlush, (std::vector<size_t>{0, 1}));
}

#ifndef _WIN32
TEST(CheckinDesk, AWriteThatFailsIsRefusedUncountedAndTheRetryWritesOneWholeRecord) {
  TempRoot root;
  Desk d(TaskAt(root));
  ASSERT_EQ(d.In("13800000001", "张三").Answer, TAnswer::CheckedIn);
  const std::filesystem::path file = root.dir() / "LUCK_FILE/CHECKIN_7.txt";
  const std::string before = ReadAll(file);
  THttpResponse answer;
  {
    FileSizeLimit limit(static_cast<int64_t>(before.size()) + 10);
    ASSERT_TRUE(limit.Set());
    THttpRequest req;
    req.Method = "POST";
    req.Path = "/checkin";
    req.Address = "10.0.0.5";
    const std::string body = "id=13800000002&name=%E6%9D%8E%E5%9B%9B";
    req.Body = body;
    answer = HandleRequest(d.desk, req);
  }
  EXPECT_NE(answer.Body.find("\"kind\":\"notsaved\",\"text\":\"签到未能保存，请再试一次\""),
            std::string::npos)
      << answer.Body;
  EXPECT_EQ(answer.Body.find("签到成功"), std::string::npos);
  EXPECT_EQ(ReadAll(file).size(), before.size() + 10);  // a torn record on disk
  EXPECT_EQ(d.desk.View().CheckedIn, 1u);
  EXPECT_EQ(d.desk.View().Latest, std::vector<std::string>{G("张三")});

  const TCheckinResult r = d.In("13800000002", "李四");
  ASSERT_EQ(r.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(ReadAll(file), before + "13800000002\t2026-12-09 12:00:00\t" + r.Token + "\r\n");
  EXPECT_EQ(d.desk.View().CheckedIn, 2u);
}
#endif

TEST(CheckinDesk, ResumesFromTheFileAndCutsBackATornTail) {
  TempRoot root;
  const std::string token(32, 'a');
  const std::string whole = "CHECKIN\t7\r\n13800000002\t2026-12-09 11:00:00\t" + token +
                            "\r\n99999\t2026-12-09 11:00:01\t" + std::string(32, 'b') + "\r\n";
  WriteAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt", whole + "13800000003\t2026-12");
  Desk d(TaskAt(root));
  // The id no longer on the list is not counted; the torn record is no check-in.
  EXPECT_EQ(d.desk.View().CheckedIn, 1u);
  EXPECT_EQ(d.desk.View().Latest, std::vector<std::string>{G("李四")});
  EXPECT_EQ(d.In("13800000002", "李四").Answer, TAnswer::AlreadyIn);
  const TCheckinResult r = d.In("13800000003", "王五");
  ASSERT_EQ(r.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(d.desk.View().Arrivals, 2u);  // the resumed name and the new one
  EXPECT_EQ(ReadAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt"),
            whole + "13800000003\t2026-12-09 12:00:00\t" + r.Token + "\r\n");
  // The token of the resumed check-in still names its id.
  TWinnersBoard board;
  board.WonBy["13800000002"] = G("一等奖");
  d.desk.SetBoard(board);
  std::vector<TBoardLine> lines;
  std::string won;
  d.desk.ReadBoard(token, lines, won);
  EXPECT_EQ(won, G("一等奖"));
}

TEST(CheckinDesk, RefusesAFileOfAnotherTaskOrWithADamagedLine) {
  TempRoot root;
  TCheckinDesk desk;
  std::string error;
  WriteAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt", "CHECKIN\t8\r\n");
  EXPECT_FALSE(desk.Open(TaskAt(root), error));
  EXPECT_NE(error.find(G("属于另一个抽奖任务")), std::string::npos);
  WriteAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt", "CHECKIN\t7\r\nrubbish\r\n");
  EXPECT_FALSE(desk.Open(TaskAt(root), error));
  EXPECT_NE(error.find(G("第2行已损坏")), std::string::npos);
  EXPECT_FALSE(desk.IsOpen());
  // The file is left as it was.
  EXPECT_EQ(ReadAll(root.dir() / "LUCK_FILE/CHECKIN_7.txt"), "CHECKIN\t7\r\nrubbish\r\n");
}

TEST(CheckinDesk, ConcurrentCheckInsAreEachWrittenOnce) {
  TempRoot root;
  std::vector<std::string> lines;
  for (int i = 0; i < 400; ++i) lines.push_back(std::to_string(100000 + i));
  Desk d(TaskAt(root, lines, "id"));
  std::vector<std::thread> threads;
  std::atomic<int> ok{0}, again{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      // Each id is tried by two threads: exactly one of them checks it in.
      for (int i = 0; i < 100; ++i) {
        const int n = (t / 2) * 100 + i;
        const std::string from = "10.1." + std::to_string(t) + "." + std::to_string(i);
        const TCheckinResult r = d.In(std::to_string(100000 + n).c_str(), "", from.c_str());
        if (r.Answer == TAnswer::CheckedIn) ++ok;
        if (r.Answer == TAnswer::AlreadyIn) ++again;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(ok.load(), 400);
  EXPECT_EQ(again.load(), 400);
  TCheckinFile file;
  std::string error;
  ASSERT_TRUE(ReadCheckinFile(root.path("LUCK_FILE/CHECKIN_7.txt"), file, error)) << error;
  ASSERT_EQ(file.Records.size(), 400u);
  std::set<std::string> ids;
  for (const TCheckinRecord& r : file.Records) ids.insert(r.Id);
  EXPECT_EQ(ids.size(), 400u);
}

namespace {

THttpResponse Ask(TCheckinDesk& desk, const char* method, const char* path, std::string body = "") {
  THttpRequest req;
  req.Method = method;
  req.Path = path;
  req.Address = "10.0.0.5";
  req.Body = std::move(body);
  return HandleRequest(desk, req);
}

}  // namespace

TEST(CheckinHttp, OnlyThePageAndTwoFormRoutesAnswerWithinTheirLimits) {
  TempRoot root;
  TCheckinTask task = TaskAt(root);
  task.TaskName = G("<b>年会&</b>");
  Desk d(task);
  const THttpResponse page = Ask(d.desk, "GET", "/");
  EXPECT_EQ(page.Status, 200);
  EXPECT_EQ(page.ContentType, "text/html; charset=utf-8");
  EXPECT_NE(page.Body.find("<p class=\"task\">&lt;b&gt;年会&amp;&lt;/b&gt;</p>"),
            std::string::npos);
  EXPECT_EQ(page.Body.find("http"), std::string::npos);  // no outside asset

  // A form route fetched by GET is no page either.
  for (const char* path : {"/../DATA/Tombolix.db", "/etc/passwd", "/checkin/", "/favicon.ico", "//",
                           "/index.html/..", "/checkin"})
    EXPECT_EQ(Ask(d.desk, "GET", path).Status, 404) << path;
  EXPECT_EQ(Ask(d.desk, "DELETE", "/").Status, 404);

  THttpRequest req;
  req.Method = "GET";
  req.Path = "/";
  req.HeaderBytes = kMaxHeaderBytes + 1;
  EXPECT_EQ(HandleRequest(d.desk, req).Status, 431);
  req.HeaderBytes = kMaxHeaderBytes;
  EXPECT_EQ(HandleRequest(d.desk, req).Status, 200);
  req.Method = "POST";
  req.Path = "/checkin";
  req.BodyTooLarge = true;
  EXPECT_EQ(HandleRequest(d.desk, req).Status, 413);
  EXPECT_EQ(d.desk.View().CheckedIn, 0u);
}

TEST(CheckinHttp, CheckInByFormAndTheWinnersBoard) {
  TempRoot root;
  Desk d(TaskAt(root));
  const char* zhang = "id=13800000001&name=%E5%BC%A0%E4%B8%89";  // 张三
  const THttpResponse r = Ask(d.desk, "POST", "/checkin", zhang);
  ASSERT_EQ(r.Status, 200);
  EXPECT_EQ(r.ContentType, "application/json; charset=utf-8");
  const size_t t = r.Body.find("\"token\":\"");
  ASSERT_NE(t, std::string::npos);
  const std::string token = r.Body.substr(t + 9, 32);
  EXPECT_EQ(r.Body.substr(0, r.Body.find(",\"proof\":")),
            "{\"kind\":\"ok\",\"text\":\"签到成功\",\"name\":\"张三\",\"token\":\"" + token + "\"");
  EXPECT_EQ(Ask(d.desk, "POST", "/checkin", zhang).Body,
            "{\"kind\":\"already\",\"text\":\"已经签到过了\",\"name\":\"\",\"token\":\"\"}");
  for (const char* bad : {"id=%zz", "id=1&id=2", "=x", "id=%4"})
    EXPECT_EQ(Ask(d.desk, "POST", "/checkin", bad).Status, 400) << bad;
  // GBK bytes, not UTF-8.
  EXPECT_NE(Ask(d.desk, "POST", "/checkin", "id=13800000002&name=%D5%C5%C8%FD")
                .Body.find("\"kind\":\"badtext\""),
            std::string::npos);

  // The board: what the stage shows; the winner's own phone is told its prize.
  TWinnersBoard board;
  board.Lines = {{G("一等奖:"), true}, {G("138XXXX0001 张三 销售"), false}};
  board.WonBy["13800000001"] = G("一等奖");
  d.desk.SetBoard(board);
  EXPECT_EQ(Ask(d.desk, "POST", "/winners", "t=" + token).Body,
            "{\"open\":true,\"count\":1,\"total\":3,\"me\":\"恭喜您获得一等奖\",\"in\":\"张三\","
            "\"lines\":[{\"t\":"
            "\"一等奖:\",\"c\":true},{\"t\":\"138XXXX0001 张三 销售\",\"c\":false}]}");
  for (const std::string& other : {"t=" + std::string(32, '0'), std::string()})
    EXPECT_NE(Ask(d.desk, "POST", "/winners", other).Body.find("\"me\":\"\",\"in\":\"\""),
              std::string::npos);
}

TEST(CheckinHttp, FormAndJsonText) {
  std::map<std::string, std::string> f;
  ASSERT_TRUE(ParseForm("a=1+2&b=%41%62&&c", f));
  EXPECT_EQ(f, (std::map<std::string, std::string>{{"a", "1 2"}, {"b", "Ab"}, {"c", ""}}));
  EXPECT_FALSE(ParseForm("a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9", f));

  EXPECT_EQ(JsonString("a\"b\\c\n</script>&"),
            "\"a\\\"b\\\\c\\u000a\\u003c/script\\u003e\\u0026\"");
  EXPECT_EQ(JsonString("\xe5\xbc\xa0\xff\xc0\x80\xe2\x80\xa8"),
            "\"张\\ufffd\\ufffd\\ufffd\\u2028\"");
  EXPECT_EQ(HtmlEscape("<a href='x'>\"&"), "&lt;a href=&#39;x&#39;&gt;&quot;&amp;");
}

namespace {

// Names "a<from>" up to "a<to - 1>".
std::vector<std::string> Names(int from, int to) {
  std::vector<std::string> v;
  for (int i = from; i < to; ++i) v.push_back("a" + std::to_string(i));
  return v;
}

}  // namespace

TEST(CheckinWall, RowsFillInArrivalOrderAndOnlyTheLastFourShow) {
  EXPECT_TRUE(WallAfter({}, 0).Rows.empty());

  // The sixth opens the second row; nothing above it moves.
  TWall w = WallAfter(Names(0, 6), 6);
  EXPECT_EQ(w.Rows,
            (std::vector<std::vector<std::string>>{{"a0", "a1", "a2", "a3", "a4"}, {"a5"}}));
  EXPECT_TRUE(w.NewRow);
  EXPECT_TRUE(w.Leaving.empty());

  w = WallAfter(Names(0, 20), 20);
  ASSERT_EQ(w.Rows.size(), 4u);
  EXPECT_EQ(w.Rows[3], (std::vector<std::string>{"a15", "a16", "a17", "a18", "a19"}));
  EXPECT_FALSE(w.NewRow);

  // The 21st opens a fifth row: the first goes out at the top.
  w = WallAfter(Names(0, 21), 21);
  ASSERT_EQ(w.Rows.size(), 4u);
  EXPECT_EQ(w.Rows[0], (std::vector<std::string>{"a5", "a6", "a7", "a8", "a9"}));
  EXPECT_EQ(w.Rows[3], (std::vector<std::string>{"a20"}));
  EXPECT_TRUE(w.NewRow);
  EXPECT_EQ(w.Leaving, (std::vector<std::string>{"a0", "a1", "a2", "a3", "a4"}));
  EXPECT_EQ(w.FirstColumn, 0u);

  // After thousands only the desk's last 40 names are at hand, and they are enough.
  w = WallAfter(Names(2961, 3001), 3001);
  EXPECT_EQ(w.Rows[0][0], "a2985");
  EXPECT_EQ(w.Rows[3], (std::vector<std::string>{"a3000"}));
  EXPECT_EQ(w.Leaving, (std::vector<std::string>{"a2980", "a2981", "a2982", "a2983", "a2984"}));

  // Names the desk no longer has are left out; the known ones keep their places.
  w = WallAfter({"x", "y"}, 8);
  EXPECT_EQ(w.Rows, (std::vector<std::vector<std::string>>{{"x", "y"}}));
  EXPECT_EQ(w.FirstColumn, 1u);  // arrivals 6 and 7: the second row's second place
}

TEST(CheckinDesk, TheWallKeepsOnlyItsLastNamesWhileArrivalsCount) {
  TempRoot root;
  std::vector<std::string> lines;
  for (int i = 0; i < 60; ++i) lines.push_back("139000000" + std::to_string(10 + i));
  Desk d(TaskAt(root, lines, "id"));
  for (int i = 0; i < 60; ++i)
    ASSERT_EQ(d.In(lines[i].c_str(), "").Answer, TAnswer::CheckedIn) << i;
  const TCheckinView v = d.desk.View();
  EXPECT_EQ(v.Arrivals, 60u);
  ASSERT_EQ(v.Latest.size(), kWallLines);
  EXPECT_EQ(v.Latest.front(), "139XXXX0030");  // the 21st, masked as the stage masks it
  EXPECT_EQ(v.Latest.back(), "139XXXX0069");
}

TEST(CheckinDesk, ANameWithBlanksInOneCellMatchesHoweverTheBlanksAreTyped) {
  TempRoot root;
  // The import keeps the cell's blanks as no-break spaces, so the cell stays one field.
  std::string line = "1001 ";
  AppendCellField("Maximilian Alexander von Hohenberg", line);
  line += G(" 销售");
  Desk d(TaskAt(root, {line, G("1002 李四 财务"), G("1003 王五 技术")}));
  EXPECT_EQ(d.desk.View().Total, 3u);
  // Runs of blanks, a no-break space, an ideographic space, blanks around.
  const TCheckinResult r = d.In("1001", "  Maximilian  Alexander\u00a0von\u3000Hohenberg ");
  ASSERT_EQ(r.Answer, TAnswer::CheckedIn);
  EXPECT_EQ(r.Name, "Maximilian Alexander von Hohenberg");
  EXPECT_EQ(d.desk.View().Latest.back(), "Maximilian Alexander von Hohenberg");
  EXPECT_EQ(d.In("1001", "Maximilian Alexander von Hohenberg").Answer, TAnswer::AlreadyIn);
  EXPECT_EQ(d.In("1002", "Maximilian Alexander").Answer, TAnswer::NameMismatch);
  EXPECT_EQ(FoldText(G("甲") + std::string(kCellBlank) + G("乙")), G("甲 乙"));
}

TEST(CheckinDesk, CountsSayPeopleAndIdsWhenTwoPeopleShareAnId) {
  TempRoot root;
  Desk d(TaskAt(root, {G("8 张三 a"), G("8 李四 b"), G("9 王五 c")}));
  ASSERT_EQ(d.In("8", "张三").Answer, TAnswer::CheckedIn);
  ASSERT_EQ(d.In("8", "李四").Answer, TAnswer::CheckedIn);
  const TCheckinView v = d.desk.View();
  EXPECT_EQ(v.CheckedIn, 2u);
  EXPECT_EQ(v.CheckedInIds, 1u);
  EXPECT_EQ(CountText(v.CheckedIn, v.Total, v.CheckedInIds), G("已签到 2 / 3 人（1 个号码）"));
  // Where each person has an id of their own, the count reads as always.
  ASSERT_EQ(d.In("9", "王五").Answer, TAnswer::CheckedIn);
  EXPECT_EQ(CountText(3, 3, 2), G("已签到 3 / 3 人（2 个号码）"));
  EXPECT_EQ(CountText(307, 310, 307), G("已签到 307 / 310"));
  // Read again from the file, the same.
  Desk again(TaskAt(root, {G("8 张三 a"), G("8 李四 b"), G("9 王五 c")}));
  EXPECT_EQ(again.desk.View().CheckedIn, 3u);
  EXPECT_EQ(again.desk.View().CheckedInIds, 2u);
}

TEST(CheckinDesk, AnIdOnMoreThanOneLineIsRepeatedWithOrWithoutNames) {
  TempRoot root;
  // A photo filed under 8 could be either of them.
  Desk named(TaskAt(root, {G("8 张三 a"), G("8 李四 b"), G("9 王五 c")}));
  EXPECT_TRUE(named.desk.RepeatedId("8"));
  EXPECT_FALSE(named.desk.RepeatedId("9"));
  EXPECT_FALSE(named.desk.RepeatedId("7"));
  Desk noNames(TaskAt(root, {"5 a", "5 b"}, "id dept"));
  EXPECT_TRUE(noNames.desk.RepeatedId("5"));
}

TEST(CheckinDesk, TheFirstRevealedWinnerClosesCheckInWhoeverTheDrawTakes) {
  TempRoot root;
  Desk d(TaskAt(root));
  TWinnersFeed feed(d.desk, 7);
  TRevealedList list;
  list.taskId = 7;
  TRevealedLine caption;
  caption.text = G("[一等奖]");
  caption.caption = true;
  list.lines.push_back(caption);
  feed.Revealed(list);  // a caption alone: nobody drawn yet
  EXPECT_TRUE(d.desk.IsOpen());
  list.taskId = 8;
  list.lines.push_back({"138****0002", false, 0, "13800000002", G("一等奖"), 1, ThreeLines()[1]});
  feed.Revealed(list);  // another task's draw
  EXPECT_TRUE(d.desk.IsOpen());
  list.taskId = 7;
  feed.Revealed(list);
  EXPECT_FALSE(d.desk.IsOpen());
  EXPECT_EQ(d.In("13800000001", "张三").Answer, TAnswer::Closed);
  std::vector<TBoardLine> lines;
  std::string won;
  d.desk.ReadBoard("", lines, won);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].Text, "138****0002");
}

TEST(CheckinHttp, ThePhonesPagesWrapChineseOnlyAtPunctuation) {
  // keep-all: no break between two Chinese characters (不能领/取), only at punctuation and
  // blanks; anywhere only for a run that would not fit at all (a long id).
  for (const std::string& page :
       {CheckinPage(G("年会"), true, G("工号"), true), ListPage(G("年会"), true, G("工号"), true),
        remote::HostPage(), claims::DeskPage(G("年会"))}) {
    EXPECT_NE(page.find("body{margin:0;word-break:keep-all;overflow-wrap:anywhere;"),
              std::string::npos);
    EXPECT_EQ(page.find("break-all"), std::string::npos);
  }
}

TEST(CheckinHttp, TheProofPagesTakeSha256FromTheSigningScript) {
  // One copy of SHA-256: the signing script, before the proof's check that calls it.
  for (const std::string& page :
       {CheckinPage(G("年会"), true, G("工号"), true), ListPage(G("年会"), false, "", false)}) {
    const size_t script = page.find(net::SignScript());
    ASSERT_NE(script, std::string::npos);
    EXPECT_EQ(page.find("0x428a2f98"), page.rfind("0x428a2f98"));
    EXPECT_GT(page.find("var sha256=Signed.sha256;"), script);
  }
}
