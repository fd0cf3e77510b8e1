// A clicker that fires twice, on the real program with the stage's default times: after a
// reveal, two Enters 50 ms apart start one batch, and its second press never lands it; on
// the stop, the second press shows the batch at once and starts nothing.
#include "ProgramCopy.h"

namespace {

class Clicker : public ProgramCopy {
 protected:
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys("");  // the program's defaults: a second's rest, a roll of at least 1.5 s
  }
  // The leave question, asked between batches only (never while a batch rolls).
  int LeaveQuestions() const {
    int n = 0;
    for (const QString& l : LogLines())
      if (l.startsWith(QStringLiteral("question\t奖项未全部抽取完毕"))) ++n;
    return n;
  }
};

QString Waits(int ticks) { return QStringLiteral("wait,").repeated(ticks); }

}  // namespace

// The example task: 一等奖 of one winner, then 二等奖 of three in one batch.
TEST_F(Clicker, TwoEntersFiftyMsApartAfterARevealStartOneBatch) {
  // Keys every 150 ms. Open the draw; past the rest after the Ready screen, start the first
  // batch; past its minimum roll, stop it with a double press. Esc between batches asks
  // whether to leave (No). Then the double press again: one batch starts and rolls on, and
  // Esc while it rolls is refused without a question.
  auto p = Start(QStringLiteral("enter,") + Waits(16) + QStringLiteral("enter,") + Waits(14) +
                     QStringLiteral("double,") + Waits(14) + QStringLiteral("esc,") + Waits(4) +
                     QStringLiteral("double,") + Waits(4) + QStringLiteral("esc,") + Waits(14),
                 QStringLiteral("no,no"));
  ASSERT_TRUE(WaitFor(
      *p, [&] { return KeysTyped(); }, 60000))
      << LogLines().join('\n').toStdString();
  // A landing's time more: a batch stopped by the last press would be in the journal.
  EXPECT_FALSE(QTest::qWaitFor([&] { return Batches().size() > 1; }, 1500));
  ASSERT_EQ(p->state(), QProcess::Running) << LogLines().join('\n').toStdString();
  // The first batch was stopped and revealed; the second press of its stop started nothing
  // (else the first Esc would have found a batch rolling, and asked nothing).
  EXPECT_EQ(Batches().size(), 1) << LogLines().join('\n').toStdString();
  EXPECT_EQ(LeaveQuestions(), 1) << LogLines().join('\n').toStdString();
  // The second double press started the second batch, and its second press did not land
  // it: it rolls on, unjournalled, and the last Esc asked nothing.
  Kill(*p);
  EXPECT_EQ(Batches().size(), 1);
}
