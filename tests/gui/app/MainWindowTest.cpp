#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "UrlCatcher.h"
#include "core/config/TaskCheckin.h"
#include "core/config/TaskSettings.h"
#include "core/config/WindowPlace.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/ui/AboutFrm.h"
#include "gui/ui/Art.h"
#include "gui/ui/HelpFrm.h"

namespace {

// A screen that records what the main window did with it.
struct ScreenLog {
  int made = 0, setUps = 0, shown = 0, destroyed = 0;
  std::optional<TDrawType> lastType;
  int setUpTaskId = 0;
};

class FakeScreen : public TSetUpScreen {
 public:
  FakeScreen(ScreenLog& log, int result) : m_log(log), m_result(result) { ++m_log.made; }
  ~FakeScreen() override { ++m_log.destroyed; }
  int SetUp(int32_t taskId) override {
    ++m_log.setUps;
    m_log.setUpTaskId = taskId;
    return m_result;
  }
  void ShowModal() override { ++m_log.shown; }

 private:
  ScreenLog& m_log;
  int m_result;
};

class MainWindow : public ::testing::Test {
 protected:
  TempRoot m_root;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(MainWindow, ListsTheExampleTasksWithTheFirstSelected) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Qarvo抽奖软件"));
  w.show();
  EXPECT_EQ(Crowded(&w).join(QLatin1Char('\n')).toStdString(), "");
  QTableWidget* lv = w.LVHeaders;
  ASSERT_EQ(lv->rowCount(), 2);
  // The three columns shown, the stored draw type present but zero wide, and the state.
  ASSERT_EQ(lv->columnCount(), 7);
  EXPECT_TRUE(lv->isColumnHidden(3));
  EXPECT_EQ(lv->item(0, 3)->text(), QStringLiteral("0"));
  EXPECT_EQ(lv->item(1, 3)->text(), QStringLiteral("1"));
  EXPECT_EQ(lv->horizontalHeaderItem(4)->text(), QStringLiteral("抽奖方式"));
  EXPECT_EQ(lv->horizontalHeaderItem(5)->text(), QStringLiteral("名单人数"));
  EXPECT_EQ(lv->horizontalHeaderItem(6)->text(), QStringLiteral("状态"));
  EXPECT_EQ(lv->item(0, 4)->text(), QStringLiteral("按导入数据抽奖"));
  EXPECT_EQ(lv->item(0, 6)->text(), QStringLiteral("未抽奖"));
  EXPECT_EQ(lv->item(1, 4)->text(), QStringLiteral("按概率抽奖"));
  // The state stands beside the name, all of it inside the window's designed width.
  EXPECT_EQ(lv->horizontalHeader()->visualIndex(6), 1);
  EXPECT_LE(lv->columnViewportPosition(4) + lv->columnWidth(4), TMainForm::kDesignedWidth);
  EXPECT_EQ(lv->horizontalHeaderItem(0)->text(), QStringLiteral("抽奖项目名称"));
  EXPECT_EQ(lv->horizontalHeaderItem(1)->text(), QStringLiteral("抽奖显示标题"));
  EXPECT_EQ(lv->horizontalHeaderItem(2)->text(), QStringLiteral("序号"));
  EXPECT_FALSE(lv->horizontalHeaderItem(0)->icon().isNull());
  EXPECT_EQ(lv->columnWidth(0), 220);
  EXPECT_EQ(lv->columnWidth(1), 300);
  EXPECT_EQ(lv->columnWidth(2), 60);
  EXPECT_EQ(lv->item(0, 0)->text(), QStringLiteral("年会抽奖示例"));
  EXPECT_EQ(lv->item(0, 2)->text(), QStringLiteral("1001"));
  EXPECT_EQ(w.Tasks().At(0)->OrderBy, TDrawType::FromData);
  EXPECT_EQ(lv->item(1, 0)->text(), QStringLiteral("幸运转盘示例"));
  EXPECT_EQ(w.Tasks().At(1)->OrderBy, TDrawType::ByProbability);
  ASSERT_EQ(lv->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(lv->selectionModel()->selectedRows()[0].row(), 0);
  // Buttons in their order, with their hints.
  EXPECT_LT(w.SBtnGetLuck->x(), w.SBtnConfig->x());
  EXPECT_LT(w.SBtnConfig->x(), w.SBtnQuery->x());
  EXPECT_LT(w.SBtnQuery->x(), w.SBtnExit->x());
  EXPECT_EQ(w.SBtnGetLuck->toolTip(), QStringLiteral("点击进入抽奖界面"));
  EXPECT_EQ(w.SBtnExit->text(), QStringLiteral("退出(&X)"));
  EXPECT_LT(w.SBtnAbout->x(), w.SBtnHelp->x());
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(MainWindow, OpensOnTheUnfinishedDrawWhereItWasLeftWithEveryColumnInView) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  // A third task, drawn halfway when the laptop went down.
  TaskDef def;
  def.taskId = 1003;
  def.items = {{"A", 4, 2, ""}};
  def.candidates = {"1 a", "2 b", "3 c", "4 d", "5 e"};
  BuildTask(dm, def);
  {
    TRandom rng;
    TDrawSession session;
    TDataDraw e(session, rng, 5u);
    TDrawFailure f;
    ASSERT_TRUE(e.SetUp(1003, f)) << f.text.c_str();
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }
  QRect left;
  {
    TMainForm w;
    ASSERT_EQ(w.LVHeaders->rowCount(), 3);
    EXPECT_EQ(w.SelectedTask()->TaskId, 1003);
    EXPECT_EQ(w.LVHeaders->item(2, TMainForm::kStateColumn)->text(),
              QStringLiteral("未完成，可继续（已抽出2人）"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // Every column in view at the size the window opens at the first time on a common screen.
    w.resize(config::kFirstWidth, config::kFirstHeight);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.width() == config::kFirstWidth; }));
    EXPECT_LE(w.LVHeaders->horizontalHeader()->length(), w.LVHeaders->viewport()->width());
    w.setGeometry(40, 30, 760, 520);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.geometry() == QRect(40, 30, 760, 520); }));
    left = w.geometry();
    w.close();
  }
  TMainForm again;
  EXPECT_EQ(again.size(), left.size());
}

