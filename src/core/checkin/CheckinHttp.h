// The phones' side of check-in as requests and answers, without a network: the server
// hands each request here whole and sends back what comes out. Only these routes answer:
//   GET  /          the page (HTML with its CSS and script inline, no outside assets)
//   POST /checkin   form id=…&name=…: the answer of the desk, as JSON; a check-in carries
//                   the proof of the guest's line (ProofJson below)
//   GET  /list      the page of those who do not check in: am I on the list?
//   POST /list      form id=…&name=…: the lookup's answer with the line's proof, as JSON
//   POST /winners   form t=<token>: the winners board, the asker's own result and the name
//                   its token checked in (so a reloaded page still says 已签到), as JSON
// Everything else is 404. Nothing here reads a file or changes anything but a check-in; the
// list is never served, only the asker's own line. A proof is
//   {"n":<number>,"line":<the line, UTF-8>,"hex":<its GBK bytes in hex>,"proof":<proof text>,
//    "root":<the list's root>}
// and the page checks it itself (its own SHA-256: crypto.subtle is not offered to a page
// from a LAN address over plain http).
#pragma once

#include <string>
#include <string_view>

#include "core/net/Http.h"

namespace checkin {

class TCheckinDesk;

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

// The check-in's routes: the pages, /checkin, /list and /winners.
class TCheckinRoutes : public TRoutes {
 public:
  explicit TCheckinRoutes(TCheckinDesk& desk) : m_desk(desk) {}

 protected:
  bool Answer(const THttpRequest& request, THttpResponse& response) override;

 private:
  TCheckinDesk& m_desk;
};

// The answer to one request (Dispatch over the check-in's routes alone).
THttpResponse HandleRequest(TCheckinDesk& desk, const THttpRequest& request);

// The page for a desk: its task name (GBK), whether the name is asked, what the id is
// called (the list's first title, GBK; 号码 when empty), and whether it is digits alone
// (the phone then offers its number pad).
std::string CheckinPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                        bool numericIds);
// The lookup page, asking what the check-in page asks.
std::string ListPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                     bool numericIds);

}  // namespace checkin
