#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/stage/GetLuckProdFrm.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

class ConfigWindow : public ::testing::Test {
 protected:
  TempRoot m_root;
  DialogRecorder m_dialogs;
};

QStringList Nodes(const TLuckConfigForm& f) {
  QStringList out;
  for (int i = 0; i < f.LuckTaskTV->topLevelItemCount(); ++i)
    out << f.LuckTaskTV->topLevelItem(i)->text(0);
  return out;
}

QStringList Lines(const TLuckConfigForm& f) {
  QStringList out;
  for (int i = 0; i < f.TSItem->LBItem->count(); ++i) out << f.TSItem->LBItem->item(i)->text();
  return out;
}

int SelectedNode(const TLuckConfigForm& f) {
  const auto sel = f.LuckTaskTV->selectedItems();
  return sel.isEmpty() ? -1 : f.LuckTaskTV->indexOfTopLevelItem(sel.first());
}

void AddItem(TLuckConfigForm& f, const QString& name, const QString& luck, const QString& list) {
  QTest::mouseClick(f.TSItem->BtnAddItem, Qt::LeftButton);
  f.TSItem->DBEdtName->setText(name);  // typed by an input method
  QTest::keyClicks(f.TSItem->DBEdtLuckCount, luck);
  if (!f.TSItem->DBEditListCount->isHidden()) QTest::keyClicks(f.TSItem->DBEditListCount, list);
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
}

// "name:ListIndex" in draw order.
QStringList StoredOrder(TTombolixDataModule& dm, int taskId) {
  QStringList out;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(dm.ADOConnection1.Handle(),
                     "select ItemName, ListIndex from TaskItem where TaskId=? order by ListIndex",
                     -1, &st, nullptr);
  sqlite3_bind_int(st, 1, taskId);
  while (sqlite3_step(st) == SQLITE_ROW)
    out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) +
               QStringLiteral(":%1").arg(sqlite3_column_int(st, 1));
  sqlite3_finalize(st);
  return out;
}

}  // namespace

TEST_F(ConfigWindow, ANewTaskSavedInTheWindowAppearsInTheMainList) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("抽奖配置"));
  EXPECT_EQ(f.PageControl1->currentWidget(), f.TSBase);
  EXPECT_TRUE(Nodes(f).isEmpty());
  // New-task defaults.
  EXPECT_EQ(f.TSBase->EdtFontSize->text(), QStringLiteral("36"));
  EXPECT_EQ(f.TSBase->CLBColor->currentData().toString(), QStringLiteral("clWhite"));
  EXPECT_TRUE(f.TSBase->CKShowLuck->isChecked());
  EXPECT_EQ(f.TSBase->EdtDateFlag->text(), QStringLiteral("未导入"));
  EXPECT_FALSE(f.TSItem->BtnAddItem->isEnabled());  // items need a saved task

  QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
  f.TSBase->EdtTaskName->setText(QStringLiteral("新年抽奖"));
  f.TSBase->EdtMainTitle->setText(QStringLiteral("2027 新年"));
  f.TSBase->CLBColor->setCurrentIndex(f.TSBase->CLBColor->findData(QStringLiteral("clYellow")));
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);

  const std::vector<std::pair<MessageKind, QString>> saved = {
      {MessageKind::Information, QStringLiteral("保存成功")}};
  EXPECT_EQ(m_dialogs.messages(), saved);
  EXPECT_EQ(Nodes(f), QStringList{QStringLiteral("新年抽奖")});
  EXPECT_EQ(SelectedNode(f), 0);
  ASSERT_EQ(f.Tasks.Count(), 1);
  EXPECT_EQ(f.Tasks.At(0)->TaskId, 1001);
  EXPECT_EQ(f.TSBase->EdtTaskId->text(), QStringLiteral("1001"));
  EXPECT_EQ(f.TSBase->CLBColor->currentData().toString(), QStringLiteral("clYellow"));
  EXPECT_EQ(f.TSBase->EdtDateFlag->text(),
            QStringLiteral("抽奖数据未导入,请到\"抽奖数据导入\"页面导入抽奖数据"));
  EXPECT_EQ(f.TsData->LBData->text(), QStringLiteral("抽奖数据尚未导入,抽奖前请先导入抽奖数据!"));
  EXPECT_TRUE(f.TSItem->BtnAddItem->isEnabled());
  ASSERT_EQ(main.LVHeaders->rowCount(), 1);
  EXPECT_EQ(main.LVHeaders->item(0, 0)->text(), QStringLiteral("新年抽奖"));
  EXPECT_EQ(main.LVHeaders->item(0, 1)->text(), QStringLiteral("2027 新年"));

  // A second one lands at the end of the tree and is selected.
  QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
  EXPECT_EQ(f.TSBase->EdtTaskId->text(), QString());
  f.TSBase->EdtTaskName->setText(QStringLiteral("转盘"));
  f.TSBase->CBOrderBy->setCurrentIndex(1);
  QTest::keyClicks(f.TSBase->EProb, QStringLiteral("500"));
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  EXPECT_EQ(Nodes(f), (QStringList{QStringLiteral("新年抽奖"), QStringLiteral("转盘")}));
  EXPECT_EQ(SelectedNode(f), 1);
  EXPECT_EQ(f.TSBase->EdtDateFlag->text(), QStringLiteral("无需导入抽奖数据"));
  EXPECT_EQ(f.TSBase->EProb->text(), QStringLiteral("500"));
  EXPECT_EQ(main.LVHeaders->rowCount(), 2);
}

