// The host remote's routes on the LAN server: pairing, the host's page, its state and its
// presses, as requests and answers without a network.
#pragma once

#include <string>
#include <string_view>

#include "core/net/Http.h"

namespace remote {

class THostRemote;

using net::HtmlResponse;
using net::JsonResponse;
using net::JsonString;
using net::ParseForm;
using net::PlainResponse;
using net::THttpRequest;
using net::THttpResponse;
using net::TRoutes;

// The routes of pairing and of the host's remote:
//   POST /pair         form c=<code>: the pairing's answer, with its token and role, as JSON
//   GET  /host         the host's page
//   POST /host/state   form t=<token>: what the stage shows now and the buttons it allows
//   POST /host/input   form t=<token>&n=<number>&a=<action>[&k=<index>]: one button press;
//                      the number rises with each press, so a replayed one is refused
//   POST /host/add     form t&n&name=<utf-8>&count=<1…9999>[&per=<1…9999>][&gift=<utf-8>]:
//                      临时加奖, numbered as a press; the state's "added" tells its outcome
// A request without a paired host token is refused (403) and changes nothing.
bool IsHostPath(std::string_view path);
THttpResponse HandleHostRequest(THostRemote& host, const THttpRequest& request);
// The host's page (HTML with its CSS and script inline, no outside assets).
std::string HostPage();

// The routes of pairing and of the host's remote (HandleHostRequest).
class THostRoutes : public TRoutes {
 public:
  explicit THostRoutes(THostRemote& host) : m_host(host) {}

 protected:
  bool Answer(const THttpRequest& request, THttpResponse& response) override;

 private:
  THostRemote& m_host;
};

}  // namespace remote
