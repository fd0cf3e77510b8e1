// The LAN server of check-in: GNU libmicrohttpd on threads of its own, listening on one
// IPv4 address, handing each whole request to HandleRequest. It brings the connection
// limits (in total and per address), the timeouts and the header size limit; the body is
// read up to kMaxBodyBytes and a longer one is refused at once. Off until Start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MHD_Daemon;

namespace checkin {

class TCheckinDesk;

// Limits of the server.
inline constexpr unsigned kServerThreads = 16;
inline constexpr unsigned kMaxConnections = 1500;
inline constexpr unsigned kMaxConnectionsPerAddress = 24;
inline constexpr unsigned kTimeoutSeconds = 10;

class TCheckinServer {
 public:
  explicit TCheckinServer(TCheckinDesk& desk) : m_desk(desk) {}
  ~TCheckinServer();
  TCheckinServer(const TCheckinServer&) = delete;
  TCheckinServer& operator=(const TCheckinServer&) = delete;

  // Listens on `ipv4` (dotted) and `port`. False with a GBK text the operator can act on:
  // a busy port, an address the machine does not have, or a start that failed.
  bool Start(const std::string& ipv4, uint16_t port, std::string& error);
  // Stops listening and closes every connection; waits for requests being answered.
  void Stop();
  bool Running() const { return m_daemon != nullptr; }
  // http://<address>:<port>/ while running.
  const std::string& Url() const { return m_url; }

  TCheckinDesk& Desk() { return m_desk; }

 private:
  TCheckinDesk& m_desk;
  MHD_Daemon* m_daemon = nullptr;
  std::string m_url;
};

// The machine's IPv4 addresses, up and not loopback first (in interface order), then
// 127.0.0.1.
std::vector<std::string> LocalIPv4Addresses();
// The first port from `from` upwards (20 tried) that is free on `ipv4`, else one the
// system picks; 0 when none can be bound.
uint16_t FreePort(const std::string& ipv4, uint16_t from = 8080);
// The page at `ipv4`:`port` answers as a phone would load it: a status line of 200 within
// `timeoutMs` for the connection and again for the answer.
bool PageAnswers(const std::string& ipv4, uint16_t port, int timeoutMs);

}  // namespace checkin