TEST_F(ConfigWindow, EditsAreDroppedByCancelAndKeptBySave) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  main.LVHeaders->selectRow(1);
  TLuckConfigForm f(&main);
  f.show();
  EXPECT_EQ(SelectedNode(f), 1);  // follows the main window's selection
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("幸运转盘示例"));
  EXPECT_EQ(f.TSBase->CBOrderBy->currentIndex(), 1);

  f.TSBase->EdtTaskName->setText(QStringLiteral("改过的名字"));
  QTest::keyClick(f.TSBase->EdtTaskName, Qt::Key_Return);  // presses no button
  EXPECT_EQ(f.TSBase->EdtTaskId->text(), QStringLiteral("1002"));
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("改过的名字"));
  f.TSBase->EProb->setText(QStringLiteral("777"));
  QTest::mouseClick(f.TSBase->BtnCancelBase, Qt::LeftButton);
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("幸运转盘示例"));
  EXPECT_EQ(f.TSBase->EProb->text(), QStringLiteral("1000"));

  f.TSBase->EdtTaskName->setText(QStringLiteral("  大转盘 "));
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  EXPECT_EQ(Nodes(f)[1], QStringLiteral("大转盘"));
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("大转盘"));
  EXPECT_EQ(main.LVHeaders->item(1, 0)->text(), QStringLiteral("大转盘"));

  // A pasted non-digit is named and focused; nothing is stored.
  f.TSBase->EProb->setText(QStringLiteral("12a"));
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Attention,
                           QStringLiteral("[中奖概率值]只能输入数字,请重新输入!")));
  EXPECT_EQ(f.focusWidget(), f.TSBase->EProb);
  QTest::mouseClick(f.TSBase->BtnCancelBase, Qt::LeftButton);
  EXPECT_EQ(f.TSBase->EProb->text(), QStringLiteral("1000"));
}

