#include "core/checkin/CheckinService.h"

#include "core/draw/DrawJournal.h"
#include "core/net/LanSettings.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/Loaders.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace checkin {

std::string NoListRefusal(TDrawType type) {
  return type == TDrawType::FromData ? std::string()
                                     : text::G("按概率抽奖的项目没有名单，不能签到");
}

bool DrawFixed(int32_t taskId) {
  TJournal j;
  std::string ignored;
  const JournalRead r = ReadJournal(paths::JournalPath(taskId), j, ignored);
  if (r == JournalRead::Damaged || (r == JournalRead::Ok && (j.Started || !j.Batches.empty())))
    return true;
  // A finished draw renames its journal; its winner files stay until moved to the history.
  return paths::FileExists(paths::FinishedJournalPath(taskId)) || HasWinnerFiles(taskId);
}

std::string RestoreFailedText(const std::string& ipv4, uint16_t port) {
  return text::G("上次运行的签到服务未能在") + ipv4 + ":" + std::to_string(port) +
         text::G("重新启动：");
}

std::string SettingsNotKeptText() {
  return text::G("服务已启动，但地址和端口未能保存，下次打开程序时不会自动恢复：");
}

std::string CloseForDrawQuestion(size_t checkedIn, size_t total, size_t checkedInIds) {
  return text::G("签到还在进行（") + CountText(checkedIn, total, checkedInIds) +
         text::G("）。打开抽奖屏幕将结束签到，只抽取已签到的人员。现在结束签到并开始抽奖吗？");
}

}  // namespace checkin

TCheckinService::TCheckinService() : m_desk(std::make_unique<checkin::TCheckinDesk>()) {}

TCheckinService::~TCheckinService() { Stop(); }

bool TCheckinService::Start(int32_t taskId, const std::string& ipv4, uint16_t port,
                            std::string& error) {
  Stop();
  TLuckTask task;
  if (!LoadLuckTask(taskId, task, error)) return false;
  error = checkin::NoListRefusal(task.OrderBy);
  if (!error.empty()) return false;
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
  // Whoever the draw used is on file; nobody joins that list afterwards, but the phones
  // keep their pages and the winners their claims.
  if (checkin::DrawFixed(taskId)) desk->Close();
  // Claims of the results on file go on; a draw on stage brings its own winners.
  // A start again of the same task keeps its desk, which the results window may hold too.
  auto claimDesk =
      m_claims && m_taskId == taskId ? m_claims : std::make_shared<claims::TClaimDesk>();
  m_claimsError.clear();
  claims::TClaimDraw draw;
  if (claims::ResultsDraw(taskId, draw, m_claimsError)) claimDesk->Use(draw, m_claimsError);
  auto checkinRoutes = std::make_unique<checkin::TCheckinRoutes>(*desk);
  auto claimRoutes = std::make_unique<claims::TClaimRoutes>(*desk, m_pairing, claimDesk);
  auto server = std::make_unique<net::TLanServer>();
  server->AddRoutes(checkinRoutes.get());
  server->AddRoutes(&m_hostRoutes);
  server->AddRoutes(claimRoutes.get());
  auto spareStream = std::make_unique<spare::TStageStream>(taskId, paths::DataRoot(), t.TaskName);
  server->AddRoutes(spareStream.get());
  if (!server->Start(ipv4, port, error)) return false;
  claimRoutes->SetBaseUrl(server->Url());
  m_desk = std::move(desk);
  m_claims = std::move(claimDesk);
  m_checkinRoutes = std::move(checkinRoutes);
  m_claimRoutes = std::move(claimRoutes);
  m_spare = std::move(spareStream);
  m_server = std::move(server);
  m_titleLine = t.TitleLine;
  const int32_t before = m_taskId;
  m_taskId = taskId;
  m_closedForDraw = false;
  // Only the task started last comes back by itself.
  m_settingsError.clear();
  if (before != 0 && before != taskId) {
    net::TLanSettings old = net::ReadLanSettings(before);
    if (old.Running) {
      old.Running = false;
      net::WriteLanSettings(before, old, m_settingsError);
    }
  }
  net::TLanSettings s = net::ReadLanSettings(taskId);
  s.Address = ipv4;
  s.Port = port;
  s.Running = true;
  s.WifiName = m_wifiName;
  s.WifiPassword = m_wifiPassword;
  net::WriteLanSettings(taskId, s, m_settingsError);
  return true;
}

void TCheckinService::StopByOperator() {
  const bool running = Running();
  Stop();
  if (!running || m_taskId == 0) return;
  net::TLanSettings s = net::ReadLanSettings(m_taskId);
  s.Running = false;
  m_settingsError.clear();
  net::WriteLanSettings(m_taskId, s, m_settingsError);
}

