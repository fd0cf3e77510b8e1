// What an operator could not read in a window laid out by hand: a label whose text runs into
// another field or button, and an entry field (or spin box) too narrow for its own text.
// Only what is visible in `window` as it stands is looked at.
#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>

// One line per fault: "label 'text' runs into <name>" or "<name> cuts 'text'".
inline QStringList Crowded(QWidget* window) {
  QStringList out;
  auto visible = [window](QWidget* w) { return w->isVisibleTo(window) && w->width() > 0; };
  auto field = [](QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
           (qobject_cast<QLineEdit*>(w) && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()) &&
            !qobject_cast<QComboBox*>(w->parentWidget()));
  };
  auto inWindow = [window](QWidget* w, QRect r) {
    return QRect(w->mapTo(window, r.topLeft()), r.size());
  };
  const auto widgets = window->findChildren<QWidget*>();
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!visible(label) || label->text().isEmpty() || label->wordWrap() ||
        label->textFormat() == Qt::RichText || label->text().contains(QLatin1Char('<')))
      continue;
    const QRect area = label->contentsRect();
    const QRect text = QStyle::alignedRect(
        label->layoutDirection(), label->alignment(),
        label->fontMetrics().boundingRect(label->text()).size().boundedTo(area.size() * 4), area);
    const QRect drawn = inWindow(label, text);
    for (QWidget* w : widgets) {
      if (w == label || !visible(w) || !field(w) || label->isAncestorOf(w) ||
          w->isAncestorOf(label))
        continue;
      if (drawn.intersects(inWindow(w, w->rect())))
        out << QStringLiteral("label '%1' runs into %2").arg(label->text(), w->objectName());
    }
  }
  for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
    if (!visible(edit) || edit->text().isEmpty()) continue;
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.rect = edit->rect();
    opt.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    const QMargins m = edit->textMargins();
    // QLineEdit keeps 2 pixels clear on either side of its text.
    const int room =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit).width() - m.left() -
        m.right() - 4;
    if (edit->fontMetrics().horizontalAdvance(edit->text()) > room) {
      QWidget* named =
          qobject_cast<QAbstractSpinBox*>(edit->parentWidget()) ? edit->parentWidget() : edit;
      out << QStringLiteral("%1 cuts '%2'").arg(named->objectName(), edit->text());
    }
  }
  return out;
}