TEST_F(ConfigWindow, LoadedLongTextsAreShownFromTheirStart) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  const QString title =
      QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");
  f.TSBase->EdtMainTitle->setText(title);
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  EXPECT_EQ(f.TSBase->EdtMainTitle->text(), title);
  EXPECT_EQ(f.TSBase->EdtMainTitle->cursorPosition(), 0);

  f.PageControl1->setCurrentWidget(f.TSItem);
  const QString award = QStringLiteral("华为MateBook X Pro 笔记本电脑一台及配套扩展坞和电脑包");
  f.TSItem->DBEdtAwardName->setText(award);
  QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
  QTest::mouseClick(f.TSItem->BtnCancelItem, Qt::LeftButton);
  EXPECT_EQ(f.TSItem->DBEdtAwardName->text(), award);
  EXPECT_EQ(f.TSItem->DBEdtAwardName->cursorPosition(), 0);
}

// Every tab of both draw types as the operator sees it: no label over a field, no number cut.
TEST_F(ConfigWindow, NoTextIsCoveredOrCutOnAnyTab) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  for (int type : {0, 1}) {
    f.TSBase->CBOrderBy->setCurrentIndex(type);
    for (int tab = 0; tab < f.PageControl1->count(); ++tab) {
      f.PageControl1->setCurrentIndex(tab);
      EXPECT_EQ(Crowded(&f).join(QLatin1Char('\n')).toStdString(), "")
          << "type " << type << ", tab " << tab;
    }
  }
}

TEST_F(ConfigWindow, DrawTypeSwitchesPanelsLabelsAndImportButtons) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  auto shown = [](QWidget* w) { return !w->isHidden(); };
  ASSERT_EQ(f.TSBase->CBOrderBy->currentIndex(), 0);
  EXPECT_TRUE(shown(f.TSBase->PData));
  EXPECT_FALSE(shown(f.TSBase->PProb));
  EXPECT_TRUE(shown(f.TSBase->PHide));
  EXPECT_TRUE(f.TsData->BtnSaveData->isEnabled());
  EXPECT_EQ(f.TSBase->EdtDateFlag->text(), QStringLiteral("抽奖数据已导入"));
  EXPECT_TRUE(f.DataImported);
  EXPECT_TRUE(f.TSItem->BntCheat->isEnabled());
  EXPECT_EQ(f.ImportedDataFile, Q(paths::DrawDataPath(1001)));

  f.TSBase->CBOrderBy->setCurrentIndex(1);
  EXPECT_FALSE(shown(f.TSBase->PData));
  EXPECT_TRUE(shown(f.TSBase->PProb));
  EXPECT_FALSE(shown(f.TSBase->PHide));
  EXPECT_FALSE(shown(f.TSBase->CKShowLuck));
  EXPECT_FALSE(shown(f.TSItem->DBEditListCount));
  EXPECT_FALSE(shown(f.TSItem->LListCount));
  EXPECT_EQ(f.TSBase->LShow->text(), QStringLiteral("未中奖提示信息："));
  EXPECT_TRUE(f.TSBase->LDesc->text().startsWith(QStringLiteral("选择“按概率抽奖”时")));
  EXPECT_FALSE(f.TsData->BtnSaveData->isEnabled());
  EXPECT_FALSE(f.TsData->SpFileData->isEnabled());

  f.TSBase->CBOrderBy->setCurrentIndex(0);
  EXPECT_TRUE(shown(f.TSBase->PData));
  EXPECT_TRUE(shown(f.TSItem->DBEditListCount));
  EXPECT_EQ(f.TSBase->LShow->text(), QStringLiteral("抽奖时提示信息："));
  EXPECT_TRUE(f.TsData->BtnSaveData->isEnabled());
}

