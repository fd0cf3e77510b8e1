#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinServer.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/checkin/CheckinFrm.h"
#include "gui/checkin/CheckinScreen.h"
#include "gui/checkin/CheckinService.h"

using text::G;

namespace {

class CheckinWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("手机号码 姓名");
    def.candidates = {G("13900000000 员工零"), G("13900000001 员工一"), G("13900000002 员工二")};
    def.items = {{G("一等奖"), 1, 1, ""}};
    BuildTask(m_dm, def);
  }
  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

// A socket listening on 127.0.0.1 at a port the system picks; its port.
int Listen(int& fd) {
  fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(fd, 1);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

}  // namespace

TEST_F(CheckinWindow, StartsOnTheChosenAddressShowsTheCodeAndCountsAndStops) {
  TCheckinService service;
  TCheckinFrm frm(service, 1001, QStringLiteral("年会"));
  frm.show();
  // Every address of the machine is offered, loopback last; a free port is proposed.
  ASSERT_GE(frm.CbAddress->count(), 1);
  EXPECT_EQ(frm.CbAddress->itemText(frm.CbAddress->count() - 1), QStringLiteral("127.0.0.1"));
  EXPECT_GT(frm.SePort->value(), 0);
  EXPECT_EQ(frm.BtnStart->text(), QStringLiteral("开始签到(&B)"));
  EXPECT_FALSE(frm.BtnScreen->isEnabled());

  // A busy port is a clear message and nothing runs.
  int fd = -1;
  const int busy = Listen(fd);
  frm.CbAddress->setCurrentText(QStringLiteral("127.0.0.1"));
  frm.SePort->setValue(busy);
  frm.BtnStart->click();
  ::close(fd);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].second,
            QStringLiteral("端口%1已被其他程序占用，请换一个端口。").arg(busy));
  EXPECT_FALSE(service.Running());

  frm.SePort->setValue(checkin::FreePort("127.0.0.1", 18800));
  frm.BtnStart->click();
  ASSERT_TRUE(service.Running());
  const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(frm.SePort->value());
  EXPECT_EQ(frm.LbUrl->text(), url);
  EXPECT_FALSE(frm.LbQr->pixmap().isNull());
  EXPECT_EQ(frm.BtnStart->text(), QStringLiteral("停止签到(&T)"));
  EXPECT_FALSE(frm.CbAddress->isEnabled());
  EXPECT_EQ(frm.LbState->text(), QStringLiteral("请用手机扫描二维码签到"));
  EXPECT_EQ(frm.LbCount->text(), QStringLiteral("已签到 0 / 3"));

  EXPECT_EQ(service.Desk().CheckIn("10.0.0.1", "13900000001", "员工一").Answer,
            checkin::TAnswer::CheckedIn);
  EXPECT_TRUE(QTest::qWaitFor([&] { return frm.LbCount->text() == "已签到 1 / 3"; }, 3000));

  frm.BtnScreen->click();
  ASSERT_NE(frm.Screen(), nullptr);
  EXPECT_TRUE(frm.Screen()->isVisible());
  EXPECT_TRUE(frm.Screen()->isFullScreen());
  frm.Screen()->resize(1024, 768);
  EXPECT_EQ(frm.Screen()->Frame().size(), QSize(1024, 768));

  frm.BtnStart->click();
  EXPECT_FALSE(service.Running());
  EXPECT_EQ(frm.LbState->text(), QStringLiteral("签到未开始"));
  EXPECT_EQ(frm.LbUrl->text(), QString());
  // The records stay: started again, the count goes on.
  frm.BtnStart->click();
  ASSERT_TRUE(service.Running());
  EXPECT_EQ(frm.LbCount->text(), QStringLiteral("已签到 1 / 3"));
}

TEST_F(CheckinWindow, TheMainWindowOpensItForTheSelectedTask) {
  TMainForm main;
  main.show();
  ASSERT_NE(main.SelectedTask(), nullptr);
  main.SBtnCheckin->click();
  ASSERT_NE(main.CheckinWindow(), nullptr);
  EXPECT_TRUE(main.CheckinWindow()->isVisible());
  EXPECT_EQ(main.CheckinWindow()->property("taskId").toInt(), 1001);
  EXPECT_FALSE(main.Checkin().Running());  // off until the operator starts it
  EXPECT_TRUE(m_dialogs.messages().empty());
}
