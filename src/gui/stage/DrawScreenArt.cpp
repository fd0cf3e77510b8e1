#include "gui/stage/DrawScreenArt.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "gui/stage/TextShadow.h"
#include "gui/ui/Art.h"
#include "gui/ui/DesignScale.h"

void AddTextShadow(QWidget* w) {
  auto* shadow = new TTextShadow(w);
  shadow->setBlurRadius(8);
  shadow->setOffset(2, 2);
  shadow->setColor(QColor(0, 0, 0, 190));
  w->setGraphicsEffect(shadow);
}

QRect PaintedArea(const QWidget* w) {
  const QGraphicsEffect* effect = w->graphicsEffect();
  if (!effect || !effect->isEnabled()) return w->geometry();
  return effect->boundingRectFor(QRectF(w->rect())).toAlignedRect().translated(w->pos());
}

QPixmap DrawScreenBackground(QSize screen, QRect stage, const QImage& taskPicture,
                             const QString& art, QRect band) {
  if (screen.isEmpty()) return {};
  QPixmap pm(screen);
  QPainter p(&pm);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!taskPicture.isNull()) {
    // Cover the whole screen, keeping the picture's proportions.
    const QSize scaled = taskPicture.size().scaled(screen, Qt::KeepAspectRatioByExpanding);
    const QRect target(
        QPoint((screen.width() - scaled.width()) / 2, (screen.height() - scaled.height()) / 2),
        scaled);
    p.drawImage(target, taskPicture);
    if (!band.isEmpty()) {
      const double s = stage.width() / 1016.0;
      const int top = stage.y() + qRound(band.y() * s);
      const int height = qRound(band.height() * s);
      const int gold = std::max(2, qRound(5 * s));
      p.fillRect(QRect(0, top, screen.width(), height), QColor(255, 246, 222, 215));
      p.fillRect(QRect(0, top - gold, screen.width(), gold), QColor(232, 178, 64, 235));
      p.fillRect(QRect(0, top + height, screen.width(), gold), QColor(232, 178, 64, 235));
    }
    return pm;
  }
  // The picture's bands run the full width; only its height follows the grid.
  const QPixmap bands = ArtPixmap(art, QSize(screen.width(), stage.height()));
  // Margins above and below the grid continue its top and bottom colours.
  const QImage edge = bands.toImage();
  if (!edge.isNull()) {
    p.fillRect(QRect(0, 0, screen.width(), stage.y() + 1), edge.pixelColor(edge.width() / 2, 0));
    p.fillRect(QRect(0, stage.bottom(), screen.width(), screen.height() - stage.bottom()),
               edge.pixelColor(edge.width() / 2, edge.height() - 1));
  }
  p.drawPixmap(0, stage.y(), bands);
  // Lanterns keep their shape: placed on the grid, not stretched.
  const double s = stage.width() / 1016.0;
  const QSize lantern(qRound(70 * s), qRound(120 * s));
  const QPixmap l = ArtPixmap(QStringLiteral("lantern"), lantern);
  p.drawPixmap(stage.x() + qRound(846 * s), stage.y(), l);
  p.drawPixmap(stage.x() + qRound(926 * s), stage.y() + qRound(-12 * s), l);
  return pm;
}

QScreen* DrawScreenFor(const QWidget* owner) {
  QScreen* own = owner ? owner->screen() : QGuiApplication::primaryScreen();
  for (QScreen* s : QGuiApplication::screens()) {
    if (s != own) return s;
  }
  return own;
}

void ShowOnWholeScreen(QWidget* w) {
  QScreen* screen = DrawScreenFor(w->parentWidget());
  if (screen) {
    w->setScreen(screen);
    w->setGeometry(screen->geometry());
  }
  // Without a window manager the full-screen state alone would not size the window.
  w->setWindowState(w->windowState() | Qt::WindowFullScreen);
}

void SetTitleText(TDesignScale& design, QLabel* label, const QString& title, QChar breakAfter) {
  label->setText(title);
  design.Fit(label);
  const int full = design.Px(design.FontPixels(label));
  if (title.size() < 8 || design.FontPixelsShown(label) >= full * 6 / 10) return;
  const qsizetype mark = breakAfter.isNull() ? -1 : title.indexOf(breakAfter);
  const qsizetype half = mark > 0 ? mark + 1 : (title.size() + 1) / 2;
  label->setText(title.left(half) + QLatin1Char('\n') + title.mid(half));
  design.Fit(label);
}
