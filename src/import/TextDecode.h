// Text sources come from any editor: GBK/GB18030 (the default), UTF-8 with or without
// byte-order mark, UTF-16 LE/BE with byte-order mark (Notepad's "Unicode").
#pragma once

#include <string>
#include <string_view>

namespace textsrc {

// Turns the file's bytes into GBK. A UTF-8 text (BOM, or valid UTF-8 that is not plain
// ASCII) and a UTF-16 text with BOM are converted; anything else is taken as GBK. False
// with the error text only for a UTF-16 text that does not convert.
bool DecodeToGbk(std::string bytes, std::string& gbk, std::string& error);

// Largest text or csv source: some 35 million candidates.
inline constexpr unsigned long long kMaxTextBytes = 1ull << 30;

// Reads a whole regular file of at most kMaxTextBytes; false with the error text otherwise.
bool ReadWholeFile(std::string_view gbkPath, std::string& bytes, std::string& error);

}  // namespace textsrc
