// The winner's moment on the draw screen: nothing changes before the reveal, everything the
// program says comes up on the screen itself, the winners' photos, and the celebration.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/draw/DrawSession.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/RevealCards.h"
#include "gui/stage/StagePrompt.h"
#include "gui/ui/ScrollText.h"

using text::G;

namespace {

std::vector<std::string> People(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i)
    out.push_back(std::to_string(13900000000LL + i) + G(" 员工") + std::to_string(i) +
                  G(" 研发部"));
  return out;
}

// Notes every top-level window that shows while it watches, other than `screen`.
class WindowWatch : public QObject {
 public:
  explicit WindowWatch(QWidget* screen) : m_screen(screen) { qApp->installEventFilter(this); }
  ~WindowWatch() override { qApp->removeEventFilter(this); }
  QStringList shown;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    auto* w = qobject_cast<QWidget*>(o);
    if (e->type() == QEvent::Show && w && w->isWindow() && w != m_screen)
      shown << QString::fromLatin1(w->metaObject()->className());
    return false;
  }

 private:
  QWidget* m_screen;
};

class DrawStage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  std::vector<int> Task(TaskDef def) {
    if (def.candidates.empty()) def.candidates = People(10);
    m_taskId = def.taskId;
    return BuildTask(m_dm, def);
  }
  static void Show(QWidget& w) {
    w.resize(1280, 720);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  static void Enter(TGetLuckMainForm& s) {
    QTest::keyClick(s.EKeyCtrl, Qt::Key_Return);
    QCoreApplication::processEvents();  // the selection an Enter scheduled
  }
  // Answers the stage's next prompt with a key once it is up, from the event loop.
  static void AnswerWith(TGetLuckMainForm& s, Qt::Key key, QString* text = nullptr,
                         bool* shown = nullptr) {
    auto* poll = new QTimer(&s);
    poll->setObjectName(QStringLiteral("answerPoll"));
    QObject::connect(poll, &QTimer::timeout, &s, [&s, key, text, shown, poll] {
      if (!s.Prompt()->IsOpen()) return;
      poll->deleteLater();
      poll->stop();
      if (text) *text = s.Prompt()->Text();
      if (shown) *shown = s.isVisible();
      QTest::keyClick(s.EKeyCtrl, key);
    });
    poll->start(5);
  }
  // The prompts are answered from the event loop: waits until the planned answer is given.
  static void Settle(TGetLuckMainForm& s) {
    EXPECT_TRUE(QTest::qWaitFor([&] {
      return !s.Prompt()->IsOpen() && !s.findChild<QTimer*>(QStringLiteral("answerPoll"));
    }));
  }

  TempRoot m_root;
  TDrawSession m_session;
  int32_t m_taskId = 0;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(DrawStage, TextsListAndPrizeChangeAtTheRevealNotWhenTheRollStops) {
  QImage cup(100, 80, QImage::Format_RGB32);
  cup.fill(Qt::yellow);
  const std::string picture = m_root.path("cup.png");
  ASSERT_TRUE(cup.save(QString::fromStdString(picture)));
  TaskDef def;
  def.items = {{G("一等奖"), 2, 2, G("电脑"), picture}, {G("二等奖"), 2, 2, G("手机")}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  // Before the first batch the band says what comes.
  EXPECT_TRUE(screen.LbNextItem->isVisible());
  EXPECT_EQ(screen.LbNextItem->text(), QStringLiteral("一等奖"));
  EXPECT_EQ(screen.LbNextGift->text(), QStringLiteral("共2名　奖品：电脑"));

  Enter(screen);  // the first item's two winners roll
  EXPECT_FALSE(screen.LbNextItem->isVisible());
  const QStringList before = screen.MUser2_1->Lines();
  EXPECT_TRUE(before.isEmpty());
  Enter(screen);  // stop: the roll rests on the first winner
  ASSERT_TRUE(screen.TMLanding->isActive());
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请按回车键抽取中奖号码"));
  EXPECT_EQ(screen.LGet->text(), QStringLiteral("一等奖奖品：电脑"));
  EXPECT_TRUE(screen.IMGet->isVisible());
  EXPECT_EQ(screen.MUser2_1->Lines(), before);
  EXPECT_FALSE(screen.PLuckNow->isVisible());

  // The landing's end: everything moves on together.
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 3000));
  EXPECT_EQ(screen.LbShowList->text(),
            QStringLiteral("[一等奖]已经抽取完毕，请继续抽取[二等奖]，还剩1个奖项"));
  // The batch that completed 一等奖 stands beside its own prize and picture.
  EXPECT_EQ(screen.LGet->text(), QStringLiteral("一等奖奖品：电脑"));
  EXPECT_TRUE(screen.IMGet->isVisible());
  const QStringList after = screen.MUser2_1->Lines();
  ASSERT_EQ(after.size(), 3);  // the caption and both winners, no blank line before them
  EXPECT_EQ(after[0], QStringLiteral("一等奖："));
  EXPECT_EQ(after[1], QString::fromStdString(text::GbkToUtf8(m_session.Winners[0].CandidateLine)));

  // The list stays in sight while the next batch rolls, without that batch; the prize line
  // moved on with the key.
  Enter(screen);
  EXPECT_EQ(screen.LGet->text(), QStringLiteral("二等奖奖品：手机"));
  EXPECT_FALSE(screen.IMGet->isVisible());
  EXPECT_FALSE(screen.Stopped());
  EXPECT_TRUE(screen.PUser2->isVisible());
  EXPECT_EQ(screen.MUser2_1->Lines(), after);
  // A key during the landing shows the batch at once: it is never kept waiting.
  Enter(screen);
  EXPECT_TRUE(screen.TMLanding->isActive());
  EXPECT_EQ(screen.MUser2_1->Lines(), after);
  Enter(screen);
  EXPECT_EQ(screen.MUser2_1->Lines().size(), 7);  // a blank line and the second caption
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("所有奖项已经全部抽取完毕！"));
}

