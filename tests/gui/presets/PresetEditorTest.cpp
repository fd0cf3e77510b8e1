#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/records/DrawDataFile.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/app/Startup.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/presets/LuckCheatAddFrm.h"
#include "gui/presets/LuckCheatFrm.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

const QString kCancelQuestion = QStringLiteral("取消将丢失修改，是否确定要重新初始化列表？");
const QString kCloseQuestion = QStringLiteral("返回将丢失本次修改，是否确定不保存直接退出界面？");

QStringList Row(const QTableWidget* g, int r) {
  QStringList out;
  for (int c = 0; c < g->columnCount(); ++c) out << GridCell(g, r, c);
  return out;
}

class PresetEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string err;
    ASSERT_TRUE(
        WriteDrawDataFile(paths::DrawDataPath(1001), G("号码 姓名 部门"),
                          {"13900000001 " + G("张三 研发部"), "13900000002 " + G("李四 市场部"),
                           "13900000003 " + G("王五 财务部")},
                          11, err));
    m_target = {1001, G("年会抽奖"), 2001, G("一等奖"), paths::DrawDataPath(1001), 2};
  }

  std::string PresetFile() const {
    return ReadAll(paths::NativePath(paths::PresetFilePath(1001, 2001)));
  }

  // Presses 增加 and lets `type` drive the entry dialog; it must close the dialog.
  static void Add(TLuckCheatForm& editor, std::function<void(TLuckCheatAddForm*)> type) {
    auto seen = std::make_shared<bool>(false);
    OnNextModal([seen, type](QWidget* w) {
      auto* dialog = qobject_cast<TLuckCheatAddForm*>(w);
      *seen = dialog != nullptr;
      if (dialog) type(dialog);
      if (w->isVisible()) w->close();
    });
    editor.BtnAddItem->click();
    EXPECT_TRUE(*seen);
  }
  static void TypeId(TLuckCheatAddForm* d, const QString& id) {
    d->EdtInPut->setText(id);
    d->BOK->click();
  }

  TempRoot m_root;
  DialogRecorder m_dialogs;
  TPresetTarget m_target;
};

}  // namespace

TEST_F(PresetEditor, OpensWithHeadRowAndOneEmptyRowWhenNothingIsSaved) {
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  EXPECT_EQ(editor.windowTitle(), QStringLiteral("指定中奖"));
  EXPECT_EQ(editor.PTitle->text(), QStringLiteral("[年会抽奖]:  [一等奖]  指定中奖名单"));
  EXPECT_EQ(editor.SGLuckId->rowCount(), 2);
  EXPECT_EQ(Row(editor.SGLuckId, 0), (QStringList{"号码", "姓名", "部门"}));
  EXPECT_EQ(Row(editor.SGLuckId, 1), (QStringList{"", "", ""}));
  EXPECT_EQ(editor.SGLuckId->columnWidth(0), 186);
  EXPECT_EQ(editor.SGLuckId->columnWidth(2), 160);
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(PresetEditor, IdWithBlanksIsFoundAndAPrefixIsNot) {
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  Add(editor, [](TLuckCheatAddForm* d) {
    EXPECT_EQ(d->LInputName->text(), QStringLiteral("请输入指定中奖的号码:"));
    TypeId(d, QStringLiteral("   "));
    TypeId(d, QStringLiteral("1390000000"));  // a prefix of every id
    EXPECT_TRUE(d->isVisible());
    TypeId(d, QStringLiteral("  13900000002  "));
    EXPECT_EQ(d->Output(), "13900000002 " + G("李四 市场部"));
  });
  EXPECT_EQ(
      m_dialogs.messages(),
      (std::vector<std::pair<MessageKind, QString>>{
          {MessageKind::Attention, QStringLiteral("请输入指定的号码")},
          {MessageKind::Information, QStringLiteral("抽奖数据未找到指定的号码, 请重新输入")}}));
  EXPECT_EQ(Row(editor.SGLuckId, 1), (QStringList{"13900000002", "李四", "市场部"}));
  EXPECT_TRUE(editor.List().Modified());
  EXPECT_EQ(PresetFile(), "");  // nothing reaches the file before 保存
}

TEST_F(PresetEditor, ADuplicateIsRefusedByNameAndAFullListOpensNoDialog) {
  WriteAll(paths::NativePath(paths::PresetFilePath(1001, 2001)), "13900000001 x\r\n");
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  Add(editor, [](TLuckCheatAddForm* d) {
    TypeId(d, QStringLiteral("13900000001"));
    EXPECT_TRUE(d->isVisible());
    d->BCancel->click();
  });
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Attention,
                           QStringLiteral("号码[13900000001]已经在指定中奖名单中,不能重复指定")));
  EXPECT_EQ(editor.SGLuckId->rowCount(), 2);
  Add(editor, [](TLuckCheatAddForm* d) { TypeId(d, QStringLiteral("13900000003")); });
  EXPECT_EQ(editor.SGLuckId->rowCount(), 3);
  editor.BtnAddItem->click();  // two of two: refused before any dialog
  EXPECT_EQ(
      m_dialogs.messages().back(),
      std::make_pair(MessageKind::Attention,
                     QStringLiteral("一等奖设定的中奖总数为:2,指定中奖数已经达到设定的最大值了")));
  EXPECT_EQ(editor.SGLuckId->rowCount(), 3);
}

