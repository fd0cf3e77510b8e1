// The cards of a batch at the smallest and the largest stage: the name is the largest text on
// every card, whatever the list's columns, and the id is at most as large.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "core/draw/StageColumns.h"
#include "core/text/Gbk.h"
#include "gui/stage/RevealCards.h"
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
