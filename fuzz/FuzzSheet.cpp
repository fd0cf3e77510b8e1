// libFuzzer harness for the spreadsheet readers, one per build: xlsx (default), FUZZ_ODS,
// FUZZ_CSV and FUZZ_XLS (both written to a file; xls is read by the helper program). An xlsx or ods
// input that starts with '<' is XML put into a package of stored parts, so mutations reach the
// parsers; any other input is the file itself. Each input then goes through the whole import
// (rows passed over, cells with blanks, repeated ids) and its draw data file is read back
// field by field, as the draw and check-in read it.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/import/Import.h"
#include "core/import/Sheet.h"
#include "core/records/DrawDataFile.h"
#include "core/text/FileWrite.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace {

sheet::Visitor& Visitor() {
  static sheet::Visitor v;
  static size_t cells = 0;
  v.onRow = [](int64_t, const std::vector<std::string>& row) {
    for (const std::string& c : row) cells += c.size();
    return true;
  };
  return v;
}

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A zip of stored parts, so that mutations reach the XML parsers instead of failing the
// checksum of a deflated part.
std::string StoredZip(const std::vector<std::pair<std::string, std::string_view>>& parts) {
  std::string zip, dir;
  for (const auto& [name, data] : parts) {
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    Put32(zip, 0x04034b50);
    Put16(zip, 20);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 0);
    Put32(zip, crc);
    Put32(zip, static_cast<uint32_t>(data.size()));
    Put32(zip, static_cast<uint32_t>(data.size()));
    Put16(zip, static_cast<uint32_t>(name.size()));
    Put16(zip, 0);
    zip += name;
    zip.append(data);
    Put32(dir, 0x02014b50);
    Put16(dir, 20);
    Put16(dir, 20);
    Put16(dir, 0);
    Put16(dir, 0);
    Put16(dir, 0);
    Put16(dir, 0);
    Put32(dir, crc);
    Put32(dir, static_cast<uint32_t>(data.size()));
    Put32(dir, static_cast<uint32_t>(data.size()));
    Put16(dir, static_cast<uint32_t>(name.size()));
    Put16(dir, 0);
    Put16(dir, 0);
    Put16(dir, 0);
    Put16(dir, 0);
    Put32(dir, 0);
    Put32(dir, offset);
    dir += name;
  }
  const uint32_t dirAt = static_cast<uint32_t>(zip.size());
  zip += dir;
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<uint32_t>(parts.size()));
  Put16(zip, static_cast<uint32_t>(parts.size()));
  Put32(zip, static_cast<uint32_t>(dir.size()));
  Put32(zip, dirAt);
  Put16(zip, 0);
  return zip;
}

// "sheet XML \0 shared strings XML \0 styles XML" (ods: content XML) in a package.
std::vector<std::string_view> SplitNul(std::string_view s) {
  std::vector<std::string_view> out;
  size_t at = 0;
  while (out.size() < 2) {
    const size_t nul = s.find('\0', at);
    if (nul == std::string_view::npos) break;
    out.push_back(s.substr(at, nul - at));
    at = nul + 1;
  }
  out.push_back(s.substr(std::min(at, s.size())));
  while (out.size() < 3) out.push_back("");
  return out;
}

const char kRels[] =
    "<Relationships><Relationship Id=\"r\" Type=\"x/officeDocument\" "
    "Target=\"/xl/workbook.xml\"/></Relationships>";
const char kWorkbook[] =
    "<workbook><workbookPr date1904=\"0\"/><sheets><sheet r:id=\"s1\"/></sheets></workbook>";
const char kWorkbookRels[] =
    "<Relationships><Relationship Id=\"s1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"s2\" Type=\"x/sharedStrings\" Target=\"../xl/sharedStrings.xml\"/>"
    "<Relationship Id=\"s3\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>";

// The import of the file at `path` into task 1001 of a data root under /dev/shm, and its
// draw data file read back.
void ImportEndToEnd(const std::string& path) {
  static const std::string root = [] {
    const std::string r = "/dev/shm/tombolix-fuzz-sheet-" + std::to_string(getpid()) + "/";
    paths::SetDataRoot(r);
    std::string e;
    files::MakeFolders(r, e);
    return r;
  }();
  dataimport::Callbacks cb;
  dataimport::Notes notes;
  std::string target, error;
  if (!dataimport::ImportSpreadsheet(path, 1001, TIdType::NonNumeric, cb, target, error, &notes))
    return;
  TArraySring lines;
  int32_t idMax = 0;
  std::string title;
  if (!ReadDrawDataFile(target, 0, 1, lines, idMax, title, error)) __builtin_trap();
  if (static_cast<int64_t>(lines.size()) != notes.imported) __builtin_trap();
  // Each cell is at most one field: no line has more fields than the title has heads.
  const size_t heads = text::SplitFields(title).size();
  size_t shown = 0;
  for (const std::string& l : lines) {
    size_t fields = 0;
    text::ForEachField(l, [&](size_t, std::string_view f) {
      ++fields;
      shown += ShownField(f).size();
      return true;
    });
    if (fields > heads) __builtin_trap();
  }
  (void)DuplicateIds(lines);
  (void)shown;
}

// The input as a file of its own, for the import.
std::string AsFile(std::string_view bytes, const char* ext) {
  const std::string path = "/dev/shm/tombolix-fuzz-" + std::to_string(getpid()) + "-e" + ext;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return {};
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  sheet::Visitor& v = Visitor();
#if defined(FUZZ_XLS) || defined(FUZZ_CSV)
  // Read from a file, as the program reads them: xls through its helper program (beside this
  // harness), csv block by block through the decoder.
#if defined(FUZZ_XLS)
  static const char kExt[] = ".xls";
#else
  static const char kExt[] = ".csv";
#endif
  static const std::string path =
      "/dev/shm/tombolix-fuzz-" + std::to_string(getpid()) + std::string(kExt);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
#if defined(FUZZ_XLS)
  sheet::ReadXls(path, v, error);
#else
  sheet::ReadCsv(path, v, error);
#endif
  (void)bytes;
  ImportEndToEnd(path);
#elif defined(FUZZ_ODS)
  const std::string file =
      size > 0 && data[0] == '<'
          ? StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                       {"content.xml", bytes}})
          : std::string(bytes);
  sheet::ReadOdsBuffer(file, v, error);
  ImportEndToEnd(AsFile(file, ".ods"));
#else
  std::string file;
  if (size > 0 && data[0] == '<') {
    const std::vector<std::string_view> p = SplitNul(bytes);
    file = StoredZip({{"_rels/.rels", kRels},
                      {"xl/workbook.xml", kWorkbook},
                      {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                      {"xl/worksheets/sheet1.xml", p[0]},
                      {"xl/sharedStrings.xml", p[1]},
                      {"xl/styles.xml", p[2]}});
  } else {
    file = std::string(bytes);
  }
  sheet::ReadXlsxBuffer(file, v, error);
  ImportEndToEnd(AsFile(file, ".xlsx"));
#endif
  return 0;
}
