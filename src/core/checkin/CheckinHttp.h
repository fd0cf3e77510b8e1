// The phones' side of check-in as requests and answers, without a network: the server
// hands each request here whole and sends back what comes out. Only three routes answer:
//   GET  /          the page (HTML with its CSS and script inline, no outside assets)
//   POST /checkin   form id=…&name=…: the answer of the desk, as JSON
//   POST /winners   form t=<token>: the winners board, the asker's own result and the name
//                   its token checked in (so a reloaded page still says 已签到), as JSON
// With a host remote, the routes of pairing and of the host's page (HandleHostRequest).
// Everything else is 404. Nothing here reads a file or changes anything but a check-in.
#pragma once

#include <string>
#include <string_view>

#include "core/net/Http.h"

namespace checkin {

class TCheckinDesk;
class THostRemote;

using net::HtmlEscape;
using net::HtmlResponse;
using net::JsonResponse;
using net::JsonString;
using net::kMaxBodyBytes;
using net::kMaxHeaderBytes;
using net::ParseForm;
using net::PlainResponse;
using net::THttpRequest;
using net::THttpResponse;
using net::TRoutes;
using net::WithinLimits;

// The check-in's routes: the page, /checkin and /winners.
class TCheckinRoutes : public TRoutes {
 public:
  explicit TCheckinRoutes(TCheckinDesk& desk) : m_desk(desk) {}

 protected:
  bool Answer(const THttpRequest& request, THttpResponse& response) override;

 private:
  TCheckinDesk& m_desk;
};

// The routes of pairing and of the host's remote (HandleHostRequest).
class THostRoutes : public TRoutes {
 public:
  explicit THostRoutes(THostRemote& host) : m_host(host) {}

 protected:
  bool Answer(const THttpRequest& request, THttpResponse& response) override;

 private:
  THostRemote& m_host;
};

// The answer to one request (Dispatch over the check-in's routes); `host` adds the host's
// routes.
THttpResponse HandleRequest(TCheckinDesk& desk, const THttpRequest& request,
                            THostRemote* host = nullptr);

// The routes of pairing and of the host's remote:
//   POST /pair         form c=<code>: the pairing's answer, with its token and role, as JSON
//   GET  /host         the host's page
//   POST /host/state   form t=<token>: what the stage shows now and the buttons it allows
//   POST /host/input   form t=<token>&n=<number>&a=<action>[&k=<index>]: one button press;
//                      the number rises with each press, so a replayed one is refused
// A request without a paired host token is refused (403) and changes nothing.
bool IsHostPath(std::string_view path);
THttpResponse HandleHostRequest(THostRemote& host, const THttpRequest& request);
// The host's page (HTML with its CSS and script inline, no outside assets).
std::string HostPage();

// The page for a desk: its task name (GBK), whether the name is asked, what the id is
// called (the list's first title, GBK; 号码 when empty), and whether it is digits alone
// (the phone then offers its number pad).
std::string CheckinPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                        bool numericIds);

}  // namespace checkin