TEST_F(MainWindow, EmptyListAnswersBothButtonsWithTheSelectionHint) {
  TTombolixDataModule dm;  // no example tasks
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  ScreenLog log;
  w.SetDrawScreenFactory(
      [&](QWidget*, TDrawSession&, TDrawType) { return std::make_unique<FakeScreen>(log, 1); });
  w.SetQueryScreenFactory(
      [&](QWidget*, TDrawSession&) { return std::make_unique<FakeScreen>(log, 1); });
  EXPECT_EQ(w.LVHeaders->rowCount(), 0);
  QTest::mouseClick(w.SBtnGetLuck, Qt::LeftButton);
  QTest::mouseClick(w.SBtnQuery, Qt::LeftButton);
  const std::vector<std::pair<MessageKind, QString>> expected = {
      {MessageKind::Attention, QStringLiteral("请先选择抽奖项目")},
      {MessageKind::Attention, QStringLiteral("请先选择抽奖项目")}};
  EXPECT_EQ(m_dialogs.messages(), expected);
  EXPECT_EQ(log.made, 0);
}

TEST_F(MainWindow, DrawOpensTheScreenOfTheDrawTypeAndShowsItOnlyAfterASuccessfulSetUp) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  ScreenLog log;
  int setUpResult = 0;
  w.SetDrawScreenFactory([&](QWidget*, TDrawSession&, TDrawType type) {
    log.lastType = type;
    return std::make_unique<FakeScreen>(log, setUpResult);
  });
  w.SBtnGetLuckClick();
  EXPECT_EQ(log.lastType, TDrawType::FromData);
  EXPECT_EQ(log.setUpTaskId, 1001);
  EXPECT_EQ(log.shown, 0);
  EXPECT_EQ(log.destroyed, 1);

  setUpResult = 1;
  w.LVHeaders->selectRow(1);
  w.SBtnGetLuckClick();
  EXPECT_EQ(log.lastType, TDrawType::ByProbability);
  EXPECT_EQ(log.setUpTaskId, 1002);
  EXPECT_EQ(log.shown, 1);
  EXPECT_EQ(log.destroyed, 2);
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(MainWindow, ResultsOfAProbabilityTaskAreRefusedAndOfADataTaskOpened) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  ScreenLog log;
  w.SetQueryScreenFactory(
      [&](QWidget*, TDrawSession&) { return std::make_unique<FakeScreen>(log, 1); });
  w.LVHeaders->selectRow(1);
  QTest::mouseClick(w.SBtnQuery, Qt::LeftButton);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Information, QStringLiteral("按概率抽奖无查询结果")));
  EXPECT_EQ(log.made, 0);

  w.LVHeaders->selectRow(0);
  QTest::mouseClick(w.SBtnQuery, Qt::LeftButton);
  EXPECT_EQ(log.setUpTaskId, 1001);
  EXPECT_EQ(log.shown, 1);
}

