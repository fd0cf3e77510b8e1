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

// The routes of pairing and of the host's remote. Every POST is a signed body (PairKey.h):
// "t=<token>&n=<counter>&s=<signature>" and then the fields below.
//   POST /pair         (no token, signed with the host code's key): the pairing's answer,
//                      with its token and role, as JSON
//   GET  /host         the host's page
//   POST /host/state   what the stage shows now, the buttons it allows, the last counter
//   POST /host/input   a=<action>[&k=<index>]: one button press
//   POST /host/add     name=<utf-8>&count=<1…9999>[&per=<1…9999>][&gift=<utf-8>]: 临时加奖,
//                      numbered by its counter; the state's "added" tells its outcome
// A request that Check does not take is refused (SignedRefusal) and changes nothing.
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
