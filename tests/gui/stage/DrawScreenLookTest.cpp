// What the audience sees on the draw screens: texts inside their areas, the roll landing on
// the first winner, the batch at once, the summary, clicker keys and clicks, the pointer,
// the probability screen's win and loss, and the screen the draw opens on.
#include <gtest/gtest.h>

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDB.h"
#include "core/draw/DataDraw.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"
#include "gui/app/MainFrm.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/DrawScreens.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/GetLuckProdFrm.h"
#include "gui/stage/GrandPrize.h"
#include "gui/stage/RevealCards.h"
#include "gui/stage/StagePrompt.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/MessageFrm.h"
#include "gui/ui/ScrollText.h"

using text::G;

namespace {

std::vector<std::string> Phones(int n, const std::string& rest = " p") {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(std::to_string(13900000000LL + i) + rest);
  return out;
}

// Every line of the label's text is as wide as the label at most, and the label lies in
// `area` (screen coordinates of the window).
void ExpectInside(const QLabel* l, const QRect& area) {
  const QFontMetrics fm(l->font());
  for (const QString& line : l->text().split(QLatin1Char('\n')))
    EXPECT_LE(fm.horizontalAdvance(line), l->width()) << line.toStdString();
  EXPECT_TRUE(area.contains(l->geometry()))
      << l->objectName().toStdString() << " at " << l->geometry().x() << "," << l->geometry().y()
      << " " << l->width() << "x" << l->height();
}

class DrawLook : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  void Task(TaskDef def, const std::string& title = {}, int fontSize = 36) {
    if (def.candidates.empty()) def.candidates = Phones(20);
    m_taskId = def.taskId;
    m_ids = BuildTask(m_dm, def);
    if (!title.empty()) {
      std::string err;
      ASSERT_TRUE(
          db::ExecSql(m_dm.ARryPub, "update LuckTask set MainTitle=?, FontSize=? where TaskId=?",
                      {title, db::Value(int64_t{fontSize}), db::Value(int64_t{def.taskId})}, err))
          << err;
    }
  }

  static void Show(QWidget& w, QSize size = {1024, 768}) {
    w.resize(size);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  }

  static void Key(TGetLuckMainForm& s, Qt::Key key = Qt::Key_Return) {
    QTest::keyClick(s.EKeyCtrl, key);
    QCoreApplication::processEvents();  // the selection an Enter scheduled
  }

  static QString RollShown(const TGetLuckMainForm& s) {
    QString t;
    for (const QLabel* l : s.RollLabels)
      if (l->isVisible()) t += l->text();
    return t;
  }

  TempRoot m_root;
  TDrawSession m_session;  // the program's one session, as the main window lends it
  int32_t m_taskId = 0;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  std::vector<int> m_ids;
};

