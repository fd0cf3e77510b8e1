#include "core/verify/DrawVerify.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "core/draw/DrawJournal.h"
#include "core/draw/DrawOpenings.h"
#include "core/draw/DrawProof.h"
#include "core/draw/DrawRules.h"
#include "core/draw/MoveRecords.h"
#include "core/draw/PlanRecords.h"
#include "core/import/Zip.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/ListTree.h"
#include "core/records/VoidFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/Openings.h"

using text::G;
namespace fs = std::filesystem;

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

// The generator of the draw, written out again so the check shares no code with the engine.
struct Lcg {
  uint32_t state = 0;
  int32_t Random(int32_t n) {
    state = state * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(state) * static_cast<uint32_t>(n)) >> 32);
  }
};

// floor(x · t / 2^64), by 32-bit halves.
uint64_t HighHalf(uint64_t x, uint64_t t) {
  const uint64_t x1 = x >> 32, x0 = x & 0xffffffffu, t1 = t >> 32, t0 = t & 0xffffffffu;
  const uint64_t p00 = x0 * t0, p01 = x0 * t1, p10 = x1 * t0, p11 = x1 * t1;
  const uint64_t carry = ((p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu)) >> 32;
  return p11 + (p01 >> 32) + (p10 >> 32) + carry;
}

struct Preset {
  int32_t itemId = 0;
  std::string text;
  bool used = false;
  int32_t line = -1;  // first candidate line equal to the text
};

// The item's preset entries used so far.
int32_t UsedOf(const std::vector<Preset>& presets, int32_t itemId) {
  int32_t n = 0;
  for (const Preset& p : presets) n += p.itemId == itemId && p.used;
  return n;
}

// The rules an item added during the draw has of its own (its conditions and exclusion
// list), read from each candidate's line as it stands.
class ItemConditions {
 public:
  // False when a condition's field is not in `title`.
  bool Prepare(const TItemRules& rules, const std::string& title) {
    m_rules = rules;
    const std::vector<std::string> heads = text::SplitFields(title);
    for (const TRuleCondition& c : m_rules.Conditions) {
      const auto at = std::find(heads.begin(), heads.end(), c.Field);
      if (at == heads.end()) return false;
      m_columns.push_back(static_cast<size_t>(at - heads.begin()));
    }
    return true;
  }
  // Why the candidate `line` may not win the item, empty when it may.
  std::string Breaks(const std::string& line) const {
    const std::vector<std::string> f = text::SplitFields(line);
    const std::string id = f.empty() ? std::string() : f[0];
    if (std::binary_search(m_rules.ExcludeIds.begin(), m_rules.ExcludeIds.end(), id))
      return G("在本奖项的排除名单中");
    for (size_t i = 0; i < m_rules.Conditions.size(); ++i) {
      const TRuleCondition& c = m_rules.Conditions[i];
      const std::string v = m_columns[i] < f.size() ? f[m_columns[i]] : std::string();
      const bool in = std::binary_search(c.Values.begin(), c.Values.end(), v);
      if (in != (c.Kind == TConditionKind::OneOf))
        return G("不符合临时加奖的条件：") + c.Field +
               G(c.Kind == TConditionKind::OneOf ? "须是" : "不能是") + Listed(c.Values) +
               G("(此人为") + (v.empty() ? G("空") : v) + G(")");
    }
    return {};
  }
  // The rules in a line of the report: "部门须是市场、销售; 排除 A01 A02".
  std::string Text() const {
    std::string s;
    for (const TRuleCondition& c : m_rules.Conditions)
      s += (s.empty() ? "" : "; ") + c.Field +
           G(c.Kind == TConditionKind::OneOf ? "须是" : "不能是") + Listed(c.Values);
    if (!m_rules.ExcludeIds.empty()) {
      s += (s.empty() ? "" : "; ") + G("排除");
      for (const std::string& id : m_rules.ExcludeIds) s += " " + id;
    }
    return s;
  }

 private:
  static std::string Listed(const std::vector<std::string>& values) {
    std::string s;
    for (const std::string& v : values) s += (s.empty() ? "" : G("、")) + v;
    return s;
  }
  TItemRules m_rules;
  std::vector<size_t> m_columns;  // per condition: its field's place on a line
};
using TOwnRules = std::map<int32_t, std::shared_ptr<const ItemConditions>>;

// An added item's own rules keep the candidate `line` out: why, empty when they do not.
std::string OwnBreaks(const TOwnRules& own, int32_t itemId, const std::string& line) {
  const auto at = own.find(itemId);
  return at == own.end() ? std::string() : at->second->Breaks(line);
}

// The pick rules replayed over the candidate lines.
class Replay {
 public:
  Replay(const std::vector<std::string>& lines, std::vector<Preset> presets, bool again,
         uint32_t seed)
      : m_lines(lines), m_presets(std::move(presets)), m_again(again) {
    m_rng.state = seed;
    m_onList.assign(lines.size(), false);
    m_won.assign(lines.size(), false);
    std::set<std::string> texts;
    for (const Preset& p : m_presets) texts.insert(p.text);
    for (size_t k = 0; k < lines.size(); ++k) m_onList[k] = texts.count(lines[k]) > 0;
    for (Preset& p : m_presets) {
      const auto at = std::find(lines.begin(), lines.end(), p.text);
      p.line = at == lines.end() ? -1 : static_cast<int32_t>(at - lines.begin());
    }
    m_free = std::count(m_onList.begin(), m_onList.end(), false);
    m_notOnList = m_free;
    m_absent.assign(lines.size(), false);
  }

  // The winner `absent` is absent (or, without `markAbsent`, voided): picks the replacement
  // at random from those not on a list who may still win, never `absent` itself; -1 when
  // nobody is left. A voided winner is not shut out of later items.
  int32_t Replace(int32_t absent, int32_t itemId, bool markAbsent = true) {
    if (absent < 0 || absent >= static_cast<int32_t>(m_lines.size())) return -1;
    const size_t a = static_cast<size_t>(absent);
    const bool leaves = m_again && !m_onList[a] && !m_absent[a];
    if (markAbsent) {
      if (leaves) --m_free;
      m_absent[a] = true;
    }
    if (m_free - (!markAbsent && leaves ? 1 : 0) <= 0) return -1;
    const auto may = [&](int32_t k) {
      return !m_onList[static_cast<size_t>(k)] && Eligible(k) && k != absent && Own(k, itemId);
    };
    // An added item's own rules: somebody they let in must be left.
    if (m_own.count(itemId)) {
      int32_t k = 0;
      while (k < static_cast<int32_t>(m_lines.size()) && !may(k)) ++k;
      if (k == static_cast<int32_t>(m_lines.size())) return -1;
    }
    int32_t k;
    do {
      k = m_rng.Random(static_cast<int32_t>(m_lines.size()));
    } while (!may(k));
    if (!m_again) {
      m_won[static_cast<size_t>(k)] = true;
      --m_free;
    }
    return k;
  }

  // Picks up to n winners for the item; `closed` when no candidate could win any more.
  std::vector<int32_t> Select(int32_t itemId, int32_t n, bool& closed) {
    std::vector<int32_t> picks;
    closed = false;
    while (static_cast<int32_t>(picks.size()) < n) {
      if (!CanPick(itemId)) {
        closed = true;
        break;
      }
      const int32_t k = Pick(itemId);
      if (!Eligible(k) || !Own(k, itemId)) continue;
      if (!m_again) {
        m_won[static_cast<size_t>(k)] = true;
        if (!m_onList[static_cast<size_t>(k)]) --m_free;
      }
      picks.push_back(k);
    }
    return picks;
  }

  void Roll(int32_t ticks) {
    for (int32_t i = 0; i < ticks; ++i) m_rng.Random(static_cast<int32_t>(m_lines.size()));
  }
  uint32_t State() const { return m_rng.state; }
  void Mix(std::string_view audience) { m_rng.state = MixAudience(m_rng.state, audience); }
  int32_t PresetsUsed(int32_t itemId) const { return UsedOf(m_presets, itemId); }
  // The added item `itemId` has rules of its own.
  void Restrict(int32_t itemId, std::shared_ptr<const ItemConditions> own) {
    m_own[itemId] = std::move(own);
  }
  // A named winner is out of the random picks from the start (without repeated winning).
  void Reserve(int32_t k) {
    const size_t i = static_cast<size_t>(k);
    if (m_again || m_won[i]) return;
    m_won[i] = true;
    if (!m_onList[i]) --m_free;
  }

