#include "core/import/Sheet.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/import/Zip.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace sheet {

namespace {

bool HasExtension(std::string_view path, std::string_view ext) {
  if (path.size() < ext.size()) return false;
  const std::string_view tail = path.substr(path.size() - ext.size());
  for (size_t i = 0; i < ext.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != ext[i]) return false;
  return true;
}

}  // namespace

Kind DetectKind(std::string_view gbkPath) {
  files::ReadHandle f = files::OpenForReading(gbkPath);
  if (!f) return Kind::Unknown;
  unsigned char head[8] = {};
  const size_t n = std::fread(head, 1, sizeof head, f.get());
  f.reset();
  if (n >= 4 && std::memcmp(head, "PK\x03\x04", 4) == 0) {
    ZipArchive zip;
    std::string error, mime;
    if (zip.OpenFile(gbkPath, error) && zip.Has("mimetype") &&
        zip.ReadPart("mimetype", mime, error) &&
        mime.rfind("application/vnd.oasis.opendocument.spreadsheet", 0) == 0)
      return Kind::Ods;
    return Kind::Xlsx;
  }
  if (n == 8 && std::memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) return Kind::Xls;
  if (HasExtension(gbkPath, ".csv") || HasExtension(gbkPath, ".txt") ||
      HasExtension(gbkPath, ".tsv"))
    return Kind::Csv;
  return Kind::Unknown;
}

bool ReadSheet(std::string_view gbkPath, Visitor& visitor, std::string& error) {
  std::error_code ec;
  if (std::filesystem::exists(paths::NativePath(gbkPath), ec) &&
      !std::filesystem::is_regular_file(paths::NativePath(gbkPath), ec)) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：不是普通文件");
    return false;
  }
  const auto size = std::filesystem::file_size(paths::NativePath(gbkPath), ec);
  if (!ec && size == 0) {
    error = text::G("文件为空，请重新选择文件!");
    return false;
  }
  switch (DetectKind(gbkPath)) {
    case Kind::Xlsx:
      return ReadXlsx(gbkPath, visitor, error);
    case Kind::Ods:
      return ReadOds(gbkPath, visitor, error);
    case Kind::Xls:
      return ReadXls(gbkPath, visitor, error);
    case Kind::Csv:
      return ReadCsv(gbkPath, visitor, error);
    case Kind::Unknown:
      break;
  }
  if (ec) {
    error = text::G("无法打开文件") + std::string(gbkPath) + text::G("：") +
            text::Utf8ToGbk(ec.message());
    return false;
  }
  error = text::G("文件不是有效的电子表格文件,或者已经损坏:") + std::string(gbkPath);
  return false;
}

}  // namespace sheet
