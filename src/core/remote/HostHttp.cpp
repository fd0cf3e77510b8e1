// The routes of pairing and of the host's remote: requests in, answers out. Every host
// request is checked against the pairing before anything else is read from it.
#include <charconv>

#include "core/remote/HostHttp.h"
#include "core/remote/HostRemote.h"
#include "core/text/Gbk.h"

namespace remote {

using net::TPairAnswer;
using net::TPairOutcome;
using net::TPairRole;
using net::TSignedAnswer;
using net::TSignedCheck;

namespace {

std::string U8(std::string_view gbk) { return text::GbkToUtf8(gbk); }

const char* PhaseName(TStagePhase p) {
  switch (p) {
    case TStagePhase::Opening:
      return "opening";
    case TStagePhase::Ready:
      return "ready";
    case TStagePhase::Selecting:
      return "selecting";
    case TStagePhase::Rolling:
      return "rolling";
    case TStagePhase::Landing:
      return "landing";
    case TStagePhase::Revealed:
      return "revealed";
    case TStagePhase::Choosing:
      return "choosing";
    case TStagePhase::Replacing:
      return "replacing";
    case TStagePhase::Summary:
      return "summary";
    case TStagePhase::Finished:
      return "finished";
    case TStagePhase::Closed:
      break;
  }
  return "closed";
}

const char* QuestionName(TStageQuestion q) {
  switch (q) {
    case TStageQuestion::Resume:
      return "resume";
    case TStageQuestion::Results:
      return "results";
    case TStageQuestion::Absent:
      return "absent";
    case TStageQuestion::Leave:
      return "leave";
    case TStageQuestion::None:
      break;
  }
  return "";
}

// A decimal number of 1 … 18 digits.
bool ParseNumber(const std::string& s, uint64_t& n) {
  if (s.empty() || s.size() > 18) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), n);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string Field(const std::map<std::string, std::string>& form, const char* name) {
  const auto it = form.find(name);
  return it == form.end() ? std::string() : it->second;
}

THttpResponse Kind(const char* kind, std::string_view textUtf8, int status = 200) {
  return JsonResponse(
      std::string("{\"kind\":\"") + kind + "\",\"text\":" + JsonString(textUtf8) + "}", status);
}

THttpResponse PairRoute(THostRemote& host, const THttpRequest& req) {
  std::map<std::string, std::string> form;
  if (!ParseForm(req.Body, form)) return PlainResponse(400, "请求无效");
  const TPairAnswer a = host.Pairing().Pair(req, TPairRole::Host);
  const char* kind = "wrong";
  const char* text = "配对码不对，请看操作电脑上的配对码";
  switch (a.Outcome) {
    case TPairOutcome::Paired:
      kind = "paired";
      text = a.Role == TPairRole::Host ? "已配对，本机是主持人遥控器" : "已配对，本机是领奖台";
      break;
    case TPairOutcome::Waiting:
      kind = "waiting";
      text = "已有主持人配对，请等操作员允许";
      break;
    case TPairOutcome::WrongCode:
      break;
    case TPairOutcome::WrongRole:
      kind = "wrongrole";
      text = "这是领奖台的配对码，请输入主持人配对码";
      break;
    case TPairOutcome::Unsigned:
      kind = "unsigned";
      text = "配对方式已更新，请重新扫描操作电脑上的二维码";
      break;
    case TPairOutcome::Locked:
      kind = "locked";
      text = "错误次数太多，请稍后再试";
      break;
    case TPairOutcome::Full:
      kind = "full";
      text = "配对的领奖台已满";
      break;
    case TPairOutcome::Failed:
      kind = "failed";
      text = "配对失败，请重试";
      break;
  }
  std::string body = std::string("{\"kind\":\"") + kind + "\",\"text\":" + JsonString(text);
  if (!a.Token.empty()) {
    body += ",\"token\":" + JsonString(a.Token);
    body += std::string(",\"role\":\"") + (a.Role == TPairRole::Host ? "host" : "desk") + "\"";
  }
  return JsonResponse(body + "}");
}

THttpResponse StateRoute(const TSignedAnswer& signedAnswer, THostRemote& host) {
  uint64_t revision = 0;
  const TStageState s = host.State(revision);
  std::string b = "{\"kind\":\"paired\",\"rev\":" + std::to_string(revision);
  b += ",\"n\":" + std::to_string(signedAnswer.Last);
  b += std::string(",\"open\":") + (s.open ? "true" : "false");
  b += ",\"task\":" + JsonString(U8(s.task));
  b += std::string(",\"phase\":\"") + PhaseName(s.phase) + "\"";
  b += ",\"prize\":" + JsonString(U8(s.prize));
  b += ",\"left\":" + std::to_string(s.left);
  b += std::string(",\"finished\":") + (s.finished ? "true" : "false");
  b += ",\"cards\":[";
  for (size_t i = 0; i < s.cards.size(); ++i) {
    if (i) b += ',';
    b += "{\"id\":" + JsonString(U8(s.cards[i].id)) +
         ",\"name\":" + JsonString(U8(s.cards[i].name)) +
         ",\"rest\":" + JsonString(U8(s.cards[i].rest)) + "}";
  }
  b += "],\"lines\":[";
  for (size_t i = 0; i < s.lines.size(); ++i) b += (i ? "," : "") + JsonString(U8(s.lines[i]));
  b += "],\"chosen\":" + std::to_string(s.chosen);
  b += ",\"prompt\":" + JsonString(U8(s.prompt));
  b += std::string(",\"asks\":\"") + (s.promptAsks ? QuestionName(s.asking) : "") + "\"";
  b += std::string(",\"mayChange\":") + (s.mayChange ? "true" : "false");
  const std::optional<THostAction> blank = BlankAction(s);
  b += std::string(",\"blank\":\"") + (blank ? HostActionName(*blank) : "") + "\"";
  b += std::string(",\"blanked\":") + (s.blanked ? "true" : "false");
  b += ",\"note\":" + JsonString(U8(s.note));
  const THostAnswer answer = host.LastAnswer();
  b += ",\"added\":{\"n\":" + std::to_string(answer.seq) +
       ",\"ok\":" + (answer.accepted ? "true" : "false") +
       ",\"text\":" + JsonString(U8(answer.text)) + "}";
  b += ",\"actions\":[";
  const std::vector<THostAction> actions = HostActions(s);
  for (size_t i = 0; i < actions.size(); ++i)
    b += std::string(i ? "," : "") + "\"" + HostActionName(actions[i]) + "\"";
  return JsonResponse(b + "]}");
}

// Takes the paired host's signed input into the stage's queue.
THttpResponse Queue(THostRemote& host, const THostInput& in) {
  switch (host.Push(in)) {
    case THostRemote::TPush::Queued:
      return Kind("ok", "");
    case THostRemote::TPush::NoStage:
      return Kind("nostage", "抽奖画面还没有打开", 503);
    case THostRemote::TPush::Full:
      break;
  }
  return Kind("busy", "操作太快，请稍候", 429);
}

THttpResponse InputRoute(const TSignedAnswer& signedAnswer, THostRemote& host) {
  const std::map<std::string, std::string>& form = signedAnswer.Form;
  THostInput in;
  uint64_t index = 0;
  const std::string k = Field(form, "k");
  if (!ParseHostAction(Field(form, "a"), in.action) ||
      (!k.empty() && (!ParseNumber(k, index) || index > 999)))
    return PlainResponse(400, "请求无效");
  in.index = static_cast<int>(index);
  in.seq = signedAnswer.Last;
  return Queue(host, in);
}

// A count typed on the phone: 1 … 9999, or 0 for an empty optional one.
bool ParseCount(const std::string& s, bool optional, int32_t& n) {
  uint64_t v = 0;
  if (s.empty() && optional) {
    n = 0;
    return true;
  }
  if (!ParseNumber(s, v) || v < 1 || v > 9999) return false;
  n = static_cast<int32_t>(v);
  return true;
}

THttpResponse AddRoute(const TSignedAnswer& signedAnswer, THostRemote& host) {
  const std::map<std::string, std::string>& form = signedAnswer.Form;
  THostInput in;
  THostAdd add;
  in.seq = signedAnswer.Last;
  if (!ParseCount(Field(form, "count"), false, add.count) ||
      !ParseCount(Field(form, "per"), true, add.perPress))
    return Kind("invalid", "名额和每次抽取人数请填1到9999的数字", 400);
  // The rest (an empty name, a per press above the count, …) the stage checks as the
  // operator's own change.
  if (!text::Utf8ToGbk(Field(form, "name"), add.name) ||
      !text::Utf8ToGbk(Field(form, "gift"), add.gift))
    return Kind("invalid", "名称里有电脑无法显示的字，请换个写法", 400);
  in.add = std::move(add);
  return Queue(host, in);
}

}  // namespace

bool IsHostPath(std::string_view path) {
  return path == "/pair" || path == "/host" || path.starts_with("/host/");
}

THttpResponse HandleHostRequest(THostRemote& host, const THttpRequest& req) {
  if (req.Method == "GET" && req.Path == "/host") return HtmlResponse(HostPage());
  if (req.Method == "POST" && req.Path == "/pair") return PairRoute(host, req);
  const bool state = req.Path == "/host/state", input = req.Path == "/host/input",
             add = req.Path == "/host/add";
  if (req.Method != "POST" || !(state || input || add)) return PlainResponse(404, "没有这个页面");
  // Nothing of a request is read before its signature and counter are.
  const TSignedAnswer signedAnswer = host.Pairing().Check(req, TPairRole::Host);
  if (signedAnswer.Check != TSignedCheck::Taken) return net::SignedRefusal(signedAnswer);
  if (state) return StateRoute(signedAnswer, host);
  return input ? InputRoute(signedAnswer, host) : AddRoute(signedAnswer, host);
}

bool THostRoutes::Answer(const THttpRequest& req, THttpResponse& response) {
  if (!IsHostPath(req.Path)) return false;
  response = HandleHostRequest(m_host, req);
  return true;
}

}  // namespace remote
