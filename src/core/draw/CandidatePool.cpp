#include "core/draw/CandidatePool.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "core/draw/DrawTexts.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace {

// The high 64 bits of a * b.
uint64_t MulHigh64(uint64_t a, uint64_t b) {
  const uint64_t aLo = a & 0xffffffffu, aHi = a >> 32, bLo = b & 0xffffffffu, bHi = b >> 32;
  const uint64_t ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
  const uint64_t mid = (ll >> 32) + (lh & 0xffffffffu) + (hl & 0xffffffffu);
  return hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
}

// A number 0 … total − 1 for a pick by tickets: two steps of the generator give 64 bits x
// (the first state high, the second low), and the pick is floor(x · total / 2^64).
uint64_t TicketNumber(TRandom& rng, uint64_t total) {
  rng.Random(0);
  const uint64_t hi = rng.Seed();
  rng.Random(0);
  const uint64_t x = (hi << 32) | rng.Seed();
  return MulHigh64(x, total);
}

// Prefix sums over positions 0 … n − 1 with point updates and the search for the position
// whose running total first exceeds a number.
template <typename T>
class Fenwick {
 public:
  void Build(const std::vector<T>& w) {
    m_n = w.size();
    m_t.assign(m_n + 1, 0);
    m_total = 0;
    for (size_t i = 1; i <= m_n; ++i) {
      m_t[i] += w[i - 1];
      m_total += w[i - 1];
      const size_t j = i + (i & (~i + 1));
      if (j <= m_n) m_t[j] += m_t[i];
    }
    m_top = 1;
    while (m_top * 2 <= m_n) m_top *= 2;
  }
  void Add(size_t pos, T delta) {
    m_total += delta;
    for (size_t i = pos + 1; i <= m_n; i += i & (~i + 1)) m_t[i] += delta;
  }
  T Total() const { return m_total; }
  // The least position p with w[0] + … + w[p] > r, for 0 <= r < Total().
  size_t Find(T r) const {
    size_t pos = 0;
    for (size_t step = m_n ? m_top : 0; step; step >>= 1) {
      if (pos + step <= m_n && m_t[pos + step] <= r) {
        pos += step;
        r -= m_t[pos];
      }
    }
    return pos;
  }

 private:
  std::vector<T> m_t;
  size_t m_n = 0;
  size_t m_top = 1;
  T m_total = 0;
};

// Numbers the distinct texts 0, 1, … in order of first sight: open addressing over slots
// that hold each text's hash beside its number, so most probes touch one slot only.
class ValueNumbers {
 public:
  int32_t Number(std::string_view v) {
    if ((m_texts.size() + 1) * 2 > m_slots.size()) Grow();
    const uint32_t h = Hash(v);
    for (size_t i = h & m_mask;; i = (i + 1) & m_mask) {
      const uint64_t slot = m_slots[i];
      if (slot == 0) {
        const int32_t id = static_cast<int32_t>(m_texts.size());
        m_texts.push_back(v);
        m_slots[i] = Slot(h, id);
        return id;
      }
      if (static_cast<uint32_t>(slot >> 32) == h) {
        const int32_t id = static_cast<int32_t>(static_cast<uint32_t>(slot) - 1);
        if (m_texts[static_cast<size_t>(id)] == v) return id;
      }
    }
  }
  // The number of a text seen, or -1.
  int32_t Find(std::string_view v) const {
    if (m_slots.empty()) return -1;
    const uint32_t h = Hash(v);
    for (size_t i = h & m_mask;; i = (i + 1) & m_mask) {
      const uint64_t slot = m_slots[i];
      if (slot == 0) return -1;
      const int32_t id = static_cast<int32_t>(static_cast<uint32_t>(slot) - 1);
      if (static_cast<uint32_t>(slot >> 32) == h && m_texts[static_cast<size_t>(id)] == v)
        return id;
    }
  }
  int32_t Count() const { return static_cast<int32_t>(m_texts.size()); }

 private:
  static uint32_t Hash(std::string_view v) {
    uint32_t h = 2166136261u;
    for (unsigned char c : v) h = (h ^ c) * 16777619u;
    return h ^ (h >> 15);
  }
  static uint64_t Slot(uint32_t h, int32_t id) {
    return (uint64_t{h} << 32) | (static_cast<uint32_t>(id) + 1);
  }
  void Grow() {
    const size_t size = m_slots.empty() ? 64 : m_slots.size() * 2;
    m_slots.assign(size, 0);
    m_mask = size - 1;
    for (size_t id = 0; id < m_texts.size(); ++id) {
      const uint32_t h = Hash(m_texts[id]);
      size_t i = h & m_mask;
      while (m_slots[i] != 0) i = (i + 1) & m_mask;
      m_slots[i] = Slot(h, static_cast<int32_t>(id));
    }
  }
  std::vector<std::string_view> m_texts;
  std::vector<uint64_t> m_slots;
  size_t m_mask = 0;
};

}  // namespace

