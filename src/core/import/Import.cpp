#include "core/import/Import.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/import/Sheet.h"
#include "core/import/TextDecode.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace dataimport {

using text::G;

namespace {

constexpr size_t kDuplicatesShown = 5;
// Rows and lines named one by one in the log and the message; the rest are counted.
constexpr size_t kRowsNamed = 5;
constexpr size_t kLinesLogged = 10;

// Row numbers for a sentence: runs merged ("第1500-1502行"), the first few named.
class RowList {
 public:
  void Add(int64_t from, int64_t to) {
    m_count += to - from + 1;
    if (!m_ranges.empty() && m_ranges.back().second + 1 == from) {
      m_ranges.back().second = to;
    } else if (m_ranges.size() < kRowsNamed) {
      m_ranges.emplace_back(from, to);
    } else {
      m_more = true;
    }
  }
  int64_t Count() const { return m_count; }
  // "第1002行、第1500-1502行" and "等" when more follow.
  std::string Where() const {
    std::string out;
    for (const auto& [from, to] : m_ranges) {
      if (!out.empty()) out += G("、");
      out += G("第") + std::to_string(from);
      if (to != from) out += "-" + std::to_string(to);
      out += G("行");
    }
    if (m_more) out += G("等");
    return out;
  }

 private:
  int64_t m_count = 0;
  std::vector<std::pair<int64_t, int64_t>> m_ranges;
  bool m_more = false;
};

// One run of an import: the frame both sources share. Candidate lines gather in one
// buffer, already joined by CR LF as the file holds them.
class Job {
 public:
  Job(const Callbacks& cb, TIdType idType, int taskId)
      : m_cb(cb), m_idType(idType), m_taskId(taskId), m_target(paths::DrawDataPath(taskId)) {}

  void Log(const std::string& line) {
    if (m_cb.log) m_cb.log(line);
  }
  void Progress(int position) {
    m_position = position;
    if (m_cb.progress) m_cb.progress(position);
  }
  void Pulse() {
    if (m_cb.progress) m_cb.progress(m_position);
  }

  void StartChecking() {
    if (m_checking) return;
    m_checking = true;
    Log(G("正在检查文件..."));
    Progress(1);
  }

  // Any failure of the frame: log, position 0, the text to show.
  bool Fail(const std::string& logged, const std::string& shown, std::string& error) {
    Log(logged);
    Progress(0);
    error = shown;
    return false;
  }
  bool FailOther(const std::string& why, std::string& error) {
    return Fail(G("文件导入出错,") + why, why, error);
  }

  // Counting pass, one candidate whose id is the line's first `idLength` bytes and whose
  // length as the source showed it is `shownIdLength`. False when the id breaks the id type;
  // `where` then names the source line or row.
  bool Add(std::string_view line, size_t idLength, size_t shownIdLength, int64_t where) {
    const std::string_view id = line.substr(0, idLength);
    if (m_idType == TIdType::Numeric && !text::IsAllDigits(id)) {
      m_badWhere = where;
      m_badLine = std::string(line);
      return false;
    }
    Content();
    m_starts.push_back(m_data.size());
    m_idLengths.push_back(static_cast<uint32_t>(idLength));
    m_where.push_back(static_cast<uint32_t>(std::min<int64_t>(where, UINT32_MAX)));
    m_data.append(line);
    m_data += "\r\n";
    m_idMax = std::max(m_idMax, shownIdLength);
    return true;
  }

  // Spreadsheet rows passed over: empty ones count only when a row with data follows them
  // (a sheet's trailing empty rows are no gap); rows without an id always.
  void EmptyRows(int64_t from, int64_t to) {
    if (m_pendingEmpty.first == 0) m_pendingEmpty.first = from;
    m_pendingEmpty.second = to;
  }
  void RowWithoutId(int64_t number) {
    Content();
    m_withoutId.Add(number, number);
  }

  // A text line whose number of fields differs from the title line's.
  void FieldCount(int64_t where, size_t fields, size_t titleFields) {
    if (m_fieldCounts.Count() < static_cast<int64_t>(kLinesLogged))
      Log(G("警告:第") + std::to_string(where) + G("行有") + std::to_string(fields) +
          G("列,标题行有") + std::to_string(titleFields) + G("列"));
    m_fieldCounts.Add(where, where);
  }

  bool FailBadId(std::string& error) {
    const std::string message =
        G("您的[导入数据类型]选择的是数字，但是导入文件出现非数字，请在[基本配置]界面检查["
          "导入数据类型]选项是否正确!");
    Log(message);
    Log(G("第") + std::to_string(m_badWhere) + G("行:") + m_badLine);
    Progress(0);
    error = message;
    return false;
  }

