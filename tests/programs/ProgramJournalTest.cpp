// The real program killed in the middle of a draw: what was revealed is kept and the draw
// continues to its end.
#include <sqlite3.h>
#include <QDir>
#include <QFileInfo>
#include <map>

#include "ProgramCopy.h"
#include "core/text/Gbk.h"

namespace {

class KilledDraw : public ProgramCopy {
 protected:
  // Keys typed every 150 ms: the stage's rest after a reveal and its minimum roll are off.
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys();
  }

  // The winner lines of the three prize items of the example task, in order.
  QList<QByteArray> WinnerLines() const {
    QList<QByteArray> out;
    const QStringList files =
        QDir(Path(QStringLiteral("LUCK_FILE")))
            .entryList({QStringLiteral("1001_*.txt")}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
      QList<QByteArray> lines = Read(Path(QStringLiteral("LUCK_FILE/") + f)).split('\n');
      for (int i = 1; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty()) out << lines[i].trimmed();
    }
    return out;
  }
};

const QString kDone = QStringLiteral("message\t0\t所有奖项已经全部抽取完毕");

}  // namespace

// The example task draws 1, 3, 5 and 5 winners in four batches.
TEST_F(KilledDraw, BetweenBatchesEveryRevealedWinnerIsKeptAndTheDrawFinishes) {
  // Open the draw, two batches, then nothing more is pressed.
  auto first = Start(QStringLiteral("enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2 && KeysTyped(); }));
  Kill(*first);
  const QList<QByteArray> kept = Batches();
  ASSERT_EQ(kept.size(), 2);

  // The last batch's landing, then the grand prize's moment until the next key.
  auto second =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] { return LogLines().contains(kDone); }))
      << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出4人),是否继续上次的抽奖?")));
  second->kill();
  second->waitForFinished(10000);

  const QList<QByteArray> lines = WinnerLines();
  ASSERT_EQ(lines.size(), 14);
  const QList<QByteArray> candidates = Candidates();
  QList<int> revealed = Winners(kept[0]) + Winners(kept[1]);
  ASSERT_EQ(revealed.size(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[i], candidates[revealed[i]]) << i;
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("LUCK_FILE/JOURNAL_1001.txt"))));
  EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("LUCK_FILE/JOURNAL_1001_DONE.txt"))));
}

TEST_F(KilledDraw, WhileRollingTheUnrevealedBatchIsNotKeptAndIsDrawnAgain) {
  // Open, one batch, then the second batch rolls until the kill.
  auto first = Start(QStringLiteral("enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 1 && KeysTyped(); }));
  Kill(*first);
  ASSERT_EQ(Batches().size(), 1);
  const QList<int> revealed = Winners(Batches()[0]);
  ASSERT_EQ(revealed.size(), 1);

  auto second = Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter,enter,enter"),
                      QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] { return LogLines().contains(kDone); }))
      << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出1人),是否继续上次的抽奖?")));
  second->kill();
  second->waitForFinished(10000);
  const QList<QByteArray> lines = WinnerLines();
  ASSERT_EQ(lines.size(), 14);
  EXPECT_EQ(lines[0], Candidates()[revealed[0]]);
}

TEST_F(KilledDraw, EscThenEnterOnTheRealQuestionKeepsTheDraw) {
  // Open, a batch, Esc and the habitual Enter, then another batch.
  auto p = Start(QStringLiteral("enter,enter,enter,esc,enter,enter,enter"), {}, true);
  ASSERT_TRUE(WaitFor(
      *p, [&] { return Batches().size() == 2; }, 20000))
      << Batches().size();
  EXPECT_EQ(p->state(), QProcess::Running);
  Kill(*p);
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("LUCK_FILE/history"))));
}

// SIGTERM is POSIX; on Windows the console handler and Qt end the session.
#ifndef _WIN32
TEST_F(KilledDraw, SigtermOverTheDrawScreenEndsCleanlyAndTheDrawResumes) {
  // Open the draw, two batches; the session then ends the program with SIGTERM.
  auto first = Start(QStringLiteral("enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2; }));
  ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
  ASSERT_TRUE(first->waitForFinished(20000));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  // It left as by its exit button: no question on the way out, the lock released.
  EXPECT_TRUE(LogLines().isEmpty()) << LogLines().join('\n').toStdString();
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("tmp/Qarvo抽奖软件.lock"))));
  EXPECT_EQ(Batches().size(), 2);

  auto second = Start(QStringLiteral("enter"), QStringLiteral("no"));
  const QString resume =
      QStringLiteral("question\t上次抽奖尚未完成(已抽出4人),是否继续上次的抽奖?");
  EXPECT_TRUE(WaitFor(*second, [&] { return LogLines().contains(resume); }))
      << LogLines().join('\n').toStdString();
  Kill(*second);
}
#endif

