#include "core/draw/PlanRecords.h"

#include <charconv>

#include "core/records/FileHash.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

using text::G;

namespace {

constexpr std::string_view kCheck = "\tcheck=";

std::string_view KindName(TPlanKind kind) {
  switch (kind) {
    case TPlanKind::Add:
      return "ADD";
    case TPlanKind::Count:
      return "COUNT";
    case TPlanKind::Next:
      return "NEXT";
    case TPlanKind::Void:
      return "VOID";
    case TPlanKind::Named:
      return "NAMED";
  }
  return "NEXT";
}

template <typename T>
bool Number(std::string_view s, T& v) {
  if (s.empty() || (s.size() > 1 && s[0] == '0') || s[0] == '-' || s[0] == '+') return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// The fields of a record after its kind, as key and value; a key given twice is malformed.
struct Fields {
  std::vector<std::pair<std::string_view, std::string_view>> all;
  bool Get(std::string_view key, std::string_view& value) const {
    for (const auto& [k, v] : all)
      if (k == key) {
        value = v;
        return true;
      }
    return false;
  }
  template <typename T>
  bool Num(std::string_view key, T& v) const {
    std::string_view s;
    return Get(key, s) && Number(s, v);
  }
};

bool Printable(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

bool Digits(std::string_view s) {
  if (s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The rules' text in one record field: '%', TAB and LF escaped.
std::string EscapeRules(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '%')
      out += "%25";
    else if (c == '\t')
      out += "%09";
    else if (c == '\n')
      out += "%0A";
    else
      out += c;
  }
  return out;
}

bool UnescapeRules(std::string_view field, std::string& text) {
  text.clear();
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      text += field[i];
      continue;
    }
    const std::string_view code = field.substr(i + 1, 2);
    if (code == "25")
      text += '%';
    else if (code == "09")
      text += '\t';
    else if (code == "0A")
      text += '\n';
    else
      return false;
    i += 2;
  }
  return true;
}

// The field's rules: the canonical text of one item's rules, that item `itemId`, nothing of
// the task's.
bool ParseAddedRules(std::string_view field, int32_t itemId, TItemRules& rules) {
  std::string text, ignored;
  TTaskRules parsed;
  if (!UnescapeRules(field, text) || !ParseRules(text, parsed, ignored) ||
      !RulesTextFault(text).empty() || parsed.Items.size() != 1 || parsed.Items[0].ItemId != itemId)
    return false;
  rules = parsed.Items[0];
  parsed.Items.clear();
  return parsed.Empty() && AddedItemRulesOk(rules, ignored);
}

}  // namespace

namespace {

// The words of a typed list: split at ASCII blanks and commas and at GBK ，and 、.
std::vector<std::string> Words(std::string_view typed) {
  std::vector<std::string> out;
  std::string word;
  const auto cut = [&] {
    if (!word.empty()) out.push_back(std::move(word));
    word.clear();
  };
  for (size_t i = 0; i < typed.size();) {
    const unsigned char c = static_cast<unsigned char>(typed[i]);
    if (c >= 0x81 && i + 1 < typed.size()) {
      const std::string_view ch = typed.substr(i, 2);
      if (ch == G("，") || ch == G("、"))
        cut();
      else
        word += ch;
      i += 2;
      continue;
    }
    if (c <= 0x20 || c == ',')
      cut();
    else
      word += static_cast<char>(c);
    ++i;
  }
  cut();
  return out;
}

}  // namespace

TItemRules AddedRulesOf(std::string_view field, std::string_view values,
                        std::string_view excludeIds) {
  TItemRules rules;
  const std::string f = PlanText(field);
  if (!f.empty()) rules.Conditions.push_back({f, TConditionKind::OneOf, Words(values)});
  rules.ExcludeIds = Words(excludeIds);
  TTaskRules own;
  own.Items.push_back(rules);
  own.Items[0].ItemId = 1;
  NormaliseRules(own);
  if (own.Items.empty()) return {};
  own.Items[0].ItemId = 0;
  return own.Items[0];
}

bool AddedItemRulesOk(const TItemRules& rules, std::string& error) {
  if (rules.Quota.IsSet()) {
    error = G("临时加奖的规则不能设限额");
    return false;
  }
  for (const TRuleCondition& c : rules.Conditions)
    if (c.Field.empty() || c.Values.empty()) {
      error = G("临时加奖的条件须有字段和至少一个值");
      return false;
    }
  // What the record holds must read back as it is: no blank inside a value or an id.
  TTaskRules own, back;
  own.Items.push_back(rules);
  own.Items[0].ItemId = 1;
  NormaliseRules(own);
  std::string ignored;
  if (!ParseRules(FormatRules(own), back, ignored) || back != own) {
    error = G("临时加奖的条件值和排除号码中不能有空格");
    return false;
  }
  return true;
}

