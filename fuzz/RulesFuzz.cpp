// libFuzzer harness for the draw's rules over a candidate list: the input is a rules text,
// a NUL byte, a title line and candidate lines (LF). Any bytes: never a crash; rules that
// parse format to text that parses to the same rules and is canonical; a pool under them
// picks only those who may win, nobody on a list of ids left out, and never more than the
// list holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/draw/CandidatePool.h"
#include "core/draw/DrawRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t nul = all.find('\0');
  const std::string_view rulesText = all.substr(0, nul);
  TTaskRules rules;
  std::string error;
  if (!ParseRules(rulesText, rules, error)) return 0;
  TTaskRules again;
  if (!ParseRules(FormatRules(rules), again, error) || !(again == rules)) std::abort();
  // The canonical text is canonical; any other text is told what is wrong.
  if (!RulesTextFault(FormatRules(rules)).empty()) std::abort();
  if ((FormatRules(rules) == rulesText) != RulesTextFault(rulesText).empty()) std::abort();
  if (nul == std::string_view::npos) return 0;
  TPoolRules pr;
  pr.Rules = rules;
  TArraySring lines;
  std::string_view rest = all.substr(nul + 1);
  bool first = true;
  while (!rest.empty() && lines.size() < 2000) {
    const size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    if (first) {
      pr.TitleLine = std::string(line);
      first = false;
    } else {
      lines.emplace_back(line);
    }
    rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
  }
  if (!lines.empty())
    pr.ExcludedIds.push_back(
        std::string(FieldViews(lines[0]).empty() ? "" : FieldViews(lines[0])[0]));
  const auto index = IndexRules(lines, pr, error);
  if (!index) return 0;
  TArrCheatId presets;
  if (lines.size() > 1)
    presets.push_back({false, 1, rules.Items.empty() ? 1 : rules.Items[0].ItemId, lines[1]});
  TCandidatePool pool(lines, presets, size % 2 == 0);
  pool.UseRules(index);
  TRandom rng;
  rng.Randomize(static_cast<uint32_t>(size));
  for (const int32_t item : {1, rules.Items.empty() ? 2 : rules.Items[0].ItemId}) {
    for (size_t i = 0; i <= lines.size() + 1; ++i) {
      const int32_t k = pool.Pick(item, rng);
      if (k < 0) break;
      if (!pool.MayWin(k, item)) std::abort();
      // Nobody on a list of ids left out is ever drawn.
      const std::string id(FieldViews(lines[static_cast<size_t>(k)]).empty()
                               ? std::string_view()
                               : FieldViews(lines[static_cast<size_t>(k)])[0]);
      const TItemRules* own = rules.ItemRulesOf(item);
      if (std::binary_search(rules.ExcludeIds.begin(), rules.ExcludeIds.end(), id) ||
          (own && std::binary_search(own->ExcludeIds.begin(), own->ExcludeIds.end(), id)))
        std::abort();
      pool.MarkDrawn(k, item);
      pool.RollPick(item, rng);
    }
  }
  return 0;
}