 private:
  bool Eligible(int32_t k) const {
    if (k < 0 || k >= static_cast<int32_t>(m_lines.size())) return false;
    if (m_absent[static_cast<size_t>(k)]) return false;
    return m_again || !m_won[static_cast<size_t>(k)];
  }
  bool Own(int32_t k, int32_t itemId) const {
    return OwnBreaks(m_own, itemId, m_lines[static_cast<size_t>(k)]).empty();
  }
  bool CanPick(int32_t itemId) const {
    if (m_own.count(itemId)) {
      // Only those the item's own rules let in count.
      for (int32_t k = 0; k < static_cast<int32_t>(m_lines.size()); ++k)
        if (!m_onList[static_cast<size_t>(k)] && Eligible(k) && Own(k, itemId)) return true;
    } else if (m_free > 0) {
      return true;
    }
    for (const Preset& p : m_presets)
      if (p.itemId == itemId && !p.used && p.line >= 0 && Eligible(p.line)) return true;
    return false;
  }
  int32_t Pick(int32_t itemId) {
    for (Preset& p : m_presets) {
      if (p.itemId != itemId || p.used) continue;
      p.used = true;
      if (p.line >= 0) return p.line;
      break;
    }
    if (m_notOnList == 0) return -1;
    while (true) {
      const int32_t k = m_rng.Random(static_cast<int32_t>(m_lines.size()));
      if (!m_onList[static_cast<size_t>(k)]) return k;
    }
  }

  const std::vector<std::string>& m_lines;
  std::vector<Preset> m_presets;
  bool m_again;
  Lcg m_rng;
  std::vector<bool> m_onList;
  std::vector<bool> m_won;
  std::vector<bool> m_absent;
  int64_t m_free = 0;
  int64_t m_notOnList = 0;
  TOwnRules m_own;
};

// The draw's rules replayed over the candidate lines, written from the rule as published:
// every pick looks through the whole list in ascending order, without the engine's index.
class RulesReplay {
 public:
  RulesReplay(const std::vector<std::string>& lines, std::vector<Preset> presets, bool again,
              uint32_t seed, const TTaskRules& rules)
      : m_lines(lines), m_presets(std::move(presets)), m_again(again), m_rules(rules) {
    m_rng.state = seed;
    const size_t n = lines.size();
    std::set<std::string> texts;
    for (const Preset& p : m_presets) texts.insert(p.text);
    m_onList.assign(n, false);
    for (size_t k = 0; k < n; ++k) m_onList[k] = texts.count(lines[k]) > 0;
    for (Preset& p : m_presets) {
      const auto at = std::find(lines.begin(), lines.end(), p.text);
      p.line = at == lines.end() ? -1 : static_cast<int32_t>(at - lines.begin());
    }
    m_won.assign(n, false);
    m_absent.assign(n, false);
  }

  // Sets the fields from the title line; false with the text naming a missing field.
  bool Prepare(const std::string& title, const std::vector<std::string>& excluded,
               const std::vector<std::string>* present, std::string& problem) {
    const std::vector<std::string> heads = text::SplitFields(title);
    std::vector<std::string> names;
    if (!m_rules.TicketsField.empty()) names.push_back(m_rules.TicketsField);
    if (m_rules.TaskQuota.IsSet()) names.push_back(m_rules.TaskQuota.Field);
    for (const TItemRules& it : m_rules.Items) {
      for (const TRuleCondition& c : it.Conditions) names.push_back(c.Field);
      if (it.Quota.IsSet()) names.push_back(it.Quota.Field);
    }
    auto fixed = std::make_shared<Fixed>();
    std::map<std::string, size_t> column;
    for (const std::string& name : names) {
      const auto at = std::find(heads.begin(), heads.end(), name);
      if (at == heads.end()) {
        problem = G("抽奖规则中的字段[") + name + G("]不在名单的标题行中");
        return false;
      }
      column[name] = static_cast<size_t>(at - heads.begin());
      fixed->values[name].resize(m_lines.size());
    }
    const std::set<std::string> out(excluded.begin(), excluded.end());
    std::set<std::string> in;
    if (present) in.insert(present->begin(), present->end());
    fixed->excluded.assign(m_lines.size(), false);
    fixed->absentFromCheckin.assign(m_lines.size(), false);
    fixed->tickets.assign(m_lines.size(), 1);
    for (size_t k = 0; k < m_lines.size(); ++k) {
      const std::vector<std::string> f = text::SplitFields(m_lines[k]);
      fixed->excluded[k] = !f.empty() && out.count(f[0]) > 0;
      fixed->absentFromCheckin[k] = present && (f.empty() || in.count(f[0]) == 0);
      for (const auto& [name, c] : column)
        if (c < f.size()) fixed->values[name][k] = f[c];
    }
    m_fixed = fixed;
    if (!m_rules.TicketsField.empty())
      for (size_t k = 0; k < m_lines.size(); ++k) {
        const std::string t = Value(static_cast<int32_t>(k), m_rules.TicketsField);
        // At most 2^63 - 1 (leading zeros aside), as the draw accepts.
        const size_t nonzero = std::min(t.find_first_not_of('0'), t.size());
        const std::string digits = t.substr(nonzero);
        const bool whole =
            text::IsAllDigits(t) &&
            (digits.size() < 19 || (digits.size() == 19 && digits <= "9223372036854775807"));
        if (!whole) {
          problem =
              G("名单中") + Id(k) + G("的票数[") + t +
              (text::IsAllDigits(t) ? G("]过大(最多9223372036854775807)") : G("]不是0或正整数"));
          return false;
        }
        fixed->tickets[k] = digits.empty() ? 0 : static_cast<uint64_t>(std::stoull(digits));
      }
    return true;
  }

  // Why candidate k may not win `itemId` now, empty when it may; `absent` (>= 0) is the
  // winner whose place is being filled, not counted against the quotas.
  std::string Breaks(int32_t k, int32_t itemId, int32_t absent = -1) const {
    if (k < 0 || k >= static_cast<int32_t>(m_lines.size())) return G("不是名单中的候选人");
    const size_t i = static_cast<size_t>(k);
    if (m_absent[i]) return G("已被标为缺席");
    if (!m_again && m_won[i]) return G("已经中奖");
    if (m_fixed->excluded[i]) return G("是被排除任务的中奖者");
    const std::string_view id = text::FirstField(m_lines[i]);
    if (std::binary_search(m_rules.ExcludeIds.begin(), m_rules.ExcludeIds.end(), id))
      return G("在本任务的排除名单中");
    if (m_fixed->absentFromCheckin[i]) return G("没有签到");
    if (m_fixed->tickets[i] == 0) return G("票数为0");
    if (std::string why = OwnBreaks(m_own, itemId, m_lines[i]); !why.empty()) return why;
    const TItemRules* item = m_rules.ItemRulesOf(itemId);
    if (item) {
      if (std::binary_search(item->ExcludeIds.begin(), item->ExcludeIds.end(), id))
        return G("在本奖项的排除名单中");
      for (const TRuleCondition& c : item->Conditions) {
        const std::string v = Value(k, c.Field);
        const bool in = std::find(c.Values.begin(), c.Values.end(), v) != c.Values.end();
        if (in != (c.Kind == TConditionKind::OneOf))
          return G("不符合条件：") + c.Field +
                 G(c.Kind == TConditionKind::OneOf ? "须是" : "不能是") + Joined(c.Values) +
                 G("(此人为") + (v.empty() ? G("空") : v) + G(")");
      }
      if (item->Quota.IsSet() && Count(itemId, item->Quota.Field, Value(k, item->Quota.Field),
                                       absent, itemId) >= item->Quota.Max)
        return G("超过每") + item->Quota.Field + G("最多") + Num(item->Quota.Max) + G("名的限额(") +
               Value(k, item->Quota.Field) + G(")");
    }
    if (m_rules.TaskQuota.IsSet() &&
        Count(0, m_rules.TaskQuota.Field, Value(k, m_rules.TaskQuota.Field), absent, itemId) >=
            m_rules.TaskQuota.Max)
      return G("超过每") + m_rules.TaskQuota.Field + G("全场最多") + Num(m_rules.TaskQuota.Max) +
             G("名的限额(") + Value(k, m_rules.TaskQuota.Field) + G(")");
    return {};
  }

