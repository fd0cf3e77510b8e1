// The import at the sizes of a big promotion: a million text lines, a million xlsx rows
// with shared strings, a million csv rows, 65,000 xls rows (the BIFF limit), 100,000 ods rows. Each
// import runs in a child process so its peak memory (peak_MB) is its own.
//
//   bench_import                      the benchmarks
//   bench_import --make-xlsx N FILE   writes an xlsx of N rows x 3 columns (shared strings)
//   bench_import --read FILE          reads the first sheet of FILE, prints seconds and rows
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/import/Import.h"
#include "core/import/Sheet.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace fs = std::filesystem;

namespace {

const char* const kNames[] = {"张伟", "王芳", "李娜", "刘洋", "陈静", "欧阳建华", "杨磊", "赵敏"};
const char* const kDepts[] = {"销售部", "技术部", "市场部", "财务部", "行政部"};

std::string Dir() {
  static const std::string d = [] {
    const fs::path p = fs::temp_directory_path() / "tombolix-bench-import";
    fs::create_directories(p);
    return p.string() + "/";
  }();
  return d;
}

// Parts added to a zip must live until it is closed.
bool WriteZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& parts) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) return false;
  for (const auto& [name, data] : parts) {
    zip_source_t* s = zip_source_buffer(z, data.data(), data.size(), 0);
    const zip_int64_t i = zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8);
    if (name == "mimetype")
      zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
  }
  return zip_close(z) == 0;
}

