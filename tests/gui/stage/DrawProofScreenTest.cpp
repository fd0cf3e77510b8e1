// The checkable draw on real windows: the proof line and the audience's number on the Ready
// screen, journals that need no question, and the audit export that tombolix-verify passes.
#include <gtest/gtest.h>

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "DrawToTheEnd.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawJournal.h"
#include "core/import/Zip.h"
#include "core/records/ExampleTasks.h"
#include "core/records/ListTree.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/verify/DrawVerify.h"
#include "gui/app/MainFrm.h"
#include "gui/results/QueryFrm.h"
#include "gui/stage/DrawScreens.h"
#include "gui/stage/GetLuckMainFrm.h"

using text::G;
namespace fs = std::filesystem;

namespace {

class DrawProofScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 2, 1, ""}, {G("二等奖"), 2, 2, ""}};
    for (int i = 0; i < 20; ++i)
      def.candidates.push_back(std::to_string(13500000000LL + i * 7) + " q" + std::to_string(i));
    m_ids = BuildTask(m_dm, def);
  }
  static void ShowOn(QWidget& w) {
    w.resize(1024, 768);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  static void Key(TGetLuckMainForm& s, Qt::Key k) { QTest::keyClick(s.EKeyCtrl, k); }
  // Start, let the selection run, stop.
  static void Batch(TGetLuckMainForm& s) {
    Key(s, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.Engine().state() == TDataDraw::State::Rolling; }));
    Key(s, Qt::Key_Return);
  }
  static TJournal Journal(const std::string& path) {
    TJournal j;
    std::string err;
    ReadJournal(path, j, err);
    return j;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  TDrawSession m_session;
  DialogRecorder m_dialogs;
  std::vector<int> m_ids;
};

}  // namespace

