// A draw task with the host's remote on the LAN for the browser test (host_browser_test.py):
// the real service, the operator's remote window and the draw screen under the offscreen
// platform, stepped by lines on the input:
//
//   host_remote_fixture DIR
//
// builds the task in DIR/root, starts the server on 127.0.0.1 and prints "url <address>";
// then answers each input line:
//   code              the code the remote window shows                  → "code <digits>"
//   winshot FILE      the remote window saved as FILE (PNG)             → "winshot FILE"
//   draw              opens the task's draw screen with the remote      → "draw"
//   drawshot FILE     the draw screen saved as FILE (PNG)               → "drawshot FILE"
//   wait PHASE        waits (5 s at most) for the stage's phase, one of ready, rolling,
//                     revealed, finished                                         → "phase PHASE" or
//                     "failed"
//   winners           the ids of the batch on the stage's cards         → "winners <id> …"
//   waiting           whether a second host waits                       → "waiting 0|1"
//   refuse            the window's 拒绝                                   → "refused"
//   close             the draw screen closes                            → "closed"
//   quit
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "core/checkin/CheckinService.h"
#include "core/db/TombolixDB.h"
#include "core/db/TombolixDM.h"
#include "core/draw/Stage.h"
#include "core/draw/StageView.h"
#include "core/net/LanServer.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/checkin/HostRemoteFrm.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/ui/Fonts.h"

using text::G;

namespace {

void Say(const std::string& s) {
  std::printf("%s\n", s.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  paths::SetDataRoot(std::string(argv[1]) + "/root/");
  DialogRecorder dialogs;
  TTombolixDataModule dm;
  if (!dm.DataModuleCreate()) return 1;
  TaskDef def;
  def.taskId = 1001;
  def.title = G("手机号码 姓名 部门");
  def.candidates = {G("13900000000 张明 销售"), G("13900000001 李芳 财务"),
                    G("13900000002 王伟 技术"), G("13900000003 赵静 市场"),
                    G("13900000004 钱磊 行政"), G("13900000005 孙娜 技术")};
  def.items = {{G("一等奖"), 2, 2, G("笔记本电脑")}, {G("二等奖"), 2, 2, G("平板电脑")}};
  BuildTask(dm, def);
  std::string error;
  if (!db::ExecSql(dm.ARryPub, "update LuckTask set MainTitle=? where TaskId=?",
                   {G("2027新春年会幸运大抽奖"), int64_t{def.taskId}}, error))
    return 1;

  TCheckinService service;
  if (!service.Start(def.taskId, "127.0.0.1", net::FreePort("127.0.0.1", 18900), error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  Say("url " + service.Url());
  THostRemoteFrm window(service);
  window.resize(420, 620);
  window.show();
  TDrawSession session;
  std::unique_ptr<TGetLuckMainForm> draw;
  std::unique_ptr<TSessionWatch> watch;
  const std::map<std::string, TStagePhase> phases = {{"ready", TStagePhase::Ready},
                                                     {"rolling", TStagePhase::Rolling},
                                                     {"revealed", TStagePhase::Revealed},
                                                     {"finished", TStagePhase::Finished}};

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    std::string line;
    if (!std::getline(std::cin, line) || line == "quit") {
      input.setEnabled(false);
      app.quit();
      return;
    }
    if (line == "code") {
      window.ShowState();
      Say("code " + window.LbCode->text().toStdString());
    } else if (line.rfind("winshot ", 0) == 0) {
      window.ShowState();
      window.grab().save(QString::fromStdString(line.substr(8)), "PNG");
      Say(line);
    } else if (line == "draw") {
      // As the main window does while the server runs.
      draw = std::make_unique<TGetLuckMainForm>(session, nullptr, 4242u);
      watch = std::make_unique<TSessionWatch>(session, &service.Host());
      draw->SetRemote(&service.Host());
      if (draw->SetUpDraw(def.taskId) != 1) return Say("failed");
      draw->resize(1024, 768);
      draw->show();
      (void)QTest::qWaitForWindowExposed(draw.get());
      Say("draw");
    } else if (line.rfind("drawshot ", 0) == 0) {
      draw->grab().save(QString::fromStdString(line.substr(9)), "PNG");
      Say(line);
    } else if (line.rfind("wait ", 0) == 0) {
      const auto p = phases.find(line.substr(5));
      const bool ok = draw && p != phases.end() &&
                      QTest::qWaitFor([&] { return draw->Stage().Phase() == p->second; }, 5000);
      Say(ok ? "phase " + p->first
             : "failed in phase " + std::to_string(draw ? int(draw->Stage().Phase()) : -1));
    } else if (line == "winners") {
      std::string ids;
      for (size_t place : stageview::RevealedPlaces(draw->Engine()))
        ids += " " + draw->Engine().Session().Winners[place].CandidateLine.substr(0, 11);
      Say("winners" + ids);
    } else if (line == "waiting") {
      window.ShowState();
      Say(window.BtnRefuse->isVisible() ? "waiting 1" : "waiting 0");
    } else if (line == "refuse") {
      window.BtnRefuse->click();
      Say("refused");
    } else if (line == "close") {
      static_cast<QDialog*>(draw.get())->done(0);
      draw.reset();
      watch.reset();
      Say("closed");
    }
  });
  const int rc = app.exec();
  draw.reset();
  service.Stop();
  return rc;
}