TEST_F(DrawLook, LongTextsStayInTheirAreasAtEverySize) {
  QImage cup(300, 200, QImage::Format_RGB32);
  cup.fill(Qt::yellow);
  const std::string picture = m_root.path("cup.png");
  ASSERT_TRUE(cup.save(QString::fromStdString(picture)));
  TaskDef def;
  def.candidates = Phones(20, G(" 张三丰 研发中心 北京总部暨各地分公司 高级工程师"));
  def.remainText =
      G("请各位来宾保持安静，主持人按下回车键后即开始抽取本轮的幸运观众，祝大家好运连连");
  def.items = {{G("特别贡献奖（年度最佳团队代表及各地分公司员工）"), 2, 1,
                G("华为MateBook X Pro 笔记本电脑一台及配套扩展坞和无线鼠标"), picture},
               {G("二等奖"), 1, 1, ""}};
  // 30 characters at size 72.
  Task(def, G("二〇二六年度集团总部暨各地分公司员工新春联欢晚会幸运大抽奖活动"), 72);
  for (const QSize size : {QSize(1024, 768), QSize(1920, 1080), QSize(1280, 1024)}) {
    // Each size draws afresh rather than continuing the journal of the one before.
    m_dialogs.answers = {Answer::No};
    TGetLuckMainForm screen(m_session, nullptr, 1u);
    ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
    Show(screen, size);
    const QRect whole = screen.rect();
    // The title stops short of the lanterns, the hint short of the buttons.
    const double scale = std::min(size.width() / 1016.0, size.height() / 756.0);
    const int stageLeft = (size.width() - qRound(1016 * scale)) / 2;
    const QRect title(0, 0, stageLeft + qRound(840 * scale), size.height());
    ExpectInside(screen.LbMain, title);
    EXPECT_GE(screen.LbMain->font().pixelSize(), qRound(30 * scale));  // still a title
    // Nothing stands on an edge of the screen; the status line stops short of the buttons.
    const int margin = qRound(12 * scale);
    const QRect inside = whole.adjusted(margin, margin, -margin, -margin);
    ExpectInside(screen.HintList, inside);
    ExpectInside(screen.LGet, inside);
    ExpectInside(screen.LbShowList, QRect(0, 0, screen.SBegin->x(), size.height()));
    Key(screen);
    Key(screen);  // the long progress text
    screen.ShowReveal();
    ExpectInside(screen.LbShowList, QRect(0, 0, screen.SContinue->x(), size.height()));
    EXPECT_FALSE(screen.LbShowList->geometry().intersects(screen.PLuckNow->geometry()));
    // The long winners list and the prize picture each keep their own place, centred as a
    // pair.
    ASSERT_TRUE(screen.PUser2->isVisible());
    ASSERT_TRUE(screen.IMGet->isVisible());
    EXPECT_FALSE(screen.PUser2->geometry().intersects(screen.IMGet->geometry()));
    EXPECT_TRUE(inside.contains(screen.PUser2->geometry()));
    EXPECT_TRUE(inside.contains(screen.IMGet->geometry()));
    const int pairCentre =
        (screen.PUser2->geometry().left() + screen.IMGet->geometry().right()) / 2;
    EXPECT_NEAR(pairCentre, size.width() / 2, 3 * scale);
  }
}

TEST_F(DrawLook, RollLandsOnTheFirstWinnerMaskedThenTheBatchShowsAtOnce) {
  TaskDef def;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.items = {{"A", 3, 3, G("电脑")}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 4242u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  Key(screen);
  for (int i = 0; i < 5; ++i) screen.RollTick();
  Key(screen);  // stop
  ASSERT_EQ(m_session.Winners.size(), 3u);
  const std::string first = m_session.Winners[0].CandidateLine.substr(0, 11);
  // "139" + the four masked digits + the last four.
  EXPECT_EQ(RollShown(screen), QStringLiteral("139XXXX") + QString::fromStdString(first.substr(7)));
  EXPECT_FALSE(screen.PLuckNow->isVisible());
  EXPECT_TRUE(screen.TMLanding->isActive());

  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 3000));
  EXPECT_EQ(RollShown(screen), QString());
  // Three winners on three cards side by side, unmasked, each with its name, all in view.
  const std::vector<TStageCard>& cards = screen.CardsNow->Cards();
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[0].id, QString::fromStdString(first));
  EXPECT_EQ(cards[0].name, QStringLiteral("p"));
  EXPECT_FALSE(screen.TMListNow->isActive());
  const std::vector<QRect> rects = screen.CardsNow->CardRects();
  ASSERT_EQ(rects.size(), 3u);
  for (const QRect& r : rects) EXPECT_TRUE(screen.CardsNow->rect().contains(r));
  EXPECT_LT(rects[0].right(), rects[1].left());
  // The name is at least as large as the id.
  EXPECT_GE(screen.CardsNow->NamePixels(), screen.CardsNow->IdPixels());
  EXPECT_GE(screen.CardsNow->IdPixels(), 20);
}

TEST_F(DrawLook, TheLandingDrawsNoNumber) {
  // The same seed gives the same winners on the screen as in the engine alone, whose
  // roll steps are counted the same.
  TaskDef def;
  def.items = {{"A", 6, 3, ""}};
  def.candidates = Phones(500);
  Task(def);
  std::vector<std::string> alone;
  {
    TRandom rng;
    rng.Randomize(77u);
    TDrawSession session;
    TDataDraw engine(session, rng, 77u);
    ASSERT_TRUE(SetUpDraw(engine));
    for (int batch = 0; batch < 2; ++batch) {
      engine.SelectBatchWinners();
      for (int i = 0; i < 4; ++i) engine.RollStep();
      engine.RevealBatch();
      engine.EndBatch();
    }
    for (const TLuckId& w : engine.Session().Winners) alone.push_back(w.CandidateLine);
  }
  TGetLuckMainForm screen(m_session, nullptr, 77u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  for (int batch = 0; batch < 2; ++batch) {
    Key(screen);
    for (int i = 0; i < 4; ++i) screen.RollTick();
    Key(screen);
    screen.ShowReveal();
  }
  std::vector<std::string> shown;
  for (const TLuckId& w : m_session.Winners) shown.push_back(w.CandidateLine);
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown, alone);
}