TEST_F(ConfigWindow, DeletingTheOnlyTaskLeavesAnEmptyTreeAndNewTaskDefaults) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.items = {{"A", 1, 1, "x"}};
  def.candidates = {"111 a"};
  BuildTask(dm, def);
  TMainForm main;
  TLuckConfigForm f(&main);
  ASSERT_EQ(Nodes(f), QStringList{QStringLiteral("task")});

  // No, and a question closed with its close box, delete nothing.
  m_dialogs.answers = {Answer::No, Answer::Closed};
  QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
  QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
  EXPECT_EQ(Nodes(f).size(), 1);
  EXPECT_TRUE(QFile::exists(Q(paths::DrawDataPath(1001))));
  ASSERT_EQ(m_dialogs.log.size(), 2u);
  EXPECT_EQ(
      m_dialogs.log[0].text,
      QStringLiteral("将删除该抽奖项目的基本配置、导入数据和中奖数据，您确认要删除[task]吗？"));

  f.N2->trigger();
  EXPECT_TRUE(Nodes(f).isEmpty());
  EXPECT_EQ(f.Tasks.Count(), 0);
  EXPECT_EQ(f.TSBase->EdtTaskId->text(), QString());
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QString());
  EXPECT_EQ(f.TSBase->EdtFontSize->text(), QStringLiteral("36"));
  EXPECT_EQ(f.TSItem->LBItem->count(), 0);
  EXPECT_EQ(main.LVHeaders->rowCount(), 0);
  EXPECT_FALSE(QFile::exists(Q(paths::DrawDataPath(1001))));
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(ConfigWindow, ItemsAreAddedMovedAndDeletedInDrawOrder) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  BuildTask(dm, def);
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  f.PageControl1->setCurrentWidget(f.TSItem);
  AddItem(f, QStringLiteral("一等奖"), QStringLiteral("1"), QStringLiteral("1"));
  AddItem(f, QStringLiteral("二等奖"), QStringLiteral("5"), QStringLiteral("5"));
  AddItem(f, QStringLiteral("三等奖"), QStringLiteral("10"), QStringLiteral("5"));
  EXPECT_EQ(Lines(f), (QStringList{QStringLiteral("一等奖"), QStringLiteral("二等奖"),
                                   QStringLiteral("三等奖")}));
  EXPECT_EQ(f.TSItem->LBItem->currentRow(), 2);
  EXPECT_FALSE(f.TSItem->BtnSaveItem->isEnabled());
  EXPECT_TRUE(f.TSItem->BtnDelItem->isEnabled());
  EXPECT_FALSE(f.TSItem->BntCheat->isEnabled());  // no draw data imported

  // While a new item is typed the list marks none; 取消 shows the item marked before again.
  QTest::mouseClick(f.TSItem->BtnAddItem, Qt::LeftButton);
  EXPECT_EQ(f.TSItem->DBEdtName->text(), QString());
  EXPECT_FALSE(f.TSItem->BtnDelItem->isEnabled());
  EXPECT_EQ(f.TSItem->LBItem->currentRow(), -1);
  EXPECT_TRUE(f.TSItem->LBItem->selectedItems().isEmpty());
  QTest::mouseClick(f.TSItem->BtnCancelItem, Qt::LeftButton);
  EXPECT_EQ(f.TSItem->LBItem->currentRow(), 2);
  EXPECT_EQ(f.TSItem->DBEdtName->text(), QStringLiteral("三等奖"));
  EXPECT_EQ(f.TSItem->DBEditListCount->text(), QStringLiteral("5"));

  QTest::mouseClick(f.TSItem->SpeedButton1, Qt::LeftButton);  // 三等奖 up
  EXPECT_EQ(f.TSItem->LBItem->currentRow(), 1);
  EXPECT_EQ(f.TSItem->DBEdtName->text(), QStringLiteral("三等奖"));
  QTest::keyClick(f.TSItem->LBItem, Qt::Key_Up);  // the keys show the item like a click
  EXPECT_EQ(f.TSItem->DBEdtName->text(), QStringLiteral("一等奖"));
  QTest::mouseClick(f.TSItem->SpeedButton1, Qt::LeftButton);  // the first one does not move up
  EXPECT_EQ(StoredOrder(dm, 1001),
            (QStringList{QStringLiteral("一等奖:1"), QStringLiteral("三等奖:2"),
                         QStringLiteral("二等奖:3")}));

  // Delete the middle one: the last follows up.
  f.TSItem->LBItem->setCurrentRow(1);
  f.TSItem->LBItemClick();
  QTest::mouseClick(f.TSItem->BtnDelItem, Qt::LeftButton);
  EXPECT_EQ(m_dialogs.log.back().text, QStringLiteral("您确认要删除[三等奖]吗？"));
  EXPECT_EQ(Lines(f), (QStringList{QStringLiteral("一等奖"), QStringLiteral("二等奖")}));
  EXPECT_EQ(f.TSItem->LBItem->currentRow(), 1);
  EXPECT_EQ(f.TSItem->DBEdtName->text(), QStringLiteral("二等奖"));
  EXPECT_EQ(StoredOrder(dm, 1001),
            (QStringList{QStringLiteral("一等奖:1"), QStringLiteral("二等奖:2")}));

  // A duplicate name is refused with the focus on the name.
  AddItem(f, QStringLiteral("一等奖"), QStringLiteral("2"), QStringLiteral("1"));
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Attention,
                           QStringLiteral("该抽奖任务已有奖项[一等奖],请输入其他奖项名称!")));
  EXPECT_EQ(f.focusWidget(), f.TSItem->DBEdtName);
  EXPECT_EQ(Lines(f).size(), 2);
}