TEST_F(MainWindow, ReloadSelectsTheFirstRowAndAFailedQueryKeepsTheRows) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  w.LVHeaders->selectRow(1);
  w.LoadTaskList();
  EXPECT_EQ(w.LVHeaders->selectionModel()->selectedRows()[0].row(), 0);
  std::string err;
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, "drop table LuckTask", err));
  w.LoadTaskList();
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Error);
  EXPECT_TRUE(m_dialogs.messages()[0].second.contains(QStringLiteral("LuckTask")));
  EXPECT_EQ(w.LVHeaders->rowCount(), 2);
}

TEST_F(MainWindow, FailedConnectionLeavesAnEmptyListAndTheProgramRunning) {
  WriteAll(m_root.dir() / "DATA/Tombolix.db", std::string(2048, 'x'));
  TTombolixDataModule dm(SeedExampleTasks);
  EXPECT_FALSE(dm.DataModuleCreate());
  TMainForm w;
  EXPECT_EQ(w.LVHeaders->rowCount(), 0);
  const auto msgs = m_dialogs.messages();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].first, MessageKind::Information);
  EXPECT_TRUE(msgs[0].second.startsWith(QStringLiteral("数据库连接失败,")));
  EXPECT_EQ(msgs[1].first, MessageKind::Error);
  w.SBtnGetLuckClick();
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Attention, QStringLiteral("请先选择抽奖项目")));
}

TEST_F(MainWindow, AboutShowsTheCaptionAndVersion) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  QString caption, version;
  OnNextModal([&](QWidget* m) {
    auto* about = qobject_cast<TAboutForm*>(m);
    ASSERT_NE(about, nullptr);
    caption = about->windowTitle();
    version = about->LVec->text();
    about->BtnOk->click();
  });
  QTest::mouseClick(w.SBtnAbout, Qt::LeftButton);
  EXPECT_EQ(caption, QStringLiteral("关于Qarvo抽奖软件"));
  EXPECT_EQ(version, QStringLiteral("V2.7"));
}

TEST_F(MainWindow, HelpOpensOurPageOrTheHelpFileBesideTheProgram) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  QString page;
  OnNextModal([&](QWidget* m) {
    auto* help = qobject_cast<THelpForm*>(m);
    ASSERT_NE(help, nullptr);
    page = help->Browser->toPlainText();
    help->close();
  });
  QTest::mouseClick(w.SBtnHelp, Qt::LeftButton);
  EXPECT_TRUE(page.contains(QStringLiteral("导入抽奖名单")));
  EXPECT_TRUE(page.contains(QStringLiteral("回车键")));

  // With Help.chm beside the program the desktop opens that file instead.
  const QString chm = QString::fromStdString(paths::ProgramDir()) + QStringLiteral("Help.chm");
  QFile f(chm);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
  QTest::mouseClick(w.SBtnHelp, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  QFile::remove(chm);
  ASSERT_EQ(catcher.urls.size(), 1);
  EXPECT_EQ(QFileInfo(catcher.urls[0].toLocalFile()), QFileInfo(chm));
}

