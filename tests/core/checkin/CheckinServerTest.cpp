// The port's sharing as POSIX systems know it (SO_REUSEPORT); Windows binds it exclusively.
#ifndef _WIN32
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinServer.h"
#include "core/text/Gbk.h"

using namespace checkin;

namespace {

// errno of binding a socket that asks to share the port (as a second server would), 0
// when the system let it.
int BindSharing(uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  ::setsockopt(s, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int err = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : errno;
  ::close(s);
  return err;
}

// The page fetched on a connection the server closes first (which leaves the server's
// side of it waiting out its time, on the port); whether it answered 200.
bool FetchClosedByServer(uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const char ask[] = "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    (void)!::write(s, ask, sizeof ask - 1);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(s, buf, sizeof buf)) > 0) answer.append(buf, static_cast<size_t>(n));
  }
  ::close(s);
  return answer.rfind("HTTP/1.1 200", 0) == 0;
}

}  // namespace

// The port is the server's alone while it runs (no other program can take a share of the
// phones' connections), and it can be started again on it at once after a stop.
TEST(CheckinServer, OwnsItsPortAloneAndRestartsOnItAtOnce) {
  TempRoot root;
  TCheckinDesk desk;
  TCheckinTask task;
  task.TaskId = 9;
  task.TitleLine = text::G("手机号码 姓名");
  task.Lines = {text::G("13800000001 张三")};
  task.FilePath = root.path("LUCK_FILE/CHECKIN_9.txt");
  std::string error;
  ASSERT_TRUE(desk.Open(task, error)) << error;
  TCheckinServer server(desk);
  const uint16_t port = FreePort("127.0.0.1", 18870);
  ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << error;
  EXPECT_TRUE(FetchClosedByServer(port));
  EXPECT_EQ(BindSharing(port), EADDRINUSE);

  server.Stop();
  ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << error;
  EXPECT_TRUE(PageAnswers("127.0.0.1", port, 3000));
  EXPECT_EQ(BindSharing(port), EADDRINUSE);
}
#endif
