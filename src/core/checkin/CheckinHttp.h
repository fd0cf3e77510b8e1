// The phones' side of check-in as requests and answers, without a network: the server
// hands each request here whole and sends back what comes out. Only three routes answer:
//   GET  /          the page (HTML with its CSS and script inline, no outside assets)
//   POST /checkin   form id=…&name=…: the answer of the desk, as JSON
//   POST /winners   form t=<token>: the winners board, the asker's own result and the name
//                   its token checked in (so a reloaded page still says 已签到), as JSON
// With a host remote, the routes of pairing and of the host's page (HandleHostRequest).
// Everything else is 404. Nothing here reads a file or changes anything but a check-in.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace checkin {

class TCheckinDesk;
class THostRemote;

inline constexpr size_t kMaxHeaderBytes = 8 * 1024;
inline constexpr size_t kMaxBodyBytes = 4 * 1024;

struct THttpRequest {
  std::string_view Method;
  std::string_view Path;  // without the query
  std::string_view Body;
  std::string_view Address;   // the peer's address, the key of the rate limit
  size_t HeaderBytes = 0;     // names and values of every header line
  bool BodyTooLarge = false;  // the server stopped reading past kMaxBodyBytes
};

struct THttpResponse {
  int Status = 404;
  std::string ContentType;
  std::string Body;  // UTF-8
  std::vector<std::pair<std::string, std::string>> Headers;
};

// The answer to one request; `host` adds the host's routes.
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

// Responses with the headers every answer carries (no caching, no framing, no outside
// sources).
THttpResponse PlainResponse(int status, std::string_view utf8);
THttpResponse JsonResponse(std::string body, int status = 200);
THttpResponse HtmlResponse(std::string body);

// The request breaks the limits on header or body size: the answer HandleRequest gives it.
bool OverLimits(const THttpRequest& request);

// Decodes an application/x-www-form-urlencoded body ('+' is a blank, %XX a byte). False
// on a bad escape, a repeated or empty name, or more than 8 fields.
bool ParseForm(std::string_view body, std::map<std::string, std::string>& fields);

// Text for a JSON string (quotes included), with <, >, & and the line separators escaped
// so it can never end a script; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view utf8);
// Text for HTML (&, <, >, ", ').
std::string HtmlEscape(std::string_view utf8);

// The page for a desk: its task name (GBK), whether the name is asked, what the id is
// called (the list's first title, GBK; 号码 when empty), and whether it is digits alone
// (the phone then offers its number pad).
std::string CheckinPage(std::string_view taskNameGbk, bool askName, std::string_view idTitleGbk,
                        bool numericIds);

}  // namespace checkin