TEST_F(DrawStage, AWinnersListThatFitsStandsStillALongOneMovesByWholeLines) {
  TaskDef def;
  def.items = {{"A", 3, 1, ""}, {"B", 6, 6, ""}};
  def.candidates = People(20);
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  Enter(screen);
  Enter(screen);
  screen.ShowReveal();
  ASSERT_EQ(screen.MUser2_1->LineCount(), 2);
  const int top = screen.MUser2_1->Top();
  for (int i = 0; i < 3; ++i) screen.TMListTimer();
  EXPECT_EQ(screen.MUser2_1->Top(), top);  // it fits: it stays
  Enter(screen);
  Enter(screen);
  screen.ShowReveal();
  Enter(screen);
  Enter(screen);
  screen.ShowReveal();
  Enter(screen);
  Enter(screen);
  screen.ShowReveal();
  // A, three winners, a blank line, B and six winners: 12 lines, more than the panel shows.
  ASSERT_EQ(screen.MUser2_1->LineCount(), 12);
  const int line = screen.MUser2_1->LineHeight();
  const int newest = screen.MUser2_1->Top();
  EXPECT_LT(newest, 0);  // the newest winners in view
  EXPECT_EQ(newest % line, 0);
  screen.TMListTimer();  // after the last line, back to the first
  EXPECT_EQ(screen.MUser2_1->Top(), 0);
  screen.TMListTimer();
  EXPECT_EQ(screen.MUser2_1->Top(), -line);
  // The text shows whole lines only.
  const double rows = screen.MUser2_1->height() / (line * (720 / 756.0));
  EXPECT_NEAR(rows, std::round(rows), 0.1);
}

