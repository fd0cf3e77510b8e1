#include "core/import/Zip.h"

#include <expat.h>
#include <zip.h>

#include <cstring>
#include <memory>

#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace sheet {

namespace {

// Prefixes are dropped rather than resolved: the parts we read use one vocabulary each, and
// namespace processing costs a third of the parse.
constexpr char kNsSep = ':';
constexpr size_t kBlock = 1 << 16;

std::string_view Local(const char* name) {
  const char* start = name;
  const char* p = name;
  for (; *p; ++p)
    if (*p == kNsSep) start = p + 1;
  return std::string_view(start, static_cast<size_t>(p - start));
}

std::string Corrupt(const std::string& name) {
  return text::G("文件不是有效的电子表格文件,或者已经损坏:") + name;
}

}  // namespace

ZipArchive::~ZipArchive() {
  if (m_zip) zip_discard(m_zip);
}

bool ZipArchive::OpenFile(std::string_view gbkPath, std::string& error) {
  m_name = std::string(gbkPath);
  int err = 0;
  m_zip = zip_open(paths::U8(paths::NativePath(gbkPath)).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!m_zip) {
    error = Corrupt(m_name);
    return false;
  }
  return Check(error);
}

bool ZipArchive::OpenBuffer(std::string_view bytes, std::string& error) {
  m_name = text::G("(内存)");
  zip_error_t ze;
  zip_error_init(&ze);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &ze);
  if (src) {
    m_zip = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze);
    if (!m_zip) zip_source_free(src);
  }
  zip_error_fini(&ze);
  if (!m_zip) {
    error = Corrupt(m_name);
    return false;
  }
  return Check(error);
}

bool ZipArchive::Check(std::string& error) {
  const zip_int64_t n = zip_get_num_entries(m_zip, 0);
  uint64_t total = 0;
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
      error = Corrupt(m_name);
      return false;
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      error = text::G("文件已加密,请先在电子表格软件中取消密码后再导入:") + m_name;
      return false;
    }
    if (st.valid & ZIP_STAT_SIZE) total += st.size;
    if (total > kMaxUnpackedBytes) {
      error = text::G("文件解压后超过2048MB,不能导入:") + m_name;
      return false;
    }
  }
  return true;
}

std::vector<std::string> ZipArchive::Names() const {
  std::vector<std::string> out;
  if (!m_zip) return out;
  const zip_int64_t n = zip_get_num_entries(m_zip, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name) out.emplace_back(name);
  }
  return out;
}

bool ZipArchive::Has(std::string_view name) const {
  return m_zip && zip_name_locate(m_zip, std::string(name).c_str(), ZIP_FL_NOCASE) >= 0;
}

bool ZipArchive::ReadPart(std::string_view name, std::string& out, std::string& error) {
  out.clear();
  return StreamPart(
      name,
      [&](const char* d, size_t n) {
        out.append(d, n);
        return true;
      },
      error);
}

bool ZipArchive::StreamPart(std::string_view name,
                            const std::function<bool(const char*, size_t)>& sink,
                            std::string& error) {
  const zip_int64_t index = zip_name_locate(m_zip, std::string(name).c_str(), ZIP_FL_NOCASE);
  if (index < 0) {
    error = Corrupt(m_name);
    return false;
  }
  zip_stat_t st;
  if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
    error = Corrupt(m_name);
    return false;
  }
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> f(
      zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0), zip_fclose);
  if (!f) {
    error = Corrupt(m_name);
    return false;
  }
  const uint64_t declared = (st.valid & ZIP_STAT_SIZE) ? st.size : kMaxUnpackedBytes;
  uint64_t got = 0;
  std::unique_ptr<char[]> buf(new char[kBlock]);
  while (true) {
    const zip_int64_t n = zip_fread(f.get(), buf.get(), kBlock);
    if (n < 0) {
      error = Corrupt(m_name);
      return false;
    }
    if (n == 0) break;
    got += static_cast<uint64_t>(n);
    m_unpacked += static_cast<uint64_t>(n);
    // A part that unpacks to more than it declared is not trusted any further.
    if (got > declared || m_unpacked > kMaxUnpackedBytes) {
      error = text::G("文件解压后超过2048MB,不能导入:") + m_name;
      return false;
    }
    if (!sink(buf.get(), static_cast<size_t>(n))) return true;
  }
  return true;
}

