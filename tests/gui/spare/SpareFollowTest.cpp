// The spare laptop's 热备跟随 window against a real stage stream on 127.0.0.1: it follows
// by its timer without blocking, turns red when the stage falls silent, and says why a code
// is refused.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinService.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/MoveRecords.h"
#include "core/net/LanServer.h"
#include "core/package/EventPackage.h"
#include "core/spare/SpareStream.h"
#include "core/spare/StageStream.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/checkin/DeskPairFrm.h"
#include "gui/spare/SpareFollowFrm.h"
#include "gui/spare/TakeOverFrm.h"

using text::G;
namespace fs = std::filesystem;

namespace {

// A journal head and `batches` batches of one winner each, as the stage writes them.
std::string JournalText(int batches) {
  TJournalHead head;
  head.TaskId = 7;
  head.DataHash = std::string(64, 'a');
  head.PresetHash = std::string(64, 'b');
  head.Items = {{1, 10, 1}};
  head.Commit = std::string(64, 'c');
  head.Secret = std::string(64, 'd');
  std::string s = FormatJournalHead(head) + FormatJournalStart({"", 42});
  for (int i = 0; i < batches; ++i) {
    TJournalBatch b;
    b.ItemId = 1;
    b.Drawn = i + 1;
    b.Rng = static_cast<uint32_t>(100 + i);
    b.Winners = {i};
    b.Rolls = 5;
    s += FormatJournalBatch(b);
  }
  return s;
}

// With SPARE_SNAPSHOTS set to a folder, the windows' pictures for the README are saved there.
void Snapshot(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("SPARE_SNAPSHOTS");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

class SpareFollowWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_root.dir() / "stage/LUCK_FILE");
    WriteAll(m_root.dir() / "stage/LUCK_FILE/JOURNAL_7.txt", JournalText(2));
    m_stage = std::make_unique<spare::TStageStream>(7, m_root.path("stage/"), G("年会抽奖"));
    m_stage->SetSetup("PK-setup");
    m_server.AddRoutes(m_stage.get());
    m_port = net::FreePort("127.0.0.1", 18670);
    std::string error;
    ASSERT_TRUE(m_server.Start("127.0.0.1", m_port, error)) << error;
    m_frm.SetClock([this] { return m_nowMs; });
    m_frm.show();
  }
  void Follow(const QString& code) {
    m_frm.EdAddress->setText(QStringLiteral("127.0.0.1:%1").arg(m_port));
    m_frm.EdCode->setText(code);
    QTest::mouseClick(m_frm.BtnFollow, Qt::LeftButton);
  }

  TempRoot m_root;
  DialogRecorder m_dialogs;
  std::unique_ptr<spare::TStageStream> m_stage;
  net::TLanServer m_server;
  uint16_t m_port = 0;
  int64_t m_nowMs = 1000;
  TSpareFollowFrm m_frm;
};

TEST_F(SpareFollowWindow, FollowsTheStageAndTurnsRedWhenItFallsSilent) {
  Follow(QString::fromStdString(m_stage->Code()).toLower());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return m_frm.LbStatus->text().startsWith(
            QStringLiteral("已同步到第2批 · 签到0人 · 领奖0人 · 最后更新 "));
      },
      10000))
      << m_frm.LbStatus->text().toStdString() << m_frm.LbNote->text().toStdString();
  EXPECT_TRUE(m_frm.Following());
  EXPECT_FALSE(m_frm.EdCode->isEnabled());
  EXPECT_EQ(ReadAll(m_root.dir() / "SPARE/7/journal.txt"), JournalText(2));
  Snapshot(m_frm, QStringLiteral("spare-follow-window"));
  const QColor calm = m_frm.LbStatus->palette().color(QPalette::Window);

  // The stage draws on: the timer brings the batch over.
  WriteAll(m_root.dir() / "stage/LUCK_FILE/JOURNAL_7.txt", JournalText(3));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return m_frm.LbStatus->text().startsWith(QStringLiteral("已同步到第3批")); }, 10000));

  // The stage goes away; six seconds on, the view says so in red.
  m_server.Stop();
  m_nowMs += 6000;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return m_frm.LbStatus->text().startsWith(QStringLiteral("主机未响应 6秒 · 已同步到第3批"));
      },
      10000))
      << m_frm.LbStatus->text().toStdString();
  EXPECT_EQ(m_frm.LbStatus->palette().color(QPalette::Window), QColor(0xc0, 0x00, 0x00));
  EXPECT_NE(calm, QColor(0xc0, 0x00, 0x00));
  Snapshot(m_frm, QStringLiteral("spare-follow-silent"));
  EXPECT_TRUE(m_dialogs.log.empty());
}