  std::vector<int32_t> Select(int32_t itemId, int32_t n, bool& closed) {
    std::vector<int32_t> picks;
    closed = false;
    while (static_cast<int32_t>(picks.size()) < n) {
      int32_t k = -1;
      bool fromList = false;
      for (Preset& p : m_presets) {
        if (p.itemId != itemId || p.used) continue;
        p.used = true;
        if (p.line < 0) {
          k = RandomPick(itemId, -1);
          if (k < 0) continue;
        } else if (!Breaks(p.line, itemId).empty()) {
          continue;
        } else {
          k = p.line;
        }
        fromList = true;
        break;
      }
      if (!fromList) k = RandomPick(itemId, -1);
      if (k < 0) {
        closed = true;
        break;
      }
      Accept(k, itemId);
      picks.push_back(k);
    }
    return picks;
  }

  // Counts k as a winner of the item, as a journal says it won.
  void Accept(int32_t k, int32_t itemId) {
    if (!m_again) m_won[static_cast<size_t>(k)] = true;
    Tally(k, itemId, +1);
  }

  int32_t Replace(int32_t absent, int32_t itemId, bool markAbsent = true) {
    if (absent < 0 || absent >= static_cast<int32_t>(m_lines.size())) return -1;
    const int32_t k = RandomPick(itemId, absent);
    if (k < 0) return -1;
    if (markAbsent) m_absent[static_cast<size_t>(absent)] = true;
    if (!m_again) m_won[static_cast<size_t>(k)] = true;
    Tally(absent, itemId, -1);
    Tally(k, itemId, +1);
    return k;
  }

  void Roll(int32_t ticks) {
    for (int32_t i = 0; i < ticks; ++i) m_rng.Random(1);
  }
  uint32_t State() const { return m_rng.state; }
  void Mix(std::string_view audience) { m_rng.state = MixAudience(m_rng.state, audience); }
  // A named winner is out of the random picks from the start (without repeated winning).
  void Reserve(int32_t k) {
    if (!m_again) m_won[static_cast<size_t>(k)] = true;
  }
  // A voided winner leaves its place empty: the quotas stop counting it.
  void Unseat(int32_t k, int32_t itemId) { Tally(k, itemId, -1); }
  // The added item `itemId` has rules of its own.
  void Restrict(int32_t itemId, std::shared_ptr<const ItemConditions> own) {
    m_own[itemId] = std::move(own);
  }
  int32_t PresetsUsed(int32_t itemId) const { return UsedOf(m_presets, itemId); }

 private:
  std::string Id(size_t k) const { return std::string(text::FirstField(m_lines[k])); }
  std::string Value(int32_t k, const std::string& field) const {
    const auto c = m_fixed->values.find(field);
    return c == m_fixed->values.end() ? std::string() : c->second[static_cast<size_t>(k)];
  }
  static std::string Joined(const std::vector<std::string>& values) {
    std::string s;
    for (const std::string& v : values) s += (s.empty() ? "" : G("、")) + v;
    return s;
  }
  // k counts once more (+1) or less (-1) among the winners of the item and of the task.
  void Tally(int32_t k, int32_t itemId, int32_t delta) {
    const TItemRules* item = m_rules.ItemRulesOf(itemId);
    if (item && item->Quota.IsSet()) m_itemCounts[{itemId, Value(k, item->Quota.Field)}] += delta;
    if (m_rules.TaskQuota.IsSet()) m_taskCounts[Value(k, m_rules.TaskQuota.Field)] += delta;
  }
  // Winners with `value` in `field`: of the item, or of the whole task for item 0.
  // `absent` at `absentItem` (absent >= 0) is left out once: its place is being filled.
  int32_t Count(int32_t itemId, const std::string& field, const std::string& value, int32_t absent,
                int32_t absentItem) const {
    int32_t n = 0;
    if (itemId != 0) {
      const auto it = m_itemCounts.find({itemId, value});
      n = it == m_itemCounts.end() ? 0 : it->second;
    } else {
      const auto it = m_taskCounts.find(value);
      n = it == m_taskCounts.end() ? 0 : it->second;
    }
    if (absent >= 0 && (itemId == 0 || itemId == absentItem) && Value(absent, field) == value) --n;
    return n;
  }
  // One random pick among those not on a preset list who may win (or replace `absent`):
  // one number 0 … count−1 without tickets; with tickets two numbers make 64 bits x and the
  // pick is floor(x · total / 2^64); the winner is the one whose running total of tickets,
  // in ascending list order, first exceeds the pick. -1, and no number drawn, when nobody.
  int32_t RandomPick(int32_t itemId, int32_t absent) {
    std::vector<int32_t> who;
    uint64_t total = 0;
    for (int32_t k = 0; k < static_cast<int32_t>(m_lines.size()); ++k) {
      if (m_onList[static_cast<size_t>(k)] || k == absent || !Breaks(k, itemId, absent).empty())
        continue;
      who.push_back(k);
      total += m_fixed->tickets[static_cast<size_t>(k)];
    }
    if (total == 0) return -1;
    uint64_t r = 0;
    if (m_rules.TicketsField.empty()) {
      r = static_cast<uint64_t>(m_rng.Random(static_cast<int32_t>(total)));
    } else {
      m_rng.Random(1);
      const uint64_t hi = m_rng.state;
      m_rng.Random(1);
      r = HighHalf((hi << 32) | m_rng.state, total);
    }
    for (int32_t k : who) {
      const uint64_t t = m_fixed->tickets[static_cast<size_t>(k)];
      if (r < t) return k;
      r -= t;
    }
    return -1;
  }

  const std::vector<std::string>& m_lines;
  std::vector<Preset> m_presets;
  bool m_again;
  const TTaskRules& m_rules;
  Lcg m_rng;
  // What the rules read of each candidate, shared by the copies a diagnosis makes.
  struct Fixed {
    std::map<std::string, std::vector<std::string>> values;  // per field, per candidate
    std::vector<bool> excluded;
    std::vector<bool> absentFromCheckin;  // a draw of those checked in: not among them
    std::vector<uint64_t> tickets;
  };
  std::shared_ptr<const Fixed> m_fixed;
  std::vector<bool> m_onList, m_won, m_absent;
  std::map<std::pair<int32_t, std::string>, int32_t> m_itemCounts;  // (item, value): winners
  std::map<std::string, int32_t> m_taskCounts;                      // value: winners
  TOwnRules m_own;
};

std::string Ids(const std::vector<std::string>& lines, const std::vector<int32_t>& picks) {
  std::string s;
  for (int32_t k : picks) {
    if (!s.empty()) s += ' ';
    if (k >= 0 && k < static_cast<int32_t>(lines.size()))
      s += std::string(text::FirstField(lines[static_cast<size_t>(k)]));
    else
      s += "#" + Num(k);
  }
  return s.empty() ? G("(无)") : s;
}

class Checker {
 public:
  Checker(std::string root, int32_t taskId) : m_root(std::move(root)), m_task(taskId) {
    if (!m_root.empty() && m_root.back() != '/' && m_root.back() != '\\') m_root += '/';
  }

  TVerifyResult Run() {
    Check();
    CheckTheOpenings();
    m_result.Passed = m_result.Problems.empty();
    m_result.Lines.push_back(m_result.Passed ? VerifyPassedText() : VerifyFailedText());
    return std::move(m_result);
  }

 private:
  std::string Rel(const std::string& rel) const { return m_root + rel; }
  void Problem(std::string text) {
    m_result.Lines.push_back(text);
    m_result.Problems.push_back(std::move(text));
  }

