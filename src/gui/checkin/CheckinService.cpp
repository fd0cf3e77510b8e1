#include "gui/checkin/CheckinService.h"

#include "core/checkin/WinnersBoard.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"

TCheckinService::TCheckinService() : m_desk(std::make_unique<checkin::TCheckinDesk>()) {}

TCheckinService::~TCheckinService() { Stop(); }

bool TCheckinService::Start(int32_t taskId, const std::string& ipv4, uint16_t port,
                            std::string& error) {
  Stop();
  TLuckTask task;
  if (!LoadLuckTask(taskId, task, error)) return false;
  if (task.OrderBy != TDrawType::FromData) {
    error = text::G("按概率抽奖的项目没有名单，不能签到");
    return false;
  }
  // A draw of those checked in that has begun keeps the list it was drawn from.
  bool checkinOnly = false;
  if (!LoadCheckinOnly(taskId, checkinOnly, error)) return false;
  if (checkinOnly && checkin::DrawHasBegun(taskId)) {
    error = checkin::DrawBegunText();
    return false;
  }
  checkin::TCheckinTask t;
  t.TaskId = task.TaskId;
  t.TaskName = task.MainTitle.empty() ? task.TaskName : task.MainTitle;
  t.HideBegin = task.HideBegin;
  t.HideEnd = task.HideEnd;
  t.FilePath = checkin::CheckinFilePath(task.TaskId);
  int32_t idMax = 0;
  if (!ReadDrawDataFile(DrawDataFileOf(task), 0, 1, t.Lines, idMax, t.TitleLine, error))
    return false;
  auto desk = std::make_unique<checkin::TCheckinDesk>();
  if (!desk->Open(t, error)) return false;
  auto server = std::make_unique<checkin::TCheckinServer>(*desk);
  if (!server->Start(ipv4, port, error)) return false;
  m_desk = std::move(desk);
  m_server = std::move(server);
  m_taskId = taskId;
  return true;
}

void TCheckinService::Stop() {
  if (m_server) m_server->Stop();
  m_server.reset();
  if (m_desk) m_desk->Close();
}

void TCheckinService::CloseDesk() {
  if (m_desk) m_desk->Close();
}

void TCheckinService::ReopenDesk() {
  if (m_desk && Running()) m_desk->Reopen();
}
