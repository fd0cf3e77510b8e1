#include "core/checkin/CheckinServer.h"

// Windows: Winsock and the IP Helper API.
#ifdef _WIN32
#include <winsock2.h>
//
#include <iphlpapi.h>
#include <ws2tcpip.h>
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

#include <cerrno>
#include <cstring>
#include <string_view>

#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/text/Gbk.h"

namespace checkin {

namespace {

// One request being read.
struct Pending {
  std::string body;
  bool tooLarge = false;
  size_t headerBytes = 0;
};

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

MHD_Result Access(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** state) {
  auto* server = static_cast<TCheckinServer*>(cls);
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
    } else {
      p->body.append(upload, *uploadSize);
      *uploadSize = 0;
      return MHD_YES;
    }
  }
  // Whole, or refused: answered now. A refused body is not read further; the connection
  // closes after the answer.
  const std::string address = PeerAddress(c);
  THttpRequest req;
  req.Method = method;
  req.Path = url;
  req.Body = p->body;
  req.Address = address;
  req.HeaderBytes = p->headerBytes;
  req.BodyTooLarge = p->tooLarge;
  const THttpResponse r = HandleRequest(server->Desk(), req);
  *uploadSize = 0;
  return Send(c, r);
}

void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
  delete static_cast<Pending*>(*state);
  *state = nullptr;
}

bool ParseAddress(const std::string& ipv4, uint16_t port, sockaddr_in& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  return inet_pton(AF_INET, ipv4.c_str(), &addr.sin_addr) == 1;
}

#ifdef _WIN32
// Windows: Winsock set up once per process; its errors mapped to the errno values the
// messages use; exclusive binding, since SO_REUSEADDR there lets a port be taken from another.
bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

int SocketErrno() {
  const int e = ::WSAGetLastError();
  return e == WSAEADDRINUSE || e == WSAEACCES ? EADDRINUSE
         : e == WSAEADDRNOTAVAIL              ? EADDRNOTAVAIL
                                              : EIO;
}

int TryBind(const sockaddr_in& addr, uint16_t* bound = nullptr) {
  if (!WinsockReady()) return EIO;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return SocketErrno();
  BOOL one = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
  int err = 0;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    err = SocketErrno();
  } else if (bound) {
    sockaddr_in got{};
    int len = sizeof got;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&got), &len);
    *bound = ntohs(got.sin_port);
  }
  ::closesocket(s);
  return err;
}
#else
// 0 when the address and port can be bound now, else the errno.
int TryBind(const sockaddr_in& addr, uint16_t* bound = nullptr) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return errno;
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  int err = 0;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    err = errno;
  } else if (bound) {
    sockaddr_in got{};
    socklen_t len = sizeof got;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&got), &len);
    *bound = ntohs(got.sin_port);
  }
  ::close(s);
  return err;
}
#endif

}  // namespace

TCheckinServer::~TCheckinServer() { Stop(); }

bool TCheckinServer::Start(const std::string& ipv4, uint16_t port, std::string& error) {
  if (m_daemon) return true;
  sockaddr_in addr{};
  if (!ParseAddress(ipv4, port, addr) || port == 0) {
    error = text::G("地址或端口无效：") + ipv4 + ":" + std::to_string(port);
    return false;
  }
  const int err = TryBind(addr);
  if (err == EADDRINUSE) {
    error = text::G("端口") + std::to_string(port) + text::G("已被其他程序占用，请换一个端口。");
    return false;
  }
  if (err != 0) {
    error = text::G("无法在地址") + ipv4 + ":" + std::to_string(port) +
            text::G("上启动签到服务：") + text::Utf8ToGbk(std::strerror(err));
    return false;
  }
#ifndef _WIN32
  // Many phones waiting on the winners page need more descriptors than the default.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max &&
      files.rlim_cur < 4096) {
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
#endif
  // Windows: the library's portable polling (select) in place of epoll, which Windows lacks.
#ifdef _WIN32
  const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_TURBO;
#else
  const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TURBO;
#endif
  // The address-reuse option is left unset: then the library sets SO_REUSEADDR alone, so
  // a restart binds at once after a flood; 1 would add SO_REUSEPORT (another program of
  // the user could take part of the phones' connections) and 0 drops SO_REUSEADDR too.
  m_daemon = MHD_start_daemon(
      flags, port, nullptr, nullptr, &Access, this, MHD_OPTION_SOCK_ADDR,
      reinterpret_cast<sockaddr*>(&addr), MHD_OPTION_THREAD_POOL_SIZE, kServerThreads,
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      kMaxConnectionsPerAddress, MHD_OPTION_CONNECTION_TIMEOUT, kTimeoutSeconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(2 * kMaxHeaderBytes + 4096),
      MHD_OPTION_NOTIFY_COMPLETED, &Completed, nullptr, MHD_OPTION_END);
  if (!m_daemon) {
    error = text::G("签到服务未能启动（") + ipv4 + ":" + std::to_string(port) + text::G("）。");
    return false;
  }
  m_url = "http://" + ipv4 + ":" + std::to_string(port) + "/";
  return true;
}