TEST_F(SpareFollowWindow, AWrongCodeIsRefusedAndAMistypedOneExplained) {
  Follow(QStringLiteral("2222 3333 4444 5555"));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return !m_frm.LbNote->text().isEmpty() &&
               m_frm.LbNote->text() != QStringLiteral("正在连接主机…");
      },
      10000));
  EXPECT_EQ(m_frm.LbNote->text(),
            QStringLiteral(
                "配对码不对，或消息在路上被改动过，已拒绝。请核对主机屏幕上“热备跟随”的配对码"));
  EXPECT_FALSE(fs::exists(m_root.dir() / "SPARE/7/journal.txt"));
  QTest::mouseClick(m_frm.BtnFollow, Qt::LeftButton);  // stops
  EXPECT_FALSE(m_frm.Following());

  Follow(QStringLiteral("ABCD EFGH"));
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].text,
            QStringLiteral("配对码应为 16 个字符（4 组，每组 4 个），现在是 8 个"));
  EXPECT_FALSE(m_frm.Following());
}

TEST_F(SpareFollowWindow, TheDeskWindowShowsTheSparesCodeAndHandsOverTheSetup) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.items = {{G("一等奖"), 1, 1, G("汽车")}};
  def.candidates = {"A01 " + G("张三"), "A02 " + G("李四")};
  BuildTask(dm, def);
  TCheckinService service;
  const uint16_t port = net::FreePort("127.0.0.1", 18680);
  std::string error;
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", port, error));
  TDeskPairFrm desks(service);
  desks.show();
  const QString code = desks.LbSpareCode->text();
  EXPECT_EQ(code.size(), 19);
  EXPECT_EQ(code.toStdString(), service.Spare()->Code());
  // The sentence as read, without the joiners that keep its words whole when it wraps.
  EXPECT_TRUE(
      desks.LbSpare->text()
          .remove(QChar(0x2060))
          .startsWith(
              QStringLiteral("备用电脑打开“热备跟随…”，输入主机地址 127.0.0.1:%1 和上面的配对码。")
                  .arg(port)))
      << desks.LbSpare->text().toStdString();
  Snapshot(desks, QStringLiteral("spare-stage-code"));

  // The spare's window takes the code as shown and fetches the set-up handed over.
  m_frm.EdAddress->setText(QStringLiteral("127.0.0.1:%1").arg(port));
  m_frm.EdCode->setText(code);
  QTest::mouseClick(m_frm.BtnFollow, Qt::LeftButton);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return fs::exists(m_root.dir() / "SPARE/1001/setup.zip"); }, 10000))
      << m_frm.LbNote->text().toStdString();
  EXPECT_FALSE(m_frm.LbStatus->text().contains(QStringLiteral("尚未收到活动设置")));
}

