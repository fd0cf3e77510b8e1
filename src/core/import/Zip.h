// The zip container of xlsx and ods files (libzip) and a streaming XML parser over its
// parts (expat). Parts are unpacked in blocks and parsed as they come, so a sheet of a
// million rows never sits in memory as XML.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct zip;
struct zip_error;
struct zip_source;
struct XML_ParserStruct;

namespace sheet {

// Largest total the readers unpack from one zip; a file that claims more is refused before
// anything is unpacked.
inline constexpr uint64_t kMaxUnpackedBytes = 2ull << 30;

class ZipArchive {
 public:
  ZipArchive() = default;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive();

  // Opens and checks the directory: refuses encrypted entries and archives whose parts
  // claim to unpack to more than kMaxUnpackedBytes. Errors are in the system's words.
  bool OpenFile(std::string_view gbkPath, std::string& error);
  bool OpenBuffer(std::string_view bytes, std::string& error);

  bool Has(std::string_view name) const;
  // The entries' names in directory order.
  std::vector<std::string> Names() const;
  // Whole part (for the small ones: relationships, workbook, styles, mimetype).
  bool ReadPart(std::string_view name, std::string& out, std::string& error);
  // Hands the part to `sink` block by block; `sink` returns false to stop early.
  bool StreamPart(std::string_view name, const std::function<bool(const char*, size_t)>& sink,
                  std::string& error);

  const std::string& Name() const { return m_name; }

 private:
  bool Check(std::string& error);
  zip* m_zip = nullptr;
  std::string m_name;  // the file's GBK path, for messages
  uint64_t m_unpacked = 0;
};

// A zip built in memory (deflated entries, UTF-8 names), for a writer that then writes its
// bytes through the one atomic writer.
class ZipWriter {
 public:
  ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  ~ZipWriter();
  bool Ok() const { return m_zip != nullptr; }
  // Adds an entry; `bytes` must stay alive until Finish.
  bool Add(const std::string& utf8Name, const std::string& bytes);
  // Closes the archive and hands its bytes over.
  bool Finish(std::string& out);

 private:
  zip_error* m_error = nullptr;
  zip_source* m_source = nullptr;
  zip* m_zip = nullptr;
};

// An expat parser that hands local names (the part after the prefix) to its handlers. Documents
// with a DOCTYPE are refused, so no entity is ever expanded.
class XmlParser {
 public:
  XmlParser();
  XmlParser(const XmlParser&) = delete;
  XmlParser& operator=(const XmlParser&) = delete;
  virtual ~XmlParser();

  // Parses the part; false with the error text on malformed XML or a read failure.
  bool ParsePart(ZipArchive& zip, std::string_view name, std::string& error);
  bool ParseText(std::string_view xml, std::string& error);

 protected:
  // Local names; attrs is expat's null-terminated name/value array with qualified names
  // (use Attr() to look one up by local name).
  virtual void OnStart(std::string_view name, const char** attrs) = 0;
  virtual void OnEnd(std::string_view name) = 0;
  virtual void OnText(std::string_view) {}
  // Ends the parse early without error (from a handler).
  void Stop();
  static const char* Attr(const char** attrs, std::string_view localName);

 private:
  bool Feed(const char* data, size_t size, bool last, std::string& error);
  static void StartThunk(void* self, const char* name, const char** attrs);
  static void EndThunk(void* self, const char* name);
  static void TextThunk(void* self, const char* s, int len);
  static void DoctypeThunk(void* self, const char*, const char*, const char*, int);
  XML_ParserStruct* m_parser = nullptr;
  bool m_stopped = false;
  bool m_doctype = false;
};

}  // namespace sheet
