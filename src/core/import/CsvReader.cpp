// csv: comma-separated, fields in double quotes may hold commas, line breaks and doubled
// quotes. The text is decoded like a text source first (GBK, UTF-8 with or without BOM,
// UTF-16 with BOM). A first line with more tabs than commas is taken as tab-separated, as
// Excel's "Unicode text" and most web exports of .txt/.tsv are. The file is read block by
// block; a record may run across blocks.
#include <cstdint>

#include "core/import/Cells.h"
#include "core/import/Sheet.h"
#include "core/import/TextDecode.h"
#include "core/text/Gbk.h"

namespace sheet {

namespace {

class CsvParser {
 public:
  explicit CsvParser(Visitor& visitor) : m_v(visitor) {}

  // Takes the next piece of the text; false once the visitor asked to stop.
  bool Feed(std::string_view s) {
    if (m_stopped) return false;
    if (m_sep == 0) {
      // The separator is settled by the first line, which may come in several pieces.
      m_head.append(s);
      if (m_head.find('\n') == std::string::npos) return true;
      m_sep = Separator(m_head);
      const std::string head = std::move(m_head);
      m_head.clear();
      return Parse(head);
    }
    return Parse(s);
  }

  // The end of the text: the last record, or the error of a quote left open.
  bool Finish(std::string& error) {
    if (m_stopped) return true;
    if (m_sep == 0) {
      m_sep = Separator(m_head);
      const std::string head = std::move(m_head);
      m_head.clear();
      if (!Parse(head)) return true;
    }
    if (m_state == State::Quoted) {
      error = text::G("文件内容格式不正确,第") + std::to_string(m_quoteLine) +
              text::G("行的引号没有结束,请检查文件后重新导入!");
      return false;
    }
    if (m_any || !m_field.empty() || !m_cells.empty()) EndRecord();
    return true;
  }

 private:
  enum class State { Plain, Quoted, QuoteInQuoted };

  static char Separator(std::string_view s) {
    const std::string_view first = s.substr(0, s.find('\n'));
    size_t commas = 0, tabs = 0;
    for (char c : first) {
      if (c == ',') ++commas;
      if (c == '\t') ++tabs;
    }
    return tabs > commas ? '\t' : ',';
  }

  // Lines as an editor counts them: LF, CR LF and a lone CR each end one.
  void CountBreaks(std::string_view s) {
    for (char c : s) {
      if (c == '\n') {
        if (!m_lastCr) ++m_line;
        m_lastCr = false;
      } else if (c == '\r') {
        ++m_line;
        m_lastCr = true;
      } else {
        m_lastCr = false;
      }
    }
  }

  void EndField() {
    if (m_cells.size() < m_v.maxColumns) {
      FlattenLineBreaks(m_field);
      m_cells.push_back(std::move(m_field));
    }
    m_field.clear();
  }

  bool EndRecord() {
    EndField();
    ++m_row;
    if (m_v.onPulse && (m_row & 0x3FFF) == 0) m_v.onPulse();
    const bool go = m_v.onRow(m_row, m_cells);
    m_cells.clear();
    m_any = false;
    if (!go) m_stopped = true;
    return go;
  }

  bool Parse(std::string_view s) {
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
      const char c = s[i];
      if (m_state == State::Quoted) {
        // Up to the next quote in one go; "" is one quote.
        size_t j = s.find('"', i);
        if (j == std::string_view::npos) j = n;
        const std::string_view part = s.substr(i, j - i);
        CountBreaks(part);
        m_field.append(part);
        i = j;
        if (i < n) {
          m_state = State::QuoteInQuoted;
          ++i;
        }
        continue;
      }
      if (m_state == State::QuoteInQuoted) {
        m_state = State::Plain;
        if (c == '"') {
          m_field += '"';
          m_state = State::Quoted;
          ++i;
          continue;
        }
        // The closing quote; what follows it belongs to the same field.
      }
      if (m_skipLf) {
        m_skipLf = false;
        if (c == '\n') {
          CountBreaks(s.substr(i, 1));
          ++i;
          continue;
        }
      }
      if (c == '"' && m_field.empty()) {
        m_any = true;
        m_lastCr = false;
        m_state = State::Quoted;
        m_quoteLine = m_line;
        ++i;
      } else if (c == m_sep) {
        m_any = true;
        m_lastCr = false;
        EndField();
        ++i;
      } else if (c == '\r' || c == '\n') {
        CountBreaks(s.substr(i, 1));
        m_skipLf = c == '\r';
        ++i;
        if (!EndRecord()) return false;
      } else {
        m_any = true;
        // Plain bytes up to the next separator in one go.
        size_t j = i;
        while (j < n && s[j] != m_sep && s[j] != '\r' && s[j] != '\n') ++j;
        m_field.append(s.substr(i, j - i));
        m_lastCr = false;
        i = j;
      }
    }
    return true;
  }

  Visitor& m_v;
  char m_sep = 0;  // 0 until the first line is known
  std::string m_head;
  State m_state = State::Plain;
  bool m_skipLf = false;  // a CR ended the last record; an LF right after it belongs to it
  bool m_lastCr = false;
  bool m_any = false;  // the record holds something (so a final line without LF counts)
  bool m_stopped = false;
  int64_t m_line = 1, m_quoteLine = 0, m_row = 0;
  std::string m_field;
  std::vector<std::string> m_cells;
};

}  // namespace

bool ReadCsvText(std::string_view gbk, Visitor& visitor, std::string& error) {
  CsvParser parser(visitor);
  parser.Feed(gbk);
  return parser.Finish(error);
}

bool ReadCsv(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  textsrc::DecodedFile file;
  if (!file.Open(gbkPath, error)) return false;
  CsvParser parser(visitor);
  std::string block;
  while (true) {
    if (!file.Next(block, error)) return false;
    if (block.empty()) break;
    if (!parser.Feed(block)) return true;
  }
  return parser.Finish(error);
}

}  // namespace sheet