TEST_F(DrawLook, TheLastWinnerTakesTheWholeScreenWithTheNameInTheLargestType) {
  TaskDef def;
  def.title = G("工号 姓名 部门 分公司 手机");
  def.items = {{G("一等奖"), 1, 1, G("电脑")}, {G("特等奖"), 1, 1, G("汽车")}};
  for (int i = 0; i < 10; ++i)
    def.candidates.push_back("E" + std::to_string(100000 + i) + G(" 欧阳娜娜 人力资源部 ") +
                             G("华东区上海分公司 ") + std::to_string(13800000000LL + i));
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 3u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  Key(screen);
  Key(screen);
  screen.ShowReveal();
  EXPECT_FALSE(screen.PGrand->isVisible());  // the first prize stands on the band
  Key(screen);
  Key(screen);
  screen.ShowReveal();
  ASSERT_TRUE(screen.PGrand->isVisible());
  EXPECT_EQ(screen.PGrand->geometry(), screen.rect());
  ASSERT_EQ(screen.PGrand->Cards->Cards().size(), 1u);
  EXPECT_EQ(screen.PGrand->Cards->Cards()[0].name, QStringLiteral("欧阳娜娜"));
  // The name above everything: the prize's line, the id, the other fields, and the largest
  // type of the draw screen (the roll, 93 of the design's pixels).
  const int name = screen.PGrand->Cards->NamePixels();
  EXPECT_GT(name, screen.PGrand->TitlePixels());
  EXPECT_GT(name, screen.PGrand->Cards->IdPixels());
  EXPECT_GT(name, screen.PGrand->Cards->RestPixels());
  EXPECT_GT(name, 93 * screen.height() / 756);
  EXPECT_TRUE(screen.Celebration->Running());
  // The fireworks burst beside the cards and the title, never over them.
  for (const QRect& z : screen.PGrand->FreeZones())
    EXPECT_FALSE(screen.PGrand->Written().intersects(z));
  // The next key goes on to the end; the summary ends the moment.
  Key(screen);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PSummary->isVisible(); }, 10000));
  EXPECT_FALSE(screen.PGrand->isVisible());
}

TEST_F(DrawLook, BatchesOfTwentyAndThirtyStandInColumnsAtOneSize) {
  // A five-column HR list on the smallest screen: each winner shows as id and name, every
  // line at once, in two or three columns, in the band and the list's place.
  TaskDef def;
  def.title = G("工号 姓名 部门 分公司 手机");
  def.items = {{G("二等奖"), 20, 20, ""}, {G("三等奖"), 30, 30, ""}};
  for (int i = 0; i < 60; ++i)
    def.candidates.push_back("E" + std::to_string(100000 + i) + G(" 欧阳娜娜 人力资源部 ") +
                             G("华东区上海分公司 ") + std::to_string(13800000000LL + i));
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 9u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  for (int n : {20, 30}) {
    SCOPED_TRACE(n);
    Key(screen);
    Key(screen);
    screen.ShowReveal();
    ASSERT_EQ(screen.MLuckNow->LineCount(), n);
    EXPECT_TRUE(screen.MLuckNow->Lines()[0].endsWith(QStringLiteral("  欧阳娜娜")));
    EXPECT_FALSE(screen.TMListNow->isActive());  // nothing steps: every line is in view
    EXPECT_GE(screen.MLuckNow->Columns(), 2);
    EXPECT_LE(screen.MLuckNow->Columns(), 3);
    // One size for every line, 36 of the design's pixels or more (36 px at 1024 × 768).
    EXPECT_GE(screen.MLuckNow->LineHeight(), 36);
    EXPECT_TRUE(screen.PLuckNow->rect().contains(screen.MLuckNow->geometry()));
    EXPECT_TRUE(screen.rect().contains(screen.PLuckNow->geometry()));
    EXPECT_FALSE(screen.PUser2->isVisible());
    EXPECT_FALSE(screen.HintList->geometry().intersects(screen.PLuckNow->geometry()));
  }
}

