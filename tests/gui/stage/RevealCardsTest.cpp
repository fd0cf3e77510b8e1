// The cards of a batch at the smallest and the largest stage: the name is the largest text on
// every card, whatever the list's columns, the id below it and smaller, the other fields
// smaller still; a long name breaks into two lines and shrinks no other; the grand prize's
// several winners stand in rows with names no smaller than a batch's on the band.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPixmap>

#include "core/draw/StageColumns.h"
#include "core/text/Gbk.h"
#include "gui/stage/RevealCards.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

struct Columns {
  int count;
  const char* title;
  const char* line;
};

// Lists as HR departments hand them over: 3, 5 and 8 columns, an id that is no number.
const Columns kLists[] = {
    {3, "工号 姓名 部门", "E000123 欧阳娜娜 市场部"},
    {5, "工号 姓名 部门 分公司 手机", "E000123 欧阳娜娜 人力资源部 华东区上海分公司 13812345678"},
    {8, "工号 姓名 部门 分公司 手机 职位 入职日期 邮箱",
     "E000123 欧阳娜娜 人力资源部 华东区上海分公司 13812345678 高级招聘经理 2019-07-01 "
     "ouyang.nana@example.com"},
};

// The reveal band (944 × 202 of the design) scaled to the screen as the draw screen scales it.
QSize Band(QSize screen) {
  const double scale = std::min(screen.width() / 1016.0, screen.height() / 736.0);
  return QSize(qRound(944 * scale), qRound(202 * scale));
}

}  // namespace

TEST(RevealCards, TheNameIsTheLargestTextOnEveryCard) {
  QPixmap photo(QSize(300, 400));
  photo.fill(Qt::gray);
  for (const QSize screen : {QSize(1024, 768), QSize(3840, 2160)}) {
    for (const Columns& list : kLists) {
      const TWinnerCard w = TStageColumns(G(list.title), "", false, 0, 0).Card(G(list.line));
      for (int n : {1, 3, 6}) {
        for (bool withPhoto : {false, true}) {
          SCOPED_TRACE(QStringLiteral("%1x%2, %3 columns, %4 cards%5")
                           .arg(screen.width())
                           .arg(screen.height())
                           .arg(list.count)
                           .arg(n)
                           .arg(withPhoto ? ", photo" : "")
                           .toStdString());
          TRevealCards cards(nullptr);
          cards.resize(Band(screen));
          std::vector<TStageCard> batch(
              n, TStageCard{Q(w.id), Q(w.name), Q(w.rest), withPhoto ? photo : QPixmap()});
          cards.SetCards(batch);
          EXPECT_GT(cards.NamePixels(), cards.IdPixels());
          EXPECT_GT(cards.NamePixels(), cards.RestPixels());
          EXPECT_GT(cards.IdPixels(), 0);
          EXPECT_GT(cards.RestPixels(), 0);
          // Readable from the back: at 1024 × 768 a name of four characters is 28 px or more
          // on up to three cards, 20 px on six; at 4K 80 px and 60 px.
          const bool six = n == 6;
          EXPECT_GE(cards.NamePixels(), screen.width() > 2000 ? (six ? 60 : 80) : (six ? 20 : 28));
        }
      }
    }
  }
}

