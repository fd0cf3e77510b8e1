// The zip and workbook libraries as the program has them: linked like the executable, with
// src/programs/DeferredLibraries.cpp before them, so that every call below goes through the
// functions that load them on first use.
#include <gtest/gtest.h>
#include <zip.h>
#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>
#else
#include <link.h>
#endif

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TempRoot.h"
#include "core/export/ExcelExport.h"
#include "core/import/Sheet.h"
#include "core/import/Zip.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

// Whether a library whose file name contains `name` is in the process.
#ifdef _WIN32
bool Loaded(const char* name) {
  const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  const std::wstring wanted(name, name + std::char_traits<char>::length(name));  // ASCII
  MODULEENTRY32W m{};
  m.dwSize = sizeof m;
  bool found = false;
  for (bool more = Module32FirstW(snap, &m); more && !found; more = Module32NextW(snap, &m))
    found = std::wstring(m.szModule).find(wanted) != std::wstring::npos;
  CloseHandle(snap);
  return found;
}
#else
bool Loaded(const char* name) {
  struct Search {
    const char* name;
    bool found;
  } search{name, false};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        if (info->dlpi_name && std::string(info->dlpi_name).find(s->name) != std::string::npos)
          s->found = true;
        return 0;
      },
      &search);
  return search.found;
}
#endif

// Builds a zip in memory the way the audit bundle does.
std::string ZipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
  EXPECT_NE(source, nullptr);
  zip_source_keep(source);
  zip_t* z = zip_open_from_source(source, ZIP_TRUNCATE, &error);
  EXPECT_NE(z, nullptr);
  for (const auto& [name, bytes] : entries) {
    zip_source_t* s = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
    EXPECT_GE(zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8), 0);
  }
  EXPECT_EQ(zip_close(z), 0);
  std::string out;
  EXPECT_EQ(zip_source_open(source), 0);
  char buf[4096];
  zip_int64_t n;
  while ((n = zip_source_read(source, buf, sizeof buf)) > 0) out.append(buf, size_t(n));
  EXPECT_EQ(n, 0);
  zip_source_close(source);
  zip_source_free(source);
  zip_error_fini(&error);
  return out;
}

}  // namespace

TEST(DeferredLibraries, LoadedOnFirstUseAndCalledThrough) {
  // Nothing has been read or written yet: neither library is in the process.
  EXPECT_FALSE(Loaded("libzip."));
  EXPECT_FALSE(Loaded("libxlsxwriter."));

  // A workbook from another producer, read as the import reads it.
  sheet::Visitor v;
  std::vector<std::string> rows;
  v.onRow = [&](int64_t, const std::vector<std::string>& cells) {
    rows.push_back(cells.empty() ? std::string() : text::GbkToUtf8(cells[0]));
    return true;
  };
  std::string error;
  ASSERT_TRUE(sheet::ReadXlsx(IMPORT_FIXTURES "/people-openpyxl.xlsx", v, error)) << error;
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0], "手机号码");
  EXPECT_EQ(rows[1], "13812345678");
  EXPECT_EQ(rows[2], "00123");
  EXPECT_TRUE(Loaded("libzip."));
  EXPECT_FALSE(Loaded("libxlsxwriter."));

  // An archive written and read back in memory, entry by entry.
  const std::string bytes = ZipOf({{"a.txt", "first"}, {"抽奖凭证.txt", std::string(100000, 'x')}});
  sheet::ZipArchive zip;
  ASSERT_TRUE(zip.OpenBuffer(bytes, error)) << error;
  EXPECT_EQ(zip.Names(), (std::vector<std::string>{"a.txt", "抽奖凭证.txt"}));
  std::string part;
  ASSERT_TRUE(zip.ReadPart("抽奖凭证.txt", part, error)) << error;
  EXPECT_EQ(part, std::string(100000, 'x'));

  // A workbook exported, then opened as a zip: the winner and the item are in its sheet.
  TempRoot root;
  WriteAll(paths::NativePath(paths::WinnerFilePath(1001, 2001)),
           text::G("号码 姓名\r\n13800000001 张三\r\n"));
  TLuckTask task;
  task.TaskId = 1001;
  task.TaskName = text::G("年会");
  TLuckItem item;
  item.TaskId = 1001;
  item.ItemId = 2001;
  item.ItemName = text::G("一等奖");
  const std::string xlsx = root.path("winners.xlsx");
  ASSERT_TRUE(ExportWinnersExcel({item}, task, -1, xlsx, error)) << error;
  EXPECT_TRUE(Loaded("libxlsxwriter."));
  sheet::ZipArchive book;
  ASSERT_TRUE(book.OpenFile(xlsx, error)) << error;
  ASSERT_TRUE(book.ReadPart("xl/worksheets/sheet1.xml", part, error)) << error;
  EXPECT_NE(part.find("13800000001"), std::string::npos);
  EXPECT_NE(part.find("一等奖"), std::string::npos);
}