bool TCheckinService::Restore(const std::vector<int32_t>& taskIds, std::string& error) {
  error.clear();
  for (int32_t id : taskIds) {
    const net::TLanSettings s = net::ReadLanSettings(id);
    if (!s.Running || s.Address.empty() || s.Port == 0) continue;
    SetWifi(s.WifiName, s.WifiPassword);
    if (!Start(id, s.Address, s.Port, error))
      error = checkin::RestoreFailedText(s.Address, s.Port) + error;
    return true;
  }
  return false;
}

bool TCheckinService::RememberWifi(int32_t taskId, const std::string& name,
                                   const std::string& password, std::string& error) {
  net::TLanSettings s = net::ReadLanSettings(taskId);
  if (s.WifiName == name && s.WifiPassword == password) return true;
  s.WifiName = name;
  s.WifiPassword = password;
  return net::WriteLanSettings(taskId, s, error);
}

void TCheckinService::Stop() {
  if (m_server) m_server->Stop();
  m_server.reset();
  m_claimRoutes.reset();
  m_spare.reset();
  m_checkinRoutes.reset();
  if (m_desk) m_desk->Close();
  // A paired phone is paired with this server: a new start pairs again.
  m_pairing.Unpair(net::TPairRole::Host);
  m_pairing.Unpair(net::TPairRole::Desk);
}

std::string TCheckinService::BeforeDraw(int32_t taskId) const {
  if (!Running() || m_taskId != taskId || !DeskOpen()) return {};
  bool checkinOnly = false;
  std::string error;
  if (!LoadCheckinOnly(taskId, checkinOnly, error) || !checkinOnly) return {};
  const checkin::TCheckinView v = m_desk->View();
  return checkin::CloseForDrawQuestion(v.CheckedIn, v.Total, v.CheckedInIds);
}

void TCheckinService::CloseDesk() {
  if (!m_desk || !m_desk->IsOpen()) return;
  m_desk->Close();
  m_closedForDraw = true;
}

void TCheckinService::AfterDraw(int32_t taskId) {
  if (!Running() || m_taskId != taskId) return;
  if (checkin::DrawFixed(taskId)) {
    m_desk->Close();
  } else if (m_closedForDraw) {
    m_desk->Reopen();
  }
  m_closedForDraw = false;
  // A finished draw's files name its absent winners too; results of an earlier draw left in
  // place by an unfinished one are not this draw's.
  claims::TClaimDraw draw;
  if (m_claims && HasWinnerFiles(taskId) &&
      claims::ResultsDrawKey(taskId) == claims::CurrentDrawKey(taskId) &&
      claims::ResultsDraw(taskId, draw, m_claimsError))
    m_claims->Use(draw, m_claimsError);
}

std::string TCheckinService::DeskPairUrl() {
  if (!Running()) return {};
  net::TPairKey key;
  return m_pairing.Key(net::TPairRole::Desk, key) ? net::PairAddress(Url() + "desk", key)
                                                  : std::string();
}

void TCheckinService::SetWifi(std::string name, std::string password) {
  m_wifiName = std::move(name);
  m_wifiPassword = std::move(password);
}

TDrawLink::TDrawLink(TCheckinService* service, TDrawSession& session, int32_t taskId)
    : m_service(service), m_session(session), m_taskId(taskId) {
  if (!m_service || !m_service->Running()) return;
  m_checkingIn = m_service->TaskId() == taskId;
  // The phones of the task's check-in see the winners as the stage reveals them, and the
  // prize desks learn who may claim, reveal by reveal.
  if (m_checkingIn) {
    m_board = std::make_unique<checkin::TWinnersFeed>(m_service->Desk(), taskId);
    m_session.Watch(m_board.get());
    if (m_service->Claims()) {
      m_claims =
          std::make_unique<claims::TClaimFeed>(m_service->Claims(), taskId, m_service->TitleLine());
      m_session.Watch(m_claims.get());
    }
  }
  // The spare follows the draw with the set-up it opens with.
  if (m_checkingIn && m_service->Spare()) {
    std::string ignored;
    m_service->Spare()->PublishSetup(ignored);
    m_service->Spare()->SetDrawOpen(true);
  }
  // The paired host's phone drives the stage of any task as its keys do.
  m_host = &m_service->Host();
  m_session.Watch(m_host);
}

TDrawLink::~TDrawLink() {
  if (m_checkingIn && m_service->Spare()) m_service->Spare()->SetDrawOpen(false);
  if (m_checkingIn) m_service->AfterDraw(m_taskId);
  m_session.Unwatch(m_host);
  m_session.Unwatch(m_claims.get());
  m_session.Unwatch(m_board.get());
}