TEST_F(DrawLook, BatchTallerThanThePanelCrawlsAndTheFinishedScreenSumsUp) {
  TaskDef def;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.items = {{G("一等奖"), 12, 12, G("电脑")}, {G("二等奖"), 120, 120, ""}};
  def.candidates = Phones(150);
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  Key(screen);
  Key(screen);
  screen.ShowReveal();
  // Twelve whole lines (id and name) in columns, unmasked, all in view.
  ASSERT_EQ(screen.MLuckNow->LineCount(), 12);
  EXPECT_TRUE(screen.MLuckNow->Lines()[0].endsWith(QStringLiteral(" p")));
  EXPECT_FALSE(screen.MLuckNow->Lines()[0].contains(QLatin1Char('X')));
  EXPECT_TRUE(screen.CardsNow->Cards().empty());
  EXPECT_FALSE(screen.TMListNow->isActive());
  EXPECT_GT(screen.MLuckNow->Columns(), 1);
  Key(screen);
  Key(screen);
  EXPECT_TRUE(m_dialogs.messages().empty());  // the end is told with the last reveal
  screen.ShowReveal();
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  // A hundred and twenty do not fit: they move on by whole rows, and the text shows whole
  // rows only.
  EXPECT_TRUE(screen.TMListNow->isActive());
  EXPECT_TRUE(screen.PLuckNow->isVisible());
  const double scale = std::min(screen.width() / 1016.0, screen.height() / 756.0);
  const double rows = screen.MLuckNow->height() / (screen.MLuckNow->LineHeight() * scale);
  EXPECT_NEAR(rows, std::round(rows), 0.05);
  const int top = screen.MLuckNow->Top();
  screen.TMListNowTimer();
  EXPECT_EQ(screen.MLuckNow->Top(), top - screen.MLuckNow->LineHeight());

  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PSummary->isVisible(); }, 8000));
  EXPECT_FALSE(screen.PLuckNow->isVisible());
  const QStringList& lines = screen.MSummary->Lines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], QStringLiteral("一等奖 电脑 12名"));
  EXPECT_TRUE(lines.contains(QStringLiteral("二等奖 120名")));
  // Whole lines, masked: the id and the name.
  EXPECT_TRUE(lines[1].trimmed().startsWith(QStringLiteral("139XXXX0")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral(" p")));
  EXPECT_FALSE(lines.join(QString()).contains(QStringLiteral("1390000")));  // masked
}

