// How a cell value becomes the text a person sees: numbers, dates, booleans, and the
// blanks that stand for line breaks and tabs inside a cell.
#pragma once

#include <string>
#include <string_view>

namespace sheet {

// A number as the spreadsheet shows it in its general format: a whole number in plain
// digits without exponent or ".0" (13812345678), any other number in its shortest
// round-trip form. An integer literal is kept digit for digit. False when `raw` is no number.
bool FormatNumber(std::string_view raw, std::string& out);
std::string FormatDouble(double v);

// A day count of the spreadsheet's calendar (1900 or 1904 system) as "2024-03-12", with
// a time of day as "2024-03-12 08:30:00"; a time alone (below one day, time-only format)
// as "08:30:00".
std::string SerialToDateText(double serial, bool date1904, bool timeOnly);

// Whether a number format code shows a date or a time (y, m, d, h, s outside quotes,
// brackets and escapes).
bool IsDateFormatCode(std::string_view code);
// Built-in number formats 14-22 and 45-47 (and the East Asian date formats).
bool IsBuiltinDateFormat(int id);
bool IsBuiltinTimeOnlyFormat(int id);

// "2024-03-12T08:30:00" (ISO, as ods and xlsx date cells store it) as shown: the T becomes
// a blank, fractions of seconds and zones are dropped, midnight alone is dropped.
std::string IsoDateText(std::string_view iso);

// Replaces each run of CR, LF and tab by one blank, in place.
void FlattenLineBreaks(std::string& s);

// UTF-8 to GBK with a fast path for plain ASCII; bytes that do not convert become '?'.
void Utf8CellToGbk(std::string_view utf8, std::string& gbk);

}  // namespace sheet
