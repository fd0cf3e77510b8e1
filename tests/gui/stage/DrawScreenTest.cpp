#include <gtest/gtest.h>

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "DrawToTheEnd.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/stage/DrawScreens.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/GetLuckProdFrm.h"
#include "gui/stage/RevealCards.h"
#include "gui/stage/StageSound.h"
#include "gui/ui/ScrollText.h"

using text::G;

namespace {

std::vector<std::string> People(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i)
    out.push_back(std::to_string(13900000000LL + i) + " p" + std::to_string(i));
  return out;
}

class DrawScreen : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  std::vector<int> Task(TaskDef def) {
    if (def.candidates.empty()) def.candidates = People(10);
    m_def = def;
    m_taskId = def.taskId;
    return BuildTask(m_dm, def);
  }

  static void Enter(QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }
  // Lets the selection that an Enter scheduled run.
  static void Settle() { QCoreApplication::processEvents(); }
  // The landing is over: the batch is revealed, as the screen's timer would do it.
  static void Reveal(TGetLuckMainForm& s) { s.ShowReveal(); }

  static void ShowOn(QWidget& w) {
    w.resize(1024, 768);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  }

  std::string WinnerFile(int itemId) const {
    return ReadAll(paths::NativePath(paths::WinnerFilePath(m_def.taskId, itemId)));
  }

  TempRoot m_root;
  TDrawSession m_session;  // the program's one session, as the main window lends it
  int32_t m_taskId = 0;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  TaskDef m_def;
};

}  // namespace

TEST_F(DrawScreen, WholeDrawByKeyboardWritesTheWinnersShown) {
  TaskDef def;
  def.items = {{G("一等奖"), 3, 2, G("电脑")}, {G("二等奖"), 2, 2, ""}};
  const std::vector<int> ids = Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 4242u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  EXPECT_TRUE(screen.SBegin->isVisible());
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请点击[开始]抽取一等奖"));
  EXPECT_EQ(screen.LGet->text(), QStringLiteral("一等奖奖品：电脑"));
  EXPECT_EQ(static_cast<int>(screen.RollLabels.size()), 11);

  Enter(screen.EKeyCtrl);  // start: the winners are being selected
  EXPECT_TRUE(screen.Busy());
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("正在初始化数据......"));
  EXPECT_FALSE(screen.SOut->isEnabled());
  Enter(screen.EKeyCtrl);  // ignored while selecting
  EXPECT_TRUE(screen.Busy());
  Settle();
  EXPECT_FALSE(screen.Busy());
  EXPECT_FALSE(screen.Stopped());
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请按回车键抽取中奖号码"));
  EXPECT_TRUE(screen.TMRoll->isActive());
  screen.RollTick();
  EXPECT_TRUE(screen.RollLabels[0]->isVisible());

  Enter(screen.EKeyCtrl);  // stop: the roll lands, then the batch is revealed
  EXPECT_TRUE(screen.Stopped());
  EXPECT_FALSE(screen.TMRoll->isActive());
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 3000));
  EXPECT_EQ(screen.CardsNow->Cards().size(), 2u);  // two winners, a card each
  EXPECT_FALSE(screen.TMListNow->isActive());
  EXPECT_EQ(screen.LbShowList->text(),
            QStringLiteral("[一等奖]已经抽取2名，请继续抽取（还剩1名）"));
  EXPECT_TRUE(screen.SContinue->isVisible());
  EXPECT_FALSE(screen.SBegin->isVisible());
  EXPECT_TRUE(screen.SOut->isEnabled());

  Enter(screen.EKeyCtrl);
  Settle();
  Enter(screen.EKeyCtrl);
  Reveal(screen);
  EXPECT_EQ(screen.LbShowList->text(),
            QStringLiteral("[一等奖]已经抽取完毕，请继续抽取[二等奖]，还剩1个奖项"));
  EXPECT_EQ(screen.LGet->text(), QStringLiteral("一等奖奖品：电脑"));  // until the next key
  EXPECT_TRUE(m_dialogs.messages().empty());

  Enter(screen.EKeyCtrl);
  EXPECT_EQ(screen.LGet->text(), QString());  // 二等奖 has no gift
  Settle();
  Enter(screen.EKeyCtrl);
  Reveal(screen);
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("所有奖项已经全部抽取完毕！"));
  EXPECT_FALSE(screen.SBegin->isVisible());
  EXPECT_FALSE(screen.SContinue->isVisible());
  // The grand prize's moment first; the end is told after the next key.
  EXPECT_TRUE(m_dialogs.messages().empty());
  Enter(screen.EKeyCtrl);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Information, QStringLiteral("所有奖项已经全部抽取完毕")));
  EXPECT_TRUE(screen.MayClose());

  // The winner files hold exactly the winners drawn, in draw order.
  std::string a = m_def.title + "\r\n", b = m_def.title + "\r\n";
  ASSERT_EQ(m_session.Winners.size(), 5u);
  for (const TLuckId& w : m_session.Winners)
    (w.ItemId == ids[0] ? a : b) += w.CandidateLine + "\r\n";
  EXPECT_EQ(WinnerFile(ids[0]), a);
  EXPECT_EQ(WinnerFile(ids[1]), b);
  // The winners list shows them masked under their captions (no masking set here).
  const QStringList& list = screen.MUser2_1->Lines();
  EXPECT_TRUE(list.contains(QStringLiteral("一等奖：")));
  EXPECT_TRUE(list.contains(QString::fromStdString(m_session.Winners[4].CandidateLine)));

  Enter(screen.EKeyCtrl);  // nothing happens once finished
  EXPECT_EQ(m_dialogs.messages().size(), 1u);
  screen.SOut->click();  // closes without asking
  EXPECT_FALSE(screen.isVisible());
  EXPECT_TRUE(m_dialogs.log.size() == 1u);
  EXPECT_TRUE(m_session.CandidateLines.empty());  // the shared draw data is emptied
  EXPECT_TRUE(m_session.Winners.empty());
  EXPECT_TRUE(m_session.Items.empty());
  EXPECT_TRUE(m_session.Presets.empty());
  EXPECT_EQ(m_session.Task.TaskId, 1001);  // the task record stays
}