TEST_F(MainWindow, ExitClosesTheWindow) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::mouseClick(w.SBtnExit, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindow, EnterOnATaskOpensItsDraw) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  ScreenLog log;
  w.SetDrawScreenFactory([&](QWidget*, TDrawSession&, TDrawType type) {
    log.lastType = type;
    return std::make_unique<FakeScreen>(log, 1);
  });
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  EXPECT_EQ(QApplication::focusWidget(), w.LVHeaders);
  QTest::keyClick(w.LVHeaders, Qt::Key_Down);
  QTest::keyClick(w.LVHeaders, Qt::Key_Return);
  EXPECT_EQ(log.shown, 1);
  EXPECT_EQ(log.lastType, TDrawType::ByProbability);
  EXPECT_EQ(log.setUpTaskId, 1002);
}

TEST_F(MainWindow, TheKeyboardReachesEveryButtonAndTabNeverChangesTheTask) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  ScreenLog log;
  w.SetQueryScreenFactory(
      [&](QWidget*, TDrawSession&) { return std::make_unique<FakeScreen>(log, 1); });
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  ASSERT_EQ(QApplication::focusWidget(), w.LVHeaders);
  QTest::keyClick(w.LVHeaders, Qt::Key_Down);
  ASSERT_EQ(w.SelectedTask()->TaskId, 1002);

  // One Tab stop for the list, then the buttons in their order, then round again.
  std::vector<QWidget*> visited;
  for (int i = 0; i < 14; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  const std::vector<QWidget*> expected = {
      w.SBtnGetLuck,       w.SBtnConfig,     w.SBtnQuery,    w.SBtnCheckin, w.SBtnExportPackage,
      w.SBtnImportPackage, w.SBtnWriteRelay, w.SBtnTakeOver, w.SBtnSpare,   w.SBtnShowCheck,
      w.SBtnHelp,          w.SBtnAbout,      w.SBtnExit,     w.LVHeaders};
  EXPECT_EQ(visited, expected);
  EXPECT_EQ(w.SelectedTask()->TaskId, 1002);

  // Each button shows its own accelerator; Alt+Q opens the results of the selected task.
  QSet<QChar> keys;
  for (QToolButton* b : {w.SBtnGetLuck, w.SBtnConfig, w.SBtnQuery, w.SBtnCheckin,
                         w.SBtnExportPackage, w.SBtnImportPackage, w.SBtnWriteRelay, w.SBtnTakeOver,
                         w.SBtnSpare, w.SBtnShowCheck, w.SBtnHelp, w.SBtnAbout, w.SBtnExit}) {
    const qsizetype amp = b->text().indexOf(QLatin1Char('&'));
    ASSERT_GE(amp, 0) << b->text().toStdString();
    EXPECT_FALSE(keys.contains(b->text().at(amp + 1).toUpper())) << b->text().toStdString();
    keys.insert(b->text().at(amp + 1).toUpper());
  }
  w.SelectRow(0);
  QTest::keyClick(&w, Qt::Key_Q, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return log.shown == 1; }));
  EXPECT_EQ(log.setUpTaskId, 1001);

  // Enter on a button reached with Tab presses it.
  int drawn = 0;
  w.SetDrawScreenFactory([&](QWidget*, TDrawSession&, TDrawType) {
    ++drawn;
    return std::make_unique<FakeScreen>(log, 0);
  });
  w.LVHeaders->setFocus();
  QTest::keyClick(w.LVHeaders, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), w.SBtnGetLuck);
  QTest::keyClick(w.SBtnGetLuck, Qt::Key_Return);
  EXPECT_EQ(drawn, 1);

  // F1 opens the help.
  bool helpShown = false;
  OnNextModal([&](QWidget* m) {
    helpShown = qobject_cast<THelpForm*>(m) != nullptr;
    m->close();
  });
  QTest::keyClick(w.LVHeaders, Qt::Key_F1);
  EXPECT_TRUE(helpShown);
}

