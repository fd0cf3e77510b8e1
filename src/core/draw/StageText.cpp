#include "core/draw/StageText.h"

#include "core/records/DrawDataFile.h"
#include "core/text/Text.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The GBK full-width form of an ASCII punctuation mark, or null.
const char* FullWidth(char c) {
  switch (c) {
    case ',':
      return "\xA3\xAC";
    case ':':
      return "\xA3\xBA";
    case '(':
      return "\xA3\xA8";
    case ')':
      return "\xA3\xA9";
    case '!':
      return "\xA3\xA1";
    case '?':
      return "\xA3\xBF";
    case ';':
      return "\xA3\xBB";
    default:
      return nullptr;
  }
}

}  // namespace

size_t GbkCharLength(std::string_view s, size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x81 || lead > 0xFE || i + 1 >= s.size()) return 1;
  const auto second = static_cast<unsigned char>(s[i + 1]);
  if (second >= 0x30 && second <= 0x39) return i + 3 < s.size() ? 4 : 1;
  return 2;
}

std::string StagePunctuation(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 8);
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b >= 0x81 && i + 1 < n) {  // a double-byte character stays whole
      out += s[i];
      out += s[++i];
      continue;
    }
    const char c = s[i];
    const char* wide = FullWidth(c);
    const bool numeric =
        (c == ',' || c == ':') && i > 0 && i + 1 < n && IsDigit(s[i - 1]) && IsDigit(s[i + 1]);
    if (!wide || numeric) {
      out += c;
      continue;
    }
    out += wide;
    // The full-width mark carries its own space.
    if (c != '(' && c != ')')
      while (i + 1 < n && s[i + 1] == ' ') ++i;
  }
  return out;
}

TWinnerCard WinnerCard(std::string_view line) {
  TWinnerCard card;
  std::vector<std::string> fields = text::SplitFields(text::TrimView(line));
  std::vector<std::string> kept;
  for (std::string& f : fields)
    if (!f.empty()) kept.push_back(std::move(f));
  if (kept.empty()) return card;
  // The id stays as stored (photos are named by it); the others show a cell's blanks as
  // blanks, so that a long name wraps at them.
  card.id = kept[0];
  if (kept.size() > 1) card.name = ShownField(kept[1]);
  for (size_t i = 2; i < kept.size(); ++i) {
    if (!card.rest.empty()) card.rest += ' ';
    card.rest += ShownField(kept[i]);
  }
  return card;
}
