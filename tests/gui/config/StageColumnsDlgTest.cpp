// 大屏显示列: the operator's choice of the list's columns on the stage, stored with the task.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "gui/config/StageColumnsDlg.h"

using text::G;

TEST(StageColumnsDlg, TheChoiceIsStoredPerColumnAndAHiddenColumnIsNotMasked) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;
  TaskDef def;
  def.items = {{G("一等奖"), 1, 1, ""}};
  def.title = G("工号 姓名 部门 分公司 手机");
  def.candidates = {G("E01 张三 销售 北京 13800000000")};
  BuildTask(dm, def);

  TStageColumnsDlg dlg(1001);
  ASSERT_TRUE(dlg.Load());
  ASSERT_EQ(dlg.SGColumns->rowCount(), 5);
  dlg.show();
  EXPECT_EQ(Crowded(&dlg).join(QLatin1Char('\n')).toStdString(), "");
  EXPECT_EQ(dlg.SGColumns->item(4, 0)->text(), QStringLiteral("手机"));
  for (int r = 0; r < 5; ++r) EXPECT_EQ(dlg.SGColumns->item(r, 1)->checkState(), Qt::Checked);
  // The id's mask is the task's own: not a choice here.
  EXPECT_FALSE(dlg.SGColumns->item(0, 2)->flags() & Qt::ItemIsUserCheckable);
  dlg.SGColumns->item(4, 2)->setCheckState(Qt::Checked);  // 手机 masked
  dlg.SGColumns->item(3, 2)->setCheckState(Qt::Checked);
  dlg.SGColumns->item(3, 1)->setCheckState(Qt::Unchecked);  // 分公司 hidden: its mask goes
  EXPECT_EQ(dlg.SGColumns->item(3, 2)->checkState(), Qt::Unchecked);
  EXPECT_FALSE(dlg.SGColumns->item(3, 2)->flags() & Qt::ItemIsEnabled);
  dlg.SGColumns->item(2, 1)->setCheckState(Qt::Unchecked);  // 部门 hidden
  dlg.BtnOk->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  std::string stored, error;
  ASSERT_TRUE(LoadStageColumns(1001, stored, error)) << error;
  EXPECT_EQ(stored, "SSHHM");

  // Opened again, it shows what was stored.
  TStageColumnsDlg again(1001);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.SGColumns->item(2, 1)->checkState(), Qt::Unchecked);
  EXPECT_EQ(again.SGColumns->item(4, 2)->checkState(), Qt::Checked);
  EXPECT_TRUE(dialogs.messages().empty());

  // A task without a list has no columns to choose from yet.
  TaskDef bare;
  bare.taskId = 1002;
  bare.items = {{G("一等奖"), 1, 1, ""}};
  BuildTask(dm, bare);
  TStageColumnsDlg none(1002);
  EXPECT_FALSE(none.Load());
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].second, QStringLiteral("请先导入抽奖数据"));
}
