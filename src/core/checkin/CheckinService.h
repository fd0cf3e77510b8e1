// The check-in of one task while the program runs: its desk and its server, and the steps
// the main window takes around a draw. Owned by the main window; the check-in window and
// the draw screen use it, nothing on the network reaches anything else. The rules of when
// a task may check in live here and nowhere else; the windows ask and show the texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/checkin/WinnersBoard.h"
#include "core/claims/ClaimDesk.h"
#include "core/claims/ClaimHttp.h"
#include "core/draw/DrawSession.h"
#include "core/net/LanServer.h"
#include "core/net/Pairing.h"
#include "core/records/Records.h"
#include "core/remote/HostHttp.h"
#include "core/remote/HostRemote.h"
#include "core/spare/StageStream.h"

namespace checkin {

// Why a task of this draw type cannot check in at all (GBK), or empty: only a task drawn
// from a list has anyone to check in.
std::string NoListRefusal(TDrawType type);

// The task's draw has fixed who may win: its journal holds a START or a batch (or is
// damaged), its draw finished, or it has winners. Check-in then stays closed, so the list
// the draw used is the one on file.
bool DrawFixed(int32_t taskId);

// The head of the message when the server left running could not start again (GBK); the
// server's reason follows it.
std::string RestoreFailedText(const std::string& ipv4, uint16_t port);

// The head of the warning when the server runs but its settings could not be noted (GBK).
std::string SettingsNotKeptText();

// The question before the draw screen of a task drawn from those checked in opens while its
// check-in is open (GBK).
std::string CloseForDrawQuestion(size_t checkedIn, size_t total, size_t checkedInIds);

}  // namespace checkin

class TCheckinService {
 public:
  TCheckinService();
  ~TCheckinService();

  // Opens the desk of `taskId` on its list and check-in file and starts the server on the
  // address and port, and notes them in the task's LAN settings as running. Once the task's
  // draw fixed its list the desk stays closed, but the server runs for the winners' pages,
  // the claims and the host. False with the text to show (GBK): a task without a list, or a
  // desk or server that would not open; nothing runs then.
  bool Start(int32_t taskId, const std::string& ipv4, uint16_t port, std::string& error);
  // Stops the server; the desk's records stay on disk, and the settings still say running,
  // so the program's next start brings the server back (a close or a crash is no decision).
  void Stop();
  // The operator stops it: as Stop, and the settings say so.
  void StopByOperator();
  // At the program's start: the first of `taskIds` whose settings say running starts again
  // on its address and port, with its Wi-Fi line. True when one was to start; `error` then
  // holds why it did not (GBK), empty when it runs.
  bool Restore(const std::vector<int32_t>& taskIds, std::string& error);
  bool Running() const { return m_server && m_server->Running(); }
  int32_t TaskId() const { return m_taskId; }
  std::string Url() const { return Running() ? m_server->Url() : std::string(); }

  // Before the draw screen of `taskId` opens: the question to ask (GBK) when the task draws
  // from those checked in and its check-in is open, else empty (nothing to ask).
  std::string BeforeDraw(int32_t taskId) const;
  // The operator agreed: the desk closes, every accepted check-in on disk, before the
  // draw's set-up reads the list.
  void CloseDesk();
  bool DeskOpen() const { return m_desk && m_desk->IsOpen(); }

  checkin::TCheckinDesk& Desk() { return *m_desk; }
  const checkin::TCheckinDesk& Desk() const { return *m_desk; }

  // The pairing of the host's remote and the prize desks, and the remote the draw screen
  // listens to; both answer on the server while it runs. Stop unpairs everyone.
  net::TPairing& Pairing() { return m_pairing; }
  remote::THostRemote& Host() { return m_host; }
  // The prize claims of the task, which the results window of the task is handed too, and
  // the list's title line (it names the winners' 姓名 field). Claims() is null while no
  // task was started.
  std::shared_ptr<claims::TClaimDesk> Claims() const { return m_claims; }
  const std::string& TitleLine() const { return m_titleLine; }
  // The address a desk phone opens to pair (the code's key in its fragment, never sent), empty
  // while not running.
  std::string DeskPairUrl();
  // The stream a spare laptop follows the task's draw by; null while not running.
  spare::TStageStream* Spare() const { return m_spare.get(); }
  // The error of the last refresh of the claims (GBK), empty when none.
  const std::string& ClaimsError() const { return m_claimsError; }
  // Why the LAN settings could not be noted at the last start or stop (GBK), empty when
  // they were: the server then runs, but may not come back by itself.
  const std::string& SettingsError() const { return m_settingsError; }

  // The hall's Wi-Fi, shown on the check-in screen (GBK; empty: no line).
  void SetWifi(std::string name, std::string password);
  // Notes the Wi-Fi of `taskId` in its LAN settings; false with the writer's text.
  static bool RememberWifi(int32_t taskId, const std::string& name, const std::string& password,
                           std::string& error);
  std::string WifiLine() const { return checkin::WifiText(m_wifiName, m_wifiPassword); }

 private:
  friend class TDrawLink;
  // After the draw screen of `taskId` closed: once a batch was drawn check-in stays closed
  // (the phones keep the winners page); a draw left before its first batch lets a desk it
  // closed answer again.
  void AfterDraw(int32_t taskId);

  net::TPairing m_pairing;
  remote::THostRemote m_host{m_pairing};
  remote::THostRoutes m_hostRoutes{m_host};
  std::unique_ptr<checkin::TCheckinDesk> m_desk;
  std::shared_ptr<claims::TClaimDesk> m_claims;
  // The routes the server answers, in the order it asks them: check-in, the host, claims,
  // the spare.
  // The server goes first (Stop), then its routes.
  std::unique_ptr<checkin::TCheckinRoutes> m_checkinRoutes;
  std::unique_ptr<claims::TClaimRoutes> m_claimRoutes;
  std::unique_ptr<spare::TStageStream> m_spare;
  std::unique_ptr<net::TLanServer> m_server;
  std::string m_titleLine;
  std::string m_claimsError;
  std::string m_settingsError;
  int32_t m_taskId = 0;
  bool m_closedForDraw = false;
  std::string m_wifiName;
  std::string m_wifiPassword;
};

// One draw of a task on the check-in service, for as long as the draw screen lives: while
// the server runs, the paired host's remote hears the stage; while the task's own check-in
// runs, the phones' winners board and the prize desks hear it too; and when the link goes,
// the check-in of the task is handed back (AfterDraw). Made after the operator agreed to
// close the desk (CloseDesk) and before the screen's set-up; it goes after the screen.
class TDrawLink {
 public:
  // With a null `service` (none made yet) nothing is linked.
  TDrawLink(TCheckinService* service, TDrawSession& session, int32_t taskId);
  ~TDrawLink();
  TDrawLink(const TDrawLink&) = delete;
  TDrawLink& operator=(const TDrawLink&) = delete;

  // The host's remote for the draw screen (SetRemote); null while the server is off.
  remote::THostRemote* Host() const { return m_host; }

 private:
  TCheckinService* m_service;
  TDrawSession& m_session;
  int32_t m_taskId;
  bool m_checkingIn = false;
  std::unique_ptr<checkin::TWinnersFeed> m_board;
  std::unique_ptr<claims::TClaimFeed> m_claims;
  remote::THostRemote* m_host = nullptr;
};
