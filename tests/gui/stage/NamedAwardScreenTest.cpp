// A named award on the real draw window: the start key puts its winners on their own whole
// screen at once, with the fireworks, and nothing rolls; the next key draws on as always, and
// 结果查询 marks the named winners afterwards.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawSession.h"
#include "core/records/NamedAwardFile.h"
#include "core/text/Gbk.h"
#include "gui/results/QueryFrm.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/GrandPrize.h"
#include "gui/stage/RevealCards.h"
#include "gui/ui/GridHelpers.h"

using text::G;

namespace {

class NamedAwardScreen : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  static void Key(TGetLuckMainForm& s) {
    QTest::keyClick(s.EKeyCtrl, Qt::Key_Return);
    QCoreApplication::processEvents();  // the selection an Enter scheduled
  }

  TempRoot m_root;
  TDrawSession m_session;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(NamedAwardScreen, TheStartKeyShowsTheNamedWinnersOnTheirOwnScreenAtOnce) {
  TaskDef def;
  def.title = G("工号 姓名");
  def.items = {
      {G("一等奖"), 1, 1, G("电脑")}, {G("荣誉奖"), 2, 1, G("奖杯")}, {G("二等奖"), 1, 1, ""}};
  for (int i = 0; i < 10; ++i)
    def.candidates.push_back("E" + std::to_string(100 + i) + " " + G("员工") + std::to_string(i));
  const std::vector<int> ids = BuildTask(m_dm, def);
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, ids[1], {"E107", "E102"}, error)) << error;
  TGetLuckMainForm screen(m_session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  Key(screen);
  Key(screen);
  screen.ShowReveal();
  EXPECT_TRUE(screen.PGrand->isHidden());  // 一等奖 was drawn and stands on the band
  // One key: the award is in sight, nothing rolled.
  Key(screen);
  EXPECT_FALSE(screen.TMRoll->isActive());
  ASSERT_TRUE(screen.PGrand->isVisible());
  EXPECT_EQ(screen.PGrand->geometry(), screen.rect());
  ASSERT_EQ(screen.PGrand->Cards->Cards().size(), 2u);
  EXPECT_EQ(screen.PGrand->Cards->Cards()[0].name, QStringLiteral("员工7"));
  EXPECT_EQ(screen.PGrand->Cards->Cards()[1].name, QStringLiteral("员工2"));
  EXPECT_TRUE(screen.Celebration->Running());
  ASSERT_EQ(m_session.Winners.size(), 3u);
  // The next key draws 二等奖 as always, and the award's screen makes way for its roll.
  Key(screen);
  EXPECT_TRUE(screen.TMRoll->isActive());
  EXPECT_TRUE(screen.PGrand->isHidden());
  Key(screen);
  screen.ShowReveal();
  ASSERT_TRUE(screen.PGrand->isVisible());  // the grand prize, drawn
  // 结果查询 says 指定 beside each named winner.
  TDrawSession results;
  TQueryForm query(results);
  ASSERT_EQ(query.SetUpQuery(1001), 1);
  query.LBItem->setCurrentRow(1);
  query.LBItemClick();
  int column = -1;
  for (int c = 0; c < query.SGLuckId->columnCount(); ++c)
    if (const QTableWidgetItem* h = query.SGLuckId->horizontalHeaderItem(c);
        h && h->text() == QStringLiteral("颁奖方式"))
      column = c;
  ASSERT_GE(column, 2);
  EXPECT_EQ(GridCell(query.SGLuckId, 1, 0), QStringLiteral("E107"));
  EXPECT_EQ(GridCell(query.SGLuckId, 1, column), QStringLiteral("指定"));
  EXPECT_EQ(GridCell(query.SGLuckId, 2, column), QStringLiteral("指定"));
}