void TCheckinServer::Stop() {
  if (!m_daemon) return;
  MHD_stop_daemon(m_daemon);
  m_daemon = nullptr;
  m_url.clear();
}

#ifdef _WIN32
// Windows: the IPv4 addresses of the adapters that are up, from GetAdaptersAddresses.
std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> out;
  ULONG size = 16 * 1024;
  std::string buffer;
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    rc = ::GetAdaptersAddresses(
        AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (rc == NO_ERROR) {
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
      if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
      for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
        if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
        char buf[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(u->Address.lpSockaddr)->sin_addr, buf,
                  sizeof buf);
        out.push_back(buf);
      }
    }
  }
  out.push_back("127.0.0.1");
  return out;
}
#else
std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> out;
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
  out.push_back("127.0.0.1");
  return out;
}
#endif

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

#ifdef _WIN32
// Windows: the same request with Winsock's non-blocking connect and WSAPoll.
bool PageAnswers(const std::string& ipv4, uint16_t port, int timeoutMs) {
  sockaddr_in addr{};
  if (!ParseAddress(ipv4, port, addr) || !WinsockReady()) return false;
  const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (fd == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  ::ioctlsocket(fd, FIONBIO, &nonBlocking);
  auto wait = [&](short events) {
    WSAPOLLFD p{fd, events, 0};
    return ::WSAPoll(&p, 1, timeoutMs) == 1 && (p.revents & events) != 0;
  };
  bool ok = false;
  int err = 0;
  int len = sizeof err;
  if ((::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ||
       ::WSAGetLastError() == WSAEWOULDBLOCK) &&
      wait(POLLWRNORM) &&
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 &&
      err == 0) {
    const std::string ask = "GET / HTTP/1.0\r\nHost: " + ipv4 + "\r\n\r\n";
    if (::send(fd, ask.data(), static_cast<int>(ask.size()), 0) == static_cast<int>(ask.size())) {
      std::string answer;
      char buf[256];
      while (answer.find('\n') == std::string::npos && wait(POLLRDNORM)) {
        const int n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(n));
      }
      ok = answer.rfind("HTTP/1.1 200", 0) == 0 || answer.rfind("HTTP/1.0 200", 0) == 0;
    }
  }
  ::closesocket(fd);
  return ok;
}
#else
bool PageAnswers(const std::string& ipv4, uint16_t port, int timeoutMs) {
  sockaddr_in addr{};
  if (!ParseAddress(ipv4, port, addr)) return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  auto wait = [&](short events) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & events) != 0;
  };
  bool ok = false;
  int err = 0;
  socklen_t len = sizeof err;
  if ((::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ||
       errno == EINPROGRESS) &&
      wait(POLLOUT) && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
    const std::string ask = "GET / HTTP/1.0\r\nHost: " + ipv4 + "\r\n\r\n";
    if (::send(fd, ask.data(), ask.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(ask.size())) {
      std::string answer;
      char buf[256];
      while (answer.find('\n') == std::string::npos && wait(POLLIN)) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(n));
      }
      ok = answer.rfind("HTTP/1.1 200", 0) == 0 || answer.rfind("HTTP/1.0 200", 0) == 0;
    }
  }
  ::close(fd);
  return ok;
}
#endif

}  // namespace checkin
