// Spreadsheet sources of the import: the first worksheet of an xlsx/xlsm, ods, xls or csv
// file, read row by row, every cell as the text a person sees in the spreadsheet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sheet {

// Rows handed to the visitor. `number` is 1-based; rows the file does not hold are not
// visited, so a caller sees a gap as a jump in `number`. Cells are GBK, indexed from
// column 1 at [0], with line breaks and tabs already turned into blanks, not trimmed.
// Cells beyond `maxColumns` are dropped; the visitor may lower it between rows.
struct Visitor {
  size_t maxColumns = 16384;
  // Returns false to stop reading (not an error).
  std::function<bool(int64_t number, const std::vector<std::string>& cells)> onRow;
  // Called now and then while a long part is unpacked, so a window can repaint.
  std::function<void()> onPulse;
};

enum class Kind { Unknown, Xlsx, Ods, Xls, Csv };

// The kind by content (zip with a workbook or an ods mimetype, an OLE2 compound file) and,
// for csv (comma or tab separated), by extension: .csv, .txt, .tsv.
Kind DetectKind(std::string_view gbkPath);

// Reads the first worksheet; false with the error text in the system's words.
bool ReadSheet(std::string_view gbkPath, Visitor& visitor, std::string& error);

// The readers behind ReadSheet; the in-memory forms serve the fuzz harnesses.
bool ReadXlsx(std::string_view gbkPath, Visitor& visitor, std::string& error);
bool ReadOds(std::string_view gbkPath, Visitor& visitor, std::string& error);
bool ReadXls(std::string_view gbkPath, Visitor& visitor, std::string& error);
bool ReadCsv(std::string_view gbkPath, Visitor& visitor, std::string& error);
bool ReadXlsxBuffer(std::string_view bytes, Visitor& visitor, std::string& error);
bool ReadOdsBuffer(std::string_view bytes, Visitor& visitor, std::string& error);
// csv text already decoded to GBK.
bool ReadCsvText(std::string_view gbk, Visitor& visitor, std::string& error);

// The xls reader runs libfreexl in a helper program of this name (.exe on Windows), beside the
// running program: XlsHelperMain is its whole main. XlsHelperPath says where it is
// looked for; SetXlsHelperPath puts it elsewhere (a native path; empty for the default).
inline constexpr char kXlsHelperName[] = "tombolix_xls";
int XlsHelperMain(int argc, char** argv);
// libfreexl in this process: what the helper runs.
bool ReadXlsDirect(std::string_view gbkPath, Visitor& visitor, std::string& error);
std::string XlsHelperPath();
void SetXlsHelperPath(std::string_view nativePath);

}  // namespace sheet
