// Marking a revealed winner absent on the data draw screen: by key and by click, with No as
// the question's default, and the winners list afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawSession.h"
#include "core/results/QueryRules.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/results/QueryFrm.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/GrandPrize.h"
#include "gui/stage/RevealCards.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"
#include "gui/ui/ScrollText.h"

using text::G;

namespace {

class AbsentOnStage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
    def.title = G("号码 姓名");
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 11) + " " + G("员工") +
                               std::to_string(i));
    m_ids = BuildTask(m_dm, def);
  }

  static void Key(TGetLuckMainForm& s, Qt::Key key) { QTest::keyClick(s.EKeyCtrl, key); }
  // Enter starts the batch, Enter stops the roll, the landing is over.
  static void Batch(TGetLuckMainForm& s) {
    Key(s, Qt::Key_Return);
    QCoreApplication::processEvents();
    Key(s, Qt::Key_Return);
    s.ShowReveal();
  }
  // The replacement's roll is stopped by Enter and shown.
  static void StopReplacement(TGetLuckMainForm& s) {
    ASSERT_EQ(s.Stage().Phase(), TStagePhase::Replacing);
    ASSERT_EQ(s.Engine().state(), TDataDraw::State::Rolling);
    Key(s, Qt::Key_Return);
    s.ShowReveal();
    ASSERT_NE(s.Stage().Phase(), TStagePhase::Replacing);
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  TDrawSession m_session;
  std::vector<int> m_ids;
};

}  // namespace

TEST_F(AbsentOnStage, TheKeyPathAsksWithNoAsDefaultAndReplacesInPlace) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  Batch(screen);
  ASSERT_EQ(screen.Engine().Session().Winners.size(), 2u);
  EXPECT_TRUE(screen.HintList->text().endsWith(QStringLiteral("缺席按Q")));
  const QString progress = screen.LbShowList->text();

  // Q, ↓ to the batch's second winner, Enter: the question names them; No keeps all.
  const TLuckId second = screen.Engine().Session().Winners[1];
  Key(screen, Qt::Key_Q);
  EXPECT_TRUE(screen.LbShowList->text().startsWith(QStringLiteral("标记缺席")));
  EXPECT_TRUE(screen.LbShowList->text().contains(QStringLiteral("一等奖")));
  Key(screen, Qt::Key_Down);
  EXPECT_TRUE(screen.LbShowList->text().contains(Q(second.CandidateLine.substr(0, 11))));
  m_dialogs.answers = {Answer::No};
  Key(screen, Qt::Key_Return);
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::Question);
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  // The person as the hall may read it: the name, and the id (unmasked in this task).
  EXPECT_EQ(m_dialogs.log[0].text, QStringLiteral("[一等奖]中奖者") +
                                       Q(second.CandidateLine.substr(12)) + QStringLiteral("（") +
                                       Q(second.CandidateLine.substr(0, 11)) +
                                       QStringLiteral("）暂未到场,是否为该奖项抽取一名替补?"));
  EXPECT_TRUE(screen.Engine().Session().Absences.empty());
  EXPECT_EQ(screen.LbShowList->text(), progress);
  EXPECT_EQ(screen.Engine().state(), TDataDraw::State::BetweenBatches);

  // Q, then 2 (the second of this batch) and Yes: a roll of one, stopped by Enter.
  Key(screen, Qt::Key_Q);
  m_dialogs.answers = {Answer::Yes};
  Key(screen, Qt::Key_2);
  ASSERT_EQ(m_dialogs.log.size(), 2u);
  StopReplacement(screen);
  ASSERT_EQ(screen.Engine().Session().Absences.size(), 1u);
  const TAbsentId& a = screen.Engine().Session().Absences[0];
  EXPECT_EQ(a.CandidateLine, second.CandidateLine);
  EXPECT_EQ(screen.Engine().Session().Winners[1].CandidateLine, a.ReplacementLine);
  EXPECT_EQ(screen.LbShowList->text(), progress);  // the draw stands where it stood
  EXPECT_TRUE(screen.SContinue->isVisible());
  // The list: the absent winner marked, the replacement in the place just below.
  const QStringList list = screen.MUser2_1->Lines();
  const int at = list.indexOf(Q(second.CandidateLine) + QStringLiteral(" 缺席"));
  ASSERT_GE(at, 0) << list.join(QLatin1Char('|')).toStdString();
  ASSERT_LT(at + 1, list.size());
  EXPECT_EQ(list[at + 1], Q(a.ReplacementLine));
  EXPECT_TRUE(list.contains(Q(screen.Engine().Session().Winners[0].CandidateLine)));
}