TEST_F(DrawProofScreen, TheReadyScreenShowsTheProofAndTakesTheHallsNumber) {
  TGetLuckMainForm screen(m_session, nullptr, 3u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  ShowOn(screen);
  // The commitment is on disk before it is on the screen.
  const TJournal head = Journal(paths::JournalPath(1001));
  ASSERT_FALSE(head.Head.Commit.empty());
  EXPECT_TRUE(screen.LbProof->isVisible());
  EXPECT_EQ(screen.LbProof->text(),
            QStringLiteral("抽奖凭证  名单 ") +
                QString::fromStdString(head.Head.DataHash.substr(0, 12)) +
                QStringLiteral("  20人  根值 ") +
                QString::fromStdString(listtree::TListTree(screen.Engine().Session().CandidateLines)
                                           .RootHex()
                                           .substr(0, 8)) +
                QStringLiteral("  承诺 ") + QString::fromStdString(head.Head.Commit.substr(0, 16)) +
                QStringLiteral("  本任务第1次开启"));
  EXPECT_EQ(screen.LbAudience->text(), QStringLiteral("现场号码（可选）：输入数字后按回车开始"));
  Key(screen, Qt::Key_4);
  Key(screen, Qt::Key_7);
  Key(screen, Qt::Key_Backspace);
  Key(screen, Qt::Key_1);
  Key(screen, Qt::Key_A);  // not a digit: nothing
  EXPECT_EQ(screen.LbAudience->text(), QStringLiteral("现场号码：41    按回车开始"));
  EXPECT_EQ(screen.Engine().AudienceNumber(), "41");
  Batch(screen);
  EXPECT_FALSE(screen.LbProof->isVisible());
  EXPECT_FALSE(screen.LbAudience->isVisible());
  Key(screen, Qt::Key_9);  // too late: the seed is fixed
  EXPECT_EQ(screen.Engine().AudienceNumber(), "41");
  const TJournal j = Journal(paths::JournalPath(1001));
  EXPECT_EQ(j.Head.Commit, head.Head.Commit);
  EXPECT_EQ(j.Start.Audience, "41");
  ASSERT_EQ(j.Batches.size(), 1u);
  for (int i = 0; i < 2; ++i) Batch(screen);
  ASSERT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
  const TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  EXPECT_TRUE(r.Passed);
  EXPECT_EQ(r.Lines.size(), 1u + 3u + 1u);
}

TEST_F(DrawProofScreen, EnterAloneStartsTheDrawAsAlways) {
  TGetLuckMainForm screen(m_session, nullptr, 4u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  ShowOn(screen);
  Batch(screen);
  EXPECT_EQ(m_session.Winners.size(), 1u);
  EXPECT_EQ(Journal(paths::JournalPath(1001)).Start.Audience, "");
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(DrawProofScreen, FinishedAndDamagedJournalsAskNothing) {
  {
    TGetLuckMainForm first(m_session, nullptr, 5u);
    ASSERT_EQ(first.SetUpDraw(1001), 1);
    ShowOn(first);
    for (int i = 0; i < 3; ++i) Batch(first);
    ASSERT_TRUE((first.Engine().state() == TDataDraw::State::Finished));
  }
  // Killed after the winner files, before the journal's rename.
  std::error_code ec;
  fs::remove(paths::NativePath(paths::WinnerFilePath(1001, m_ids[1])), ec);
  fs::rename(paths::NativePath(paths::FinishedJournalPath(1001)),
             paths::NativePath(paths::JournalPath(1001)), ec);
  ASSERT_FALSE(ec);
  m_dialogs.log.clear();
  {
    TGetLuckMainForm screen(m_session, nullptr, 6u);
    ASSERT_EQ(screen.SetUpDraw(1001), 1);
    ASSERT_EQ(m_dialogs.log.size(), 1u);
    EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::Message);
    EXPECT_EQ(m_dialogs.log[0].text, QStringLiteral("所有奖项已经全部抽取完毕"));
    EXPECT_TRUE((screen.Engine().state() == TDataDraw::State::Finished));
    EXPECT_FALSE(screen.LbProof->isVisible());
  }
  EXPECT_TRUE(VerifyDrawFolder(paths::DataRoot(), 1001).Passed);

  // A new draw, two batches, then one byte of its first batch record flipped.
  m_dialogs.answers = {Answer::Yes};  // its results go to the history
  {
    TGetLuckMainForm screen(m_session, nullptr, 7u);
    ASSERT_EQ(screen.SetUpDraw(1001), 1);
    ShowOn(screen);
    for (int i = 0; i < 2; ++i) Batch(screen);
  }
  std::string text = ReadAll(paths::NativePath(paths::JournalPath(1001)));
  text[text.find("winners=", text.find("BATCH")) + 8] ^= 1;
  WriteAll(paths::NativePath(paths::JournalPath(1001)), text);
  m_dialogs.log.clear();
  m_dialogs.answers = {Answer::Yes};
  TGetLuckMainForm screen(m_session, nullptr, 8u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  ASSERT_GE(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::Message);
  EXPECT_EQ(m_dialogs.log[0].kind, MessageKind::Attention);
  EXPECT_EQ(
      m_dialogs.log[0].text,
      QStringLiteral("上次未完成的抽奖记录已损坏,无法准确继续,已移至历史记录,将重新开始抽奖"));
  EXPECT_TRUE(m_session.Winners.empty());
  EXPECT_TRUE(Journal(paths::JournalPath(1001)).Batches.empty());
}

TEST(DrawProofExample, TheAuditBundleAndTheWorkbookOfTheExampleDraw) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  DialogRecorder dialogs;
  TMainForm main;
  main.SetDrawScreenFactory(MakeDrawScreen);
  main.SetQueryScreenFactory(MakeQueryScreen);
  DrawToTheEndFromMain(main, [](TGetLuckMainForm& screen) {
    QTest::keyClicks(screen.EKeyCtrl, QStringLiteral("2026"));
  });

  const QString zip = QString::fromStdString(root.path("audit.zip"));
  const QString xlsx = QString::fromStdString(root.path("winners.xlsx"));
  dialogs.files = {zip, xlsx};
  bool enabled = false;
  OnNextModal([&](QWidget* m) {
    auto* form = qobject_cast<TQueryForm*>(m);
    ASSERT_NE(form, nullptr);
    enabled = form->BtnAudit->isEnabled();
    form->BtnAudit->click();
    form->BitBtn2->click();
    form->BtnCloseBase->click();
  });
  main.SBtnQueryClick();
  EXPECT_TRUE(enabled);
  const auto messages = dialogs.messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[messages.size() - 2],
            std::make_pair(MessageKind::Information, QStringLiteral("已经成功导出审计包：") + zip));
  // The save dialog names what it saves and proposes the task's dated package.
  const auto audit =
      std::find_if(dialogs.log.begin(), dialogs.log.end(),
                   [](const RecordedDialog& d) { return d.type == RecordedDialog::SaveFile; });
  ASSERT_NE(audit, dialogs.log.end());
  EXPECT_EQ(audit->text, QStringLiteral("导出审计包"));
  EXPECT_EQ(audit->filter, QStringLiteral("审计包 (*.zip)"));
  const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
  EXPECT_TRUE(
      audit->initialName.endsWith(QStringLiteral("_审计包_") + today + QStringLiteral(".zip")));
  EXPECT_FALSE(audit->initialName.startsWith(QLatin1Char('_')));
  const TVerifyResult r = VerifyAuditBundle(root.path("audit.zip"));
  EXPECT_TRUE(r.Passed);
  EXPECT_NE(r.Lines[0].find(G("现场号码2026")), std::string::npos);
  // The workbook: the prize items' sheets, then 抽奖凭证 with the same report.
  sheet::ZipArchive book;
  std::string err, workbook;
  ASSERT_TRUE(book.OpenFile(root.path("winners.xlsx"), err)) << err;
  ASSERT_TRUE(book.ReadPart("xl/workbook.xml", workbook, err));
  EXPECT_NE(workbook.find("name=\"抽奖凭证\""), std::string::npos);
  // Three prize items, so the report is the fourth sheet (its strings are written inline).
  std::string shared;
  ASSERT_TRUE(book.ReadPart("xl/worksheets/sheet4.xml", shared, err)) << err;
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
  EXPECT_NE(shared.find(j.Head.Secret), std::string::npos);
  EXPECT_NE(shared.find("承诺值(SHA-256)"), std::string::npos);
}