TEST_F(ConfigWindow, DigitFieldsTakeDigitsOnlyAndTheRightClickKeepsTheSelection) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  f.TSBase->EdtHideBegin->clear();
  QTest::keyClicks(f.TSBase->EdtHideBegin, QStringLiteral("a1-2"));
  EXPECT_EQ(f.TSBase->EdtHideBegin->text(), QStringLiteral("12"));
  f.TSItem->DBEdtLuckCount->clear();
  QTest::keyClicks(f.TSItem->DBEdtLuckCount, QStringLiteral("3 x4"));
  QTest::keyClick(f.TSItem->DBEdtLuckCount, Qt::Key_Backspace);
  EXPECT_EQ(f.TSItem->DBEdtLuckCount->text(), QStringLiteral("3"));
  // Ctrl+A selects, so typing replaces rather than appends.
  f.TSBase->EdtHideBegin->setText(QStringLiteral("12"));
  QTest::keyClick(f.TSBase->EdtHideBegin, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(f.TSBase->EdtHideBegin, QStringLiteral("7"));
  EXPECT_EQ(f.TSBase->EdtHideBegin->text(), QStringLiteral("7"));

  QTreeWidgetItem* second = f.LuckTaskTV->topLevelItem(1);
  const QPoint at = f.LuckTaskTV->visualItemRect(second).center();
  // Through the window, as a real click arrives, so the menu is asked for too.
  const QPoint inWindow = f.LuckTaskTV->viewport()->mapTo(&f, at);
  QTest::mouseClick(f.windowHandle(), Qt::RightButton, {}, inWindow);
  EXPECT_TRUE(QTest::qWaitFor([&f] { return f.PMTask->isVisible(); }));
  f.PMTask->hide();
  EXPECT_EQ(SelectedNode(f), 0);
  QTest::mouseClick(f.LuckTaskTV->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(SelectedNode(f), 1);
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("幸运转盘示例"));
}

