// 名单球 on the real draw screen: the sphere stands in the roll labels' place with exactly
// those who may still win, its winners leave it, and a seeded draw gives the same winners
// whichever way it rolls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRollStyle.h"
#include "core/draw/DrawSession.h"
#include "core/text/Gbk.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/SphereRoll.h"

using text::G;

namespace {

class SphereScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("工号 姓名");
    // Two batches of two for 一等奖, then one for 二等奖.
    def.items = {{G("一等奖"), 4, 2, ""}, {G("二等奖"), 1, 1, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(201 + i) + G(" 员工") + std::to_string(i));
    BuildTask(m_dm, def);
  }

  // Draws the task to its end with five roll ticks a batch; the winners' ids in draw order.
  // `during` is called while each batch rolls.
  std::vector<std::string> DrawAll(TRollStyle style,
                                   const std::function<void(TGetLuckMainForm&)>& during = {}) {
    std::string error;
    EXPECT_TRUE(config::SaveRollStyle(1001, style, error)) << error;
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 77u);
    EXPECT_EQ(screen.SetUpDraw(1001), 1);
    screen.resize(1280, 720);
    screen.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&screen));
    for (int guard = 0; guard < 10 && screen.Engine().state() != TDataDraw::State::Finished;
         ++guard) {
      screen.SBeginClick();
      EXPECT_TRUE(
          QTest::qWaitFor([&] { return screen.Engine().state() == TDataDraw::State::Rolling; }));
      screen.TMRoll->stop();  // the ticks are counted here, not by the clock
      for (int t = 0; t < 5; ++t) screen.RollTick();
      if (during) during(screen);
      screen.EKeyCtrlKeyPress();
      screen.ShowReveal();
    }
    std::vector<std::string> ids;
    for (const TLuckId& w : screen.Engine().Session().Winners)
      ids.emplace_back(w.CandidateLine.substr(0, 3));
    return ids;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

// A widget's place among its siblings, bottom first.
int StackPlace(const QWidget* w) {
  return static_cast<int>(w->parentWidget()->children().indexOf(const_cast<QWidget*>(w)));
}

}  // namespace

TEST_F(SphereScreen, RollsWhoMayStillWinInTheLabelsPlaceAndDrawsTheSameWinners) {
  const std::vector<std::string> numbers = DrawAll(TRollStyle::Numbers);
  std::vector<size_t> counts;
  std::vector<std::vector<int32_t>> onCards;
  const std::vector<std::string> sphere = DrawAll(TRollStyle::Sphere, [&](TGetLuckMainForm& s) {
    TSphereRoll* roll = s.findChild<TSphereRoll*>();
    ASSERT_NE(roll, nullptr);
    EXPECT_TRUE(roll->isVisible());
    EXPECT_EQ(roll->motion(), TSphereRoll::Motion::Fast);
    for (QLabel* l : s.RollLabels) EXPECT_FALSE(l->isVisible());
    counts.push_back(roll->Population().Count());
    onCards.push_back(roll->CardMembers());
  });
  EXPECT_EQ(sphere, numbers);
  ASSERT_EQ(sphere.size(), 5u);
  // 10, then 8 after the first batch; 二等奖 rolls the 6 who have not won.
  EXPECT_EQ(counts, (std::vector<size_t>{10, 8, 6}));
  // Ten people fit on the sphere: every one who may win has a card, no winner ever again.
  ASSERT_EQ(onCards.size(), 3u);
  EXPECT_EQ(onCards[0].size(), 10u);
  for (const std::string& id : {sphere[0], sphere[1]})
    EXPECT_EQ(std::count(onCards[1].begin(), onCards[1].end(), std::stoi(id) - 201), 0) << id;
  EXPECT_EQ(onCards[2].size(), 6u);
}

