#include "core/import/Cells.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace sheet {

namespace {

bool IsIntegerLiteral(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  if (s.empty() || (s.size() > 1 && s[0] == '0')) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Days since 1970-01-01 to a civil date.
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

}  // namespace

bool FormatNumber(std::string_view raw, std::string& out) {
  const std::string_view s = text::TrimView(raw);
  if (IsIntegerLiteral(s)) {
    out.assign(s);
    return true;
  }
  std::string z(s);
  char* end = nullptr;
  const double v = std::strtod(z.c_str(), &end);
  if (z.empty() || end != z.c_str() + z.size() || !std::isfinite(v)) return false;
  out = FormatDouble(v);
  return true;
}

std::string FormatDouble(double v) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NaN" : (v > 0 ? "Infinity" : "-Infinity");
  std::string out;
  char buf[400];
  std::to_chars_result r;
  if (v == std::floor(v) && std::fabs(v) < 1e21)
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  else
    r = std::to_chars(buf, buf + sizeof buf, v);
  if (r.ec != std::errc()) return "0";
  out.assign(buf, r.ptr);
  if (out == "-0") out = "0";
  return out;
}

std::string SerialToDateText(double serial, bool date1904, bool timeOnly, bool withTime) {
  if (!std::isfinite(serial) || serial < 0 || serial > 2958466) {
    return FormatDouble(serial);
  }
  int64_t day = static_cast<int64_t>(std::floor(serial));
  int64_t secs = std::llround((serial - static_cast<double>(day)) * 86400.0);
  if (secs >= 86400) {
    ++day;
    secs -= 86400;
  }
  char buf[64];
  const int hh = static_cast<int>(secs / 3600), mm = static_cast<int>(secs / 60 % 60),
            ss = static_cast<int>(secs % 60);
  if (timeOnly && day == 0) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hh, mm, ss);
    return buf;
  }
  // 1900 system: day 1 is 1900-01-01 and day 60 the 29 February 1900 that never was.
  int64_t unixDays;
  if (date1904)
    unixDays = day - 24107;  // 1904-01-01
  else if (day >= 61)
    unixDays = day - 25569;  // 1899-12-30
  else
    unixDays = day - 25568;  // 1899-12-31
  int64_t y;
  unsigned m, d;
  if (!date1904 && day == 60) {
    y = 1900, m = 2, d = 29;
  } else {
    CivilFromDays(unixDays, y, m, d);
  }
  if (secs == 0 && !withTime)
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  else
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y), m,
                  d, hh, mm, ss);
  return buf;
}

bool IsDateFormatCode(std::string_view code) {
  bool inQuote = false;
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (inQuote) {
      if (c == '"') inQuote = false;
      continue;
    }
    switch (c) {
      case '"':
        inQuote = true;
        break;
      case '\\':
      case '_':
      case '*':
        ++i;
        break;
      case '[': {
        // [h], [mm], [ss] are elapsed times; colours and locales are not.
        const size_t close = code.find(']', i);
        if (close == std::string_view::npos) return false;
        const std::string_view inner = code.substr(i + 1, close - i - 1);
        if (!inner.empty() && (inner[0] == 'h' || inner[0] == 'H' || inner[0] == 'm' ||
                               inner[0] == 'M' || inner[0] == 's' || inner[0] == 'S'))
          return true;
        i = close;
        break;
      }
      case 'y':
      case 'Y':
      case 'm':
      case 'M':
      case 'd':
      case 'D':
      case 'h':
      case 'H':
      case 's':
      case 'S':
        return true;
      case ';':
        return false;  // only the first section decides
      default:
        break;
    }
  }
  return false;
}

bool IsBuiltinDateFormat(int id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
         (id >= 50 && id <= 58);
}

bool IsBuiltinTimeOnlyFormat(int id) { return (id >= 18 && id <= 21) || (id >= 45 && id <= 47); }

std::string IsoDateText(std::string_view iso, bool withTime) {
  std::string s(text::TrimView(iso));
  const size_t t = s.find('T');
  if (t == std::string::npos) return withTime && s.size() == 10 ? s + " 00:00:00" : s;
  std::string date = s.substr(0, t);
  std::string time = s.substr(t + 1);
  const size_t cut = time.find_first_of(".Z+-");
  if (cut != std::string::npos) time.resize(cut);
  if (time.empty() || time == "00:00:00" || time == "00:00") {
    if (!withTime) return date;
    time = "00:00:00";
  }
  return date + " " + time;
}

namespace {

// The first section of a format code with its quoted texts, escapes, paddings and brackets
// taken out; false when it shows text of its own (a quoted or escaped literal, a currency).
bool FormatSkeleton(std::string_view code, std::string& out) {
  out.clear();
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == ';') break;
    if (c == '"' || c == '\\') return false;
    if (c == '_' || c == '*') {
      ++i;  // a padding the width of the next character
      continue;
    }
    if (c == '[') {
      const size_t close = code.find(']', i);
      if (close == std::string_view::npos) return false;
      const std::string_view inner = code.substr(i + 1, close - i - 1);
      // [$-804] names a locale; [$¥-804] shows a currency sign.
      if (!inner.empty() && inner[0] == '$' && inner.size() > 1 && inner[1] != '-') return false;
      i = close;
      continue;
    }
    out += c;
  }
  return true;
}

bool ShowsTime(std::string_view code) {
  bool inQuote = false;
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (inQuote) {
      inQuote = c != '"';
      continue;
    }
    if (c == '"') {
      inQuote = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      const size_t close = code.find(']', i);
      if (close == std::string_view::npos) return false;
      const char k = close > i + 1 ? code[i + 1] : ' ';
      if (k == 'h' || k == 'H' || k == 's' || k == 'S') return true;
      i = close;
    } else if (c == ';') {
      return false;
    } else if (c == 'h' || c == 'H' || c == 's' || c == 'S') {
      return true;
    }
  }
  return false;
}

