// The LAN server: GNU libmicrohttpd on threads of its own, listening on one IPv4 address,
// handing each whole request to Dispatch over the routes the features added. It brings the
// connection limits (in total and per address), the idle timeout and the header size limit; the
// body is kept up to kMaxBodyBytes, and a longer one is read on and dropped before its 413 goes
// out. Each request has a deadline besides: a client that trickles its bytes is cut off
// kRequestSeconds after its connection opened or its last answer. The library's errors go
// to the error output. Off until Start.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/net/Http.h"

struct MHD_Daemon;

namespace net {

// Limits of the server.
inline constexpr unsigned kServerThreads = 16;
inline constexpr unsigned kMaxConnections = 1500;
inline constexpr unsigned kMaxConnectionsPerAddress = 24;
inline constexpr unsigned kTimeoutSeconds = 10;  // idle
inline constexpr int64_t kRequestSeconds = 15;   // a whole request, however it trickles

// The connections open and when their current request began; a thread of its own cuts off
// those past the deadline. Told by the server's callbacks.
class TRequestWatch {
 public:
  ~TRequestWatch() { End(); }
  void Begin();
  void End();
  void Started(const void* connection, intptr_t fd);
  void Answered(const void* connection);
  // Forgets the connection; its socket (still open), or -1 when it was not known.
  intptr_t Closed(const void* connection);
  // Connections cut off so far.
  uint64_t CutOffCount() const;
  // For tests: a shorter deadline than kRequestSeconds.
  void SetDeadlineMs(int64_t ms);

 private:
  struct Open {
    intptr_t fd = 0;
    int64_t since = 0;  // ms, steady; -1 once cut off
  };
  void Run();
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::unordered_map<const void*, Open> m_open;
  std::thread m_thread;
  bool m_stop = false;
  uint64_t m_cut = 0;
  int64_t m_deadlineMs = kRequestSeconds * 1000;
};

class TLanServer {
 public:
  TLanServer() = default;
  ~TLanServer();
  TLanServer(const TLanServer&) = delete;
  TLanServer& operator=(const TLanServer&) = delete;

  // Listens on `ipv4` (dotted) and `port`. False with a GBK text the operator can act on:
  // a busy port, an address the machine does not have, or a start that failed.
  bool Start(const std::string& ipv4, uint16_t port, std::string& error);
  // Stops listening and closes every connection; waits for requests being answered.
  void Stop();
  bool Running() const { return m_daemon != nullptr; }
  // http://<address>:<port>/ while running.
  const std::string& Url() const { return m_url; }

  TRequestWatch& Watch() { return m_watch; }
  // A feature's routes, asked after those added before; added before Start, and they
  // outlive the server's run (Stop before they go). Every request goes through Dispatch
  // over these.
  void AddRoutes(TRoutes* routes) { m_routes.push_back(routes); }
  const std::vector<TRoutes*>& Routes() const { return m_routes; }

 private:
  std::vector<TRoutes*> m_routes;
  TRequestWatch m_watch;
  MHD_Daemon* m_daemon = nullptr;
  std::string m_url;
};

// Decodes the %XX escapes of a request's path in place (what the library would), but keeps
// "%00" as sent: a path is handed on as a C string, and a NUL in it would cut it to another
// route. Returns the new length.
size_t UnescapeUrl(char* text);

// The machine's IPv4 addresses, up and not loopback first (in interface order), then
// 127.0.0.1.
std::vector<std::string> LocalIPv4Addresses();
// A loopback address: only this machine reaches it, never a phone.
bool IsLoopback(const std::string& ipv4);
// Raises the limit of open descriptors towards what a hall of phones needs; once, at the
// program's start (a no-op where there is no such limit).
void RaiseDescriptorLimit();
// The first port from `from` upwards (20 tried) that is free on `ipv4`, else one the
// system picks; 0 when none can be bound.
uint16_t FreePort(const std::string& ipv4, uint16_t from = 8080);
// The page at `ipv4`:`port` answers as a phone would load it: a status line of 200 within
// `timeoutMs` for the connection and again for the answer.
bool PageAnswers(const std::string& ipv4, uint16_t port, int timeoutMs);

}  // namespace net
