// xlsx and xlsm: the package relationships lead to the workbook, the workbook to its first
// sheet in workbook order, the workbook's relationships to the sheet, the shared strings
// and the styles (which say how number cells are shown: dates, times, decimals, percent).
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "core/import/Cells.h"
#include "core/import/Sheet.h"
#include "core/import/Zip.h"
#include "core/text/Gbk.h"

namespace sheet {

namespace {

std::string NoSheet(const std::string& name) {
  return text::G("文件中找不到工作表,不是有效的Excel文件:") + name;
}

// A part name from a relationship target: absolute targets start at the package root,
// relative ones at the directory of the part that refers to them.
std::string ResolvePart(std::string_view baseDir, std::string_view target) {
  std::string joined;
  if (!target.empty() && target[0] == '/')
    joined = std::string(target.substr(1));
  else
    joined = std::string(baseDir) + std::string(target);
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= joined.size()) {
    size_t slash = joined.find('/', at);
    if (slash == std::string::npos) slash = joined.size();
    const std::string seg = joined.substr(at, slash - at);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    at = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

std::string DirOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

std::string RelsOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  const std::string dir =
      slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
  const std::string file(slash == std::string_view::npos ? part : part.substr(slash + 1));
  return dir + "_rels/" + file + ".rels";
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// _x000D_ and its kind: characters XML cannot carry, as Excel escapes them.
void DecodeXEscapes(std::string& s) {
  if (s.find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '_' && i + 6 < s.size() && s[i + 1] == 'x' && s[i + 6] == '_') {
      char* end = nullptr;
      const std::string hex = s.substr(i + 2, 4);
      const long cp = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 4 && hex.find_first_of("+- ") == std::string::npos) {
        if (cp < 0x80) {
          out += static_cast<char>(cp);
        } else if (cp < 0x800) {
          out += static_cast<char>(0xC0 | (cp >> 6));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | (cp >> 12));
          out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        i += 6;
        continue;
      }
    }
    out += s[i];
  }
  s.swap(out);
}

struct Relationship {
  std::string type;
  std::string target;
};

class RelsParser : public XmlParser {
 public:
  std::map<std::string, Relationship> byId;
  std::vector<Relationship> inOrder;

 protected:
  void OnStart(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    const char* id = Attr(attrs, "Id");
    const char* type = Attr(attrs, "Type");
    const char* target = Attr(attrs, "Target");
    const char* mode = Attr(attrs, "TargetMode");
    if (!target || (mode && std::string_view(mode) == "External")) return;
    Relationship r{type ? type : "", target};
    if (id) byId.emplace(id, r);
    inOrder.push_back(r);
  }
  void OnEnd(std::string_view) override {}
};

class WorkbookParser : public XmlParser {
 public:
  std::string firstSheetRel;
  bool date1904 = false;

 protected:
  void OnStart(std::string_view name, const char** attrs) override {
    if (name == "workbookPr") {
      const char* d = Attr(attrs, "date1904");
      date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    } else if (name == "sheet" && firstSheetRel.empty()) {
      const char* id = Attr(attrs, "id");
      if (id) firstSheetRel = id;
    }
  }
  void OnEnd(std::string_view) override {}
};

class SharedStringsParser : public XmlParser {
 public:
  explicit SharedStringsParser(Visitor& v) : m_v(v) {}
  static constexpr size_t kMaxSharedStrings = 16u << 20;
  std::vector<std::string> strings;  // GBK, line breaks flattened
  bool tooMany = false;

 protected:
  void OnStart(std::string_view name, const char**) override {
    if (name == "si") {
      m_si = true;
      m_buf.clear();
    } else if (name == "rPh") {
      ++m_phonetic;
    } else if (name == "t" && m_si && m_phonetic == 0) {
      m_inT = true;
    }
  }
  void OnEnd(std::string_view name) override {
    if (name == "t") {
      m_inT = false;
    } else if (name == "rPh") {
      --m_phonetic;
    } else if (name == "si" && m_si) {
      m_si = false;
      DecodeXEscapes(m_buf);
      std::string g;
      Utf8CellToGbk(m_buf, g);
      // Far beyond any real list; a crafted part of empty strings would fill the memory.
      if (strings.size() >= kMaxSharedStrings) {
        tooMany = true;
        Stop();
        return;
      }
      strings.push_back(std::move(g));
      if (m_v.onPulse && (strings.size() & 0x3FFF) == 0) m_v.onPulse();
    }
  }
  void OnText(std::string_view s) override {
    if (m_inT) m_buf.append(s);
  }