  // The check, step by step; each step returns false after naming the first fault.
  void Check() {
    if (!ReadTheJournal() || !ReadTheList() || !ReadThePresets()) return;
    if (!m_journal.Started) {
      Problem(m_journal.Batches.empty() ? G("抽奖尚未开始,没有可验证的批次")
                                        : G("抽奖记录缺少开始记录(START)"));
      return;
    }
    if (!CheckTheRules() || !CheckTheCheckins() || !CheckTheNamed() || !CheckTheSeed() ||
        !PrepareTheReplay())
      return;
    if (!ReplayTheBatches()) return;
    CheckTheResultFiles();
    CheckTheClaims();
  }

  // The chain of the task's journal heads up to this draw's: every earlier opening is there.
  // Also the 抽奖凭证 line, in the Ready screen's words.
  void CheckTheOpenings() {
    const TJournalHead& h = m_journal.Head;
    if (h.TaskId != m_task || h.Commit.empty()) return;
    if (!m_result.ListRoot.empty()) {
      m_result.Voucher = VoucherText(h, m_lines.size(), m_result.ListRoot);
    }
    if (h.Opening <= 0) return;
    const TOpeningsCheck c =
        CheckOpenings(h, claims::JournalDrawKey(Rel(m_journalName)), TaskHeadLines(m_root, m_task));
    m_result.Openings = c.Lines;
    for (const std::string& p : c.Problems) Problem(p);
  }

  // The finished journal (or the open one), whole, of this task, with a committed secret.
  bool ReadTheJournal() {
    m_journalName = paths::FinishedJournalPath("", m_task);
    if (!paths::FileExists(Rel(m_journalName))) {
      const std::string open = paths::JournalPath("", m_task);
      if (!paths::FileExists(Rel(open))) {
        Problem(G("找不到抽奖记录文件") + m_journalName);
        return false;
      }
      m_journalName = open;
      m_finished = false;
    }
    std::string error;
    switch (ReadJournal(Rel(m_journalName), m_journal, error)) {
      case JournalRead::Ok:
        break;
      case JournalRead::Missing:
        Problem(G("找不到抽奖记录文件") + m_journalName);
        return false;
      default:
        Problem(G("抽奖记录文件") + m_journalName + G("已损坏"));
        return false;
    }
    const TJournalHead& h = m_journal.Head;
    if (m_journal.TornTail) {
      Problem(G("抽奖记录文件") + m_journalName + G("的最后一行不完整或已被改动"));
      return false;
    }
    if (h.TaskId != m_task) {
      Problem(G("抽奖记录文件") + m_journalName + G("属于抽奖任务") + Num(h.TaskId));
      return false;
    }
    if (h.Commit.empty()) {
      Problem(G("抽奖记录文件") + m_journalName + G("没有抽奖凭证(由旧版本写下),无法验证"));
      return false;
    }
    // The secret must be the one committed to before the draw.
    TDrawSecret secret{};
    if (!ParseSecretHex(h.Secret, secret) || Commitment(secret) != h.Commit) {
      Problem(G("抽奖记录中的密钥与抽奖凭证的承诺值不符"));
      return false;
    }
    return true;
  }

  // The candidate list, the one the journal names by its fingerprint.
  bool ReadTheList() {
    const std::string dataName = paths::DrawDataPath("", m_task);
    std::string hash, error;
    if (!Sha256File(Rel(dataName), hash, error)) {
      Problem(G("无法读取名单文件") + dataName);
      return false;
    }
    if (hash != m_journal.Head.DataHash) {
      Problem(G("名单文件") + dataName + G("与抽奖记录中的指纹不符"));
      return false;
    }
    int32_t idMax = 0;
    if (!ReadDrawDataFile(Rel(dataName), 0, 1, m_lines, idMax, m_title, error)) {
      Problem(G("名单文件") + dataName + G("无法读取：") + error);
      return false;
    }
    m_result.ListRoot = listtree::TListTree(m_lines).RootHex();
    m_result.ListCount = m_lines.size();
    return true;
  }

  // The preset lists, in the order of the prize items, as their fingerprint says.
  bool ReadThePresets() {
    std::vector<std::pair<int32_t, std::string>> entries;
    std::string error;
    for (const TJournalItem& it : m_journal.Head.Items) {
      const std::string name = paths::PresetFilePath("", m_task, it.ItemId);
      if (!ForEachTrimmedLine(
              Rel(name),
              [&](std::string_view t) {
                entries.emplace_back(it.ItemId, std::string(t));
                m_presets.push_back({it.ItemId, std::string(t), false, -1});
              },
              error)) {
        Problem(G("无法读取指定中奖文件") + name);
        return false;
      }
    }
    if (PresetHashOf(entries) != m_journal.Head.PresetHash) {
      Problem(G("指定中奖文件(") + std::string(paths::kDataFileFolder) +
              std::string(paths::kPresetPrefix) + Num(m_task) + G("_*.txt)与抽奖记录中的指纹不符"));
      return false;
    }
    return true;
  }

  // The rules the journal names must be the ones its fingerprint and the seed were made
  // from.
  bool CheckTheRules() {
    const TJournalHead& h = m_journal.Head;
    if (h.Rules.empty()) return true;
    const std::string fault = RulesTextFault(h.Rules);
    if (!fault.empty()) {
      Problem(G("抽奖记录中的抽奖规则不是本程序写下的规范文本(规则已被改动)：") + fault);
      return false;
    }
    std::string why;
    ParseRules(h.Rules, m_rules, why);
    if (RulesHash(m_rules) != h.RulesHash) {
      Problem(G("抽奖记录中的抽奖规则与其指纹不符(规则已被改动)"));
      return false;
    }
    if (!std::is_sorted(h.Excluded.begin(), h.Excluded.end()) ||
        std::adjacent_find(h.Excluded.begin(), h.Excluded.end()) != h.Excluded.end()) {
      Problem(G("抽奖记录中的排除名单未按规定排序"));
      return false;
    }
    return true;
  }

  // Those checked in: sorted, named by their fingerprint, on the list, and each in the
  // task's check-in file when the folder holds it.
  bool CheckTheCheckins() {
    const TJournalHead& h = m_journal.Head;
    if (!h.CheckinOnly) return true;
    if (!std::is_sorted(h.Present.begin(), h.Present.end()) ||
        std::adjacent_find(h.Present.begin(), h.Present.end()) != h.Present.end()) {
      Problem(G("抽奖记录中的签到名单未按规定排序"));
      return false;
    }
    if (ExcludedHashOf(h.Present) != h.PresentHash) {
      Problem(G("抽奖记录中的签到名单与其指纹不符(名单已被改动)"));
      return false;
    }
    std::set<std::string_view> ids;
    for (const std::string& l : m_lines) ids.insert(text::FirstField(l));
    for (const std::string& id : h.Present)
      if (!ids.count(id)) {
        Problem(G("抽奖记录中的签到人员") + id + G("不在名单中"));
        return false;
      }
    const std::string checkinPath = Rel(checkin::CheckinFilePath("", m_task));
    if (!paths::FileExists(checkinPath)) return true;
    checkin::TCheckinFile file;
    std::string why;
    if (!checkin::ReadCheckinFile(checkinPath, file, why)) {
      Problem(why);
      return false;
    }
    std::set<std::string> recorded;
    for (const checkin::TCheckinRecord& r : file.Records) recorded.insert(r.Id);
    for (const std::string& id : h.Present)
      if (!recorded.count(id)) {
        Problem(G("抽奖记录中的签到人员") + id + G("不在签到记录文件中"));
        return false;
      }
    m_checkinFileChecked = true;
    return true;
  }