bool MakeXlsx(long rows, const std::string& path) {
  std::string shared, sheet;
  shared.reserve(static_cast<size_t>(rows) * 40);
  sheet.reserve(static_cast<size_t>(rows) * 110);
  const long fixed = 1 + 8 + 5;
  shared =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
  shared += "<si><t>手机号码</t></si>";
  for (const char* n : kNames) shared += std::string("<si><t>") + n + "</t></si>";
  for (const char* d : kDepts) shared += std::string("<si><t>") + d + "</t></si>";
  sheet =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  sheet +=
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" "
      "t=\"s\"><v>9</v></c></row>";
  char buf[256];
  for (long r = 0; r < rows; ++r) {
    std::snprintf(buf, sizeof buf, "<si><t>138%08ld</t></si>", r);
    shared += buf;
    std::snprintf(
        buf, sizeof buf,
        "<row r=\"%ld\"><c r=\"A%ld\" t=\"s\"><v>%ld</v></c><c r=\"B%ld\" t=\"s\"><v>%ld</v></c>"
        "<c r=\"C%ld\" t=\"s\"><v>%ld</v></c></row>",
        r + 2, r + 2, fixed + r, r + 2, 1 + r % 8, r + 2, 9 + r % 5);
    sheet += buf;
  }
  shared += "</sst>";
  sheet += "</sheetData></worksheet>";
  return WriteZip(path,
                  {{"[Content_Types].xml",
                    "<?xml version=\"1.0\"?><Types "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" "
                    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Override PartName=\"/xl/workbook.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                    "<Override PartName=\"/xl/sharedStrings.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
                    "</Types>"},
                   {"_rels/.rels",
                    "<?xml version=\"1.0\"?><Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                    "relationships\"><Relationship Id=\"rId1\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
                   {"xl/workbook.xml",
                    "<?xml version=\"1.0\"?><workbook "
                    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                    "relationships\"><sheets><sheet name=\"名单\" sheetId=\"1\" "
                    "r:id=\"rId1\"/></sheets></workbook>"},
                   {"xl/_rels/workbook.xml.rels",
                    "<?xml version=\"1.0\"?><Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                    "relationships\"><Relationship Id=\"rId1\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
                   {"xl/sharedStrings.xml", shared},
                   {"xl/worksheets/sheet1.xml", sheet}});
}

bool MakeOds(long rows, const std::string& path) {
  std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:"
      "spreadsheet>"
      "<table:table table:name=\"名单\"><table:table-row>"
      "<table:table-cell office:value-type=\"string\"><text:p>手机号码</text:p></table:table-cell>"
      "<table:table-cell office:value-type=\"string\"><text:p>姓名</text:p></table:table-cell>"
      "<table:table-cell "
      "office:value-type=\"string\"><text:p>部门</text:p></table:table-cell></table:table-row>";
  char buf[512];
  for (long r = 0; r < rows; ++r) {
    std::snprintf(
        buf, sizeof buf,
        "<table:table-row><table:table-cell office:value-type=\"float\" "
        "office:value=\"138%08ld\"><text:p>138%08ld</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"string\"><text:p>%s</text:p></table:table-cell>"
        "<table:table-cell "
        "office:value-type=\"string\"><text:p>%s</text:p></table:table-cell></table:table-row>",
        r, r, kNames[r % 8], kDepts[r % 5]);
    content += buf;
  }
  content +=
      "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
      "table:number-columns-repeated=\"1024\"/></table:table-row>";
  content += "</table:table></office:spreadsheet></office:body></office:document-content>";
  return WriteZip(path, {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                         {"content.xml", content}});
}

bool MakeText(long rows, const std::string& path) {
  std::string t = text::G("手机号码  姓名 部门\r\n");
  t.reserve(static_cast<size_t>(rows) * 32);
  char buf[128];
  for (long r = 0; r < rows; ++r) {
    std::snprintf(buf, sizeof buf, "138%08ld  %s %s\r\n", r, kNames[r % 8], kDepts[r % 5]);
    t += text::G(buf);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(t.data(), 1, t.size(), f);
  return std::fclose(f) == 0;
}

// A UTF-8 csv without byte-order mark (read twice: once to tell it from GBK), names quoted.
bool MakeCsv(long rows, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fputs("手机号码,姓名,部门\r\n", f);
  for (long r = 0; r < rows; ++r)
    std::fprintf(f, "138%08ld,\"%s\",%s\r\n", r, kNames[r % 8], kDepts[r % 5]);
  return std::fclose(f) == 0;
}

// xls through LibreOffice from a csv, when it is installed; empty path otherwise.
std::string MakeXls(long rows) {
  const std::string xls = Dir() + "rows" + std::to_string(rows) + ".xls";
  if (fs::exists(xls)) return xls;
  const std::string csv = Dir() + "rows" + std::to_string(rows) + ".csv";
  FILE* f = std::fopen(csv.c_str(), "wb");
  if (!f) return "";
  std::fputs("\xEF\xBB\xBF手机号码,姓名,部门\n", f);
  for (long r = 0; r < rows; ++r)
    std::fprintf(f, "138%08ld,%s,%s\n", r, kNames[r % 8], kDepts[r % 5]);
  std::fclose(f);
  const std::string cmd =
      "soffice --headless --norestore --infilter=CSV:44,34,76 --convert-to xls --outdir " + Dir() +
      " " + csv + " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0 || !fs::exists(xls)) return "";
  return xls;
}

// A file made once (in a child, so its memory never counts) and kept for later runs.
std::string Made(const std::string& name, bool (*make)(long, const std::string&), long rows) {
  const std::string path = Dir() + name;
  if (fs::exists(path)) return path;
  const pid_t pid = fork();
  if (pid == 0) _exit(make(rows, path + ".part") ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  if (status == 0) fs::rename(path + ".part", path);
  return fs::exists(path) ? path : "";
}

// Runs one import in a child; the child's wall time and peak resident memory.
void RunImport(benchmark::State& state, const std::string& source, bool spreadsheet, long rows) {
  if (source.empty()) {
    state.SkipWithError("source file could not be made");
    return;
  }
  double peakMb = 0, cpu = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      paths::SetDataRoot(Dir() + "root/");
      dataimport::Callbacks cb;
      std::string target, error;
      const bool ok =
          spreadsheet
              ? dataimport::ImportSpreadsheet(source, 1001, TIdType::Numeric, cb, target, error)
              : dataimport::ImportTextFile(source, 1001, TIdType::Numeric, cb, target, error);
      if (!ok) std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    if (status != 0) {
      state.SkipWithError("import failed");
      return;
    }
    peakMb = std::max(peakMb, static_cast<double>(ru.ru_maxrss) / 1024.0);
    cpu += static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  }
  state.counters["peak_MB"] = peakMb;
  state.counters["rows"] = static_cast<double>(rows);
  // CPU seconds of one import: the figure to compare on a machine shared with other work.
  state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}

void BM_ImportText1M(benchmark::State& state) {
  RunImport(state, Made("text1m.txt", MakeText, 1000000), false, 1000000);
}
void BM_ImportXlsx1Mx3Shared(benchmark::State& state) {
  RunImport(state, Made("shared1m.xlsx", MakeXlsx, 1000000), true, 1000000);
}
void BM_ImportCsv1M(benchmark::State& state) {
  RunImport(state, Made("rows1m.csv", MakeCsv, 1000000), true, 1000000);
}
void BM_ImportXls65000(benchmark::State& state) { RunImport(state, MakeXls(65000), true, 65000); }
void BM_ImportOds100000(benchmark::State& state) {
  RunImport(state, Made("rows100k.ods", MakeOds, 100000), true, 100000);
}

// The longest stretch without a callback during a million-row xlsx import: how long the
// tab's log and progress bar could go without repainting.
void BM_ImportXlsx1MLongestQuietSpell(benchmark::State& state) {
  const std::string source = Made("shared1m.xlsx", MakeXlsx, 1000000);
  if (source.empty()) {
    state.SkipWithError("source file could not be made");
    return;
  }
  paths::SetDataRoot(Dir() + "root/");
  double longest = 0;
  for (auto _ : state) {
    auto last = std::chrono::steady_clock::now();
    const auto tick = [&] {
      const auto now = std::chrono::steady_clock::now();
      longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
      last = now;
    };
    dataimport::Callbacks cb;
    cb.log = [&](const std::string&) { tick(); };
    cb.progress = [&](int) { tick(); };
    std::string target, error;
    if (!dataimport::ImportSpreadsheet(source, 1001, TIdType::Numeric, cb, target, error))
      state.SkipWithError("import failed");
    tick();
  }
  state.counters["longest_quiet_ms"] = longest;
}

BENCHMARK(BM_ImportText1M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportXlsx1Mx3Shared)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportCsv1M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportXls65000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportOds100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportXlsx1MLongestQuietSpell)->Unit(benchmark::kMillisecond)->Iterations(1);

int ReadOnly(const char* path) {
  const auto t0 = std::chrono::steady_clock::now();
  sheet::Visitor v;
  long rows = 0;
  size_t bytes = 0;
  v.onRow = [&](int64_t, const std::vector<std::string>& cells) {
    ++rows;
    for (const std::string& c : cells) bytes += c.size();
    return true;
  };
  std::string error;
  if (!sheet::ReadSheet(path, v, error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  std::printf("%.3f %ld\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), rows);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--make-xlsx")
    return MakeXlsx(std::atol(argv[2]), argv[3]) ? 0 : 1;
  if (argc == 3 && std::string(argv[1]) == "--read") return ReadOnly(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
