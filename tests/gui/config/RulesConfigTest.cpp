#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "DialogRecorder.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/ItemSettings.h"
#include "core/config/RuleCheck.h"
#include "core/config/TaskRules.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawJournal.h"
#include "core/records/Loaders.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/config/RulesBoxes.h"
#include "gui/presets/LuckCheatAddFrm.h"
#include "gui/presets/LuckCheatFrm.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

// Task 1001 with eight staff and two items (一等奖 3 winners as 2001, 新人奖 2 as 2002); task
// 1002 drawn from data too, 1003 by probability.
class RulesConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef evening;
    evening.title = G("工号 姓名 分公司 员工类型 工龄");
    evening.candidates = {G("E01 张三 总部 正式 3"), G("E02 李四 总部 实习 0"),
                          G("E03 王五 深圳 正式 5"), G("E04 赵六 深圳 试用 1"),
                          G("E05 钱七 上海 正式 2"), G("E06 孙八 上海 实习 4"),
                          G("E07 周九 深圳 正式 0"), G("E08 吴十 上海 正式 abc")};
    evening.items = {{G("一等奖"), 3, 1, G("电脑")}, {G("新人奖"), 2, 1, G("耳机")}};
    BuildTask(m_dm, evening);
    TaskDef lunch;
    lunch.taskId = 1002;
    lunch.items = {{G("午宴奖"), 1, 1, G("手机")}};
    lunch.candidates = {"E01", "E02"};
    BuildTask(m_dm, lunch);
    TaskDef wheel;
    wheel.taskId = 1003;
    wheel.orderBy = 1;
    BuildTask(m_dm, wheel);
  }

  std::string Stored() {
    TTaskRules rules;
    std::string error;
    EXPECT_TRUE(config::LoadRules(1001, rules, error)) << error;
    return text::GbkToUtf8(FormatRules(rules));
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

QStringList Texts(const QListWidget* l) {
  QStringList out;
  for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
  return out;
}

QStringList Ticked(const QListWidget* l) {
  QStringList out;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->checkState() == Qt::Checked) out << l->item(i)->text();
  return out;
}

// Ticks or unticks a line as the keyboard does: select it, press Space.
void Toggle(QListWidget* l, const QString& text) {
  const QList<QListWidgetItem*> found = l->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text.toStdString();
  l->setFocus();
  l->setCurrentItem(found[0]);
  QTest::keyClick(l, Qt::Key_Space);
}

void Choose(QComboBox* c, const QString& text) {
  const int at = c->findText(text);
  ASSERT_GE(at, 0) << text.toStdString();
  c->setCurrentIndex(at);
}

void SelectItem(TLuckConfigForm& f, int row) {
  f.PageControl1->setCurrentWidget(f.TSItem);
  f.TSItem->LBItem->setCurrentRow(row);
  f.TSItem->LBItemClick();
}

}  // namespace