std::vector<std::string_view> FieldViews(std::string_view line) {
  std::vector<std::string_view> out;
  text::ForEachField(line, [&](size_t, std::string_view f) {
    out.push_back(f);
    return true;
  });
  return out;
}

// --- the rules' fixed part ---------------------------------------------------------------

class TRulesIndex {
 public:
  // One field of the lines that a rule reads: each candidate's value as a number.
  struct Column {
    size_t field = 0;
    std::vector<int32_t> valueOf;  // per candidate
    int32_t values = 0;
  };
  struct Condition {
    size_t column = 0;
    bool oneOf = true;
    std::vector<uint8_t> listed;  // per value number: among the condition's values
  };
  struct Item {
    std::vector<Condition> conditions;
    int quotaColumn = -1;
    int32_t quotaMax = 0;
    std::vector<uint8_t> excluded;  // per candidate, by the item's own list; empty: none
  };

  std::vector<Column> columns;
  bool tickets = false;
  std::vector<int64_t> ticketsOf;  // per candidate, when tickets are counted
  // Per candidate: why the whole task is shut to it (kTaskWinner | kListed | kAbsent), 0 open.
  static constexpr uint8_t kTaskWinner = 1, kListed = 2, kAbsent = 4;
  std::vector<uint8_t> excluded;
  int taskQuotaColumn = -1;
  int32_t taskQuotaMax = 0;
  std::unordered_map<int32_t, Item> items;
  Item plain;  // an item without rules of its own

  const Item& ItemOf(int32_t itemId) const {
    auto it = items.find(itemId);
    return it == items.end() ? plain : it->second;
  }
  int64_t Weight(int32_t k) const { return tickets ? ticketsOf[static_cast<size_t>(k)] : 1; }
  // Conditions, tickets and exclusion: what never changes during the draw, the first bar
  // found in that order.
  TRuleVerdict Verdict(const Item& item, int32_t k) const {
    const size_t i = static_cast<size_t>(k);
    for (size_t n = 0; n < item.conditions.size(); ++n) {
      const Condition& c = item.conditions[n];
      if ((c.listed[static_cast<size_t>(columns[c.column].valueOf[i])] != 0) != c.oneOf)
        return {TRuleBar::Condition, n};
    }
    if (tickets && ticketsOf[i] <= 0) return {TRuleBar::NoTickets};
    if (excluded[i] & kTaskWinner) return {TRuleBar::ExcludedTask};
    if ((excluded[i] & kListed) || (!item.excluded.empty() && item.excluded[i]))
      return {TRuleBar::ExcludedList};
    if (excluded[i] & kAbsent) return {TRuleBar::NotCheckedIn};
    return {};
  }
  bool Keeps(const Item& item, int32_t k) const { return Verdict(item, k).bar == TRuleBar::None; }
  int32_t ValueOf(int column, int32_t k) const {
    return columns[static_cast<size_t>(column)].valueOf[static_cast<size_t>(k)];
  }
};

