// The check-in server alone on loopback, for the load and bad-input scripts
// (bench/checkin_load.py, bench/checkin_badinput.py):
//
//   bench_checkin_server ROOT PORT IDS
//
// serves a list of IDS ids (13900000000 + i, named 员工<i>) from the data root ROOT on
// 127.0.0.1:PORT, prints "ready" and runs until its input ends. A line "board N" on its
// input reveals the first N ids as winners of 一等奖 on the phones' board and to the prize
// desks; a line "code" prints the prize desks' pairing code of the moment.
#include <cstdio>
#include <iostream>
#include <string>

#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/claims/ClaimDesk.h"
#include "core/claims/ClaimHttp.h"
#include "core/draw/DataDraw.h"
#include "core/net/LanServer.h"
#include "core/net/Pairing.h"
#include "core/records/CheckinFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_checkin_server ROOT PORT IDS\n");
    return 2;
  }
  net::RaiseDescriptorLimit();
  std::string root = argv[1];
  if (root.back() != '/') root += '/';
  paths::SetDataRoot(root);
  const int ids = std::stoi(argv[3]);
  checkin::TCheckinTask task;
  task.TaskId = 1;
  task.TaskName = text::G("压力测试");
  task.TitleLine = text::G("手机号码 姓名");
  for (int i = 0; i < ids; ++i)
    task.Lines.push_back(std::to_string(13900000000LL + i) + " " + text::G("员工") +
                         std::to_string(i));
  task.HideBegin = 4;
  task.HideEnd = 7;
  task.FilePath = checkin::CheckinFilePath(1);
  checkin::TCheckinDesk desk;
  std::string error;
  if (!desk.Open(task, error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  net::TPairing pairing;
  auto claims = std::make_shared<claims::TClaimDesk>();
  checkin::TCheckinRoutes checkinRoutes(desk);
  claims::TClaimRoutes routes(desk, pairing, claims);
  net::TLanServer server;
  server.AddRoutes(&checkinRoutes);
  server.AddRoutes(&routes);
  if (!server.Start("127.0.0.1", static_cast<uint16_t>(std::stoi(argv[2])), error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  routes.SetBaseUrl(server.Url());
  std::printf("ready %s\n", server.Url().c_str());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "code") {
      std::printf("code %s\n", pairing.Code(net::TPairRole::Desk).c_str());
      std::fflush(stdout);
      continue;
    }
    if (line.rfind("board ", 0) != 0) continue;
    const int n = std::stoi(line.substr(6));
    checkin::TWinnersBoard board;
    board.Lines.push_back({text::G("一等奖:"), true});
    for (int i = 0; i < n && i < ids; ++i) {
      board.Lines.push_back({MaskId(task.Lines[static_cast<size_t>(i)], 4, 7), false});
      board.WonBy[std::to_string(13900000000LL + i)] = text::G("一等奖");
    }
    desk.SetBoard(board);
    claims::TClaimDraw draw;
    draw.TaskId = 1;
    draw.DrawKey = std::string(64, '1');
    for (int i = 0; i < n && i < ids; ++i)
      draw.Winners.push_back({std::to_string(13900000000LL + i), 1, text::G("一等奖"),
                              text::G("员工") + std::to_string(i)});
    if (!claims->Use(draw, error)) std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    std::printf("board %d\n", n);
    std::fflush(stdout);
  }
  server.Stop();
  return 0;
}
