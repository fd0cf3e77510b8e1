// 名单球 on the real program: killed while the batch's winners fly out of the sphere, the
// batch the hall saw land is kept and the resumed draw finishes with it.
#include <QDir>
#include <QFileInfo>

#include "ProgramCopy.h"
#include "core/config/TaskRollStyle.h"
#include "core/config/TaskStageKeys.h"
#include "core/db/TombolixDM.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Paths.h"
#include "gui/ui/Qt.h"

namespace {

class SphereKilled : public ProgramCopy {
 protected:
  QList<QByteArray> WinnerLines() const {
    QList<QByteArray> out;
    for (const QString& f :
         QDir(Path(QStringLiteral("LUCK_FILE")))
             .entryList({QStringLiteral("1001_*.txt")}, QDir::Files, QDir::Name)) {
      const QList<QByteArray> lines = Read(Path(QStringLiteral("LUCK_FILE/") + f)).split('\n');
      for (int i = 1; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty()) out << lines[i].trimmed();
    }
    return out;
  }
};

}  // namespace

// The example task draws 1, 3, 5 and 5 winners in four batches.
TEST_F(SphereKilled, DuringTheFlyOutTheLandedBatchIsKeptAndTheDrawFinishes) {
  paths::SetDataRoot(FromQ(m_dir.path()) + "/");
  {
    TTombolixDataModule dm(SeedExampleTasks);
    ASSERT_TRUE(dm.DataModuleCreate());
    std::string error;
    ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error)) << error;
    // Keys typed every 150 ms: the stage's rest after a reveal and its minimum roll are off.
    ASSERT_TRUE(config::SaveStageKeyTimes(1001, {0, 0}, error)) << error;
  }
  // Open the draw, two batches; the second's stop key is the last, so the kill comes while
  // its winners fly out (the landing lasts 900 ms).
  auto first = Start(QStringLiteral("enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2 && KeysTyped(); }));
  Kill(*first);
  const QList<QByteArray> kept = Batches();
  ASSERT_EQ(kept.size(), 2);
  const QList<int> revealed = Winners(kept[0]) + Winners(kept[1]);
  ASSERT_EQ(revealed.size(), 4);

  auto second =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] {
    return LogLines().contains(QStringLiteral("message\t0\t所有奖项已经全部抽取完毕"));
  })) << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出4人),是否继续上次的抽奖?")));
  second->kill();
  second->waitForFinished(10000);
  const QList<QByteArray> lines = WinnerLines();
  ASSERT_EQ(lines.size(), 14);
  const QList<QByteArray> candidates = Candidates();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[i], candidates[revealed[i]]) << i;
}
