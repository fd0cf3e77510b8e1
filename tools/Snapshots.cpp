// Shows each window of the program on the current display and saves a picture of it, for
// looking at the real rendering (run under Xvfb). Usage: tombolix_snapshots OUTDIR [stage]
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "Version.h"
#include "core/claims/ClaimDesk.h"
#include "core/config/ItemSettings.h"
#include "core/config/RuleCheck.h"
#include "core/config/TaskStageKeys.h"
#include "core/db/TombolixDB.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawSession.h"
#include "core/draw/Random.h"
#include "core/records/ClaimFile.h"
#include "core/records/ExampleTasks.h"
#include "core/records/Loaders.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/WinnerFiles.h"
#include "core/records/WinnerPhotos.h"
#include "core/results/ResultsVoid.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "gui/app/MainFrm.h"
#include "gui/app/ShowCheckFrm.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/config/StageColumnsDlg.h"
#include "gui/config/StageKeysDlg.h"
#include "gui/presets/LuckCheatAddFrm.h"
#include "gui/presets/LuckCheatFrm.h"
#include "gui/results/QueryFrm.h"
#include "gui/results/VoidReasonDlg.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/ConsoleFrm.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/stage/DrawScreens.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/GetLuckProdFrm.h"
#include "gui/stage/LiveChangeDlg.h"
#include "gui/stage/StagePrompt.h"
#include "gui/stage/StageSound.h"
#include "gui/ui/AboutFrm.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/HelpFrm.h"
#include "gui/ui/MessageFrm.h"
#include "gui/ui/Qt.h"

namespace {

QString g_out;

void Save(QWidget* w, const QString& name) {
  w->show();
  (void)QTest::qWaitForWindowExposed(w);
  QTest::qWait(150);
  // The whole virtual screen shows what a person sees, the window frame included.
  QPixmap shot = w->screen()->grabWindow(0, w->frameGeometry().x(), w->frameGeometry().y(),
                                         w->frameGeometry().width(), w->frameGeometry().height());
  if (shot.isNull()) shot = w->grab();
  shot.save(QDir(g_out).filePath(name + QStringLiteral(".png")));
}

// The stage's look at its hardest: five cards with long names, a batch of ten in lines, the
// grand prize's five winners with their fireworks, and the absent question. Names carry the
// screen's size; returns 0 when every scene was taken.
int StageLook(TTombolixDataModule& dm, TDrawSession& session) {
  const QString size = QStringLiteral("_%1x%2")
                           .arg(QGuiApplication::primaryScreen()->size().width())
                           .arg(QGuiApplication::primaryScreen()->size().height());
  auto full = [&](QWidget* w, const QString& name) {
    ShowOnWholeScreen(w);
    Save(w, name + size);
  };
  const char* names[] = {"欧阳娜娜",
                         "马克西米利安·亚历山大·冯·霍恩贝格",
                         "李雷",
                         "爱新觉罗弘历乾隆皇帝之第十七代玄孙女王氏欧阳娜娜丽莎",
                         "韩梅梅",
                         "王芳",
                         "司马相如",
                         "张伟",
                         "Anna-Maria-Magdalena-Schwarzenberg",
                         "陈静"};
  TaskDef def;
  def.taskId = 1050;
  // Phone numbers as ids: the absent question's first clause is longer than its line.
  def.title = text::G("手机号码 姓名 部门 分公司");
  def.items = {{text::G("三等奖"), 10, 10, text::G("电饭煲")},
               {text::G("二等奖"), 5, 5, text::G("扫地机器人")},
               {text::G("特等奖"), 5, 5, text::G("新能源汽车一辆")}};
  for (int i = 0; i < 30; ++i)
    def.candidates.push_back(std::to_string(13800000000LL + 7919LL * i) + " " +
                             text::G(names[i % 10]) + text::G(" 人力资源部 华东区上海分公司"));
  BuildTask(dm, def);
  TGetLuckMainForm screen(session, nullptr, 12u);
  if (screen.SetUpDraw(def.taskId) != 1) return 31;
  ShowOnWholeScreen(&screen);
  auto batch = [&](const QString& name) {
    screen.EKeyCtrlKeyPress();
    QApplication::processEvents();
    screen.RollTick();
    screen.EKeyCtrlKeyPress();
    screen.ShowReveal();
    screen.Celebration->Stop();
    full(&screen, name);
  };
  batch(QStringLiteral("look_batch10"));
  batch(QStringLiteral("look_cards5"));
  // The absent question over the five cards.
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Q);
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
  QTest::qWait(300);
  screen.screen()->grabWindow(0).save(
      QDir(g_out).filePath(QStringLiteral("look_question") + size + ".png"));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);  // No: the winner stays
  screen.EKeyCtrlKeyPress();
  QApplication::processEvents();
  screen.RollTick();
  screen.EKeyCtrlKeyPress();
  screen.ShowReveal();
  // The fireworks in the air, a moment after the reveal.
  QTest::qWait(900);
  full(&screen, QStringLiteral("look_grand5"));
  screen.Celebration->Stop();
  screen.EKeyCtrlKeyPress();
  QTest::qWait(300);
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
  return 0;
}