namespace {

// How many pixels of two pictures of one size differ visibly in some channel.
int VisiblyDifferentPixels(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_ARGB32);
  const QImage y = b.convertToFormat(QImage::Format_ARGB32);
  if (x.size() != y.size()) return x.width() * x.height() + 1;
  int count = 0;
  for (int r = 0; r < x.height(); ++r)
    for (int c = 0; c < x.width(); ++c) {
      const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
      if (std::abs(qRed(p) - qRed(q)) > 40 || std::abs(qGreen(p) - qGreen(q)) > 40 ||
          std::abs(qBlue(p) - qBlue(q)) > 40 || std::abs(qAlpha(p) - qAlpha(q)) > 40)
        ++count;
    }
  return count;
}

}  // namespace

// The banner ships pre-rendered at the designed width; it must be what the window would draw
// (a changed caption, picture or font needs tools/PrerenderArt run again), and any other width
// is drawn.
TEST_F(MainWindow, BannerComesPreRenderedAtTheDesignedWidthOnly) {
  const QPixmap head = PrerenderedArt(QStringLiteral("main_head"), QSize(730, 73));
  const QPixmap tools = PrerenderedArt(QStringLiteral("banner_tools"), QSize(730, 64));
  ASSERT_EQ(head.size(), QSize(730, 73));
  ASSERT_EQ(tools.size(), QSize(730, 64));
  EXPECT_TRUE(PrerenderedArt(QStringLiteral("main_head"), QSize(731, 73)).isNull());
  EXPECT_TRUE(PrerenderedArt(QStringLiteral("no_such_art"), QSize(730, 73)).isNull());
  // At most a few edge pixels of the caption's antialiasing may differ between builds.
  EXPECT_LE(VisiblyDifferentPixels(head.toImage(), TMainForm::RenderBannerHead(730).toImage()), 50);
  EXPECT_LE(VisiblyDifferentPixels(tools.toImage(), TMainForm::RenderBannerTools(730).toImage()),
            20);
  // The icons too ship as drawn, and are what the window is given at those sizes.
  for (const auto& [name, size] : TMainForm::ShippedArt()) {
    const QPixmap shipped = PrerenderedArt(name, size);
    ASSERT_EQ(shipped.size(), size) << name.toStdString();
    EXPECT_EQ(VisiblyDifferentPixels(shipped.toImage(), RenderArt(name, size).toImage()), 0)
        << name.toStdString();
    EXPECT_EQ(ArtPixmap(name, size).toImage(), shipped.toImage()) << name.toStdString();
  }
  // Another size of the same picture is drawn.
  EXPECT_TRUE(PrerenderedArt(QStringLiteral("glyph_exit"), QSize(16, 16)).isNull());
  EXPECT_EQ(ArtPixmap(QStringLiteral("glyph_exit"), QSize(16, 16)).size(), QSize(16, 16));
  // Without its caption the band differs in many pixels: the comparison sees the text.
  EXPECT_GT(VisiblyDifferentPixels(
                head.toImage(), RenderArt(QStringLiteral("banner_head"), QSize(730, 73)).toImage()),
            1000);

  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_EQ(w.width(), 730);
  EXPECT_EQ(w.ImageHead->pixmap().toImage(), head.toImage());
  EXPECT_EQ(w.Image1->pixmap().toImage(), tools.toImage());
  w.resize(900, 510);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.ImageHead->pixmap().width() == 900; }));
  EXPECT_EQ(VisiblyDifferentPixels(w.ImageHead->pixmap().toImage(),
                                   TMainForm::RenderBannerHead(900).toImage()),
            0);
  EXPECT_EQ(w.Image1->pixmap().size(), QSize(900, 64));
}