ZipWriter::ZipWriter() : m_error(new zip_error) {
  zip_error_init(m_error);
  m_source = zip_source_buffer_create(nullptr, 0, 0, m_error);
  if (!m_source) return;
  zip_source_keep(m_source);
  m_zip = zip_open_from_source(m_source, ZIP_TRUNCATE, m_error);
}

ZipWriter::~ZipWriter() {
  if (m_zip) zip_discard(m_zip);
  if (m_source) zip_source_free(m_source);
  zip_error_fini(m_error);
  delete m_error;
}

bool ZipWriter::Add(const std::string& utf8Name, const std::string& bytes) {
  zip_source_t* s = zip_source_buffer(m_zip, bytes.data(), bytes.size(), 0);
  if (!s) return false;
  if (zip_file_add(m_zip, utf8Name.c_str(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
    zip_source_free(s);
    return false;
  }
  return true;
}

bool ZipWriter::Finish(std::string& out) {
  const int closed = zip_close(m_zip);
  if (closed != 0) return false;
  m_zip = nullptr;
  if (zip_source_open(m_source) != 0) return false;
  out.clear();
  char buf[65536];
  zip_int64_t n;
  while ((n = zip_source_read(m_source, buf, sizeof buf)) > 0)
    out.append(buf, static_cast<size_t>(n));
  zip_source_close(m_source);
  return n == 0;
}

XmlParser::XmlParser() {
  m_parser = XML_ParserCreate(nullptr);
  XML_SetUserData(m_parser, this);
  XML_SetElementHandler(m_parser, &StartThunk, &EndThunk);
  XML_SetCharacterDataHandler(m_parser, &TextThunk);
  XML_SetStartDoctypeDeclHandler(m_parser, &DoctypeThunk);
}

XmlParser::~XmlParser() {
  if (m_parser) XML_ParserFree(m_parser);
}

void XmlParser::Stop() {
  if (!m_stopped) {
    m_stopped = true;
    XML_StopParser(m_parser, XML_FALSE);
  }
}

const char* XmlParser::Attr(const char** attrs, std::string_view localName) {
  for (int i = 0; attrs[i]; i += 2)
    if (Local(attrs[i]) == localName) return attrs[i + 1];
  return nullptr;
}

void XmlParser::StartThunk(void* self, const char* name, const char** attrs) {
  auto* p = static_cast<XmlParser*>(self);
  if (!p->m_stopped) p->OnStart(Local(name), attrs);
}
void XmlParser::EndThunk(void* self, const char* name) {
  auto* p = static_cast<XmlParser*>(self);
  if (!p->m_stopped) p->OnEnd(Local(name));
}
void XmlParser::TextThunk(void* self, const char* s, int len) {
  auto* p = static_cast<XmlParser*>(self);
  if (!p->m_stopped) p->OnText(std::string_view(s, static_cast<size_t>(len)));
}
void XmlParser::DoctypeThunk(void* self, const char*, const char*, const char*, int) {
  auto* p = static_cast<XmlParser*>(self);
  p->m_doctype = true;
  p->Stop();
}

bool XmlParser::Feed(const char* data, size_t size, bool last, std::string& error) {
  if (m_stopped) return true;
  const XML_Status s = XML_Parse(m_parser, data, static_cast<int>(size), last ? 1 : 0);
  if (m_doctype) {
    error = text::G("文件内容格式不正确(含有DTD),不能导入");
    return false;
  }
  if (s == XML_STATUS_ERROR && !m_stopped) {
    error = text::G("文件内容格式不正确,第") + std::to_string(XML_GetCurrentLineNumber(m_parser)) +
            text::G("行:") + XML_ErrorString(XML_GetErrorCode(m_parser));
    return false;
  }
  return true;
}

bool XmlParser::ParsePart(ZipArchive& zip, std::string_view name, std::string& error) {
  bool ok = true;
  if (!zip.StreamPart(
          name,
          [&](const char* d, size_t n) {
            ok = Feed(d, n, false, error);
            return ok && !m_stopped;
          },
          error))
    return false;
  if (!ok) return false;
  return Feed("", 0, true, error);
}

bool XmlParser::ParseText(std::string_view xml, std::string& error) {
  for (size_t at = 0; at < xml.size() && !m_stopped; at += kBlock)
    if (!Feed(xml.data() + at, std::min(kBlock, xml.size() - at), false, error)) return false;
  return Feed("", 0, true, error);
}

}  // namespace sheet