namespace {

// The grand prize's room for its cards: the middle of the whole screen below the prize's
// lines, as TGrandPrize lays it out.
QSize GrandMiddle(QSize screen) {
  const int margin = screen.width() / 20;
  const int top = screen.height() * 3 / 100 + screen.height() * 12 / 100 +
                  screen.height() * 7 / 100 + screen.height() / 40;
  return QSize(screen.width() - 2 * margin, screen.height() * 96 / 100 - top);
}

const QSize kScreens[] = {QSize(1024, 768), QSize(1920, 1080), QSize(3840, 2160)};

TStageCard Winner(const char* name, const char* id = "E000123",
                  const char* rest = "人力资源部 华东区上海分公司 13812345678") {
  return TStageCard{QString::fromUtf8(id), QString::fromUtf8(name), QString::fromUtf8(rest), {}};
}

// The names of the batch's size on a band of `screen`: `n` cards of a four-character name.
int OrdinaryName(QSize screen, int n) {
  TRevealCards cards(nullptr);
  cards.resize(Band(screen));
  cards.SetCards(std::vector<TStageCard>(static_cast<size_t>(n), Winner("欧阳娜娜")));
  return cards.NamePixels();
}

// Every card as drawn: the name the largest text, the id below it and smaller, the other
// fields smaller still; no line wider than its card's room, all lines within its height.
void ExpectReadable(const TRevealCards& cards) {
  for (int i = 0; i < static_cast<int>(cards.Cards().size()); ++i) {
    SCOPED_TRACE(i);
    const TRevealCards::Look& look = cards.LookOf(i);
    const TStageCard& c = cards.Cards()[static_cast<size_t>(i)];
    ASSERT_GT(look.name, 0);
    EXPECT_GT(look.name, look.id);
    EXPECT_GT(look.name, look.rest);
    if (look.id > 0 && look.rest > 0) EXPECT_LT(look.rest, look.id);
    EXPECT_EQ(look.nameLines.join(QString()).remove(QLatin1Char(' ')),
              QString(c.name).remove(QLatin1Char(' ')));
    QFont name = UiFont(StageFamily(), look.name, true);
    const QFontMetricsF fm(name);
    double high = fm.height() * look.nameLines.size();
    for (const QString& l : look.nameLines)
      EXPECT_LE(fm.horizontalAdvance(l), look.text.width()) << l.toStdString();
    if (look.id > 0) {
      const QFontMetricsF id(UiFont(StageFamily(), look.id, true));
      EXPECT_LE(id.horizontalAdvance(c.id), look.text.width());
      high += id.height();
    }
    if (look.rest > 0) {
      const QFontMetricsF rest(UiFont(StageFamily(), look.rest, false));
      const int lines = c.rest.size() > 12 ? 2 : 1;
      high += rest.height() * lines;
    }
    EXPECT_LE(high, look.text.height());
    EXPECT_TRUE(cards.rect().contains(cards.CardRects()[static_cast<size_t>(i)]));
  }
}

}  // namespace

TEST(RevealCards, ALongNameBreaksIntoTwoLinesAndShrinksNoOtherName) {
  for (const QSize screen : kScreens) {
    for (const char* longName : {"Maximilian Alexander von Hohenberg",
                                 "爱新觉罗弘历乾隆皇帝之第十七代玄孙女王氏欧阳娜娜丽莎",
                                 "马克西米利安·亚历山大·冯·霍恩贝格"}) {
      SCOPED_TRACE(QStringLiteral("%1x%2 %3")
                       .arg(screen.width())
                       .arg(screen.height())
                       .arg(QString::fromUtf8(longName))
                       .toStdString());
      TRevealCards cards(nullptr);
      cards.resize(Band(screen));
      std::vector<TStageCard> batch(5, Winner("欧阳娜娜"));
      batch[2] = Winner(longName);
      cards.SetCards(batch);
      ExpectReadable(cards);
      // The four others keep the size of a batch of five without the long name.
      const int ordinary = OrdinaryName(screen, 5);
      EXPECT_EQ(cards.NamePixels(), ordinary);
      for (int i : {0, 1, 3, 4}) EXPECT_EQ(cards.LookOf(i).name, ordinary);
      // The long name on two to four lines, whichever gives it the larger type, not above
      // the others.
      const TRevealCards::Look& look = cards.LookOf(2);
      EXPECT_GE(look.nameLines.size(), 2);
      EXPECT_LE(look.nameLines.size(), 4);
      EXPECT_LE(look.name, ordinary);
      // On two lines it stood at about a third of the others; more lines give it half.
      EXPECT_GE(look.name * 2, ordinary);
      // A transliterated name breaks after its dots.
      if (QString::fromUtf8(longName).contains(QChar(0x00B7)))
        for (qsizetype l = 0; l + 1 < look.nameLines.size(); ++l)
          EXPECT_TRUE(look.nameLines[l].endsWith(QChar(0x00B7))) << l;
      // Its id and fields stay below its own name.
      EXPECT_LT(cards.LookOf(2).id, cards.LookOf(2).name);
    }
  }
}