// A live change on the stage: after the first batch F2 opens the operator's window, a prize
// item is added and drawn next; the window, and the band after it. Returns 0 when taken.
int LiveChangeLook(TTombolixDataModule& dm, TDrawSession& session) {
  const QString size = QStringLiteral("_%1x%2")
                           .arg(QGuiApplication::primaryScreen()->size().width())
                           .arg(QGuiApplication::primaryScreen()->size().height());
  TaskDef def;
  def.taskId = 1060;
  def.title = text::G("手机号码 姓名 部门");
  def.items = {{text::G("一等奖"), 3, 3, text::G("笔记本电脑")},
               {text::G("二等奖"), 5, 5, text::G("扫地机器人")}};
  const char* names[] = {"欧阳娜娜", "李雷", "韩梅梅", "王芳", "司马相如", "张伟", "陈静", "刘洋"};
  for (int i = 0; i < 40; ++i)
    def.candidates.push_back(std::to_string(13800000000LL + 7919LL * i) + " " +
                             text::G(names[i % 8]) + text::G(" 市场部"));
  BuildTask(dm, def);
  TGetLuckMainForm screen(session, nullptr, 44u);
  if (screen.SetUpDraw(def.taskId) != 1) return 41;
  ShowOnWholeScreen(&screen);
  (void)QTest::qWaitForWindowExposed(&screen);
  screen.EKeyCtrlKeyPress();
  QApplication::processEvents();
  screen.RollTick();
  screen.EKeyCtrlKeyPress();
  screen.ShowReveal();
  screen.Celebration->Stop();
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F2);
  auto* d = screen.findChild<TPlanChangeDialog*>();
  if (!d) return 42;
  d->EdName->setText(QStringLiteral("特别奖"));
  d->SpCount->setValue(3);
  d->SpPerPress->setValue(3);
  d->EdGift->setText(QStringLiteral("智能手表"));
  d->CbRuleField->setCurrentIndex(2);  // 部门
  d->EdRuleValues->setText(QStringLiteral("市场部"));
  d->EdExcludeIds->setText(QStringLiteral("13800000000 13800007919"));
  QTest::qWait(300);
  d->grab().save(QDir(g_out).filePath(QStringLiteral("live_change_dialog") + size + ".png"));
  QTest::keyClick(d->EdName, Qt::Key_Return);
  QTest::qWait(300);
  Save(&screen, QStringLiteral("live_change_band") + size);
  // The added item drawn, then its second winner voided without a redraw.
  screen.EKeyCtrlKeyPress();
  QApplication::processEvents();
  screen.RollTick();
  screen.EKeyCtrlKeyPress();
  screen.ShowReveal();
  screen.Celebration->Stop();
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F3);
  auto* v = screen.findChild<TVoidDialog*>();
  if (!v) return 43;
  v->CbWho->setCurrentIndex(1);
  v->CbReason->setCurrentIndex(1);
  v->CbRedraw->setChecked(false);
  QTest::qWait(300);
  v->grab().save(QDir(g_out).filePath(QStringLiteral("live_void_dialog") + size + ".png"));
  QTest::keyClick(v->CbWho, Qt::Key_Return);
  QTest::qWait(300);
  Save(&screen, QStringLiteral("live_void_empty") + size);
  return 0;
}

// A named award (指定颁奖) on the stage: 一等奖 drawn, then the start key hands out 荣誉奖 to the
// two named at once, on their own screen; and the item tab with the award marked. The stage's
// picture carries the screen's size.
int NamedAwardLook(TTombolixDataModule& dm, TDrawSession& session) {
  const QString size = QStringLiteral("_%1x%2")
                           .arg(QGuiApplication::primaryScreen()->size().width())
                           .arg(QGuiApplication::primaryScreen()->size().height());
  TaskDef def;
  def.taskId = 1070;
  def.title = text::G("工号 姓名 部门");
  def.items = {{text::G("一等奖"), 1, 1, text::G("笔记本电脑")},
               {text::G("终身成就奖"), 2, 2, text::G("水晶奖杯及荣誉证书")},
               {text::G("二等奖"), 3, 3, text::G("扫地机器人")}};
  const char* names[] = {"欧阳娜娜", "李雷", "韩梅梅", "王芳", "司马相如", "张伟", "陈静", "刘洋"};
  const char* depts[] = {"研发中心", "市场营销部", "财务共享中心", "人力资源部"};
  for (int i = 0; i < 40; ++i)
    def.candidates.push_back("E" + std::to_string(2000 + i) + " " + text::G(names[i % 8]) + " " +
                             text::G(depts[i % 4]));
  const std::vector<int> ids = BuildTask(dm, def);
  std::string err;
  db::ExecSql(dm.ARryPub, "update LuckTask set TaskName=?, MainTitle=? where TaskId=?",
              {text::G("年会颁奖"), text::G("二〇二六年度员工大会颁奖典礼"),
               db::Value(int64_t{def.taskId})},
              err);
  if (!SaveNamedIds(def.taskId, ids[1], {"E2004", "E2009"}, err)) return 51;
  TGetLuckMainForm screen(session, nullptr, 45u);
  if (screen.SetUpDraw(def.taskId) != 1) return 52;
  ShowOnWholeScreen(&screen);
  (void)QTest::qWaitForWindowExposed(&screen);
  screen.EKeyCtrlKeyPress();
  QApplication::processEvents();
  screen.RollTick();
  screen.EKeyCtrlKeyPress();
  screen.ShowReveal();
  screen.Celebration->Stop();
  screen.EKeyCtrlKeyPress();
  QTest::qWait(600);  // the fireworks have burst
  Save(&screen, QStringLiteral("named_award") + size);
  screen.close();

  TMainForm main;
  main.LoadTaskList();
  TLuckConfigForm config(&main);
  for (int node = 0; node < config.LuckTaskTV->topLevelItemCount(); ++node)
    if (config.LuckTaskTV->topLevelItem(node)->text(0) == QStringLiteral("年会颁奖"))
      config.LuckTaskTV->setCurrentItem(config.LuckTaskTV->topLevelItem(node));
  config.LuckTaskTVClick();
  config.show();
  config.PageControl1->setCurrentWidget(config.TSItem);
  config.TSItem->LBItem->setCurrentRow(1);
  config.TSItem->LBItemClick();
  Save(&config, QStringLiteral("config_item_named"));
  return 0;
}