  // End of the counting pass, then the writing pass and the file.
  bool Finish(const std::string& title, std::string& targetPath, std::string& error, Notes* notes) {
    const size_t n = m_starts.size();
    Log(G("检查文件结束,文件行数=") + std::to_string(n));
    Progress(5);
    if (n < 1) {
      const std::string m = G("文件导入出错,文件行数为0,请重新选择文件!");
      return Fail(m, m, error);
    }
    Notes found;
    found.imported = static_cast<int64_t>(n);
    TellPassedOver(found);
    ReportDuplicates(found);

    const size_t step = n / 20;
    int position = 5;
    if (step >= 1) {
      for (size_t k = step; k <= n; k += step) {
        Log(G("已经导入行数=") + std::to_string(k));
        position = std::min(position + 1, kProgressMax - 1);
        Progress(position);
      }
    }
    Log(G("已经导入行数=") + std::to_string(n));
    std::string why;
    const bool written =
        WriteDrawDataFile(m_target, title, n, static_cast<int>(m_idMax), m_data, why);
    m_data.clear();
    m_data.shrink_to_fit();
    if (!written) return FailOther(why, error);
    // The check before a show tells by it that the list is still the one imported; a list
    // without it is only reported as unconfirmed.
    SaveListFingerprint(m_taskId, m_target, why);
    Progress(kProgressMax);
    Progress(0);
    targetPath = m_target;
    if (notes) *notes = std::move(found);
    return true;
  }

 private:
  // A row with data: the empty rows before it were a gap in the list.
  void Content() {
    if (m_pendingEmpty.first == 0) return;
    m_empty.Add(m_pendingEmpty.first, m_pendingEmpty.second);
    m_pendingEmpty = {0, 0};
  }

  void TellPassedOver(Notes& found) {
    if (m_empty.Count() > 0) {
      found.emptyRows = m_empty.Count();
      found.emptyRowsText =
          G("跳过空行") + std::to_string(m_empty.Count()) + G("行：") + m_empty.Where();
      Log(found.emptyRowsText);
    }
    if (m_withoutId.Count() > 0) {
      found.rowsWithoutId = m_withoutId.Count();
      found.rowsWithoutIdText = std::to_string(m_withoutId.Count()) +
                                G("行第一列（编号）为空，未导入：") + m_withoutId.Where();
      Log(G("警告:") + found.rowsWithoutIdText);
    }
    if (m_fieldCounts.Count() > 0) {
      const int64_t more = m_fieldCounts.Count() - static_cast<int64_t>(kLinesLogged);
      if (more > 0) Log(G("警告:另有") + std::to_string(more) + G("行的列数与标题行不同"));
      found.warnings.push_back(G("有") + std::to_string(m_fieldCounts.Count()) +
                               G("行的列数与标题行不同（") + m_fieldCounts.Where() +
                               G("），这些行的各列可能与标题对不上。"));
    }
  }

  // Repeated ids do not stop the import (a list may mean them), but the operator is told
  // which they are and what follows from them.
  void ReportDuplicates(Notes& found) {
    std::vector<std::string_view> ids;
    ids.reserve(m_starts.size());
    for (size_t i = 0; i < m_starts.size(); ++i)
      ids.emplace_back(m_data.data() + m_starts[i], m_idLengths[i]);
    const std::vector<TDuplicateId> repeated = DuplicateIds(ids);
    ids.clear();
    ids.shrink_to_fit();
    if (repeated.empty()) return;
    size_t lines = 0;
    for (const TDuplicateId& d : repeated) lines += d.Indices.size();
    std::string examples;
    for (size_t k = 0; k < repeated.size() && k < kDuplicatesShown; ++k) {
      if (k > 0) examples += G("；");
      examples += repeated[k].Id + G("（第");
      const std::vector<uint32_t>& at = repeated[k].Indices;
      for (size_t j = 0; j < at.size() && j < kRowsNamed; ++j)
        examples += (j > 0 ? G("、") : std::string()) + std::to_string(m_where[at[j]]);
      examples += at.size() > kRowsNamed ? G("等行）") : G("行）");
    }
    if (repeated.size() > kDuplicatesShown) examples += G("等");
    const std::string which = G("有") + std::to_string(repeated.size()) + G("个编号重复（共") +
                              std::to_string(lines) + G("行）：") + examples + G("。");
    const std::string consequence =
        G("同一编号的第二个人起无法只凭编号签到，这些人中奖时也无法凭编号分辨是谁。");
    Log(G("警告:") + which);
    Log(G("警告:") + consequence);
    found.warnings.push_back(which + consequence);
  }

  const Callbacks& m_cb;
  TIdType m_idType;
  int m_taskId;
  std::string m_target;
  int m_position = 0;
  bool m_checking = false;
  std::string m_data;
  std::vector<size_t> m_starts;
  std::vector<uint32_t> m_idLengths;
  std::vector<uint32_t> m_where;
  size_t m_idMax = 0;
  int64_t m_badWhere = 0;
  std::string m_badLine;
  std::pair<int64_t, int64_t> m_pendingEmpty{0, 0};
  RowList m_empty;
  RowList m_withoutId;
  RowList m_fieldCounts;
};

std::string_view TrimCell(std::string_view s) { return text::TrimView(s); }

}  // namespace

