#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "DialogRecorder.h"
#include "DrawToTheEnd.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/claims/ClaimDesk.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/results/QueryFrm.h"
#include "gui/stage/DrawScreens.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

const QString kTooMany = QStringLiteral("由于中奖个数太多,无法全部显示,您可以把抽奖结果导出到文件");

class QueryForm : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 1, ""}, {G("二等奖"), 5, 1, ""}, {G("三等奖"), 9, 1, ""}};
    m_ids = BuildTask(m_dm, def);
    m_taskId = def.taskId;
  }

  void Winners(int k, const std::string& utf8) {
    WriteAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[k])), G(utf8));
  }

  QString Head(int c) const {
    const QTableWidgetItem* h = m_form.SGLuckId->horizontalHeaderItem(c);
    return h ? h->text() : QString();
  }
  int Row() const { return m_form.SGLuckId->currentRow(); }
  void Find(const QString& t) {
    m_form.EdtFindId->setText(t);
    QTest::keyClick(m_form.EdtFindId, Qt::Key_Return);
  }
  QString Out(const char* name) const { return QString::fromStdString(m_root.path(name)); }

  TempRoot m_root;
  TDrawSession m_session;  // the program's one session, as the main window lends it
  int32_t m_taskId = 0;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  std::vector<int> m_ids;
  TQueryForm m_form{m_session};
};

}  // namespace

TEST_F(QueryForm, ThreeWinnersUnderTheirHeads) {
  Winners(0, "号码 姓名\r\n13800000001 张三\r\n13800000002 李四\r\n13900000003 王五\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  EXPECT_EQ(m_form.windowTitle(), QStringLiteral("抽奖结果查询--task"));
  EXPECT_EQ(m_form.PItem->text(), QStringLiteral("[task]奖项列表:"));
  ASSERT_EQ(m_form.LBItem->count(), 3);
  EXPECT_EQ(m_form.LBItem->item(2)->text(), QStringLiteral("三等奖"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 0);
  EXPECT_EQ(m_form.PTitle->text(), QStringLiteral("一等奖中奖名单："));
  EXPECT_EQ(m_form.SGLuckId->rowCount(), 4);
  EXPECT_EQ(GridCell(m_form.SGLuckId, 3, 1), QStringLiteral("王五"));
  EXPECT_EQ(Head(0), QStringLiteral("号码"));
  EXPECT_EQ(Head(1), QStringLiteral("姓名"));
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("共(3)名"));
  EXPECT_EQ(Row(), 1);
  // Two columns, each as wide as its texts, none cut and none padded to a fixed width.
  const QFontMetrics fm(m_form.SGLuckId->font());
  EXPECT_GE(m_form.SGLuckId->columnWidth(0), fm.horizontalAdvance(QStringLiteral("13800000001")));
  EXPECT_LT(m_form.SGLuckId->columnWidth(0), 160);
  EXPECT_GE(m_form.SGLuckId->columnWidth(1), fm.horizontalAdvance(QStringLiteral("王五")));
  EXPECT_LT(m_form.SGLuckId->columnWidth(1), 160);
  EXPECT_FALSE(m_form.CBOnly->isChecked());
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(QueryForm, ASingleColumnIsWideAndNothingOfThePreviousItemStays) {
  Winners(0, "号码\r\n1\r\n");
  Winners(1, "号码 姓名 部门\r\n2 b c\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  EXPECT_EQ(m_form.SGLuckId->columnCount(), 1);
  EXPECT_EQ(m_form.SGLuckId->columnWidth(0), 500);

  m_form.LBItem->setCurrentRow(1);
  EXPECT_EQ(m_form.SGLuckId->columnCount(), 3);
  EXPECT_EQ(Head(2), QStringLiteral("部门"));
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("共(1)名"));
  m_form.LBItem->setCurrentRow(0);  // one head: the other two columns lose theirs
  EXPECT_EQ(Head(0), QStringLiteral("号码"));
  EXPECT_EQ(Head(1), QString());
  EXPECT_EQ(Head(2), QString());
  // Not drawn yet: no heads, no empty row, and a line that says so.
  m_form.LBItem->setCurrentRow(2);
  EXPECT_EQ(m_form.PTitle->text(), QStringLiteral("三等奖中奖名单："));
  EXPECT_EQ(m_form.SGLuckId->columnCount(), 1);
  EXPECT_TRUE(m_form.SGLuckId->horizontalHeader()->isHidden());
  EXPECT_EQ(m_form.SGLuckId->rowCount(), 1);
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("该奖项尚未抽取"));
  // A drawn item shows its heads again.
  m_form.LBItem->setCurrentRow(0);
  EXPECT_FALSE(m_form.SGLuckId->horizontalHeader()->isHidden());
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("共(1)名"));
}

