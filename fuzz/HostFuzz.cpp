// libFuzzer harness for the pairing and host remote routes: any method, path and body give
// an answer of the routes, never a crash. "CODE" and "TOKEN" in the body stand for the host
// code shown and a paired host's token; or the body is signed as the paired phone signs it,
// so the checks past the signature are reached. Invariants: only the known statuses; JSON
// answers are valid UTF-8 with no raw '<'; a press is queued only when its answer is 200,
// never from a request the paired phone did not sign, and the same request again is
// refused as a replay.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/remote/HostHttp.h"
#include "core/remote/HostRemote.h"
#include "core/text/Gbk.h"

namespace {

std::string Substituted(std::string_view in, const std::string& code, const std::string& token) {
  std::string out(in);
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"CODE", code},
                                 std::pair<std::string, std::string>{"TOKEN", token}})
    for (size_t at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
      out.replace(at, from.size(), to);
  return out;
}

}  // namespace

// Input: the first byte picks the method, the route, whether a host is paired and a draw
// screen attached, and whether the body is signed by the phone (0x10, or by the code's key
// on /pair); up to the first NUL is the path or the body's fields; the rest is the task's
// name on the stage (GBK bytes as they come).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t nul = rest.find('\0');
  const std::string_view first = rest.substr(0, nul);
  const std::string_view second = nul == std::string_view::npos ? "" : rest.substr(nul + 1);

  net::TPairing pairing;
  remote::THostRemote remote(pairing);
  std::string token;
  const net::TPairKey key = net::PairKeyOf(pairing.Code(net::TPairRole::Host));
  if (mode & 0x40) {
    const std::string pair = net::SignedBody(key, net::TPairRole::Host, "POST", "/pair", "", 1, "");
    net::THttpRequest p;
    p.Method = "POST";
    p.Path = "/pair";
    p.Body = pair;
    p.Address = "10.0.0.1";
    token = pairing.Pair(p, net::TPairRole::Host).Token;
  }
  if (mode & 0x80) {
    remote.Attach(nullptr);
    TStageState s;
    s.open = true;
    s.phase = static_cast<TStagePhase>(mode % 11);
    s.task = std::string(second);
    s.cards.push_back({std::string(second.substr(0, 11)), std::string(second), "", ""});
    s.lines.push_back(std::string(second));
    s.prompt = std::string(second);
    s.promptAsks = mode & 1;
    remote.Moved(s);
  }
  const std::string code = pairing.Code(net::TPairRole::Host);
  static const char* kMethods[] = {"GET", "POST"};
  static const char* kPaths[] = {"/pair", "/host/state", "/host/input", "/host"};
  const int route = (mode >> 1) & 7;
  const bool sign = (mode & 0x10) && route < 4;
  const std::string body =
      sign ? net::SignedBody(route == 0 ? net::PairKeyOf(code) : key, net::TPairRole::Host,
                             kMethods[mode & 1], kPaths[route], route == 0 ? "" : token,
                             route == 0 ? 1 : 2, first)
           : Substituted(first, code, token);

  net::THttpRequest req;
  req.Method = kMethods[mode & 1];
  if (route < 4) {
    req.Path = kPaths[route];
    req.Body = body;
  } else {
    req.Path = body;
  }
  req.Address = "10.0.0.2";
  req.HeaderBytes = body.size();
  const net::THttpResponse r = remote::HandleHostRequest(remote, req);
  switch (r.Status) {
    case 200:
    case 400:
    case 403:
    case 404:
    case 409:
    case 429:
    case 503:
      break;
    default:
      std::abort();
  }
  if (r.ContentType.rfind("application/json", 0) == 0 &&
      (!text::IsValidUtf8(r.Body) || r.Body.find('<') != std::string::npos))
    std::abort();
  const bool press = req.Method == "POST" && req.Path == "/host/input";
  const size_t queued = remote.Drain().size();
  if (queued != (press && r.Status == 200 ? 1u : 0u)) std::abort();
  if (queued && (token.empty() || !sign || !(mode & 0x80))) std::abort();
  // The same press again is a replay.
  if (queued && remote::HandleHostRequest(remote, req).Status != 409) std::abort();
  return 0;
}