TEST_F(DrawLook, FinishBannerLeavesTheWinnersInSightWithTheLastOnesInTheList) {
  TaskDef def;
  def.items = {{"A", 2, 2, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 3u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen, QSize(1280, 720));
  DialogProvider* recorder = SetDialogProvider(nullptr);  // the program's own way of telling
  QRect banner;
  QStringList listAtBanner;
  bool veil = true;
  Key(screen);
  Key(screen);
  screen.ShowReveal();
  // The grand prize's moment first, with nothing over it; the banner after the next key.
  TStagePrompt* p = screen.Prompt();
  EXPECT_TRUE(screen.PGrand->isVisible());
  EXPECT_FALSE(p->IsOpen());
  EXPECT_FALSE(screen.TMSummary->isActive());
  Key(screen);
  EXPECT_FALSE(screen.PGrand->isVisible());
  // The banner is up while the screen goes on: nothing waits in a nested loop.
  ASSERT_TRUE(p->IsOpen());
  EXPECT_EQ(p->LbText->text(), QStringLiteral("所有奖项已经全部抽取完毕"));
  veil = p->CurrentStyle() != TStagePrompt::Style::Banner;
  banner = p->PCard->geometry();
  listAtBanner = screen.MUser2_1->Lines();
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
  EXPECT_FALSE(p->IsOpen());
  SetDialogProvider(recorder);
  EXPECT_FALSE(veil);
  EXPECT_FALSE(banner.isEmpty());
  EXPECT_FALSE(banner.intersects(screen.PLuckNow->geometry()));
  EXPECT_FALSE(banner.intersects(screen.PUser2->geometry()));
  EXPECT_TRUE(screen.rect().contains(banner));
  // Both winners of the last batch are in the list when the banner shows.
  for (const TLuckId& w : m_session.Winners)
    EXPECT_TRUE(listAtBanner.contains(QString::fromStdString(w.CandidateLine)));
  EXPECT_FALSE(screen.Prompt()->IsOpen());
}

TEST_F(DrawLook, ClickerKeysAndAClickOnTheRollActAsEnter) {
  TaskDef def;
  def.items = {{"A", 6, 1, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 8u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  const QPoint roll = screen.PLuckNow->geometry().center();
  // Keys that are not "next" do nothing.
  for (Qt::Key k : {Qt::Key_C, Qt::Key_PageUp, Qt::Key_Left, Qt::Key_A}) Key(screen, k);
  // Nor does a held key repeating.
  QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
  QApplication::sendEvent(screen.EKeyCtrl, &held);
  QCoreApplication::processEvents();
  EXPECT_TRUE(m_session.Winners.empty());

  int batches = 0;
  auto press = [&](const std::function<void()>& act) {
    act();  // ready or between batches: starts a batch
    QCoreApplication::processEvents();
    ++batches;
    EXPECT_EQ(m_session.Winners.size(), static_cast<size_t>(batches));
    EXPECT_FALSE(screen.Stopped());
    act();  // rolling: stops it
    EXPECT_TRUE(screen.Stopped());
  };
  for (Qt::Key k : {Qt::Key_Space, Qt::Key_PageDown, Qt::Key_Right, Qt::Key_Enter})
    press([&] { Key(screen, k); });
  press([&] { QTest::mouseClick(&screen, Qt::LeftButton, {}, roll); });
  // A click over the revealed batch as well.
  press([&] { QTest::mouseClick(screen.PLuckNow, Qt::LeftButton); });
  EXPECT_EQ(batches, 6);
  // A click away from the roll does nothing.
  QTest::mouseClick(&screen, Qt::LeftButton, {}, QPoint(5, screen.height() - 5));
  EXPECT_TRUE(screen.Stopped());

  // The probability screen: the same keys and a click on its stage.
  TaskDef prob;
  prob.taskId = 1002;
  prob.orderBy = 1;
  prob.hideBegin = 10;
  prob.items = {{"A", 3, 1, ""}};
  Task(prob);
  TGetLuckProdForm wheel(m_session, nullptr, 3u);
  ASSERT_EQ(wheel.SetUpDraw(m_taskId), 1);
  Show(wheel);
  for (Qt::Key k : {Qt::Key_Space, Qt::Key_PageDown, Qt::Key_Right}) {
    QTest::keyClick(wheel.EKeyCtrl, k);
    EXPECT_FALSE(wheel.Stopped());
    QTest::keyClick(wheel.EKeyCtrl, k);
    EXPECT_TRUE(wheel.Stopped());
  }
  const QPoint stage = wheel.LLuck->geometry().center();
  QTest::mouseClick(&wheel, Qt::LeftButton, {}, stage);
  EXPECT_FALSE(wheel.Stopped());
  QTest::mouseClick(&wheel, Qt::LeftButton, {}, stage);
  EXPECT_TRUE(wheel.Stopped());
}

TEST_F(DrawLook, PointerHidesWhenStillAndComesBackWhenMoved) {
  TaskDef def;
  def.items = {{"A", 1, 1, ""}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 1u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  EXPECT_EQ(screen.TMPointer->interval(), 2000);
  screen.TMPointer->setInterval(30);
  Show(screen);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PointerHidden(); }, 2000));
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
  QTest::mouseMove(&screen, QPoint(100, 100));
  QTest::mouseMove(&screen, QPoint(120, 110));
  EXPECT_FALSE(screen.PointerHidden());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PointerHidden(); }, 2000));
  screen.SOut->click();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // given back on leaving
}

