#include "ui/Art.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

static void InitResourcesOnce() {
  // The resources live in a static library, whose initialiser the linker would drop.
  static const bool done = [] {
    Q_INIT_RESOURCE(resources);
    return true;
  }();
  (void)done;
}

void EnsureResources() { InitResourcesOnce(); }

QPixmap ArtPixmap(const QString& name, const QSize& size) {
  InitResourcesOnce();
  QSvgRenderer renderer(QStringLiteral(":/art/%1.svg").arg(name));
  if (!renderer.isValid() || size.isEmpty()) return {};
  const qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  QPixmap pm(size * dpr);
  pm.setDevicePixelRatio(dpr);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
  return pm;
}

QIcon ArtIcon(const QString& name, const QSize& size) { return QIcon(ArtPixmap(name, size)); }
