#include "records/ExcelExport.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "text/Gbk.h"
#include "text/LineReader.h"
#include "text/Paths.h"
#include "verify/AuditBundle.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

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

// A file beside the target that the workbook is written to; removed unless renamed into
// place, so no failure leaves a partial file.
class TempBeside {
 public:
  TempBeside() = default;
  TempBeside(const TempBeside&) = delete;
  TempBeside& operator=(const TempBeside&) = delete;
  ~TempBeside() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove(m_path, ec);
  }

  // Reserves a fresh name in the target's directory; false with errno's value.
  bool Create(const fs::path& target, int& err) {
#ifdef _WIN32
    m_path = fs::path(target.wstring() + L".tmp" + std::to_wstring(GetCurrentProcessId()));
    FILE* f = _wfopen(m_path.c_str(), L"wb");
    if (!f) {
      err = errno;
      m_path.clear();
      return false;
    }
    fclose(f);
#else
    std::string tmpl = target.string() + ".tmp-XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
      err = errno;
      return false;
    }
    // Keep the usual permissions of a file we write rather than mkstemp's 0600.
    ::fchmod(fd, 0644);
    ::close(fd);
    m_path = tmpl;
#endif
    return true;
  }

  const fs::path& Path() const { return m_path; }

  // Flushes the finished file to disk and renames it over the target.
  bool RenameOver(const fs::path& target, int& err) {
#ifndef _WIN32
    const int fd = ::open(m_path.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
      err = errno;
      if (fd >= 0) ::close(fd);
      return false;
    }
    ::close(fd);
#endif
    std::error_code ec;
    fs::rename(m_path, target, ec);
    if (ec) {
      err = ec.value();
      return false;
    }
    m_path.clear();
    return true;
  }

 private:
  fs::path m_path;
};

struct Exported {
  const TLuckItem* item;
  std::string winnerPath;  // GBK
};

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
  lxw_worksheet* ws = workbook_add_worksheet(wb, name.c_str());
  if (!ws) {
    error = text::G("导出到Excel出错：无法添加工作表") + text::Utf8ToGbk(name);
    return false;
  }
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
  // A whole task's export of a draw that can be checked ends with the sheet 抽奖凭证.
  TAuditRows audit;
  std::string noAudit;
  const bool withAudit = itemId < 0 && AuditReport(task, audit, noAudit);
  if (withAudit) itemNames.push_back(kAuditSheetName);
  const std::vector<std::string> sheetNames = WorksheetNames(itemNames);
  if (withAudit) itemNames.pop_back();

  const fs::path target = paths::NativePath(gbkPath);
  TempBeside temp;
  int err = 0;
  if (!temp.Create(target, err)) {
    error = WriteErrorText(gbkPath, text::Utf8ToGbk(std::strerror(err)));
    return false;
  }
  const std::string tempU8 = paths::U8(temp.Path());
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

  lxw_format* head = workbook_add_format(wb.get());
  format_set_font_name(head, "宋体");
  format_set_bold(head);
  format_set_num_format(head, "@");
  format_set_align(head, LXW_ALIGN_CENTER);
  format_set_align(head, LXW_ALIGN_VERTICAL_CENTER);
  lxw_format* cell = workbook_add_format(wb.get());
  format_set_font_name(cell, "宋体");
  format_set_num_format(cell, "@");
  format_set_border(cell, LXW_BORDER_THIN);
  format_set_align(cell, LXW_ALIGN_CENTER);
  format_set_align(cell, LXW_ALIGN_VERTICAL_BOTTOM);

  std::string u8;
  for (size_t k = 0; k < exported.size(); ++k) {
    const TLuckItem& it = *exported[k].item;
    lxw_worksheet* ws = workbook_add_worksheet(wb.get(), sheetNames[k].c_str());
    if (!ws) {  // the names are valid, so only memory or a temporary file can be missing
      error = text::G("导出到Excel出错：无法添加工作表") + text::Utf8ToGbk(sheetNames[k]);
      return false;
    }
    lxw_error e = worksheet_write_string(ws, 0, 0, itemNames[k].c_str(), head);
    // Column A takes the widest cell, so no line is cut at its border.
    size_t widest = it.ItemName.size();
    LineReader in;
    if (!in.Open(exported[k].winnerPath, error)) return false;
    std::string_view line;
    lxw_row_t row = 1;
    while (e == LXW_NO_ERROR && in.Next(line)) {
      widest = std::max(widest, line.size());
      u8 = text::GbkToUtf8(line);
      e = worksheet_write_string(ws, row++, 0, u8.c_str(), cell);
    }
    if (in.Failed()) {
      error = in.Error();
      return false;
    }
    if (e == LXW_NO_ERROR) e = worksheet_set_column(ws, 0, 0, ColumnWidthFor(widest), nullptr);
    if (e != LXW_NO_ERROR) {
      error = LibraryErrorText(e);
      return false;
    }
  }
  if (withAudit && !AddAuditSheet(wb.get(), sheetNames.back(), audit, error)) return false;
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
  if (!temp.RenameOver(target, err)) {
    error = WriteErrorText(gbkPath, text::Utf8ToGbk(std::strerror(err)));
    return false;
  }
  return true;
}
