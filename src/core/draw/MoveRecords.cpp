#include "core/draw/MoveRecords.h"

#include <charconv>
#include <vector>

#include "core/draw/PlanRecords.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace {

// The fields of a sealed line, its check value verified; empty when it does not verify.
std::vector<std::string_view> Fields(std::string_view line, std::string& body) {
  const size_t at = line.rfind("\tcheck=");
  if (at == std::string_view::npos) return {};
  body = std::string(line.substr(0, at));
  if (SealJournalRecord(body) != std::string(line) + "\r\n") return {};
  return text::SplitAt(body, '\t');
}

bool Field(const std::vector<std::string_view>& f, std::string_view key, std::string_view& v) {
  for (size_t i = 1; i < f.size(); ++i)
    if (f[i].size() > key.size() && f[i].substr(0, key.size()) == key && f[i][key.size()] == '=') {
      v = f[i].substr(key.size() + 1);
      return true;
    }
  return false;
}

bool Count(std::string_view s, int32_t& v) {
  if (s.empty()) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && v >= 0;
}

}  // namespace

std::string FormatMoveRecord(const TMoveRecord& r) {
  return SealJournalRecord("MOVED\ttime=" + r.Time + "\tmachine=" + PlanText(r.Machine) +
                           "\tsource=" + movetext::SourceName(r.Source) + "\theld=" +
                           std::to_string(r.Held) + "\tshown=" + std::to_string(r.Shown));
}

bool ParseMoveRecord(std::string_view line, TMoveRecord& r) {
  if (line.rfind("MOVED\t", 0) != 0) return false;
  std::string body;
  const std::vector<std::string_view> f = Fields(line, body);
  std::string_view time, machine, source, held, shown;
  if (f.empty() || !Field(f, "time", time) || !Field(f, "machine", machine) ||
      !Field(f, "source", source) || !Field(f, "held", held) || !Field(f, "shown", shown) ||
      !ValidPlanTime(time) || !Count(held, r.Held) || !Count(shown, r.Shown))
    return false;
  if (source == movetext::SourceName(TMoveSource::Relay))
    r.Source = TMoveSource::Relay;
  else if (source == movetext::SourceName(TMoveSource::Stream))
    r.Source = TMoveSource::Stream;
  else
    return false;
  r.Time = std::string(time);
  r.Machine = std::string(machine);
  return true;
}

std::optional<TMoveRecord> LastMove(const TJournal& journal) {
  std::optional<TMoveRecord> last;
  for (const TJournalOther& o : journal.Others)
    if (TMoveRecord r; ParseMoveRecord(o.Line, r)) last = r;
  return last;
}

std::string FormatTakenRecord(std::string_view time) {
  return SealJournalRecord("TAKEN\ttime=" + std::string(time));
}

std::optional<std::string> TakenAt(const TJournal& journal) {
  for (const TJournalOther& o : journal.Others) {
    if (o.Line.rfind("TAKEN\t", 0) != 0) continue;
    std::string body;
    const std::vector<std::string_view> f = Fields(o.Line, body);
    // A damaged TAKEN still forbids going on: the record's kind is enough.
    std::string_view time;
    if (!f.empty() && Field(f, "time", time)) return std::string(time);
    return std::string();
  }
  return std::nullopt;
}

int32_t RevealedBatches(const TJournal& journal) {
  int32_t n = static_cast<int32_t>(journal.Batches.size());
  for (const TJournalOther& o : journal.Others)
    if (o.Line.rfind("NAMED\t", 0) == 0) ++n;
  return n;
}

namespace movetext {

std::string SourceName(TMoveSource source) {
  return text::G(source == TMoveSource::Relay ? "接力包" : "热备");
}

std::string Redrawn(const TMoveRecord& r) {
  if (r.Shown <= r.Held) return {};
  const int32_t from = r.Held + 1;
  if (from == r.Shown) return text::G("第") + std::to_string(from) + text::G("批重新抽取");
  return text::G("第") + std::to_string(from) + text::G("至") + std::to_string(r.Shown) +
         text::G("批重新抽取");
}

std::string TakenRefusal() { return text::G("本抽奖已由备用电脑接管,不能在本机继续"); }

}  // namespace movetext
