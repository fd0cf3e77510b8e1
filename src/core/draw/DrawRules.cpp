#include "core/draw/DrawRules.h"

#include <algorithm>
#include <tuple>

#include "core/records/FileHash.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace {

template <typename T>
void SortUnique(std::vector<T>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

std::vector<std::string> SplitTabs(std::string_view line) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    const size_t tab = line.find('\t', from);
    parts.emplace_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
    if (tab == std::string_view::npos) return parts;
    from = tab + 1;
  }
}

// A rule's field or value: not empty and without blanks or control bytes, which would
// split it on the candidate line or in this text.
bool IsToken(std::string_view s) {
  return !s.empty() && std::none_of(s.begin(), s.end(),
                                    [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

bool ParseMax(std::string_view s, int32_t& max) {
  return text::IsAllDigits(s) && text::ParseInt32(s, max) && max > 0;
}

bool ParseId(std::string_view s, int32_t& id) {
  return text::IsAllDigits(s) && text::ParseInt32(s, id);
}

TItemRules& ItemOf(TTaskRules& rules, int32_t itemId) {
  for (TItemRules& item : rules.Items)
    if (item.ItemId == itemId) return item;
  rules.Items.push_back(TItemRules{itemId, {}, {}, {}});
  return rules.Items.back();
}

// Each value after a TAB.
std::string Joined(const std::vector<std::string>& values) {
  std::string out;
  for (const std::string& v : values) out += "\t" + v;
  return out;
}

// The lines of a text, a CR before each LF dropped.
std::vector<std::string_view> TextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

}  // namespace

const TItemRules* TTaskRules::ItemRulesOf(int32_t itemId) const {
  for (const TItemRules& item : Items)
    if (item.ItemId == itemId) return &item;
  return nullptr;
}

void NormaliseRules(TTaskRules& rules) {
  SortUnique(rules.ExcludeTasks);
  SortUnique(rules.ExcludeIds);
  if (rules.TaskQuota.Field.empty()) rules.TaskQuota = {};
  for (TItemRules& item : rules.Items) {
    for (TRuleCondition& c : item.Conditions) SortUnique(c.Values);
    SortUnique(item.ExcludeIds);
    std::erase_if(item.Conditions, [](const TRuleCondition& c) { return c.Field.empty(); });
    std::sort(item.Conditions.begin(), item.Conditions.end(),
              [](const TRuleCondition& a, const TRuleCondition& b) {
                return std::tie(a.Field, a.Kind, a.Values) < std::tie(b.Field, b.Kind, b.Values);
              });
    if (item.Quota.Field.empty()) item.Quota = {};
  }
  std::erase_if(rules.Items, [](const TItemRules& item) { return item.Empty(); });
  std::sort(rules.Items.begin(), rules.Items.end(),
            [](const TItemRules& a, const TItemRules& b) { return a.ItemId < b.ItemId; });
}

std::string FormatRules(const TTaskRules& given) {
  TTaskRules rules = given;
  NormaliseRules(rules);
  std::string out;
  if (!rules.TicketsField.empty()) out += "TICKETS\t" + rules.TicketsField + "\n";
  if (rules.TaskQuota.IsSet())
    out +=
        "TASKQUOTA\t" + rules.TaskQuota.Field + "\t" + std::to_string(rules.TaskQuota.Max) + "\n";
  for (int32_t task : rules.ExcludeTasks) out += "EXCLUDE\t" + std::to_string(task) + "\n";
  if (!rules.ExcludeIds.empty()) out += "EXCLUDEIDS" + Joined(rules.ExcludeIds) + "\n";
  for (const TItemRules& item : rules.Items) {
    const std::string id = std::to_string(item.ItemId);
    for (const TRuleCondition& c : item.Conditions) {
      out +=
          "ITEM\t" + id + (c.Kind == TConditionKind::OneOf ? "\tONEOF\t" : "\tNONEOF\t") + c.Field;
      for (const std::string& v : c.Values) out += "\t" + v;
      out += "\n";
    }
    if (!item.ExcludeIds.empty()) out += "ITEMEXCLUDEIDS\t" + id + Joined(item.ExcludeIds) + "\n";
    if (item.Quota.IsSet())
      out += "ITEMQUOTA\t" + id + "\t" + item.Quota.Field + "\t" + std::to_string(item.Quota.Max) +
             "\n";
  }
  return out;
}

bool ParseRules(std::string_view textIn, TTaskRules& out, std::string& error) {
  TTaskRules rules;
  int lineNo = 0;
  size_t from = 0;
  while (from < textIn.size()) {
    size_t end = textIn.find('\n', from);
    if (end == std::string_view::npos) end = textIn.size();
    std::string_view line = textIn.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::vector<std::string> f = SplitTabs(line);
    const std::string& kind = f[0];
    bool ok = false;
    if (kind == "TICKETS" && f.size() == 2 && IsToken(f[1])) {
      rules.TicketsField = f[1];
      ok = true;
    } else if (kind == "TASKQUOTA" && f.size() == 3 && IsToken(f[1])) {
      rules.TaskQuota.Field = f[1];
      ok = ParseMax(f[2], rules.TaskQuota.Max);
    } else if (kind == "EXCLUDE" && f.size() == 2) {
      int32_t task = 0;
      ok = ParseId(f[1], task);
      if (ok) rules.ExcludeTasks.push_back(task);
    } else if (kind == "EXCLUDEIDS" && f.size() >= 2 && rules.ExcludeIds.empty()) {
      ok = std::all_of(f.begin() + 1, f.end(), IsToken);
      if (ok) rules.ExcludeIds.assign(f.begin() + 1, f.end());
    } else if (kind == "ITEMEXCLUDEIDS" && f.size() >= 3) {
      int32_t item = 0;
      ok = ParseId(f[1], item) && std::all_of(f.begin() + 2, f.end(), IsToken);
      if (ok) {
        std::vector<std::string>& ids = ItemOf(rules, item).ExcludeIds;
        ok = ids.empty();
        ids.assign(f.begin() + 2, f.end());
      }
    } else if (kind == "ITEM" && f.size() >= 5 && (f[2] == "ONEOF" || f[2] == "NONEOF") &&
               IsToken(f[3])) {
      int32_t item = 0;
      ok = ParseId(f[1], item) && std::all_of(f.begin() + 4, f.end(), IsToken);
      if (ok)
        ItemOf(rules, item)
            .Conditions.push_back(TRuleCondition{
                f[3], f[2] == "ONEOF" ? TConditionKind::OneOf : TConditionKind::NoneOf,
                std::vector<std::string>(f.begin() + 4, f.end())});
    } else if (kind == "ITEMQUOTA" && f.size() == 4 && IsToken(f[2])) {
      int32_t item = 0;
      TRuleQuota quota{f[2], 0};
      ok = ParseId(f[1], item) && ParseMax(f[3], quota.Max);
      if (ok) ItemOf(rules, item).Quota = quota;
    }
    if (!ok) {
      error = text::Utf8ToGbk("抽奖规则第" + std::to_string(lineNo) + "行无法识别。");
      return false;
    }
  }
  NormaliseRules(rules);
  out = std::move(rules);
  return true;
}

std::string RulesTextFault(std::string_view given) {
  TTaskRules rules;
  std::string error;
  if (!ParseRules(given, rules, error)) return error;
  const std::string canonical = FormatRules(rules);
  if (canonical == given) return {};
  const std::vector<std::string_view> have = TextLines(given), want = TextLines(canonical);
  for (size_t i = 0; i < std::max(have.size(), want.size()); ++i) {
    const std::string no = std::to_string(i + 1);
    if (i >= want.size()) return text::G("抽奖规则第") + no + text::G("行多余（重复的规则或空行）");
    if (i >= have.size() || have[i] != want[i]) {
      std::string shown(want[i]);
      std::replace(shown.begin(), shown.end(), '\t', ' ');
      return text::G("抽奖规则第") + no +
             text::G("行不是规范写法（按类型和奖项排序、取值排序且不重复），应为：") + shown;
    }
  }
  return text::G("抽奖规则的行尾不是规范写法：每行应以LF结尾，不用CR");
}

bool ParseTickets(std::string_view text, int64_t& n) {
  n = 0;
  if (!text::IsAllDigits(text)) return false;
  int64_t v = 0;
  for (char c : text) {
    const int d = c - '0';
    if (v > (INT64_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  n = v;
  return true;
}

std::string RulesHash(const TTaskRules& rules) {
  const std::string text = FormatRules(rules);
  return text.empty() ? std::string() : Sha256Hex(text);
}
