// Legacy xls (BIFF 2 to 8) through libfreexl: the first worksheet, cells as freexl gives
// them (texts UTF-8, dates already as "2024-03-12" / "2024-03-12 08:30:00").
#include <freexl.h>

#include <memory>

#include "import/Cells.h"
#include "import/Sheet.h"
#include "import/TextDecode.h"
#include "text/Gbk.h"
#include "text/Paths.h"

namespace sheet {

namespace {

// An Office file protected by a password is a compound file holding an encrypted package.
bool IsEncryptedPackage(std::string_view bytes) {
  static const std::string_view kName("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  return bytes.find(kName) != std::string_view::npos;
}

std::string Encrypted(std::string_view name) {
  return text::G("文件已加密,请先在电子表格软件中取消密码后再导入:") + std::string(name);
}

struct Handle {
  const void* h = nullptr;
  ~Handle() {
    if (h) freexl_close(h);
  }
};

}  // namespace

bool ReadXls(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  const std::string corrupt =
      text::G("文件不是有效的电子表格文件,或者已经损坏:") + std::string(gbkPath);
  {
    std::string bytes;
    if (!textsrc::ReadWholeFile(gbkPath, bytes, error)) return false;
    if (IsEncryptedPackage(bytes)) {
      error = Encrypted(gbkPath);
      return false;
    }
  }
  Handle x;
  const std::string native = paths::U8(paths::NativePath(gbkPath));
  if (freexl_open(native.c_str(), &x.h) != FREEXL_OK) {
    error = corrupt;
    return false;
  }
  // libfreexl opens a password-protected (RC4) workbook without giving a handle.
  if (!x.h) {
    error = Encrypted(gbkPath);
    return false;
  }
  unsigned int info = 0;
  if (freexl_get_info(x.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
      info == FREEXL_BIFF_OBFUSCATED) {
    error = Encrypted(gbkPath);
    return false;
  }
  unsigned int sheets = 0;
  if (freexl_get_info(x.h, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0 ||
      freexl_select_active_worksheet(x.h, 0) != FREEXL_OK) {
    error = text::G("文件中找不到工作表,不是有效的Excel文件:") + std::string(gbkPath);
    return false;
  }
  unsigned int rows = 0;
  unsigned short cols = 0;
  if (freexl_worksheet_dimensions(x.h, &rows, &cols) != FREEXL_OK) {
    error = corrupt;
    return false;
  }
  std::vector<std::string> cells;
  for (unsigned int r = 0; r < rows; ++r) {
    cells.clear();
    const unsigned short width =
        static_cast<unsigned short>(std::min<size_t>(cols, visitor.maxColumns));
    cells.resize(width);
    for (unsigned short c = 0; c < width; ++c) {
      FreeXL_CellValue v;
      if (freexl_get_cell_value(x.h, r, c, &v) != FREEXL_OK) {
        error = corrupt;
        return false;
      }
      std::string& out = cells[c];
      switch (v.type) {
        case FREEXL_CELL_INT:
          out = std::to_string(v.value.int_value);
          break;
        case FREEXL_CELL_DOUBLE:
          out = FormatDouble(v.value.double_value);
          break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
          if (v.value.text_value) Utf8CellToGbk(v.value.text_value, out);
          break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_TIME:
          if (v.value.text_value) out = v.value.text_value;
          break;
        case FREEXL_CELL_DATETIME:
          if (v.value.text_value) {
            out = v.value.text_value;
            // Midnight alone is a plain date, as the other readers show it.
            if (out.size() == 19 && out.compare(10, 9, " 00:00:00") == 0) out.resize(10);
          }
          break;
        default:
          break;
      }
    }
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    if (visitor.onPulse && ((r + 1) & 0x3FFF) == 0) visitor.onPulse();
    if (!visitor.onRow(static_cast<int64_t>(r) + 1, cells)) break;
  }
  return true;
}

}  // namespace sheet