std::shared_ptr<const TRulesIndex> IndexRules(const TArraySring& lines, const TPoolRules& given,
                                              std::string& error) {
  TTaskRules rules = given.Rules;
  NormaliseRules(rules);
  if (rules.Empty() && !given.CheckinOnly) return nullptr;
  auto index = std::make_shared<TRulesIndex>();
  const std::vector<std::string_view> heads = FieldViews(given.TitleLine);
  const auto fieldOf = [&](const std::string& name, size_t& field) {
    for (size_t i = 0; i < heads.size(); ++i)
      if (heads[i] == name) {
        field = i;
        return true;
      }
    error = text::G("抽奖规则中的字段[") + name + text::G("]不在名单的标题行中");
    return false;
  };
  // The column of a field, shared by every rule that reads it.
  const auto columnOf = [&](const std::string& name, int& column) {
    size_t field = 0;
    if (!fieldOf(name, field)) return false;
    for (size_t c = 0; c < index->columns.size(); ++c)
      if (index->columns[c].field == field) {
        column = static_cast<int>(c);
        return true;
      }
    index->columns.push_back({field, {}, 0});
    column = static_cast<int>(index->columns.size()) - 1;
    return true;
  };
  size_t ticketField = 0;
  if (!rules.TicketsField.empty()) {
    if (!fieldOf(rules.TicketsField, ticketField)) return nullptr;
    index->tickets = true;
  }
  if (rules.TaskQuota.IsSet()) {
    if (!columnOf(rules.TaskQuota.Field, index->taskQuotaColumn)) return nullptr;
    index->taskQuotaMax = rules.TaskQuota.Max;
  }
  for (const TItemRules& r : rules.Items) {
    TRulesIndex::Item& item = index->items[r.ItemId];
    for (const TRuleCondition& c : r.Conditions) {
      int column = 0;
      if (!columnOf(c.Field, column)) return nullptr;
      item.conditions.push_back({static_cast<size_t>(column), c.Kind == TConditionKind::OneOf, {}});
    }
    if (r.Quota.IsSet()) {
      if (!columnOf(r.Quota.Field, item.quotaColumn)) return nullptr;
      item.quotaMax = r.Quota.Max;
    }
  }

  // One pass over the lines: each read field's value numbered, tickets, exclusion.
  const size_t n = lines.size();
  std::vector<size_t> columnOfField;  // per field index: column + 1, or 0
  size_t lastField = index->tickets ? ticketField : 0;
  for (size_t c = 0; c < index->columns.size(); ++c) {
    const size_t f = index->columns[c].field;
    if (columnOfField.size() <= f) columnOfField.resize(f + 1, 0);
    columnOfField[f] = c + 1;
    lastField = std::max(lastField, f);
    index->columns[c].valueOf.assign(n, 0);
  }
  // The value texts are views into `lines`, which outlive this call.
  std::vector<ValueNumbers> numbers(index->columns.size());
  const auto numberOf = [&](size_t c, std::string_view v) {
    const int32_t id = numbers[c].Number(v);
    index->columns[c].values = numbers[c].Count();
    return id;
  };
  // A field the line lacks has the empty value.
  for (size_t c = 0; c < index->columns.size(); ++c) numberOf(c, {});
  const std::unordered_set<std::string_view> winnerIds(given.ExcludedIds.begin(),
                                                       given.ExcludedIds.end());
  const std::unordered_set<std::string_view> listedIds(rules.ExcludeIds.begin(),
                                                       rules.ExcludeIds.end());
  std::unordered_set<std::string_view> presentIds(given.PresentIds.begin(), given.PresentIds.end());
  index->excluded.assign(n, 0);
  if (index->tickets) index->ticketsOf.assign(n, 0);
  int64_t ticketSum = 0;
  for (size_t k = 0; k < n; ++k) {
    std::string_view ticketText;
    bool first = true;
    text::ForEachField(lines[k], [&](size_t i, std::string_view f) {
      if (first) {
        if (!winnerIds.empty() && winnerIds.count(f))
          index->excluded[k] |= TRulesIndex::kTaskWinner;
        if (!listedIds.empty() && listedIds.count(f)) index->excluded[k] |= TRulesIndex::kListed;
        if (given.CheckinOnly && !presentIds.count(f)) index->excluded[k] |= TRulesIndex::kAbsent;
        first = false;
      }
      if (i < columnOfField.size() && columnOfField[i])
        index->columns[columnOfField[i] - 1].valueOf[k] = numberOf(columnOfField[i] - 1, f);
      if (index->tickets && i == ticketField) ticketText = f;
      return i < lastField;
    });
    if (first && given.CheckinOnly) index->excluded[k] |= TRulesIndex::kAbsent;  // no id
    if (!index->tickets) continue;
    int64_t t = 0;
    const bool whole = ParseTickets(ticketText, t);
    if (!whole || t > INT64_MAX - ticketSum) {
      const std::string id(text::FirstField(lines[k]));
      error = !whole ? text::G("名单中") + id + text::G("的") + drawtext::TicketsFault(ticketText) +
                           text::G("(") + drawtext::CandidatePlace(k) + text::G(")")
                     : text::G("名单中的票数总和超出范围(到") + id +
                           text::G("为止已超过9223372036854775807)");
      return nullptr;
    }
    ticketSum += t;
    index->ticketsOf[k] = t;
  }
  for (const TItemRules& r : rules.Items) {
    TRulesIndex::Item& item = index->items[r.ItemId];
    if (!r.ExcludeIds.empty()) {
      const std::unordered_set<std::string_view> out(r.ExcludeIds.begin(), r.ExcludeIds.end());
      item.excluded.assign(n, 0);
      for (size_t k = 0; k < n; ++k)
        item.excluded[k] = out.count(text::FirstField(lines[k])) ? 1 : 0;
    }
    for (size_t i = 0; i < r.Conditions.size(); ++i) {
      TRulesIndex::Condition& c = item.conditions[i];
      c.listed.assign(static_cast<size_t>(index->columns[c.column].values), 0);
      for (const std::string& v : r.Conditions[i].Values) {
        const int32_t id = numbers[c.column].Find(v);
        if (id >= 0) c.listed[static_cast<size_t>(id)] = 1;
      }
    }
  }
  return index;
}

// --- the rules' moving part --------------------------------------------------------------

struct TCandidatePool::Rules {
  std::shared_ptr<const TRulesIndex> index;
  std::vector<int32_t> taskCounts;                               // per value
  std::unordered_map<int32_t, std::vector<int32_t>> itemCounts;  // per item, per value
  std::unordered_map<int32_t, int32_t> skipped;                  // per item
  // The item being drawn: those who keep its rules and are on no preset list, ascending,
  // with their weight now (0: may not win now), and its members grouped by the values of
  // its quota field and of the task's.
  bool active = false;
  int32_t activeItem = 0;
  std::vector<int32_t> members;
  std::vector<int64_t> weight;
  Fenwick<int64_t> tickets;
  Fenwick<int32_t> heads;
  std::vector<int32_t> itemGroupStart, itemGroupPos, taskGroupStart, taskGroupPos;