TEST_F(DrawStage, NoDesktopWindowOpensWhileTheScreenIsShown) {
  TaskDef def;
  def.items = {{G("一等奖"), 4, 4, ""}, {G("二等奖"), 1, 1, ""}};
  def.candidates = People(5);
  const std::vector<int> ids = Task(def);
  WritePresets(1001, ids[1], {def.candidates[4], def.candidates[3]});
  DialogProvider* recorder = SetDialogProvider(nullptr);  // the program's own windows
  {
    TGetLuckMainForm screen(m_session, nullptr, 2u);
    ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
    Show(screen);
    WindowWatch watch(&screen);
    // The first item runs out of candidates: told on the stage once the batch is in sight.
    Enter(screen);
    Enter(screen);
    QString told;
    AnswerWith(screen, Qt::Key_Return, &told);
    screen.ShowReveal();
    Settle(screen);
    EXPECT_EQ(told, QStringLiteral("[一等奖]可抽取的号码已不足，无法继续抽取"));
    // The leave question: Esc on it is No, and N is No.
    QString asked;
    AnswerWith(screen, Qt::Key_Escape, &asked);
    QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);
    Settle(screen);
    EXPECT_EQ(asked, QStringLiteral("奖项未全部抽取完毕。已抽出的中奖者都已记录，下次打开本任务时可"
                                    "以继续抽奖。是否现在退出？"));
    EXPECT_TRUE(screen.isVisible());
    AnswerWith(screen, Qt::Key_N);
    screen.SOut->click();
    Settle(screen);
    EXPECT_TRUE(screen.isVisible());
    // Keys while a question waits answer it and do not start a batch.
    EXPECT_EQ(m_session.Winners.size(), 3u);
    // The last item, to the end: the grand prize's moment, and after the next key the
    // finish banner.
    Enter(screen);
    Enter(screen);
    screen.ShowReveal();
    EXPECT_FALSE(screen.Prompt()->IsOpen());
    AnswerWith(screen, Qt::Key_Space, &told);
    Enter(screen);
    Settle(screen);
    EXPECT_EQ(told, QStringLiteral("所有奖项已经全部抽取完毕"));
    EXPECT_TRUE(watch.shown.isEmpty()) << watch.shown.join(QLatin1Char(' ')).toStdString();
  }
  {
    // Opening the task again asks about its results on the screen itself, shown already.
    TGetLuckMainForm screen(m_session, nullptr, 3u);
    WindowWatch watch(&screen);
    bool shownWhenAsked = false;
    QString asked;
    AnswerWith(screen, Qt::Key_Y, &asked, &shownWhenAsked);
    EXPECT_EQ(screen.SetUpDraw(m_taskId), 1);
    Settle(screen);
    EXPECT_EQ(asked,
              QStringLiteral("该抽奖任务已有中奖结果，重新抽奖后原结果将移至历史记录，是否继续？"));
    EXPECT_TRUE(shownWhenAsked);
    EXPECT_TRUE(watch.shown.isEmpty()) << watch.shown.join(QLatin1Char(' ')).toStdString();
  }
  SetDialogProvider(recorder);
}

TEST_F(DrawStage, CardsShowThePhotosThatAreThereAndNoFrameForTheOthers) {
  TaskDef def;
  def.items = {{"A", 3, 3, ""}};
  def.candidates = People(3);
  Task(def);
  // Photos for the first and the third candidate only.
  const QString dir = QString::fromStdString(paths::U8(paths::NativePath(photos::PhotoDir(1001))));
  ASSERT_TRUE(QDir().mkpath(dir));
  QImage face(60, 80, QImage::Format_RGB32);
  face.fill(Qt::blue);
  ASSERT_TRUE(face.save(dir + QStringLiteral("/13900000000.jpg")));
  ASSERT_TRUE(face.save(dir + QStringLiteral("/13900000002.jpg")));
  TGetLuckMainForm screen(m_session, nullptr, 7u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  Enter(screen);
  Enter(screen);
  screen.ShowReveal();
  const std::vector<TStageCard>& cards = screen.CardsNow->Cards();
  ASSERT_EQ(cards.size(), 3u);
  for (const TStageCard& c : cards) {
    const bool hasPhoto = c.id != QStringLiteral("13900000001");
    EXPECT_EQ(!c.photo.isNull(), hasPhoto) << c.id.toStdString();
    EXPECT_EQ(c.rest, QStringLiteral("研发部"));
    EXPECT_TRUE(c.name.startsWith(QStringLiteral("员工")));
  }
  // The card with a photo shows it: its pixels are blue somewhere.
  const QImage shot = screen.CardsNow->grab().toImage();
  bool blue = false;
  for (int x = 0; x < shot.width() && !blue; x += 2)
    for (int y = 0; y < shot.height() && !blue; y += 2)
      blue = shot.pixelColor(x, y).blue() > 200 && shot.pixelColor(x, y).red() < 60 &&
             shot.pixelColor(x, y).green() < 60;
  EXPECT_TRUE(blue);
}

TEST_F(DrawStage, OneWinnerAndTheGrandPrizeAreCelebratedWithoutHoldingTheNextKey) {
  TaskDef def;
  def.items = {{G("三等奖"), 3, 3, ""}, {G("一等奖"), 2, 2, ""}, {G("特等奖"), 2, 1, ""}};
  def.candidates = People(20);
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 11u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  auto batch = [&] {
    Enter(screen);
    Enter(screen);
    screen.ShowReveal();
    return screen.Celebration->Running();
  };
  EXPECT_FALSE(batch());  // three of an early item
  EXPECT_FALSE(batch());  // two
  EXPECT_TRUE(batch());   // one winner of the last item
  // Sparks fly, and none is painted over the card.
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Celebration->Sparks() > 0; }, 2000));
  // The next key starts the next batch at once, ending the fireworks.
  Enter(screen);
  EXPECT_FALSE(screen.Stopped());
  EXPECT_FALSE(screen.Celebration->Running());
  Enter(screen);
  screen.ShowReveal();
  EXPECT_TRUE(screen.Celebration->Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !screen.Celebration->Running(); }, 6000));
}

