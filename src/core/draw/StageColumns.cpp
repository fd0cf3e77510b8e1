#include "core/draw/StageColumns.h"

#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace {

// `needle` at a character boundary of the GBK text `s`, never across two characters.
bool ContainsGbk(std::string_view s, std::string_view needle) {
  for (size_t i = 0; i + needle.size() <= s.size();) {
    if (s.compare(i, needle.size(), needle) == 0) return true;
    i += static_cast<unsigned char>(s[i]) >= 0x81 && i + 1 < s.size() ? 2 : 1;
  }
  return false;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  text::ForEachField(line, [&out](size_t, std::string_view f) {
    out.push_back(f);
    return true;
  });
  return out;
}

void Join(std::string& to, std::string_view field) {
  if (field.empty()) return;
  if (!to.empty()) to += ' ';
  to += field;
}

}  // namespace

std::string MaskId(std::string_view s, int32_t hideBegin, int32_t hideEnd) {
  const std::string t = text::Trim(s);
  if (hideBegin > hideEnd) return t;
  // Whole characters: a Chinese character is masked by one X, never cut in half.
  std::string out;
  out.reserve(t.size());
  int64_t position = 0;
  for (size_t i = 0; i < t.size();) {
    const size_t n = GbkCharLength(t, i);
    ++position;
    if (position >= hideBegin && position <= hideEnd)
      out += 'X';
    else
      out.append(t, i, n);
    i += n;
  }
  return out;
}

std::vector<TColumnShow> ParseColumnShows(std::string_view stored) {
  std::vector<TColumnShow> shows;
  for (char c : stored)
    shows.push_back(c == 'H'   ? TColumnShow::Hidden
                    : c == 'M' ? TColumnShow::Masked
                               : TColumnShow::Shown);
  return shows;
}

std::string FormatColumnShows(const std::vector<TColumnShow>& shows) {
  std::string out;
  for (TColumnShow s : shows)
    out += s == TColumnShow::Hidden ? 'H' : s == TColumnShow::Masked ? 'M' : 'S';
  while (!out.empty() && out.back() == 'S') out.pop_back();
  return out;
}

int NameColumnOf(std::string_view titleLine) {
  const std::vector<std::string_view> titles = Fields(titleLine);
  const std::string full = text::G("姓名"), alone = text::G("名字");
  for (size_t i = 0; i < titles.size(); ++i)
    if (ContainsGbk(titles[i], full)) return static_cast<int>(i);
  for (size_t i = 0; i < titles.size(); ++i)
    if (titles[i] == alone) return static_cast<int>(i);
  return -1;
}

TStageColumns::TStageColumns(std::string_view titleLine, std::string_view stored, bool numericIds,
                             int32_t hideBegin, int32_t hideEnd)
    : m_shows(ParseColumnShows(stored)),
      m_name(NameColumnOf(titleLine)),
      m_numeric(numericIds),
      m_hideBegin(hideBegin),
      m_hideEnd(hideEnd) {}

TColumnShow TStageColumns::ShowOf(size_t column) const {
  return column < m_shows.size() ? m_shows[column] : TColumnShow::Shown;
}

TWinnerCard TStageColumns::Card(std::string_view candidateLine) const {
  const std::vector<std::string_view> f = Fields(candidateLine);
  TWinnerCard card;
  if (f.empty()) return card;
  // Which column is which: the titled name, else the old rule of the list's first fields.
  size_t id = 0;
  int name = m_name;
  bool hasId = true;
  if (name < 0) {
    if (m_numeric) {
      name = 1;
    } else {
      name = 0;
      hasId = false;
    }
  } else if (name == 0) {
    hasId = false;
  }
  auto shown = [this, &f](size_t c) -> std::string {
    if (c >= f.size() || ShowOf(c) == TColumnShow::Hidden) return {};
    if (c != 0 && ShowOf(c) == TColumnShow::Masked) return MaskId(f[c], m_hideBegin, m_hideEnd);
    return std::string(f[c]);
  };
  if (hasId) card.id = shown(id);
  card.name = shown(static_cast<size_t>(name));
  for (size_t c = 0; c < f.size(); ++c)
    if (c != static_cast<size_t>(name) && (c != id || !hasId)) Join(card.rest, shown(c));
  return card;
}

std::string TStageColumns::ShortLine(std::string_view candidateLine) const {
  const TWinnerCard c = Card(candidateLine);
  if (c.id.empty()) return c.name;
  if (c.name.empty()) return c.id;
  return c.id + "  " + c.name;
}

std::string TStageColumns::ListLine(std::string_view candidateLine) const {
  // Without a choice the list keeps its lines exactly as before.
  if (FormatColumnShows(m_shows).empty()) return MaskId(candidateLine, m_hideBegin, m_hideEnd);
  const std::vector<std::string_view> f = Fields(candidateLine);
  std::string out;
  for (size_t c = 0; c < f.size(); ++c) {
    if (ShowOf(c) == TColumnShow::Hidden) continue;
    if (c == 0 || ShowOf(c) == TColumnShow::Masked)
      Join(out, MaskId(f[c], m_hideBegin, m_hideEnd));
    else
      Join(out, f[c]);
  }
  return out;
}
