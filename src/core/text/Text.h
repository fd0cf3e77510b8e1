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
// Inline: the field walks below call it for every field of every candidate line.
inline std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

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

// Calls `f(index, field)` for the fields of the line as SplitFields splits it (at blanks),
// each a view into `line`, until `f` returns false or the fields end; nothing is copied.
template <typename F>
void ForEachField(std::string_view line, F&& f) {
  std::string_view rest = TrimView(line);
  for (size_t i = 0;; ++i) {
    const size_t p = rest.find(' ');
    const std::string_view head = TrimView(p == std::string_view::npos ? rest : rest.substr(0, p));
    rest = p == std::string_view::npos ? std::string_view() : TrimView(rest.substr(p + 1));
    if (head.empty() || !f(i, head)) return;
  }
}

// The field at 0-based `column` as SplitFields finds it, without splitting the whole line;
// empty when `column` is negative or the line has fewer fields.
std::string_view FieldAt(std::string_view line, int column);

// First field of a line: the text before its first blank, trimmed; a view into `line`.
std::string_view FirstField(std::string_view line);

// Non-empty, and every byte is '0'..'9'.
bool IsAllDigits(std::string_view s);

std::string RepeatText(std::string_view s, int n);

// Decimal value of an all-digits text that fits a 32-bit signed integer.
bool ParseInt32(std::string_view digits, int32_t& value);

}  // namespace text
