// Requests and answers of the LAN server, without a network: the server hands each request
// here whole, and Dispatch checks the limits once and asks each feature's routes in turn.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

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

// Responses with the headers every answer carries (no caching, no framing, no outside
// sources).
THttpResponse PlainResponse(int status, std::string_view utf8);
THttpResponse JsonResponse(std::string body, int status = 200);
THttpResponse HtmlResponse(std::string body);

class TRoutes;

// The one answer to a request: 431 or 413 when it breaks the limits on header or body size,
// else the first of `routes` (null ones skipped) that takes it, else 404.
THttpResponse Dispatch(const THttpRequest& request, const std::vector<TRoutes*>& routes);

// The request keeps the limits on header and body size.
bool WithinLimits(const THttpRequest& request);

// A feature's routes on the server. Dispatch checks the limits once and then asks each
// feature's Answer; Handle, for one feature alone, leaves a request over the limits to the
// dispatch.
class TRoutes {
 public:
  virtual ~TRoutes() = default;
  // True when the request is one of these routes and within the limits, with its answer.
  bool Handle(const THttpRequest& request, THttpResponse& response) {
    return WithinLimits(request) && Answer(request, response);
  }

 protected:
  // True when the request is one of these routes, with its answer in `response`.
  virtual bool Answer(const THttpRequest& request, THttpResponse& response) = 0;

  friend THttpResponse Dispatch(const THttpRequest&, const std::vector<TRoutes*>&);
};

// Decodes an application/x-www-form-urlencoded body ('+' is a blank, %XX a byte). False
// on a bad escape, a repeated or empty name, or more than 8 fields.
bool ParseForm(std::string_view body, std::map<std::string, std::string>& fields);

// Text for a JSON string (quotes included), with <, >, & and the line separators escaped
// so it can never end a script; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view utf8);
// Text for HTML (&, <, >, ", ').
std::string HtmlEscape(std::string_view utf8);

}  // namespace net