TEST_F(SphereScreen, TheStopKeyJournalsFirstAndTheWinnersFlyOutOfTheSphere) {
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error));
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  TSphereRoll* roll = screen.findChild<TSphereRoll*>();
  ASSERT_NE(roll, nullptr);
  // On the Ready band it turns slowly behind the next item's lines, faint.
  EXPECT_TRUE(roll->isVisible());
  EXPECT_TRUE(roll->Veiled());
  EXPECT_EQ(roll->motion(), TSphereRoll::Motion::Idle);
  EXPECT_LT(StackPlace(roll), StackPlace(screen.LbNextItem));
  // Ten people: one ring of cards as large as the band lets them.
  EXPECT_EQ(roll->CardSize().height(), static_cast<int>(roll->height() * 0.80));
  screen.SBeginClick();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return screen.Engine().state() == TDataDraw::State::Rolling; }));
  screen.EKeyCtrlKeyPress();
  // On disk before anything flies.
  EXPECT_NE(ReadAll(m_root.dir() / "LUCK_FILE/JOURNAL_1001.txt").find("BATCH\t"),
            std::string::npos);
  EXPECT_TRUE(roll->Flying());
  EXPECT_EQ(roll->Population().Count(), 8u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 3000));
  // Between batches it stands still and faint behind the batch's cards, with those who may
  // still win.
  EXPECT_EQ(roll->motion(), TSphereRoll::Motion::Still);
  EXPECT_TRUE(roll->isVisible());
  EXPECT_TRUE(roll->Veiled());
  EXPECT_LT(StackPlace(roll), StackPlace(screen.PLuckNow));
  EXPECT_EQ(roll->Population().Count(), 8u);
}

// With many who may win the sphere holds three rings of smaller cards, and a sample of them.
TEST_F(SphereScreen, FewerPeopleGetLargerCards) {
  TaskDef def;
  def.taskId = 1002;
  def.title = G("工号 姓名");
  def.items = {{G("一等奖"), 1, 1, ""}};
  for (int i = 0; i < 600; ++i)
    def.candidates.push_back(std::to_string(1000 + i) + G(" 员工") + std::to_string(i));
  BuildTask(m_dm, def);
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1002, TRollStyle::Sphere, error));
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(1002), 1);
  screen.resize(1920, 1080);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  TSphereRoll* roll = screen.findChild<TSphereRoll*>();
  ASSERT_NE(roll, nullptr);
  EXPECT_EQ(roll->CardSize().height(), static_cast<int>(roll->height() * 0.34));
  const size_t cards = roll->CardMembers().size();
  EXPECT_GT(cards, 60u);
  EXPECT_LT(cards, 600u);
}

// Two thousand who may win: three rings of small cards at every screen size. A card with a
// photo gives its name the type a card without one has, or nearly, and the count reads.
TEST_F(SphereScreen, NamesOnPhotoCardsAreAsLargeAsOnCardsWithoutPhotos) {
  TaskDef def;
  def.taskId = 1003;
  def.title = G("工号 姓名");
  def.items = {{G("一等奖"), 1, 1, ""}};
  for (int i = 0; i < 2000; ++i)
    def.candidates.push_back(std::to_string(10000 + i) + G(" 员工") + std::to_string(i));
  BuildTask(m_dm, def);
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1003, TRollStyle::Sphere, error));
  // A portrait as the import stores them.
  QImage portrait(120, 150, QImage::Format_RGB32);
  portrait.fill(QColor(30, 140, 220));
  const QString photo = QString::fromStdString((m_root.dir() / "portrait.jpg").string());
  ASSERT_TRUE(portrait.save(photo, "JPG"));
  struct Screen {
    QSize size;
    int cardHeight;  // three rings of a third of the band
    int countPx;
  };
  for (const Screen& s :
       {Screen{{1024, 768}, 68, 26}, Screen{{1920, 1080}, 98, 37}, Screen{{3840, 2160}, 196, 75}}) {
    SCOPED_TRACE(s.size.width());
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 5u);
    ASSERT_EQ(screen.SetUpDraw(1003), 1);
    screen.resize(s.size);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    TSphereRoll* roll = screen.findChild<TSphereRoll*>();
    ASSERT_NE(roll, nullptr);
    const QSize card = roll->CardSize();
    EXPECT_NEAR(card.height(), s.cardHeight, 1);
    EXPECT_EQ(roll->CountPixels(), s.countPx);
    for (const QString& name : {QStringLiteral("王芳"), QStringLiteral("欧阳明")}) {
      SCOPED_TRACE(name.toStdString());
      const TCardPainter::Layout plain = TCardPainter::Lay(name, card, false);
      const TCardPainter::Layout withPhoto = TCardPainter::Lay(name, card, true);
      EXPECT_GE(withPhoto.namePx * 100, plain.namePx * 85);
      // A fifth of the card's height at least, and the photo keeps more than half of it.
      EXPECT_GE(withPhoto.namePx * 5, card.height());
      EXPECT_GE(withPhoto.photo.height() * 100, card.height() * 58);
      EXPECT_EQ(withPhoto.photo.width(), card.width());
      EXPECT_LE(withPhoto.name.bottom(), card.height());
    }
    // The card as it is painted: the photo above, the name's band from the photo's bottom.
    const TCardPainter::Card c = TCardPainter::Paint(0, QStringLiteral("欧阳明"), photo, card);
    const TCardPainter::Layout l = TCardPainter::Lay(QStringLiteral("欧阳明"), card, true);
    const int edge = std::max(1, card.height() / 40);
    EXPECT_GT(c.front.pixelColor(card.width() / 2, l.photo.height() / 2).blue(), 150);
    EXPECT_EQ(c.front.pixelColor(edge + edge / 2, l.photo.height() + 1), QColor(120, 8, 8));
    EXPECT_GT(c.front.pixelColor(edge + edge / 2, l.photo.height() - 2).blue(), 150);
  }
}