void NormaliseLine(std::string_view line, std::string& out) {
  out.clear();
  size_t at = 0;
  while (at <= line.size()) {
    size_t blank = line.find(' ', at);
    if (blank == std::string_view::npos) blank = line.size();
    const std::string_view token = text::TrimView(line.substr(at, blank - at));
    if (!token.empty()) {
      if (!out.empty()) out += ' ';
      out.append(token);
    }
    at = blank + 1;
  }
}

// Fields of a normalised line: its blanks plus one; none when it is empty.
size_t FieldsOf(std::string_view normalised) {
  return normalised.empty()
             ? 0
             : 1 + static_cast<size_t>(std::count(normalised.begin(), normalised.end(), ' '));
}

bool ImportTextFile(std::string_view gbkSource, int taskId, TIdType idType,
                    const Callbacks& callbacks, std::string& targetPath, std::string& error,
                    Notes* notes) {
  Job job(callbacks, idType, taskId);
  job.Log(G("导入文件类型为[文本文件]"));
  job.Progress(0);
  std::string bytes, gbk, why;
  if (!textsrc::ReadSourceFile(gbkSource, bytes, why)) return job.FailOther(why, error);
  if (!textsrc::DecodeToGbk(std::move(bytes), gbk, why)) return job.FailOther(why, error);
  if (gbk.empty()) {
    const std::string m = G("文件为空，请重新选择文件!");
    return job.Fail(m, m, error);
  }
  job.StartChecking();

  std::string title, line;
  const std::string_view all(gbk);
  size_t at = 0;
  int64_t number = 0;
  size_t titleFields = 0;
  while (at < all.size()) {
    size_t lf = all.find('\n', at);
    if (lf == std::string_view::npos) lf = all.size();
    const std::string_view raw = all.substr(at, lf - at);
    at = lf + 1;
    ++number;
    if (number == 1) {
      NormaliseLine(raw, title);
      titleFields = FieldsOf(title);
      continue;
    }
    if ((number & 0xFFFF) == 0) job.Pulse();
    NormaliseLine(raw, line);
    if (line.empty()) continue;
    const size_t idLength = std::min(line.find(' '), line.size());
    if (!job.Add(line, idLength, idLength, number)) return job.FailBadId(error);
    const size_t fields = FieldsOf(line);
    if (fields != titleFields) job.FieldCount(number, fields, titleFields);
  }
  return job.Finish(title, targetPath, error, notes);
}

bool ImportSpreadsheet(std::string_view gbkSource, int taskId, TIdType idType,
                       const Callbacks& callbacks, std::string& targetPath, std::string& error,
                       Notes* notes) {
  Job job(callbacks, idType, taskId);
  job.Log(G("导入文件类型为[Excel文件]"));
  job.Progress(0);

  std::string title, line;
  size_t width = 0;
  bool titleSeen = false, badId = false;
  int64_t expected = 2;
  sheet::Visitor visitor;
  visitor.onPulse = [&] { job.Pulse(); };
  visitor.onRow = [&](int64_t at, const std::vector<std::string>& cells) {
    job.StartChecking();
    // A row numbered out of order (a hand-made file) is taken as the next one, not lost.
    const int64_t number = titleSeen ? std::max(at, expected) : at;
    if (!titleSeen) {
      titleSeen = true;
      if (number != 1) return false;
      // The title runs from column 1 up to the first empty cell.
      while (width < cells.size() && !TrimCell(cells[width]).empty()) {
        if (width > 0) title += ' ';
        AppendCellField(TrimCell(cells[width]), title);
        ++width;
      }
      visitor.maxColumns = std::max<size_t>(width, 1);
      return width > 0;
    }
    // Every row to the end of the sheet: a row the sheet does not hold is an empty one.
    if (number > expected) job.EmptyRows(expected, number - 1);
    expected = number + 1;
    line.clear();
    bool any = false;
    for (size_t c = 0; c < width; ++c) {
      if (c > 0) line += ' ';
      if (c >= cells.size()) continue;
      const std::string_view cell = TrimCell(cells[c]);
      any = any || !cell.empty();
      AppendCellField(cell, line);
    }
    if (!any) {
      job.EmptyRows(number, number);
      return true;
    }
    const std::string_view id = TrimCell(cells[0]);
    if (id.empty()) {
      job.RowWithoutId(number);
      return true;
    }
    // The id's cell is the line's first field whole, its blanks kept in it.
    const std::string_view trimmed = text::TrimView(line);
    if (!job.Add(trimmed, std::min(trimmed.find(' '), trimmed.size()), id.size(), number)) {
      badId = true;
      return false;
    }
    return true;
  };
  std::string why;
  if (!sheet::ReadSheet(gbkSource, visitor, why)) return job.FailOther(why, error);
  job.StartChecking();
  if (badId) return job.FailBadId(error);
  if (width == 0) {
    const std::string shown = G("第一行第一列【标题】为空，请重新选择文件!");
    return job.Fail(shown + "!", shown, error);
  }
  return job.Finish(title, targetPath, error, notes);
}

}  // namespace dataimport
