// 接管抽奖's question of the batch the hall saw, and 接力包's folder of the draw settings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/spare/AutoRelay.h"
#include "core/text/Gbk.h"
#include "gui/config/AutoRelayDlg.h"
#include "gui/spare/TakeOverFrm.h"

using text::G;

TEST(TakeOverForm, TheHallSeeingMoreThanThePackageHoldsNeedsTheRedrawConfirmed) {
  spare::TTakeOverOffer offer;
  offer.StageTaskId = 1001;
  offer.TaskName = G("年会抽奖");
  offer.Machine = "STAGE-PC";
  offer.WrittenAt = "2026-12-10 20:30:00";
  offer.Held = 2;
  TTakeOverForm form(offer);
  form.show();
  EXPECT_EQ(Crowded(&form).join(QLatin1Char('\n')).toStdString(), "");
  EXPECT_EQ(form.LbOffer->text(),
            QStringLiteral("任务:年会抽奖\n接力包来自:STAGE-PC,写于2026-12-10 20:30:00\n"
                           "包中已揭晓:第1至2批"));
  // The default is what the package holds: nothing missing, takeover at once.
  EXPECT_EQ(form.SeShown->value(), 2);
  EXPECT_FALSE(form.LbMissing->isVisible());
  EXPECT_TRUE(form.BtnTakeOver->isEnabled());
  EXPECT_EQ(form.Choice().ShownBatch, 2);
  EXPECT_FALSE(form.Choice().RedrawMissing);
  // The hall saw batch 4: what is missing is named and the takeover waits for the confirmation.
  form.SeShown->setValue(4);
  EXPECT_TRUE(form.LbMissing->isVisible());
  EXPECT_EQ(form.LbMissing->text(),
            QStringLiteral("接力包只到第2批,台上已揭晓到第4批:第3…4批的中奖者不在包中"));
  EXPECT_EQ(form.CbRedraw->text(), QStringLiteral("确认第3至4批在本机重新抽取"));
  EXPECT_FALSE(form.BtnTakeOver->isEnabled());
  form.CbRedraw->setChecked(true);
  EXPECT_TRUE(form.BtnTakeOver->isEnabled());
  EXPECT_EQ(form.Choice().ShownBatch, 4);
  EXPECT_TRUE(form.Choice().RedrawMissing);
  // Back to what the package holds: the confirmation goes with the missing batches.
  form.SeShown->setValue(2);
  EXPECT_FALSE(form.CbRedraw->isChecked());
  EXPECT_FALSE(form.Choice().RedrawMissing);
}

TEST(AutoRelayDlg, StoresTheChosenFolderAndTurnsItOff) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;
  TaskDef def;
  def.items = {{G("一等奖"), 1, 1, ""}};
  BuildTask(dm, def);
  const QString folder = QString::fromStdString(root.path("stick"));
  dialogs.files.push_back(folder);
  {
    TAutoRelayDlg dlg(1001);
    ASSERT_TRUE(dlg.Load());
    dlg.show();
    EXPECT_EQ(Crowded(&dlg).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_FALSE(dlg.CKAutoRelay->isChecked());
    EXPECT_FALSE(dlg.BtnChooseFolder->isEnabled());
    dlg.CKAutoRelay->setChecked(true);
    dlg.BtnChooseFolder->click();
    EXPECT_EQ(dlg.EdtRelayFolder->text(), folder);
    dlg.BtnOk->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
  std::string stored, error;
  ASSERT_TRUE(spare::LoadAutoRelayFolder(1001, stored, error));
  EXPECT_EQ(stored, root.path("stick"));
  TAutoRelayDlg again(1001);
  ASSERT_TRUE(again.Load());
  EXPECT_TRUE(again.CKAutoRelay->isChecked());
  EXPECT_EQ(again.EdtRelayFolder->text(), folder);
  again.CKAutoRelay->setChecked(false);
  again.BtnOk->click();
  ASSERT_TRUE(spare::LoadAutoRelayFolder(1001, stored, error));
  EXPECT_EQ(stored, "");
  EXPECT_TRUE(dialogs.messages().empty());
}
