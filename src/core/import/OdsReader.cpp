// ods: the first table of content.xml. Repeated rows and columns are counted, not copied,
// so a sheet that ends in a million repeated empty rows costs nothing.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/import/Cells.h"
#include "core/import/Sheet.h"
#include "core/import/Zip.h"
#include "core/text/Gbk.h"

namespace sheet {

namespace {

constexpr int64_t kMaxRows = 1048576;

int64_t Repeat(const char* v) {
  if (!v) return 1;
  const long long n = std::atoll(v);
  return n < 1 ? 1 : std::min<long long>(n, kMaxRows);
}

// Whether `text` is `value` written with a fixed number of decimals, perhaps with thousands
// separated by commas ("1234.50", "1,234.50"), as a number format shows it. A text in another
// notation (an exponent, a decimal comma) is not.
bool IsDecimalText(const std::string& text, const std::string& value) {
  std::string digits;
  size_t i = text[0] == '-' ? 1 : 0, run = 0, decimals = 0;
  bool comma = false, dot = false;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++run;
      if (dot) ++decimals;
      digits += c;
    } else if (c == ',' && !dot && run > 0 && (comma ? run == 3 : run <= 3)) {
      comma = true;
      run = 0;
    } else if (c == '.' && !dot && run > 0 && (!comma || run == 3)) {
      dot = true;
      run = 0;
    } else {
      return false;
    }
  }
  if (run == 0 || (comma && !dot && run != 3)) return false;
  char* end = nullptr;
  const double v = std::strtod(value.c_str(), &end);
  std::string plain = text;
  plain.erase(std::remove(plain.begin(), plain.end(), ','), plain.end());
  const double shown = std::strtod(plain.c_str(), nullptr);
  if (value.empty() || *end != 0) return false;
  // Rounded to its decimals, the text stands for the value.
  return std::fabs(shown - v) <=
         0.5 * std::pow(10.0, -static_cast<double>(decimals)) * 1.000001 + std::fabs(v) * 1e-12;
}

class ContentParser : public XmlParser {
 public:
  explicit ContentParser(Visitor& v) : m_v(v) {}
  bool sawTable = false;

 protected:
  void OnStart(std::string_view name, const char** attrs) override {
    if (name == "table") {
      if (!sawTable) {
        sawTable = true;
        m_inTable = true;
      }
      ++m_tableDepth;
      return;
    }
    if (!m_inTable || m_tableDepth != 1) return;
    if (name == "table-row") {
      m_rowRepeat = Repeat(Attr(attrs, "number-rows-repeated"));
      m_cells.clear();
      m_col = 0;
      m_anyText = false;
    } else if (name == "table-cell" || name == "covered-table-cell") {
      m_inCell = true;
      m_colRepeat = Repeat(Attr(attrs, "number-columns-repeated"));
      m_text.clear();
      m_paragraphs = 0;
      const char* type = Attr(attrs, "value-type");
      m_type = type ? type : "";
      const char* value = nullptr;
      if (m_type == "float" || m_type == "percentage")
        value = Attr(attrs, "value");
      else if (m_type == "date")
        value = Attr(attrs, "date-value");
      else if (m_type == "boolean")
        value = Attr(attrs, "boolean-value");
      m_value = value ? value : "";
    } else if (m_inCell) {
      if (name == "annotation") {
        ++m_annotation;
      } else if (m_annotation == 0) {
        if (name == "p" || name == "h") {
          if (m_paragraphs++ > 0) m_text += ' ';
          ++m_inP;
        } else if (name == "s") {
          const char* c = Attr(attrs, "c");
          const long n = c ? std::atol(c) : 1;
          m_text.append(static_cast<size_t>(std::clamp<long>(n, 1, 1024)), ' ');
        } else if (name == "tab" || name == "line-break") {
          m_text += ' ';
        }
      }
    }
  }

  void OnEnd(std::string_view name) override {
    if (name == "table") {
      if (m_inTable && --m_tableDepth == 0) {
        m_inTable = false;
        Stop();  // only the first table is read
      }
      return;
    }
    if (!m_inTable || m_tableDepth != 1) return;
    if (name == "annotation") {
      if (m_annotation > 0) --m_annotation;
    } else if (name == "p" || name == "h") {
      if (m_inP > 0 && m_annotation == 0) --m_inP;
    } else if ((name == "table-cell" || name == "covered-table-cell") && m_inCell) {
      m_inCell = false;
      EndCell();
    } else if (name == "table-row") {
      EndRow();
    }
  }