TEST_F(PresetEditor, DeletingTheOnlyEntryAndSavingLeavesAnEmptyFile) {
  WriteAll(paths::NativePath(paths::PresetFilePath(1001, 2001)),
           "13900000001 " + G("张三 研发部 多余") + "\r\n");
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  EXPECT_EQ(Row(editor.SGLuckId, 1), (QStringList{"13900000001", "张三", "研发部"}));
  editor.BtnDelItem->click();
  EXPECT_EQ(editor.SGLuckId->rowCount(), 2);
  EXPECT_EQ(Row(editor.SGLuckId, 1), (QStringList{"", "", ""}));
  editor.BtnSaveItem->click();
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Information, QStringLiteral("保存成功!")));
  EXPECT_TRUE(paths::FileExists(paths::PresetFilePath(1001, 2001)));
  EXPECT_EQ(PresetFile(), "");
  EXPECT_FALSE(editor.List().Modified());
}

TEST_F(PresetEditor, CancelReloadsTheSavedListAndCloseStillAsks) {
  WriteAll(paths::NativePath(paths::PresetFilePath(1001, 2001)), "13900000001 a b\r\n");
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  editor.show();
  Add(editor, [](TLuckCheatAddForm* d) { TypeId(d, QStringLiteral("13900000003")); });
  ASSERT_EQ(editor.SGLuckId->rowCount(), 3);

  m_dialogs.answers = {Answer::No, Answer::Closed};
  editor.BtnCancelItem->click();
  EXPECT_EQ(editor.SGLuckId->rowCount(), 3);  // No keeps the changes
  editor.BtnCancelItem->click();
  EXPECT_EQ(editor.SGLuckId->rowCount(), 3);  // and so does closing the question
  editor.BtnCancelItem->click();              // Yes reloads
  EXPECT_EQ(editor.SGLuckId->rowCount(), 2);
  EXPECT_EQ(Row(editor.SGLuckId, 1), (QStringList{"13900000001", "a", "b"}));

  m_dialogs.answers = {Answer::No};
  editor.BtnCloseItem->click();
  EXPECT_TRUE(editor.isVisible());
  editor.BtnCloseItem->click();
  EXPECT_FALSE(editor.isVisible());
  int questions = 0;
  for (const RecordedDialog& d : m_dialogs.log) {
    if (d.type == RecordedDialog::Question) {
      EXPECT_EQ(d.text, ++questions <= 3 ? kCancelQuestion : kCloseQuestion);
    }
  }
  EXPECT_EQ(questions, 5);
  EXPECT_EQ(PresetFile(), "13900000001 a b\r\n");
}

TEST_F(PresetEditor, EscLeavesAsReturnDoesAskingWithNoAsTheDefault) {
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  editor.show();
  Add(editor, [](TLuckCheatAddForm* d) { TypeId(d, QStringLiteral("13900000003")); });
  m_dialogs.log.clear();
  m_dialogs.answers = {Answer::No, Answer::Yes};
  QTest::keyClick(&editor, Qt::Key_Escape);
  EXPECT_TRUE(editor.isVisible());  // No keeps the edits
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].text, kCloseQuestion);
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  QTest::keyClick(&editor, Qt::Key_Escape);
  EXPECT_FALSE(editor.isVisible());
  EXPECT_FALSE(paths::FileExists(paths::PresetFilePath(1001, 2001)));
}

