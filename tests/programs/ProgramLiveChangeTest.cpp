// The real program with a prize item added on stage by the operator's keys: the item is
// drawn with its count, its winners are in its own file, and tombolix-verify replays it.
#include <QDir>
#include <QFileInfo>

#include "ProgramCopy.h"
#include "core/text/Gbk.h"

namespace {

class LiveChangeProgram : public ProgramCopy {
 protected:
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys();
  }
};

const QString kDone = QStringLiteral("message\t0\t所有奖项已经全部抽取完毕");

}  // namespace

// After 一等奖's batch: F2, 特别奖 typed with 2 winners, 2 a press, drawn next; then 二等奖
// (3) and 三等奖 (5 and 5) to the end.
TEST_F(LiveChangeProgram, AnItemAddedByKeysIsDrawnWithItsCountAndVerifies) {
  // F2 is taken once the reveal's landing (0.9 s) is over: 12 key ticks of 150 ms.
  const QString wait = QStringLiteral("wait,").repeated(12);
  auto p = Start(QStringLiteral("enter,enter,enter,") + wait +
                 QStringLiteral("f2,text:特别奖,tab,2,tab,2,enter,"
                                "enter,enter,enter,enter,enter,enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(
      *p, [&] { return LogLines().contains(kDone); }, 60000))
      << LogLines().join('\n').toStdString();
  p->kill();
  p->waitForFinished(10000);

  const QList<QByteArray> records = Records();
  const QByteArray name = QByteArray::fromStdString(text::Utf8ToGbk("特别奖"));
  qsizetype add = -1;
  for (qsizetype i = 0; i < records.size(); ++i)
    if (records[i].startsWith("ADD\t")) add = i;
  ASSERT_GE(add, 0) << Records().join('\n').toStdString();
  const QByteArray item = RecordField(records[add], "item");
  EXPECT_EQ(RecordField(records[add], "name"), name);
  EXPECT_EQ(RecordField(records[add], "count"), "2");
  EXPECT_EQ(RecordField(records[add], "per"), "2");
  // Drawn next: the NEXT that follows names it, and the batch after is its own.
  ASSERT_LT(add + 2, records.size());
  EXPECT_EQ(records[add + 1], "NEXT\titem=" + item);
  EXPECT_TRUE(records[add + 2].startsWith("BATCH\titem=" + item + "\tdrawn=2\t"))
      << records[add + 2].toStdString();
  const QList<QByteArray> winners = RecordField(records[add + 2], "winners").split(',');
  ASSERT_EQ(winners.size(), 2);

  // Its own winner file: the title line, then the two drawn, in their order.
  const QList<QByteArray> candidates = Candidates();
  QList<QByteArray> lines = Read(Path(QStringLiteral("LUCK_FILE/1001_") +
                                      QString::fromLatin1(item) + QStringLiteral(".txt")))
                                .split('\n');
  for (QByteArray& l : lines) l = l.trimmed();
  lines.removeAll(QByteArray());
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[1], candidates[winners[0].toInt()]);
  EXPECT_EQ(lines[2], candidates[winners[1].toInt()]);
  // Every other item drew its count: 1 + 3 + 10 batches' winners beside the added two.
  int drawn = 0;
  for (const QByteArray& r : records)
    if (r.startsWith("BATCH\t"))
      drawn += static_cast<int>(RecordField(r, "winners").split(',').size());
  EXPECT_EQ(drawn, 16);

  QProcess verify;
  verify.start(QStringLiteral(TOMBOLIX_VERIFY_EXE), {Path(QString()), QStringLiteral("1001")});
  ASSERT_TRUE(verify.waitForFinished(30000));
  const QString out = QString::fromUtf8(verify.readAllStandardOutput())
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  EXPECT_EQ(verify.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("第1项改动 临时加奖 奖项") + QString::fromLatin1(item) +
                           QStringLiteral(" 特别奖 2名(每次2名)  一致")))
      << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("第2项改动 选择下一个奖项 奖项") +
                           QString::fromLatin1(item) + QStringLiteral("  一致")))
      << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();
}