  std::vector<int32_t>& CountsOf(int32_t itemId) {
    std::vector<int32_t>& c = itemCounts[itemId];
    const TRulesIndex::Item& item = index->ItemOf(itemId);
    if (item.quotaColumn >= 0 && c.empty())
      c.assign(static_cast<size_t>(index->columns[static_cast<size_t>(item.quotaColumn)].values),
               0);
    return c;
  }
  // Neither quota of k's values is full; `absent`'s own place not counted when >= 0.
  bool QuotaOk(int32_t itemId, int32_t k, int32_t absent) const {
    const TRulesIndex& x = *index;
    const TRulesIndex::Item& item = x.ItemOf(itemId);
    if (item.quotaColumn >= 0) {
      const int32_t v = x.ValueOf(item.quotaColumn, k);
      auto c = itemCounts.find(itemId);
      int32_t n =
          c == itemCounts.end() || c->second.empty() ? 0 : c->second[static_cast<size_t>(v)];
      if (absent >= 0 && x.ValueOf(item.quotaColumn, absent) == v) --n;
      if (n >= item.quotaMax) return false;
    }
    if (x.taskQuotaColumn >= 0) {
      const int32_t v = x.ValueOf(x.taskQuotaColumn, k);
      int32_t n = taskCounts[static_cast<size_t>(v)];
      if (absent >= 0 && x.ValueOf(x.taskQuotaColumn, absent) == v) --n;
      if (n >= x.taskQuotaMax) return false;
    }
    return true;
  }
  // k's place in the active item's members, or -1.
  int64_t PositionOf(int32_t k) const {
    auto it = std::lower_bound(members.begin(), members.end(), k);
    return it != members.end() && *it == k ? it - members.begin() : -1;
  }
};