TEST_F(PresetEditor, UnchangedListLeavesWithoutAQuestion) {
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  editor.show();
  editor.BtnCancelItem->click();
  editor.BtnCloseItem->click();
  EXPECT_FALSE(editor.isVisible());
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(PresetEditor, MalformedDrawDataFileClosesTheEditorWithItsMessage) {
  WriteAll(paths::NativePath(paths::DrawDataPath(1001)), "BEGIN\r\nCOUNT=three\r\n");
  WriteAll(paths::NativePath(paths::PresetFilePath(1001, 2001)), "13900000001\r\n");
  OpenPresetEditor(nullptr, m_target);  // returns at once: nothing is shown
  EXPECT_EQ(m_dialogs.messages(),
            (std::vector<std::pair<MessageKind, QString>>{
                {MessageKind::Error, QStringLiteral("文件格式错误,第二行，请重新导入数据")}}));
  m_target.DataFilePath.clear();
  TLuckCheatForm editor;
  EXPECT_EQ(editor.SetUp(m_target), 0);
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Error, QStringLiteral("未找到导入的数据，请重新导入数据")));
}

TEST_F(PresetEditor, WithoutColumnHeadsSaveKeepsTheSavedFile) {
  WriteAll(paths::NativePath(paths::DrawDataPath(1001)),
           "BEGIN\r\nCOUNT=1\r\nID_MAX_LENGTH=1\r\n\r\n1 a\r\nEND\r\n");
  WriteAll(paths::NativePath(paths::PresetFilePath(1001, 2001)), "1 a\r\n");
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  EXPECT_EQ(editor.SGLuckId->columnCount(), 1);
  editor.BtnDelItem->click();
  editor.BtnSaveItem->click();
  EXPECT_EQ(PresetFile(), "1 a\r\n");
  EXPECT_TRUE(m_dialogs.messages().empty());
  EXPECT_TRUE(editor.List().Modified());
}

TEST_F(PresetEditor, AFailedSaveShowsTheErrorAndKeepsTheMark) {
  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(m_target), 1);
  Add(editor, [](TLuckCheatAddForm* d) { TypeId(d, QStringLiteral("13900000001")); });
  // Something that is not a file stands where the list must go.
  const auto target = paths::NativePath(paths::PresetFilePath(1001, 2001));
  std::filesystem::create_directories(target);
  editor.BtnSaveItem->click();
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Error);
  EXPECT_TRUE(m_dialogs.messages()[0].second.startsWith(QStringLiteral("无法写入文件")));
  EXPECT_TRUE(editor.List().Modified());
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

TEST(PresetEditorToDraw, SavedPresetsAreTheItemsFirstWinners) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;
  TaskDef def;
  def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 3, 3, ""}};
  def.title = G("号码 姓名");
  // More fields than heads: the draw compares whole lines, so the whole line is kept.
  for (int i = 0; i < 20; ++i)
    def.candidates.push_back(std::to_string(13900000000LL + i) + " p" + std::to_string(i) + " " +
                             G("研发部"));
  const std::vector<int> ids = BuildTask(dm, def);

  TLuckCheatForm editor;
  ASSERT_EQ(editor.SetUp(
                {def.taskId, G("年会"), ids[1], G("二等奖"), paths::DrawDataPath(def.taskId), 3}),
            1);
  for (const char* id : {"13900000017", "13900000004"}) {
    auto done = std::make_shared<bool>(false);
    OnNextModal([done, id](QWidget* w) {
      if (auto* d = qobject_cast<TLuckCheatAddForm*>(w)) {
        d->EdtInPut->setText(QString::fromLatin1(id));
        d->BOK->click();
        *done = !d->isVisible();
      }
      if (w->isVisible()) w->close();
    });
    editor.BtnAddItem->click();
    ASSERT_TRUE(*done);
  }
  editor.BtnSaveItem->click();
  ASSERT_EQ(dialogs.messages().back().second, QStringLiteral("保存成功!"));

  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 99u);
  ASSERT_EQ(screen.SetUpDraw(def.taskId), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  for (int batch = 0; batch < 2; ++batch) {
    QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
    QCoreApplication::processEvents();
    QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
  }
  ASSERT_EQ(screen.Engine().Session().Winners.size(), 5u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(screen.Engine().Session().Winners[i].ItemId, ids[0]);
    EXPECT_NE(screen.Engine().Session().Winners[i].CandidateLine, def.candidates[17]);
    EXPECT_NE(screen.Engine().Session().Winners[i].CandidateLine, def.candidates[4]);
  }
  EXPECT_EQ(screen.Engine().Session().Winners[2].ItemId, ids[1]);
  EXPECT_EQ(screen.Engine().Session().Winners[2].CandidateLine, def.candidates[17]);
  EXPECT_EQ(screen.Engine().Session().Winners[3].CandidateLine, def.candidates[4]);
  EXPECT_NE(screen.Engine().Session().Winners[4].CandidateLine, def.candidates[17]);
  screen.close();
}