// Q pressed while the batch is still landing shows it at once and opens the choice, on the
// batch just shown.
TEST_F(AbsentOnStage, QDuringTheLandingShowsTheBatchAndOpensTheChoice) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  Key(screen, Qt::Key_Return);
  QCoreApplication::processEvents();
  Key(screen, Qt::Key_Return);
  ASSERT_TRUE(screen.TMLanding->isActive());  // still landing
  Key(screen, Qt::Key_Q);
  EXPECT_FALSE(screen.TMLanding->isActive());
  EXPECT_TRUE(screen.PLuckNow->isVisible());
  EXPECT_EQ(screen.Engine().state(), TDataDraw::State::BetweenBatches);
  EXPECT_TRUE(screen.LbShowList->text().startsWith(QStringLiteral("标记缺席")));
  EXPECT_TRUE(screen.LbShowList->text().contains(
      Q(screen.Engine().Session().Winners[0].CandidateLine.substr(0, 11))));
  // Q again leaves the choice with nothing marked.
  Key(screen, Qt::Key_Q);
  EXPECT_FALSE(screen.LbShowList->text().startsWith(QStringLiteral("标记缺席")));
  EXPECT_TRUE(screen.Engine().Session().Absences.empty());
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(AbsentOnStage, AClickOnTheListAsksForThatWinnerAndTheFinishedDrawIsWrittenAgain) {
  TGetLuckMainForm screen(m_session, nullptr, 47u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  Batch(screen);
  Batch(screen);
  ASSERT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
  // The next key ends the grand prize's moment: the list is in sight again.
  ASSERT_TRUE(screen.PGrand->isVisible());
  Key(screen, Qt::Key_Return);
  EXPECT_FALSE(screen.PGrand->isVisible());
  m_dialogs.log.clear();
  // The first winner of 一等奖 in the list, clicked where it is drawn.
  const TLuckId first = screen.Engine().Session().Winners[0];
  TScrollText* list = screen.MUser2_1;
  ASSERT_TRUE(list->isVisible());
  const int row = static_cast<int>(list->Lines().indexOf(Q(first.CandidateLine)));
  ASSERT_GE(row, 0);
  const double y = (list->Top() + (row + 0.5) * list->LineHeight()) * list->Scale();
  m_dialogs.answers = {Answer::Yes};
  QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(20, static_cast<int>(y)));
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  EXPECT_TRUE(m_dialogs.log[0].text.contains(Q(first.CandidateLine.substr(0, 11))));
  StopReplacement(screen);
  EXPECT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
  // The winner file holds the replacement in the first place; the absent file the absent.
  const std::string title = G("号码 姓名") + "\r\n";
  const TAbsentId& a = screen.Engine().Session().Absences.at(0);
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0]))),
            title + a.ReplacementLine + "\r\n" +
                screen.Engine().Session().Winners[1].CandidateLine + "\r\n");
  EXPECT_EQ(
      ReadAll(paths::NativePath(paths::AbsentFilePath(1001, m_ids[0]))),
      title + first.CandidateLine + " " + G("替补:") + a.ReplacementLine.substr(0, 11) + "\r\n");
  // The summary lists the absent winner under the item's winners, and the hint to mark
  // another stays in sight, clear of the summary.
  screen.ShowSummary();
  const QString summary = screen.MSummary->Lines().join(QLatin1Char('|'));
  const qsizetype caption = summary.indexOf(QStringLiteral("一等奖 2名"));
  const qsizetype replacement = summary.indexOf(Q(a.ReplacementLine));
  const qsizetype marked = summary.indexOf(Q(first.CandidateLine) + QStringLiteral(" 缺席"));
  const qsizetype next = summary.indexOf(QStringLiteral("二等奖 2名"));
  EXPECT_TRUE(caption >= 0 && caption < replacement && replacement < marked && marked < next)
      << summary.toStdString();
  EXPECT_TRUE(screen.HintList->isVisible());
  EXPECT_TRUE(screen.HintList->text().endsWith(QStringLiteral("缺席按Q")));
  EXPECT_FALSE(screen.HintList->geometry().intersects(
      screen.MSummary->geometry().translated(screen.PSummary->pos())));
  EXPECT_TRUE(screen.rect().contains(screen.HintList->geometry()));
  // Esc in the choice leaves the choice, not the screen.
  Key(screen, Qt::Key_Q);
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);
  EXPECT_TRUE(screen.isVisible());
  EXPECT_EQ(m_dialogs.log.size(), 1u);
}

