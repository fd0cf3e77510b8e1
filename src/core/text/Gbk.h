// Conversion between the system's GBK texts and UTF-8 at the edges (Qt, SQLite, file
// names). The codec is GB18030, a superset of GBK: GBK bytes pass unchanged and every
// Unicode character converts.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Invalid input bytes become U+FFFD (GBK to UTF-8) or '?' (UTF-8 to GBK); the conversion
// never fails and never loses the valid text around a bad byte.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Strict forms: false when the input holds a byte sequence that does not convert.
bool GbkToUtf8(std::string_view gbk, std::string& out);
bool Utf8ToGbk(std::string_view utf8, std::string& out);

bool IsValidUtf8(std::string_view s);
bool IsAscii(std::string_view s);

// Shorthand for literals written in this UTF-8 source: G("提示") is the GBK text.
inline std::string G(std::string_view utf8) { return Utf8ToGbk(utf8); }

}  // namespace text
