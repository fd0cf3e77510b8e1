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
// a time of day as "2024-03-12 08:30:00" (midnight too when `withTime`); a time alone
// (below one day, time-only format) as "08:30:00".
std::string SerialToDateText(double serial, bool date1904, bool timeOnly, bool withTime = false);

// What a cell's number format shows, as far as the import follows it: dates, a date with its
// time of day, times, fixed decimals ("0.00", "#,##0.00") and percentages ("0%", "0.00%").
// Any other format shows its number as General does.
struct NumberFormat {
  enum class Kind : char { General, Date, DateTime, Time, Fixed, Percent };
  Kind kind = Kind::General;
  int decimals = 0;
  bool grouped = false;  // thousands separated by commas
};
NumberFormat ParseFormatCode(std::string_view code);
NumberFormat BuiltinFormat(int id);
// The id in column 1 never changes with its format: numbers stay plain (General) and dates
// are shown as before formats were followed.
NumberFormat IdColumnFormat(NumberFormat f);

// `v` as `f` shows it: "25%", "1,234.50", "2024-03-12 00:00:00". Decimals are rounded half
// away from zero on the number's 15 significant digits, as spreadsheets do.
std::string ShowNumber(double v, const NumberFormat& f, bool date1904);

// Whether a number format code shows a date or a time (y, m, d, h, s outside quotes,
// brackets and escapes).
bool IsDateFormatCode(std::string_view code);
// Built-in number formats 14-22 and 45-47 (and the East Asian date formats).
bool IsBuiltinDateFormat(int id);
bool IsBuiltinTimeOnlyFormat(int id);

// "2024-03-12T08:30:00" (ISO, as ods and xlsx date cells store it) as shown: the T becomes
// a blank, fractions of seconds and zones are dropped, midnight alone is dropped unless
// `withTime` (a format that shows the time of day).
std::string IsoDateText(std::string_view iso, bool withTime = false);

// Replaces each run of CR, LF and tab by one blank, in place.
void FlattenLineBreaks(std::string& s);

// UTF-8 to GBK with a fast path for plain ASCII; bytes that do not convert become '?'.
void Utf8CellToGbk(std::string_view utf8, std::string& gbk);

}  // namespace sheet
