// The covered-text check that hand-laid windows are held to finds what it is for.
#include "Crowded.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

TEST(Crowded, FindsALabelOverAFieldAndAFieldTooNarrowForItsText) {
  QWidget window;
  window.resize(400, 200);
  auto* label = new QLabel(QStringLiteral("抽奖动画："), &window);
  label->setGeometry(10, 10, 200, 24);
  auto* over = new QLineEdit(&window);
  over->setObjectName(QStringLiteral("EdtOver"));
  over->setGeometry(40, 10, 150, 24);  // starts inside the label's text
  auto* narrow = new QLineEdit(QStringLiteral("18800000"), &window);
  narrow->setObjectName(QStringLiteral("EdtPort"));
  narrow->setGeometry(10, 60, 24, 24);
  window.show();
  EXPECT_EQ(Crowded(&window), QStringList({QStringLiteral("label '抽奖动画：' runs into EdtOver"),
                                           QStringLiteral("EdtPort cuts '18800000'")}));

  // Laid apart and wide enough, the same window passes.
  over->move(220, 10);
  narrow->resize(200, 24);
  EXPECT_EQ(Crowded(&window), QStringList());
}
