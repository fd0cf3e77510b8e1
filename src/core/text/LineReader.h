// Reads a text file line by line in large blocks, without holding it whole. Lines end at LF;
// a CR before the LF is dropped. A last line without LF counts; nothing follows a final LF.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/FileWrite.h"

class LineReader {
 public:
  LineReader() = default;
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  ~LineReader() = default;

  // Opens a GBK path; false with the error text when it cannot be opened.
  bool Open(std::string_view gbkPath, std::string& error);

  // The next line, valid until the following call; false at the end or on a read error.
  bool Next(std::string_view& line);
  // An empty line at the end, as a reader past the end of a file gets.
  std::string_view NextOrEmpty();

  bool Failed() const { return m_failed; }
  const std::string& Error() const { return m_error; }
  // Size of the file, for reserving.
  long long Size() const { return m_size; }

 private:
  bool Fill();

  files::ReadHandle m_file{nullptr, std::fclose};
  std::vector<char> m_buf;
  size_t m_begin = 0;
  size_t m_end = 0;
  bool m_eof = false;
  bool m_failed = false;
  std::string m_error;
  long long m_size = 0;
};

// Hands each non-empty line of a GBK path, trimmed, to `each`, in file order. A missing file
// has no lines and is no error; false with the error text when it cannot be opened or read
// (the lines before the failure have been handed on).
bool ForEachTrimmedLine(std::string_view gbkPath, const std::function<void(std::string_view)>& each,
                        std::string& error);
