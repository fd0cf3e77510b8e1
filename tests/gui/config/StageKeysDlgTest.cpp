// 大屏按键: the times of the stage's keys, in seconds, stored with the task.
#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QPushButton>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "gui/config/StageKeysDlg.h"

using text::G;

TEST(StageKeysDlg, ShowsTheDefaultsStoresTheSecondsAndGoesBackToTheDefaults) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;
  TaskDef def;
  def.items = {{G("一等奖"), 1, 1, ""}};
  def.stageKeys = "";  // never changed
  BuildTask(dm, def);

  TStageKeysDlg dlg(1001);
  ASSERT_TRUE(dlg.Load());
  EXPECT_DOUBLE_EQ(dlg.SERest->value(), 1.0);
  EXPECT_DOUBLE_EQ(dlg.SEMinRoll->value(), 1.5);
  dlg.show();
  EXPECT_EQ(Crowded(&dlg).join(QLatin1Char('\n')).toStdString(), "");
  dlg.SERest->setValue(0.4);
  dlg.SEMinRoll->setValue(3.0);
  dlg.BtnOk->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  std::string stored, error;
  ASSERT_TRUE(LoadStageKeys(1001, stored, error)) << error;
  EXPECT_EQ(stored, "400 3000");

  // Opened again, it shows what was stored; 恢复默认 stores the empty text of the defaults.
  TStageKeysDlg again(1001);
  ASSERT_TRUE(again.Load());
  EXPECT_DOUBLE_EQ(again.SERest->value(), 0.4);
  EXPECT_DOUBLE_EQ(again.SEMinRoll->value(), 3.0);
  again.BtnDefaults->click();
  EXPECT_DOUBLE_EQ(again.SEMinRoll->value(), 1.5);
  again.BtnOk->click();
  ASSERT_TRUE(LoadStageKeys(1001, stored, error)) << error;
  EXPECT_EQ(stored, "");
  EXPECT_TRUE(dialogs.messages().empty());

  // Cancel stores nothing.
  TStageKeysDlg cancelled(1001);
  ASSERT_TRUE(cancelled.Load());
  cancelled.SERest->setValue(5);
  cancelled.BtnCancel->click();
  ASSERT_TRUE(LoadStageKeys(1001, stored, error)) << error;
  EXPECT_EQ(stored, "");
}