TEST_F(QueryForm, AThousandRowsAtMostWithTheAdvice) {
  std::string content = "id\r\n";
  for (int i = 1; i <= 1001; ++i) content += std::to_string(i) + "\r\n";
  Winners(0, content);
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  EXPECT_EQ(m_form.SGLuckId->rowCount(), 1001);
  EXPECT_EQ(GridCell(m_form.SGLuckId, 1000, 0), QStringLiteral("1000"));
  EXPECT_EQ(m_form.LbCount->text(), kTooMany);
}

TEST_F(QueryForm, SearchFindsAnyFieldFromTheSelectedRowOnAndWrapsOnce) {
  Winners(0,
          "号码 姓名 部门\r\n13800000001 Anna 销售部\r\n13912345678 张三 技术部\r\n"
          "13800138000 ANNA 销售部\r\n139 李四 市场部\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.show();
  EXPECT_EQ(Row(), 1);
  Find(QStringLiteral("138"));
  EXPECT_EQ(Row(), 3);  // the next match after the selected row, anywhere in the id
  Find(QStringLiteral("138"));
  EXPECT_EQ(Row(), 1);  // wrapped round to the top
  Find(QStringLiteral("anna"));
  EXPECT_EQ(Row(), 3);  // a name, Latin letters in any case
  Find(QStringLiteral("市场"));
  EXPECT_EQ(Row(), 4);  // a department
  m_form.EdtFindId->setText(QStringLiteral("  张三 "));
  m_form.SBFind->click();
  EXPECT_EQ(Row(), 2);
  EXPECT_TRUE(m_dialogs.log.empty());  // Enter pressed no button
  Find(QStringLiteral("赵六"));
  EXPECT_EQ(Row(), 2);  // nothing found: the selection stays, and the operator is told
  EXPECT_EQ(m_dialogs.messages(), (std::vector<std::pair<MessageKind, QString>>{
                                      {MessageKind::Information, QStringLiteral("未找到")}}));
  Find(QStringLiteral("   "));
  EXPECT_EQ(Row(), 2);
  EXPECT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_TRUE(m_form.isVisible());
}

TEST_F(QueryForm, FindLooksInEveryItemAndJumpsToTheHit) {
  Winners(0, "id name\r\n1 张三\r\n2 李四\r\n");
  Winners(2, "id name\r\n7 王五\r\n8 张三丰\r\n");  // 二等奖 not drawn yet
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.show();
  Find(QStringLiteral("王五"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 2);
  EXPECT_EQ(Row(), 1);
  EXPECT_EQ(m_form.PTitle->text(), QStringLiteral("三等奖中奖名单："));
  Find(QStringLiteral("张三"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 2);
  EXPECT_EQ(Row(), 2);  // 张三丰, the next after 王五
  Find(QStringLiteral("张三"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 0);  // round to the first item
  EXPECT_EQ(Row(), 1);
  Find(QStringLiteral("赵六"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 0);
  EXPECT_EQ(Row(), 1);
  EXPECT_EQ(m_dialogs.messages(), (std::vector<std::pair<MessageKind, QString>>{
                                      {MessageKind::Information, QStringLiteral("未找到")}}));
}

// A winner marked absent stands below the winners, struck out; the desk asks for that name
// too, in the item shown and in any other.
TEST_F(QueryForm, FindReachesTheAbsentWinnersBelowTheWinners) {
  Winners(0, "id name\r\n1 张三\r\n3 王五\r\n");
  WriteAll(paths::NativePath(paths::AbsentFilePath(1001, m_ids[0])),
           G("id name\r\n2 李四 替补:3\r\n"));
  Winners(2, "id name\r\n7 赵六\r\n");
  WriteAll(paths::NativePath(paths::AbsentFilePath(1001, m_ids[2])),
           G("id name\r\n8 李四光 替补:7\r\n"));
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.show();
  // Rows: 1 张三, 2 王五, 3 缺席名单：, 4 李四 (absent).
  ASSERT_EQ(GridCell(m_form.SGLuckId, 3, 0), QStringLiteral("缺席名单："));
  Find(QStringLiteral("李四"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 0);
  EXPECT_EQ(Row(), 4);
  EXPECT_EQ(GridCell(m_form.SGLuckId, Row(), 1), QStringLiteral("李四"));
  Find(QStringLiteral("李四"));
  EXPECT_EQ(m_form.LBItem->currentRow(), 2);  // 李四光, absent from 三等奖
  EXPECT_EQ(Row(), 3);
  EXPECT_EQ(GridCell(m_form.SGLuckId, Row(), 1), QStringLiteral("李四光"));
  Find(QStringLiteral("缺席"));  // the mark is no person's field
  EXPECT_EQ(m_dialogs.messages(), (std::vector<std::pair<MessageKind, QString>>{
                                      {MessageKind::Information, QStringLiteral("未找到")}}));
}

TEST_F(QueryForm, AnExportWithoutWinnersIsRefusedAndWritesNothing) {
  Winners(0, "id\r\n1 a\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.LBItem->setCurrentRow(1);
  m_form.CBOnly->setChecked(true);
  m_form.BitBtn2->click();
  m_form.BitBtn1->click();
  EXPECT_EQ(m_dialogs.messages(),
            (std::vector<std::pair<MessageKind, QString>>{
                {MessageKind::Information, QStringLiteral("该奖项尚未抽取,没有可导出的内容")},
                {MessageKind::Information, QStringLiteral("该奖项尚未抽取,没有可导出的内容")}}));
  EXPECT_EQ(m_dialogs.log.size(), 2u);  // no file was asked for
}

TEST_F(QueryForm, BothExportsWithTheirMessages) {
  Winners(0, "id\r\n1 a\r\n");
  Winners(1, "id\r\n2 b\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);

  m_dialogs.files.push_back(Out("all"));
  m_form.BitBtn1->click();
  ASSERT_EQ(m_dialogs.log.size(), 2u);
  EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::SaveFile);
  EXPECT_EQ(m_dialogs.log[0].text, QStringLiteral("请选择文件"));
  EXPECT_EQ(m_dialogs.log[0].filter, QStringLiteral("文本文件 (*.txt)"));
  const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
  EXPECT_EQ(m_dialogs.log[0].initialName, QStringLiteral("task_") + today + QStringLiteral(".txt"));
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Information,
                           QStringLiteral("已经成功导出文本文件：") + Out("all.txt")));
  EXPECT_EQ(ReadAll(m_root.path("all.txt")),
            G("task\r\n\r\n一等奖\r\nid\r\n1 a\r\n\r\n二等奖\r\nid\r\n2 b\r\n"));

  // Only the selected item; the workbook's name ends in .xlsx, which it is.
  m_form.LBItem->setCurrentRow(1);
  m_form.CBOnly->setChecked(true);
  m_dialogs.files.push_back(Out("one"));
  m_form.BitBtn2->click();
  EXPECT_EQ(m_dialogs.log[2].filter, QStringLiteral("Excel文件 (*.xlsx)"));
  EXPECT_EQ(m_dialogs.log[2].initialName,
            QStringLiteral("task_二等奖_") + today + QStringLiteral(".xlsx"));
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Information,
                           QStringLiteral("已经成功导出EXCEL文件：") + Out("one.xlsx")));
  EXPECT_EQ(ReadAll(m_root.path("one.xlsx")).substr(0, 2), "PK");
  m_dialogs.files.push_back(Out("one"));
  m_form.BitBtn1->click();
  EXPECT_EQ(ReadAll(m_root.path("one.txt")), G("task\r\n\r\n二等奖\r\nid\r\n2 b\r\n"));

  // Ticked but nothing selected: every item.
  m_form.LBItem->setCurrentRow(-1);
  m_dialogs.files.push_back(Out("none"));
  m_form.BitBtn1->click();
  EXPECT_EQ(ReadAll(m_root.path("none.txt")), ReadAll(m_root.path("all.txt")));

  // A failure shows the writer's text.
  m_dialogs.files.push_back(Out("all.txt") + QStringLiteral("/x"));
  m_form.BitBtn2->click();
  EXPECT_EQ(m_dialogs.messages().back().first, MessageKind::Error);
  EXPECT_TRUE(m_dialogs.messages().back().second.startsWith(QStringLiteral("无法写入文件")));
}

TEST_F(QueryForm, ACancelledChoiceDoesNothing) {
  Winners(0, "id\r\n1 a\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.BitBtn1->click();
  m_form.BitBtn2->click();
  ASSERT_EQ(m_dialogs.log.size(), 2u);
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(QueryForm, SetUpFailuresShowTheirMessageAndRefuse) {
  m_taskId = 0;
  EXPECT_EQ(m_form.SetUpQuery(m_taskId), 0);
  m_taskId = 4242;
  EXPECT_EQ(m_form.SetUpQuery(m_taskId), 0);
  EXPECT_EQ(m_dialogs.messages(),
            (std::vector<std::pair<MessageKind, QString>>{
                {MessageKind::Information, QStringLiteral("抽奖任务未选择,请重新选择")},
                {MessageKind::Error, QStringLiteral("不存在该抽奖任务,任务号=4242")}}));
}

TEST_F(QueryForm, TheMainWindowOpensItForTheSelectedTask) {
  Winners(0, "id\r\n1 a\r\n");
  TMainForm main;
  main.SetQueryScreenFactory(MakeQueryScreen);
  main.show();
  QString title;
  OnNextModal([&title](QWidget* w) {
    title = w->windowTitle();
    if (auto* f = qobject_cast<TQueryForm*>(w)) f->BtnCloseBase->click();
  });
  main.SBtnQuery->click();
  EXPECT_EQ(title, QStringLiteral("抽奖结果查询--task"));
}

// A new user's way: draw the example task to the end, open 结果查询, find a winner, export.
TEST(QueryFormAfterADraw, FindsAWinnerAndExportsBoth) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;
  TMainForm main;
  main.SetDrawScreenFactory(MakeDrawScreen);
  main.SetQueryScreenFactory(MakeQueryScreen);
  DrawToTheEndFromMain(main);

  const QString txt = QString::fromStdString(root.path("winners.txt"));
  const QString xlsx = QString::fromStdString(root.path("winners.xlsx"));
  dialogs.files = {txt, xlsx};
  QString count, found, fifth;
  OnNextModal([&](QWidget* m) {
    auto* form = qobject_cast<TQueryForm*>(m);
    ASSERT_NE(form, nullptr);
    form->LBItem->setCurrentRow(2);  // 三等奖, ten winners
    count = form->LbCount->text();
    fifth = GridCell(form->SGLuckId, 5, 0);
    form->EdtFindId->setText(fifth);
    QTest::keyClick(form->EdtFindId, Qt::Key_Return);
    found = GridCell(form->SGLuckId, form->SGLuckId->currentRow(), 0);
    form->BitBtn1->click();
    form->BitBtn2->click();
    form->BtnCloseBase->click();
  });
  main.SBtnQueryClick();
  EXPECT_EQ(count, QStringLiteral("共(10)名"));
  EXPECT_EQ(fifth.size(), 11);
  EXPECT_EQ(found, fifth);
  const auto messages = dialogs.messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(
      messages[messages.size() - 2],
      std::make_pair(MessageKind::Information, QStringLiteral("已经成功导出文本文件：") + txt));
  EXPECT_EQ(messages.back(), std::make_pair(MessageKind::Information,
                                            QStringLiteral("已经成功导出EXCEL文件：") + xlsx));
  // 14 winners under three item names and their title lines, after the task name.
  const std::string text = ReadAll(root.path("winners.txt"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 * 3 + 14);
  EXPECT_NE(text.find(FromQ(fifth)), std::string::npos);
  EXPECT_EQ(ReadAll(root.path("winners.xlsx")).substr(0, 2), "PK");
}

TEST_F(QueryForm, TabWalksTheWindowOnceAndEscCloses) {
  Winners(0, "id\r\n1 a\r\n2 b\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.show();
  m_form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
  m_form.LBItem->setFocus();
  std::vector<QWidget*> visited;
  for (int i = 0; i < 9; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  const std::vector<QWidget*> expected = {m_form.SGLuckId, m_form.EdtFindId, m_form.SBFind,
                                          m_form.CBOnly,   m_form.BtnClaim,  m_form.BitBtn2,
                                          m_form.BitBtn1,  m_form.BtnNotice, m_form.BtnCloseBase};
  EXPECT_EQ(visited, expected);
  EXPECT_EQ(Row(), 1);  // Tab through the grid moved no winner
  QTest::keyClick(m_form.BtnCloseBase, Qt::Key_Escape);
  EXPECT_FALSE(m_form.isVisible());
}

TEST_F(QueryForm, WinnersOfATaskWithCheckInShowWhetherTheyCheckedIn) {
  Winners(0, "号码 姓名\r\n13800000001 张三\r\n13800000002 李四\r\n");
  Winners(1, "号码 姓名 部门\r\n13800000003 王五 财务\r\n");
  WriteAll(paths::NativePath(checkin::CheckinFilePath(1001)),
           "CHECKIN\t1001\r\n13800000002\t2026-12-09 18:01:02\t" + std::string(32, 'a') +
               "\r\n13800000003\t2026-12-09 18:05:00\t" + std::string(32, 'b') + "\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  EXPECT_EQ(Head(2), QStringLiteral("签到"));
  EXPECT_EQ(GridCell(m_form.SGLuckId, 1, 2), QStringLiteral("未签到"));
  EXPECT_EQ(GridCell(m_form.SGLuckId, 2, 2), QStringLiteral("已签到 2026-12-09 18:01:02"));
  // The next item's three fields come first; its column follows them, none is left over.
  m_form.LBItem->setCurrentRow(1);
  EXPECT_EQ(Head(2), QStringLiteral("部门"));
  EXPECT_EQ(Head(3), QStringLiteral("签到"));
  EXPECT_EQ(GridCell(m_form.SGLuckId, 1, 3), QStringLiteral("已签到 2026-12-09 18:05:00"));
  m_form.LBItem->setCurrentRow(0);
  EXPECT_EQ(Head(2), QStringLiteral("签到"));
  EXPECT_EQ(Head(3), QString());
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(QueryForm, ClaimingTheSelectedWinnerShowsTimeAndDeskAndASecondClaimSaysWhen) {
  Winners(0, "号码 姓名\r\n13800000001 张三\r\n13800000002 李四\r\n");
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  EXPECT_EQ(Head(2), QString());  // no claims yet: no column
  m_form.SGLuckId->selectRow(2);
  m_form.SGLuckId->setCurrentCell(2, 0);
  QTest::mouseClick(m_form.BtnClaim, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Head(2) == QStringLiteral("领取"); }));
  const QString mark = GridCell(m_form.SGLuckId, 2, 2);
  EXPECT_TRUE(mark.endsWith(QStringLiteral(" 结果查询"))) << mark.toStdString();
  EXPECT_EQ(mark.size(), 5 + 5);  // HH:MM and the desk
  EXPECT_EQ(GridCell(m_form.SGLuckId, 1, 2), QString());
  EXPECT_EQ(Row(), 2);
  // What was recorded is said: who, which prize, when and where.
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  const QString said = m_dialogs.messages()[0].second;
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Information);
  EXPECT_TRUE(said.startsWith(QStringLiteral("已登记领取：13800000002 李四，奖项[一等奖]，") +
                              QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))))
      << said.toStdString();
  EXPECT_TRUE(said.contains(QLatin1Char(' ') + mark.left(5) + QLatin1Char(':')))
      << said.toStdString();
  EXPECT_TRUE(said.endsWith(QStringLiteral("，结果查询"))) << said.toStdString();
  QTest::mouseClick(m_form.BtnClaim, Qt::LeftButton);
  ASSERT_EQ(m_dialogs.messages().size(), 2u);
  EXPECT_EQ(m_dialogs.messages()[1].second,
            QStringLiteral("已于 ") + mark.left(5) + QStringLiteral(" 领取 (结果查询)"));
}

// 领取 goes through the desk the window is handed (the check-in service's, which the paired
// prize desks use), so they see the claim at once; another task's desk is left alone.
TEST_F(QueryForm, ClaimingGoesThroughTheDeskItIsHandedButNeverAnotherTasks) {
  Winners(0, "号码 姓名\r\n13800000001 张三\r\n13800000002 李四\r\n");
  auto desk = std::make_shared<claims::TClaimDesk>();
  m_form.SetClaimDesk(desk);
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.SGLuckId->selectRow(2);
  m_form.SGLuckId->setCurrentCell(2, 0);
  QTest::mouseClick(m_form.BtnClaim, Qt::LeftButton);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Information);
  EXPECT_EQ(desk->TaskId(), 1001);
  EXPECT_EQ(desk->ClaimedCount(), 1u);
  const std::vector<claims::TPrize> won = desk->PrizesOf("13800000002");
  ASSERT_EQ(won.size(), 1u);
  EXPECT_TRUE(won[0].Claimed);
  EXPECT_EQ(won[0].Desk, G("结果查询"));

  auto other = std::make_shared<claims::TClaimDesk>();
  std::string err;
  ASSERT_TRUE(other->Use({999, "0123456789abcdef", {}, {}}, err)) << err;
  m_form.SetClaimDesk(other);
  m_form.SGLuckId->selectRow(1);
  m_form.SGLuckId->setCurrentCell(1, 0);
  QTest::mouseClick(m_form.BtnClaim, Qt::LeftButton);
  ASSERT_EQ(m_dialogs.messages().size(), 2u);
  EXPECT_EQ(m_dialogs.messages()[1].first, MessageKind::Information);
  EXPECT_EQ(other->TaskId(), 999);
  EXPECT_EQ(other->ClaimedCount(), 0u);
}

// A list of five fields with the absent, check-in and claim marks beside them: at the size
// the window opens on a 1024x768 screen or smaller, every column stands in view with its
// head whole, and the grid need not scroll sideways.
TEST_F(QueryForm, TheMarksBesideAListOfFiveFieldsStandInView) {
  Winners(0,
          "工号 姓名 部门 分公司 手机\r\nA0001 欧阳建华 市场营销部 深圳分公司 13800000001\r\n"
          "A0002 李四 技术部 总部 13800000002\r\n");
  WriteAll(paths::NativePath(paths::AbsentFilePath(1001, m_ids[0])),
           G("工号 姓名 部门 分公司 手机\r\nA0003 王五 财务部 总部 13800000003 替补:A0002\r\n"));
  WriteAll(paths::NativePath(checkin::CheckinFilePath(1001)),
           "CHECKIN\t1001\r\nA0002\t2026-12-09 18:01:02\t" + std::string(32, 'a') + "\r\n");
  WriteAll(paths::NativePath(claims::ClaimFilePath(1001, claims::ResultsDrawKey(1001))),
           "CLAIM\t1001\t" + claims::ResultsDrawKey(1001) + "\r\nA0001\t" +
               std::to_string(m_ids[0]) + G("\t2026-12-09 21:42:10\t领奖台1\r\n"));
  ASSERT_EQ(m_form.SetUpQuery(m_taskId), 1);
  m_form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
  // No larger than it opens on a 1024x768 screen, whatever screen runs the test.
  m_form.resize(m_form.size().boundedTo(QSize(1024 * 9 / 10, 768 * 9 / 10)));
  QApplication::processEvents();
  QStringList heads;
  for (int c = 0; c < m_form.SGLuckId->columnCount(); ++c) heads << Head(c);
  EXPECT_EQ(heads.join(QLatin1Char(' ')),
            QStringLiteral("工号 姓名 部门 分公司 手机 缺席 签到 领取"));
  const QFontMetrics fm(m_form.SGLuckId->horizontalHeader()->font());
  for (int c = 0; c < m_form.SGLuckId->columnCount(); ++c) {
    EXPECT_LE(m_form.SGLuckId->columnViewportPosition(c) + m_form.SGLuckId->columnWidth(c),
              m_form.SGLuckId->viewport()->width())
        << Head(c).toStdString();
    EXPECT_GE(m_form.SGLuckId->columnWidth(c), fm.horizontalAdvance(Head(c)))
        << Head(c).toStdString();
  }
  EXPECT_LE(m_form.SGLuckId->horizontalHeader()->length(), m_form.SGLuckId->viewport()->width());
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return m_form.SGLuckId->horizontalScrollBar()->maximum() == 0; }));
  if (qEnvironmentVariableIsSet("TOMBOLIX_QUERY_PNG"))
    m_form.screen()->grabWindow(0).save(qEnvironmentVariable("TOMBOLIX_QUERY_PNG"));
  // The short fields are whole; the longest give way.
  EXPECT_GE(m_form.SGLuckId->columnWidth(0),
            QFontMetrics(m_form.SGLuckId->font()).horizontalAdvance(QStringLiteral("A0001")));
}