// A click as the pointer gives it: to the window, at the place of the card, routed by Qt to
// whatever stands there.
static void PointerClick(TGetLuckMainForm& s, QPoint at) {
  QWidget* top = s.window();
  const QPoint local = top->mapFromGlobal(s.mapToGlobal(at));
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, local);
  QCoreApplication::processEvents();
}

static QPoint CardCentre(TGetLuckMainForm& s, size_t card) {
  return s.CardsNow->mapTo(&s, s.CardsNow->CardRects().at(card).center());
}

TEST_F(AbsentOnStage, APointerClickOnACardAsksForItsWinnerAndStartsNoBatch) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  Batch(screen);
  ASSERT_EQ(screen.CardsNow->Cards().size(), 2u);
  ASSERT_TRUE(screen.CardsNow->isVisible());
  const QPoint second = CardCentre(screen, 1);
  EXPECT_EQ(QApplication::widgetAt(screen.mapToGlobal(second)), screen.CardsNow);
  m_dialogs.answers = {Answer::No};
  PointerClick(screen, second);
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::Question);
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  EXPECT_EQ(m_dialogs.log[0].text,
            QStringLiteral("[一等奖]中奖者") +
                Q(screen.Engine().Session().Winners[1].CandidateLine.substr(12)) +
                QStringLiteral("（") +
                Q(CandidateId(screen.Engine().Session().Winners[1].CandidateLine)) +
                QStringLiteral("）暂未到场,是否为该奖项抽取一名替补?"));
  EXPECT_EQ(screen.Engine().state(), TDataDraw::State::BetweenBatches);
  EXPECT_EQ(screen.Engine().Session().Winners.size(), 2u);
  EXPECT_FALSE(screen.TMRoll->isActive());

  // Beside the cards, on the band, a click still counts as Enter: the next batch starts.
  const QRect band = screen.PLuckNow->geometry();
  const QPoint beside(band.left() + 6, band.center().y());
  ASSERT_LT(beside.x(),
            screen.CardsNow->mapTo(&screen, screen.CardsNow->CardRects()[0].topLeft()).x());
  PointerClick(screen, beside);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.TMRoll->isActive(); }));
  EXPECT_EQ(screen.Engine().state(), TDataDraw::State::Rolling);
  EXPECT_EQ(m_dialogs.log.size(), 1u);

  // On the finished screen a card asks too.
  Key(screen, Qt::Key_Return);
  screen.ShowReveal();
  ASSERT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
  m_dialogs.log.clear();
  m_dialogs.answers = {Answer::No};
  PointerClick(screen, CardCentre(screen, 0));
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_TRUE(m_dialogs.log[0].text.startsWith(
      QStringLiteral("[二等奖]中奖者") +
      Q(screen.Engine().Session().Winners[2].CandidateLine.substr(12)) + QStringLiteral("（") +
      Q(CandidateId(screen.Engine().Session().Winners[2].CandidateLine))));
  EXPECT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
  EXPECT_FALSE(screen.TMRoll->isActive());
}

TEST_F(AbsentOnStage, TheResultsWindowShowsTheAbsentMarkedUnderTheWinners) {
  const std::string title = G("号码 姓名") + "\r\n";
  WriteAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0])),
           title + "13800000099 " + G("替补甲") + "\r\n13800000011 " + G("员工1") + "\r\n");
  WriteAll(paths::NativePath(paths::AbsentFilePath(1001, m_ids[0])),
           title + "13800000000 " + G("员工0") + " " + G("替补:") + "13800000099\r\n");
  TQueryForm form(m_session);
  ASSERT_EQ(form.SetUpQuery(1001), 1);
  QTableWidget* g = form.SGLuckId;
  // Row 0 holds the heads; two winners, the caption, the absent winner.
  ASSERT_EQ(g->rowCount(), 5);
  EXPECT_EQ(GridCell(g, 1, 0), QStringLiteral("13800000099"));
  EXPECT_EQ(GridCell(g, 3, 0), QStringLiteral("缺席名单："));
  EXPECT_EQ(GridCell(g, 4, 0), QStringLiteral("13800000000"));
  EXPECT_EQ(GridCell(g, 4, 1), QStringLiteral("员工0"));
  EXPECT_EQ(GridCell(g, 4, 2), QStringLiteral("缺席, 替补:13800000099"));
  EXPECT_TRUE(g->item(4, 0)->font().strikeOut());
  EXPECT_EQ(form.LbCount->text(), Q(query::WinnerCountText(2)));
}