std::string PlanText(std::string_view gbk) {
  std::string s(gbk);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return text::Trim(s);
}

bool ValidPlanTime(std::string_view t) {
  if (t.size() != 19) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    const char want = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
    if (want == '0' ? (t[i] < '0' || t[i] > '9') : t[i] != want) return false;
  }
  return true;
}

const std::vector<std::string>& VoidReasons() {
  static const std::vector<std::string> reasons = {G("误抽"), G("不符合资格"), G("本人放弃")};
  return reasons;
}

uint32_t MixAudience(uint32_t state, std::string_view digits) {
  const std::string input =
      "tombolix-mix-1\nstate=" + std::to_string(state) + "\naudience=" + std::string(digits) + "\n";
  const std::string hex = Sha256Hex(input);
  uint32_t v = 0;
  std::from_chars(hex.data(), hex.data() + 8, v, 16);
  return v;
}

std::string FormatPlanRecord(const TPlanRecord& r) {
  std::string s(KindName(r.Kind));
  s += "\titem=" + std::to_string(r.ItemId);
  switch (r.Kind) {
    case TPlanKind::Add:
      s += "\tname=" + r.Name + "\tcount=" + std::to_string(r.LuckCount) +
           "\tper=" + std::to_string(r.ListCount) + "\tgift=" + r.Gift;
      if (!r.Rules.Empty()) {
        TTaskRules own;
        own.Items.push_back(r.Rules);
        own.Items[0].ItemId = r.ItemId;
        s += "\trules=" + EscapeRules(FormatRules(own));
      }
      break;
    case TPlanKind::Count:
      s += "\tcount=" + std::to_string(r.LuckCount);
      break;
    case TPlanKind::Next:
      break;
    case TPlanKind::Void:
      s += "\tplace=" + std::to_string(r.Place) + "\tvoided=" + std::to_string(r.Voided) +
           "\treason=" + r.Reason + "\ttime=" + r.Time + "\tredraw=" + (r.Redraw ? "1" : "0");
      if (r.Redraw)
        s += "\treplacement=" + std::to_string(r.Replacement) + "\trng=" + std::to_string(r.Rng) +
             "\trolls=" + std::to_string(r.Rolls);
      break;
    case TPlanKind::Named:
      s += "\twinners=";
      for (size_t i = 0; i < r.Winners.size(); ++i)
        s += (i ? "," : "") + std::to_string(r.Winners[i]);
      break;
  }
  if (r.Kind != TPlanKind::Void && r.Kind != TPlanKind::Named && !r.Audience.empty())
    s += "\taudience=" + r.Audience;
  return SealJournalRecord(std::move(s));
}

PlanParse ParsePlanRecord(std::string_view line, TPlanRecord& r) {
  r = TPlanRecord();
  const size_t at = line.rfind(kCheck);
  const std::string_view body = at == std::string_view::npos ? line : line.substr(0, at);
  const std::vector<std::string_view> parts = text::SplitAt(body, '\t');
  if (parts.empty()) return PlanParse::NotPlan;
  const std::string_view kind = parts[0];
  if (kind == "ADD")
    r.Kind = TPlanKind::Add;
  else if (kind == "COUNT")
    r.Kind = TPlanKind::Count;
  else if (kind == "NEXT")
    r.Kind = TPlanKind::Next;
  else if (kind == "VOID")
    r.Kind = TPlanKind::Void;
  else if (kind == "NAMED")
    r.Kind = TPlanKind::Named;
  else
    return PlanParse::NotPlan;
  Fields f;
  for (size_t i = 1; i < parts.size(); ++i) {
    const size_t eq = parts[i].find('=');
    if (eq == std::string_view::npos) return PlanParse::Bad;
    std::string_view ignored;
    if (f.Get(parts[i].substr(0, eq), ignored)) return PlanParse::Bad;
    f.all.emplace_back(parts[i].substr(0, eq), parts[i].substr(eq + 1));
  }
  if (!f.Num("item", r.ItemId)) return PlanParse::Bad;
  std::string_view s;
  if (r.Kind != TPlanKind::Void && r.Kind != TPlanKind::Named && f.Get("audience", s)) {
    if (s.empty() || !Digits(s)) return PlanParse::Bad;
    r.Audience = std::string(s);
  }
  switch (r.Kind) {
    case TPlanKind::Add: {
      std::string_view name, gift;
      if (!f.Get("name", name) || name.empty() || !Printable(name) || !f.Get("gift", gift) ||
          !Printable(gift) || !f.Num("count", r.LuckCount) || !f.Num("per", r.ListCount))
        return PlanParse::Bad;
      r.Name = std::string(name);
      r.Gift = std::string(gift);
      // Records written before an added item could have rules have no such field.
      if (std::string_view rules;
          f.Get("rules", rules) && !ParseAddedRules(rules, r.ItemId, r.Rules))
        return PlanParse::Bad;
      break;
    }
    case TPlanKind::Count:
      if (!f.Num("count", r.LuckCount)) return PlanParse::Bad;
      break;
    case TPlanKind::Next:
      break;
    case TPlanKind::Void: {
      std::string_view reason, time, redraw;
      if (!f.Num("place", r.Place) || !f.Num("voided", r.Voided) || !f.Get("reason", reason) ||
          reason.empty() || !Printable(reason) || !f.Get("time", time) || !ValidPlanTime(time) ||
          !f.Get("redraw", redraw) || (redraw != "0" && redraw != "1"))
        return PlanParse::Bad;
      r.Reason = std::string(reason);
      r.Time = std::string(time);
      r.Redraw = redraw == "1";
      if (r.Redraw && (!f.Num("replacement", r.Replacement) || !f.Num("rng", r.Rng) ||
                       !f.Num("rolls", r.Rolls)))
        return PlanParse::Bad;
      break;
    }
    case TPlanKind::Named: {
      std::string_view winners;
      if (!f.Get("winners", winners) || winners.empty()) return PlanParse::Bad;
      for (std::string_view w : text::SplitAt(winners, ',')) {
        int32_t k = 0;
        if (!Number(w, k)) return PlanParse::Bad;
        r.Winners.push_back(k);
      }
      break;
    }
  }
  return PlanParse::Ok;
}

