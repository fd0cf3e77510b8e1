// The stage laptop dies mid-draw and a spare laptop goes on from its relay package: the real
// program draws on both, killed with SIGKILL on the stage; the takeover itself is the core's
// (spare::TakeOver, called here as the 接管抽奖 window calls it), the draw on the spare is
// driven by keys.
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include "ProgramCopy.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/spare/Relay.h"
#include "core/spare/TakeOver.h"
#include "core/text/Gbk.h"

namespace {

class RelayDraw : public ProgramCopy {
 protected:
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys();
  }

  static std::string Gbk(const QString& s) { return text::Utf8ToGbk(s.toStdString()); }
};

}  // namespace

TEST_F(RelayDraw, ASpareTakesOverFromTheRelayPackageAndFinishesTheDraw) {
  // The stage: the draw opened, two batches revealed.
  auto first = Start(QStringLiteral("enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2 && KeysTyped(); }));
  const QList<QByteArray> held = Batches();
  const QString root = Path(QString());
  const std::string gbkRoot = Gbk(root) + "/";
  paths::SetDataRoot(gbkRoot);
  // Two guests checked in and the first winner took the prize, as the phones and the desk
  // write them.
  const QList<QByteArray> candidates = Candidates(root);
  const QByteArray winner = candidates[Winners(held[0])[0]].split(' ')[0];
  const std::string key = claims::JournalDrawKey(paths::JournalPath(1001));
  {
    QFile f(QString::fromStdString(text::GbkToUtf8(checkin::CheckinFilePath(1001))));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(
        checkin::FormatCheckinHead(1001) +
        checkin::FormatCheckinRecord(
            {winner.toStdString(), "2026-12-10 19:00:00", std::string(32, 'a'), ""}) +
        checkin::FormatCheckinRecord({candidates[0].split(' ')[0].toStdString(),
                                      "2026-12-10 19:00:09", std::string(32, 'b'), ""})));
  }
  {
    QFile f(QString::fromStdString(text::GbkToUtf8(claims::ClaimFilePath(1001, key))));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(
        claims::FormatClaimHead(1001, key) +
        claims::FormatClaimRecord({winner.toStdString(), RecordField(held[0], "item").toInt(),
                                   "2026-12-10 20:00:00", text::G("一号台")})));
  }
  // The relay package, written while the stage runs.
  const QString zip = root + QStringLiteral("/relay.zip");
  {
    TTombolixDataModule dm;
    ASSERT_TRUE(dm.DataModuleCreate());
    spare::TRelaySummary summary;
    std::string error;
    ASSERT_TRUE(spare::WriteRelay(1001, Gbk(zip), summary, error)) << text::GbkToUtf8(error);
    EXPECT_EQ(summary.Batches, 2);
  }
  Kill(*first);
  // Resumed, a third batch revealed, the fourth rolling when the laptop dies.
  auto second = Start(QStringLiteral("enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] { return Batches().size() == 3 && KeysTyped(); }));
  Kill(*second);
  const QList<QByteArray> stage = Batches();
  ASSERT_EQ(stage.size(), 3);

  // The stage laptop's folder is put aside; the spare is a fresh machine in this folder.
  QTemporaryDir aside;
  ASSERT_TRUE(aside.isValid());
  for (const QString& d :
       {QStringLiteral("DATA"), QStringLiteral("DATA_FILE"), QStringLiteral("LUCK_FILE")})
    ASSERT_TRUE(QDir().rename(Path(d), aside.filePath(d)));
  ASSERT_TRUE(QFile::rename(zip, aside.filePath(QStringLiteral("relay.zip"))));
  SetStageKeys();
  {
    TTombolixDataModule dm;
    ASSERT_TRUE(dm.DataModuleCreate());
    spare::TRelay relay;
    std::string error;
    ASSERT_TRUE(
        spare::ReadRelayPackage(Gbk(aside.filePath(QStringLiteral("relay.zip"))), relay, error))
        << text::GbkToUtf8(error);
    spare::TTakeOverChoice choice;
    choice.ShownBatch = 3;
    int32_t local = 0;
    std::string message;
    EXPECT_FALSE(spare::TakeOver(relay, choice, local, message));
    EXPECT_EQ(text::GbkToUtf8(message), "接力包只到第2批,台上已揭晓到第3批:第3批的中奖者不在包中");
    choice.RedrawMissing = true;
    ASSERT_TRUE(spare::TakeOver(relay, choice, local, message)) << text::GbkToUtf8(message);
    EXPECT_EQ(local, 1001);
  }
  // The spare resumes the draw, says the third batch is drawn again, and finishes it.
  auto spareRun =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  const QString done = QStringLiteral("message\t0\t所有奖项已经全部抽取完毕");
  ASSERT_TRUE(WaitFor(*spareRun, [&] { return LogLines().contains(done); }))
      << LogLines().join('\n').toStdString();
  spareRun->kill();
  spareRun->waitForFinished(10000);
  EXPECT_TRUE(LogLines().join('\n').contains(QStringLiteral("第3批重新抽取")))
      << LogLines().join('\n').toStdString();

  // The first two batches' winners as the stage revealed them, the third as the stage drew
  // it, nobody twice.
  const QList<QByteArray> lines = WinnerLines(root);
  ASSERT_EQ(lines.size(), 14);
  const QList<int> stageWinners = Winners(stage[0]) + Winners(stage[1]) + Winners(stage[2]);
  ASSERT_EQ(stageWinners.size(), 9);
  for (int i = 0; i < stageWinners.size(); ++i)
    EXPECT_EQ(lines[i], candidates[stageWinners[i]]) << i;
  EXPECT_EQ(QSet<QByteArray>(lines.begin(), lines.end()).size(), 14);
  // The check-ins and the claim came along byte for byte.
  EXPECT_EQ(Read(Path(QStringLiteral("LUCK_FILE/CHECKIN_1001.txt"))),
            Read(aside.filePath(QStringLiteral("LUCK_FILE/CHECKIN_1001.txt"))));

  // One journal, one secret: the check passes and tells the move.
  QProcess verify;
  verify.start(QStringLiteral(TOMBOLIX_VERIFY_EXE), {root, QStringLiteral("1001")});
  ASSERT_TRUE(verify.waitForFinished(30000));
  const QString out = QString::fromUtf8(verify.readAllStandardOutput())
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  EXPECT_EQ(verify.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("移至备用电脑(接力包")) &&
              out.contains(QStringLiteral("此前已揭晓2批, 第3批重新抽取")))
      << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();
}
