#include "core/checkin/CheckinHttp.h"

#include <cstdint>

#include "core/checkin/CheckinDesk.h"
#include "core/text/Gbk.h"

namespace checkin {

namespace {

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

// The line's proof as the phone's page checks it: the line's GBK bytes in hex (what the
// tree hashes), the line as text to show and copy, its number, the proof and the root.
std::string ProofJson(const TLineProof& p) {
  static const char* kHex = "0123456789abcdef";
  std::string hex;
  hex.reserve(p.Line.size() * 2);
  for (unsigned char c : p.Line) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return "{\"n\":" + std::to_string(p.Number) + ",\"line\":" + JsonString(U8(p.Line)) +
         ",\"hex\":\"" + hex + "\",\"proof\":\"" + p.Proof + "\",\"root\":\"" + p.Root + "\"}";
}

const char* LookupKind(TLookup a) {
  switch (a) {
    case TLookup::OnList:
      return "onlist";
    case TLookup::NotOnList:
      return "notlisted";
    case TLookup::NameMismatch:
      return "mismatch";
    case TLookup::Empty:
      return "empty";
    case TLookup::BadText:
      return "badtext";
    case TLookup::TooMany:
      return "toomany";
    case TLookup::NoList:
      return "nolist";
  }
  return "nolist";
}

THttpResponse LookupRoute(TCheckinDesk& desk, const THttpRequest& req) {
  std::map<std::string, std::string> form;
  if (!ParseForm(req.Body, form)) return PlainResponse(400, "请求无效");
  const auto id = form.find("id");
  const auto name = form.find("name");
  const TLookupResult r =
      desk.Lookup(req.Address, id == form.end() ? std::string_view() : id->second,
                  name == form.end() ? std::string_view() : name->second);
  std::string body = "{\"kind\":\"";
  body += LookupKind(r.Answer);
  body += "\",\"text\":" + JsonString(U8(LookupText(r.Answer, r.Proof.Number)));
  if (r.Answer == TLookup::OnList) body += ",\"proof\":" + ProofJson(r.Proof);
  return JsonResponse(body + "}");
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
  body += ",\"token\":" + JsonString(r.Token);
  if (r.Answer == TAnswer::CheckedIn && r.Proof.Number > 0)
    body += ",\"proof\":" + ProofJson(r.Proof);
  return JsonResponse(body + "}");
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

bool TCheckinRoutes::Answer(const THttpRequest& req, THttpResponse& response) {
  if (req.Method == "GET" && (req.Path == "/" || req.Path == "/index.html")) {
    response = HtmlResponse(CheckinPage(m_desk.TaskName(), m_desk.HasNameField(), m_desk.IdTitle(),
                                        m_desk.NumericIds()));
  } else if (req.Method == "POST" && req.Path == "/checkin") {
    response = CheckInRoute(m_desk, req);
  } else if (req.Method == "GET" && req.Path == "/list") {
    response = HtmlResponse(
        ListPage(m_desk.TaskName(), m_desk.HasNameField(), m_desk.IdTitle(), m_desk.NumericIds()));
  } else if (req.Method == "POST" && req.Path == "/list") {
    response = LookupRoute(m_desk, req);
  } else if (req.Method == "POST" && req.Path == "/winners") {
    response = WinnersRoute(m_desk, req);
  } else {
    return false;
  }
  return true;
}

THttpResponse HandleRequest(TCheckinDesk& desk, const THttpRequest& req) {
  TCheckinRoutes routes(desk);
  return Dispatch(req, {&routes});
}

}  // namespace checkin