TEST_F(ConfigWindow, PresetButtonAsksThenHandsTheItemToTheEditor) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  std::vector<config::TPresetEditorArgs> opened;
  f.SetPresetEditorOpener([&](QWidget* owner, const config::TPresetEditorArgs& a) {
    EXPECT_EQ(owner, &f);
    opened.push_back(a);
  });
  ASSERT_TRUE(f.TSItem->BntCheat->isEnabled());
  m_dialogs.answers = {Answer::No};
  QTest::mouseClick(f.TSItem->BntCheat, Qt::LeftButton);
  EXPECT_TRUE(opened.empty());
  QTest::mouseClick(f.TSItem->BntCheat, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(m_dialogs.log[0].text.startsWith(QStringLiteral("选择【指定中奖】名单后")));
  EXPECT_EQ(opened[0].TaskId, 1001);
  EXPECT_EQ(opened[0].TaskName, G("年会抽奖示例"));
  EXPECT_EQ(Q(opened[0].ItemName), f.TSItem->LBItem->item(0)->text());
  EXPECT_EQ(QString::number(opened[0].ItemId), f.TSItem->DBEdtId->text());
  EXPECT_EQ(QString::number(opened[0].LuckCount), f.TSItem->DBEdtLuckCount->text());
  EXPECT_EQ(opened[0].ImportedDataFile, paths::DrawDataPath(1001));

  // A probability task has no draw data to choose from.
  f.LuckTaskTV->setCurrentItem(f.LuckTaskTV->topLevelItem(1));
  EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("幸运转盘示例"));
  EXPECT_FALSE(f.TSItem->BntCheat->isEnabled());
}

TEST_F(ConfigWindow, PictureChoiceFindsPicturesInAnyLetterCase) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  const QString photo = QString::fromStdString(m_root.path("photo.jpg"));
  WriteAll(m_root.path("photo.jpg"), "jpeg");
  m_dialogs.files = {photo};
  QTest::mouseClick(f.TSItem->SbSelectItem, Qt::LeftButton);
  EXPECT_EQ(f.TSItem->DBEdtAwardImage->text(), photo);
  EXPECT_TRUE(f.TSItem->BtnSaveItem->isEnabled());
  const RecordedDialog& d = m_dialogs.log.back();
  EXPECT_EQ(d.text, QStringLiteral("请选择图像文件"));
  ASSERT_TRUE(d.filter.startsWith(QStringLiteral("图像文件(JPG/PNG/BMP) (")));
  // The patterns the dialog filters with, as Qt reads them.
  const QString patterns = d.filter.section(QStringLiteral(" ("), 1).chopped(1);
  auto matches = [&](const QString& name) {
    for (const QString& p : patterns.split(QLatin1Char(' '))) {
      if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p))
              .match(name)
              .hasMatch())
        return true;
    }
    return false;
  };
  for (const char* yes : {"photo.jpg", "PHOTO.JPG", "a.Jpeg", "b.bmp", "c.BMP", "d.png", "e.PNG"})
    EXPECT_TRUE(matches(QString::fromLatin1(yes))) << yes;
  for (const char* no : {"png.txt", "jpg.txt", "song.mp3"})
    EXPECT_FALSE(matches(QString::fromLatin1(no))) << no;

  // The background picture choice: a cancelled dialog empties the field.
  f.TSBase->EdtMainImage->setText(QStringLiteral("/old.jpg"));
  QTest::mouseClick(f.TSBase->SpSelectImage, Qt::LeftButton);
  EXPECT_EQ(m_dialogs.log.back().text, QStringLiteral("请选择图像文件(1024×768)"));
  EXPECT_EQ(f.TSBase->EdtMainImage->text(), QString());
}

TEST_F(ConfigWindow, MainWindowOpensItModallyAndDestroysIt) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  main.SetConfigWindowOpener([&main](QWidget*) { ShowLuckConfig(main); });
  QPointer<TLuckConfigForm> seen;
  bool modal = false;
  OnNextModal([&](QWidget* w) {
    seen = qobject_cast<TLuckConfigForm*>(w);
    modal = w->isModal();
    if (seen)
      QTest::mouseClick(seen->TSBase->BtnCloseBase, Qt::LeftButton);
    else
      w->close();
  });
  QTest::mouseClick(main.SBtnConfig, Qt::LeftButton);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(seen.isNull());  // gone once closed
  EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() == nullptr; }));
}