namespace {

// tombolix-verify on the program's folder: its exit status and what it printed.
int RunVerify(const QString& folder, QString& out) {
  QProcess p;
  p.start(QStringLiteral(TOMBOLIX_VERIFY_EXE), {folder, QStringLiteral("1001")});
  if (!p.waitForFinished(30000)) return -1;
  // CR LF from the Windows console
  out = QString::fromUtf8(p.readAllStandardOutput())
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return p.exitCode();
}

}  // namespace

// With or without the hall's number: a torn last record, a resume that draws on, a kill, a
// resume to the end. Every revealed winner is kept and the draw verifies; a changed winner
// file does not.
class TornDraw : public KilledDraw {
 protected:
  // `digits`: the hall's number typed before the first batch, e.g. "4,7,1,1", or empty.
  void Run(const QString& digits, const QString& number);
};

TEST_F(TornDraw, WithTheHallsNumber) { Run(QStringLiteral("4,7,1,1,"), QStringLiteral("4711")); }
TEST_F(TornDraw, WithoutANumber) { Run(QString(), QStringLiteral("(无)")); }

void TornDraw::Run(const QString& digits, const QString& number) {
  auto first = Start(QStringLiteral("enter,") + digits + QStringLiteral("enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2 && KeysTyped(); }));
  Kill(*first);
  ASSERT_EQ(Batches().size(), 2);
  const QList<int> firstBatch = Winners(Batches()[0]);
  // A power cut in the middle of the last record: half of it is left.
  const QString journal = Path(QStringLiteral("LUCK_FILE/JOURNAL_1001.txt"));
  {
    QFile f(journal);
    ASSERT_TRUE(f.resize(f.size() - 47));
  }
  ASSERT_EQ(Batches().size(), 1);

  // Yes, then two more batches, and a kill.
  auto second = Start(QStringLiteral("enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] { return Batches().size() == 3 && KeysTyped(); }))
      << LogLines().join('\n').toStdString();
  Kill(*second);
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出1人),是否继续上次的抽奖?")));
  const QList<QByteArray> kept = Batches();
  ASSERT_EQ(kept.size(), 3);
  // No record was glued onto the torn one: every line of the journal is whole.
  for (const QByteArray& l : Read(journal).split('\n').mid(0, Read(journal).count('\n')))
    EXPECT_TRUE(l.endsWith('\r')) << l.toStdString();
  EXPECT_EQ(Winners(kept[0]), firstBatch);
  EXPECT_TRUE(Read(journal).contains(
      "START\taudience=" + (number == QStringLiteral("(无)") ? QByteArray() : number.toUtf8()) +
      "\t"));

  auto third =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*third, [&] { return LogLines().contains(kDone); }))
      << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出9人),是否继续上次的抽奖?")));
  third->kill();
  third->waitForFinished(10000);
  const QList<QByteArray> lines = WinnerLines();
  ASSERT_EQ(lines.size(), 14);
  const QList<int> revealed = Winners(kept[0]) + Winners(kept[1]) + Winners(kept[2]);
  ASSERT_EQ(revealed.size(), 9);
  for (int i = 0; i < revealed.size(); ++i) EXPECT_EQ(lines[i], Candidates()[revealed[i]]) << i;

  QString out;
  EXPECT_EQ(RunVerify(Path(QString()), out), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("现场号码") + number)) << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();
  EXPECT_EQ(out.count(QStringLiteral("  一致\n")), 4);
  // One byte of a winner file changed.
  const QString name = QDir(Path(QStringLiteral("LUCK_FILE")))
                           .entryList({QStringLiteral("1001_*.txt")}, QDir::Files, QDir::Name)
                           .value(0);
  const QString winners = Path(QStringLiteral("LUCK_FILE/") + name);
  QByteArray bytes = Read(winners);
  ASSERT_FALSE(bytes.isEmpty());
  bytes[bytes.size() - 3] = bytes[bytes.size() - 3] == '1' ? '2' : '1';
  {
    QFile f(winners);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  EXPECT_EQ(RunVerify(Path(QString()), out), 1);
  EXPECT_TRUE(out.contains(QStringLiteral("中奖名单文件LUCK_FILE/") + name +
                           QStringLiteral("与重放结果不符")))
      << out.toStdString();
}