// The column heads are measured in their own font, not in bold, and drawn in the window's
// font, not the list's: one line of it, as before.
TEST_F(MainWindow, TaskListHeadsKeepTheirFontAndHeight) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QHeaderView* h = w.LVHeaders->horizontalHeader();
  EXPECT_EQ(h->height(), 22);
  EXPECT_EQ(h->sizeHint().height(), 22);
  EXPECT_EQ(h->sectionSize(0), 220);
  EXPECT_EQ(h->sectionSize(2), 60);
  EXPECT_EQ(h->font().family(), w.font().family());
  EXPECT_EQ(h->viewport()->font().family(), w.font().family());
  EXPECT_NE(h->font().family(), w.LVHeaders->font().family());
  EXPECT_FALSE(h->font().bold());
}

// A screen that leaves a winner file behind, as a finished draw does.
class WinnerWritingScreen : public TSetUpScreen {
 public:
  int SetUp(int32_t) override { return 1; }
  void ShowModal() override {
    std::filesystem::create_directories(paths::NativePath(paths::LuckFileDir()));
    WriteAll(paths::NativePath(paths::WinnerFilePath(1001, 1)), "id name\r\n1 a\r\n2 b\r\n3 c\r\n");
  }
};

TEST_F(MainWindow, TheStateColumnsAreRefreshedWhenTheDrawScreenCloses) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  EXPECT_EQ(w.LVHeaders->item(0, TMainForm::kCandidatesColumn)->text(), QStringLiteral("200"));
  EXPECT_EQ(w.LVHeaders->item(0, TMainForm::kStateColumn)->text(), QStringLiteral("未抽奖"));
  w.SetDrawScreenFactory(
      [](QWidget*, TDrawSession&, TDrawType) { return std::make_unique<WinnerWritingScreen>(); });
  w.SelectRow(0);
  w.SBtnGetLuckClick();
  const QString state = w.LVHeaders->item(0, TMainForm::kStateColumn)->text();
  EXPECT_TRUE(state.startsWith(QStringLiteral("已抽奖（"))) << state.toStdString();
  EXPECT_TRUE(state.endsWith(QStringLiteral("，3人）"))) << state.toStdString();
  EXPECT_EQ(w.LVHeaders->item(0, TMainForm::kStateColumn)->toolTip(), state);
  EXPECT_EQ(w.LVHeaders->item(1, TMainForm::kStateColumn)->text(), QStringLiteral("—"));
  // The selection stays where it was.
  EXPECT_EQ(w.SelectedTask()->TaskId, 1001);
}