TEST(RevealCards, AMiddlingNameTakesTwoLinesAtTheBatchSizeBeforeItShrinks) {
  // Six cards at 1024 × 768: four characters fill a card's line, a name of six breaks into
  // three and three at the same size.
  TRevealCards cards(nullptr);
  cards.resize(Band(QSize(1024, 768)));
  std::vector<TStageCard> batch(6, Winner("欧阳娜娜"));
  batch[4] = Winner("司马相如欧阳");
  cards.SetCards(batch);
  ExpectReadable(cards);
  EXPECT_EQ(cards.LookOf(4).nameLines,
            QStringList({QStringLiteral("司马相"), QStringLiteral("如欧阳")}));
  EXPECT_EQ(cards.LookOf(4).name, cards.LookOf(0).name);
  EXPECT_EQ(cards.NamePixels(), OrdinaryName(QSize(1024, 768), 6));
  // A short name never breaks, however narrow its card.
  EXPECT_EQ(cards.LookOf(0).nameLines, QStringList({QStringLiteral("欧阳娜娜")}));
}

TEST(RevealCards, OtherFieldsStandSmallerThanTheIdOnCardsOfFive) {
  for (const QSize screen : kScreens) {
    SCOPED_TRACE(screen.width());
    for (bool grand : {false, true}) {
      TRevealCards cards(nullptr);
      cards.SetGrand(grand);
      cards.resize(grand ? GrandMiddle(screen) : Band(screen));
      cards.SetCards(std::vector<TStageCard>(5, Winner("欧阳娜娜", "E000123", "人力资源部")));
      ExpectReadable(cards);
      // The department at most four fifths of the id, the id at most 0.62 of the name.
      for (int i = 0; i < 5; ++i) {
        EXPECT_LE(cards.LookOf(i).rest, cards.LookOf(i).id * 4 / 5);
        EXPECT_LE(cards.LookOf(i).id, cards.LookOf(i).name * 62 / 100);
      }
    }
  }
}

TEST(RevealCards, TheGrandPrizesSeveralWinnersHaveNamesAtLeastAsLargeAsTheBands) {
  for (const QSize screen : kScreens) {
    SCOPED_TRACE(screen.width());
    for (int n : {2, 3, 5, 6}) {
      SCOPED_TRACE(n);
      TRevealCards cards(nullptr);
      cards.SetGrand(true);
      cards.resize(GrandMiddle(screen));
      cards.SetCards(std::vector<TStageCard>(static_cast<size_t>(n), Winner("欧阳娜娜")));
      ExpectReadable(cards);
      EXPECT_GE(cards.NamePixels(), OrdinaryName(screen, 3));
      // No card stands over another.
      const std::vector<QRect> rects = cards.CardRects();
      for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(rects[i].intersects(rects[j]));
    }
    // Five in one row would be tall and narrow: they stand in rows.
    TRevealCards five(nullptr);
    five.SetGrand(true);
    five.resize(GrandMiddle(screen));
    five.SetCards(std::vector<TStageCard>(5, Winner("欧阳娜娜")));
    EXPECT_NE(five.CardRects().front().top(), five.CardRects().back().top());
  }
}

TEST(RevealCards, TheBatchsNamesAtLeastAnOrdinaryBatchsAtEveryScreen) {
  // The layout's worst cases: long names among five, five cards, the grand prize's five.
  for (const QSize screen : kScreens) {
    SCOPED_TRACE(screen.width());
    const int ordinary = OrdinaryName(screen, 3);
    // At 1024 × 768 an ordinary batch's name is 48 px and more.
    if (screen.width() == 1024) EXPECT_GE(ordinary, 48);
    TRevealCards grand(nullptr);
    grand.SetGrand(true);
    grand.resize(GrandMiddle(screen));
    std::vector<TStageCard> five(5, Winner("欧阳娜娜"));
    five[1] = Winner("Maximilian Alexander von Hohenberg");
    grand.SetCards(five);
    ExpectReadable(grand);
    for (int i : {0, 2, 3, 4}) EXPECT_GE(grand.LookOf(i).name, ordinary);
    TRevealCards band(nullptr);
    band.resize(Band(screen));
    band.SetCards(std::vector<TStageCard>(5, Winner("王芳")));
    ExpectReadable(band);
    EXPECT_GE(band.NamePixels(), ordinary);
  }
}