 private:
  Visitor& m_v;
  bool m_si = false;
  bool m_inT = false;
  int m_phonetic = 0;
  std::string m_buf;
};

class StylesParser : public XmlParser {
 public:
  std::vector<NumberFormat> xfFormats;  // by cell style index

 protected:
  void OnStart(std::string_view name, const char** attrs) override {
    if (name == "numFmt") {
      const char* id = Attr(attrs, "numFmtId");
      const char* code = Attr(attrs, "formatCode");
      if (id && code) m_codes[std::atoi(id)] = code;
    } else if (name == "cellXfs") {
      m_inXfs = true;
    } else if (name == "xf" && m_inXfs) {
      const char* id = Attr(attrs, "numFmtId");
      const int fmt = id ? std::atoi(id) : 0;
      const auto custom = m_codes.find(fmt);
      xfFormats.push_back(custom != m_codes.end() ? ParseFormatCode(custom->second)
                                                  : BuiltinFormat(fmt));
    }
  }
  void OnEnd(std::string_view name) override {
    if (name == "cellXfs") m_inXfs = false;
  }

 private:
  std::map<int, std::string> m_codes;
  bool m_inXfs = false;
};

// "BC12" -> column 55 (1-based) and row 12; 0 when the reference does not parse.
void ParseRef(const char* ref, int64_t& col, int64_t& row) {
  col = 0;
  row = 0;
  const char* p = ref;
  while (*p >= 'A' && *p <= 'Z' && col <= 16384) col = col * 26 + (*p++ - 'A' + 1);
  if (col > 16384) col = 0;
  while (*p >= '0' && *p <= '9' && row < (int64_t{1} << 40)) row = row * 10 + (*p++ - '0');
}

class SheetParser : public XmlParser {
 public:
  SheetParser(Visitor& v, const std::vector<std::string>& shared,
              const std::vector<NumberFormat>& styles, bool date1904)
      : m_v(v), m_shared(shared), m_styles(styles), m_date1904(date1904) {}

 protected:
  void OnStart(std::string_view name, const char** attrs) override {
    if (name == "row") {
      const char* r = Attr(attrs, "r");
      int64_t n = r ? std::atoll(r) : 0;
      m_row = n > 0 && n < (int64_t{1} << 40) ? n : m_row + 1;
      m_inRow = true;
      m_lastCol = 0;
      m_cells.clear();
    } else if (name == "c" && m_inRow) {
      m_inCell = true;
      m_value.clear();
      m_inline.clear();
      const char* r = Attr(attrs, "r");
      int64_t col = 0, row = 0;
      if (r) ParseRef(r, col, row);
      m_col = col > 0 ? col : m_lastCol + 1;
      m_lastCol = m_col;
      const char* t = Attr(attrs, "t");
      m_type = t ? t : "n";
      const char* s = Attr(attrs, "s");
      const long style = s ? std::atol(s) : 0;
      m_format = style >= 0 && static_cast<size_t>(style) < m_styles.size()
                     ? m_styles[static_cast<size_t>(style)]
                     : NumberFormat();
      if (m_col == 1) m_format = IdColumnFormat(m_format);
    } else if (m_inCell) {
      if (name == "v") {
        m_inV = true;
      } else if (name == "rPh") {
        ++m_phonetic;
      } else if (name == "t" && m_phonetic == 0) {
        m_inT = true;
      }
    }
  }

  void OnEnd(std::string_view name) override {
    if (name == "v") {
      m_inV = false;
    } else if (name == "t") {
      m_inT = false;
    } else if (name == "rPh") {
      --m_phonetic;
    } else if (name == "c" && m_inCell) {
      m_inCell = false;
      if (m_col <= static_cast<int64_t>(m_v.maxColumns)) {
        const size_t at = static_cast<size_t>(m_col - 1);
        if (m_cells.size() <= at) m_cells.resize(at + 1);
        CellText(m_cells[at]);
      }
    } else if (name == "row" && m_inRow) {
      m_inRow = false;
      if (m_v.onPulse && (++m_rows & 0x3FFF) == 0) m_v.onPulse();
      if (!m_v.onRow(m_row, m_cells)) Stop();
    }
  }

  void OnText(std::string_view s) override {
    if (m_inV)
      m_value.append(s);
    else if (m_inT)
      m_inline.append(s);
  }

