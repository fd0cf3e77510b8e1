#include "core/net/LanServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first
#include <iphlpapi.h>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <microhttpd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/text/Gbk.h"

namespace net {

namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
// A port another program holds for itself (SO_EXCLUSIVEADDRUSE), or one Windows keeps out of
// reach (Hyper-V's excluded ranges), is refused as forbidden rather than in use; to the
// operator both are a port to change.
bool PortTaken(int err) { return err == WSAEADDRINUSE || err == WSAEACCES; }
int SocketError() { return WSAGetLastError(); }
void CloseSocket(Socket s) { ::closesocket(s); }
// Winsock is started once for the program's lifetime; the library starts its own too.
bool SocketsReady() {
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}
std::string SocketErrorText(int err) {
  char* buf = nullptr;
  ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(err), 0, reinterpret_cast<char*>(&buf), 0, nullptr);
  std::string out = buf ? buf : std::to_string(err);
  if (buf) ::LocalFree(buf);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;  // the system's code page, GBK on a Chinese Windows
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
bool PortTaken(int err) { return err == EADDRINUSE; }
int SocketError() { return errno; }
void CloseSocket(Socket s) { ::close(s); }
bool SocketsReady() { return true; }
std::string SocketErrorText(int err) { return text::Utf8ToGbk(std::strerror(err)); }
#endif

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One request being read. A refused one is read on (and dropped) up to kMaxDrainBytes, so
// that the answer reaches the phone rather than a reset for the bytes left unread.
struct Pending {
  std::string body;
  bool tooLarge = false;
  size_t headerBytes = 0;
  size_t drained = 0;
};
inline constexpr size_t kMaxDrainBytes = 64 * 1024;
// How long and how much a closing connection with unread bytes reads on (Linger).
inline constexpr int64_t kLingerMs = 300;
inline constexpr size_t kMaxLingerBytes = 1024 * 1024;

// The library's complaints (a connection it dropped, a socket that failed) go to the
// program's error output, where an operator's log collects them.
void LogError(void*, const char* format, va_list args) {
  std::fputs("LAN server: ", stderr);
  std::vfprintf(stderr, format, args);
  const size_t n = std::strlen(format);
  if (n == 0 || format[n - 1] != '\n') std::fputc('\n', stderr);
}

MHD_Result CountHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* n = static_cast<size_t*>(cls);
  *n += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
  return MHD_YES;
}

MHD_Result Send(MHD_Connection* c, const THttpResponse& r) {
  MHD_Response* resp =
      MHD_create_response_from_buffer(r.Body.size(), (void*)r.Body.data(), MHD_RESPMEM_MUST_COPY);
  if (!resp) return MHD_NO;
  MHD_add_response_header(resp, MHD_HTTP_HEADER_CONTENT_TYPE, r.ContentType.c_str());
  for (const auto& [k, v] : r.Headers) MHD_add_response_header(resp, k.c_str(), v.c_str());
  const MHD_Result ok = MHD_queue_response(c, static_cast<unsigned>(r.Status), resp);
  MHD_destroy_response(resp);
  return ok;
}

std::string PeerAddress(MHD_Connection* c) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info || !info->client_addr) return {};
  char buf[INET6_ADDRSTRLEN] = {};
  if (info->client_addr->sa_family == AF_INET) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(info->client_addr);
    inet_ntop(AF_INET, &a->sin_addr, buf, sizeof buf);
  } else if (info->client_addr->sa_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(info->client_addr);
    inet_ntop(AF_INET6, &a->sin6_addr, buf, sizeof buf);
  }
  return buf;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

size_t UnescapeUrl(char* text) {
  size_t out = 0;
  for (size_t in = 0; text[in] != '\0'; ++in) {
    const int hi = text[in] == '%' ? HexValue(text[in + 1]) : -1;
    const int lo = hi >= 0 ? HexValue(text[in + 2]) : -1;
    // A NUL would end the path early as the library hands it on: "%00" stays as sent, so
    // the path names no route.
    if (lo >= 0 && (hi | lo) != 0) {
      text[out++] = static_cast<char>(hi * 16 + lo);
      in += 2;
    } else {
      text[out++] = text[in];
    }
  }
  text[out] = '\0';
  return out;
}

