#include "core/text/Text.h"

#include <limits>

namespace text {

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

void SplitHead(std::string& rest, char separator, std::string& head) {
  const size_t p = rest.find(separator);
  if (p == std::string::npos) {
    head = std::move(rest);
    rest.clear();
    return;
  }
  head = rest.substr(0, p);
  rest.erase(0, p + 1);
}

std::vector<std::string> SplitFields(std::string_view line, char firstSeparator) {
  std::vector<std::string> fields;
  std::string_view rest = TrimView(line);
  char sep = firstSeparator;
  while (true) {
    const size_t p = rest.find(sep);
    std::string_view head = TrimView(p == std::string_view::npos ? rest : rest.substr(0, p));
    rest = p == std::string_view::npos ? std::string_view() : TrimView(rest.substr(p + 1));
    if (head.empty()) break;
    fields.emplace_back(head);
    sep = ' ';
  }
  return fields;
}

std::vector<std::string_view> SplitAt(std::string_view s, char separator) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (true) {
    const size_t at = s.find(separator, start);
    out.push_back(
        s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return out;
    start = at + 1;
  }
}

std::string_view FieldAt(std::string_view line, int column) {
  std::string_view found;
  ForEachField(line, [&](size_t i, std::string_view f) {
    if (static_cast<int>(i) != column) return true;
    found = f;
    return false;
  });
  return found;
}

std::string_view FirstField(std::string_view line) {
  std::string_view t = TrimView(line);
  const size_t p = t.find(' ');
  return TrimView(p == std::string_view::npos ? t : t.substr(0, p));
}

bool IsAllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string RepeatText(std::string_view s, int n) {
  std::string out;
  if (n <= 0) return out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out.append(s);
  return out;
}

bool ParseInt32(std::string_view digits, int32_t& value) {
  if (!IsAllDigits(digits)) return false;
  int64_t v = 0;
  for (char c : digits) {
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) return false;
  }
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace text
