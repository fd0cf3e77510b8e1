// csv: comma-separated, fields in double quotes may hold commas, line breaks and doubled
// quotes. The text is decoded like a text source first (GBK, UTF-8 with or without BOM,
// UTF-16 with BOM). A first line with more tabs than commas is taken as tab-separated, as
// Excel's "Unicode text" and most web exports of .txt/.tsv are.
#include "import/Cells.h"
#include "import/Sheet.h"
#include "import/TextDecode.h"
#include "text/Gbk.h"

namespace sheet {

namespace {

char Separator(std::string_view s) {
  const std::string_view first = s.substr(0, s.find('\n'));
  size_t commas = 0, tabs = 0;
  for (char c : first) {
    if (c == ',') ++commas;
    if (c == '\t') ++tabs;
  }
  return tabs > commas ? '\t' : ',';
}

}  // namespace

bool ReadCsvText(std::string_view s, Visitor& visitor, std::string& error) {
  (void)error;
  const char sep = Separator(s);
  std::vector<std::string> cells;
  std::string field;
  int64_t row = 0;
  size_t i = 0;
  const size_t n = s.size();
  bool any = false;  // the record holds something (so a final line without LF counts)
  const auto endField = [&] {
    if (cells.size() < visitor.maxColumns) {
      FlattenLineBreaks(field);
      cells.push_back(std::move(field));
    }
    field.clear();
  };
  const auto endRecord = [&] {
    endField();
    ++row;
    if (visitor.onPulse && (row & 0x3FFF) == 0) visitor.onPulse();
    const bool go = visitor.onRow(row, cells);
    cells.clear();
    any = false;
    return go;
  };
  while (i < n) {
    char c = s[i];
    if (c == '"' && field.empty()) {
      // Quoted field: up to the closing quote; "" is one quote.
      any = true;
      ++i;
      while (i < n) {
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += s[i++];
      }
      continue;
    }
    if (c == sep) {
      any = true;
      endField();
      ++i;
    } else if (c == '\r' || c == '\n') {
      i += (c == '\r' && i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
      if (!endRecord()) return true;
    } else {
      any = true;
      // Plain bytes up to the next separator in one go.
      size_t j = i;
      while (j < n && s[j] != sep && s[j] != '\r' && s[j] != '\n') ++j;
      field.append(s.substr(i, j - i));
      i = j;
    }
  }
  if (any || !field.empty() || !cells.empty()) endRecord();
  return true;
}

bool ReadCsv(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  std::string bytes, gbk;
  if (!textsrc::ReadWholeFile(gbkPath, bytes, error)) return false;
  if (!textsrc::DecodeToGbk(std::move(bytes), gbk, error)) return false;
  return ReadCsvText(gbk, visitor, error);
}

}  // namespace sheet