TEST_F(RulesConfig, AnItemsConditionAndQuotaAreChosenSavedAndShownAgain) {
  TMainForm main;
  {
    TLuckConfigForm f(&main);
    f.show();
    SelectItem(f, 0);
    TItemRulesBox* box = f.TSItem->GBItemRules;
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->LRuleSummary->text(), QStringLiteral("不限条件：所有人都可中此奖项"));
    Choose(box->CBRuleField, QStringLiteral("分公司"));
    EXPECT_EQ(Texts(box->LBRuleValues),
              (QStringList{QStringLiteral("上海（3人）"), QStringLiteral("深圳（3人）"),
                           QStringLiteral("总部（2人）")}));
    EXPECT_EQ(box->CBRuleKind->currentText(), QStringLiteral("是其中之一"));
    box->CBRuleKind->setCurrentIndex(1);
    EXPECT_EQ(box->CBRuleKind->currentText(), QStringLiteral("不是其中任何一个"));
    Toggle(box->LBRuleValues, QStringLiteral("总部（2人）"));
    EXPECT_EQ(box->LRuleSummary->text(), QStringLiteral("仅限：分公司不是其中任何一个：总部"));
    EXPECT_TRUE(f.TSItem->BtnSaveItem->isEnabled());
    // A second condition on another field, then the quota.
    Choose(box->CBRuleField, QStringLiteral("员工类型"));
    EXPECT_TRUE(Ticked(box->LBRuleValues).isEmpty());
    Toggle(box->LBRuleValues, QStringLiteral("正式（5人）"));
    Toggle(box->LBRuleValues, QStringLiteral("试用（1人）"));
    Choose(box->CBQuotaField, QStringLiteral("分公司"));
    QTest::keyClicks(box->EdtQuotaMax, QStringLiteral("2x"));
    EXPECT_EQ(box->EdtQuotaMax->text(), QStringLiteral("2"));
    QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
    // 深圳 E03 E04 E07 and 上海 E05 E08 qualify; two each gives 4, enough for 3.
    const std::vector<std::pair<MessageKind, QString>> saved = {
        {MessageKind::Information, QStringLiteral("保存成功")}};
    EXPECT_EQ(m_dialogs.messages(), saved);
    EXPECT_FALSE(f.TSItem->BtnSaveItem->isEnabled());
  }
  EXPECT_EQ(Stored(),
            "ITEM\t2001\tNONEOF\t分公司\t总部\nITEM\t2001\tONEOF\t员工类型\t试用\t正式\n"
            "ITEMQUOTA\t2001\t分公司\t2\n");

  TLuckConfigForm again(&main);
  again.show();
  SelectItem(again, 0);
  TItemRulesBox* box = again.TSItem->GBItemRules;
  EXPECT_EQ(box->CBRuleField->currentText(), QStringLiteral("分公司"));
  EXPECT_EQ(box->CBRuleKind->currentIndex(), 1);
  EXPECT_EQ(Ticked(box->LBRuleValues), QStringList{QStringLiteral("总部（2人）")});
  EXPECT_EQ(box->LRuleSummary->text(),
            QStringLiteral("仅限：分公司不是其中任何一个：总部；员工类型是其中之一：试用、正式"));
  EXPECT_EQ(box->CBQuotaField->currentText(), QStringLiteral("分公司"));
  EXPECT_EQ(box->EdtQuotaMax->text(), QStringLiteral("2"));
  Choose(box->CBRuleField, QStringLiteral("员工类型"));
  EXPECT_EQ(box->CBRuleKind->currentIndex(), 0);
  EXPECT_EQ(Ticked(box->LBRuleValues),
            (QStringList{QStringLiteral("试用（1人）"), QStringLiteral("正式（5人）")}));
  EXPECT_FALSE(again.TSItem->BtnSaveItem->isEnabled());  // showing is no edit
  // The other item has no rules.
  SelectItem(again, 1);
  EXPECT_TRUE(Ticked(box->LBRuleValues).isEmpty());
  EXPECT_EQ(box->CBQuotaField->currentText(), QStringLiteral("（不限）"));
}

TEST_F(RulesConfig, ASecondConditionOnAFieldIsListedAndKeptWhenTheFirstIsEdited) {
  // Stored elsewhere: 分公司 one of 上海 深圳, and none of 深圳.
  TTaskRules two;
  std::string err;
  ASSERT_TRUE(ParseRules(
      G("ITEM\t2001\tONEOF\t分公司\t上海\t深圳\nITEM\t2001\tNONEOF\t分公司\t深圳\n"), two, err));
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, two, err)) << err;
  const QString note = QStringLiteral("（[分公司]有2个条件，勾选框只修改第一个，其余照旧保留）");
  TMainForm main;
  {
    TLuckConfigForm f(&main);
    f.show();
    SelectItem(f, 0);
    TItemRulesBox* box = f.TSItem->GBItemRules;
    EXPECT_EQ(box->CBRuleField->currentText(), QStringLiteral("分公司"));
    EXPECT_EQ(box->CBRuleKind->currentIndex(), 0);
    EXPECT_EQ(Ticked(box->LBRuleValues),
              (QStringList{QStringLiteral("上海（3人）"), QStringLiteral("深圳（3人）")}));
    EXPECT_EQ(
        box->LRuleSummary->text(),
        QStringLiteral("仅限：分公司是其中之一：上海、深圳；分公司不是其中任何一个：深圳") + note);
    // The whole line is in sight, not cut off below.
    EXPECT_LE(box->LRuleSummary->heightForWidth(box->LRuleSummary->width()),
              box->LRuleSummary->height());
    Toggle(box->LBRuleValues, QStringLiteral("总部（2人）"));
    EXPECT_EQ(
        box->LRuleSummary->text(),
        QStringLiteral("仅限：分公司是其中之一：上海、深圳、总部；分公司不是其中任何一个：深圳") +
            note);
    QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
    // 上海 E05 E06 E08 and 总部 E01 E02: five for three.
    const std::vector<std::pair<MessageKind, QString>> saved = {
        {MessageKind::Information, QStringLiteral("保存成功")}};
    EXPECT_EQ(m_dialogs.messages(), saved);
  }
  EXPECT_EQ(Stored(),
            "ITEM\t2001\tONEOF\t分公司\t上海\t深圳\t总部\nITEM\t2001\tNONEOF\t分公司\t深圳\n");
}

