// A draw under rules from end to end: the rules chosen in the configuration window, the
// real program drawing by keyboard, killed once and resumed, and tombolix-verify.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <map>

#include "DialogRecorder.h"
#include "ProgramCopy.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/ItemSettings.h"
#include "core/db/TombolixDM.h"
#include "core/records/DrawDataFile.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "gui/app/MainFrm.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/config/RulesBoxes.h"
#include "gui/ui/Qt.h"

namespace {

class RulesOnStage : public ProgramCopy {
 protected:
  // The winner lines of the item's winner file (GBK), without the title line.
  QList<QByteArray> WinnerLines(int itemId) const {
    QList<QByteArray> out;
    const QList<QByteArray> lines =
        Read(Path(QStringLiteral("LUCK_FILE/1001_%1.txt").arg(itemId))).split('\n');
    for (int i = 1; i < lines.size(); ++i)
      if (!lines[i].trimmed().isEmpty()) out << lines[i].trimmed();
    return out;
  }

  QList<QByteArray> m_lunch;  // ids of the excluded task's winners
};

void Tick(QListWidget* l, const QString& prefix) {
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->text().startsWith(prefix)) l->item(i)->setCheckState(Qt::Checked);
}

QByteArray Department(const QByteArray& line) { return line.split(' ').value(2); }

}  // namespace