TEST(PresetEditorInProgram, TwoPresetsSetFromTheConfigWindowAreDrawnFirst) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;  // every question answered yes
  TMainForm main;
  ConnectWindows(main);
  TArraySring lines;
  int32_t idLength = 0;
  std::string title, err;
  ASSERT_TRUE(ReadDrawDataFile(paths::DrawDataPath(1001), 0, 1, lines, idLength, title, err));
  ASSERT_GT(lines.size(), 150u);
  const std::vector<std::string> picked = {lines[150], lines[7]};

  // 抽奖配置 → 二等奖 → 指定中奖 → 增加 twice → 保存 → 返回 → 返回.
  bool saved = false;
  OnNextModal([&](QWidget* w) {
    auto* config = qobject_cast<TLuckConfigForm*>(w);
    if (!config) return w->close(), void();
    config->TSItem->LBItem->setCurrentRow(1);
    config->TSItem->LBItemClick();
    OnNextModal([&](QWidget* e) {
      auto* editor = qobject_cast<TLuckCheatForm*>(e);
      if (!editor) return e->close(), void();
      for (const std::string& line : picked) {
        OnNextModal([line](QWidget* d) {
          if (auto* add = qobject_cast<TLuckCheatAddForm*>(d)) {
            add->EdtInPut->setText(Q(PresetId(line)));
            add->BOK->click();
          }
          if (d->isVisible()) d->close();
        });
        editor->BtnAddItem->click();
      }
      editor->BtnSaveItem->click();
      saved = editor->List().Lines() == picked && !editor->List().Modified();
      editor->BtnCloseItem->click();
    });
    QTest::mouseClick(config->TSItem->BntCheat, Qt::LeftButton);
    QTest::mouseClick(config->TSBase->BtnCloseBase, Qt::LeftButton);
  });
  QTest::mouseClick(main.SBtnConfig, Qt::LeftButton);
  ASSERT_TRUE(saved);
  EXPECT_EQ(dialogs.messages().back().second, QStringLiteral("保存成功!"));

  // 抽奖: 一等奖's one winner, then 二等奖's batch of three starts with the two presets.
  NoStageKeyTimes(dm);  // the keys come faster than an operator's
  for (int r = 0; r < main.LVHeaders->rowCount(); ++r) {
    if (main.LVHeaders->item(r, 0)->text() == QStringLiteral("年会抽奖示例"))
      main.LVHeaders->selectRow(r);
  }
  TArrLuckId winners;
  OnNextModal([&](QWidget* w) {
    auto* screen = qobject_cast<TGetLuckMainForm*>(w);
    if (!screen) return w->close(), void();
    for (int batch = 0; batch < 2; ++batch) {
      QTest::keyClick(screen->EKeyCtrl, Qt::Key_Return);
      QCoreApplication::processEvents();
      QTest::keyClick(screen->EKeyCtrl, Qt::Key_Return);
    }
    winners = screen->Engine().Session().Winners;
    QTest::keyClick(screen->EKeyCtrl, Qt::Key_Escape);  // leaving is confirmed by the recorder
    if (screen->isVisible()) screen->close();
  });
  QTest::mouseClick(main.SBtnGetLuck, Qt::LeftButton);
  ASSERT_EQ(winners.size(), 4u);
  EXPECT_NE(winners[0].CandidateLine, picked[0]);
  EXPECT_NE(winners[0].CandidateLine, picked[1]);
  EXPECT_EQ(winners[1].CandidateLine, picked[0]);
  EXPECT_EQ(winners[2].CandidateLine, picked[1]);
  EXPECT_EQ(winners[1].ItemId, winners[3].ItemId);
  EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
}