TEST_F(DrawScreen, EndBeforeTheFirstBatchClosesWithoutAsking) {
  TaskDef def;
  def.items = {{"A", 2, 1, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 1u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  screen.SOut->click();
  EXPECT_FALSE(screen.isVisible());
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(DrawScreen, EndBetweenBatchesAsksNoKeepsEverythingYesWritesNothing) {
  TaskDef def;
  def.items = {{"A", 4, 2, ""}};
  const std::vector<int> ids = Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 9u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  Enter(screen.EKeyCtrl);
  Settle();
  Enter(screen.EKeyCtrl);
  Reveal(screen);
  const QString progress = screen.LbShowList->text();
  ASSERT_EQ(m_session.Winners.size(), 2u);

  m_dialogs.answers = {Answer::No, Answer::Yes};
  screen.SOut->click();
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::Question);
  EXPECT_EQ(m_dialogs.log[0].text, QStringLiteral("奖项未全部抽取完毕。已抽出的中奖者都已记录，下次"
                                                  "打开本任务时可以继续抽奖。是否现在退出？"));
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  EXPECT_TRUE(screen.isVisible());
  EXPECT_EQ(screen.LbShowList->text(), progress);
  EXPECT_TRUE(screen.SContinue->isVisible());
  EXPECT_EQ(m_session.Winners.size(), 2u);

  // A close from the window manager is the same question; yes closes and saves nothing.
  screen.close();
  EXPECT_EQ(m_dialogs.log.size(), 2u);
  EXPECT_FALSE(screen.isVisible());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(paths::WinnerFilePath(1001, ids[0]))));
}