namespace {

// One absent winner as the journal keeps it: candidate indexes and the place taken.
struct Absence {
  int place = -1;
  int absent = -1;
  int replacement = -1;
};

}  // namespace

// Absent winners on the real program: one of the first item, one of the last, the program
// killed while the second replacement rolls, resumed and drawn to the end.
class AbsentDraw : public KilledDraw {
 protected:
  QList<Absence> Absences(const QString& journal) const {
    QList<Absence> out;
    for (const QByteArray& l : Read(Path(journal)).split('\n')) {
      if (!l.startsWith("ABSENT\t") || !l.endsWith('\r')) continue;
      Absence a;
      for (const QByteArray& f : l.trimmed().split('\t')) {
        if (f.startsWith("place=")) a.place = f.mid(6).toInt();
        if (f.startsWith("absent=")) a.absent = f.mid(7).toInt();
        if (f.startsWith("replacement=")) a.replacement = f.mid(12).toInt();
      }
      out << a;
    }
    return out;
  }

  // The lines of a file of LUCK_FILE after its title line.
  QList<QByteArray> Lines(const QString& name) const {
    const QByteArray bytes = Read(Path(QStringLiteral("LUCK_FILE/") + name));
    EXPECT_TRUE(bytes.endsWith("\r\n")) << name.toStdString();
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& l : lines) {
      EXPECT_TRUE(l.endsWith('\r')) << name.toStdString();
      l.chop(1);
    }
    return lines.mid(1);
  }

  QStringList Files(const QString& pattern) const {
    return QDir(Path(QStringLiteral("LUCK_FILE"))).entryList({pattern}, QDir::Files, QDir::Name);
  }

  static bool Asked(const QStringList& log, int n) {
    int asked = 0;
    for (const QString& l : log)
      if (l.startsWith(QStringLiteral("question\t[")) &&
          l.endsWith(QStringLiteral("暂未到场,是否为该奖项抽取一名替补?")))
        ++asked;
    return asked >= n;
  }
};

TEST_F(AbsentDraw, KilledDuringTheSecondReplacementResumesAndKeepsBothInTheFiles) {
  // Q is taken once a reveal's landing (0.9 s) is over: 12 key ticks of 150 ms.
  const QString wait = QStringLiteral("wait,").repeated(12);
  // Open; the first item's one winner; Q, Enter on it, Yes (no answers given), Enter stops
  // the replacement; the second item; the first five of the last; Q, Enter on the first of
  // them, and its replacement rolls until the kill.
  auto first = Start(QStringLiteral("enter,enter,enter,") + wait +
                     QStringLiteral("q,enter,enter,") + wait + QStringLiteral("enter,enter,") +
                     wait + QStringLiteral("enter,enter,") + wait + QStringLiteral("q,enter"));
  // Killed once the last Enter has started the replacement's roll, which stops by itself
  // after three seconds.
  ASSERT_TRUE(WaitFor(*first, [&] { return Asked(LogLines(), 2) && KeysTyped(); }))
      << LogLines().join('\n').toStdString();
  Kill(*first);
  const QString journal = QStringLiteral("LUCK_FILE/JOURNAL_1001.txt");
  const QList<QByteArray> kept = Batches();
  ASSERT_EQ(kept.size(), 3);
  const QList<Absence> before = Absences(journal);
  ASSERT_EQ(before.size(), 1);  // the rolling replacement was never shown: not kept
  EXPECT_EQ(before[0].place, 0);
  EXPECT_EQ(before[0].absent, Winners(kept[0]).value(0));
  EXPECT_NE(before[0].replacement, before[0].absent);

  // Yes to go on; the first of the last batch is absent again, replaced; the last batch.
  auto second = Start(QStringLiteral("enter,") + wait + QStringLiteral("q,enter,enter,") + wait +
                          QStringLiteral("enter,enter,enter,enter"),
                      QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] { return LogLines().contains(kDone); }))
      << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出10人),是否继续上次的抽奖?")));
  second->kill();
  second->waitForFinished(10000);

  const QString done = QStringLiteral("LUCK_FILE/JOURNAL_1001_DONE.txt");
  const QList<Absence> absences = Absences(done);
  ASSERT_EQ(absences.size(), 2);
  EXPECT_EQ(absences[0].replacement, before[0].replacement);
  EXPECT_EQ(absences[1].place, 4);
  EXPECT_EQ(absences[1].absent, Winners(kept[2]).value(0));
  QList<QByteArray> batches;
  for (const QByteArray& l : Read(Path(done)).split('\n'))
    if (l.startsWith("BATCH\t")) batches << l;
  ASSERT_EQ(batches.size(), 4);

  // The winner files: the replacements in the absent winners' places, in draw order.
  const QList<QByteArray> c = Candidates();
  const QStringList winnerFiles = Files(QStringLiteral("1001_*.txt"));
  ASSERT_EQ(winnerFiles.size(), 3);
  EXPECT_EQ(Lines(winnerFiles[0]), QList<QByteArray>{c[absences[0].replacement]});
  EXPECT_EQ(Lines(winnerFiles[1]).size(), 3);
  QList<QByteArray> last;
  for (int k : Winners(batches[2]) + Winners(batches[3])) last << c[k];
  last[0] = c[absences[1].replacement];
  EXPECT_EQ(Lines(winnerFiles[2]), last);

  // The absent winners in their own files, each with its replacement's id.
  const QStringList absentFiles = Files(QStringLiteral("ABSENT_1001_*.txt"));
  ASSERT_EQ(absentFiles.size(), 2);
  EXPECT_EQ(absentFiles[0], QStringLiteral("ABSENT_") + winnerFiles[0]);
  EXPECT_EQ(absentFiles[1], QStringLiteral("ABSENT_") + winnerFiles[2]);
  const QByteArray mark = "\xcc\xe6\xb2\xb9:";  // 替补: in GBK
  for (int i = 0; i < 2; ++i) {
    const QByteArray& replacement = c[absences[i].replacement];
    EXPECT_EQ(Lines(absentFiles[i]), QList<QByteArray>{c[absences[i].absent] + " " + mark +
                                                       replacement.left(replacement.indexOf(' '))})
        << i;
  }

  QString out;
  EXPECT_EQ(RunVerify(Path(QString()), out), 0) << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();
}

