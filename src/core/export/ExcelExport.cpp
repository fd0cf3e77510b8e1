#include "core/export/ExcelExport.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/checkin/CheckinRecords.h"
#include "core/draw/NamedWinners.h"
#include "core/records/ClaimFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/VoidFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"

namespace {

constexpr size_t kMaxSheetUnits = 31;  // Excel counts UTF-16 code units
constexpr double kMaxColumnWidth = 255;
constexpr size_t kMaxStreamedSheets = 100;

// --- worksheet names -----------------------------------------------------------------

// The input comes from iconv or from our own literals, so it is valid UTF-8.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < n && i + k < s.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(c);
    i += n;
  }
  return out;
}

std::string Encode(const std::u32string& s) {
  std::string out;
  for (const char32_t c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

size_t Units(char32_t c) { return c > 0xFFFF ? 2 : 1; }

// The longest start of `s` within `units`; an apostrophe left at its end becomes '_'.
std::u32string Fit(const std::u32string& s, size_t units) {
  std::u32string out;
  size_t used = 0;
  for (const char32_t c : s) {
    if (used + Units(c) > units) break;
    out.push_back(c);
    used += Units(c);
  }
  if (!out.empty() && out.back() == U'\'') out.back() = U'_';
  return out;
}

// Excel compares worksheet names without regard to case.
std::u32string Fold(std::u32string s) {
  for (char32_t& c : s)
    if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
  return s;
}

// --- writing ---------------------------------------------------------------------------

std::string WriteErrorText(std::string_view gbkPath, const std::string& gbkReason) {
  return text::G("无法写入文件") + std::string(gbkPath) + text::G("：") + gbkReason;
}

std::string LibraryErrorText(lxw_error e) {
  return text::G("导出到Excel出错：") + text::Utf8ToGbk(lxw_strerror(e));
}

// A workbook that is given up is still closed, into the temporary that is removed after it:
// only closing releases the temporary files its streamed worksheets hold open.
struct WorkbookClose {
  void operator()(lxw_workbook* wb) const { workbook_close(wb); }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookClose>;

struct Exported {
  const TLuckItem* item;
  std::string winnerPath;  // GBK
};

// Writes the whole workbook at `tempU8`; `gbkPath` names the target in error texts.
bool WriteWorkbook(const std::string& tempU8, std::string_view gbkPath, const TLuckTask& task,
                   const std::vector<Exported>& exported,
                   const std::vector<std::string>& sheetNames, bool withAbsent,
                   const std::vector<std::pair<std::string, std::string>>& checkins,
                   const claims::TClaimFile& claimed, bool withVoids, const TAuditRows* audit,
                   std::string& error);

// The cell formats of a prize item's worksheet.
struct ItemFormats {
  lxw_format* title;  // A1, the item name
  lxw_format* head;   // the column heads from the title line
  lxw_format* cell;   // the winners' fields
};

lxw_error WriteRow(lxw_worksheet* ws, lxw_row_t row, const std::vector<std::string>& fields,
                   lxw_format* format, std::vector<size_t>& widest) {
  lxw_error e = LXW_NO_ERROR;
  for (size_t c = 0; c < fields.size() && e == LXW_NO_ERROR; ++c) {
    if (widest.size() <= c) widest.resize(c + 1, 0);
    // A cell's blanks as the list had them, so the sheet sorts and searches as typed.
    const std::string shown = ShownField(fields[c]);
    widest[c] = std::max(widest[c], shown.size());
    e = worksheet_write_string(ws, row, static_cast<lxw_col_t>(c), text::GbkToUtf8(shown).c_str(),
                               format);
  }
  return e;
}

// Sizes each column to its widest cell, once the rows are written; `e` is the first error of
// the rows, which wins over any of its own.
bool SizeColumns(lxw_worksheet* ws, const std::vector<size_t>& widest, lxw_error e,
                 std::string& error) {
  for (size_t c = 0; c < widest.size() && e == LXW_NO_ERROR; ++c) {
    const auto col = static_cast<lxw_col_t>(c);
    e = worksheet_set_column(ws, col, col, ColumnWidthFor(widest[c]), nullptr);
  }
  if (e != LXW_NO_ERROR) {
    error = LibraryErrorText(e);
    return false;
  }
  return true;
}

// A new worksheet named `sheetName` (UTF-8); null with the error when it cannot be added.
// The names are valid, so only memory or a temporary file can be missing.
lxw_worksheet* AddSheet(lxw_workbook* wb, const std::string& sheetName, std::string& error) {
  lxw_worksheet* ws = workbook_add_worksheet(wb, sheetName.c_str());
  if (!ws) error = text::G("导出到Excel出错：无法添加工作表") + text::Utf8ToGbk(sheetName);
  return ws;
}

// One prize item's worksheet: A1 the item name across the table, row 2 the title line's
// fields as column heads, then one winner a row, each field in its own column, so that the
// sheet sorts and filters. Every column is as wide as its widest cell.
bool AddItemSheet(lxw_workbook* wb, const std::string& sheetName, const Exported& item,
                  const claims::TClaimsByWinner& claimed, const TNamedWinners& named,
                  const ItemFormats& formats, std::string& error) {
  lxw_worksheet* ws = AddSheet(wb, sheetName, error);
  if (!ws) return false;
  LineReader in;
  if (!in.Open(item.winnerPath, error)) return false;
  std::string_view line;
  std::vector<std::string> heads =
      in.Next(line) ? text::SplitFields(line) : std::vector<std::string>();
  // Claims add their column after the title line's fields: time and desk of each claim.
  const size_t claimColumn = heads.size();
  if (!claimed.empty()) heads.push_back(claims::ClaimExportHead());
  // A named award's winners say so in a column of their own, after the claims.
  const bool namedItem = std::any_of(named.begin(), named.end(),
                                     [&](const auto& n) { return n.first == item.item->ItemId; });
  const size_t namedColumn = heads.size();
  if (namedItem) heads.push_back(NamedColumnHead());
  const std::string name = text::GbkToUtf8(item.item->ItemName);
  // Rows are streamed, so A1 is written (and merged over the heads) before anything else.
  lxw_error e = heads.size() > 1
                    ? worksheet_merge_range(ws, 0, 0, 0, static_cast<lxw_col_t>(heads.size() - 1),
                                            name.c_str(), formats.title)
                    : worksheet_write_string(ws, 0, 0, name.c_str(), formats.title);
  std::vector<size_t> widest;
  if (e == LXW_NO_ERROR) e = WriteRow(ws, 1, heads, formats.head, widest);
  // A single column also holds the item name.
  if (heads.size() <= 1) {
    widest.resize(1, 0);
    widest[0] = std::max(widest[0], item.item->ItemName.size());
  }
  lxw_row_t row = 2;
  while (e == LXW_NO_ERROR && in.Next(line)) {
    std::vector<std::string> cells = text::SplitFields(line);
    if (!claimed.empty() && !cells.empty()) {
      const auto c = claimed.find({cells[0], item.item->ItemId});
      cells.resize(std::max(cells.size(), claimColumn + 1));
      if (c != claimed.end()) cells[claimColumn] = c->second.Time + " " + c->second.Desk;
    }
    if (namedItem && !cells.empty() && named.count({item.item->ItemId, cells[0]})) {
      cells.resize(std::max(cells.size(), namedColumn + 1));
      cells[namedColumn] = NamedMark();
    }
    e = WriteRow(ws, row++, cells, formats.cell, widest);
  }
  if (in.Failed()) {
    error = in.Error();
    return false;
  }
  return SizeColumns(ws, widest, e, error);
}

// The sheet 缺席名单: for each exported item with absent winners, the item name, the title
// line's fields and 替补 as heads, then each absent winner's fields and its replacement.
bool AddAbsentSheet(lxw_workbook* wb, const std::string& sheetName,
                    const std::vector<Exported>& exported, const ItemFormats& formats,
                    std::string& error) {
  lxw_worksheet* ws = AddSheet(wb, sheetName, error);
  if (!ws) return false;
  std::vector<size_t> widest;
  lxw_row_t row = 0;
  lxw_error e = LXW_NO_ERROR;
  for (const Exported& x : exported) {
    TAbsentFile file;
    if (!LoadAbsentFile(x.item->TaskId, x.item->ItemId, file, error)) return false;
    if (!file.exists || file.rows.empty()) continue;
    if (row > 0) ++row;  // a blank row between items
    const std::string name = text::GbkToUtf8(x.item->ItemName);
    if (e == LXW_NO_ERROR) e = worksheet_write_string(ws, row++, 0, name.c_str(), formats.title);
    size_t columns = file.head.size();
    for (const TAbsentFile::Row& r : file.rows) columns = std::max(columns, r.fields.size());
    std::vector<std::string> heads = file.head;
    heads.resize(columns);
    heads.push_back(text::G("替补"));
    if (e == LXW_NO_ERROR) e = WriteRow(ws, row++, heads, formats.head, widest);
    for (const TAbsentFile::Row& r : file.rows) {
      std::vector<std::string> cells = r.fields;
      cells.resize(columns);
      cells.push_back(r.replacementId);
      if (e == LXW_NO_ERROR) e = WriteRow(ws, row++, cells, formats.cell, widest);
    }
  }
  return SizeColumns(ws, widest, e, error);
}

// The sheet 作废名单: for each exported item with voided winners, the item name, the title
// line's fields with 作废原因, 作废时间 and 重抽 as heads, then each voided winner's fields, why,
// when, and who took the place (名额空缺 when nobody did).
bool AddVoidSheet(lxw_workbook* wb, const std::string& sheetName,
                  const std::vector<Exported>& exported, const ItemFormats& formats,
                  std::string& error) {
  lxw_worksheet* ws = AddSheet(wb, sheetName, error);
  if (!ws) return false;
  std::vector<size_t> widest;
  lxw_row_t row = 0;
  lxw_error e = LXW_NO_ERROR;
  for (const Exported& x : exported) {
    TVoidFile file;
    if (!LoadItemVoids(x.item->TaskId, x.item->ItemId, file, error)) return false;
    if (!file.exists || file.rows.empty()) continue;
    if (row > 0) ++row;  // a blank row between items
    const std::string name = text::GbkToUtf8(x.item->ItemName);
    if (e == LXW_NO_ERROR) e = worksheet_write_string(ws, row++, 0, name.c_str(), formats.title);
    std::vector<std::string> heads = text::SplitFields(file.titleLine);
    size_t columns = heads.size();
    for (const TVoidRow& r : file.rows)
      columns = std::max(columns, text::SplitFields(r.CandidateLine).size());
    heads.resize(columns);
    for (const char* h : {"作废原因", "作废时间", "重抽"}) heads.push_back(text::G(h));
    if (e == LXW_NO_ERROR) e = WriteRow(ws, row++, heads, formats.head, widest);
    for (const TVoidRow& r : file.rows) {
      std::vector<std::string> cells = text::SplitFields(r.CandidateLine);
      cells.resize(columns);
      cells.push_back(r.Reason);
      cells.push_back(r.Time);
      cells.push_back(r.ReplacementId.empty() ? text::G("名额空缺") : r.ReplacementId);
      if (e == LXW_NO_ERROR) e = WriteRow(ws, row++, cells, formats.cell, widest);
    }
  }
  return SizeColumns(ws, widest, e, error);
}

// The sheet 领奖名单: each claim of the exported items in the order made, with its item.
bool AddClaimSheet(lxw_workbook* wb, const std::string& sheetName,
                   const std::vector<Exported>& exported, const claims::TClaimFile& claimed,
                   const ItemFormats& formats, std::string& error) {
  lxw_worksheet* ws = AddSheet(wb, sheetName, error);
  if (!ws) return false;
  std::vector<size_t> widest;
  lxw_row_t row = 0;
  lxw_error e = WriteRow(ws, row++,
                         {text::G("号码"), text::G("奖项"), text::G("领取时间"), text::G("领奖台")},
                         formats.head, widest);
  for (const claims::TClaimRecord& r : claimed.Records)
    for (const Exported& x : exported)
      if (x.item->ItemId == r.ItemId && e == LXW_NO_ERROR)
        e = WriteRow(ws, row++, {r.Id, x.item->ItemName, r.Time, r.Desk}, formats.cell, widest);
  return SizeColumns(ws, widest, e, error);
}

bool AddCheckinSheet(lxw_workbook* wb, const std::string& sheetName,
                     const std::vector<std::pair<std::string, std::string>>& checkins,
                     const ItemFormats& formats, std::string& error) {
  lxw_worksheet* ws = AddSheet(wb, sheetName, error);
  if (!ws) return false;
  std::vector<size_t> widest;
  lxw_row_t row = 0;
  lxw_error e = WriteRow(ws, row++, {text::G("号码"), text::G("签到时间")}, formats.head, widest);
  for (const auto& [id, time] : checkins)
    if (e == LXW_NO_ERROR) e = WriteRow(ws, row++, {id, time}, formats.cell, widest);
  return SizeColumns(ws, widest, e, error);
}

}  // namespace

std::vector<std::string> WorksheetNames(const std::vector<std::string>& utf8Names) {
  std::vector<std::u32string> taken = {Fold(U"History")};  // reserved by Excel
  std::vector<std::string> out;
  out.reserve(utf8Names.size());
  for (size_t k = 0; k < utf8Names.size(); ++k) {
    std::u32string base = Decode(utf8Names[k]);
    for (char32_t& c : base) {
      if (c < 0x20 || std::u32string_view(U":\\/?*[]").find(c) != std::u32string_view::npos)
        c = U'_';
    }
    if (!base.empty() && base.front() == U'\'') base.front() = U'_';
    if (!base.empty() && base.back() == U'\'') base.back() = U'_';
    if (base.empty()) base = U"Sheet" + Decode(std::to_string(k + 1));
    std::u32string name = Fit(base, kMaxSheetUnits);
    for (int n = 2; std::find(taken.begin(), taken.end(), Fold(name)) != taken.end(); ++n) {
      const std::u32string suffix = Decode(" (" + std::to_string(n) + ")");
      name = Fit(base, kMaxSheetUnits - suffix.size()) + suffix;
    }
    taken.push_back(Fold(name));
    out.push_back(Encode(name));
  }
  return out;
}

namespace {

// The audit report as label and value columns, as text.
bool AddAuditSheet(lxw_workbook* wb, const std::string& name, const TAuditRows& rows,
                   std::string& error) {
  lxw_worksheet* ws = AddSheet(wb, name, error);
  if (!ws) return false;
  lxw_format* cell = workbook_add_format(wb);
  format_set_font_name(cell, "宋体");
  format_set_num_format(cell, "@");
  lxw_error e = LXW_NO_ERROR;
  size_t wideLabel = 0, wideValue = 0;
  lxw_row_t row = 0;
  for (const auto& [label, value] : rows) {
    wideLabel = std::max(wideLabel, label.size());
    wideValue = std::max(wideValue, value.size());
    if (e == LXW_NO_ERROR)
      e = worksheet_write_string(ws, row, 0, text::GbkToUtf8(label).c_str(), cell);
    if (e == LXW_NO_ERROR)
      e = worksheet_write_string(ws, row, 1, text::GbkToUtf8(value).c_str(), cell);
    ++row;
  }
  if (e == LXW_NO_ERROR) e = worksheet_set_column(ws, 0, 0, ColumnWidthFor(wideLabel), nullptr);
  if (e == LXW_NO_ERROR) e = worksheet_set_column(ws, 1, 1, ColumnWidthFor(wideValue), nullptr);
  if (e != LXW_NO_ERROR) {
    error = LibraryErrorText(e);
    return false;
  }
  return true;
}

}  // namespace

double ColumnWidthFor(size_t gbkBytes) {
  return std::min(static_cast<double>(gbkBytes) + 2, kMaxColumnWidth);
}

bool ExportWinnersExcel(const TArrLuckItem& items, const TLuckTask& task, int itemId,
                        std::string_view gbkPath, std::string& error) {
  if (gbkPath.empty()) {
    error = text::G("文件名为空，请选择excel文件名");
    return false;
  }
  // Only items with a winner file take a worksheet.
  std::vector<Exported> exported;
  std::vector<std::string> itemNames;
  for (const TLuckItem& it : items) {
    if (itemId >= 0 && itemId != it.ItemId) continue;
    std::string path = paths::WinnerFilePath(it.TaskId, it.ItemId);
    if (!paths::FileExists(path)) continue;
    exported.push_back({&it, std::move(path)});
    itemNames.push_back(text::GbkToUtf8(it.ItemName));
  }
  // Absent winners of the exported items, when there are any, on a sheet of their own.
  bool withAbsent = false;
  for (const Exported& e : exported)
    withAbsent =
        withAbsent || paths::FileExists(paths::AbsentFilePath(e.item->TaskId, e.item->ItemId));
  if (withAbsent) itemNames.push_back("缺席名单");
  // So do a whole task's check-ins.
  std::vector<std::pair<std::string, std::string>> checkins;
  if (itemId < 0 && !checkin::CheckinsOfDraw(task.TaskId, checkins, error)) return false;
  if (!checkins.empty()) itemNames.push_back("签到名单");
  // And the claims of the draw the winner files come from.
  claims::TClaimFile claimed;
  if (!claims::ReadDrawClaims(task.TaskId, claims::ResultsDrawKey(task.TaskId), claimed, error))
    return false;
  std::erase_if(claimed.Records, [&](const claims::TClaimRecord& r) {
    return std::none_of(exported.begin(), exported.end(),
                        [&](const Exported& x) { return x.item->ItemId == r.ItemId; });
  });
  if (!claimed.Records.empty()) itemNames.push_back("领奖名单");
  // Voided winners stay on the record, on a sheet of their own.
  bool withVoids = false;
  for (const Exported& e : exported)
    withVoids = withVoids || paths::FileExists(VoidFilePath(e.item->TaskId, e.item->ItemId));
  if (withVoids) itemNames.push_back("作废名单");
  // A whole task's export of a draw that can be checked ends with the sheet 抽奖凭证.
  TAuditRows audit;
  std::string noAudit;
  const bool withAudit = itemId < 0 && AuditReport(task, audit, noAudit);
  if (withAudit) itemNames.push_back(kAuditSheetName);
  const std::vector<std::string> sheetNames = WorksheetNames(itemNames);
  if (withAudit) itemNames.pop_back();

  // The workbook is written beside the target and renamed into place only when whole.
  return files::WriteFileAtomicBy(
      gbkPath,
      [&](const std::string& tempU8, std::string& error) {
        return WriteWorkbook(tempU8, gbkPath, task, exported, sheetNames, withAbsent, checkins,
                             claimed, withVoids, withAudit ? &audit : nullptr, error);
      },
      error);
}

namespace {

bool WriteWorkbook(const std::string& tempU8, std::string_view gbkPath, const TLuckTask& task,
                   const std::vector<Exported>& exported,
                   const std::vector<std::string>& sheetNames, bool withAbsent,
                   const std::vector<std::pair<std::string, std::string>>& checkins,
                   const claims::TClaimFile& claimed, bool withVoids, const TAuditRows* audit,
                   std::string& error) {
  // Rows go to disk as they are written, so a large export does not sit in memory. That
  // holds a temporary file open per worksheet, though; with many prize items the rows stay
  // in memory instead, so that no number of items runs out of open files.
  lxw_workbook_options options{};
  options.constant_memory = exported.size() <= kMaxStreamedSheets ? LXW_TRUE : LXW_FALSE;
  WorkbookPtr wb(workbook_new_opt(tempU8.c_str(), &options));
  if (!wb) {
    error = WriteErrorText(gbkPath, text::Utf8ToGbk(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    return false;
  }
  std::string title = text::GbkToUtf8(task.TaskName);
  lxw_doc_properties props{};
  props.title = title.data();
  workbook_set_properties(wb.get(), &props);

  ItemFormats formats{};
  formats.title = workbook_add_format(wb.get());
  format_set_font_name(formats.title, "宋体");
  format_set_bold(formats.title);
  format_set_num_format(formats.title, "@");
  format_set_align(formats.title, LXW_ALIGN_CENTER);
  format_set_align(formats.title, LXW_ALIGN_VERTICAL_CENTER);
  formats.head = workbook_add_format(wb.get());
  format_set_font_name(formats.head, "宋体");
  format_set_bold(formats.head);
  format_set_num_format(formats.head, "@");
  format_set_border(formats.head, LXW_BORDER_THIN);
  format_set_align(formats.head, LXW_ALIGN_CENTER);
  formats.cell = workbook_add_format(wb.get());
  format_set_font_name(formats.cell, "宋体");
  format_set_num_format(formats.cell, "@");
  format_set_border(formats.cell, LXW_BORDER_THIN);
  format_set_align(formats.cell, LXW_ALIGN_CENTER);
  format_set_align(formats.cell, LXW_ALIGN_VERTICAL_BOTTOM);

  claims::TClaimsByWinner byWinner;
  for (const claims::TClaimRecord& r : claimed.Records)
    byWinner.emplace(std::make_pair(r.Id, r.ItemId), r);
  // A journal that cannot be read only costs the marks: the winners are exported all the same.
  TNamedWinners named;
  std::string unmarked;
  LoadNamedWinners(task.TaskId, named, unmarked);
  for (size_t k = 0; k < exported.size(); ++k) {
    if (!AddItemSheet(wb.get(), sheetNames[k], exported[k], byWinner, named, formats, error))
      return false;
  }
  if (withAbsent &&
      !AddAbsentSheet(wb.get(), sheetNames[exported.size()], exported, formats, error))
    return false;
  if (!checkins.empty() &&
      !AddCheckinSheet(wb.get(), sheetNames[exported.size() + (withAbsent ? 1 : 0)], checkins,
                       formats, error))
    return false;
  const size_t claimSheet = exported.size() + (withAbsent ? 1 : 0) + (checkins.empty() ? 0 : 1);
  if (!claimed.Records.empty() &&
      !AddClaimSheet(wb.get(), sheetNames[claimSheet], exported, claimed, formats, error))
    return false;
  if (withVoids &&
      !AddVoidSheet(wb.get(), sheetNames[claimSheet + (claimed.Records.empty() ? 0 : 1)], exported,
                    formats, error))
    return false;
  if (audit && !AddAuditSheet(wb.get(), sheetNames.back(), *audit, error)) return false;
  // An export of nothing still gives a workbook that opens: one empty worksheet.
  if (exported.empty() && !workbook_add_worksheet(wb.get(), nullptr)) {
    error = text::G("导出到Excel出错：无法添加工作表");
    return false;
  }

  const lxw_error closed = workbook_close(wb.release());  // frees the workbook on every path
  if (closed != LXW_NO_ERROR) {
    error = WriteErrorText(gbkPath, text::Utf8ToGbk(lxw_strerror(closed)));
    return false;
  }
  return true;
}

}  // namespace