  // The named awards are the text their fingerprint names, each id on the list, each item
  // one of the draw's.
  bool CheckTheNamed() {
    const TJournalHead& h = m_journal.Head;
    if (h.Named.empty()) return true;
    if (Sha256Hex(h.Named) != h.NamedHash) {
      Problem(G("抽奖记录中的指定颁奖名单与其指纹不符(名单已被改动)"));
      return false;
    }
    std::map<std::string_view, int32_t> first;
    for (size_t k = m_lines.size(); k-- > 0;)
      first[text::FirstField(m_lines[k])] = static_cast<int32_t>(k);
    for (size_t from = 0; from < h.Named.size();) {
      const size_t end = h.Named.find('\n', from);
      const std::string line = h.Named.substr(from, end - from);
      const size_t tab = line.find('\t');
      int32_t itemId = 0;
      const bool known = end != std::string::npos && tab != std::string::npos &&
                         text::ParseInt32(line.substr(0, tab), itemId) &&
                         std::any_of(h.Items.begin(), h.Items.end(),
                                     [&](const TJournalItem& it) { return it.ItemId == itemId; });
      if (!known) {
        Problem(G("抽奖记录中的指定颁奖名单无法读取"));
        return false;
      }
      const std::string id = line.substr(tab + 1);
      const auto at = first.find(id);
      if (at == first.end()) {
        Problem(G("抽奖记录中指定颁奖的号码") + id + G("不在名单中"));
        return false;
      }
      m_named[itemId].push_back(at->second);
      from = end + 1;
    }
    return true;
  }
  size_t NamedCount() const {
    size_t n = 0;
    for (const auto& [item, ks] : m_named) n += ks.size();
    return n;
  }

  // The seed follows from what was committed and recorded; the report names it.
  bool CheckTheSeed() {
    const TJournalHead& h = m_journal.Head;
    const TJournal& j = m_journal;
    std::vector<TProofItem> items;
    for (const TJournalItem& it : h.Items) items.push_back({it.ItemId, it.LuckCount, it.ListCount});
    m_seed = DeriveSeed(h.Secret, j.Start.Audience, h.DataHash, h.PresetHash, ItemsText(items),
                        h.RulesHash, h.Rules.empty() ? std::string() : ExcludedHashOf(h.Excluded),
                        h.CheckinOnly ? h.PresentHash : std::string(), h.NamedHash);
    if (m_seed != j.Start.Seed) {
      Problem(G("抽奖记录中的种子") + Num(j.Start.Seed) + G("与推导结果") + Num(m_seed) +
              G("不符"));
      return false;
    }
    m_result.Lines.push_back(G("名单") + Num(static_cast<int64_t>(m_lines.size())) +
                             G("人, 承诺值与密钥一致, 现场号码") +
                             (j.Start.Audience.empty() ? G("(无)") : j.Start.Audience) +
                             G(", 种子") + Num(m_seed));
    if (!h.Rules.empty())
      m_result.Lines.push_back(G("抽奖规则指纹") + h.RulesHash.substr(0, 16) + ExclusionsText() +
                               G(", 规则与指纹一致"));
    if (!h.Named.empty())
      m_result.Lines.push_back(G("指定颁奖: 指纹") + h.NamedHash.substr(0, 16) + ", " +
                               Num(static_cast<int64_t>(NamedCount())) + G("人, 与指纹一致"));
    if (h.CheckinOnly)
      m_result.Lines.push_back(
          G("仅抽取已签到人员: 签到名单指纹") + h.PresentHash.substr(0, 16) + ", " +
          Num(static_cast<int64_t>(h.Present.size())) + G("人, 与指纹一致") +
          (m_checkinFileChecked ? G(", 均在签到记录文件中") : G(", 目录中没有签到记录文件")));
    return true;
  }

  // What the rules leave out, each number saying what it counts: the excluded tasks'
  // winners as recorded, the ids the exclusion lists name (the task's and every item's, each
  // once) and how many people of this list those are.
  std::string ExclusionsText() const {
    std::string out;
    if (!m_rules.ExcludeTasks.empty())
      out += G(", 排除其他任务的中奖者") +
             Num(static_cast<int64_t>(m_journal.Head.Excluded.size())) + G("人");
    std::set<std::string> listed(m_rules.ExcludeIds.begin(), m_rules.ExcludeIds.end());
    for (const TItemRules& it : m_rules.Items)
      listed.insert(it.ExcludeIds.begin(), it.ExcludeIds.end());
    if (listed.empty()) return out;
    int64_t people = 0;
    for (const std::string& line : m_lines)
      people += listed.count(std::string(text::FirstField(line)));
    return out + G(", 排除名单列出") + Num(static_cast<int64_t>(listed.size())) +
           G("个号码, 其中名单中") + Num(people) + G("人");
  }

  // Every batch is replayed from the seed: by the flat rule, or by the draw's rules.
  bool PrepareTheReplay() {
    const TJournalHead& h = m_journal.Head;
    const bool again = h.LuckAgain == 1;
    m_flatReplay.emplace(m_lines, m_presets, again, m_seed);
    m_rulesReplay.emplace(m_lines, m_presets, again, m_seed, m_rules);
    m_ruled = !h.Rules.empty() || h.CheckinOnly;
    for (const auto& [item, ks] : m_named)
      for (int32_t k : ks) {
        m_flatReplay->Reserve(k);
        m_rulesReplay->Reserve(k);
      }
    if (!m_ruled) return true;
    std::string problem;
    if (!m_rulesReplay->Prepare(m_title, h.Excluded, h.CheckinOnly ? &h.Present : nullptr,
                                problem)) {
      Problem(problem);
      return false;
    }
    return true;
  }
  std::vector<int32_t> Select(int32_t item, int32_t n, bool& closed) {
    return m_ruled ? m_rulesReplay->Select(item, n, closed) : m_flatReplay->Select(item, n, closed);
  }
  int32_t Replace(int32_t absent, int32_t item, bool markAbsent = true) {
    return m_ruled ? m_rulesReplay->Replace(absent, item, markAbsent)
                   : m_flatReplay->Replace(absent, item, markAbsent);
  }
  void Mix(std::string_view audience) {
    m_ruled ? m_rulesReplay->Mix(audience) : m_flatReplay->Mix(audience);
  }
  void Roll(int32_t ticks) { m_ruled ? m_rulesReplay->Roll(ticks) : m_flatReplay->Roll(ticks); }
  uint32_t State() const { return m_ruled ? m_rulesReplay->State() : m_flatReplay->State(); }
  int32_t PresetsUsed(int32_t item) const {
    return m_ruled ? m_rulesReplay->PresetsUsed(item) : m_flatReplay->PresetsUsed(item);
  }
  // The first winner of `winners` that breaks a rule, replayed from `before`: its text.
  std::string FirstBreach(RulesReplay before, int32_t itemId,
                          const std::vector<int32_t>& winners) const {
    for (int32_t k : winners) {
      const std::string why = before.Breaks(k, itemId);
      if (!why.empty())
        return G(", 第一个违反抽奖规则的中奖者为 ") + Ids(m_lines, {k}) + G(": ") + why;
      before.Accept(k, itemId);
    }
    return {};
  }

  // The plan as the head sets it up; changes move it on.
  struct PlanItem {
    int32_t itemId = 0;
    int32_t luck = 0;
    int32_t list = 0;
    int32_t drawn = 0;
    bool closed = false;
    std::string name;  // of an added item
    bool Complete() const { return drawn >= luck || closed; }
  };
  // The item the next batch draws: the first unfinished one in the plan's order.
  size_t Current() const {
    size_t i = 0;
    while (i < m_plan.size() && m_plan[i].Complete()) ++i;
    return i;
  }
  PlanItem* ItemOf(int32_t itemId) {
    for (PlanItem& it : m_plan)
      if (it.itemId == itemId) return &it;
    return nullptr;
  }

  // A draw that changed machines keeps one journal and one secret: each MOVED record says
  // when and from where, and stands after exactly the batches it says it held.
  bool TellTheMoves() {
    int32_t named = 0;
    for (const TJournalOther& o : m_journal.Others) {
      if (o.Line.rfind("NAMED\t", 0) == 0) ++named;
      if (o.Line.rfind("TAKEN\t", 0) == 0)
        m_result.Lines.push_back(G("此后抽奖已由备用电脑接管,本机的记录到此为止"));
      if (o.Line.rfind("MOVED\t", 0) != 0) continue;
      TMoveRecord r;
      if (!ParseMoveRecord(o.Line, r)) {
        Problem(G("抽奖记录中的移机记录无法读取"));
        return false;
      }
      const int32_t before = static_cast<int32_t>(o.AfterBatches) + named;
      if (r.Held != before) {
        Problem(G("移机记录说已揭晓") + Num(r.Held) + G("批, 但它之前有") + Num(before) + G("批"));
        return false;
      }
      const std::string redrawn = movetext::Redrawn(r);
      m_result.Lines.push_back(G("抽奖于") + r.Time + G("移至备用电脑(") +
                               movetext::SourceName(r.Source) + G(", 来自") + r.Machine +
                               G("), 此前已揭晓") + Num(r.Held) + G("批") +
                               (redrawn.empty() ? std::string() : G(", ") + redrawn) +
                               G("; 同一份抽奖记录, 同一个密钥"));
    }
    return true;
  }

