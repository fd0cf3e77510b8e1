// The draw screen and its journal: the questions on opening, the restored screen, and the
// leave question that a habitual Enter answers No.
#include <gtest/gtest.h>

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawTexts.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/RevealCards.h"
#include "gui/stage/StagePrompt.h"
#include "gui/ui/MessageFrm.h"
#include "gui/ui/Qt.h"
#include "gui/ui/ScrollText.h"

using text::G;
namespace fs = std::filesystem;

namespace {

const QString kLeave = QStringLiteral(
    "奖项未全部抽取完毕。已抽出的中奖者都已记录，下次打开本任务时可以继续抽奖。是否现在退出？");
const QString kResults =
    QStringLiteral("该抽奖任务已有中奖结果,重新抽奖后原结果将移至历史记录,是否继续?");

class DrawResume : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 2, G("电脑")}, {G("二等奖"), 2, 2, G("手机")}};
    for (int i = 0; i < 12; ++i)
      def.candidates.push_back(std::to_string(13900000000LL + i * 101) + " p" + std::to_string(i));
    m_ids = BuildTask(m_dm, def);
    m_taskId = 1001;
  }

  static void Enter(QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }
  // One batch: start, let the selection run, stop, and the landing over.
  static void Batch(TGetLuckMainForm& s) {
    Enter(s.EKeyCtrl);
    QCoreApplication::processEvents();
    Enter(s.EKeyCtrl);
    s.ShowReveal();
  }
  static void ShowOn(QWidget& w) {
    w.resize(1024, 768);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  std::vector<QString> Questions() const {
    std::vector<QString> out;
    for (const RecordedDialog& d : m_dialogs.log)
      if (d.type == RecordedDialog::Question) out.push_back(d.text);
    return out;
  }
  // The earlier journal went to the history: the task's journal is the new draw's head
  // alone, with the commitment the screen shows.
  static bool OnlyAFreshHead(const TGetLuckMainForm& s) {
    TJournal j;
    std::string err;
    return ReadJournal(paths::JournalPath(1001), j, err) == JournalRead::Ok && j.Batches.empty() &&
           !j.Started && j.Head.Commit == s.Engine().JournalHead().Commit && !j.Head.Commit.empty();
  }
  std::string WinnerFile(int i) const {
    return ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[static_cast<size_t>(i)])));
  }

  TempRoot m_root;
  TDrawSession m_session;  // the program's one session, as the main window lends it
  int32_t m_taskId = 0;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  std::vector<int> m_ids;
};

}  // namespace

TEST_F(DrawResume, EscThenEnterOnTheRealQuestionKeepsTheDraw) {
  TGetLuckMainForm screen(m_session, nullptr, 77u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  Batch(screen);
  ASSERT_EQ(m_session.Winners.size(), 2u);
  const QString progress = screen.LbShowList->text();

  DialogProvider* recorder = SetDialogProvider(nullptr);  // the real question, on the stage
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);
  // Asked on the stage while it goes on: no nested loop waits for the answer.
  TStagePrompt* q = screen.Prompt();
  ASSERT_TRUE(q->IsOpen());
  EXPECT_EQ(q->Text(), kLeave);
  // The filled button is the default; both name their answer in Chinese.
  EXPECT_TRUE(q->BtnNo->styleSheet().contains(QStringLiteral("176, 24, 32")));
  EXPECT_FALSE(q->BtnYes->styleSheet().contains(QStringLiteral("176, 24, 32")));
  EXPECT_EQ(q->BtnYes->text(), QStringLiteral("是(Y)"));
  EXPECT_EQ(q->BtnNo->text(), QStringLiteral("否(N)"));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);  // the habitual Enter
  EXPECT_FALSE(q->IsOpen());
  EXPECT_TRUE(screen.isVisible());
  // Esc on the question is No as well.
  screen.SOut->click();
  ASSERT_TRUE(q->IsOpen());
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);
  EXPECT_FALSE(q->IsOpen());
  SetDialogProvider(recorder);
  EXPECT_TRUE(screen.isVisible());
  EXPECT_EQ(screen.LbShowList->text(), progress);
  EXPECT_TRUE(screen.SContinue->isVisible());
  EXPECT_EQ(m_session.Winners.size(), 2u);

  // The draw goes on to the end after both.
  Batch(screen);
  Batch(screen);
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("所有奖项已经全部抽取完毕！"));
  EXPECT_FALSE(WinnerFile(1).empty());
}

