// Small text routines the readers and writers share: a UTF-8 sequence's length, a hex
// digit's value, a moment as local time.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace text {

// Length of the UTF-8 sequence that starts at `i` of `s`, or 0 when none does (a stray
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF, or cut short).
size_t Utf8Length(std::string_view s, size_t i);

// The value of a hexadecimal digit of either case, or -1.
int HexDigit(char c);

// The moment `t` as local time in strftime's `format` (at most 63 bytes of text).
std::string LocalTime(std::time_t t, const char* format);

}  // namespace text
