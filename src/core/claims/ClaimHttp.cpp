#include "core/claims/ClaimHttp.h"

#include <qrencode.h>

#include <charconv>
#include <vector>

#include "core/claims/ClaimDesk.h"
#include "core/net/Pairing.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"

namespace claims {

using net::JsonString;
using net::THttpRequest;
using net::THttpResponse;

namespace {

std::string U8(std::string_view gbk) { return text::GbkToUtf8(gbk); }

std::string Field(const std::map<std::string, std::string>& form, const char* name) {
  const auto it = form.find(name);
  return it == form.end() ? std::string() : it->second;
}

std::string Base64(std::string_view bytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += k[(v >> 6) & 63];
    out += k[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? k[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// The winner's stored photo as a data: address, or empty.
std::string PhotoData(int32_t taskId, const std::string& id) {
  const std::string path = photos::PhotoOf(taskId, id);
  if (path.empty()) return {};
  std::string bytes, error;
  if (!files::ReadWholeFile(path, bytes, error) || bytes.size() > kMaxPhotoBytes) return {};
  const bool png = bytes.size() > 4 && bytes.compare(1, 3, "PNG") == 0;
  return std::string("data:image/") + (png ? "png" : "jpeg") + ";base64," + Base64(bytes);
}

std::string StatusText(const TPrize& p) {
  return p.Claimed ? ClaimAnswerText(TClaimAnswer::AlreadyClaimed, p.Time) + " (" + p.Desk + ")"
                   : text::G("未领取");
}

std::string PrizeJson(const TPrize& p, const std::string& photo) {
  std::string s = "{\"id\":" + JsonString(U8(p.Winner.Id));
  s += ",\"name\":" + JsonString(U8(p.Winner.Name));
  s += ",\"item\":" + JsonString(U8(p.Winner.ItemName));
  s += ",\"p\":" + std::to_string(p.Winner.ItemId);
  s += ",\"code\":" + JsonString(p.Code);
  s += ",\"claimed\":";
  s += p.Claimed ? "true" : "false";
  s += ",\"text\":" + JsonString(U8(StatusText(p)));
  s += ",\"photo\":" + JsonString(photo) + "}";
  return s;
}

const char* AnswerKind(TClaimAnswer a) {
  switch (a) {
    case TClaimAnswer::Claimed:
      return "ok";
    case TClaimAnswer::AlreadyClaimed:
      return "already";
    case TClaimAnswer::Absent:
      return "absent";
    case TClaimAnswer::Voided:
      return "voided";
    case TClaimAnswer::NotWinner:
      return "notwinner";
    case TClaimAnswer::NotSaved:
      return "notsaved";
    case TClaimAnswer::Closed:
      return "closed";
  }
  return "closed";
}

THttpResponse Refused(int status, const char* kind, std::string_view gbkText,
                      std::string extra = {}) {
  THttpResponse r = net::JsonResponse("{\"kind\":\"" + std::string(kind) +
                                      "\",\"text\":" + JsonString(U8(gbkText)) + extra + "}");
  r.Status = status;
  return r;
}

THttpResponse BadRequest() { return net::PlainResponse(400, "请求无效"); }

}  // namespace

std::string SpacedCode(std::string_view code) {
  if (code.size() != kClaimCodeDigits) return std::string(code);
  return std::string(code.substr(0, 4)) + " " + std::string(code.substr(4));
}

std::string QrModules(std::string_view text, int& side) {
  side = 0;
  const std::string z(text);
  QRcode* code = QRcode_encodeString8bit(z.c_str(), 0, QR_ECLEVEL_M);
  if (!code) return {};
  const int n = code->width;
  std::string modules(static_cast<size_t>(n) * static_cast<size_t>(n), '0');
  for (size_t i = 0; i < modules.size(); ++i)
    if (code->data[i] & 1) modules[i] = '1';
  QRcode_free(code);
  side = n;
  return modules;
}

void TClaimRoutes::SetBaseUrl(std::string url) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_baseUrl = std::move(url);
}

std::string TClaimRoutes::DeskName(std::string_view token) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_deskNames.find(std::string(token));
  return it == m_deskNames.end() ? std::string() : it->second;
}

bool TClaimRoutes::Answer(const THttpRequest& req, THttpResponse& response) {
  const bool ours =
      (req.Method == "GET" && req.Path == "/desk") ||
      (req.Method == "POST" && (req.Path == "/desk/pair" || req.Path == "/desk/find" ||
                                req.Path == "/desk/claim" || req.Path == "/prize"));
  if (!ours) return false;
  if (req.Method == "GET") {
    response = net::HtmlResponse(DeskPage(m_claimants.TaskName()));
  } else if (req.Path == "/desk/pair") {
    response = Pair(req);
  } else if (req.Path == "/desk/find") {
    response = Find(req);
  } else if (req.Path == "/desk/claim") {
    response = Claim(req);
  } else {
    response = Prize(req);
  }
  return true;
}

THttpResponse TClaimRoutes::Pair(const THttpRequest& req) {
  std::map<std::string, std::string> form;
  if (!net::ParseForm(req.Body, form)) return BadRequest();
  const net::TPairAnswer a = m_pairing.Pair(req, net::TPairRole::Desk);
  using net::TPairOutcome;
  switch (a.Outcome) {
    case TPairOutcome::Paired: {
      std::string name;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        name = text::G("领奖台") + std::to_string(m_deskNames.size() + 1);
        m_deskNames[a.Token] = name;
      }
      return net::JsonResponse("{\"kind\":\"ok\",\"text\":" + JsonString(U8(text::G("配对成功"))) +
                               ",\"token\":" + JsonString(a.Token) +
                               ",\"desk\":" + JsonString(U8(name)) + "}");
    }
    case TPairOutcome::Locked:
      return Refused(429, "locked", text::G("配对码错误次数过多，请稍后再试"));
    case TPairOutcome::Full:
      return Refused(403, "full", text::G("领奖台数量已满"));
    case TPairOutcome::Failed:
      return Refused(503, "failed", text::G("配对失败，请再试一次"));
    case TPairOutcome::WrongRole:
      return Refused(403, "wrongrole", text::G("这是主持人遥控的配对码，请输入领奖台配对码"));
    case TPairOutcome::Unsigned:
      return Refused(403, "unsigned", text::G("配对方式已更新，请重新扫描操作电脑上的二维码"));
    default:
      return Refused(403, "wrongcode", text::G("配对码不正确或已被使用"));
  }
}

bool TClaimRoutes::TakeDesk(const THttpRequest& req, std::map<std::string, std::string>& form,
                            std::string& name, THttpResponse& refusal) {
  net::TSignedAnswer a = m_pairing.Check(req, net::TPairRole::Desk);
  if (a.Check != net::TSignedCheck::Taken) {
    refusal = net::SignedRefusal(a);
    return false;
  }
  form = std::move(a.Form);
  name = DeskName(a.Token);
  if (name.empty()) name = text::G("领奖台");
  return true;
}

THttpResponse TClaimRoutes::Find(const THttpRequest& req) {
  std::map<std::string, std::string> form;
  std::string desk;
  THttpResponse refusal;
  if (!TakeDesk(req, form, desk, refusal)) return refusal;
  std::vector<TPrize> found;
  const std::string code = Field(form, "c");
  std::string query;
  if (!code.empty()) {
    const std::optional<TPrize> p = m_desk->Find(code);
    if (!p) return Refused(200, "notwinner", ClaimAnswerText(TClaimAnswer::NotWinner));
    if (p->Voided) return Refused(200, "voided", ClaimAnswerText(TClaimAnswer::Voided));
    if (p->Code.empty()) return Refused(200, "absent", ClaimAnswerText(TClaimAnswer::Absent));
    found.push_back(*p);
  } else if (!text::Utf8ToGbk(Field(form, "q"), query)) {
    return BadRequest();
  } else if (const std::optional<TPrize> p = m_desk->Find(query); p && !p->Code.empty()) {
    found.push_back(*p);  // a claim code typed in the search field
  } else {
    found = m_desk->Search(query);
    if (found.empty()) return Refused(200, "none", text::G("没有找到这位中奖者"));
  }
  std::string body = "{\"kind\":\"found\",\"desk\":" + JsonString(U8(desk)) + ",\"prizes\":[";
  for (size_t i = 0; i < found.size(); ++i) {
    if (i) body += ',';
    // Photos for a single winner only: a search's list stays small. Photos are named by
    // id, so an id that people share has none the desk could trust.
    const bool photo = found.size() == 1 && !m_claimants.RepeatedId(found[i].Winner.Id);
    body += PrizeJson(found[i],
                      photo ? PhotoData(m_desk->TaskId(), found[i].Winner.Id) : std::string());
  }
  body += "]}";
  return net::JsonResponse(std::move(body));
}

THttpResponse TClaimRoutes::Claim(const THttpRequest& req) {
  std::map<std::string, std::string> form;
  std::string desk;
  THttpResponse refusal;
  if (!TakeDesk(req, form, desk, refusal)) return refusal;
  TClaimResult r;
  const std::string code = Field(form, "c");
  if (!code.empty()) {
    r = m_desk->ClaimCode(code, desk);
  } else {
    std::string id;
    int32_t item = 0;
    const std::string p = Field(form, "p");
    const auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), item);
    if (!text::Utf8ToGbk(Field(form, "i"), id) || id.empty() || p.empty() || ec != std::errc() ||
        end != p.data() + p.size())
      return BadRequest();
    r = m_desk->Claim(id, item, desk);
  }
  std::string body = "{\"kind\":\"" + std::string(AnswerKind(r.Answer)) +
                     "\",\"text\":" + JsonString(U8(ClaimAnswerText(r.Answer, r.Prize.Time)));
  if (!r.Prize.Winner.Id.empty()) body += ",\"prize\":" + PrizeJson(r.Prize, {});
  body += "}";
  THttpResponse out = net::JsonResponse(std::move(body));
  if (r.Answer == TClaimAnswer::NotSaved) out.Status = 503;
  return out;
}