  void OnText(std::string_view s) override {
    if (m_inCell && m_inP > 0 && m_annotation == 0) m_text.append(s);
  }

 private:
  void EndCell() {
    std::string shown;
    // Past the id in column 1, numbers are taken as their format shows them.
    const bool asShown = m_col > 0;
    if (m_type == "float") {
      // A format that shows words for numbers (TRUE/FALSE of a boolean) is shown as such.
      if (m_text.find_first_of("0123456789") == std::string::npos && !m_text.empty())
        Utf8CellToGbk(m_text, shown);
      else if (asShown && IsDecimalText(m_text, m_value))
        shown = m_text;
      else if (!FormatNumber(m_value, shown))
        Utf8CellToGbk(m_text, shown);
    } else if (m_type == "date" && !m_value.empty()) {
      // A style that shows the time of day shows it at midnight too.
      shown = IsoDateText(m_value, asShown && m_text.find(':') != std::string::npos);
    } else if (m_type == "percentage" && !asShown && !m_value.empty()) {
      if (!FormatNumber(m_value, shown)) Utf8CellToGbk(m_text, shown);  // an id stays plain
    } else if (m_type == "boolean" && !m_value.empty()) {
      shown = m_value == "true" || m_value == "1" ? "TRUE" : "FALSE";
    } else {
      Utf8CellToGbk(m_text, shown);
    }
    const int64_t first = m_col;
    m_col = std::min<int64_t>(m_col + m_colRepeat, 1 << 20);
    if (shown.empty()) return;
    m_anyText = true;
    const int64_t last = std::min<int64_t>(m_col, static_cast<int64_t>(m_v.maxColumns));
    if (last > first) {
      if (m_cells.size() < static_cast<size_t>(last)) m_cells.resize(static_cast<size_t>(last));
      for (int64_t c = first; c < last; ++c) m_cells[static_cast<size_t>(c)] = shown;
    }
  }

  void EndRow() {
    // An empty row is told once; what follows it is a gap anyway.
    const int64_t times = m_anyText ? m_rowRepeat : 1;
    for (int64_t i = 0; i < times; ++i) {
      if (m_row >= kMaxRows) {
        Stop();
        return;
      }
      ++m_row;
      if (m_v.onPulse && (++m_rows & 0x3FFF) == 0) m_v.onPulse();
      if (!m_v.onRow(m_row, m_cells)) {
        Stop();
        return;
      }
    }
    if (!m_anyText) m_row = std::min(kMaxRows, m_row + m_rowRepeat - 1);
  }

  Visitor& m_v;
  bool m_inTable = false;
  int m_tableDepth = 0;
  int64_t m_row = 0, m_rowRepeat = 1, m_col = 0, m_colRepeat = 1;
  uint64_t m_rows = 0;
  bool m_inCell = false, m_anyText = false;
  int m_paragraphs = 0, m_inP = 0, m_annotation = 0;
  std::string m_type, m_value, m_text;
  std::vector<std::string> m_cells;
};

bool ReadOdsZip(ZipArchive& zip, Visitor& visitor, std::string& error) {
  if (zip.Has("META-INF/manifest.xml")) {
    std::string manifest;
    if (!zip.ReadPart("META-INF/manifest.xml", manifest, error)) return false;
    if (manifest.find("encryption-data") != std::string::npos) {
      error = text::G("文件已加密,请先在电子表格软件中取消密码后再导入:") + zip.Name();
      return false;
    }
  }
  if (!zip.Has("content.xml")) {
    error = text::G("文件中找不到工作表,不是有效的ods文件:") + zip.Name();
    return false;
  }
  ContentParser content(visitor);
  if (!content.ParsePart(zip, "content.xml", error)) return false;
  if (!content.sawTable) {
    error = text::G("文件中找不到工作表,不是有效的ods文件:") + zip.Name();
    return false;
  }
  return true;
}

}  // namespace

bool ReadOds(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  ZipArchive zip;
  if (!zip.OpenFile(gbkPath, error)) return false;
  return ReadOdsZip(zip, visitor, error);
}

bool ReadOdsBuffer(std::string_view bytes, Visitor& visitor, std::string& error) {
  ZipArchive zip;
  if (!zip.OpenBuffer(bytes, error)) return false;
  return ReadOdsZip(zip, visitor, error);
}

}  // namespace sheet