TEST_F(DrawScreen, ClosingIsRefusedWhileABatchIsSelectedOrRolled) {
  TaskDef def;
  def.items = {{"A", 4, 2, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 3u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  Enter(screen.EKeyCtrl);
  EXPECT_FALSE(screen.close());  // selecting
  Settle();
  EXPECT_FALSE(screen.close());  // rolling
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);
  screen.SOut->click();  // disabled while rolling
  EXPECT_TRUE(screen.isVisible());
  EXPECT_TRUE(m_dialogs.log.empty());
  EXPECT_FALSE(m_session.CandidateLines.empty());  // the roll still has its data
  screen.RollTick();
  Enter(screen.EKeyCtrl);
  EXPECT_TRUE(screen.Stopped());
}

TEST_F(DrawScreen, HiddenWinnersListStillSaves) {
  TaskDef def;
  def.showLuck = 1;
  def.items = {{"A", 2, 2, ""}};
  const std::vector<int> ids = Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  EXPECT_FALSE(screen.PUser2->isVisible());
  Enter(screen.EKeyCtrl);
  Settle();
  Enter(screen.EKeyCtrl);
  EXPECT_FALSE(screen.PUser2->isVisible());
  EXPECT_FALSE(screen.TMList->isActive());
  const std::string saved = WinnerFile(ids[0]);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 3);
  screen.ShowSummary();  // counts only, no winners
  EXPECT_EQ(screen.MSummary->Lines(), QStringList{QStringLiteral("A 2名")});
}

TEST_F(DrawScreen, BackgroundThatIsNoPictureFailsTheSetUp) {
  const std::string bad = m_root.path("not-a-picture.jpg");
  WriteAll(bad, "this is text, not a JPEG");
  TaskDef def;
  def.mainImage = bad;
  def.items = {{"A", 1, 1, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 1u);
  EXPECT_EQ(screen.SetUpDraw(m_taskId), 0);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Error, QStringLiteral("图像加载失败，请重新选择！")));
  EXPECT_FALSE(screen.SBegin->isVisibleTo(&screen));
}

TEST_F(DrawScreen, MissingBackgroundKeepsOursAndAGoodOneIsUsed) {
  TaskDef def;
  def.mainImage = m_root.path("gone.jpg");
  def.items = {{"A", 1, 1, ""}};
  Task(def);
  {
    TGetLuckMainForm screen(m_session, nullptr, 1u);
    EXPECT_EQ(screen.SetUpDraw(m_taskId), 1);
    EXPECT_FALSE(screen.HasTaskBackground());
  }
  QImage red(64, 48, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QString::fromStdString(m_root.path("gone.jpg")), "JPG"));
  TGetLuckMainForm screen(m_session, nullptr, 1u);
  EXPECT_EQ(screen.SetUpDraw(m_taskId), 1);
  EXPECT_TRUE(screen.HasTaskBackground());
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(DrawScreen, SetUpFailureShowsTheEngineMessage) {
  m_taskId = 0;
  TGetLuckMainForm screen(m_session, nullptr, 1u);
  EXPECT_EQ(screen.SetUpDraw(m_taskId), 0);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Information, QStringLiteral("抽奖任务未选择,请重新选择")));
}

TEST_F(DrawScreen, ExhaustedItemIsToldWithAttentionAndTheDrawGoesOn) {
  TaskDef def;
  def.items = {{G("一等奖"), 4, 4, ""}, {G("二等奖"), 1, 1, ""}};
  def.candidates = People(5);
  const std::vector<int> ids = Task(def);
  WritePresets(1001, ids[1], {def.candidates[4], def.candidates[3]});
  TGetLuckMainForm screen(m_session, nullptr, 2u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  Enter(screen.EKeyCtrl);
  Settle();
  Enter(screen.EKeyCtrl);
  EXPECT_TRUE(m_dialogs.messages().empty());  // told with the reveal, not before
  Reveal(screen);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Attention,
                           QStringLiteral("[一等奖]可抽取的号码已不足,无法继续抽取")));
  EXPECT_TRUE(screen.LbShowList->text().startsWith(QStringLiteral("[一等奖]已经抽取完毕")));
  Enter(screen.EKeyCtrl);
  Settle();
  Enter(screen.EKeyCtrl);
  Reveal(screen);
  Enter(screen.EKeyCtrl);  // the grand prize's moment is over
  EXPECT_EQ(m_dialogs.messages().back().second, QStringLiteral("所有奖项已经全部抽取完毕"));
}

