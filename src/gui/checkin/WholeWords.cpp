#include "gui/checkin/WholeWords.h"

namespace {

constexpr char16_t kJoiner = 0x2060;

bool BreakAfter(QChar c) {
  return c.isSpace() || QStringView(u"，。、；：！？）」』”’》】,.;:!?)").contains(c);
}

bool BreakBefore(QChar c) { return c.isSpace() || QStringView(u"（「『“‘《【(").contains(c); }

}  // namespace

QString WholeWords(const QString& text) {
  QString out;
  out.reserve(text.size() * 2);
  for (qsizetype i = 0; i < text.size(); ++i) {
    out += text[i];
    // A surrogate pair is one character: nothing goes between its halves.
    if (i + 1 < text.size() && !text[i].isHighSurrogate() && !BreakAfter(text[i]) &&
        !BreakBefore(text[i + 1]))
      out += QChar(kJoiner);
  }
  return out;
}
