// The port's sharing as POSIX systems know it (SO_REUSEPORT); Windows binds it exclusively.
#ifndef _WIN32
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/net/LanServer.h"
#include "core/text/Gbk.h"

using namespace checkin;
using namespace net;

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

// A connection to the server on loopback.
int Connect(uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{10, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? s : (::close(s), -1);
}

// Sends `ask` whole and reads the answer to its end; its status line.
std::string StatusOf(uint16_t port, const std::string& ask) {
  const int s = Connect(port);
  if (s < 0) return "no connection";
  (void)!::send(s, ask.data(), ask.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[4096];
  ssize_t n;
  while ((n = ::recv(s, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
  ::close(s);
  if (n < 0 && answer.empty()) return "reset";
  return answer.substr(0, answer.find("\r\n"));
}

struct Served {
  TempRoot root;
  TCheckinDesk desk;
  TCheckinRoutes routes{desk};
  TLanServer server;
  uint16_t port = 0;
  Served() {
    server.AddRoutes(&routes);
    TCheckinTask task;
    task.TaskId = 9;
    task.TitleLine = text::G("手机号码 姓名");
    task.Lines = {text::G("13800000001 张三")};
    task.FilePath = root.path("LUCK_FILE/CHECKIN_9.txt");
    std::string error;
    EXPECT_TRUE(desk.Open(task, error)) << error;
    port = FreePort("127.0.0.1", 18880);
    EXPECT_TRUE(server.Start("127.0.0.1", port, error)) << error;
  }
};

}  // namespace

TEST(LanServer, OversizedHeadersAndBodiesAreAnsweredNotReset) {
  Served s;
  EXPECT_EQ(StatusOf(s.port, "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(100000, 'a') +
                                 "\r\n\r\n"),
            "HTTP/1.1 431 Request Header Fields Too Large");
  std::string lines;
  for (int i = 0; i < 200; ++i)
    lines += "X-" + std::to_string(i) + ": " + std::string(40, 'b') + "\r\n";
  EXPECT_EQ(StatusOf(s.port, "GET / HTTP/1.1\r\nHost: x\r\n" + lines + "\r\n"),
            "HTTP/1.1 431 Request Header Fields Too Large");
  const std::string body = "id=" + std::string(5000, '1');
  EXPECT_EQ(StatusOf(s.port,
                     "POST /checkin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                     "Content-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body),
            "HTTP/1.1 413 Content Too Large");
  EXPECT_TRUE(PageAnswers("127.0.0.1", s.port, 3000));
}

TEST(LanServer, ARequestTrickledInIsCutOffAtItsDeadline) {
  Served s;
  s.server.Watch().SetDeadlineMs(1000);
  const int c = Connect(s.port);
  ASSERT_GE(c, 0);
  // One byte every tenth of a second never goes idle; the deadline ends it.
  const std::string ask = "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: " + std::string(100, 'a');
  size_t sent = 0;
  char buf[256];
  bool closed = false;
  for (; sent < ask.size() && !closed; ++sent) {
    if (::send(c, ask.data() + sent, 1, MSG_NOSIGNAL) != 1) break;
    pollfd p{c, POLLIN, 0};
    if (::poll(&p, 1, 100) == 1) closed = ::recv(c, buf, sizeof buf, 0) <= 0;
  }
  ::close(c);
  EXPECT_TRUE(closed || sent < ask.size());
  EXPECT_EQ(s.server.Watch().CutOffCount(), 1u);
  // A request in good time is answered as ever.
  EXPECT_TRUE(PageAnswers("127.0.0.1", s.port, 3000));
}

// The port is the server's alone while it runs (no other program can take a share of the
// phones' connections), and it can be started again on it at once after a stop.
TEST(LanServer, OwnsItsPortAloneAndRestartsOnItAtOnce) {
  TempRoot root;
  TCheckinDesk desk;
  TCheckinTask task;
  task.TaskId = 9;
  task.TitleLine = text::G("手机号码 姓名");
  task.Lines = {text::G("13800000001 张三")};
  task.FilePath = root.path("LUCK_FILE/CHECKIN_9.txt");
  std::string error;
  ASSERT_TRUE(desk.Open(task, error)) << error;
  TCheckinRoutes routes(desk);
  TLanServer server;
  server.AddRoutes(&routes);
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

TEST(LanServer, AnEncodedNulInThePathNamesNoRoute) {
  Served s;
  // As the path of the check-in form cut at the NUL, this would check in.
  const std::string body = "id=13800000001&name=%E5%BC%A0%E4%B8%89";
  EXPECT_EQ(StatusOf(s.port,
                     "POST /checkin%00.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                     "Content-Type: application/x-www-form-urlencoded\r\n"
                     "Content-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body),
            "HTTP/1.1 404 Not Found");
  EXPECT_EQ(s.desk.View().CheckedIn, 0u);
  // Other escapes are decoded as before: the same form on its own path checks in.
  EXPECT_EQ(StatusOf(s.port,
                     "POST /%63heckin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                     "Content-Type: application/x-www-form-urlencoded\r\n"
                     "Content-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body),
            "HTTP/1.1 200 OK");
  EXPECT_EQ(s.desk.View().CheckedIn, 1u);

  char path[] = "/a%41%2fb%00c%zz%4";
  EXPECT_EQ(UnescapeUrl(path), 14u);
  EXPECT_STREQ(path, "/aA/b%00c%zz%4");
}