TEST_F(DrawStage, AnIdThatIsANameStandsLargestOnItsCard) {
  TaskDef def;
  def.idType = 1;
  def.items = {{"A", 2, 2, ""}};
  def.candidates = {G("张三丰 研发部 北京"), G("黄药师 市场部 上海")};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 3u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  Enter(screen);
  Enter(screen);
  screen.ShowReveal();
  const std::vector<TStageCard>& cards = screen.CardsNow->Cards();
  ASSERT_EQ(cards.size(), 2u);
  for (const TStageCard& c : cards) {
    EXPECT_TRUE(c.id.isEmpty());
    EXPECT_TRUE(c.name == QStringLiteral("张三丰") || c.name == QStringLiteral("黄药师"));
    EXPECT_TRUE(c.rest == QStringLiteral("研发部 北京") || c.rest == QStringLiteral("市场部 上海"));
  }
  EXPECT_GT(screen.CardsNow->NamePixels(), 20);
}

TEST_F(DrawStage, TheBandStatesTheItemsRulesAndSetUpTellsWhatTheyLeaveShort) {
  TaskDef def;
  def.items = {{G("一等奖"), 2, 2, G("电脑")}, {G("二等奖"), 5, 5, ""}};
  def.title = G("号码 姓名 部门 分公司");
  for (int i = 0; i < 10; ++i)
    def.candidates.push_back(std::to_string(13900000000LL + i) + G(" 员工") + std::to_string(i) +
                             (i % 2 ? G(" 研发部") : G(" 销售部")) +
                             (i % 3 ? G(" 北京") : G(" 总部")));
  const std::vector<int> ids = Task(def);
  TTaskRules rules;
  std::string err;
  ASSERT_TRUE(
      ParseRules(G("ITEM\t" + std::to_string(ids[0]) + "\tNONEOF\t分公司\t总部\nITEMQUOTA\t" +
                   std::to_string(ids[0]) + "\t部门\t2\nITEM\t" + std::to_string(ids[1]) +
                   "\tONEOF\t分公司\t总部\n"),
                 rules, err));
  ASSERT_TRUE(config::SaveTaskRules(m_dm, m_taskId, rules, err)) << err;
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  EXPECT_EQ(screen.LbNextGift->text(),
            QStringLiteral("共2名　奖品：电脑　仅限：分公司不是总部　每部门最多2名"));
  // The prize line keeps them in sight for every batch of the item.
  EXPECT_EQ(screen.LGet->text(),
            QStringLiteral("一等奖奖品：电脑　仅限：分公司不是总部　每部门最多2名"));
  // Four candidates work at 总部; the second item wants five.
  const auto messages = m_dialogs.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(
      messages[0].second,
      QStringLiteral("奖项[二等奖]符合条件的只有4人，少于中奖个数5，抽完这些人后该奖项即结束"));
}