TEST_F(SpareFollowWindow, TakesTheDrawOverAndTellsTheOldStageUntilItRecordsIt) {
  // The stage: a real task, two batches revealed, its set-up exported for the spare.
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.items = {{G("一等奖"), 6, 2, G("电视")}};
  for (int i = 0; i < 10; ++i) def.candidates.push_back("A0" + std::to_string(i) + " " + G("人"));
  BuildTask(dm, def);
  {
    std::unique_ptr<TDrawRun> run = StartDraw(4242u);
    for (int batch = 0; batch < 2; ++batch) {
      ASSERT_TRUE(run->e.BeginBatch());
      run->e.SelectBatchWinners();
      run->e.RollStep();
      run->e.RevealBatch();
      run->e.EndBatch();
    }
  }
  const std::string stageRoot = paths::DataRoot();
  std::string summary, error;
  ASSERT_TRUE(package::ExportEventPackage(1001, m_root.path("setup.zip"), summary, error));
  spare::TStageStream stage(1001, stageRoot, G("年会"));
  stage.SetSetup(ReadAll(m_root.dir() / "setup.zip"));
  net::TLanServer server;
  server.AddRoutes(&stage);
  const uint16_t port = net::FreePort("127.0.0.1", 18690);
  ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << error;

  // The spare: a data folder and database of its own, following the stage.
  TempRoot spareRoot;
  TTombolixDataModule spareDm;
  ASSERT_TRUE(spareDm.DataModuleCreate());
  m_frm.EdAddress->setText(QStringLiteral("127.0.0.1:%1").arg(port));
  m_frm.EdCode->setText(QString::fromStdString(stage.Code()));
  QTest::mouseClick(m_frm.BtnFollow, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QString t = m_frm.LbStatus->text();
        return t.startsWith(QStringLiteral("已同步到第2批")) &&
               !t.contains(QStringLiteral("尚未收到活动设置"));
      },
      10000))
      << m_frm.LbStatus->text().toStdString() << m_frm.LbNote->text().toStdString();

  // 接管: the form of 接管抽奖… as it stands, then the question, then the takeover.
  QString offered;
  OnNextModal([&](QWidget* w) {
    auto* form = qobject_cast<TTakeOverForm*>(w);
    if (!form) return w->close(), void();
    offered = form->LbOffer->text();
    Snapshot(*form, QStringLiteral("spare-takeover-form"));
    form->BtnTakeOver->click();
  });
  QSignalSpy taken(&m_frm, &TSpareFollowFrm::TakenOver);
  stage.SetDrawOpen(true);  // the old stage's draw screen is still open at first
  QTest::mouseClick(m_frm.BtnTakeOver, Qt::LeftButton);
  EXPECT_TRUE(offered.endsWith(QStringLiteral("已同步揭晓:第1至2批"))) << offered.toStdString();
  ASSERT_EQ(m_frm.TakenTask(), 1001)
      << (m_dialogs.log.empty() ? std::string() : m_dialogs.log.back().text.toStdString());
  ASSERT_EQ(taken.count(), 1);
  EXPECT_EQ(taken.at(0).at(0).toInt(), 1001);
  ASSERT_GE(m_dialogs.log.size(), 2u);
  EXPECT_TRUE(m_dialogs.log[0].text.startsWith(
      QStringLiteral("接管后本机继续抽奖，原主机不能再继续。\n在本机接管“年会")));
  EXPECT_TRUE(m_dialogs.log[1].text.startsWith(QStringLiteral("已接管任务")));
  EXPECT_FALSE(m_frm.Following());
  EXPECT_FALSE(m_frm.BtnTakeOver->isEnabled());
  EXPECT_EQ(m_frm.LbStatus->text(),
            QStringLiteral("已接管：“年会”可在本机打开抽奖，从第3批接着抽"));
  TJournal here;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), here, error), JournalRead::Ok);
  const std::optional<TMoveRecord> moved = LastMove(here);
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ(moved->Source, TMoveSource::Stream);
  EXPECT_EQ(moved->Held, 2);

  // The stage answers the notice once its draw screen has closed: its journal then says it
  // was taken over, at the MOVED's time.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return m_frm.LbNote->text() ==
               QStringLiteral("原主机的抽奖画面还开着：关上后即记下接管（每3秒询问一次）");
      },
      10000))
      << m_frm.LbNote->text().toStdString();
  EXPECT_FALSE(m_frm.StageTold());
  stage.SetDrawOpen(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frm.StageTold(); }, 10000))
      << m_frm.LbNote->text().toStdString();
  EXPECT_EQ(m_frm.LbNote->text(), QStringLiteral("原主机已记下接管，它不能再继续这个抽奖"));
  TJournal old;
  ASSERT_EQ(ReadJournal(paths::JournalPath(stageRoot, 1001), old, error), JournalRead::Ok);
  ASSERT_TRUE(TakenAt(old).has_value());
  EXPECT_EQ(*TakenAt(old), moved->Time);
  Snapshot(m_frm, QStringLiteral("spare-taken-over"));
  server.Stop();
}

}  // namespace