// The example task: 一等奖 1, 二等奖 3, 三等奖 10 winners, 200 candidates of eight departments.
TEST_F(RulesOnStage, ChosenInTheWindowsDrawnKilledResumedAndVerified) {
  // The configuration, in this process on the copy's own folder.
  paths::SetDataRoot(FromQ(m_dir.path()) + "/");
  std::vector<config::TItemRow> items;
  {
    TTombolixDataModule dm(SeedExampleTasks);
    ASSERT_TRUE(dm.DataModuleCreate());
    std::string error;
    // The list gets years of service, 0 for every seventh; the lunch draw's winners are the
    // first five.
    TArraySring lines;
    int32_t idLength = 0;
    std::string title;
    ASSERT_TRUE(ReadDrawDataFile(paths::DrawDataPath(1001), 0, 1, lines, idLength, title, error));
    for (size_t i = 0; i < lines.size(); ++i)
      lines[i] += " " + std::to_string(i % 7 == 0 ? 0 : 1 + i % 5);
    ASSERT_TRUE(WriteDrawDataFile(paths::DrawDataPath(1001), title + text::G(" 工龄"), lines,
                                  idLength, error));
    TaskDef lunch;
    lunch.taskId = 1003;
    lunch.items = {{text::G("午宴奖"), 5, 5, text::G("红包")}};
    BuildTask(dm, lunch);
    std::string lunchWinners = text::G("手机号码 姓名 部门 工龄") + "\r\n";
    for (int i = 1; i <= 5; ++i) {
      m_lunch << QByteArray::fromStdString(std::string(text::FirstField(lines[i])));
      lunchWinners += lines[i] + "\r\n";
    }
    WriteAll(paths::NativePath(paths::WinnerFilePath(1003, 2201)), lunchWinners);
    // Keys typed every 150 ms: the stage's rest after a reveal and its minimum roll are off.
    ASSERT_TRUE(db::ExecSql(dm.ARryPub, db::sql::kUpdateStageKeys,
                            {std::string("0 0"), int64_t{1001}}, error))
        << error;
    DialogRecorder dialogs;
    TMainForm main;
    TLuckConfigForm f(&main);
    f.show();
    ASSERT_TRUE(config::SelectItems(1001, items, error)) << error;
    ASSERT_EQ(items.size(), 3u);
    // 二等奖 for none of 研发部 and 市场部, one a department.
    f.PageControl1->setCurrentWidget(f.TSItem);
    f.TSItem->LBItem->setCurrentRow(1);
    f.TSItem->LBItemClick();
    TItemRulesBox* item = f.TSItem->GBItemRules;
    item->CBRuleField->setCurrentIndex(item->CBRuleField->findText(QStringLiteral("部门")));
    item->CBRuleKind->setCurrentIndex(1);
    Tick(item->LBRuleValues, QStringLiteral("研发部"));
    Tick(item->LBRuleValues, QStringLiteral("市场部"));
    item->CBQuotaField->setCurrentIndex(item->CBQuotaField->findText(QStringLiteral("部门")));
    QTest::keyClicks(item->EdtQuotaMax, QStringLiteral("1"));
    QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
    // At most three a department over the whole task.
    f.PageControl1->setCurrentWidget(f.TSBase);
    TTaskRulesBox* task = f.TSBase->GBTaskRules;
    task->CBTaskQuotaField->setCurrentIndex(
        task->CBTaskQuotaField->findText(QStringLiteral("部门")));
    QTest::keyClicks(task->EdtTaskQuotaMax, QStringLiteral("3"));
    // Tickets by years; the lunch draw's winners left out.
    task->CBTickets->setCurrentIndex(task->CBTickets->findText(QStringLiteral("工龄")));
    ASSERT_EQ(task->LBExclude->count(), 1);
    task->LBExclude->item(0)->setCheckState(Qt::Checked);
    QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
    const std::vector<std::pair<MessageKind, QString>> saved = {
        {MessageKind::Information, QStringLiteral("保存成功")},
        {MessageKind::Information, QStringLiteral("保存成功")}};
    ASSERT_EQ(dialogs.messages(), saved);
  }

  // Open, two batches, killed; then Yes and the last two batches.
  auto first = Start(QStringLiteral("enter,enter,enter,enter,enter"));
  ASSERT_TRUE(WaitFor(*first, [&] { return Batches().size() == 2 && KeysTyped(); }))
      << LogLines().join('\n').toStdString();
  Kill(*first);
  ASSERT_EQ(Batches().size(), 2);
  auto second =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  ASSERT_TRUE(WaitFor(*second, [&] {
    return LogLines().contains(QStringLiteral("message\t0\t所有奖项已经全部抽取完毕"));
  })) << LogLines().join('\n').toStdString();
  EXPECT_TRUE(LogLines().contains(
      QStringLiteral("question\t上次抽奖尚未完成(已抽出4人),是否继续上次的抽奖?")));
  second->kill();
  second->waitForFinished(10000);

  // The rules held: 二等奖 from three other departments, no department more than three times.
  const QList<QByteArray> secondPrize = WinnerLines(items[1].ItemId);
  ASSERT_EQ(secondPrize.size(), 3);
  QList<QByteArray> seen;
  for (const QByteArray& l : secondPrize) {
    const QByteArray d = Department(l);
    EXPECT_NE(d, QByteArray::fromStdString(text::G("研发部"))) << l.toStdString();
    EXPECT_NE(d, QByteArray::fromStdString(text::G("市场部"))) << l.toStdString();
    EXPECT_FALSE(seen.contains(d)) << l.toStdString();
    seen << d;
  }
  // No department over three, nobody without tickets, nobody who won at lunch.
  std::map<QByteArray, int> perDepartment;
  int all = 0;
  for (const config::TItemRow& i : items)
    for (const QByteArray& l : WinnerLines(i.ItemId)) {
      ++all;
      EXPECT_LE(++perDepartment[Department(l)], 3) << l.toStdString();
      EXPECT_NE(l.split(' ').value(3), "0") << l.toStdString();
      EXPECT_FALSE(m_lunch.contains(l.split(' ').value(0))) << l.toStdString();
    }
  EXPECT_EQ(all, 14);

  QProcess verify;
  verify.start(QStringLiteral(TOMBOLIX_VERIFY_EXE), {Path(QString()), QStringLiteral("1001")});
  ASSERT_TRUE(verify.waitForFinished(30000));
  // CR LF from the Windows console
  const QString out = QString::fromUtf8(verify.readAllStandardOutput())
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  EXPECT_EQ(verify.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();
  // The rules the windows stored are the ones journalled and replayed.
  EXPECT_TRUE(out.contains(QStringLiteral("规则与指纹一致"))) << out.toStdString();
  EXPECT_TRUE(Read(Path(QStringLiteral("LUCK_FILE/JOURNAL_1001_DONE.txt")))
                  .contains("\trules=TICKETS%09" + QByteArray::fromStdString(text::G("工龄")) +
                            "%0ATASKQUOTA%09" + QByteArray::fromStdString(text::G("部门")) +
                            "%093%0AEXCLUDE%091003%0AITEM%09"))
      << Read(Path(QStringLiteral("LUCK_FILE/JOURNAL_1001_DONE.txt"))).left(600).toStdString();
}
