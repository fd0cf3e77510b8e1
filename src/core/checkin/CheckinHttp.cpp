#include "core/checkin/CheckinHttp.h"

#include <cstdint>

#include "core/checkin/CheckinDesk.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"

namespace checkin {

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

std::string U8(std::string_view gbk) { return text::GbkToUtf8(gbk); }

const char* AnswerKind(TAnswer a) {
  switch (a) {
    case TAnswer::CheckedIn:
      return "ok";
    case TAnswer::NotOnList:
      return "notlisted";
    case TAnswer::NameMismatch:
      return "mismatch";
    case TAnswer::AlreadyIn:
      return "already";
    case TAnswer::Empty:
      return "empty";
    case TAnswer::BadText:
      return "badtext";
    case TAnswer::TooMany:
      return "toomany";
    case TAnswer::Closed:
      return "closed";
    case TAnswer::NotSaved:
      return "notsaved";
  }
  return "closed";
}

THttpResponse CheckInRoute(TCheckinDesk& desk, const THttpRequest& req) {
  std::map<std::string, std::string> form;
  if (!ParseForm(req.Body, form)) return PlainResponse(400, "请求无效");
  const auto id = form.find("id");
  const auto name = form.find("name");
  const TCheckinResult r =
      desk.CheckIn(req.Address, id == form.end() ? std::string_view() : id->second,
                   name == form.end() ? std::string_view() : name->second);
  std::string body = "{\"kind\":\"";
  body += AnswerKind(r.Answer);
  body += "\",\"text\":" + JsonString(U8(AnswerText(r.Answer)));
  body += ",\"name\":" + JsonString(U8(r.Name));
  body += ",\"token\":" + JsonString(r.Token) + "}";
  return JsonResponse(std::move(body));
}

THttpResponse WinnersRoute(TCheckinDesk& desk, const THttpRequest& req) {
  std::map<std::string, std::string> form;
  if (!ParseForm(req.Body, form)) return PlainResponse(400, "请求无效");
  const auto token = form.find("t");
  std::vector<TBoardLine> lines;
  std::string won;
  desk.ReadBoard(token == form.end() ? std::string_view() : token->second, lines, won);
  const TCheckinView view = desk.View();
  std::string body = "{\"open\":";
  body += view.Open ? "true" : "false";
  body += ",\"count\":" + std::to_string(view.CheckedIn);
  body += ",\"total\":" + std::to_string(view.Total);
  body += ",\"me\":" + JsonString(won.empty() ? std::string() : U8(text::G("恭喜您获得") + won));
  body +=
      ",\"in\":" +
      JsonString(U8(desk.CheckedInAs(token == form.end() ? std::string_view() : token->second)));
  body += ",\"lines\":[";
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) body += ',';
    body += "{\"t\":" + JsonString(U8(lines[i].Text)) +
            ",\"c\":" + (lines[i].Caption ? "true" : "false") + "}";
  }
  body += "]}";
  return JsonResponse(std::move(body));
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

bool OverLimits(const THttpRequest& req) {
  return req.HeaderBytes > kMaxHeaderBytes || req.BodyTooLarge || req.Body.size() > kMaxBodyBytes;
}

THttpResponse HandleRequest(TCheckinDesk& desk, const THttpRequest& req, THostRemote* host) {
  if (req.HeaderBytes > kMaxHeaderBytes) return PlainResponse(431, "请求头过大");
  if (req.BodyTooLarge || req.Body.size() > kMaxBodyBytes) return PlainResponse(413, "请求过大");
  if (req.Method == "GET" && (req.Path == "/" || req.Path == "/index.html")) {
    return HtmlResponse(
        CheckinPage(desk.TaskName(), desk.HasNameField(), desk.IdTitle(), desk.NumericIds()));
  }
  if (host && IsHostPath(req.Path)) return HandleHostRequest(*host, req);
  if (req.Method == "POST" && req.Path == "/checkin") return CheckInRoute(desk, req);
  if (req.Method == "POST" && req.Path == "/winners") return WinnersRoute(desk, req);
  return PlainResponse(404, "没有这个页面");
}

}  // namespace checkin
