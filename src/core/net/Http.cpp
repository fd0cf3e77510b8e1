#include "core/net/Http.h"

#include "core/text/Format.h"
#include "core/text/Gbk.h"

namespace net {

namespace {

void AddCommonHeaders(THttpResponse& r) {
  r.Headers.push_back({"Cache-Control", "no-store"});
  r.Headers.push_back({"X-Content-Type-Options", "nosniff"});
  r.Headers.push_back({"Referrer-Policy", "no-referrer"});
  r.Headers.push_back({"X-Frame-Options", "DENY"});
  r.Headers.push_back({"Content-Security-Policy",
                       "default-src 'none'; style-src 'unsafe-inline'; script-src "
                       "'unsafe-inline'; connect-src 'self'; img-src data:; form-action 'self'; "
                       "frame-ancestors 'none'; base-uri 'none'"});
}

bool Unescape(std::string_view in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= in.size()) return false;
      const int hi = text::HexDigit(in[i + 1]), lo = text::HexDigit(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  return true;
}

}  // namespace

THttpResponse PlainResponse(int status, std::string_view utf8) {
  THttpResponse r;
  r.Status = status;
  r.ContentType = "text/plain; charset=utf-8";
  r.Body = std::string(utf8);
  AddCommonHeaders(r);
  return r;
}

THttpResponse JsonResponse(std::string body, int status) {
  THttpResponse r;
  r.Status = status;
  r.ContentType = "application/json; charset=utf-8";
  r.Body = std::move(body);
  AddCommonHeaders(r);
  return r;
}

THttpResponse HtmlResponse(std::string body) {
  THttpResponse r;
  r.Status = 200;
  r.ContentType = "text/html; charset=utf-8";
  r.Body = std::move(body);
  AddCommonHeaders(r);
  return r;
}

bool ParseForm(std::string_view body, std::map<std::string, std::string>& fields) {
  fields.clear();
  size_t from = 0;
  while (from <= body.size()) {
    const size_t amp = body.find('&', from);
    const std::string_view pair =
        body.substr(from, amp == std::string_view::npos ? std::string_view::npos : amp - from);
    from = amp == std::string_view::npos ? body.size() + 1 : amp + 1;
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    std::string name, value;
    if (!Unescape(pair.substr(0, eq), name) || name.empty()) return false;
    if (eq != std::string_view::npos && !Unescape(pair.substr(eq + 1), value)) return false;
    if (fields.size() >= 8 || !fields.emplace(std::move(name), std::move(value)).second)
      return false;
  }
  return true;
}

std::string JsonString(std::string_view s) {
  static const char* kHex = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const size_t n = text::Utf8Length(s, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (n == 3 && c == 0xE2 && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(s[i + 2]) == 0xA8 ||
         static_cast<unsigned char>(s[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(s[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
    } else if (n > 1) {
      out.append(s.substr(i, n));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7f) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
    i += n;
  }
  out += '"';
  return out;
}

std::string HtmlEscape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool WithinLimits(const THttpRequest& req) {
  return req.HeaderBytes <= kMaxHeaderBytes && !req.BodyTooLarge &&
         req.Body.size() <= kMaxBodyBytes;
}

THttpResponse Dispatch(const THttpRequest& req, const std::vector<TRoutes*>& routes) {
  if (req.HeaderBytes > kMaxHeaderBytes) return PlainResponse(431, "请求头过大");
  if (req.BodyTooLarge || req.Body.size() > kMaxBodyBytes) return PlainResponse(413, "请求过大");
  THttpResponse response;
  for (TRoutes* r : routes)
    if (r && r->Answer(req, response)) return response;
  return PlainResponse(404, "没有这个页面");
}

}  // namespace net