TEST_F(ConfigWindow, AProbabilityTaskSetUpInTheWindowIsReadyToDraw) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  f.TSBase->EdtTaskName->setText(QStringLiteral("幸运大转盘"));
  f.TSBase->CBOrderBy->setCurrentIndex(1);
  QTest::keyClicks(f.TSBase->EProb, QStringLiteral("100"));
  QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  f.PageControl1->setCurrentWidget(f.TSItem);
  AddItem(f, QStringLiteral("一等奖"), QStringLiteral("1"), {});
  AddItem(f, QStringLiteral("二等奖"), QStringLiteral("10"), {});
  AddItem(f, QStringLiteral("三等奖"), QStringLiteral("20"), {});
  EXPECT_EQ(f.TSItem->DBEditListCount->text(), QStringLiteral("20"));  // per press = the count
  EXPECT_EQ(StoredOrder(dm, 1001),
            (QStringList{QStringLiteral("一等奖:1"), QStringLiteral("二等奖:2"),
                         QStringLiteral("三等奖:3")}));
  for (const auto& [kind, text] : m_dialogs.messages())
    EXPECT_EQ(kind, MessageKind::Information) << text.toStdString();

  const int32_t taskId = main.LVHeaders->item(0, 2)->text().toInt();
  EXPECT_EQ(taskId, 1001);
  ASSERT_NE(main.SelectedTask(), nullptr);
  EXPECT_EQ(main.SelectedTask()->OrderBy, TDrawType::ByProbability);
  TDrawSession session;
  TGetLuckProdForm screen(session, nullptr, 5u);
  EXPECT_EQ(screen.SetUpDraw(taskId), 1);
  EXPECT_EQ(session.Task.HideBegin, 100);
  EXPECT_EQ(session.ItemCount, 3);
  EXPECT_EQ(session.LuckTotal, 31);
}

// After 抽奖配置 closes, 抽奖 draws the task the operator worked on, not the first row.
TEST_F(ConfigWindow, TheMainListKeepsTheTaskWorkedOnWhenTheWindowCloses) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  main.SetConfigWindowOpener([&main](QWidget*) { ShowLuckConfig(main); });
  auto selectedId = [&main] {
    const config::TTaskRow* t = main.SelectedTask();
    return t ? t->TaskId : 0;
  };
  auto session = [&main](const std::function<void(TLuckConfigForm&)>& work) {
    OnNextModal([work](QWidget* w) {
      auto* f = qobject_cast<TLuckConfigForm*>(w);
      ASSERT_NE(f, nullptr);
      work(*f);
      QTest::mouseClick(f->TSBase->BtnCloseBase, Qt::LeftButton);
    });
    QTest::mouseClick(main.SBtnConfig, Qt::LeftButton);
  };

  // Save: the second task is saved, which reloads the list; it stays selected.
  main.SelectRow(1);
  session([](TLuckConfigForm& f) {
    f.TSBase->EdtTaskName->setText(QStringLiteral("大转盘"));
    QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
  });
  EXPECT_EQ(selectedId(), 1002);
  EXPECT_EQ(main.LVHeaders->item(1, 0)->text(), QStringLiteral("大转盘"));

  // Cancel: edits dropped, the selection as it was.
  session([](TLuckConfigForm& f) {
    f.TSBase->EdtTaskName->setText(QStringLiteral("不要"));
    QTest::mouseClick(f.TSBase->BtnCancelBase, Qt::LeftButton);
  });
  EXPECT_EQ(selectedId(), 1002);

  // New: the task just created, and the tree selected it too.
  int treeSelected = -1;
  session([&treeSelected](TLuckConfigForm& f) {
    QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
    f.TSBase->EdtTaskName->setText(QStringLiteral("新任务"));
    QTest::mouseClick(f.TSBase->BtnSaveBase, Qt::LeftButton);
    const auto sel = f.LuckTaskTV->selectedItems();
    treeSelected = sel.isEmpty() ? -1 : f.LuckTaskTV->indexOfTopLevelItem(sel.first());
  });
  EXPECT_EQ(treeSelected, 2);
  EXPECT_EQ(selectedId(), 1003);

  // Delete of another task: the selected one stays selected.
  main.SelectRow(0);
  session([](TLuckConfigForm& f) {
    f.LuckTaskTV->setCurrentItem(f.LuckTaskTV->topLevelItem(1));
    QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
  });
  ASSERT_EQ(main.LVHeaders->rowCount(), 2);
  EXPECT_EQ(selectedId(), 1001);

  // Delete of the selected task: its neighbour, never nothing.
  main.SelectRow(1);
  session([](TLuckConfigForm& f) { QTest::mouseClick(f.SpeedButton4, Qt::LeftButton); });
  ASSERT_EQ(main.LVHeaders->rowCount(), 1);
  EXPECT_EQ(selectedId(), 1001);
}