namespace {

size_t Unescape(void*, MHD_Connection*, char* text) { return UnescapeUrl(text); }

MHD_Result Access(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** state) {
  auto* server = static_cast<TLanServer*>(cls);
  auto* p = static_cast<Pending*>(*state);
  if (!p) {
    p = new Pending;
    *state = p;
    MHD_get_connection_values(c, MHD_HEADER_KIND, CountHeader, &p->headerBytes);
    const char* length =
        MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length && std::strtoull(length, nullptr, 10) > kMaxBodyBytes) p->tooLarge = true;
    if (!p->tooLarge && p->headerBytes <= kMaxHeaderBytes) return MHD_YES;
  }
  if (*uploadSize > 0 && !p->tooLarge && p->headerBytes <= kMaxHeaderBytes) {
    if (p->body.size() + *uploadSize > kMaxBodyBytes) {
      p->tooLarge = true;
      p->body.clear();
    } else {
      p->body.append(upload, *uploadSize);
      *uploadSize = 0;
      return MHD_YES;
    }
  }
  // A refused body is read to its end (up to a bound) before the answer goes out.
  if (*uploadSize > 0 && p->drained + *uploadSize <= kMaxDrainBytes) {
    p->drained += *uploadSize;
    *uploadSize = 0;
    return MHD_YES;
  }
  // Whole, or refused: answered now; a refused body past the bound is not read further.
  const std::string address = PeerAddress(c);
  THttpRequest req;
  req.Method = method;
  req.Path = url;
  req.Body = p->body;
  req.Address = address;
  req.HeaderBytes = p->headerBytes;
  req.BodyTooLarge = p->tooLarge;
  const THttpResponse r = Dispatch(req, server->Routes());
  *uploadSize = 0;
  return Send(c, r);
}

void Completed(void* cls, MHD_Connection* c, void** state, MHD_RequestTerminationCode) {
  delete static_cast<Pending*>(*state);
  *state = nullptr;
  static_cast<TLanServer*>(cls)->Watch().Answered(c);
}

// Before a connection closes with bytes of the client still unread (a head or body too
// large, answered before it was read), its answer is sent on and what arrives is read and
// dropped for a moment: closing on unread bytes would reset the connection, and the client
// would never see its 431 or 413.
void Linger(intptr_t fd) {
  const Socket s = static_cast<Socket>(fd);
  char buf[16 * 1024];
#ifdef _WIN32
  u_long waiting = 0;
  if (::ioctlsocket(s, FIONREAD, &waiting) != 0 || waiting == 0) return;
  ::shutdown(s, SD_SEND);
  const auto wait = [s](int ms) {
    WSAPOLLFD p{s, POLLIN, 0};
    return ::WSAPoll(&p, 1, ms) == 1;
  };
#else
  if (::recv(s, buf, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) return;
  ::shutdown(s, SHUT_WR);
  const auto wait = [s](int ms) {
    pollfd p{s, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
  };
#endif
  const int64_t end = NowMs() + kLingerMs;
  size_t dropped = 0;
  for (int64_t now = NowMs(); now < end && dropped < kMaxLingerBytes; now = NowMs()) {
    if (!wait(static_cast<int>(end - now))) break;
    const auto n = ::recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;  // the client has read its answer and closed
    dropped += static_cast<size_t>(n);
  }
}

void Connection(void* cls, MHD_Connection* c, void**, MHD_ConnectionNotificationCode code) {
  auto& watch = static_cast<TLanServer*>(cls)->Watch();
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info) watch.Started(c, static_cast<intptr_t>(info->connect_fd));
  } else {
    const intptr_t fd = watch.Closed(c);
    if (fd >= 0) Linger(fd);
  }
}

bool ParseAddress(const std::string& ipv4, uint16_t port, sockaddr_in& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  return inet_pton(AF_INET, ipv4.c_str(), &addr.sin_addr) == 1;
}