TEST_F(RulesConfig, AnInvalidItemRuleIsRefusedWithItsMessageAndNothingIsSaved) {
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  SelectItem(f, 0);
  TItemRulesBox* box = f.TSItem->GBItemRules;
  f.TSItem->DBEdtName->setText(QStringLiteral("特等奖"));
  Choose(box->CBQuotaField, QStringLiteral("分公司"));
  QTest::keyClicks(box->EdtQuotaMax, QStringLiteral("0"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  const std::vector<std::pair<MessageKind, QString>> refused = {
      {MessageKind::Attention,
       QStringLiteral("奖项[特等奖]的名额限制：每个[分公司]最多中奖人数不能小于1")}};
  EXPECT_EQ(m_dialogs.messages(), refused);
  EXPECT_EQ(Stored(), "");
  std::vector<config::TItemRow> rows;
  std::string error;
  ASSERT_TRUE(config::SelectItems(1001, rows, error));
  EXPECT_EQ(rows[0].ItemName, G("一等奖"));
  EXPECT_EQ(f.TSItem->LBItem->item(0)->text(), QStringLiteral("一等奖"));

  // A stored value that no candidate has any more is shown ticked with 0 and refused.
  TTaskRules stale;
  stale.Items = {
      TItemRules{2001, {{G("分公司"), TConditionKind::OneOf, {G("北京"), G("深圳")}}}, {}}};
  ASSERT_TRUE(config::SaveRules(1001, stale, error)) << error;
  f.TSItem->BtnCancelItemClick();
  EXPECT_EQ(f.TSItem->DBEdtName->text(), QStringLiteral("一等奖"));
  EXPECT_EQ(Ticked(box->LBRuleValues),
            (QStringList{QStringLiteral("深圳（3人）"), QStringLiteral("北京（0人）")}));
  f.TSItem->DBEdtAwardName->setText(QStringLiteral("平板电脑"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  EXPECT_EQ(
      m_dialogs.messages().back(),
      std::make_pair(MessageKind::Attention,
                     QStringLiteral("奖项[一等奖]的中奖条件：抽奖数据中没有[分公司]为“北京”的人")));
  ASSERT_TRUE(config::SelectItems(1001, rows, error));
  EXPECT_EQ(rows[0].AwardName, G("电脑"));
  // Unticking it lets the save through.
  Toggle(box->LBRuleValues, QStringLiteral("北京（0人）"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Information, QStringLiteral("保存成功")));
  EXPECT_EQ(Stored(), "ITEM\t2001\tONEOF\t分公司\t深圳\n");
}

TEST_F(RulesConfig, TooFewEligibleIsWarnedAboutAndStillSaved) {
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  SelectItem(f, 1);
  TItemRulesBox* box = f.TSItem->GBItemRules;
  Choose(box->CBRuleField, QStringLiteral("员工类型"));
  Toggle(box->LBRuleValues, QStringLiteral("试用（1人）"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  const std::vector<std::pair<MessageKind, QString>> said = {
      {MessageKind::Information, QStringLiteral("保存成功")},
      {MessageKind::Warning,
       QStringLiteral("奖项[新人奖]符合条件的只有1人，少于中奖个数2，抽完这些人后该奖项即结束")}};
  EXPECT_EQ(m_dialogs.messages(), said);
  EXPECT_EQ(Stored(), "ITEM\t2002\tONEOF\t员工类型\t试用\n");

  // A new item is stored with its rules under the id it gets.
  QTest::mouseClick(f.TSItem->BtnAddItem, Qt::LeftButton);
  f.TSItem->DBEdtName->setText(QStringLiteral("深圳专属奖"));
  QTest::keyClicks(f.TSItem->DBEdtLuckCount, QStringLiteral("4"));
  QTest::keyClicks(f.TSItem->DBEditListCount, QStringLiteral("1"));
  Choose(box->CBRuleField, QStringLiteral("分公司"));
  Toggle(box->LBRuleValues, QStringLiteral("深圳（3人）"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(
                MessageKind::Warning,
                QStringLiteral(
                    "奖项[深圳专属奖]符合条件的只有3人，少于中奖个数4，抽完这些人后该奖项即结束")));
  // The id counter starts at 1001 here: the fixture's items were written without it.
  EXPECT_EQ(Stored(), "ITEM\t1001\tONEOF\t分公司\t深圳\nITEM\t2002\tONEOF\t员工类型\t试用\n");
}

TEST_F(RulesConfig, TheTaskWideRulesAreCheckedSavedAndShownAgain) {
  TMainForm main;
  {
    TLuckConfigForm f(&main);
    f.show();
    TTaskRulesBox* box = f.TSBase->GBTaskRules;
    EXPECT_TRUE(box->isVisible());
    // Only the other task drawn from data can be excluded.
    EXPECT_EQ(Texts(box->LBExclude), QStringList{QStringLiteral("task")});
    EXPECT_EQ(box->CBTickets->currentText(), QStringLiteral("（每人一张）"));
    Choose(box->CBTickets, QStringLiteral("工龄"));
    f.TSBase->EdtMainTitle->setText(QStringLiteral("改过的标题"));
    QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
    const std::vector<std::pair<MessageKind, QString>> refused = {
        {MessageKind::Attention,
         QStringLiteral(
             "票数字段：第8名候选人（抽奖数据文件第12行）[E08]的[工龄]“abc”不是大于等于0的整数")}};
    EXPECT_EQ(m_dialogs.messages(), refused);
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(main.LVHeaders->item(0, 1)->text(), QStringLiteral("title"));  // not saved

    Choose(box->CBTickets, QStringLiteral("（每人一张）"));
    Choose(box->CBTaskQuotaField, QStringLiteral("员工类型"));
    QTest::keyClicks(box->EdtTaskQuotaMax, QStringLiteral("5"));
    Toggle(box->LBExclude, QStringLiteral("task"));
    QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
    EXPECT_EQ(m_dialogs.messages().back(),
              std::make_pair(MessageKind::Information, QStringLiteral("保存成功")));
    EXPECT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(Stored(), "TASKQUOTA\t员工类型\t5\nEXCLUDE\t1002\n");
    EXPECT_FALSE(f.HasUnsavedEdits());
  }
  TLuckConfigForm again(&main);
  again.show();
  TTaskRulesBox* box = again.TSBase->GBTaskRules;
  EXPECT_EQ(box->CBTickets->currentText(), QStringLiteral("（每人一张）"));
  EXPECT_EQ(box->CBTaskQuotaField->currentText(), QStringLiteral("员工类型"));
  EXPECT_EQ(box->EdtTaskQuotaMax->text(), QStringLiteral("5"));
  EXPECT_EQ(Ticked(box->LBExclude), QStringList{QStringLiteral("task")});
  EXPECT_FALSE(again.HasUnsavedEdits());
  // An edit of the rules alone counts as unsaved.
  Toggle(box->LBExclude, QStringLiteral("task"));
  EXPECT_TRUE(again.HasUnsavedEdits());
  // A new task starts without rules and may exclude either task drawn from data; it has
  // no list to set conditions on yet.
  again.N1Click();
  EXPECT_FALSE(again.TSItem->GBItemRules->isEnabled());
  EXPECT_EQ(again.TSItem->GBItemRules->LRuleSummary->text(),
            QStringLiteral("导入抽奖数据后才能设置中奖条件"));
  EXPECT_EQ(box->CBTaskQuotaField->currentText(), QStringLiteral("（不限）"));
  EXPECT_EQ(box->EdtTaskQuotaMax->text(), QString());
  EXPECT_EQ(Texts(box->LBExclude), (QStringList{QStringLiteral("task"), QStringLiteral("task")}));
  EXPECT_TRUE(Ticked(box->LBExclude).isEmpty());
  // A task drawn by probability has no rules section.
  again.TSBase->CBOrderBy->setCurrentIndex(1);
  EXPECT_TRUE(box->isHidden());
  EXPECT_TRUE(again.TSItem->GBItemRules->isHidden());
}

TEST_F(RulesConfig, APresetThatBreaksTheItemsRulesIsNotAdded) {
  TTaskRules rules;
  rules.Items = {TItemRules{2001, {{G("分公司"), TConditionKind::NoneOf, {G("总部")}}}, {}}};
  std::string error;
  ASSERT_TRUE(config::SaveRules(1001, rules, error)) << error;
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp({1001, G("晚宴"), 2001, G("一等奖"), paths::DrawDataPath(1001), 3}), 1);
  auto stayed = std::make_shared<bool>(false);
  OnNextModal([stayed](QWidget* w) {
    if (auto* d = qobject_cast<TLuckCheatAddForm*>(w)) {
      d->EdtInPut->setText(QStringLiteral("E01"));
      d->BOK->click();
      *stayed = d->isVisible();
      d->EdtInPut->setText(QStringLiteral("E03"));
      d->BOK->click();
    }
    if (w->isVisible()) w->close();
  });
  editor.BtnAddItem->click();
  EXPECT_TRUE(*stayed);
  const std::vector<std::pair<MessageKind, QString>> said = {
      {MessageKind::Attention,
       QStringLiteral(
           "[E01]不能指定为奖项[一等奖]的中奖者：不符合中奖条件（分公司不是其中任何一个：总部）")}};
  EXPECT_EQ(m_dialogs.messages(), said);
  ASSERT_EQ(editor.List().Count(), 1);
  EXPECT_EQ(editor.List().Lines()[0], G("E03 王五 深圳 正式 5"));
}

TEST_F(RulesConfig, AnImportOffersItsOwnValuesAndKeepsTheRulesChosen) {
  TTaskRules rules;
  rules.Items = {TItemRules{2001, {{G("分公司"), TConditionKind::NoneOf, {G("总部")}}}, {}}};
  std::string error;
  ASSERT_TRUE(config::SaveRules(1001, rules, error)) << error;
  const std::string source = m_root.path("spring.txt");
  WriteAll(source, G("工号 姓名 分公司 员工类型 工龄\r\n1001 张三 北京 正式 3\r\n"
                     "1002 李四 深圳 实习 1\r\n1003 王五 北京 试用 2\r\n"));
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  SelectItem(f, 0);
  TItemRulesBox* box = f.TSItem->GBItemRules;
  EXPECT_EQ(Ticked(box->LBRuleValues), QStringList{QStringLiteral("总部（2人）")});

  f.PageControl1->setCurrentWidget(f.TsData);
  f.TsData->CBFileType->setCurrentIndex(0);
  m_dialogs.files.push_back(Q(source));
  QTest::mouseClick(f.TsData->SpFileData, Qt::LeftButton);
  QTest::mouseClick(f.TsData->BtnSaveData, Qt::LeftButton);
  // The list is in, and the saved rule that names a value nobody has is told at once.
  ASSERT_EQ(m_dialogs.messages().back().first, MessageKind::Warning);
  const QString told = m_dialogs.messages().back().second;
  EXPECT_TRUE(
      told.startsWith(QStringLiteral("导入成功!\n已保存的抽奖规则与新名单不符，请修改规则：")))
      << told.toStdString();
  EXPECT_TRUE(told.endsWith(QStringLiteral("的中奖条件：抽奖数据中没有[分公司]为“总部”的人")))
      << told.toStdString();
  // The new list's values, and the ticked one nobody has any more.
  EXPECT_EQ(Texts(box->LBRuleValues),
            (QStringList{QStringLiteral("北京（2人）"), QStringLiteral("深圳（1人）"),
                         QStringLiteral("总部（0人）")}));
  EXPECT_EQ(Ticked(box->LBRuleValues), QStringList{QStringLiteral("总部（0人）")});
  EXPECT_FALSE(f.TSItem->BtnSaveItem->isEnabled());
  EXPECT_EQ(f.TSBase->GBTaskRules->CBTickets->count(), 6);  // none and the five heads

  f.PageControl1->setCurrentWidget(f.TSItem);
  f.TSItem->DBEdtAwardName->setText(QStringLiteral("平板电脑"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  EXPECT_EQ(
      m_dialogs.messages().back(),
      std::make_pair(MessageKind::Attention,
                     QStringLiteral("奖项[一等奖]的中奖条件：抽奖数据中没有[分公司]为“总部”的人")));
}

// An item's exclusion list is read from a file and saved with its rules; clearing it while
// a draw is left unfinished asks first, and No keeps the rules that draw was fixed on.
TEST_F(RulesConfig, AnExclusionListIsReadFromAFileAndSavingOverAnUnfinishedDrawAsks) {
  std::string error;
  ASSERT_TRUE(files::WriteFileAtomic(m_root.path("last.txt"), "E03\r\nE05\r\nX99\r\n", error));
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  SelectItem(f, 0);
  TExcludeListRow* list = f.TSItem->GBItemRules->ExcludeList;
  m_dialogs.files.push_back(Q(m_root.path("last.txt")));
  QTest::mouseClick(list->BtnRead, Qt::LeftButton);
  EXPECT_EQ(list->LCount->text(), QStringLiteral("排除名单：3人"));
  EXPECT_EQ(m_dialogs.messages().back().second,
            QStringLiteral("排除名单：读到3个号码，其中2人在抽奖名单中"));
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  EXPECT_EQ(Stored(), "ITEMEXCLUDEIDS\t2001\tE03\tE05\tX99\n");

  // Two winners drawn, then the draw was left.
  TJournalHead head;
  head.TaskId = 1001;
  head.Commit = std::string(64, 'a');
  head.Secret = std::string(64, 'b');
  head.Items = {{2001, 3, 2}};
  TJournalBatch batch{2001, 2, false, 0, 0, {0, 1}, 1};
  ASSERT_TRUE(files::MakeFolders(paths::LuckFileDir(), error));
  ASSERT_TRUE(files::WriteFileAtomic(
      paths::JournalPath(1001),
      FormatJournalHead(head) + FormatJournalStart({}) + FormatJournalBatch(batch), error));
  QTest::mouseClick(list->BtnClear, Qt::LeftButton);
  m_dialogs.answers.push_back(Answer::No);
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  EXPECT_EQ(m_dialogs.log.back().type, RecordedDialog::Question);
  EXPECT_EQ(m_dialogs.log.back().preferred, Answer::No);
  EXPECT_TRUE(m_dialogs.log.back().text.startsWith(
      QStringLiteral("该抽奖项目有一次未完成的抽奖（已抽出2人）。")));
  EXPECT_EQ(Stored(), "ITEMEXCLUDEIDS\t2001\tE03\tE05\tX99\n");
}

TEST_F(RulesConfig, ANewTaskTakesNoExclusionListFromTheTaskShownBefore) {
  std::string error;
  ASSERT_TRUE(files::WriteFileAtomic(m_root.path("vip.txt"), "E01\r\nE02\r\n", error));
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  TTaskRulesBox* box = f.TSBase->GBTaskRules;
  m_dialogs.files.push_back(Q(m_root.path("vip.txt")));
  QTest::mouseClick(box->ExcludeList->BtnRead, Qt::LeftButton);
  box->CBHideExcludeCount->setChecked(true);
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  ASSERT_EQ(Stored(), "EXCLUDEIDS\tE01\tE02\n");
  EXPECT_EQ(box->ExcludeList->LCount->text(), QStringLiteral("排除名单：2人"));

  // 新增抽奖 with that task shown: the new task's form is empty of rules.
  QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
  EXPECT_EQ(box->ExcludeList->LCount->text(), QStringLiteral("排除名单：无"));
  EXPECT_FALSE(box->ExcludeList->BtnClear->isEnabled());
  EXPECT_FALSE(box->CBHideExcludeCount->isChecked());
  f.TSBase->EdtTaskName->setText(QStringLiteral("午宴加场"));
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  const int32_t added = f.Tasks.At(f.Tasks.Count() - 1)->TaskId;
  ASSERT_GT(added, 1003);
  TTaskRules rules;
  ASSERT_TRUE(config::LoadRules(added, rules, error)) << error;
  EXPECT_EQ(FormatRules(rules), "");
  bool hide = true;
  ASSERT_TRUE(LoadHideExcludeCount(added, hide, error)) << error;
  EXPECT_FALSE(hide);
  // The task it was made beside keeps its own.
  EXPECT_EQ(Stored(), "EXCLUDEIDS\tE01\tE02\n");
}