// 结果查询 after two voids of a finished draw from a list, one of a winner who had claimed:
// the struck-through 作废 rows under the winners. The name carries the screen's size.
int ResultsVoidLook(TTombolixDataModule& dm, TDrawSession& session) {
  const char* names[] = {"欧阳娜娜", "李雷", "韩梅梅", "司马相如", "王芳", "张伟", "刘洋", "陈静"};
  const char* depts[] = {"销售部", "人力资源部", "研发中心", "财务部"};
  TaskDef def;
  def.taskId = 1060;
  def.title = text::G("手机号码 姓名 部门");
  def.items = {{text::G("一等奖"), 3, 1, text::G("笔记本电脑")},
               {text::G("二等奖"), 8, 4, text::G("扫地机器人")}};
  for (int i = 0; i < 40; ++i)
    def.candidates.push_back(std::to_string(13800000000LL + 7919LL * i) + " " +
                             text::G(names[i % 8]) + " " + text::G(depts[i % 4]));
  const std::vector<int> ids = BuildTask(dm, def);
  {
    TRandom rng;
    TDrawSession drawn;
    TDataDraw e(drawn, rng, 21u);
    TDrawFailure failure;
    if (!e.SetUp(def.taskId, failure)) return 41;
    while (e.state() != TDataDraw::State::Finished) {
      if (!e.BeginBatch()) return 42;
      e.SelectBatchWinners();
      e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
  }
  TWinnerFile second;
  std::string error;
  if (!LoadWinnerFile(def.taskId, ids[1], second, error) || second.rows.size() < 8) return 43;
  const std::string claimed = second.rows[5][0];
  if (claims::ClaimFromResults(def.taskId, claimed, ids[1], error).Answer !=
      claims::TClaimAnswer::Claimed)
    return 44;
  if (!query::VoidFromResults(session, def.taskId, ids[1], 2, second.rows[2][0],
                              text::G("不符合资格"), "2026-12-10 21:05:12", error) ||
      !query::VoidFromResults(session, def.taskId, ids[1], 4, claimed,
                              query::ClaimedVoidReason(text::G("本人放弃"), "2026-12-10 21:02:40",
                                                       claims::ResultsDeskName()),
                              "2026-12-10 21:07:31", error))
    return 45;
  TQueryForm query(session);
  if (query.SetUpQuery(def.taskId) != 1) return 46;
  query.LBItem->setCurrentRow(1);
  query.SGLuckId->setCurrentCell(1, 0);
  TVoidReasonDlg reason(text::G("[二等奖] 13800015838 韩梅梅 研发中心"), &query);
  reason.RbReasons.back()->setChecked(true);
  reason.EdtReason->setText(QStringLiteral("去年已获一等奖，按规定不可重复"));
  Save(&reason, QStringLiteral("query_void_reason"));
  reason.close();
  Save(&query, QStringLiteral("query_void_%1x%2")
                   .arg(QGuiApplication::primaryScreen()->size().width())
                   .arg(QGuiApplication::primaryScreen()->size().height()));
  return 0;
}

// The operator's console beside the stage as the hall sees it: the stage at 1920 x 1080 on
// the projector, the console at 1366 x 768 on the laptop, after a batch and blanked. Taken
// side by side as one picture each; returns 0 when every scene was taken.
int ConsoleLook(TTombolixDataModule& dm, TDrawSession& session) {
  TaskDef def;
  def.taskId = 1060;
  def.title = text::G("工号 姓名 部门");
  def.items = {{text::G("三等奖"), 6, 3, text::G("蓝牙耳机")},
               {text::G("二等奖"), 3, 3, text::G("平板电脑")},
               {text::G("一等奖"), 1, 1, text::G("笔记本电脑")}};
  const char* names[] = {"王芳", "李雷", "韩梅梅", "张伟", "陈静", "刘洋", "赵敏", "孙悟"};
  for (int i = 0; i < 40; ++i)
    def.candidates.push_back(std::to_string(10200 + i) + " " + text::G(names[i % 8]) +
                             text::G(" 市场部"));
  BuildTask(dm, def);
  TGetLuckMainForm screen(session, nullptr, 21u);
  if (screen.SetUpDraw(def.taskId) != 1) return 41;
  screen.setGeometry(QRect(0, 0, 1920, 1080));
  screen.show();
  (void)QTest::qWaitForWindowExposed(&screen);
  for (int batch = 0; batch < 2; ++batch) {
    screen.EKeyCtrlKeyPress();
    QApplication::processEvents();  // the selection
    screen.RollTick();
    screen.EKeyCtrlKeyPress();
    screen.ShowReveal();
    screen.Celebration->Stop();
  }
  const auto room = [] {
    console::TRoom r;
    r.checkins = 286;
    r.claims = 41;
    r.hostPaired = true;
    r.desks = 2;
    r.freeBytes = 38LL * 1024 * 1024 * 1024;
    r.batteryPercent = 64;
    r.onBattery = true;
    return r;
  };
  TConsoleForm console(&screen, screen.EKeyCtrl, screen.Feed(), screen.Engine(), room);
  console.setGeometry(QRect(0, 0, 1366, 768));
  console.show();
  (void)QTest::qWaitForWindowExposed(&console);
  auto take = [&](const QString& name) {
    console.Refresh();
    console.FrameChanged();
    const int pictures = console.Pictures();
    (void)QTest::qWaitFor([&] { return console.Pictures() > pictures; });
    QTest::qWait(100);
    const QPixmap stage = screen.grab().scaledToHeight(768, Qt::SmoothTransformation);
    const QPixmap desk = console.grab();
    QPixmap both(stage.width() + 24 + desk.width(), 768);
    both.fill(QColor(90, 90, 90));
    QPainter p(&both);
    p.drawPixmap(0, 0, desk);
    p.drawPixmap(desk.width() + 24, 0, stage);
    p.end();
    both.save(QDir(g_out).filePath(name + QStringLiteral(".png")));
  };
  take(QStringLiteral("console_beside_stage"));
  // The console alone on a small and a large laptop screen.
  for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
    console.setGeometry(QRect(QPoint(0, 0), size));
    console.FrameChanged();
    QTest::qWait(400);
    console.grab().save(QDir(g_out).filePath(
        QStringLiteral("console_%1x%2.png").arg(size.width()).arg(size.height())));
  }
  // Muted from its button, on the small laptop screen.
  console.SetMute(screen.Sound());
  console.setGeometry(QRect(0, 0, 1024, 768));
  console.BtMute->click();
  console.FrameChanged();
  QTest::qWait(400);
  console.grab().save(QDir(g_out).filePath(QStringLiteral("console_muted_1024x768.png")));
  console.BtMute->click();
  console.setGeometry(QRect(0, 0, 1366, 768));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_B);
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);  // refused under the cover
  take(QStringLiteral("console_blanked"));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_B);
  console.Release();
  console.close();
  // One screen: the overlay at the operator's request, beside the winners list.
  for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
    screen.setGeometry(QRect(QPoint(0, 0), size));
    QTest::qWait(200);
    if (!screen.Overlay()->isVisible()) QTest::keyClick(screen.EKeyCtrl, Qt::Key_I);
    QTest::qWait(200);
    screen.grab().save(QDir(g_out).filePath(
        QStringLiteral("stage_overlay_%1x%2.png").arg(size.width()).arg(size.height())));
  }
  // One screen muted: the mark alone in the operator's corner.
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_I);
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_M);
  for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
    screen.setGeometry(QRect(QPoint(0, 0), size));
    QTest::qWait(300);
    screen.grab().save(QDir(g_out).filePath(
        QStringLiteral("stage_muted_%1x%2.png").arg(size.width()).arg(size.height())));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  g_out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_out);
  InstallFontSubstitutions();
  InstallChineseQtTexts(app);

  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  dm.DataModuleCreate();
  // The keys below come faster than an operator's: no rest after a reveal, no minimum roll.
  NoStageKeyTimes(dm);
  // "stage": the stage's hardest scenes alone.
  if (argc > 2 && QString::fromLatin1(argv[2]) == QStringLiteral("stage")) {
    // Questions and messages come up on the stage itself, as in the program.
    TDrawSession session;
    return StageLook(dm, session);
  }
  // "live": a live change on the stage alone.
  if (argc > 2 && QString::fromLatin1(argv[2]) == QStringLiteral("live")) {
    TDrawSession session;
    return LiveChangeLook(dm, session);
  }
  // "named": a named award on the stage and in the item tab alone.
  if (argc > 2 && QString::fromLatin1(argv[2]) == QStringLiteral("named")) {
    TDrawSession session;
    return NamedAwardLook(dm, session);
  }
  // "console": the operator's console beside the stage alone.
  if (argc > 2 && QString::fromLatin1(argv[2]) == QStringLiteral("console")) {
    TDrawSession session;
    return ConsoleLook(dm, session);
  }
  // "void": the results window with voided winners alone.
  if (argc > 2 && QString::fromLatin1(argv[2]) == QStringLiteral("void")) {
    TDrawSession session;
    return ResultsVoidLook(dm, session);
  }

  TMainForm main;
  {
    // One task drawn, so the state column shows its date and winners.
    QDir().mkpath(Q(paths::LuckFileDir()));
    QFile winners(Q(paths::WinnerFilePath(1001, 1001)));
    if (winners.open(QIODevice::WriteOnly)) winners.write("id name\r\n1 a\r\n2 b\r\n3 c\r\n");
    winners.close();
    main.RefreshTaskStates();
  }
  Save(&main, QStringLiteral("main_window"));
  {
    TShowCheckForm check(&main);
    check.Check(1001, main.LVHeaders->item(0, 0)->text());
    Save(&check, QStringLiteral("show_check"));
  }

  const char* texts[] = {"保存成功!", "可用的提示窗口种类。",
                         "数据库连接失败,file is not a database", "请先选择抽奖项目"};
  for (int k = 0; k < 4; ++k) {
    TMessageForm f;
    f.SetMessage(static_cast<MessageKind>(k), QString::fromUtf8(texts[k]));
    Save(&f, QStringLiteral("message_kind%1").arg(k));
  }
  {
    TMessageForm f;
    f.SetMessage(
        MessageKind::Error,
        QStringLiteral("无法写入文件/home/operator/抽奖/LUCK_FILE/1001_1002.txt：Permission "
                       "denied\n第二行文字\n第三行文字\n第四行文字会被截断吗？第五行"));
    Save(&f, QStringLiteral("message_long"));
  }
  {
    TConfirmDialog d(QStringLiteral(
        "奖项未全部抽取完毕，退出抽奖界面后，本次抽取的结果将不会保存，是否要退出？"));
    Save(&d, QStringLiteral("ask_yes_no"));
  }
  {
    TWarningDialog d(QStringLiteral("该文件不存在！"));
    Save(&d, QStringLiteral("warning"));
  }
  {
    // The save dialog as the results window opens it, in the program's own file dialog, on
    // the data folder (folders and files, with their kinds, sizes and dates).
    QFileDialog d(nullptr, QStringLiteral("请选择文件"), Q(paths::DataRoot()),
                  QStringLiteral("Excel文件 (*.xlsx)"));
    SpeakChinese(d);
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setViewMode(QFileDialog::Detail);
    d.selectFile(QStringLiteral("年会抽奖示例_20271231.xlsx"));
    Save(&d, QStringLiteral("file_dialog_save"));
  }
  {
    TAboutForm about(QString::fromUtf8(kProductName), QString::fromLatin1(kVersionText));
    Save(&about, QStringLiteral("about"));
  }
  {
    THelpForm help;
    Save(&help, QStringLiteral("help"));
  }
  {
    // The configuration window on the example data task, then on the prize wheel.
    TLuckConfigForm config(&main);
    const char* tabs[] = {"base", "items", "import", "sound"};
    for (int node = 0; node < 2; ++node) {
      config.LuckTaskTV->setCurrentItem(config.LuckTaskTV->topLevelItem(node));
      config.LuckTaskTVClick();
      for (int tab = 0; tab < 4; ++tab) {
        config.show();
        config.PageControl1->setCurrentIndex(tab);
        Save(&config, QStringLiteral("config_%1_%2")
                          .arg(node == 0 ? QStringLiteral("data") : QStringLiteral("prob"))
                          .arg(QString::fromLatin1(tabs[tab])));
      }
    }
    config.PageControl1->setCurrentWidget(config.TSBase);
    config.TSBase->CLBColor->showPopup();
    QTest::qWait(150);
    config.screen()->grabWindow(0).save(QDir(g_out).filePath(QStringLiteral("config_colours.png")));
    config.TSBase->CLBColor->hidePopup();
  }
  {
    // The preset-winner editor of a prize item with three entries, and its entry dialog.
    TaskDef def;
    def.taskId = 1004;
    def.items = {{text::G("特等奖"), 5, 1, text::G("汽车")}};
    def.title = text::G("手机号码 姓名 部门 工号");
    const char* people[][3] = {{"张三丰", "研发部", "A1001"},
                               {"李小龙", "市场部", "A1002"},
                               {"王重阳", "财务部", "A1003"},
                               {"欧阳锋", "行政部", "A1004"}};
    for (int i = 0; i < 4; ++i)
      def.candidates.push_back(std::to_string(13800138001LL + i) + " " + text::G(people[i][0]) +
                               " " + text::G(people[i][1]) + " " + people[i][2]);
    const std::vector<int> ids = BuildTask(dm, def);
    WritePresets(1004, ids[0], {def.candidates[2], def.candidates[0], def.candidates[3]});
    TLuckCheatForm editor;
    if (editor.SetUp({1004, text::G("年会抽奖"), ids[0], text::G("特等奖"),
                      paths::DrawDataPath(1004), 5}) != 1)
      return 6;
    editor.SGLuckId->selectRow(2);
    Save(&editor, QStringLiteral("preset_editor"));
    TLuckCheatAddForm entry;
    entry.SetInputs(text::G("手机号码"), paths::DrawDataPath(1004), &editor.List());
    entry.show();
    entry.EdtInPut->setText(QStringLiteral("13800138002"));
    Save(&entry, QStringLiteral("preset_entry"));
    entry.hide();
    entry.SetInputs(text::G("身份证号码或者手机号码"), paths::DrawDataPath(1004), nullptr);
    Save(&entry, QStringLiteral("preset_entry_long_head"));
  }

  {
    // The rules sections on the example data task: its first prize only for two
    // departments, at most two each; at most five per department over the task; the winners
    // of the task above and two lists of ids left out.
    std::vector<config::TItemRow> items;
    std::string error;
    config::SelectItems(1001, items, error);
    TTaskRules rules;
    if (!items.empty())
      rules.Items = {TItemRules{
          items[0].ItemId,
          {{text::G("部门"), TConditionKind::OneOf, {text::G("市场部"), text::G("研发部")}}},
          {text::G("部门"), 2}}};
    if (!rules.Items.empty()) rules.Items[0].ExcludeIds = {"9001", "9002"};
    rules.TaskQuota = {text::G("部门"), 5};
    rules.ExcludeTasks = {1004};
    rules.ExcludeIds = {"9001", "9002", "9003"};
    if (!config::SaveRules(1001, rules, error)) return 7;
    db::ExecSql(dm.ARryPub, "update LuckTask set TaskName=? where TaskId=1004",
                {text::G("午宴抽奖")}, error);
    main.LoadTaskList();
    TLuckConfigForm config(&main);
    config.LuckTaskTV->setCurrentItem(config.LuckTaskTV->topLevelItem(0));
    config.LuckTaskTVClick();
    config.show();
    config.PageControl1->setCurrentWidget(config.TSItem);
    Save(&config, QStringLiteral("config_item_rules"));
    config.PageControl1->setCurrentWidget(config.TSBase);
    Save(&config, QStringLiteral("config_task_rules"));
  }

  // Messages are printed, questions answered yes: the pictures are taken without a person.
  UnattendedDialogProvider printing([](const QString& line) { qInfo("%s", qPrintable(line)); });
  SetDialogProvider(&printing);
  {
    // The editor as 指定中奖 opens it over the configuration window, on the example task.
    TLuckConfigForm config(&main);
    config.SetPresetEditorOpener(OpenPresetEditorFromConfig);
    config.show();
    config.TSItem->LBItem->setCurrentRow(1);
    config.TSItem->LBItemClick();
    QTimer::singleShot(400, [&] {
      if (auto* editor = qobject_cast<TLuckCheatForm*>(QApplication::activeModalWidget())) {
        editor->screen()->grabWindow(0).save(
            QDir(g_out).filePath(QStringLiteral("preset_editor_over_config.png")));
        editor->close();
      }
    });
    config.TSItem->BntCheat->click();
  }
  const QString size = QStringLiteral("_%1x%2")
                           .arg(main.screen()->size().width())
                           .arg(main.screen()->size().height());
  auto full = [&](QWidget* w, const QString& name) {
    ShowOnWholeScreen(w);
    Save(w, name + size);
  };
  // The data draw through every state: Ready, Rolling, the landing frame, each batch
  // revealed, and the summary once finished.
  // The program's one draw session, as the main window lends it to each window.
  TDrawSession session;
  auto dataSeries = [&](int taskId, uint32_t seed, const QString& prefix) {
    TGetLuckMainForm screen(session, nullptr, seed);
    if (screen.SetUpDraw(taskId) != 1) return false;
    full(&screen, prefix + QStringLiteral("_ready"));
    if (prefix == QStringLiteral("draw")) {
      // The hall's number typed on the Ready screen, under the proof line.
      for (Qt::Key k : {Qt::Key_2, Qt::Key_0, Qt::Key_2, Qt::Key_6})
        QTest::keyClick(screen.EKeyCtrl, k);
      full(&screen, prefix + QStringLiteral("_ready_number"));
    }
    int batch = 0;
    while (screen.Engine().state() != TDataDraw::State::Finished && batch < 12) {
      ++batch;
      screen.EKeyCtrlKeyPress();
      QApplication::processEvents();  // the selection
      for (int i = 0; i < 3; ++i) screen.RollTick();
      if (batch == 1) full(&screen, prefix + QStringLiteral("_rolling"));
      screen.EKeyCtrlKeyPress();
      if (batch == 1) full(&screen, prefix + QStringLiteral("_landing"));
      screen.ShowReveal();
      full(&screen, prefix + QStringLiteral("_batch%1").arg(batch));
      if (screen.Celebration->Running()) {
        // The fireworks in the air, a moment after the reveal.
        QTest::qWait(900);
        full(&screen, prefix + QStringLiteral("_celebration%1").arg(batch));
        screen.Celebration->Stop();
      }
    }
    // The grand prize's moment ends with the next key; the summary follows the end.
    if (screen.Stage().GrandMoment()) screen.EKeyCtrlKeyPress();
    screen.ShowSummary();
    full(&screen, prefix + QStringLiteral("_finished"));
    if (prefix == QStringLiteral("draw")) {
      // The first of the last batch absent (Q, 1, Yes), replaced, and the summary again.
      QTest::keyClick(screen.EKeyCtrl, Qt::Key_Q);
      QTest::keyClick(screen.EKeyCtrl, Qt::Key_1);
      if (screen.Stage().Phase() == TStagePhase::Replacing) {
        screen.EKeyCtrlKeyPress();
        screen.ShowReveal();
        screen.ShowSummary();
        full(&screen, prefix + QStringLiteral("_finished_absent"));
      }
    }
    return true;
  };
  auto probSeries = [&](int taskId, const QString& prefix) {
    TGetLuckProdForm screen(session, nullptr, 99u);
    if (screen.SetUpDraw(taskId) != 1) return false;
    screen.SBeginClick();
    screen.RollTick();
    full(&screen, prefix + QStringLiteral("_rolling"));
    bool lost = false, won = false;
    for (int press = 0; press < 400 && !(lost && won); ++press) {
      if (press > 0) {
        screen.SBeginClick();
        screen.RollTick();
      }
      screen.SContinueClick();
      if (screen.WonItem() < 0 && !lost) {
        lost = true;
        full(&screen, prefix + QStringLiteral("_lost"));
      } else if (screen.WonItem() >= 0 && !won) {
        won = true;
        full(&screen, prefix + QStringLiteral("_won"));
      }
    }
    return true;
  };
  if (!dataSeries(1001, 20261208u, QStringLiteral("draw"))) return 21;
  if (!probSeries(1002, QStringLiteral("prob"))) return 22;
  {
    // Names as ids, in one label.
    TaskDef def;
    def.taskId = 1010;
    def.idType = 1;
    def.hideBegin = 3;
    def.hideEnd = 4;
    def.fontColor = "clYellow";
    def.remainText = text::G("请按回车键开始抽奖");
    def.items = {{text::G("幸运奖"), 6, 3, text::G("精美礼品")}};
    for (const char* n : {"张三丰", "李小龙", "王重阳", "欧阳锋", "黄药师", "周伯通", "郭靖",
                          "黄蓉", "司马相如", "慕容复"})
      def.candidates.push_back(text::G(n) + text::G(" 研发部"));
    def.title = text::G("姓名 部门");
    BuildTask(dm, def);
    if (!dataSeries(1010, 7u, QStringLiteral("names"))) return 23;
  }
  {
    // Long texts: a 30-character title at size 72, long prize names with pictures, five
    // columns per candidate, and batches of 1, 3 and 12.
    const QString cup = QDir(g_out).filePath(QStringLiteral("prize.png"));
    QImage picture(480, 360, QImage::Format_RGB32);
    QPainter p(&picture);
    QLinearGradient g(0, 0, 480, 360);
    g.setColorAt(0, QColor(250, 220, 120));
    g.setColorAt(1, QColor(190, 40, 40));
    p.fillRect(picture.rect(), g);
    p.setPen(Qt::white);
    p.setFont(UiFont(QStringLiteral("黑体"), 90, true));
    p.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("奖品"));
    p.end();
    picture.save(cup);
    const std::string cupPath = cup.toStdString();
    TaskDef def;
    def.taskId = 1011;
    def.hideBegin = 4;
    def.hideEnd = 7;
    def.remainText =
        text::G("请各位来宾保持安静，主持人按下回车键后即开始抽取本轮的幸运观众，祝大家好运");
    def.items = {{text::G("特别贡献奖（年度最佳团队代表）"), 1, 1,
                  text::G("华为MateBook X Pro 笔记本电脑一台及配套扩展坞"), cupPath},
                 {text::G("一等奖（各地分公司员工专属）"), 3, 3,
                  text::G("五星级海岛度假酒店双人三晚套餐"), cupPath},
                 {text::G("二等奖"), 12, 12, text::G("智能扫地机器人")}};
    const char* names[] = {"张三丰", "李小龙", "王重阳", "欧阳锋",
                           "黄药师", "周伯通", "郭靖",   "黄蓉"};
    const char* depts[] = {"研发中心", "市场营销部", "财务共享中心", "人力资源部"};
    const char* sites[] = {"北京总部", "上海分公司", "深圳研发基地", "成都分公司"};
    for (int i = 0; i < 200; ++i)
      def.candidates.push_back(std::to_string(13900000000LL + 7919LL * i) + " " +
                               text::G(names[i % 8]) + " " + text::G(depts[i % 4]) + " " +
                               text::G(sites[(i / 4) % 4]) + " " + text::G("高级工程师"));
    def.title = text::G("手机号 姓名 部门 地点 职务");
    BuildTask(dm, def);
    std::string err;
    db::ExecSql(dm.ARryPub, "update LuckTask set MainTitle=?, FontSize=? where TaskId=?",
                {text::G("二〇二六年度集团总部暨各地分公司员工新春联欢晚会幸运大抽奖活动"),
                 db::Value(int64_t{72}), db::Value(int64_t{1011})},
                err);
    // Photos for every other candidate: a batch shows some winners with and some without.
    const QString photoDir =
        QString::fromStdString(paths::U8(paths::NativePath(photos::PhotoDir(1011))));
    QDir().mkpath(photoDir);
    for (int i = 0; i < 200; i += 2) {
      QImage face(480, 600, QImage::Format_RGB32);
      QPainter fp(&face);
      fp.setRenderHint(QPainter::Antialiasing);
      QLinearGradient bg(0, 0, 0, 600);
      bg.setColorAt(0, QColor::fromHsv((i * 37) % 360, 60, 230));
      bg.setColorAt(1, QColor::fromHsv((i * 37) % 360, 90, 150));
      fp.fillRect(face.rect(), bg);
      fp.setPen(Qt::NoPen);
      fp.setBrush(QColor(250, 222, 196));
      fp.drawEllipse(QPoint(240, 230), 110, 130);
      fp.setBrush(QColor::fromHsv((i * 53) % 360, 140, 110));
      fp.drawEllipse(QRect(60, 400, 360, 400));
      fp.setBrush(QColor(60, 40, 30));
      fp.drawChord(QRect(125, 95, 230, 200), 0, 180 * 16);
      fp.end();
      const std::string id = std::to_string(13900000000LL + 7919LL * i);
      face.save(QDir(photoDir).filePath(QString::fromStdString(id) + QStringLiteral(".jpg")));
    }
    if (!dataSeries(1011, 7u, QStringLiteral("long"))) return 24;

    TaskDef prob;
    prob.taskId = 1012;
    prob.orderBy = 1;
    prob.hideBegin = 6;
    prob.items = {{text::G("特等奖（现场幸运观众）"), 2, 1,
                   text::G("华为MateBook X Pro 笔记本电脑"), cupPath},
                  {text::G("一等奖"), 1, 1, text::G("海岛度假双人套餐")},
                  {text::G("二等奖"), 1, 1, ""}};
    BuildTask(dm, prob);
    db::ExecSql(dm.ARryPub, "update LuckTask set MainTitle=?, FontSize=? where TaskId=?",
                {text::G("二〇二六年度集团总部暨各地分公司员工新春联欢晚会幸运大转盘活动"),
                 db::Value(int64_t{72}), db::Value(int64_t{1012})},
                err);
    if (!probSeries(1012, QStringLiteral("long_prob"))) return 25;

    // The task's own picture: a light one, where the roll needs the band most.
    const QString photo = QDir(g_out).filePath(QStringLiteral("stage.jpg"));
    QImage stage(1600, 900, QImage::Format_RGB32);
    QPainter sp(&stage);
    QLinearGradient sky(0, 0, 1600, 900);
    sky.setColorAt(0, QColor(235, 240, 250));
    sky.setColorAt(1, QColor(120, 160, 220));
    sp.fillRect(stage.rect(), sky);
    sp.setBrush(QColor(255, 255, 255, 140));
    sp.setPen(Qt::NoPen);
    for (int i = 0; i < 12; ++i) sp.drawEllipse(QPoint(130 * i + 40, 200 + (i % 4) * 150), 90, 90);
    sp.end();
    stage.save(photo);
    TaskDef own;
    own.taskId = 1013;
    own.mainImage = photo.toStdString();
    own.fontColor = "clNavy";
    own.remainText = text::G("按回车键开始，再按回车键停止");
    own.items = {{text::G("一等奖"), 1, 1, text::G("笔记本电脑")}, {text::G("二等奖"), 3, 3, ""}};
    for (int i = 0; i < 50; ++i)
      own.candidates.push_back(std::to_string(13800000000LL + 104729LL * i) + " " +
                               text::G(names[i % 8]));
    BuildTask(dm, own);
    if (!dataSeries(1013, 3u, QStringLiteral("picture"))) return 26;

    // An HR department's list: 工号 that are no numbers, the name second, three more columns;
    // batches of 30 and 20 in lines, three on cards, and the grand prize alone at the end.
    TaskDef hr;
    hr.taskId = 1014;
    hr.title = text::G("工号 姓名 部门 分公司 手机");
    hr.items = {{text::G("三等奖"), 30, 30, text::G("电饭煲")},
                {text::G("二等奖"), 20, 20, text::G("扫地机器人")},
                {text::G("一等奖"), 3, 3, text::G("笔记本电脑")},
                {text::G("特等奖"), 1, 1, text::G("新能源汽车一辆"), cupPath}};
    const char* hrNames[] = {"欧阳娜娜", "李雷", "韩梅梅", "司马相如",
                             "王芳",     "张伟", "刘洋",   "陈静"};
    for (int i = 0; i < 300; ++i)
      hr.candidates.push_back("HR" + std::to_string(20230000 + i) + " " + text::G(hrNames[i % 8]) +
                              " " + text::G(depts[i % 4]) + " " + text::G(sites[(i / 4) % 4]) +
                              " " + std::to_string(13800000000LL + 7919LL * i));
    BuildTask(dm, hr);
    if (!dataSeries(1014, 11u, QStringLiteral("hr"))) return 27;
    TStageColumnsDlg columns(1014);
    if (columns.Load()) Save(&columns, QStringLiteral("stage_columns"));
    TMessageForm summary;
    summary.SetMessage(
        MessageKind::Information,
        QStringLiteral("已添加抽奖项目[2027新春年会幸运大抽奖（总部及各分公司）]，序号1004（原序号"
                       "1001已被占用）：奖项12个，名单2000人，预设3人，照片1998张，图片13张，背景"
                       "音乐"));
    Save(&summary, QStringLiteral("message_package_summary"));
  }
  {
    // The results window over winner files of the example party task: 12, 3 and 1,200
    // winners, the last more than the grid shows.
    TArrLuckItem items;
    int32_t count = 0, sum = 0;
    std::string err;
    if (!LoadLuckItems(1001, items, count, sum, err) || items.size() < 3) return 6;
    const std::vector<std::string> people = ExampleCandidates(1215);
    auto winners = [&](size_t k, size_t from, size_t n) {
      std::string content = text::G("手机号码 姓名 部门") + "\r\n";
      for (size_t i = from; i < from + n; ++i) content += people[i] + "\r\n";
      WriteAll(paths::NativePath(paths::WinnerFilePath(1001, items[k].ItemId)), content);
    };
    winners(0, 0, 12);
    winners(1, 12, 3);
    winners(2, 15, 1200);
    TQueryForm query(session);
    if (query.SetUpQuery(1001) != 1) return 7;
    Save(&query, QStringLiteral("query_winners"));
    // Two prizes claimed, one at a desk phone's record and one by 领取 here.
    WriteAll(paths::NativePath(claims::ClaimFilePath(1001, claims::ResultsDrawKey(1001))),
             "CLAIM\t1001\t" + claims::ResultsDrawKey(1001) + "\r\n" +
                 std::string(text::FirstField(people[1])) + "\t" + std::to_string(items[0].ItemId) +
                 text::G("\t2026-12-09 21:42:10\t领奖台1\r\n"));
    query.SGLuckId->selectRow(4);
    query.SGLuckId->setCurrentCell(4, 0);
    query.BtnClaimClick();
    Save(&query, QStringLiteral("query_claims"));
    // 查找 by a name.
    query.EdtFindId->setText(Q(text::SplitFields(people[8])[1]));
    query.FindWinner();
    Save(&query, QStringLiteral("query_search"));
    query.LBItem->setCurrentRow(2);
    Save(&query, QStringLiteral("query_advice"));
    std::filesystem::remove(paths::NativePath(paths::WinnerFilePath(1001, items[1].ItemId)));
    query.LBItem->setCurrentRow(1);
    Save(&query, QStringLiteral("query_not_drawn"));
    query.move(0, 0);
    query.resize(1000, 700);
    Save(&query, QStringLiteral("query_resized"));
  }
  {
    // A draw left after three batches (as after a kill) and continued on a new screen.
    TaskDef def;
    def.taskId = 1020;
    def.items = {{text::G("一等奖"), 2, 1, text::G("笔记本电脑")}, {text::G("二等奖"), 6, 3, ""}};
    for (int i = 0; i < 40; ++i)
      def.candidates.push_back(std::to_string(13912340000LL + i * 7) + text::G(" 员工"));
    BuildTask(dm, def);
    {
      TGetLuckMainForm left(session, nullptr, 5u);
      if (left.SetUpDraw(1020) != 1) return 6;
      for (int b = 0; b < 3; ++b) {
        left.EKeyCtrlKeyPress();
        QTest::qWait(50);
        left.RollTick();
        left.EKeyCtrlKeyPress();
      }
    }
    TGetLuckMainForm screen(session, nullptr, 6u);
    if (screen.SetUpDraw(1020) != 1) return 7;
    full(&screen, QStringLiteral("draw_resumed"));
  }
  {
    TConfirmDialog resume(QStringLiteral("上次抽奖尚未完成(已抽出5名),是否继续上次的抽奖?"));
    Save(&resume, QStringLiteral("ask_resume"));
    TConfirmDialog leave(
        QStringLiteral("奖项未全部抽取完毕，退出抽奖界面后，本次抽取的结果将不会保存，"
                       "是否要退出？"),
        nullptr, Answer::No);
    Save(&leave, QStringLiteral("ask_leave_default_no"));
  }
  SetDialogProvider(nullptr);
  {
    // The leave question on the stage, between two batches.
    TaskDef def;
    def.taskId = 1030;
    def.items = {{text::G("一等奖"), 2, 1, text::G("笔记本电脑")}};
    for (int i = 0; i < 30; ++i)
      def.candidates.push_back(std::to_string(13912340000LL + i * 7) + text::G(" 员工") +
                               std::to_string(i));
    BuildTask(dm, def);
    TGetLuckMainForm screen(session, nullptr, 4u);
    if (screen.SetUpDraw(1030) == 1) {
      ShowOnWholeScreen(&screen);
      screen.show();
      (void)QTest::qWaitForWindowExposed(&screen);
      screen.EKeyCtrlKeyPress();
      QApplication::processEvents();
      screen.RollTick();
      screen.EKeyCtrlKeyPress();
      screen.ShowReveal();
      screen.Celebration->Stop();
      QTimer::singleShot(400, &screen, [&] {
        screen.screen()->grabWindow(0).save(
            QDir(g_out).filePath(QStringLiteral("stage_ask_leave") + size + ".png"));
        QTest::keyClick(screen.EKeyCtrl, Qt::Key_N);
      });
      screen.SOutClick();
      // The last batch, and the end told as a banner over the title.
      screen.EKeyCtrlKeyPress();
      QApplication::processEvents();
      screen.RollTick();
      screen.EKeyCtrlKeyPress();
      screen.ShowReveal();
      // The grand prize's moment, with nothing over it; the next key tells the end.
      screen.Celebration->Stop();
      full(&screen, QStringLiteral("stage_grand_moment"));
      screen.EKeyCtrlKeyPress();
      QTest::qWait(300);
      screen.screen()->grabWindow(0).save(
          QDir(g_out).filePath(QStringLiteral("stage_finished_banner") + size + ".png"));
      QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
    }
  }
  {
    // As the program runs it: the screen modal over the main window, Enter after Enter, and
    // the real message box at the end over the whole screen.
    main.SetDrawScreenFactory(MakeDrawScreen);
    main.LVHeaders->selectRow(0);
    auto* driver = new QTimer;
    int step = 0;
    QObject::connect(driver, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      auto* screen = qobject_cast<TGetLuckMainForm*>(modal);
      // Every question and message comes up on the screen itself.
      if (screen && screen->Prompt()->IsOpen()) {
        const bool question = screen->Prompt()->CurrentStyle() == TStagePrompt::Style::Question;
        // The task was drawn above: its results move to the history when this draw starts.
        if (question || ++step > 10) {
          screen->screen()->grabWindow(0).save(
              QDir(g_out).filePath((question ? QStringLiteral("stage_ask_results")
                                             : QStringLiteral("stage_finished_banner")) +
                                   size + ".png"));
          QLineEdit* keys = screen->EKeyCtrl;
          QTimer::singleShot(0, keys, [keys] { QTest::keyClick(keys, Qt::Key_Return); });
        }
        return;
      }
      if (screen) {
        // Finished: once the end has been told and the summary stands; the grand prize's
        // moment waits for a key.
        if (screen->Engine().state() == TDataDraw::State::Finished &&
            !screen->Stage().GrandMoment() && screen->Stage().Phase() != TStagePhase::Landing) {
          if (!screen->PSummary->isVisible()) return;
          QTest::keyClick(screen->EKeyCtrl, Qt::Key_Escape);
          driver->stop();
          return;
        }
        // From a slot of its own: a timer never fires again while its slot runs, and the
        // message box at the end runs its own loop inside this key press.
        QLineEdit* keys = screen->EKeyCtrl;
        QTimer::singleShot(0, keys, [keys] { QTest::keyClick(keys, Qt::Key_Return); });
      }
    });
    driver->start(100);
    main.SBtnGetLuckClick();
    delete driver;
  }
  {
    // The winner chosen to be marked absent (Q, ↓): in a batch too large for cards its line
    // is marked and in view; on the band its card is framed; on the grand prize's screen too.
    // Then the grand prize's moment ends with the next key, and the end is told.
    TaskDef def;
    def.taskId = 1040;
    def.title = text::G("工号 姓名 部门 分公司 手机");
    def.items = {{text::G("二等奖"), 20, 20, text::G("扫地机器人")},
                 {text::G("一等奖"), 3, 3, text::G("笔记本电脑")},
                 {text::G("特等奖"), 1, 1, text::G("新能源汽车一辆")}};
    const char* names[] = {"欧阳娜娜", "李雷", "韩梅梅", "司马相如",
                           "王芳",     "张伟", "刘洋",   "陈静"};
    const char* depts[] = {"研发中心", "市场营销部", "财务共享中心", "人力资源部"};
    for (int i = 0; i < 120; ++i)
      def.candidates.push_back("HR" + std::to_string(20230000 + i) + " " + text::G(names[i % 8]) +
                               " " + text::G(depts[i % 4]) + text::G(" 上海分公司 ") +
                               std::to_string(13800000000LL + 7919LL * i));
    BuildTask(dm, def);
    TGetLuckMainForm screen(session, nullptr, 5u);
    if (screen.SetUpDraw(1040) == 1) {
      ShowOnWholeScreen(&screen);
      auto batch = [&] {
        screen.EKeyCtrlKeyPress();
        QApplication::processEvents();
        screen.RollTick();
        screen.EKeyCtrlKeyPress();
        screen.ShowReveal();
        screen.Celebration->Stop();
      };
      auto choose = [&](int down, const QString& name) {
        QTest::keyClick(screen.EKeyCtrl, Qt::Key_Q);
        for (int i = 0; i < down; ++i) QTest::keyClick(screen.EKeyCtrl, Qt::Key_Down);
        full(&screen, name);
        QTest::keyClick(screen.EKeyCtrl, Qt::Key_Escape);
      };
      batch();
      choose(13, QStringLiteral("stage_choice_lines"));
      batch();
      choose(1, QStringLiteral("stage_choice_card"));
      batch();
      full(&screen, QStringLiteral("stage_grand"));
      choose(0, QStringLiteral("stage_choice_grand"));
      screen.EKeyCtrlKeyPress();
      QTest::qWait(300);
      screen.screen()->grabWindow(0).save(
          QDir(g_out).filePath(QStringLiteral("stage_grand_then_end") + size + ".png"));
      QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
    }
    std::string ignored;
    config::SaveStageKeyTimes(1040, TStageKeys{}, ignored);  // as a task never changed
    TStageKeysDlg keys(1040);
    if (keys.Load()) Save(&keys, QStringLiteral("stage_keys"));
  }
  if (const int rc = StageLook(dm, session)) return rc;
  if (const int rc = ConsoleLook(dm, session)) return rc;
  {
    // The import tab after a list of 60 candidates came in from a csv (last, since it
    // replaces the example task's list that the draw pictures use).
    std::string csv = text::G("手机号码,姓名,部门\r\n");
    for (int i = 0; i < 60; ++i)
      csv += "139" + std::to_string(10000000 + i) + text::G(",员工") + std::to_string(i) +
             text::G(",市场部\r\n");
    WriteAll(root.path("candidates.csv"), csv);
    UnattendedDialogProvider answering([](const QString& line) { qInfo("%s", qPrintable(line)); });
    DialogProvider* previous = SetDialogProvider(&answering);
    TLuckConfigForm config(&main);
    config.LuckTaskTV->setCurrentItem(config.LuckTaskTV->topLevelItem(0));
    config.LuckTaskTVClick();
    config.show();
    config.PageControl1->setCurrentWidget(config.TsData);
    config.TsData->CBFileType->setCurrentIndex(1);
    config.TsData->EdtFileName->setText(QString::fromStdString(root.path("candidates.csv")));
    config.TsData->BtnSaveDataClick();
    Save(&config, QStringLiteral("config_data_import_done"));
    SetDialogProvider(previous);
  }
  return 0;
}
