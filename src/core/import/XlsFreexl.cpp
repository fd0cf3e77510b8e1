// The half of the xls reader that runs libfreexl: the first worksheet, cells as freexl gives
// them (texts UTF-8, dates already as "2024-03-12" / "2024-03-12 08:30:00"). Only the helper
// program tombolix_xls runs it (see XlsReader.cpp), so the program itself never loads
// libfreexl. On Windows libfreexl opens the file with the narrow C functions, which take UTF-8
// there because the helper's manifest makes UTF-8 its code page.
#include <freexl.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/import/Cells.h"
#include "core/import/Sheet.h"
#include "core/import/TextDecode.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace sheet {

namespace {

// An Office file protected by a password is a compound file holding an encrypted package.
bool IsEncryptedPackage(std::string_view bytes) {
  static const std::string_view kName("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  return bytes.find(kName) != std::string_view::npos;
}

// A BIFF8 workbook protected by a password starts its globals with a FILEPASS record right
// after the BOF record.
bool HasFilePass(std::string_view bytes) {
  static const std::string_view kBof("\x09\x08\x10\x00\x00\x06\x05\x00", 8);
  const std::size_t at = bytes.find(kBof);
  return at != std::string_view::npos && bytes.size() >= at + 22 &&
         bytes.substr(at + 20, 2) == std::string_view("\x2F\x00", 2);
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

bool ReadXlsDirect(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  const std::string corrupt =
      text::G("文件不是有效的电子表格文件,或者已经损坏:") + std::string(gbkPath);
  bool filePass = false;
  {
    std::string bytes;
    if (!textsrc::ReadSourceFile(gbkPath, bytes, error)) return false;
    if (IsEncryptedPackage(bytes)) {
      error = Encrypted(gbkPath);
      return false;
    }
    filePass = HasFilePass(bytes);
  }
  Handle x;
  const std::string native = paths::U8(paths::NativePath(gbkPath));
  if (freexl_open(native.c_str(), &x.h) != FREEXL_OK) {
    error = corrupt;
    return false;
  }
  // libfreexl opens a password-protected (RC4) workbook without giving a handle, but also
  // some plain workbooks it cannot read (LibreOffice writes them too): only the first kind
  // may be called encrypted, or the operator hunts for a password that does not exist.
  if (!x.h) {
    error = filePass ? Encrypted(gbkPath)
                     : text::G("文件无法读取,请在电子表格软件中另存为xlsx格式后再导入:") +
                           std::string(gbkPath);
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
            // libfreexl calls a cell a date-time when its format shows both: past the id in
            // column 1 it keeps its time at midnight too. The id shows a plain date then.
            if (c == 0 && out.size() == 19 && out.compare(10, 9, " 00:00:00") == 0) out.resize(10);
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

namespace {

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
#ifdef _WIN32
    const int n = ::_write(fd, p, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
#else
    const ssize_t n = ::write(fd, p, size);
#endif
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void PutString(std::string& out, std::string_view s) {
  const uint32_t n = static_cast<uint32_t>(s.size());
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
  out.append(s);
}

// The rows of the file, written to `fd` in the form PipeReader reads.
int ServeRows(std::string_view gbkPath, int fd) {
  std::string out;
  Visitor rows;
  rows.onRow = [&](int64_t number, const std::vector<std::string>& cells) {
    out.append(reinterpret_cast<const char*>(&number), sizeof number);
    const uint32_t n = static_cast<uint32_t>(cells.size());
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    for (const std::string& c : cells) PutString(out, c);
    if (out.size() >= (1u << 16)) {
      if (!WriteAll(fd, out.data(), out.size())) return false;
      out.clear();
    }
    return true;
  };
  std::string why;
  const bool ok = ReadXlsDirect(gbkPath, rows, why);
  const int64_t end = -1;
  out.append(reinterpret_cast<const char*>(&end), sizeof end);
  const uint32_t okFlag = ok ? 1 : 0;
  out.append(reinterpret_cast<const char*>(&okFlag), sizeof okFlag);
  PutString(out, why);
  return WriteAll(fd, out.data(), out.size()) ? 0 : 1;
}

// Starts the helper on the file with its output on the write end of a pipe; false when it

}  // namespace

int XlsHelperMain(int argc, char** argv) {
#ifdef _WIN32
  // The program hands the path over in UTF-8 (see XlsReader.cpp); the wide command line
  // carries it whatever the system's code page is.
  int wargc = 0;
  wchar_t** wargv = ::CommandLineToArgvW(::GetCommandLineW(), &wargc);
  std::string path;
  if (wargv && wargc == 3 && std::wstring_view(wargv[1]) == L"--")
    path = text::Utf8ToGbk(paths::U8(std::filesystem::path(wargv[2])));
  if (wargv) ::LocalFree(wargv);
  if (path.empty()) {
    std::fprintf(stderr, "%s: reads an xls workbook for Qarvo; not meant to be run by hand\n",
                 argc > 0 ? argv[0] : kXlsHelperName);
    return 2;
  }
  ::_setmode(_fileno(stdout), _O_BINARY);
  return ServeRows(path, _fileno(stdout));
#else
  if (argc != 3 || std::string_view(argv[1]) != "--") {
    std::fprintf(stderr, "%s: reads an xls workbook for Qarvo; not meant to be run by hand\n",
                 argc > 0 ? argv[0] : kXlsHelperName);
    return 2;
  }
  std::signal(SIGPIPE, SIG_DFL);
  return ServeRows(argv[2], STDOUT_FILENO);
#endif
}

}  // namespace sheet
