// libFuzzer harness for the configuration window's check of the draw's rules, against the
// draw's own reading of them. The input is a rules text, a NUL byte, a title line and
// candidate lines (LF), as for the rules harness. Any bytes: never a crash; rules the check
// accepts are accepted by the draw's set-up, and both count the same candidates as eligible
// for each item; the checklist counts no more candidates than the list holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/config/RuleCheck.h"
#include "core/draw/CandidatePool.h"
#include "core/draw/DrawRules.h"
#include "core/text/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t nul = all.find('\0');
  if (nul == std::string_view::npos) return 0;
  TTaskRules rules;
  std::string error;
  if (!ParseRules(all.substr(0, nul), rules, error)) return 0;
  config::TRuleContext context;
  context.TaskId = 1;
  context.Tasks = {{1, "a"}, {2, "b"}, {3, "c"}};
  TPoolRules pool;
  pool.Rules = rules;
  std::string_view rest = all.substr(nul + 1);
  bool first = true;
  while (!rest.empty() && context.List.Lines.size() < 2000) {
    const size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    if (first) {
      pool.TitleLine = std::string(line);
      context.List.Heads = text::SplitFields(line);
      first = false;
    } else {
      context.List.Lines.emplace_back(line);
    }
    rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
  }
  const TArraySring& lines = context.List.Lines;
  // Winner files name no empty id.
  if (!lines.empty() && !text::FirstField(lines[0]).empty()) {
    context.ExcludedIds = {std::string(text::FirstField(lines[0]))};
    pool.ExcludedIds = context.ExcludedIds;
  }
  for (const TItemRules& item : rules.Items) {
    context.Items.push_back({item.ItemId, "i", 1});
    for (const TRuleCondition& c : item.Conditions) {
      std::string note;
      int64_t counted = 0;
      for (const config::TValueCount& v :
           config::ChecklistValues(context.List, c.Field, c.Values, note))
        counted += v.Count;
      if (counted > static_cast<int64_t>(lines.size())) std::abort();
    }
  }
  config::TooFewText(rules, context);
  std::string message;
  if (!lines.empty() && !rules.Items.empty())
    config::PresetKeepsRules(rules, context.Items[0], context.List.Heads, lines.back(), lines,
                             context.ExcludedIds, message);

  if (!config::CheckRules(rules, context, error) || lines.empty()) return 0;
  const auto index = IndexRules(lines, pool, error);
  if (rules.Empty()) return 0;
  // What the window lets through, the draw's set-up takes.
  if (!index) std::abort();
  TArrCheatId presets;
  TCandidatePool drawn(lines, presets, false);
  drawn.UseRules(index);
  for (const TItemRules& item : rules.Items)
    if (config::EligibleCount(rules, item.ItemId, context) != drawn.RuleEligibleCount(item.ItemId))
      std::abort();
  return 0;
}