  bool ReplayTheBatches() {
    const TJournalHead& h = m_journal.Head;
    for (const TJournalItem& it : h.Items)
      m_plan.push_back({it.ItemId, it.LuckCount, it.ListCount, 0, false, {}});
    std::vector<TJournalStep> steps;
    std::string why;
    if (!JournalSteps(m_journal, steps, m_changes, why)) {
      Problem(why);
      return false;
    }
    int n = 0;
    for (const TJournalStep& step : steps) {
      switch (step.kind) {
        case TJournalStep::Kind::Batch:
          if (!ReplayBatch(m_journal.Batches[step.index], ++n)) return false;
          break;
        case TJournalStep::Kind::Absence:
          if (n == 0) {
            Problem(G("抽奖记录中的缺席记录不在批次之后"));
            return false;
          }
          if (!ReplayAbsence(step.index)) return false;
          break;
        case TJournalStep::Kind::Plan:
          if (m_changes[step.index].Kind == TPlanKind::Named) {
            if (!ReplayNamed(m_changes[step.index], ++n)) return false;
          } else if (!ReplayChange(step.index, n)) {
            return false;
          }
          break;
      }
    }
    if (!TellTheMoves()) return false;
    const size_t cur = Current();
    if (cur < m_plan.size()) {
      Problem(m_finished ? G("抽奖记录标为已完成,但奖项") + Num(m_plan[cur].itemId) + G("尚未抽完")
                         : G("抽奖尚未完成,还没有中奖名单文件可以核对"));
      return false;
    }
    if (!m_voids.empty()) {
      int64_t redrawn = 0;
      for (const TVoidId& v : m_voids) redrawn += v.ReplacementIndex >= 0;
      m_result.Lines.push_back(G("共作废") + Num(static_cast<int64_t>(m_voids.size())) +
                               G("名中奖者(重抽") + Num(redrawn) + G("名, 名额空缺") +
                               Num(static_cast<int64_t>(m_voids.size()) - redrawn) +
                               G("名); 作废者曾被抽中, 已不在中奖名单中"));
    }
    return true;
  }

  // Batch `n` (from 1) of the journal against the replay.
  bool ReplayBatch(const TJournalBatch& b, int n) {
    const std::string label = G("第") + Num(n) + G("批");
    const size_t cur = Current();
    if (cur >= m_plan.size() || b.ItemId != m_plan[cur].itemId) {
      Problem(label + G(": 奖项") + Num(b.ItemId) + G("不是此时应抽的奖项"));
      return false;
    }
    PlanItem& it = m_plan[cur];
    if (m_named.count(it.itemId)) {
      Problem(label + G(": 奖项") + Num(b.ItemId) + G("是指定颁奖,不能随机抽取"));
      return false;
    }
    const int32_t want = std::min(it.list, it.luck - it.drawn);
    bool closed = false;
    std::optional<RulesReplay> before;
    if (m_ruled) before.emplace(*m_rulesReplay);
    const std::vector<int32_t> picks = Select(it.itemId, want, closed);
    Roll(b.Rolls);
    const std::string head = label + G(" 奖项") + Num(it.itemId) + " " +
                             Num(static_cast<int64_t>(picks.size())) + G("名: ");
    if (picks != b.Winners) {
      Problem(head + G("抽奖记录为 ") + Ids(m_lines, b.Winners) + G(", 按规则重放应为 ") +
              Ids(m_lines, picks) +
              (before ? FirstBreach(*before, it.itemId, b.Winners) : std::string()));
      return false;
    }
    it.drawn += static_cast<int32_t>(picks.size());
    if (b.Drawn != it.drawn || b.Closed != closed || b.PresetsUsed != PresetsUsed(it.itemId)) {
      Problem(head + G("抽奖记录中的计数与重放结果不符"));
      return false;
    }
    if (b.Rng != State()) {
      Problem(head + G("滚动") + Num(b.Rolls) + G("次后随机数状态为") + Num(State()) +
              G(", 抽奖记录为") + Num(b.Rng));
      return false;
    }
    m_result.Lines.push_back(head + Ids(m_lines, picks) + G("  一致"));
    for (int32_t k : picks) m_flat.emplace_back(it.itemId, k);
    if (closed) it.closed = true;
    return true;
  }

  // A named award (the `n`th reveal): the item the plan has next, handed to exactly those the
  // head names for it, with no number drawn.
  bool ReplayNamed(const TPlanRecord& r, int n) {
    const std::string label = G("第") + Num(n) + G("批 奖项") + Num(r.ItemId) + G(" 指定颁奖 ");
    const size_t cur = Current();
    const auto named = m_named.find(r.ItemId);
    if (cur >= m_plan.size() || m_plan[cur].itemId != r.ItemId || named == m_named.end() ||
        m_plan[cur].drawn != 0) {
      Problem(label + G(": 不是此时应颁发的指定奖项"));
      return false;
    }
    if (r.Winners != named->second) {
      Problem(label + G(": 抽奖记录为 ") + Ids(m_lines, r.Winners) + G(", 指定的是 ") +
              Ids(m_lines, named->second));
      return false;
    }
    for (int32_t k : r.Winners) {
      if (m_ruled) m_rulesReplay->Accept(k, r.ItemId);
      m_flat.emplace_back(r.ItemId, k);
    }
    m_plan[cur].drawn += static_cast<int32_t>(r.Winners.size());
    m_result.Lines.push_back(label + Num(static_cast<int64_t>(r.Winners.size())) + G("名: ") +
                             Ids(m_lines, r.Winners) + G("  一致"));
    return true;
  }

  // The absence `index` of the journal against the replay.
  bool ReplayAbsence(size_t index) {
    const TJournalAbsence& a = m_journal.Absences[index];
    const std::string head =
        G("第") + Num(static_cast<int64_t>(index + 1)) + G("次缺席 奖项") + Num(a.ItemId) + ": ";
    const size_t place = static_cast<size_t>(a.Place);
    if (a.Place < 0 || place >= m_flat.size() || m_flat[place].first != a.ItemId ||
        m_flat[place].second != a.Absent) {
      Problem(head + G("缺席者不是此位置上的中奖者"));
      return false;
    }
    const std::string breach =
        m_ruled ? m_rulesReplay->Breaks(a.Replacement, a.ItemId, a.Absent) : std::string();
    const int32_t k = Replace(a.Absent, a.ItemId);
    Roll(a.Rolls);
    if (k != a.Replacement) {
      Problem(head + G("抽奖记录中的替补为 ") + Ids(m_lines, {a.Replacement}) +
              G(", 按规则重放应为 ") + (k < 0 ? G("(无人可替补)") : Ids(m_lines, {k})) +
              (breach.empty() ? std::string() : G(", 该替补违反抽奖规则: ") + breach));
      return false;
    }
    if (a.Rng != State()) {
      Problem(head + G("滚动") + Num(a.Rolls) + G("次后随机数状态为") + Num(State()) +
              G(", 抽奖记录为") + Num(a.Rng));
      return false;
    }
    const size_t k0 = static_cast<size_t>(a.Absent);
    const size_t k1 = static_cast<size_t>(k);
    m_absent.push_back({a.ItemId, m_task, a.Place, a.Absent, m_lines[k0], k, m_lines[k1]});
    m_flat[place].second = k;
    m_result.Lines.push_back(head + Ids(m_lines, {a.Absent}) + G(" 缺席, 替补 ") +
                             Ids(m_lines, {k}) + G("  一致"));
    return true;
  }

