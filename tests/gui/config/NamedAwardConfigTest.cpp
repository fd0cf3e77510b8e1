// 指定颁奖 in the configuration window: an item is marked, its winners entered by id (picked
// from the list or pasted), checked at once in the draw's own words, stored beside the item,
// and unmarking asks before the list goes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/records/NamedAwardFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/config/ItemTab.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/config/RulesBoxes.h"

using text::G;

namespace {

// Task 1001: 一等奖 (2001) 1 winner, 荣誉奖 (2002) 2; staff E01 … E05.
class NamedAwardConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("工号 姓名");
    def.candidates = {G("E01 张三"), G("E02 李四"), G("E03 王五"), G("E04 赵六"), G("E05 钱七")};
    def.items = {{G("一等奖"), 1, 1, G("电脑")}, {G("荣誉奖"), 2, 1, G("奖杯")}};
    BuildTask(m_dm, def);
  }
  static std::vector<std::string> Stored(int itemId) {
    std::vector<std::string> ids;
    std::string error;
    EXPECT_TRUE(LoadNamedIds(1001, itemId, ids, error)) << error;
    return ids;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(NamedAwardConfig, AnItemIsMarkedItsIdsCheckedAtOnceSavedAndUnmarkedOnlyWhenAsked) {
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  f.PageControl1->setCurrentWidget(f.TSItem);
  TItemTab* tab = f.TSItem;
  tab->LBItem->setCurrentRow(1);
  tab->LBItemClick();
  ASSERT_TRUE(tab->CKNamed->isEnabled());
  EXPECT_TRUE(tab->GBItemRules->isVisible());
  QTest::mouseClick(tab->CKNamed, Qt::LeftButton);
  ASSERT_TRUE(tab->PNamed->isVisible());
  EXPECT_FALSE(tab->GBItemRules->isVisible());
  // Picked from the list by its line; an id not on the list is refused at once by name.
  tab->EdtNamedPick->setText(QStringLiteral("E04 赵六"));
  QTest::mouseClick(tab->BtnNamedAdd, Qt::LeftButton);
  EXPECT_EQ(tab->MNamedIds->toPlainText(), QStringLiteral("E04"));
  EXPECT_EQ(tab->LNamedState->text(),
            QStringLiteral("奖项[荣誉奖]指定颁奖1人,与中奖人数2不符,请重新配置奖项"));
  tab->EdtNamedPick->setText(QStringLiteral("E99"));
  QTest::mouseClick(tab->BtnNamedAdd, Qt::LeftButton);
  const std::vector<std::pair<MessageKind, QString>> refused = {
      {MessageKind::Error, QStringLiteral("奖项[荣誉奖]指定颁奖的号码[E99]不在名单中")}};
  EXPECT_EQ(m_dialogs.messages(), refused);
  EXPECT_EQ(tab->MNamedIds->toPlainText(), QStringLiteral("E04"));
  // Saved with the count short: refused in the set-up's words, nothing stored.
  QTest::mouseClick(tab->BtnSaveItem, Qt::LeftButton);
  ASSERT_EQ(m_dialogs.messages().size(), 2u);
  EXPECT_EQ(m_dialogs.messages()[1].second,
            QStringLiteral("奖项[荣誉奖]指定颁奖1人,与中奖人数2不符,请重新配置奖项"));
  EXPECT_FALSE(paths::FileExists(NamedAwardPath(1001, 2002)));
  // A pasted second id makes it whole.
  tab->MNamedIds->setPlainText(QStringLiteral("E04，E02"));
  EXPECT_EQ(tab->LNamedState->text(), QStringLiteral("已指定2人,中奖个数2"));
  QTest::mouseClick(tab->BtnSaveItem, Qt::LeftButton);
  ASSERT_EQ(m_dialogs.messages().size(), 3u);
  EXPECT_EQ(m_dialogs.messages()[2].second, QStringLiteral("保存成功"));
  EXPECT_EQ(Stored(2002), (std::vector<std::string>{"E04", "E02"}));
  // Shown again as stored.
  tab->LBItem->setCurrentRow(0);
  tab->LBItemClick();
  EXPECT_FALSE(tab->CKNamed->isChecked());
  tab->LBItem->setCurrentRow(1);
  tab->LBItemClick();
  EXPECT_TRUE(tab->CKNamed->isChecked());
  EXPECT_EQ(tab->MNamedIds->toPlainText(), QStringLiteral("E04\nE02"));
  // Unmarking asks first: No keeps the list, Yes drops it at the save.
  m_dialogs.answers = {Answer::No};
  QTest::mouseClick(tab->CKNamed, Qt::LeftButton);
  EXPECT_TRUE(tab->CKNamed->isChecked());
  EXPECT_EQ(tab->MNamedIds->toPlainText(), QStringLiteral("E04\nE02"));
  m_dialogs.answers = {Answer::Yes};
  QTest::mouseClick(tab->CKNamed, Qt::LeftButton);
  EXPECT_FALSE(tab->CKNamed->isChecked());
  EXPECT_EQ(Stored(2002).size(), 2u);
  QTest::mouseClick(tab->BtnSaveItem, Qt::LeftButton);
  EXPECT_FALSE(paths::FileExists(NamedAwardPath(1001, 2002)));
  size_t questions = 0;
  for (const RecordedDialog& d : m_dialogs.log)
    if (d.type == RecordedDialog::Question) {
      ++questions;
      EXPECT_EQ(d.text,
                QStringLiteral("取消指定颁奖后,已指定的2个号码将被删除,本奖项改为抽取。是否继续?"));
    }
  EXPECT_EQ(questions, 2u);
}
