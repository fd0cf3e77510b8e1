// The real program after a finished draw: the operator voids a winner from 结果查询 by keys,
// with the place left empty; the record, the void file and the winner file all say so, and
// tombolix-verify replays it.
#include <QProcess>

#include "ProgramCopy.h"
#include "core/text/Gbk.h"

namespace {

class VoidProgram : public ProgramCopy {
 protected:
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys();
  }

  // A file of LUCK_FILE in lines, line ends and empty lines cut.
  QList<QByteArray> Lines(const QString& name) const {
    QList<QByteArray> lines = Read(Path(QStringLiteral("LUCK_FILE/") + name)).split('\n');
    for (QByteArray& l : lines) l = l.trimmed();
    lines.removeAll(QByteArray());
    return lines;
  }

  static QString Keys(const QString& key, int times) {
    return (key + QLatin1Char(',')).repeated(times);
  }
};

}  // namespace

// The example task drawn to its end (1, 3, 5 and 5 winners); Esc ends the grand prize's
// moment and a second Esc goes back to the main window;
// Alt+Q, the first item's winner, Alt+V, 误抽 by Space, Tab to 作废 and Space; the question
// answered Yes.
TEST_F(VoidProgram, AWinnerVoidedFromTheResultsLeavesThePlaceEmptyAndVerifies) {
  auto p = Start(Keys(QStringLiteral("enter"), 9) + Keys(QStringLiteral("wait"), 20) +
                 QStringLiteral("esc,") + Keys(QStringLiteral("wait"), 6) + QStringLiteral("esc,") +
                 Keys(QStringLiteral("wait"), 6) + QStringLiteral("alt+q,") +
                 Keys(QStringLiteral("wait"), 6) + QStringLiteral("tab,down,alt+v,") +
                 Keys(QStringLiteral("wait"), 4) + QStringLiteral("space,") +
                 Keys(QStringLiteral("tab"), 2) + QStringLiteral("space"));
  ASSERT_TRUE(WaitFor(
      *p, [&] { return !LogLines().filter(QStringLiteral("message\t0\t已作废")).isEmpty(); },
      60000))
      << LogLines().join('\n').toStdString();
  p->kill();
  p->waitForFinished(10000);

  const QList<QByteArray> records = Records();
  QByteArray batch, voided;
  for (const QByteArray& r : records) {
    if (batch.isEmpty() && r.startsWith("BATCH\t")) batch = r;
    if (r.startsWith("VOID\t")) voided = r;
  }
  ASSERT_FALSE(voided.isEmpty()) << records.join('\n').toStdString();
  // 一等奖's one winner, at the first place, for 误抽, the place left empty.
  const QByteArray item = RecordField(batch, "item");
  EXPECT_EQ(RecordField(voided, "item"), item);
  EXPECT_EQ(RecordField(voided, "place"), "0");
  EXPECT_EQ(RecordField(voided, "voided"), RecordField(batch, "winners"));
  EXPECT_EQ(RecordField(voided, "reason"), QByteArray::fromStdString(text::Utf8ToGbk("误抽")));
  EXPECT_EQ(RecordField(voided, "redraw"), "0");

  const QByteArray winner = Candidates()[RecordField(batch, "winners").toInt()];
  const QByteArray id =
      winner.left(winner.indexOf('\t') < 0 ? winner.indexOf(' ') : winner.indexOf('\t'));
  EXPECT_TRUE(LogLines().contains(QStringLiteral("message\t0\t已作废：[一等奖] ") +
                                  QString::fromLatin1(id) + QStringLiteral("（误抽），名额空缺")))
      << LogLines().join('\n').toStdString();
  // The void file: the title line, then the winner, the time and the reason (no replacement:
  // the empty last field is cut with the line end).
  const QString tail = QString::fromLatin1(item) + QStringLiteral(".txt");
  const QList<QByteArray> voids = Lines(QStringLiteral("VOID_1001_") + tail);
  ASSERT_EQ(voids.size(), 2);
  EXPECT_TRUE(voids[1].startsWith(winner + '\t')) << voids[1].toStdString();
  EXPECT_TRUE(voids[1].endsWith('\t' + QByteArray::fromStdString(text::Utf8ToGbk("误抽"))))
      << voids[1].toStdString();
  // The winner file keeps its title line only.
  const QList<QByteArray> winners = Lines(QStringLiteral("1001_") + tail);
  ASSERT_EQ(winners.size(), 1);
  EXPECT_FALSE(winners[0].contains(id));

  QProcess verify;
  verify.start(QStringLiteral(TOMBOLIX_VERIFY_EXE), {Path(QString()), QStringLiteral("1001")});
  ASSERT_TRUE(verify.waitForFinished(30000));
  const QString out = QString::fromUtf8(verify.readAllStandardOutput())
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  EXPECT_EQ(verify.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("作废 奖项") + QString::fromLatin1(item) +
                           QStringLiteral(": ") + QString::fromLatin1(id) +
                           QStringLiteral(" (误抽, ")))
      << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral(" 名额空缺  一致\n"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("共作废1名中奖者(重抽0名, 名额空缺1名)")))
      << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();
}