THttpResponse TClaimRoutes::Prize(const THttpRequest& req) {
  std::map<std::string, std::string> form;
  if (!net::ParseForm(req.Body, form)) return BadRequest();
  const std::string token = Field(form, "t");
  const std::string id = token.empty() ? std::string() : m_claimants.IdOfToken(token);
  std::string base;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    base = m_baseUrl;
  }
  std::string body = "{\"prizes\":[";
  bool first = true;
  for (const TPrize& p : id.empty() ? std::vector<TPrize>() : m_desk->PrizesOf(id)) {
    if (p.Code.empty()) continue;
    int side = 0;
    const std::string qr = QrModules(base + "desk?c=" + p.Code, side);
    if (!first) body += ',';
    first = false;
    body += "{\"item\":" + JsonString(U8(p.Winner.ItemName));
    body += ",\"code\":" + JsonString(SpacedCode(p.Code));
    body += ",\"qr\":" + JsonString(qr) + ",\"qs\":" + std::to_string(side);
    body += ",\"claimed\":";
    body += p.Claimed ? "true" : "false";
    body += ",\"text\":" +
            JsonString(U8(p.Claimed ? text::G("已领取") : text::G("请到领奖台出示此码")));
    body += "}";
  }
  body += "]}";
  return net::JsonResponse(std::move(body));
}

}  // namespace claims