// The spare laptop on the real window: export the example task, delete it, import it again.
TEST_F(MainWindow, APackageExportedDeletedAndImportedGivesTheTaskBack) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  TMainForm w;
  const QString zip = QString::fromStdString(m_root.path("night.zip"));
  m_dialogs.files = {zip};
  w.SelectRow(0);
  w.SBtnExportPackage->click();
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0],
            std::make_pair(MessageKind::Information,
                           QStringLiteral("已导出抽奖项目[年会抽奖示例]：奖项3个，名单200人")));
  ASSERT_TRUE(QFileInfo::exists(zip));

  bool deleted = false;
  std::string error;
  ASSERT_TRUE(config::DeleteTask(1001, deleted, error));
  w.LoadTaskList();
  ASSERT_EQ(w.LVHeaders->rowCount(), 1);

  m_dialogs.files = {zip};
  w.SBtnImportPackage->click();
  ASSERT_EQ(m_dialogs.messages().size(), 2u);
  // The deleted task's id is free again: its list, fingerprint and results went with it.
  EXPECT_EQ(
      m_dialogs.messages()[1],
      std::make_pair(MessageKind::Information,
                     QStringLiteral("已添加抽奖项目[年会抽奖示例]，序号1001：奖项3个，名单200人")));
  ASSERT_EQ(w.LVHeaders->rowCount(), 2);
  ASSERT_NE(w.SelectedTask(), nullptr);
  EXPECT_EQ(w.SelectedTask()->TaskId, 1001);
  const int row = w.SelectedTaskIndex();
  EXPECT_EQ(w.LVHeaders->item(row, TMainForm::kCandidatesColumn)->text(), QStringLiteral("200"));
  EXPECT_EQ(w.LVHeaders->item(row, TMainForm::kStateColumn)->text(), QStringLiteral("未抽奖"));

  // The same package again: the id is taken now.
  m_dialogs.files = {zip};
  w.SBtnImportPackage->click();
  ASSERT_EQ(m_dialogs.messages().size(), 3u);
  EXPECT_TRUE(m_dialogs.messages()[2].second.contains(QStringLiteral("（原序号1001已被占用）")));
  EXPECT_EQ(w.LVHeaders->rowCount(), 3);

  // A file that is no package: refused in plain words, the list as it was.
  WriteAll(m_root.dir() / "bad.zip", "PK not really");
  m_dialogs.files = {QString::fromStdString(m_root.path("bad.zip"))};
  w.SBtnImportPackage->click();
  ASSERT_EQ(m_dialogs.messages().size(), 4u);
  EXPECT_EQ(m_dialogs.messages()[3],
            std::make_pair(MessageKind::Error,
                           QStringLiteral("这不是Qarvo抽奖软件的活动包，或文件已损坏")));
  EXPECT_EQ(w.LVHeaders->rowCount(), 3);
}

TEST_F(MainWindow, ASpareWithoutTheCheckinsOfADrawOfThoseCheckedInSaysSoBeforeTheStage) {
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  std::string error;
  ASSERT_TRUE(config::SaveCheckinOnly(1001, true, error)) << error;
  TMainForm w;
  const QString zip = QString::fromStdString(m_root.path("night.zip"));
  m_dialogs.files = {zip};
  w.SelectRow(0);
  w.SBtnExportPackage->click();
  // Opened on the spare: the package holds the task, not its check-ins.
  m_dialogs.files = {zip};
  w.SBtnImportPackage->click();
  const QString missing = QStringLiteral(
      "本抽奖项目只抽取已签到人员，但本机没有它的签到记录（已签到0人）：签到记录只保存在进行签到的"
      "电脑上，活动包不带签到记录。请在本机重新签到，或在签到窗口中取消“仅抽取已签到人员”。");
  ASSERT_EQ(m_dialogs.messages().size(), 3u);
  EXPECT_EQ(m_dialogs.messages()[2], std::make_pair(MessageKind::Warning, missing));
  ASSERT_NE(w.SelectedTask(), nullptr);
  const int32_t spare = w.SelectedTask()->TaskId;
  EXPECT_GT(spare, 1001);

  // The draw asks on this window first, No by default: the stage stays shut.
  ScreenLog log;
  w.SetDrawScreenFactory(
      [&](QWidget*, TDrawSession&, TDrawType) { return std::make_unique<FakeScreen>(log, 1); });
  m_dialogs.answers = {Answer::No};
  w.SBtnGetLuckClick();
  ASSERT_EQ(m_dialogs.log.back().type, RecordedDialog::Question);
  EXPECT_EQ(m_dialogs.log.back().text,
            missing + QStringLiteral("现在打开抽奖屏幕将没有人可以抽取，仍要打开吗？"));
  EXPECT_EQ(m_dialogs.log.back().preferred, Answer::No);
  EXPECT_EQ(log.setUps, 0);
  EXPECT_EQ(log.shown, 0);
  // Yes opens it all the same.
  m_dialogs.answers = {Answer::Yes};
  w.SBtnGetLuckClick();
  EXPECT_EQ(log.setUpTaskId, spare);
  EXPECT_EQ(log.shown, 1);
}