  // The change `index` (a plan record) against the plan replayed so far, after `batches`
  // batches.
  bool ReplayChange(size_t index, int batches) {
    const TPlanRecord& r = m_changes[index];
    const std::string head = G("第") + Num(static_cast<int64_t>(index + 1)) + G("项改动 ");
    if (batches == 0) {
      Problem(head + G("在第一批之前,抽奖开始后才能改动"));
      return false;
    }
    if (r.Kind == TPlanKind::Void) return ReplayVoid(r, head);
    PlanItem* it = ItemOf(r.ItemId);
    const auto refuse = [&](const std::string& why) {
      Problem(head + G("奖项") + Num(r.ItemId) + ": " + why);
      return false;
    };
    std::string line;
    switch (r.Kind) {
      case TPlanKind::Add: {
        if (it) return refuse(G("临时加奖的编号已经是本次抽奖的奖项"));
        if (r.ListCount < 1 || r.LuckCount < r.ListCount)
          return refuse(G("临时加奖的名额或每次抽取人数无效"));
        m_plan.push_back({r.ItemId, r.LuckCount, r.ListCount, 0, false, r.Name});
        line = G("临时加奖 奖项") + Num(r.ItemId) + " " + r.Name + " " + Num(r.LuckCount) +
               G("名(每次") + Num(r.ListCount) + G("名)");
        if (!r.Rules.Empty()) {
          auto own = std::make_shared<ItemConditions>();
          if (!own->Prepare(r.Rules, m_title))
            return refuse(G("临时加奖的规则中的字段不在名单的标题行中"));
          line += G(", 仅限: ") + own->Text();
          m_flatReplay->Restrict(r.ItemId, own);
          m_rulesReplay->Restrict(r.ItemId, own);
        }
        break;
      }
      case TPlanKind::Count: {
        if (!it) return refuse(G("不是本次抽奖的奖项"));
        if (it->Complete()) return refuse(G("已经抽完,不能再改名额"));
        if (m_named.count(r.ItemId)) return refuse(G("是指定颁奖,名额不能修改"));
        if (r.LuckCount < 1 || r.LuckCount < it->drawn)
          return refuse(G("名额") + Num(r.LuckCount) + G("少于已抽出的") + Num(it->drawn) +
                        G("名"));
        line = G("改名额 奖项") + Num(r.ItemId) + " " + Num(it->luck) + G("名改为") +
               Num(r.LuckCount) + G("名(已抽出") + Num(it->drawn) + G("名)");
        it->luck = r.LuckCount;
        break;
      }
      case TPlanKind::Next: {
        if (!it) return refuse(G("不是本次抽奖的奖项"));
        if (it->Complete()) return refuse(G("已经抽完,不能作为下一个奖项"));
        const size_t cur = Current();
        const size_t at = static_cast<size_t>(it - m_plan.data());
        if (at == cur) return refuse(G("已经是下一个奖项"));
        const PlanItem moved = *it;
        m_plan.erase(m_plan.begin() + static_cast<std::ptrdiff_t>(at));
        m_plan.insert(m_plan.begin() + static_cast<std::ptrdiff_t>(cur), moved);
        line = G("选择下一个奖项 奖项") + Num(r.ItemId);
        break;
      }
      case TPlanKind::Void:
      case TPlanKind::Named:
        break;
    }
    if (!r.Audience.empty()) {
      Mix(r.Audience);
      line += G(", 现场号码") + r.Audience + G(", 随机数状态变为") + Num(State());
    }
    m_result.Lines.push_back(head + line + G("  一致"));
    return true;
  }

  bool ReplayVoid(const TPlanRecord& r, const std::string& head) {
    const size_t place = static_cast<size_t>(r.Place);
    if (r.Place < 0 || place >= m_flat.size() || m_flat[place].first != r.ItemId ||
        m_flat[place].second != r.Voided) {
      Problem(head + G("作废 奖项") + Num(r.ItemId) + G(": 作废者不是此位置上的中奖者"));
      return false;
    }
    const std::string what = head + G("作废 奖项") + Num(r.ItemId) + ": " +
                             Ids(m_lines, {r.Voided}) + " (" + r.Reason + ", " + r.Time + ")";
    TVoidId v{r.ItemId, m_task, r.Place, r.Voided, m_lines[static_cast<size_t>(r.Voided)],
              r.Reason, r.Time, -1,      {}};
    if (r.Redraw) {
      const int32_t k = Replace(r.Voided, r.ItemId, false);
      Roll(r.Rolls);
      if (k != r.Replacement) {
        Problem(what + G(" 抽奖记录中的重抽为 ") + Ids(m_lines, {r.Replacement}) +
                G(", 按规则重放应为 ") + (k < 0 ? G("(无人可重抽)") : Ids(m_lines, {k})));
        return false;
      }
      if (r.Rng != State()) {
        Problem(what + G(" 滚动") + Num(r.Rolls) + G("次后随机数状态为") + Num(State()) +
                G(", 抽奖记录为") + Num(r.Rng));
        return false;
      }
      v.ReplacementIndex = k;
      v.ReplacementLine = m_lines[static_cast<size_t>(k)];
      m_flat[place].second = k;
      m_result.Lines.push_back(what + G(" 重抽 ") + Ids(m_lines, {k}) + G("  一致"));
    } else {
      if (m_ruled) m_rulesReplay->Unseat(r.Voided, r.ItemId);
      m_flat.erase(m_flat.begin() + static_cast<std::ptrdiff_t>(place));
      m_result.Lines.push_back(what + G(" 名额空缺  一致"));
    }
    m_voids.push_back(std::move(v));
    return true;
  }

  // The winner files hold the replayed winners, nothing else; the absent files the absent
  // winners with their replacements.
  void CheckTheResultFiles() {
    std::string error;
    for (const PlanItem& plan : m_plan) {
      const int32_t itemId = plan.itemId;
      const std::string name = paths::WinnerFilePath("", m_task, itemId);
      std::string expected = m_title + "\r\n";
      for (const auto& [item, k] : m_flat)
        if (item == itemId) expected += m_lines[static_cast<size_t>(k)] + "\r\n";
      std::string got;
      if (!files::ReadWholeFile(Rel(name), got, error)) {
        Problem(G("找不到中奖名单文件") + name);
      } else if (got != expected) {
        Problem(G("中奖名单文件") + name + G("与重放结果不符"));
      }
      std::string absentText;
      for (const TAbsentId& a : m_absent)
        if (a.ItemId == itemId) absentText += AbsentLine(a) + "\r\n";
      const std::string absentName = paths::AbsentFilePath("", m_task, itemId);
      const bool there = files::ReadWholeFile(Rel(absentName), got, error);
      if (absentText.empty()) {
        if (there) Problem(G("缺席名单文件") + absentName + G("不在抽奖记录中"));
      } else if (!there) {
        Problem(G("找不到缺席名单文件") + absentName);
      } else if (got != m_title + "\r\n" + absentText) {
        Problem(G("缺席名单文件") + absentName + G("与重放结果不符"));
      }
      std::string voidText;
      for (const TVoidId& v : m_voids)
        if (v.ItemId == itemId) voidText += VoidLine(v) + "\r\n";
      const std::string voidName = VoidFilePath("", m_task, itemId);
      const bool voidThere = files::ReadWholeFile(Rel(voidName), got, error);
      if (voidText.empty()) {
        if (voidThere) Problem(G("作废名单文件") + voidName + G("不在抽奖记录中"));
      } else if (!voidThere) {
        Problem(G("找不到作废名单文件") + voidName);
      } else if (got != m_title + "\r\n" + voidText) {
        Problem(G("作废名单文件") + voidName + G("与重放结果不符"));
      }
    }
  }