// A task with a condition and a quota, drawn by keyboard, killed once and resumed: every
// winner keeps the rules and the draw verifies.
TEST_F(KilledDraw, UnderRulesTheResumedDrawKeepsThemAndVerifies) {
  auto setUp = Start();  // the program makes its database with the example tasks
  // Its window is up (the empty key list is done) once the example tasks are written.
  ASSERT_TRUE(WaitFor(*setUp, [&] {
    return QFileInfo::exists(Path(QStringLiteral("DATA/Tombolix.db"))) &&
           QFileInfo::exists(Path(QStringLiteral("DATA_FILE/1001.txt"))) && KeysTyped();
  }));
  Kill(*setUp);
  {
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(Path(QStringLiteral("DATA/Tombolix.db")).toUtf8().constData(), &h),
              SQLITE_OK);
    char* msg = nullptr;
    ASSERT_EQ(sqlite3_exec(h,
                           "update TaskItem set Rules='ITEM\t1001\tNONEOF\t部门\t研发部\n' "
                           "where ItemId=1001;"
                           "update TaskItem set Rules='ITEMQUOTA\t1003\t部门\t2\n' where "
                           "ItemId=1003;",
                           nullptr, nullptr, &msg),
              SQLITE_OK)
        << msg;
    sqlite3_close(h);
  }
  auto first = Start(QStringLiteral("enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2 && KeysTyped(); }))
      << LogLines().join('\n').toStdString();
  Kill(*first);
  auto second =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] { return LogLines().contains(kDone); }))
      << LogLines().join('\n').toStdString();
  second->kill();
  second->waitForFinished(10000);
  // 一等奖 went to nobody of 研发部, 三等奖 to at most two of a department.
  const auto items = [&](int itemId) {
    QList<QByteArray> lines =
        Read(Path(QStringLiteral("LUCK_FILE/1001_%1.txt").arg(itemId))).split('\n');
    QList<QByteArray> out;
    for (int i = 1; i < lines.size(); ++i)
      if (!lines[i].trimmed().isEmpty()) out << lines[i].trimmed();
    return out;
  };
  const QList<QByteArray> first1 = items(1001);
  ASSERT_EQ(first1.size(), 1);
  EXPECT_FALSE(text::GbkToUtf8(first1[0].toStdString()).ends_with(" 研发部"));
  std::map<std::string, int> perDepartment;
  const QList<QByteArray> third = items(1003);
  ASSERT_EQ(third.size(), 10);
  for (const QByteArray& l : third) ++perDepartment[l.split(' ').last().toStdString()];
  for (const auto& [dept, n] : perDepartment) EXPECT_LE(n, 2) << text::GbkToUtf8(dept);
  QString out;
  EXPECT_EQ(RunVerify(Path(QString()), out), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("规则与指纹一致"))) << out.toStdString();
}
