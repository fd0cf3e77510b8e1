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

  // Counting pass, one candidate. False when the id breaks the id type; `where` then
  // names the source line or row.
  bool Add(std::string_view line, size_t idLength, int64_t where) {
    const std::string_view id = line.substr(0, idLength);
    if (m_idType == TIdType::Numeric && !text::IsAllDigits(id)) {
      m_badWhere = where;
      m_badLine = std::string(line);
      return false;
    }
    m_starts.push_back(m_data.size());
    m_idLengths.push_back(static_cast<uint32_t>(idLength));
    m_where.push_back(static_cast<uint32_t>(std::min<int64_t>(where, UINT32_MAX)));
    m_data.append(line);
    m_data += "\r\n";
    m_idMax = std::max(m_idMax, idLength);
    return true;
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
  bool Finish(const std::string& title, std::string& targetPath, std::string& error) {
    const size_t n = m_starts.size();
    Log(G("检查文件结束,文件行数=") + std::to_string(n));
    Progress(5);
    if (n < 1) {
      const std::string m = G("文件导入出错,文件行数为0,请重新选择文件!");
      return Fail(m, m, error);
    }
    ReportDuplicates();

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
    return true;
  }

 private:
  // Repeated ids do not stop the import (a list may mean them), but the operator is told.
  // An open-addressing table of line numbers keyed by the id's hash: one pass, no copies.
  void ReportDuplicates() {
    const size_t n = m_starts.size();
    const auto id = [&](uint32_t i) {
      return std::string_view(m_data.data() + m_starts[i], m_idLengths[i]);
    };
    size_t size = 16;
    while (size < 2 * n) size *= 2;
    const size_t mask = size - 1;
    std::vector<uint32_t> table(size, UINT32_MAX);
    std::vector<uint32_t> tags(size);
    std::vector<uint32_t> repeats;  // every line whose id an earlier line already had
    for (uint32_t i = 0; i < n; ++i) {
      const std::string_view key = id(i);
      const uint64_t h = std::hash<std::string_view>()(key);
      const uint32_t tag = static_cast<uint32_t>(h >> 32);
      for (size_t slot = h & mask;; slot = (slot + 1) & mask) {
        if (table[slot] == UINT32_MAX) {
          table[slot] = i;
          tags[slot] = tag;
          break;
        }
        if (tags[slot] == tag && id(table[slot]) == key) {
          repeats.push_back(i);
          break;
        }
      }
    }
    if (repeats.empty()) return;
    std::string examples;
    for (size_t k = 0; k < repeats.size() && k < kDuplicatesShown; ++k) {
      if (k > 0) examples += G("、");
      examples +=
          std::string(id(repeats[k])) + G("(第") + std::to_string(m_where[repeats[k]]) + G("行)");
    }
    Log(G("警告:有") + std::to_string(repeats.size()) + G("行的编号与前面的行重复,例如:") +
        examples);
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

bool ImportTextFile(std::string_view gbkSource, int taskId, TIdType idType,
                    const Callbacks& callbacks, std::string& targetPath, std::string& error) {
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
  while (at < all.size()) {
    size_t lf = all.find('\n', at);
    if (lf == std::string_view::npos) lf = all.size();
    const std::string_view raw = all.substr(at, lf - at);
    at = lf + 1;
    ++number;
    if (number == 1) {
      NormaliseLine(raw, title);
      continue;
    }
    if ((number & 0xFFFF) == 0) job.Pulse();
    NormaliseLine(raw, line);
    if (line.empty()) continue;
    const size_t idLength = std::min(line.find(' '), line.size());
    if (!job.Add(line, idLength, number)) return job.FailBadId(error);
  }
  return job.Finish(title, targetPath, error);
}

bool ImportSpreadsheet(std::string_view gbkSource, int taskId, TIdType idType,
                       const Callbacks& callbacks, std::string& targetPath, std::string& error) {
  Job job(callbacks, idType, taskId);
  job.Log(G("导入文件类型为[Excel文件]"));
  job.Progress(0);

  std::string title, line;
  size_t width = 0;
  bool titleSeen = false, badId = false;
  int64_t expected = 2;
  sheet::Visitor visitor;
  visitor.onPulse = [&] { job.Pulse(); };
  visitor.onRow = [&](int64_t number, const std::vector<std::string>& cells) {
    job.StartChecking();
    if (!titleSeen) {
      titleSeen = true;
      if (number != 1) return false;
      // The title runs from column 1 up to the first empty cell.
      while (width < cells.size() && !TrimCell(cells[width]).empty()) {
        if (width > 0) title += ' ';
        title.append(TrimCell(cells[width]));
        ++width;
      }
      visitor.maxColumns = std::max<size_t>(width, 1);
      return width > 0;
    }
    // Counting and writing stop at the same row: the first whose column 1 is empty,
    // a row the sheet does not hold included.
    if (number != expected) return false;
    ++expected;
    const std::string_view id = cells.empty() ? std::string_view() : TrimCell(cells[0]);
    if (id.empty()) return false;
    line.clear();
    for (size_t c = 0; c < width; ++c) {
      if (c > 0) line += ' ';
      if (c < cells.size()) line.append(TrimCell(cells[c]));
    }
    const std::string_view trimmed = text::TrimView(line);
    if (!job.Add(trimmed, id.size(), number)) {
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
  return job.Finish(title, targetPath, error);
}

}  // namespace dataimport
