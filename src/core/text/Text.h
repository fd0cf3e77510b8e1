// Text rules of the system. Every text is a std::string of GBK bytes; lengths and
// positions count bytes, so a Chinese character counts as two.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// Removes bytes 0 to 32 (blank, tab, CR, LF, other control codes) at both ends.
std::string Trim(std::string_view s);
std::string_view TrimView(std::string_view s);

// Head before the first separator; `rest` keeps what follows it. Without the separator the
// whole text is the head and `rest` becomes empty.
void SplitHead(std::string& rest, char separator, std::string& head);

// Splits a line into fields as the readers do: repeated SplitHead at a blank, trimming the
// head and the rest each time, until a head comes out empty. Runs of blanks count as one,
// and the first empty field ends the line. `firstSeparator` splits the first field only.
std::vector<std::string> SplitFields(std::string_view line, char firstSeparator = ' ');

// Splits at every `separator`, keeping empty fields ("a,,b" gives "a", "", "b"); an empty
// text gives one empty field. Views into `s`.
std::vector<std::string_view> SplitAt(std::string_view s, char separator);

// First field of a line: the text before its first blank, trimmed; a view into `line`.
std::string_view FirstField(std::string_view line);

// Non-empty, and every byte is '0'..'9'.
bool IsAllDigits(std::string_view s);

std::string RepeatText(std::string_view s, int n);

// Decimal value of an all-digits text that fits a 32-bit signed integer.
bool ParseInt32(std::string_view digits, int32_t& value);

}  // namespace text
