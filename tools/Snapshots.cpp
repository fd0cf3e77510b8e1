// Shows each window of the program on the current display and saves a picture of it, for
// looking at the real rendering (run under Xvfb). Usage: tombolix_snapshots OUTDIR
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QTest>
#include <QTimer>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "app/MainFrm.h"
#include "config/LuckConfigFrm.h"
#include "db/TombolixDM.h"
#include "draw/DrawScreenArt.h"
#include "draw/DrawScreens.h"
#include "draw/GetLuckMainFrm.h"
#include "draw/GetLuckProdFrm.h"
#include "records/ExampleTasks.h"
#include "records/Global.h"
#include "text/Gbk.h"
#include "ui/AboutFrm.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/HelpFrm.h"
#include "ui/MessageFrm.h"

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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  g_out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_out);
  InstallFontSubstitutions();

  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  dm.DataModuleCreate();

  TMainForm main;
  Save(&main, QStringLiteral("main_window"));

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
        MessageKind::Error, QStringLiteral("无法写入文件/home/operator/抽奖/LUCK_FILE/1001_1002.txt：Permission "
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
    TAboutForm about(QStringLiteral("Qarvo抽奖软件"), QStringLiteral("V2.7"));
    Save(&about, QStringLiteral("about"));
  }
  {
    THelpForm help;
    Save(&help, QStringLiteral("help"));
  }
  {
    // The configuration window on the example data task, then on the prize wheel.
    TLuckConfigForm config(&main);
    const char* tabs[] = {"base", "items", "import"};
    for (int node = 0; node < 2; ++node) {
      config.LuckTaskTV->setCurrentItem(config.LuckTaskTV->topLevelItem(node));
      config.LuckTaskTVClick();
      for (int tab = 0; tab < 3; ++tab) {
        config.show();
        config.PageControl1->setCurrentIndex(tab);
        Save(&config, QStringLiteral("config_%1_%2")
                          .arg(node == 0 ? QStringLiteral("data") : QStringLiteral("prob"))
                          .arg(QString::fromLatin1(tabs[tab])));
      }
    }
    config.CLBColor->showPopup();
    QTest::qWait(150);
    config.screen()->grabWindow(0).save(QDir(g_out).filePath(QStringLiteral("config_colours.png")));
    config.CLBColor->hidePopup();
  }

  // Messages are printed, questions answered yes: the pictures are taken without a person.
  UnattendedDialogProvider printing([](const QString& line) { qInfo("%s", qPrintable(line)); });
  SetDialogProvider(&printing);
  const QString size = QStringLiteral("_%1x%2")
                           .arg(main.screen()->size().width())
                           .arg(main.screen()->size().height());
  auto full = [&](QWidget* w, const QString& name) {
    ShowOnWholeScreen(w);
    Save(w, name + size);
  };
  {
    // The example party draw: numeric ids, middle digits masked.
    global::CurrentTaskId = 1001;
    TGetLuckMainForm screen(nullptr, 20261208u);
    if (screen.SetUpDraw() != 1) return 3;
    full(&screen, QStringLiteral("draw_ready"));
    screen.SBeginClick();
    QTest::qWait(50);
    for (int i = 0; i < 3; ++i) screen.RollTick();
    full(&screen, QStringLiteral("draw_rolling"));
    screen.EKeyCtrlKeyPress();  // 一等奖 complete
    for (int b = 0; b < 2; ++b) {
      screen.EKeyCtrlKeyPress();
      QTest::qWait(50);
      screen.RollTick();
      screen.EKeyCtrlKeyPress();
    }
    for (int i = 0; i < 40; ++i) screen.TMListTimer();
    full(&screen, QStringLiteral("draw_between"));
    screen.EKeyCtrlKeyPress();
    QTest::qWait(50);
    screen.EKeyCtrlKeyPress();
    for (int i = 0; i < 60; ++i) screen.TMListTimer();
    full(&screen, QStringLiteral("draw_finished"));
  }
  {
    // Names as ids, in one label.
    TaskDef def;
    def.taskId = 1003;
    def.idType = 1;
    def.hideBegin = 3;
    def.hideEnd = 4;
    def.fontColor = "clYellow";
    def.remainText = text::G("请按回车键开始抽奖");
    def.items = {{text::G("幸运奖"), 6, 6, text::G("精美礼品")}};
    for (const char* n :
         {"张三丰", "李小龙", "王重阳", "欧阳锋", "黄药师", "周伯通", "郭靖", "黄蓉"})
      def.candidates.push_back(text::G(n) + text::G(" 研发部"));
    def.title = text::G("姓名 部门");
    BuildTask(dm, def);
    global::CurrentTaskId = 1003;
    TGetLuckMainForm screen(nullptr, 7u);
    if (screen.SetUpDraw() != 1) return 4;
    screen.SBeginClick();
    QTest::qWait(50);
    screen.RollTick();
    full(&screen, QStringLiteral("draw_names_rolling"));
    screen.EKeyCtrlKeyPress();
    full(&screen, QStringLiteral("draw_names_revealed"));
  }
  {
    global::CurrentTaskId = 1002;
    TGetLuckProdForm screen(nullptr, 99u);
    if (screen.SetUpDraw() != 1) return 5;
    screen.SBeginClick();
    screen.RollTick();
    full(&screen, QStringLiteral("prob_rolling"));
    screen.SContinueClick();
    full(&screen, QStringLiteral("prob_result"));
  }
  {
    // A draw left after two batches (as after a kill) and continued on a new screen.
    TaskDef def;
    def.taskId = 1004;
    def.items = {{text::G("一等奖"), 2, 1, text::G("笔记本电脑")}, {text::G("二等奖"), 6, 3, ""}};
    for (int i = 0; i < 40; ++i)
      def.candidates.push_back(std::to_string(13912340000LL + i * 7) + text::G(" 员工"));
    BuildTask(dm, def);
    global::CurrentTaskId = 1004;
    {
      TGetLuckMainForm left(nullptr, 5u);
      if (left.SetUpDraw() != 1) return 6;
      for (int b = 0; b < 3; ++b) {
        left.EKeyCtrlKeyPress();
        QTest::qWait(50);
        left.RollTick();
        left.EKeyCtrlKeyPress();
      }
    }
    TGetLuckMainForm screen(nullptr, 6u);
    if (screen.SetUpDraw() != 1) return 7;
    for (int i = 0; i < 40; ++i) screen.TMListTimer();
    full(&screen, QStringLiteral("draw_resumed"));
  }
  {
    TConfirmDialog resume(QStringLiteral("上次抽奖尚未完成(已抽出5名),是否继续上次的抽奖?"));
    Save(&resume, QStringLiteral("ask_resume"));
    TConfirmDialog leave(QStringLiteral("奖项未全部抽取完毕，退出抽奖界面后，本次抽取的结果将不会保存，"
                                        "是否要退出？"),
                         nullptr, Answer::No);
    Save(&leave, QStringLiteral("ask_leave_default_no"));
  }
  SetDialogProvider(nullptr);
  {
    // As the program runs it: the screen modal over the main window, Enter after Enter, and
    // the real message box at the end over the whole screen.
    main.SetDrawScreenFactory(MakeDrawScreen);
    main.LVHeaders->selectRow(0);
    auto* driver = new QTimer;
    int step = 0;
    QObject::connect(driver, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      // The task was drawn above: its results move to the history when this draw ends.
      if (auto* question = qobject_cast<TConfirmDialog*>(modal)) {
        Save(question, QStringLiteral("ask_results"));
        question->BtnYes->click();
        return;
      }
      if (auto* box = qobject_cast<TMessageForm*>(modal)) {
        if (++step > 10) {
          box->screen()->grabWindow(0).save(
              QDir(g_out).filePath(QStringLiteral("draw_finished_message") + size + ".png"));
          box->BtnOk->click();
        }
        return;
      }
      if (auto* screen = qobject_cast<TGetLuckMainForm*>(modal)) {
        if (screen->Engine().state() == TDataDraw::State::Finished) {
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
  return 0;
}