TEST_F(DrawLook, ProbabilityWinLooksUnlikeALossWhereTheRollWas) {
  QImage cup(300, 200, QImage::Format_RGB32);
  cup.fill(Qt::yellow);
  const std::string picture = m_root.path("cup.png");
  ASSERT_TRUE(cup.save(QString::fromStdString(picture)));
  TaskDef def;
  def.orderBy = 1;
  def.hideBegin = 4;  // numbers 0 and 1 win, 2 and 3 lose
  def.fontColor = "clWhite";
  def.items = {{G("一等奖"), 1, 1, G("电视"), picture}, {G("二等奖"), 1, 1, ""}};
  Task(def);
  TGetLuckProdForm screen(m_session, nullptr, 11u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  // The ladder names every item and its prize.
  EXPECT_TRUE(screen.PLadder->isVisible());
  EXPECT_EQ(screen.MLadder->Lines(),
            QStringList({QStringLiteral("一等奖  电视"), QStringLiteral("二等奖")}));

  bool sawWin = false, sawLoss = false, sawPlainWin = false;
  for (int press = 0; press < 60 && !(sawWin && sawLoss && sawPlainWin); ++press) {
    screen.SBeginClick();
    screen.RollTick();
    const QRect rolled = screen.RollLabel->geometry();
    const int number = screen.Engine().DrawNumber();
    screen.SContinueClick();
    const QColor shown = screen.LLuck->palette().color(QPalette::WindowText);
    if (number >= 2) {
      sawLoss = true;
      EXPECT_EQ(screen.WonItem(), -1);
      EXPECT_EQ(shown, QColor(Qt::white));
      EXPECT_FALSE(screen.IMLuck->isVisible());
      EXPECT_EQ(screen.LLuck->geometry(), rolled);  // the result stands where the roll was
    } else {
      EXPECT_EQ(screen.WonItem(), number);
      EXPECT_EQ(shown, QColor(255, 214, 64));
      EXPECT_GT(screen.LLuck->font().pixelSize(), QFontMetrics(screen.LbShowList->font()).height());
      EXPECT_TRUE(rolled.contains(screen.LLuck->geometry()));
      if (number == 0) {
        sawWin = true;
        ASSERT_TRUE(screen.IMLuck->isVisible());
        EXPECT_FALSE(screen.IMLuck->pixmap().isNull());
        EXPECT_FALSE(screen.IMLuck->geometry().intersects(screen.LLuck->geometry()));
      } else {
        sawPlainWin = true;
        EXPECT_FALSE(screen.IMLuck->isVisible());
      }
    }
  }
  EXPECT_TRUE(sawWin && sawLoss && sawPlainWin);
}

// Run once on the usual single screen and once with two virtual screens (its own test
// entry gives the offscreen platform a two-screen configuration).
TEST(DrawScreenPlacement, OpensBesideTheMainWindowWhenThereAreTwoScreens) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  const QList<QScreen*> screens = QGuiApplication::screens();
  TMainForm w;
  w.SetDrawScreenFactory(MakeDrawScreen);
  w.setGeometry(QRect(screens[0]->geometry().topLeft() + QPoint(20, 20), QSize(800, 600)));
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_EQ(w.screen(), screens[0]);
  QScreen* expected = screens.size() > 1 ? screens[1] : screens[0];
  QRect placed;
  QScreen* on = nullptr;
  QScreen* messageOn = nullptr;
  OnNextModal([&](QWidget* m) {
    placed = m->geometry();
    on = m->screen();
    // The screen's own messages come up over it.
    m->activateWindow();
    (void)QTest::qWaitForWindowActive(m);
    TMessageForm box;
    box.SetMessage(MessageKind::Information, QStringLiteral("所有奖项已经全部抽取完毕"));
    box.show();
    (void)QTest::qWaitForWindowExposed(&box);
    messageOn = box.screen();
    EXPECT_TRUE(m->geometry().contains(box.geometry().center()));
    box.close();
    QTest::keyClick(m, Qt::Key_Escape);
  });
  w.SBtnGetLuckClick();
  EXPECT_EQ(on, expected);
  EXPECT_EQ(placed, expected->geometry());
  EXPECT_EQ(messageOn, expected);
}

}  // namespace

namespace {

// A five-column HR list: long departments and branches, a name of two to four characters.
std::vector<std::string> HrLines(int n) {
  const char* names[] = {"欧阳娜娜", "李雷", "韩梅梅", "司马相如", "王芳", "张伟"};
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i)
    out.push_back("E" + std::to_string(100000 + i) + " " + G(names[i % 6]) +
                  G(" 人力资源部 华东区上海分公司 ") + std::to_string(13800000000LL + i));
  return out;
}

}  // namespace

