// The check-in of one task while the program runs: its desk and its server. Owned by the
// main window; the check-in window and the draw screen use it, nothing on the network
// reaches anything else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinServer.h"

class TCheckinService {
 public:
  TCheckinService();
  ~TCheckinService();

  // Opens the desk of `taskId` on its list and check-in file and starts the server on the
  // address and port. False with the text to show (GBK); nothing runs then.
  bool Start(int32_t taskId, const std::string& ipv4, uint16_t port, std::string& error);
  // Stops the server; the desk's records stay on disk.
  void Stop();
  bool Running() const { return m_server && m_server->Running(); }
  int32_t TaskId() const { return m_taskId; }
  std::string Url() const { return Running() ? m_server->Url() : std::string(); }

  // The draw of the task fixes its pool: no more check-ins until ReopenDesk, the phones
  // still read the winners board.
  void CloseDesk();
  void ReopenDesk();
  bool DeskOpen() const { return m_desk && m_desk->IsOpen(); }

  checkin::TCheckinDesk& Desk() { return *m_desk; }
  const checkin::TCheckinDesk& Desk() const { return *m_desk; }

 private:
  std::unique_ptr<checkin::TCheckinDesk> m_desk;
  std::unique_ptr<checkin::TCheckinServer> m_server;
  int32_t m_taskId = 0;
};