bool JournalSteps(const TJournal& j, std::vector<TJournalStep>& steps,
                  std::vector<TPlanRecord>& plan, std::string& error) {
  steps.clear();
  plan.clear();
  size_t other = 0, absence = 0;
  const auto othersBefore = [&](size_t batches, size_t absences) {
    for (; other < j.Others.size() && j.Others[other].AfterBatches == batches &&
           j.Others[other].AfterAbsences == absences;
         ++other) {
      TPlanRecord r;
      switch (ParsePlanRecord(j.Others[other].Line, r)) {
        case PlanParse::NotPlan:
          continue;
        case PlanParse::Bad:
          error = G("抽奖记录中的第") + std::to_string(plan.size() + 1) +
                  G("条改动记录无法读取：") +
                  j.Others[other].Line.substr(0, j.Others[other].Line.find('\t'));
          return false;
        case PlanParse::Ok:
          break;
      }
      steps.push_back({TJournalStep::Kind::Plan, plan.size(), other});
      plan.push_back(std::move(r));
    }
    return true;
  };
  for (size_t b = 0; b <= j.Batches.size(); ++b) {
    if (!othersBefore(b, absence)) return false;
    for (; absence < j.Absences.size() && j.Absences[absence].AfterBatches == b; ++absence) {
      steps.push_back({TJournalStep::Kind::Absence, absence});
      if (!othersBefore(b, absence + 1)) return false;
    }
    if (b < j.Batches.size()) steps.push_back({TJournalStep::Kind::Batch, b});
  }
  return true;
}

std::vector<TLuckItem> AddedItems(const TJournal& journal) {
  std::vector<TLuckItem> items;
  for (const TJournalOther& o : journal.Others) {
    TPlanRecord r;
    if (ParsePlanRecord(o.Line, r) != PlanParse::Ok || r.Kind != TPlanKind::Add) continue;
    TLuckItem it;
    it.ItemId = r.ItemId;
    it.ItemName = r.Name;
    it.TaskId = journal.Head.TaskId;
    it.LuckCount = r.LuckCount;
    it.ListCount = r.ListCount;
    it.AwardName = r.Gift;
    items.push_back(std::move(it));
  }
  return items;
}

namespace plantext {

std::string Band(const TPlanRecord& r, std::string_view itemName, std::string_view voidedId) {
  const std::string item(itemName);
  switch (r.Kind) {
    case TPlanKind::Add:
      return G("临时加奖：") + r.Name + " " + std::to_string(r.LuckCount) + G("名");
    case TPlanKind::Count:
      return G("改名额：") + item + " " + std::to_string(r.LuckCount) + G("名");
    case TPlanKind::Next:
      return G("下一个奖项：") + item;
    case TPlanKind::Void:
      return G("作废：") + item + " " + std::string(voidedId) + " (" + r.Reason + ")" +
             (r.Redraw ? G(", 重抽") : G(", 名额空缺"));
    case TPlanKind::Named:
      return G("指定颁奖：") + item + " " + std::to_string(r.Winners.size()) + G("名");
  }
  return {};
}

std::string VoidMark(std::string_view reason) { return G("作废(") + std::string(reason) + ")"; }

}  // namespace plantext
