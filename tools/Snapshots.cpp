// Shows each window of the program on the current display and saves a picture of it, for
// looking at the real rendering (run under Xvfb). Usage: tombolix_snapshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "TempRoot.h"
#include "app/MainFrm.h"
#include "db/TombolixDM.h"
#include "records/ExampleTasks.h"
#include "ui/AboutFrm.h"
#include "ui/Fonts.h"
#include "ui/HelpFrm.h"
#include "ui/MessageFrm.h"

namespace {

QString g_out;

void Save(QWidget* w, const QString& name) {
  w->show();
  QTest::qWaitForWindowExposed(w);
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
    f.SetMessage(k, QString::fromUtf8(texts[k]));
    Save(&f, QStringLiteral("message_kind%1").arg(k));
  }
  {
    TMessageForm f;
    f.SetMessage(
        2, QStringLiteral("无法写入文件/home/operator/抽奖/LUCK_FILE/1001_1002.txt：Permission "
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
  return 0;
}