namespace {

// Groups positions 0 … n − 1 by a value each: the positions of value v are
// pos[start[v]] … pos[start[v + 1] − 1], ascending.
void GroupBy(const std::vector<int32_t>& valueOfPos, int32_t values, std::vector<int32_t>& start,
             std::vector<int32_t>& pos) {
  start.assign(static_cast<size_t>(values) + 1, 0);
  for (int32_t v : valueOfPos) ++start[static_cast<size_t>(v) + 1];
  for (size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
  pos.assign(valueOfPos.size(), 0);
  std::vector<int32_t> at(start.begin(), start.end() - 1);
  for (size_t p = 0; p < valueOfPos.size(); ++p)
    pos[static_cast<size_t>(at[static_cast<size_t>(valueOfPos[p])]++)] = static_cast<int32_t>(p);
}

}  // namespace

TCandidatePool::TCandidatePool(const TArraySring& lines, TArrCheatId& presets, bool luckAgain)
    : m_presets(&presets), m_luckAgain(luckAgain) {
  const size_t n = lines.size();
  m_drawn.assign(n, 0);
  m_absent.assign(n, 0);
  m_isPreset.assign(n, 0);
  m_presetIndex.assign(presets.size(), -1);
  // Which candidate lines are on a preset list, and where each entry's line first stands.
  if (!presets.empty()) {
    std::unordered_map<std::string_view, int32_t> first;
    for (const TCheatId& e : presets) first.emplace(e.IdText, -1);
    for (size_t k = 0; k < n; ++k) {
      auto it = first.find(lines[k]);
      if (it == first.end()) continue;
      m_isPreset[k] = 1;
      if (it->second < 0) it->second = static_cast<int32_t>(k);
    }
    for (size_t e = 0; e < presets.size(); ++e) m_presetIndex[e] = first[presets[e].IdText];
  }
  m_nonPresetCount =
      static_cast<int64_t>(n) - std::count(m_isPreset.begin(), m_isPreset.end(), uint8_t{1});
  m_randomCount = m_nonPresetCount;
  for (size_t e = 0; e < presets.size(); ++e) {
    presets[e].Used = false;
    m_queues[presets[e].ItemId].entries.push_back(e);
  }
}

TCandidatePool::TCandidatePool() = default;
TCandidatePool::~TCandidatePool() = default;
TCandidatePool::TCandidatePool(TCandidatePool&&) noexcept = default;
TCandidatePool& TCandidatePool::operator=(TCandidatePool&&) noexcept = default;

void TCandidatePool::UseRules(std::shared_ptr<const TRulesIndex> index) {
  m_rules.reset();
  if (!index) return;
  m_rules = std::make_unique<Rules>();
  m_rules->index = std::move(index);
  const TRulesIndex& x = *m_rules->index;
  if (x.taskQuotaColumn >= 0)
    m_rules->taskCounts.assign(
        static_cast<size_t>(x.columns[static_cast<size_t>(x.taskQuotaColumn)].values), 0);
}

void TCandidatePool::GiveItemRules(int32_t itemId, std::shared_ptr<const TRulesIndex> own) {
  if (!own) return;
  m_own[itemId] = std::move(own);
  // The item's members are made again with its own rules.
  if (m_rules && m_rules->active && m_rules->activeItem == itemId) m_rules->active = false;
}

bool TCandidatePool::OwnKeeps(int32_t k, int32_t itemId) const {
  const auto own = m_own.find(itemId);
  return own == m_own.end() || RuleVerdict(*own->second, itemId, k).bar == TRuleBar::None;
}

bool TCandidatePool::DynamicOk(int32_t k) const {
  if (m_absent[static_cast<size_t>(k)]) return false;  // never wins again in this draw
  return m_luckAgain || m_drawn[static_cast<size_t>(k)] == 0;
}

bool TCandidatePool::MayWin(int32_t k, int32_t itemId) const {
  if (!InRange(k) || !DynamicOk(k) || !OwnKeeps(k, itemId)) return false;
  if (!m_rules) return true;
  return m_rules->index->Keeps(m_rules->index->ItemOf(itemId), k) &&
         m_rules->QuotaOk(itemId, k, -1);
}

bool TCandidatePool::MayReplace(int32_t k, int32_t absent, int32_t itemId) const {
  if (!InRange(k) || k == absent || m_isPreset[static_cast<size_t>(k)] || !DynamicOk(k) ||
      !OwnKeeps(k, itemId))
    return false;
  if (!m_rules) return true;
  return m_rules->index->Keeps(m_rules->index->ItemOf(itemId), k) &&
         m_rules->QuotaOk(itemId, k, InRange(absent) ? absent : -1);
}

void TCandidatePool::Activate(int32_t itemId) {
  Rules& r = *m_rules;
  if (r.active && r.activeItem == itemId) return;
  const TRulesIndex& x = *r.index;
  const TRulesIndex::Item& item = x.ItemOf(itemId);
  r.active = true;
  r.activeItem = itemId;
  r.members.clear();
  const int32_t n = static_cast<int32_t>(m_drawn.size());
  for (int32_t k = 0; k < n; ++k)
    if (!m_isPreset[static_cast<size_t>(k)] && x.Keeps(item, k) && OwnKeeps(k, itemId))
      r.members.push_back(k);
  r.weight.assign(r.members.size(), 0);
  std::vector<int32_t> heads(r.members.size(), 0);
  for (size_t p = 0; p < r.members.size(); ++p) {
    const int32_t k = r.members[p];
    if (DynamicOk(k) && r.QuotaOk(itemId, k, -1)) {
      r.weight[p] = x.Weight(k);
      heads[p] = 1;
    }
  }
  r.tickets.Build(r.weight);
  r.heads.Build(heads);
  // The members grouped by their value of a quota field (none without that quota).
  std::vector<int32_t> values(r.members.size());
  const auto group = [&](int column, auto& start, auto& pos) {
    start.clear();
    pos.clear();
    if (column < 0) return;
    for (size_t p = 0; p < r.members.size(); ++p) values[p] = x.ValueOf(column, r.members[p]);
    GroupBy(values, x.columns[static_cast<size_t>(column)].values, start, pos);
  };
  group(item.quotaColumn, r.itemGroupStart, r.itemGroupPos);
  group(x.taskQuotaColumn, r.taskGroupStart, r.taskGroupPos);
}

void TCandidatePool::Refresh(size_t pos) {
  Rules& r = *m_rules;
  const int32_t k = r.members[pos];
  const int64_t w = DynamicOk(k) && r.QuotaOk(r.activeItem, k, -1) ? r.index->Weight(k) : 0;
  const int64_t was = r.weight[pos];
  if (w == was) return;
  r.tickets.Add(pos, w - was);
  r.heads.Add(pos, (w > 0 ? 1 : 0) - (was > 0 ? 1 : 0));
  r.weight[pos] = w;
}

void TCandidatePool::RefreshCandidate(int32_t k) {
  if (!m_rules->active) return;
  const int64_t pos = m_rules->PositionOf(k);
  if (pos >= 0) Refresh(static_cast<size_t>(pos));
}

void TCandidatePool::RefreshItemGroup(int32_t v) {
  const Rules& r = *m_rules;
  if (!r.active || r.itemGroupStart.empty()) return;
  for (int32_t i = r.itemGroupStart[static_cast<size_t>(v)];
       i < r.itemGroupStart[static_cast<size_t>(v) + 1]; ++i)
    Refresh(static_cast<size_t>(r.itemGroupPos[static_cast<size_t>(i)]));
}

void TCandidatePool::RefreshTaskGroup(int32_t v) {
  const Rules& r = *m_rules;
  if (!r.active || r.taskGroupStart.empty()) return;
  for (int32_t i = r.taskGroupStart[static_cast<size_t>(v)];
       i < r.taskGroupStart[static_cast<size_t>(v) + 1]; ++i)
    Refresh(static_cast<size_t>(r.taskGroupPos[static_cast<size_t>(i)]));
}

void TCandidatePool::Count(int32_t k, int32_t itemId, int32_t delta) {
  Rules& r = *m_rules;
  const TRulesIndex& x = *r.index;
  const TRulesIndex::Item& item = x.ItemOf(itemId);
  if (item.quotaColumn >= 0) {
    const int32_t v = x.ValueOf(item.quotaColumn, k);
    r.CountsOf(itemId)[static_cast<size_t>(v)] += delta;
    // Only the value's reaching or leaving its limit changes who may win.
    const int32_t now = r.CountsOf(itemId)[static_cast<size_t>(v)];
    if (r.active && r.activeItem == itemId &&
        (now == item.quotaMax || now + 1 == item.quotaMax || now - 1 == item.quotaMax))
      RefreshItemGroup(v);
  }
  if (x.taskQuotaColumn >= 0) {
    const int32_t v = x.ValueOf(x.taskQuotaColumn, k);
    const int32_t now = r.taskCounts[static_cast<size_t>(v)] += delta;
    if (now == x.taskQuotaMax || now + 1 == x.taskQuotaMax || now - 1 == x.taskQuotaMax)
      RefreshTaskGroup(v);
  }
  RefreshCandidate(k);
}

bool TCandidatePool::IsPreset(int32_t k) const {
  return InRange(k) && m_isPreset[static_cast<size_t>(k)] != 0;
}

bool TCandidatePool::MayPick(int32_t itemId) const {
  if (m_rules) {
    auto q = m_queues.find(itemId);
    if (q != m_queues.end())
      for (size_t i = q->second.next; i < q->second.entries.size(); ++i) {
        const int32_t k = m_presetIndex[q->second.entries[i]];
        if (k < 0 ? RuleEligibleCount(itemId) > 0 : MayWin(k, itemId)) return true;
      }
    for (int32_t k = 0; k < static_cast<int32_t>(m_drawn.size()); ++k)
      if (!m_isPreset[static_cast<size_t>(k)] && MayWin(k, itemId)) return true;
    return false;
  }
  if (HasOwn(itemId)) {
    // Those the item's own rules let in: one of them must still be free.
    for (int32_t k = 0; k < static_cast<int32_t>(m_drawn.size()); ++k)
      if (!m_isPreset[static_cast<size_t>(k)] && MayWin(k, itemId)) return true;
  } else if (m_randomCount > 0) {
    return true;
  }
  // Only preset entries can still give a winner: one of the unused ones must.
  auto q = m_queues.find(itemId);
  if (q == m_queues.end()) return false;
  for (size_t i = q->second.next; i < q->second.entries.size(); ++i) {
    const int32_t k = m_presetIndex[q->second.entries[i]];
    if (k >= 0 && MayWin(k, itemId)) return true;
  }
  return false;
}

int32_t TCandidatePool::Pick(int32_t itemId, TRandom& rng) {
  if (m_rules) return RulesPick(itemId, rng);
  const int32_t count = static_cast<int32_t>(m_drawn.size());
  if (HasOwn(itemId) && (m_queues.find(itemId) == m_queues.end())) {
    // An added item has no preset list: the numbers drawn are those of the loop below, with
    // the item's rules looked at once, not at every number.
    if (!MayPick(itemId)) return -1;
    int32_t k;
    do {
      k = rng.Random(count);
    } while (m_isPreset[static_cast<size_t>(k)] || !MayWin(k, itemId));
    return k;
  }
  while (MayPick(itemId)) {
    int32_t k = -1;
    auto q = m_queues.find(itemId);
    if (q != m_queues.end() && q->second.next < q->second.entries.size()) {
      const size_t e = q->second.entries[q->second.next++];
      (*m_presets)[e].Used = true;  // used up whatever follows
      k = m_presetIndex[e];
    }
    if (k < 0 && m_nonPresetCount > 0) {
      do {
        k = rng.Random(count);
      } while (m_isPreset[static_cast<size_t>(k)]);
    }
    if (MayWin(k, itemId)) return k;
  }
  return -1;
}

int32_t TCandidatePool::RulesPick(int32_t itemId, TRandom& rng) {
  Activate(itemId);
  Rules& r = *m_rules;
  const auto random = [&]() -> int32_t {
    const int64_t total = r.tickets.Total();
    if (total <= 0) return -1;
    const int64_t n = r.index->tickets
                          ? static_cast<int64_t>(TicketNumber(rng, static_cast<uint64_t>(total)))
                          : rng.Random(static_cast<int32_t>(total));
    return r.members[r.tickets.Find(n)];
  };
  // The item's preset entries in load order, each used up when reached: one naming a
  // candidate who may win gives that winner, one naming nobody a pick at random, and one
  // naming somebody the rules or the draw so far shut out is passed over.
  auto q = m_queues.find(itemId);
  if (q != m_queues.end())
    while (q->second.next < q->second.entries.size()) {
      const size_t e = q->second.entries[q->second.next++];
      (*m_presets)[e].Used = true;
      const int32_t k = m_presetIndex[e];
      if (k < 0) {
        const int32_t pick = random();
        if (pick >= 0) return pick;
        continue;
      }
      if (MayWin(k, itemId)) return k;
      ++r.skipped[itemId];
    }
  return random();
}

int32_t TCandidatePool::RollPick(int32_t itemId, TRandom& rng) {
  if (!m_rules) return -1;
  Activate(itemId);
  const int32_t n = m_rules->heads.Total();
  const int32_t r = rng.Random(n);
  return n > 0 ? m_rules->members[m_rules->heads.Find(r)] : -1;
}

std::vector<int32_t> TCandidatePool::ReplacementChoices(int32_t absent, int32_t itemId) const {
  std::vector<int32_t> out;
  if (!m_rules) return out;
  const int32_t n = static_cast<int32_t>(m_drawn.size());
  for (int32_t k = 0; k < n; ++k)
    if (MayReplace(k, absent, itemId)) out.push_back(k);
  return out;
}

int64_t TCandidatePool::MayWinCount(int32_t itemId) const {
  if (!m_rules) return m_randomCount;
  // The item being drawn keeps its count in its tree of heads.
  if (m_rules->active && m_rules->activeItem == itemId) return m_rules->heads.Total();
  int64_t count = 0;
  for (int32_t k = 0; k < static_cast<int32_t>(m_drawn.size()); ++k)
    count += !m_isPreset[static_cast<size_t>(k)] && MayWin(k, itemId);
  return count;
}

int64_t TCandidatePool::RuleEligibleCount(int32_t itemId) const {
  const int32_t n = static_cast<int32_t>(m_drawn.size());
  int64_t count = 0;
  if (!m_rules) {
    for (int32_t k = 0; k < n; ++k) count += OwnKeeps(k, itemId);
    return count;
  }
  const TRulesIndex& x = *m_rules->index;
  const TRulesIndex::Item& item = x.ItemOf(itemId);
  for (int32_t k = 0; k < n; ++k) count += x.Keeps(item, k) && OwnKeeps(k, itemId);
  return count;
}

int64_t TCandidatePool::RuleQuotaReach(int32_t itemId) const {
  if (!m_rules) return static_cast<int64_t>(m_drawn.size());
  const TRulesIndex& x = *m_rules->index;
  const TRulesIndex::Item& item = x.ItemOf(itemId);
  // Each quota alone caps the item; both together cap it at least as much.
  const auto reachBy = [&](int column, int32_t max) {
    std::vector<int64_t> perValue(
        static_cast<size_t>(x.columns[static_cast<size_t>(column)].values), 0);
    for (int32_t k = 0; k < static_cast<int32_t>(m_drawn.size()); ++k)
      if (x.Keeps(item, k)) ++perValue[static_cast<size_t>(x.ValueOf(column, k))];
    int64_t reach = 0;
    for (int64_t n : perValue) reach += std::min<int64_t>(n, max);
    return reach;
  };
  int64_t reach = RuleEligibleCount(itemId);
  if (item.quotaColumn >= 0) reach = std::min(reach, reachBy(item.quotaColumn, item.quotaMax));
  if (x.taskQuotaColumn >= 0) reach = std::min(reach, reachBy(x.taskQuotaColumn, x.taskQuotaMax));
  return reach;
}

int64_t TCandidatePool::TaskQuotaReach(const std::vector<int32_t>& itemIds) const {
  if (!m_rules || m_rules->index->taskQuotaColumn < 0) return INT64_MAX;
  const TRulesIndex& x = *m_rules->index;
  std::vector<int64_t> perValue(
      static_cast<size_t>(x.columns[static_cast<size_t>(x.taskQuotaColumn)].values), 0);
  for (int32_t k = 0; k < static_cast<int32_t>(m_drawn.size()); ++k)
    if (std::any_of(itemIds.begin(), itemIds.end(),
                    [&](int32_t id) { return x.Keeps(x.ItemOf(id), k); }))
      ++perValue[static_cast<size_t>(x.ValueOf(x.taskQuotaColumn, k))];
  int64_t reach = 0;
  for (int64_t n : perValue) reach += std::min<int64_t>(n, x.taskQuotaMax);
  return reach;
}

TRuleVerdict RuleVerdict(const TRulesIndex& index, int32_t itemId, int32_t k) {
  return index.Verdict(index.ItemOf(itemId), k);
}

int64_t ListedCandidates(const TRulesIndex& index, int32_t itemId) {
  const TRulesIndex::Item& item = index.ItemOf(itemId);
  int64_t n = 0;
  for (size_t k = 0; k < index.excluded.size(); ++k)
    n += (index.excluded[k] & TRulesIndex::kListed) || (!item.excluded.empty() && item.excluded[k]);
  return n;
}

int32_t TCandidatePool::PresetsAgainstRules(int32_t itemId) const {
  if (!m_rules) return 0;
  auto q = m_queues.find(itemId);
  if (q == m_queues.end()) return 0;
  const TRulesIndex& x = *m_rules->index;
  int32_t against = 0;
  for (size_t e : q->second.entries) {
    const int32_t k = m_presetIndex[e];
    if (k >= 0 && !x.Keeps(x.ItemOf(itemId), k)) ++against;
  }
  return against;
}

int32_t TCandidatePool::PresetsSkipped(int32_t itemId) const {
  if (!m_rules) return 0;
  auto it = m_rules->skipped.find(itemId);
  return it == m_rules->skipped.end() ? 0 : it->second;
}

int32_t TCandidatePool::PickReplacement(int32_t absent, int32_t itemId, TRandom& rng) const {
  if (m_rules) {
    // Every candidate who may replace, ascending, each with its tickets (or one).
    const std::vector<int32_t> choices = ReplacementChoices(absent, itemId);
    int64_t total = 0;
    for (int32_t k : choices) total += m_rules->index->Weight(k);
    if (total <= 0) return -1;
    int64_t n = m_rules->index->tickets
                    ? static_cast<int64_t>(TicketNumber(rng, static_cast<uint64_t>(total)))
                    : rng.Random(static_cast<int32_t>(total));
    for (int32_t k : choices) {
      n -= m_rules->index->Weight(k);
      if (n < 0) return k;
    }
    return -1;
  }
  // Who may still be drawn at random, the absent winner left out.
  int64_t left = m_randomCount;
  if (m_luckAgain && InRange(absent) && !m_isPreset[static_cast<size_t>(absent)] &&
      !m_absent[static_cast<size_t>(absent)])
    --left;
  if (left <= 0) return -1;
  const int32_t count = static_cast<int32_t>(m_drawn.size());
  if (HasOwn(itemId)) {
    // Only those the item's own rules let in: one of them must be there to draw.
    bool any = false;
    for (int32_t k = 0; k < count && !any; ++k) any = MayReplace(k, absent, itemId);
    if (!any) return -1;
  }
  int32_t k;
  do {
    k = rng.Random(count);
  } while (!MayReplace(k, absent, itemId));
  return k;
}

void TCandidatePool::MarkDrawn(int32_t k, int32_t itemId) {
  if (!InRange(k)) return;
  // A reserved winner is out of the random draw already.
  if (!m_luckAgain && !m_drawn[static_cast<size_t>(k)]) {
    m_drawn[static_cast<size_t>(k)] = 1;
    if (!m_isPreset[static_cast<size_t>(k)]) --m_randomCount;
  }
  if (m_rules) Count(k, itemId, +1);
}

void TCandidatePool::Reserve(int32_t k) {
  if (!InRange(k) || m_luckAgain || m_drawn[static_cast<size_t>(k)]) return;
  m_drawn[static_cast<size_t>(k)] = 1;
  if (!m_isPreset[static_cast<size_t>(k)]) --m_randomCount;
  if (m_rules) RefreshCandidate(k);
}

void TCandidatePool::MarkAbsent(int32_t absent, int32_t replacement, int32_t itemId) {
  if (!InRange(absent) || !InRange(replacement)) return;
  // Drawn once, the absent winner is out of the pool already; with repeated winning on it
  // leaves the pool now.
  const size_t a = static_cast<size_t>(absent);
  if (m_luckAgain && !m_isPreset[a] && !m_absent[a]) --m_randomCount;
  m_absent[a] = 1;
  if (!m_luckAgain) {
    m_drawn[static_cast<size_t>(replacement)] = 1;
    --m_randomCount;
  }
  if (m_rules) {
    Count(absent, itemId, -1);
    Count(replacement, itemId, +1);
  }
}

void TCandidatePool::MarkVoided(int32_t voided, int32_t replacement, int32_t itemId) {
  if (!InRange(voided)) return;
  if (m_rules) Count(voided, itemId, -1);
  if (InRange(replacement)) MarkDrawn(replacement, itemId);
}

int32_t TCandidatePool::PresetsUsed(int32_t itemId) const {
  auto q = m_queues.find(itemId);
  return q == m_queues.end() ? 0 : static_cast<int32_t>(q->second.next);
}

bool TCandidatePool::UsePresetsTo(int32_t itemId, int32_t used) {
  if (used < 0) return false;
  auto q = m_queues.find(itemId);
  const size_t to = static_cast<size_t>(used);
  if (q == m_queues.end()) return to == 0;
  if (to > q->second.entries.size() || to < q->second.next) return false;
  for (size_t i = q->second.next; i < to; ++i) (*m_presets)[q->second.entries[i]].Used = true;
  q->second.next = to;
  return true;
}