TEST_F(ConfigWindow, EscClosesAndAsksFirstAboutUnsavedEditsWithNoAsTheDefault) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  {  // Nothing changed: Esc closes at once.
    TLuckConfigForm f(&main);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(m_dialogs.log.empty());
  }
  const QString question = QStringLiteral("当前的修改尚未保存，退出将丢失这些修改，是否确定退出？");
  {  // An edited task name: No (the default) keeps the window and the edit; Yes closes.
    TLuckConfigForm f(&main);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.TSBase->EdtTaskName->setText(QStringLiteral("改过"));
    m_dialogs.answers = {Answer::No, Answer::Yes};
    QTest::keyClick(f.TSBase->EdtTaskName, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.TSBase->EdtTaskName->text(), QStringLiteral("改过"));
    ASSERT_EQ(m_dialogs.log.size(), 1u);
    EXPECT_EQ(m_dialogs.log[0].text, question);
    EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
  }
  EXPECT_EQ(main.LVHeaders->item(0, 0)->text(), QStringLiteral("年会抽奖示例"));
  m_dialogs.log.clear();
  {  // A prize item typed but not saved counts too; after 保存 nothing is asked.
    TLuckConfigForm f(&main);
    f.show();
    f.PageControl1->setCurrentWidget(f.TSItem);
    QTest::mouseClick(f.TSItem->BtnAddItem, Qt::LeftButton);
    f.TSItem->DBEdtName->setText(QStringLiteral("特等奖"));
    QTest::keyClicks(f.TSItem->DBEdtLuckCount, QStringLiteral("1"));
    QTest::keyClicks(f.TSItem->DBEditListCount, QStringLiteral("1"));
    EXPECT_TRUE(f.HasUnsavedEdits());
    QTest::mouseClick(f.TSItem->BtnSaveItem, Qt::LeftButton);
    EXPECT_FALSE(f.HasUnsavedEdits());
    QTest::mouseClick(f.TSItem->BtnCloseItem, Qt::LeftButton);
    EXPECT_FALSE(f.isVisible());
    for (const RecordedDialog& d : m_dialogs.log) EXPECT_NE(d.type, RecordedDialog::Question);
  }
}

TEST_F(ConfigWindow, ShiftF10OpensTheTaskMenu) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.LuckTaskTV->setFocus();
  QTest::keyClick(f.LuckTaskTV, Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.PMTask->isVisible(); }));
  f.PMTask->close();
  EXPECT_EQ(SelectedNode(f), 0);  // the menu does not move the selection
}

TEST_F(ConfigWindow, AltKeysPressTheButtonsOfTheTabShown) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.TSBase->EdtTaskName->setText(QStringLiteral("按键保存"));
  QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);  // 保存(&S) of 基本配置, not of 奖项配置
  // A shortcut presses its button as a click would show it, a moment later.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.messages().empty(); }));
  EXPECT_EQ(m_dialogs.messages(), (std::vector<std::pair<MessageKind, QString>>{
                                      {MessageKind::Information, QStringLiteral("保存成功")}}));
  EXPECT_EQ(main.LVHeaders->item(0, 0)->text(), QStringLiteral("按键保存"));
}