TEST_F(DrawLook, BatchesOfTenAndTwentyStandWholeInTheMiddleOfTheirPanel) {
  TaskDef def;
  def.title = G("工号 姓名 部门 分公司 手机");
  def.items = {{G("三等奖"), 10, 10, ""}, {G("二等奖"), 20, 20, ""}, {G("一等奖"), 10, 10, ""}};
  def.candidates = HrLines(60);
  for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
    SCOPED_TRACE(size.width());
    ++def.taskId;  // a task of its own per size: none asks about earlier results
    Task(def);
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 9u);
    ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
    Show(screen, size);
    for (int n : {10, 20, 10}) {
      SCOPED_TRACE(n);
      Key(screen);
      Key(screen);
      screen.ShowReveal();
      ASSERT_EQ(screen.MLuckNow->LineCount(), n);
      EXPECT_FALSE(screen.TMListNow->isActive());
      EXPECT_TRUE(screen.PLuckNow->rect().contains(screen.MLuckNow->geometry()));
      // The ink of the block as drawn: its first and last rows of dark pixels.
      const QImage text = screen.MLuckNow->grab().toImage();
      int top = -1, bottom = -1;
      for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
          if (qRed(text.pixel(x, y)) < 200 && qGreen(text.pixel(x, y)) < 120) {
            if (top < 0) top = y;
            bottom = y;
            break;
          }
      ASSERT_GE(top, 0);
      // The last row's characters whole, above the text's edge; as much room above the block
      // as below it (within a tenth of a line).
      const int above = top, below = text.height() - 1 - bottom;
      EXPECT_GE(below, 1);
      EXPECT_LE(std::abs(above - below), screen.MLuckNow->FontPixels() / 10)
          << above << " above, " << below << " below";
    }
  }
}

TEST_F(DrawLook, TheGrandPrizesFiveWinnersStandLargerThanABatchOnTheBand) {
  TaskDef def;
  def.title = G("工号 姓名 部门 分公司 手机");
  def.items = {{G("一等奖"), 3, 3, G("电脑")}, {G("特等奖"), 5, 5, G("汽车")}};
  def.candidates = HrLines(40);
  for (const QSize size : {QSize(1024, 768), QSize(1920, 1080), QSize(3840, 2160)}) {
    SCOPED_TRACE(size.width());
    ++def.taskId;
    Task(def);
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 5u);
    ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
    Show(screen, size);
    Key(screen);
    Key(screen);
    screen.ShowReveal();
    ASSERT_EQ(screen.CardsNow->Cards().size(), 3u);
    const int band = screen.CardsNow->NamePixels();
    if (size.width() == 1024) EXPECT_GE(band, 48);
    Key(screen);
    Key(screen);
    screen.ShowReveal();
    ASSERT_TRUE(screen.PGrand->isVisible());
    const TRevealCards* cards = screen.PGrand->Cards;
    ASSERT_EQ(cards->Cards().size(), 5u);
    for (int i = 0; i < 5; ++i) {
      const TRevealCards::Look& look = cards->LookOf(i);
      EXPECT_GE(look.name, band);
      EXPECT_GT(look.name, look.id);
      EXPECT_LT(look.rest, look.id);
      EXPECT_TRUE(cards->rect().contains(cards->CardRects()[static_cast<size_t>(i)]));
    }
    Key(screen);  // the end
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen.PGrand->isVisible(); }, 5000));
  }
}

TEST_F(DrawLook, TheGrandPrizesFireworksAreSeenAroundItsCards) {
  TaskDef def;
  def.items = {{G("一等奖"), 2, 2, ""}, {G("特等奖"), 1, 1, G("汽车")}};
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 3u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  for (int batch = 0; batch < 2; ++batch) {
    Key(screen);
    Key(screen);
    screen.ShowReveal();
  }
  ASSERT_TRUE(screen.PGrand->isVisible());
  ASSERT_TRUE(screen.Celebration->Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Celebration->Sparks() > 0; }, 2000));
  // What the hall sees differs from the grand screen alone in its free zones: the sparks.
  QImage seen;
  const QImage ground = screen.PGrand->grab().toImage();
  const auto sparksSeen = [&] {
    seen = screen.grab().toImage();
    int sparks = 0;
    for (const QRect& z : screen.PGrand->FreeZones())
      for (int y = z.top(); y <= z.bottom(); y += 2)
        for (int x = z.left(); x <= z.right(); x += 2)
          if (seen.pixel(x, y) != ground.pixel(x, y)) ++sparks;
    return sparks > 20;
  };
  EXPECT_TRUE(QTest::qWaitFor(sparksSeen, 2000));
  // And none over what is written.
  for (const QRect& r : screen.PGrand->Cards->CardRects()) {
    const QRect at = r.translated(screen.PGrand->Cards->pos());
    EXPECT_EQ(seen.copy(at), ground.copy(at));
  }
}