 private:
  void CellText(std::string& out) {
    out.clear();
    if (m_type == "s") {
      char* end = nullptr;
      const unsigned long long i = std::strtoull(m_value.c_str(), &end, 10);
      if (!m_value.empty() && *end == 0 && i < m_shared.size()) out = m_shared[i];
    } else if (m_type == "inlineStr") {
      DecodeXEscapes(m_inline);
      Utf8CellToGbk(m_inline, out);
    } else if (m_type == "b") {
      if (!m_value.empty()) out = m_value == "1" || m_value == "true" ? "TRUE" : "FALSE";
    } else if (m_type == "d") {
      out = IsoDateText(m_value, m_format.kind == NumberFormat::Kind::DateTime);
    } else if (m_type == "str" || m_type == "e") {
      DecodeXEscapes(m_value);
      Utf8CellToGbk(m_value, out);
    } else if (!m_value.empty()) {
      if (m_format.kind != NumberFormat::Kind::General) {
        char* end = nullptr;
        const double v = std::strtod(m_value.c_str(), &end);
        if (*end == 0) {
          out = ShowNumber(v, m_format, m_date1904);
          return;
        }
      }
      if (!FormatNumber(m_value, out)) Utf8CellToGbk(m_value, out);
    }
  }

  Visitor& m_v;
  const std::vector<std::string>& m_shared;
  const std::vector<NumberFormat>& m_styles;
  bool m_date1904;
  std::vector<std::string> m_cells;
  int64_t m_row = 0, m_col = 0, m_lastCol = 0;
  uint64_t m_rows = 0;
  bool m_inRow = false, m_inCell = false, m_inV = false, m_inT = false;
  int m_phonetic = 0;
  std::string m_type, m_value, m_inline;
  NumberFormat m_format;
};

bool ReadXlsxZip(ZipArchive& zip, Visitor& visitor, std::string& error) {
  // The package says where the workbook is; old writers are found at the usual place.
  std::string workbook;
  if (zip.Has("_rels/.rels")) {
    RelsParser rels;
    if (!rels.ParsePart(zip, "_rels/.rels", error)) return false;
    for (const Relationship& r : rels.inOrder)
      if (EndsWith(r.type, "/officeDocument")) {
        workbook = ResolvePart("", r.target);
        break;
      }
  }
  if (workbook.empty() || !zip.Has(workbook)) workbook = "xl/workbook.xml";
  if (!zip.Has(workbook)) {
    error = NoSheet(zip.Name());
    return false;
  }
  WorkbookParser wb;
  if (!wb.ParsePart(zip, workbook, error)) return false;
  RelsParser wbRels;
  const std::string wbRelsName = RelsOf(workbook);
  if (zip.Has(wbRelsName) && !wbRels.ParsePart(zip, wbRelsName, error)) return false;
  const std::string base = DirOf(workbook);

  std::string sheetPart;
  const auto first = wbRels.byId.find(wb.firstSheetRel);
  if (first != wbRels.byId.end()) sheetPart = ResolvePart(base, first->second.target);
  if (sheetPart.empty() || !zip.Has(sheetPart)) {
    error = NoSheet(zip.Name());
    return false;
  }
  std::string sharedPart, stylesPart;
  for (const Relationship& r : wbRels.inOrder) {
    if (EndsWith(r.type, "/sharedStrings")) sharedPart = ResolvePart(base, r.target);
    if (EndsWith(r.type, "/styles")) stylesPart = ResolvePart(base, r.target);
  }
  SharedStringsParser shared(visitor);
  if (!sharedPart.empty() && zip.Has(sharedPart) && !shared.ParsePart(zip, sharedPart, error))
    return false;
  if (shared.tooMany) {
    error = text::G("文件中的字符串超过16777216个,不能导入:") + zip.Name();
    return false;
  }
  StylesParser styles;
  if (!stylesPart.empty() && zip.Has(stylesPart) && !styles.ParsePart(zip, stylesPart, error))
    return false;
  SheetParser sheet(visitor, shared.strings, styles.xfFormats, wb.date1904);
  return sheet.ParsePart(zip, sheetPart, error);
}

}  // namespace

bool ReadXlsx(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  ZipArchive zip;
  if (!zip.OpenFile(gbkPath, error)) return false;
  return ReadXlsxZip(zip, visitor, error);
}

bool ReadXlsxBuffer(std::string_view bytes, Visitor& visitor, std::string& error) {
  ZipArchive zip;
  if (!zip.OpenBuffer(bytes, error)) return false;
  return ReadXlsxZip(zip, visitor, error);
}

}  // namespace sheet