TEST_F(DrawResume, YesRestoresTheScreenAsItWasAndTheDrawFinishes) {
  QString progress, prize;
  QStringList list;
  std::vector<TStageCard> cards;
  {
    TGetLuckMainForm first(m_session, nullptr, 5150u);
    ASSERT_EQ(first.SetUpDraw(m_taskId), 1);
    ShowOn(first);
    Batch(first);
    Batch(first);  // the first item complete
    progress = first.LbShowList->text();
    prize = first.LGet->text();
    list = first.MUser2_1->Lines();
    cards = first.CardsNow->Cards();
    // Gone without a word, as after a kill.
  }
  EXPECT_EQ(progress, QStringLiteral("[一等奖]已经抽取完毕，请继续抽取[二等奖]，还剩1个奖项"));
  EXPECT_EQ(prize, QStringLiteral("一等奖奖品：电脑"));  // its last batch's own prize

  TGetLuckMainForm screen(m_session, nullptr, 1u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ASSERT_EQ(Questions(), std::vector<QString>{
                             QStringLiteral("上次抽奖尚未完成(已抽出3人),是否继续上次的抽奖?")});
  EXPECT_EQ(m_dialogs.log.back().preferred, Answer::Yes);
  ShowOn(screen);
  EXPECT_EQ(screen.LbShowList->text(), progress);
  EXPECT_EQ(screen.LGet->text(), prize);
  EXPECT_EQ(screen.MUser2_1->Lines(), list);
  EXPECT_TRUE(screen.SContinue->isVisible());
  EXPECT_FALSE(screen.SBegin->isVisible());
  EXPECT_TRUE(screen.PLuckNow->isVisible());
  // The last batch on its card, as the live reveal showed it.
  EXPECT_EQ(screen.MLuckNow->LineCount(), 0);
  ASSERT_EQ(cards.size(), 1u);
  ASSERT_EQ(screen.CardsNow->Cards().size(), 1u);
  EXPECT_EQ(screen.CardsNow->Cards()[0].id, cards[0].id);
  EXPECT_EQ(screen.CardsNow->Cards()[0].name, cards[0].name);
  EXPECT_EQ(screen.CardsNow->Cards()[0].id, Q(CandidateId(m_session.Winners[2].CandidateLine)));
  EXPECT_EQ(m_session.Winners.size(), 3u);

  // Leaving now asks, with No as the default.
  m_dialogs.answers = {Answer::No};
  screen.SOut->click();
  EXPECT_EQ(m_dialogs.log.back().text, kLeave);
  EXPECT_EQ(m_dialogs.log.back().preferred, Answer::No);
  EXPECT_TRUE(screen.isVisible());

  Batch(screen);
  EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("所有奖项已经全部抽取完毕！"));
  const std::string title = "id name\r\n";
  std::string a = title, b = title;
  for (const TLuckId& w : m_session.Winners)
    (w.ItemId == m_ids[0] ? a : b) += w.CandidateLine + "\r\n";
  EXPECT_EQ(m_session.Winners.size(), 5u);
  EXPECT_EQ(WinnerFile(0), a);
  EXPECT_EQ(WinnerFile(1), b);
}

TEST_F(DrawResume, NoSetsTheJournalAsideAndAnotherDrawAsksBeforeReplacingResults) {
  {
    TGetLuckMainForm first(m_session, nullptr, 8u);
    ASSERT_EQ(first.SetUpDraw(m_taskId), 1);
    ShowOn(first);
    Batch(first);
  }
  m_dialogs.answers = {Answer::No};
  {
    TGetLuckMainForm screen(m_session, nullptr, 9u);
    ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
    EXPECT_EQ(screen.LbShowList->text(), QStringLiteral("请点击[开始]抽取一等奖"));
    EXPECT_TRUE(m_session.Winners.empty());
    EXPECT_TRUE(OnlyAFreshHead(screen));
    ShowOn(screen);
    for (int i = 0; i < 3; ++i) Batch(screen);
    EXPECT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
  }
  const std::string firstResult = WinnerFile(0);

  // Results exist: a new draw asks; No (or closing) opens nothing.
  m_dialogs.log.clear();
  m_dialogs.answers = {Answer::No};
  {
    TGetLuckMainForm screen(m_session, nullptr, 10u);
    EXPECT_EQ(screen.SetUpDraw(m_taskId), 0);
  }
  ASSERT_EQ(Questions(), std::vector<QString>{kResults});
  // A habitual Enter keeps the finished result.
  EXPECT_EQ(m_dialogs.log.back().preferred, Answer::No);
  m_dialogs.answers = {Answer::Yes};
  TGetLuckMainForm screen(m_session, nullptr, 11u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  ShowOn(screen);
  for (int i = 0; i < 3; ++i) Batch(screen);
  // The earlier result is in the history beside the journal set aside before it.
  int kept = 0;
  for (auto& folder : fs::directory_iterator(m_root.dir() / "LUCK_FILE/history")) {
    if (fs::exists(folder.path() / ("1001_" + std::to_string(m_ids[0]) + ".txt"))) {
      EXPECT_EQ(ReadAll(folder.path() / ("1001_" + std::to_string(m_ids[0]) + ".txt")),
                firstResult);
      ++kept;
    }
  }
  EXPECT_EQ(kept, 1);
}

TEST_F(DrawResume, AJournalOfOtherItemsIsToldAndSetAside) {
  {
    TGetLuckMainForm first(m_session, nullptr, 8u);
    ASSERT_EQ(first.SetUpDraw(m_taskId), 1);
    ShowOn(first);
    Batch(first);
  }
  std::string err;
  ASSERT_TRUE(
      db::ExecSql(m_dm.ARryPub, "update TaskItem set ListCount=1 where ItemId=2002", {}, err));
  TGetLuckMainForm screen(m_session, nullptr, 9u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  EXPECT_TRUE(Questions().empty());
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Attention);
  EXPECT_EQ(m_dialogs.messages()[0].second,
            QString::fromStdString(text::GbkToUtf8(drawtext::PendingMismatch())));
  EXPECT_TRUE(OnlyAFreshHead(screen));
  EXPECT_TRUE(m_session.Winners.empty());
}