TEST_F(DrawLook, TheLandingDrawsTheCardsAheadBetweenItsFrames) {
  TaskDef def;
  def.title = G("工号 姓名 部门 分公司 手机");
  def.items = {{G("一等奖"), 3, 3, ""}, {G("特等奖"), 2, 2, G("汽车")}};
  def.candidates = HrLines(30);
  Task(def);
  TGetLuckMainForm screen(m_session, nullptr, 8u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  Show(screen);
  for (TRevealCards* cards : {screen.CardsNow, screen.PGrand->Cards}) {
    Key(screen);
    Key(screen);  // stop: the roll rests on the first winner
    ASSERT_TRUE(screen.TMLanding->isActive());
    // Nothing drawn in the key's own handler: the frames go on.
    EXPECT_FALSE(cards->Prepared());
    ASSERT_TRUE(QTest::qWaitFor([&] { return cards->Prepared(); }, 5000));
    EXPECT_TRUE(screen.TMLanding->isActive() || cards->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return cards->isVisible(); }, 5000));
    EXPECT_TRUE(cards->DrawnAhead());
  }
}

TEST_F(DrawLook, TheAbsentQuestionKeepsItsWordsWhole) {
  TaskDef def;
  // Phone numbers as ids: the question's first clause is longer than its card's line.
  def.title = G("手机号码 姓名 部门");
  def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
  def.candidates = Phones(20, G(" 欧阳娜娜 人力资源部"));
  DialogProvider* recorder = SetDialogProvider(nullptr);  // asked on the stage itself
  for (const QSize size : {QSize(1920, 1080), QSize(1024, 768), QSize(3840, 2160)}) {
    SCOPED_TRACE(size.width());
    ++def.taskId;
    Task(def);
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 6u);
    ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
    Show(screen, size);
    Key(screen);
    Key(screen);
    screen.ShowReveal();
    Key(screen, Qt::Key_Q);
    Key(screen, Qt::Key_Return);
    TStagePrompt* p = screen.Prompt();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p->IsOpen(); }, 3000));
    const QStringList lines = p->LbText->text().split(QLatin1Char('\n'));
    const QFontMetrics fm(p->LbText->font());
    bool whole = false;
    for (const QString& l : lines) {
      EXPECT_LE(fm.horizontalAdvance(l), p->LbText->width()) << l.toStdString();
      for (const QString& part :
           {QStringLiteral("暂"), QStringLiteral("暂未"), QStringLiteral("暂未到")})
        EXPECT_FALSE(l.endsWith(part)) << l.toStdString();
      whole = whole || l.contains(QStringLiteral("暂未到场"));
    }
    EXPECT_TRUE(whole) << p->LbText->text().toStdString();
    Key(screen, Qt::Key_Escape);
  }
  SetDialogProvider(recorder);
}

TEST(StagePromptLines, AClauseLongerThanALineBreaksWhereNoWordParts) {
  QFont f = UiFont(StageFamily(), 40, true);
  const QFontMetrics fm(f);
  const QString q = QStringLiteral("[一等奖]的中奖者E100013缺席，是否为该奖项抽取一名替补？");
  // Room for thirteen characters: the first clause does not fit a line, the second does.
  const int width = fm.horizontalAdvance(QStringLiteral("一二三四五六七八九十一二三"));
  EXPECT_EQ(TStagePrompt::ClauseLines(q, fm, width),
            QStringLiteral("[一等奖]的中奖者E100013\n缺席，\n是否为该奖项抽取一名替补？"));
  // A run of Chinese with no soft place keeps its last two characters with the mark.
  EXPECT_EQ(TStagePrompt::SoftPieces(QStringLiteral("一二三四五六七八九十一缺席，"), fm, width),
            QStringList({QStringLiteral("一二三四五六七八九十一\n"), QStringLiteral("缺席，")}));
}