TEST_F(DrawScreen, KeyboardStaysWithTheScreenAfterAClickOnTheLists) {
  TaskDef def;
  def.items = {{"A", 1, 1, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 1u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  screen.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&screen));
  QTest::mouseClick(screen.MUser2_1, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), screen.EKeyCtrl);
  QTest::mouseClick(screen.SBegin, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), screen.EKeyCtrl);
}

TEST_F(DrawScreen, ProbabilityPressRollAndResult) {
  TaskDef def;
  def.orderBy = 1;
  def.hideBegin = 10;
  def.items = {{G("一等奖"), 3, 3, G("电视")}, {G("二等奖"), 4, 4, ""}};
  Task(def);
  TGetLuckProdForm screen(m_session, nullptr, 77u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请点击[开始]按钮或按[回车]键开始抽奖"));
  EXPECT_FALSE(screen.SContinue->isEnabled());
  const QStringList rollTexts = {QStringLiteral("一等奖"), QStringLiteral("二等奖"),
                                 QStringLiteral("谢谢您的参与")};
  for (int press = 0; press < 6; ++press) {
    Enter(screen.EKeyCtrl);
    EXPECT_FALSE(screen.Stopped());
    EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请点击[确定]按钮或按[回车]键确定抽奖"));
    EXPECT_FALSE(screen.SOut->isEnabled());
    EXPECT_FALSE(screen.SBegin->isEnabled());
    EXPECT_TRUE(screen.SContinue->isEnabled());
    EXPECT_TRUE(screen.LLuck->text().isEmpty());
    for (int t = 0; t < 4; ++t) {
      screen.RollTick();
      EXPECT_TRUE(rollTexts.contains(screen.RollLabel->text()))
          << screen.RollLabel->text().toStdString();
    }
    EXPECT_FALSE(screen.close());  // refused while rolling
    const int number = screen.Engine().DrawNumber();
    Enter(screen.EKeyCtrl);
    EXPECT_TRUE(screen.Stopped());
    EXPECT_FALSE(screen.RollLabel->isVisible());
    const QString expected = number < 3   ? QStringLiteral("一等奖，奖品：电视")
                             : number < 7 ? QStringLiteral("二等奖")
                                          : QStringLiteral("谢谢您的参与");
    EXPECT_EQ(screen.LLuck->text(), expected);
    EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请点击[开始]按钮或按[回车]键开始抽奖"));
  }
  // What a data draw left in the session goes when the wheel closes, as on the data screen.
  m_session.Presets.push_back({false, 1001, 2001, "13800000000"});
  m_session.CandidateLines = {"13800000000"};
  screen.SOut->click();
  EXPECT_FALSE(screen.isVisible());
  EXPECT_TRUE(m_dialogs.log.empty());  // 退出 never asks
  EXPECT_TRUE(m_session.Items.empty());
  EXPECT_TRUE(m_session.Presets.empty());
  EXPECT_TRUE(m_session.CandidateLines.empty());
}

TEST_F(DrawScreen, ProbabilityValueNotAboveTheWinningNumbersIsRefused) {
  TaskDef def;
  def.orderBy = 1;
  def.hideBegin = 7;
  def.items = {{"A", 3, 3, ""}, {"B", 4, 4, ""}};
  Task(def);
  TGetLuckProdForm screen(m_session, nullptr, 1u);
  EXPECT_EQ(screen.SetUpDraw(m_taskId), 0);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Attention, QStringLiteral("概率值太小,请重新配置")));
}

