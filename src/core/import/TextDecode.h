// Text sources come from any editor: GBK/GB18030 (the default), UTF-8 with or without
// byte-order mark, UTF-16 LE/BE with byte-order mark (Notepad's "Unicode").
#pragma once

#include <string>
#include <string_view>

#include "core/text/FileWrite.h"

namespace textsrc {

// Turns the file's bytes into GBK. A UTF-8 text (BOM, or valid UTF-8 that is not plain
// ASCII) and a UTF-16 text with BOM are converted; anything else is taken as GBK. False
// with the error text only for a UTF-16 text that does not convert.
bool DecodeToGbk(std::string bytes, std::string& gbk, std::string& error);

// Largest text or csv source: some 35 million candidates.
inline constexpr unsigned long long kMaxTextBytes = 1ull << 30;

// Reads a whole regular file of at most kMaxTextBytes; false with the error text otherwise.
bool ReadSourceFile(std::string_view gbkPath, std::string& bytes, std::string& error);

// A text source read block by block, each block decoded to GBK as DecodeToGbk decodes the
// whole file; the file never sits in memory as a whole. A file without byte-order mark is
// read twice: once to tell UTF-8 from GBK, then to decode it.
class DecodedFile {
 public:
  DecodedFile();
  ~DecodedFile();
  DecodedFile(const DecodedFile&) = delete;
  DecodedFile& operator=(const DecodedFile&) = delete;

  // Opens a regular file of at most kMaxTextBytes and settles its encoding; false with the
  // error text otherwise.
  bool Open(std::string_view gbkPath, std::string& error);
  // The next block of GBK text; an empty block is the end. False with the error text.
  bool Next(std::string& gbk, std::string& error);

 private:
  enum class Encoding { Gbk, Utf8, Utf16Le, Utf16Be };
  bool ReadBlock(std::string& bytes, std::string& error);  // appends; false on a read error

  files::ReadHandle m_file;
  Encoding m_encoding = Encoding::Gbk;
  std::string m_carry;  // bytes of a character the last block cut in two
  bool m_eof = false;
};

}  // namespace textsrc
