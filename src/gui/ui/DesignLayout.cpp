#include "gui/ui/DesignLayout.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

void TDesignLayout::Place(QWidget* w, const QRect& design, int anchors) {
  m_placed.push_back({w, design, anchors});
  w->setGeometry(design);
}

void TDesignLayout::Apply(QSize now) const {
  const int dw = now.width() - m_design.width();
  const int dh = now.height() - m_design.height();
  for (const Placed& p : m_placed) {
    QRect r = p.design;
    if (p.anchors & Right) r.translate(dw, 0);
    if (p.anchors & Bottom) r.translate(0, dh);
    if (p.anchors & Wide) r.setWidth(qMax(1, r.width() + dw));
    if (p.anchors & Tall) r.setHeight(qMax(1, r.height() + dh));
    p.w->setGeometry(r);
  }
}

QLabel* DesignLabel(QWidget* parent, const QString& text, int x, int y, int w) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, w, 21);
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return l;
}

QLineEdit* DesignEdit(QWidget* parent, const char* name, int x, int y, int w) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(x, y, w, 21);
  return e;
}

QPushButton* DesignButton(QWidget* parent, const char* name, const QString& text, int x, int y,
                          int w) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(x, y, w, 25);
  b->setCursor(Qt::PointingHandCursor);
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}

QComboBox* DesignCombo(QWidget* parent, const char* name, const QStringList& items, int x, int y,
                       int w) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->addItems(items);
  c->setGeometry(x, y, w, 22);
  return c;
}

void MakeBlue(QLabel* label) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, QColor(0, 0, 255));
  label->setPalette(p);
}

void KeepSelectionVisible(QWidget* list) {
  QPalette p = list->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight,
             p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             p.color(QPalette::Active, QPalette::HighlightedText));
  list->setPalette(p);
}