TEST_F(DrawScreen, MainWindowOpensTheScreenOfEachExampleTask) {
  TempRoot fresh;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  w.SetDrawScreenFactory(MakeDrawScreen);
  QString opened;
  OnNextModal([&](QWidget* m) {
    opened = m->metaObject()->className();
    EXPECT_GE(m->width(), 1);
    QTest::keyClick(m, Qt::Key_Escape);  // 结束 before the first batch: closes at once
  });
  w.SBtnGetLuckClick();
  EXPECT_EQ(opened, QStringLiteral("TGetLuckMainForm"));
  w.LVHeaders->selectRow(1);
  OnNextModal([&](QWidget* m) {
    opened = m->metaObject()->className();
    QTest::keyClick(m, Qt::Key_Escape);
  });
  w.SBtnGetLuckClick();
  EXPECT_EQ(opened, QStringLiteral("TGetLuckProdForm"));
}

TEST_F(DrawScreen, ExampleTaskIsDrawnToTheEndFromTheMainWindowByKeyboard) {
  TempRoot fresh;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  w.SetDrawScreenFactory(MakeDrawScreen);
  size_t winners = 0;
  // Enter starts, Enter stops, batch after batch.
  const int presses = DrawToTheEndFromMain(w, {}, [&](TGetLuckMainForm& screen) {
    winners = screen.Engine().Session().Winners.size();
    // The end is told once the grand prize's moment is over.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.messages().empty(); }, 3000));
  });
  // 一等奖 1, 二等奖 3 and 三等奖 10 in batches of 5: four batches, two presses each (a
  // press during a landing shows its batch and starts the next); one more shows the last
  // batch, one more ends the grand prize's moment.
  EXPECT_EQ(presses, 10);
  EXPECT_EQ(winners, 14u);
  ASSERT_FALSE(m_dialogs.messages().empty());
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Information, QStringLiteral("所有奖项已经全部抽取完毕")));
  for (int item = 1001; item <= 1003; ++item)
    EXPECT_TRUE(QFile::exists(QString::fromStdString(paths::WinnerFilePath(1001, item))));
}

TEST_F(DrawScreen, PrizePictureShowsForItsItemAndABadMusicFileIsSilent) {
  QImage cup(400, 200, QImage::Format_RGB32);
  cup.fill(Qt::yellow);
  const std::string picture = m_root.path("cup.png");
  ASSERT_TRUE(cup.save(QString::fromStdString(picture)));
  const std::string music = m_root.path("party.mp3");
  WriteAll(music, "this is not music");
  TaskDef def;
  def.music = music;
  def.items = {{"A", 1, 1, G("奖杯"), picture}, {"B", 1, 1, "", m_root.path("missing.png")}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 6u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  ASSERT_TRUE(screen.IMGet->isVisible());
  const QPixmap shown = screen.IMGet->pixmap();
  ASSERT_FALSE(shown.isNull());
  EXPECT_LE(shown.width(), screen.IMGet->width());
  EXPECT_LE(shown.height(), screen.IMGet->height());
  EXPECT_NEAR(double(shown.width()) / shown.height(), 2.0, 0.05);  // proportions kept
  const int players = SoundPlayersMade();
  Enter(screen.EKeyCtrl);
  Settle();
  // The music is the roll's loop: the module was found beside the program and made a player
  // for the file on the sound thread; its failure reaches nobody.
  ASSERT_TRUE(QTest::qWaitFor([&] { return SoundPlayersMade() > players; }, 5000));
  Enter(screen.EKeyCtrl);                  // on to item B, whose picture does not load
  EXPECT_TRUE(screen.IMGet->isVisible());  // A's picture beside A's winner
  Reveal(screen);
  EXPECT_TRUE(screen.IMGet->isVisible());
  Enter(screen.EKeyCtrl);  // the next key: B, without a picture
  EXPECT_FALSE(screen.IMGet->isVisible());
  EXPECT_TRUE(m_dialogs.messages().empty());
}