// The back half's cards are darkened without a painter (whose fill of many rows starts
// threads): pixel for pixel what the painter's fill gives.
TEST_F(SphereScreen, CardsBehindAreDarkenedAsThePainterWould) {
  QImage card(97, 160, QImage::Format_RGB32);
  for (int y = 0; y < card.height(); ++y)
    for (int x = 0; x < card.width(); ++x)
      card.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3) % 256, (x * y) % 256));
  QImage painted = card.copy(), darkened = card.copy();
  QPainter p(&painted);
  p.fillRect(QRect(0, 0, 90, 150), QColor(40, 0, 0, 130));
  p.end();
  DarkenForBack(darkened, QRect(0, 0, 90, 150));
  EXPECT_EQ(darkened, painted);
  // Pure white and black as the rule gives them: 255 * 125 / 255 + 20 (40 * 130 / 255).
  QImage corners(2, 1, QImage::Format_RGB32);
  corners.setPixel(0, 0, qRgb(255, 255, 255));
  corners.setPixel(1, 0, qRgb(0, 0, 0));
  DarkenForBack(corners, corners.rect());
  EXPECT_EQ(corners.pixel(0, 0), qRgb(145, 125, 125));
  EXPECT_EQ(corners.pixel(1, 0), qRgb(20, 0, 0));
}

// Rolling with nothing of the screen below it, the sphere paints the band's picture itself
// where no card stands, so the screen does not paint the band under it first; veiled on
// the Ready band it lets the screen's picture show through as before.
TEST_F(SphereScreen, RollingItPaintsTheBandItselfAndTheHallSeesTheSame) {
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error));
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1280, 720);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  TSphereRoll* roll = screen.findChild<TSphereRoll*>();
  ASSERT_NE(roll, nullptr);
  EXPECT_FALSE(roll->testAttribute(Qt::WA_OpaquePaintEvent));
  screen.SBeginClick();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return screen.Engine().state() == TDataDraw::State::Rolling; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return roll->testAttribute(Qt::WA_OpaquePaintEvent); }));
  roll->WaitForPhotos(5000);
  // Ten cards in one ring of 80 % of the band: its top corners are the band's picture.
  const QImage shown = screen.grab().toImage();
  const QImage band = screen.Background().toImage();
  for (const QPoint at :
       {roll->geometry().topLeft() + QPoint(3, 3), roll->geometry().topRight() + QPoint(-3, 3)})
    EXPECT_EQ(shown.pixel(at), band.pixel(at)) << at.x() << "," << at.y();
  screen.EKeyCtrlKeyPress();
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 3000));
  EXPECT_TRUE(roll->Veiled());
  EXPECT_FALSE(roll->testAttribute(Qt::WA_OpaquePaintEvent));
}