  // Every prize claimed went to a winner of this draw: the claim file named for the journal's
  // key, when the folder holds it.
  void CheckTheClaims() {
    const std::string key = claims::JournalDrawKey(Rel(m_journalName));
    const std::string name = claims::ClaimFilePath("", m_task, key);
    if (key.empty() || !paths::FileExists(Rel(name))) return;
    claims::TClaimFile file;
    std::string why;
    if (!claims::ReadClaimFile(Rel(name), file, why)) {
      Problem(why);
      return;
    }
    if (file.WholeBytes > 0 && (file.TaskId != m_task || file.DrawKey != key)) {
      Problem(G("领奖记录文件") + name + G("不属于这次抽奖"));
      return;
    }
    std::set<std::pair<std::string, int32_t>> winners, absent, voided;
    for (const auto& [item, k] : m_flat)
      winners.emplace(text::FirstField(m_lines[static_cast<size_t>(k)]), item);
    for (const TAbsentId& a : m_absent) absent.emplace(text::FirstField(a.CandidateLine), a.ItemId);
    for (const TVoidId& v : m_voids) voided.emplace(text::FirstField(v.CandidateLine), v.ItemId);
    size_t bad = 0;
    for (const claims::TClaimRecord& r : file.Records) {
      if (winners.count({r.Id, r.ItemId})) continue;
      ++bad;
      Problem(G("领奖记录中") + r.Id + G(" (奖项") + Num(r.ItemId) + G(", ") + r.Time + " " +
              r.Desk +
              (absent.count({r.Id, r.ItemId})   ? G(") 已标为缺席,奖项应由替补领取")
               : voided.count({r.Id, r.ItemId}) ? G(") 已被作废,不能领奖")
                                                : G(") 不是本次抽奖的中奖者")));
    }
    if (bad == 0)
      m_result.Lines.push_back(G("领奖记录") + Num(static_cast<int64_t>(file.Records.size())) +
                               G("条, 均为本次抽奖的中奖者"));
  }

  std::string m_root;
  bool m_checkinFileChecked = false;
  int32_t m_task;
  TVerifyResult m_result;
  // What the steps read and replay.
  std::string m_journalName;
  bool m_finished = true;  // the finished journal, not the open one
  TJournal m_journal;
  std::vector<std::string> m_lines;
  std::string m_title;
  std::vector<Preset> m_presets;
  TTaskRules m_rules;
  uint32_t m_seed = 0;
  bool m_ruled = false;  // replayed by the rules (a draw with rules or of those checked in)
  std::optional<Replay> m_flatReplay;
  std::optional<RulesReplay> m_rulesReplay;
  std::vector<PlanItem> m_plan;  // the prize items in the order they are drawn now
  std::vector<TPlanRecord> m_changes;
  // Every winner in draw order: the item's id and the candidate; a replacement takes the
  // place of its absent or voided winner, a void without redraw leaves no place.
  std::vector<std::pair<int32_t, int32_t>> m_flat;
  std::vector<TAbsentId> m_absent;
  std::vector<TVoidId> m_voids;
  std::map<int32_t, std::vector<int32_t>> m_named;  // per named item, its winners in order
};

// A bundle's entries that the check reads; anything else in it is ignored.
bool BundleEntry(const std::string& name, int32_t& taskId) {
  auto digitsThen = [](std::string_view s, size_t& at) {
    const size_t from = at;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
    return at > from && at - from < 10;
  };
  const auto startsWith = [](std::string_view s, std::string_view a, std::string_view b = {}) {
    return s.substr(0, a.size()) == a && s.substr(a.size(), b.size()) == b;
  };
  std::string_view s = name;
  size_t at = 0;
  if (startsWith(s, paths::kLuckFileFolder, paths::kJournalPrefix)) {
    const size_t from = paths::kLuckFileFolder.size() + paths::kJournalPrefix.size();
    at = from;
    if (!digitsThen(s, at) || s.substr(at) != paths::kFinishedSuffix) return false;
    taskId = std::stoi(std::string(s.substr(from, at - from)));
    return true;
  }
  // Only a list file (DATA_FILE/<task>.txt) ends right after its first number.
  bool listFile = false;
  if (startsWith(s, paths::kDataFileFolder, paths::kPresetPrefix)) {
    at = paths::kDataFileFolder.size() + paths::kPresetPrefix.size();
  } else if (startsWith(s, paths::kLuckFileFolder, paths::kAbsentPrefix)) {
    at = paths::kLuckFileFolder.size() + paths::kAbsentPrefix.size();
  } else if (startsWith(s, paths::kLuckFileFolder, kVoidPrefix)) {
    at = paths::kLuckFileFolder.size() + kVoidPrefix.size();
  } else if (startsWith(s, paths::kLuckFileFolder, claims::kClaimPrefix)) {
    // The claim file of the draw: CLAIM_<task>_<16 hex>.txt.
    at = paths::kLuckFileFolder.size() + claims::kClaimPrefix.size();
    if (!digitsThen(s, at) || at >= s.size() || s[at] != '_') return false;
    const std::string_view key = s.substr(at + 1);
    return key.size() == 16 + 4 && key.substr(16) == ".txt" &&
           key.substr(0, 16).find_first_not_of("0123456789abcdef") == std::string_view::npos;
  } else if (startsWith(s, paths::kLuckFileFolder, checkin::kCheckinPrefix)) {
    // The check-in file of a draw of those checked in: CHECKIN_<task>.txt.
    at = paths::kLuckFileFolder.size() + checkin::kCheckinPrefix.size();
    listFile = true;
  } else if (startsWith(s, paths::kLuckFileFolder, kOpeningsPrefix)) {
    // The heads of the task's other openings: OPENINGS_<task>.txt.
    at = paths::kLuckFileFolder.size() + kOpeningsPrefix.size();
    listFile = true;
  } else if (startsWith(s, paths::kDataFileFolder)) {
    at = paths::kDataFileFolder.size();
    listFile = true;
  } else if (startsWith(s, paths::kLuckFileFolder)) {
    at = paths::kLuckFileFolder.size();
  } else {
    return false;
  }
  if (!digitsThen(s, at)) return false;
  if (s.substr(at) == ".txt") return listFile;
  if (at >= s.size() || s[at] != '_') return false;
  ++at;
  return digitsThen(s, at) && s.substr(at) == ".txt";
}

}  // namespace

std::string VerifyPassedText() { return G("验证通过"); }
std::string VerifyFailedText() { return G("验证未通过"); }

TVerifyResult VerifyDrawFolder(const std::string& gbkRoot, int32_t taskId) {
  return Checker(gbkRoot, taskId).Run();
}

TVerifyResult VerifyAuditBundle(const std::string& gbkZipPath) {
  TVerifyResult failed;
  auto fail = [&](std::string text) {
    failed.Lines = {text, VerifyFailedText()};
    failed.Problems = {std::move(text)};
    return failed;
  };
  sheet::ZipArchive zip;
  std::string error;
  if (!paths::FileExists(gbkZipPath)) return fail(G("找不到审计包文件") + gbkZipPath);
  // The reader's own words speak of spreadsheets; a bundle is told in its own.
  if (!zip.OpenFile(gbkZipPath, error))
    return fail(G("审计包") + gbkZipPath + G("不是有效的zip文件,或者已经损坏"));
  // The names come from the archive's directory; only the known ones are unpacked.
  const std::vector<std::string> names = zip.Names();
  int32_t taskId = 0;
  std::vector<std::string> wanted;
  for (const std::string& n : names) {
    int32_t t = 0;
    if (!BundleEntry(n, t)) continue;
    if (t > 0) taskId = t;
    wanted.push_back(n);
  }
  if (taskId <= 0) return fail(G("审计包中没有已完成的抽奖记录"));
  // A fresh folder of our own under the system's temporary folder.
  std::error_code ec;
  TDrawSecret r{};
  if (!SystemSecret(r, error)) return fail(error);
  const fs::path dir =
      fs::temp_directory_path(ec) / ("tombolix-verify-" + SecretHex(r).substr(0, 16));
  if (ec || !fs::create_directory(dir, ec)) return fail(G("无法创建临时目录"));
  const std::string root = text::Utf8ToGbk(paths::U8(dir)) + "/";
  TVerifyResult result;
  bool unpacked = true;
  for (const std::string& n : wanted) {
    std::string bytes;
    if (!zip.ReadPart(n, bytes, error) || !files::WriteFileAtomic(root + n, bytes, error)) {
      unpacked = false;
      break;
    }
  }
  result = unpacked ? VerifyDrawFolder(root, taskId) : fail(error);
  fs::remove_all(dir, ec);
  return result;
}
