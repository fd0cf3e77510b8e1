// A draw task with check-in on the LAN for the browser test (checkin_browser_test.py): the
// real service, check-in screen and draw screen under the offscreen platform, stepped by
// lines on the input:
//
//   checkin_stage_fixture DIR
//
// builds the task in DIR/root (drawn from those checked in only), starts check-in on
// 127.0.0.1 and prints "url <address>";
// then answers each input line:
//   shot W H FILE   the check-in screen at W × H saved as FILE (PNG)  → "shot FILE"
//   crowd N         N more people of the list check in                 → "crowd"
//   draw            closes check-in and opens the task's draw screen   → "draw"
//   drawshot FILE   the draw screen saved as FILE (PNG)                → "drawshot FILE"
//   start           Enter: the batch is selected and rolls              → "rolling"
//   reveal          Enter: the batch lands and is revealed              → "revealed"
//   quit
#include <unistd.h>

#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTest>
#include <cstdio>
#include <iostream>
#include <memory>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "core/checkin/CheckinService.h"
#include "core/config/TaskCheckin.h"
#include "core/db/TombolixDB.h"
#include "core/db/TombolixDM.h"
#include "core/net/LanServer.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "gui/checkin/CheckinScreen.h"
#include "gui/checkin/DeskPairFrm.h"
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
  const std::string root = std::string(argv[1]) + "/root/";
  paths::SetDataRoot(root);
  DialogRecorder dialogs;
  TTombolixDataModule dm;
  if (!dm.DataModuleCreate()) return 1;
  TaskDef def;
  def.taskId = 1001;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.title = G("手机号码 姓名 部门");
  def.candidates = {G("13900000000 员工零 销售"), G("13900000001 员工一 财务"),
                    G("13900000002 员工二 技术")};
  // A crowd of names for the wall; every one of them wins, so the phone's owner does.
  const char* kSurnames[] = {"赵", "钱", "孙", "李", "周", "吴", "郑", "王", "冯", "陈"};
  const char* kGiven[] = {"明", "芳", "伟", "静", "磊", "娜", "强", "敏"};
  for (int i = 0; i < 40; ++i)
    def.candidates.push_back(
        std::to_string(13900000100LL + i) + " " +
        G(std::string(kSurnames[i % 10]) + kGiven[i % 8] + kGiven[(i / 8) % 8]) + " " + G("市场"));
  const int people = static_cast<int>(def.candidates.size());
  def.items = {{G("一等奖"), people, people, G("电脑")}};
  BuildTask(dm, def);
  std::string error;
  if (!config::SaveCheckinOnly(def.taskId, true, error)) return 1;
  // The title the hall sees on the check-in screen and the phones.
  if (!db::ExecSql(dm.ARryPub, "update LuckTask set MainTitle=? where TaskId=?",
                   {G("2027新春年会幸运大抽奖"), int64_t{def.taskId}}, error))
    return 1;

  TCheckinService service;
  if (!service.Start(def.taskId, "127.0.0.1", net::FreePort("127.0.0.1", 18700), error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  Say("url " + service.Url());
  service.SetWifi(G("年会签到"), "12345678");  // the hall's line on the screen
  TCheckinScreen screen(service);
  TDrawSession session;
  std::unique_ptr<TGetLuckMainForm> draw;
  std::unique_ptr<TDrawLink> link;  // the phones' board and the prize desks hear the stage
  std::unique_ptr<TDeskPairFrm> desks;

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    std::string line;
    if (!std::getline(std::cin, line) || line == "quit") {
      input.setEnabled(false);
      app.quit();
      return;
    }
    if (line.rfind("shot ", 0) == 0) {
      int w = 0, h = 0;
      char file[4096] = {};
      std::sscanf(line.c_str() + 5, "%d %d %4095s", &w, &h, file);
      screen.resize(w, h);
      screen.Refresh();
      (void)QTest::qWaitFor([&] { return !screen.Sliding(); }, 5000);  // the wall settled
      screen.grab().save(QString::fromUtf8(file), "PNG");
      Say(std::string("shot ") + file);
    } else if (line.rfind("crowd ", 0) == 0) {
      const int n = std::stoi(line.substr(6));
      for (int i = 0; i < n && i < 40; ++i) {
        const std::string& l = def.candidates[static_cast<size_t>(3 + i)];
        const std::vector<std::string> f = text::SplitFields(l);
        service.Desk().CheckIn("10.9.0." + std::to_string(i), f[0], text::GbkToUtf8(f[1]));
      }
      Say("crowd");
    } else if (line.rfind("drawshot ", 0) == 0) {
      const QString file = QString::fromStdString(line.substr(9));
      draw->grab().save(file, "PNG");
      Say("drawshot " + line.substr(9));
    } else if (line == "draw") {
      // As the main window does for a draw of those checked in: check-in closes first.
      service.CloseDesk();
      draw = std::make_unique<TGetLuckMainForm>(session, nullptr, 4242u);
      link = std::make_unique<TDrawLink>(&service, session, def.taskId);
      if (draw->SetUpDraw(def.taskId) != 1) return Say("failed");
      draw->resize(1024, 768);
      draw->show();
      QTest::qWaitForWindowExposed(draw.get());
      Say("draw");
    } else if (line == "deskurl") {
      Say("deskurl " + service.DeskPairUrl());
    } else if (line.rfind("deskshot ", 0) == 0) {
      if (!desks) desks = std::make_unique<TDeskPairFrm>(service);
      desks->show();
      (void)QTest::qWaitForWindowExposed(desks.get());
      desks->ShowState();
      desks->grab().save(QString::fromStdString(line.substr(9)), "PNG");
      Say("deskshot " + line.substr(9));
    } else if (line == "start") {
      QTest::keyClick(draw->EKeyCtrl, Qt::Key_Return);
      QCoreApplication::processEvents();
      Say("rolling");
    } else if (line == "reveal") {
      QTest::keyClick(draw->EKeyCtrl, Qt::Key_Return);
      Say(QTest::qWaitFor([&] { return draw->PLuckNow->isVisible(); }, 5000) ? "revealed"
                                                                             : "failed");
    }
  });
  const int rc = app.exec();
  draw.reset();
  link.reset();
  desks.reset();
  service.Stop();
  return rc;
}