// 0 when the address and port can be bound now, else the socket error.
int TryBind(const sockaddr_in& addr, uint16_t* bound = nullptr) {
  if (!SocketsReady()) return -1;
  const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) return SocketError();
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
  int err = 0;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    err = SocketError();
  } else if (bound) {
    sockaddr_in got{};
    socklen_t len = sizeof got;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&got), &len);
    *bound = ntohs(got.sin_port);
  }
  CloseSocket(s);
  return err;
}

// Ends a connection that overran its deadline: the library's next read sees it closed.
void CutOff(intptr_t fd) {
#ifdef _WIN32
  ::shutdown(static_cast<Socket>(fd), SD_BOTH);
#else
  ::shutdown(static_cast<Socket>(fd), SHUT_RDWR);
#endif
}

}  // namespace

TLanServer::~TLanServer() { Stop(); }

bool TLanServer::Start(const std::string& ipv4, uint16_t port, std::string& error) {
  if (m_daemon) return true;
  sockaddr_in addr{};
  if (!ParseAddress(ipv4, port, addr) || port == 0) {
    error = text::G("地址或端口无效：") + ipv4 + ":" + std::to_string(port);
    return false;
  }
  const int err = TryBind(addr);
  if (PortTaken(err)) {
    error = text::G("端口") + std::to_string(port) + text::G("已被其他程序占用，请换一个端口。");
    return false;
  }
  if (err != 0) {
    error = text::G("无法在地址") + ipv4 + ":" + std::to_string(port) +
            text::G("上启动签到服务：") + SocketErrorText(err);
    return false;
  }
  m_watch.Begin();
  // The address-reuse option is left unset: then the library sets SO_REUSEADDR alone, so
  // a restart binds at once after a flood; 1 would add SO_REUSEPORT (another program of
  // the user could take part of the phones' connections) and 0 drops SO_REUSEADDR too.
  m_daemon = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_TURBO | MHD_USE_ERROR_LOG, port,
      nullptr, nullptr, &Access, this, MHD_OPTION_EXTERNAL_LOGGER, &LogError, nullptr,
      MHD_OPTION_NOTIFY_CONNECTION, &Connection, this, MHD_OPTION_SOCK_ADDR,
      reinterpret_cast<sockaddr*>(&addr), MHD_OPTION_THREAD_POOL_SIZE, kServerThreads,
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      kMaxConnectionsPerAddress, MHD_OPTION_CONNECTION_TIMEOUT, kTimeoutSeconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(2 * kMaxHeaderBytes + 4096),
      MHD_OPTION_NOTIFY_COMPLETED, &Completed, this, MHD_OPTION_UNESCAPE_CALLBACK, &Unescape,
      nullptr, MHD_OPTION_END);
  if (!m_daemon) {
    m_watch.End();
    error = text::G("签到服务未能启动（") + ipv4 + ":" + std::to_string(port) + text::G("）。");
    return false;
  }
  m_url = "http://" + ipv4 + ":" + std::to_string(port) + "/";
  return true;
}

void TLanServer::Stop() {
  if (!m_daemon) return;
  MHD_stop_daemon(m_daemon);
  m_daemon = nullptr;
  m_watch.End();
  m_url.clear();
}

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> out;
#ifdef _WIN32
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buf;
  ULONG got = ERROR_BUFFER_OVERFLOW;
  for (int tries = 0; tries < 3 && got == ERROR_BUFFER_OVERFLOW; ++tries) {
    buf.resize(size);
    got = ::GetAdaptersAddresses(
        AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()), &size);
  }
  if (got == NO_ERROR) {
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()); a; a = a->Next) {
      if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
      for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
        if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(u->Address.lpSockaddr)->sin_addr, text,
                  sizeof text);
        out.push_back(text);
      }
    }
  }
#else
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) == 0) {
    for (ifaddrs* i = list; i; i = i->ifa_next) {
      if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
      if (i->ifa_flags & IFF_LOOPBACK) continue;
      char buf[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, buf, sizeof buf);
      out.push_back(buf);
    }
    ::freeifaddrs(list);
  }