// The digits of |v| rounded to 15 significant digits, and where the decimal point goes:
// v = 0.<digits> * 10^point.
void Digits(double v, std::string& digits, int& point) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
  digits.clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  point = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
}

// |v| * 10^shift with `decimals` decimals, rounded half away from zero.
std::string FixedText(double v, int decimals, bool grouped, int shift) {
  std::string digits;
  int point = 0;
  Digits(v, digits, point);
  point += shift;
  // Integer and fraction digits, then the one that decides the rounding.
  std::string whole, fraction;
  for (int i = 0; i < point; ++i)
    whole += i < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(i)] : '0';
  for (int i = point; static_cast<int>(fraction.size()) <= decimals; ++i)
    fraction +=
        i >= 0 && i < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(i)] : '0';
  const bool up = fraction.back() >= '5';
  fraction.pop_back();
  std::string all = whole + fraction;
  if (up) {
    size_t i = all.size();
    while (i > 0 && all[i - 1] == '9') all[--i] = '0';
    if (i == 0)
      all.insert(all.begin(), '1');
    else
      ++all[i - 1];
  }
  whole = all.substr(0, all.size() - fraction.size());
  fraction = all.substr(whole.size());
  const size_t nonZero = whole.find_first_not_of('0');
  whole = nonZero == std::string::npos ? "0" : whole.substr(nonZero);
  if (grouped)
    for (size_t at = whole.size(); at > 3; at -= 3) whole.insert(at - 3, ",");
  const bool zero = all.find_first_not_of('0') == std::string::npos;
  return (v < 0 && !zero ? "-" : "") + whole + (decimals > 0 ? "." + fraction : "");
}

}  // namespace

NumberFormat ParseFormatCode(std::string_view code) {
  NumberFormat f;
  if (IsDateFormatCode(code)) {
    const bool hasDate = std::string_view(code).find_first_of("yYdD") != std::string_view::npos;
    f.kind = !hasDate          ? NumberFormat::Kind::Time
             : ShowsTime(code) ? NumberFormat::Kind::DateTime
                               : NumberFormat::Kind::Date;
    return f;
  }
  std::string s;
  if (!FormatSkeleton(code, s) || s.empty()) return f;
  bool percent = false;
  if (s.back() == '%') {
    percent = true;
    s.pop_back();
  }
  const size_t dot = s.find('.');
  const std::string whole = s.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : s.substr(dot + 1);
  // "0", "#,##0": placeholders and commas, ending on a placeholder (a trailing comma scales).
  if (whole.empty() || whole.find_first_not_of("#0,") != std::string::npos || whole.back() == ',' ||
      whole.find_first_of("#0") == std::string::npos)
    return f;
  // Only zeros after the point: "0.##" would show a varying number of decimals.
  if (fraction.find_first_not_of('0') != std::string::npos || fraction.size() > 15) return f;
  f.kind = percent ? NumberFormat::Kind::Percent : NumberFormat::Kind::Fixed;
  f.decimals = static_cast<int>(fraction.size());
  f.grouped = whole.find(',') != std::string::npos;
  return f;
}

NumberFormat BuiltinFormat(int id) {
  using K = NumberFormat::Kind;
  switch (id) {
    case 1:
      return {K::Fixed, 0, false};
    case 2:
      return {K::Fixed, 2, false};
    case 3:
      return {K::Fixed, 0, true};
    case 4:
      return {K::Fixed, 2, true};
    case 9:
      return {K::Percent, 0, false};
    case 10:
      return {K::Percent, 2, false};
    case 22:  // m/d/yy h:mm
      return {K::DateTime, 0, false};
    default:
      break;
  }
  if (IsBuiltinTimeOnlyFormat(id)) return {K::Time, 0, false};
  if (IsBuiltinDateFormat(id)) return {K::Date, 0, false};
  return {};
}

NumberFormat IdColumnFormat(NumberFormat f) {
  using K = NumberFormat::Kind;
  if (f.kind == K::DateTime) f.kind = K::Date;
  if (f.kind == K::Fixed || f.kind == K::Percent) f = NumberFormat();
  return f;
}

std::string ShowNumber(double v, const NumberFormat& f, bool date1904) {
  using K = NumberFormat::Kind;
  if (!std::isfinite(v)) return FormatDouble(v);
  switch (f.kind) {
    case K::Date:
      return SerialToDateText(v, date1904, false);
    case K::DateTime:
      return SerialToDateText(v, date1904, false, true);
    case K::Time:
      return SerialToDateText(v, date1904, true);
    case K::Fixed:
      return FixedText(v, f.decimals, f.grouped, 0);
    case K::Percent:
      return FixedText(v, f.decimals, f.grouped, 2) + "%";
    case K::General:
      break;
  }
  return FormatDouble(v);
}

void FlattenLineBreaks(std::string& s) {
  size_t w = 0;
  bool inRun = false;
  for (size_t r = 0; r < s.size(); ++r) {
    const char c = s[r];
    if (c == '\r' || c == '\n' || c == '\t') {
      if (!inRun) s[w++] = ' ';
      inRun = true;
    } else {
      s[w++] = c;
      inRun = false;
    }
  }
  s.resize(w);
}

void Utf8CellToGbk(std::string_view utf8, std::string& gbk) {
  bool ascii = true;
  for (unsigned char c : utf8)
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii)
    gbk.assign(utf8);
  else
    gbk = text::Utf8ToGbk(utf8);
  FlattenLineBreaks(gbk);
}

}  // namespace sheet