#endif
  out.push_back("127.0.0.1");
  return out;
}

bool IsLoopback(const std::string& ipv4) { return ipv4.rfind("127.", 0) == 0; }

void RaiseDescriptorLimit() {
#ifndef _WIN32
  // Many phones waiting on the winners page need more descriptors than the default.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max &&
      files.rlim_cur < 4096) {
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
#endif
}

uint16_t FreePort(const std::string& ipv4, uint16_t from) {
  sockaddr_in addr{};
  for (uint32_t p = from; p < static_cast<uint32_t>(from) + 20 && p <= 65535; ++p) {
    if (ParseAddress(ipv4, static_cast<uint16_t>(p), addr) && TryBind(addr) == 0)
      return static_cast<uint16_t>(p);
  }
  uint16_t bound = 0;
  if (ParseAddress(ipv4, 0, addr) && TryBind(addr, &bound) == 0) return bound;
  return 0;
}

bool PageAnswers(const std::string& ipv4, uint16_t port, int timeoutMs) {
  sockaddr_in addr{};
  if (!SocketsReady() || !ParseAddress(ipv4, port, addr)) return false;
#ifdef _WIN32
  const Socket fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd == kNoSocket) return false;
  u_long nonBlocking = 1;
  ::ioctlsocket(fd, FIONBIO, &nonBlocking);
  const auto wait = [&](short events) {
    WSAPOLLFD p{fd, events, 0};
    return ::WSAPoll(&p, 1, timeoutMs) == 1 && (p.revents & events) != 0;
  };
  const bool connecting =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ||
      SocketError() == WSAEWOULDBLOCK;
  constexpr int kSendFlags = 0;
#else
  const Socket fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd == kNoSocket) return false;
  const auto wait = [&](short events) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & events) != 0;
  };
  const bool connecting =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ||
      errno == EINPROGRESS;
  constexpr int kSendFlags = MSG_NOSIGNAL;
#endif
  bool ok = false;
  int err = 0;
  socklen_t len = sizeof err;
  if (connecting && wait(POLLOUT) &&
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 &&
      err == 0) {
    const std::string ask = "GET / HTTP/1.0\r\nHost: " + ipv4 + "\r\n\r\n";
    if (::send(fd, ask.data(), static_cast<int>(ask.size()), kSendFlags) ==
        static_cast<int>(ask.size())) {
      std::string answer;
      char buf[256];
      while (answer.find('\n') == std::string::npos && wait(POLLIN)) {
        const auto n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(n));
      }
      ok = answer.rfind("HTTP/1.1 200", 0) == 0 || answer.rfind("HTTP/1.0 200", 0) == 0;
    }
  }
  CloseSocket(fd);
  return ok;
}

// The deadline watch.

void TRequestWatch::Begin() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_thread.joinable()) return;
  m_stop = false;
  m_thread = std::thread([this] { Run(); });
}

void TRequestWatch::End() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_open.clear();
}

void TRequestWatch::Started(const void* connection, intptr_t fd) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_open[connection] = {fd, NowMs()};
}

void TRequestWatch::Answered(const void* connection) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_open.find(connection);
  if (it != m_open.end()) it->second.since = NowMs();
}

intptr_t TRequestWatch::Closed(const void* connection) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_open.find(connection);
  if (it == m_open.end()) return -1;
  const intptr_t fd = it->second.fd;
  m_open.erase(it);
  return fd;
}

void TRequestWatch::Run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stop) {
    m_wake.wait_for(lock, std::chrono::milliseconds(250));
    const int64_t now = NowMs();
    // The library closes a connection (and tells Closed, under this lock) before its
    // socket is closed, so a socket cut off here is still the connection's own.
    for (auto& [connection, open] : m_open) {
      if (open.since < 0 || now - open.since < m_deadlineMs) continue;
      CutOff(open.fd);
      open.since = -1;
      ++m_cut;
    }
  }
}

void TRequestWatch::SetDeadlineMs(int64_t ms) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_deadlineMs = ms;
}

uint64_t TRequestWatch::CutOffCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_cut;
}

}  // namespace net
