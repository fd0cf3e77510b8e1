#include "ui/Art.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
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

QPixmap PrerenderedArt(const QString& name, const QSize& size) {
  InitResourcesOnce();
  if (size.isEmpty() || (qGuiApp && qGuiApp->devicePixelRatio() != 1.0)) return {};
  const QString path = QStringLiteral(":/art/prerendered/%1_%2x%3.png")
                           .arg(name)
                           .arg(size.width())
                           .arg(size.height());
  if (!QFile::exists(path)) return {};
  // Read by Qt's own PNG reader alone: guessing the format would load every image plugin.
  QImageReader reader(path, "png");
  reader.setAutoDetectImageFormat(false);
  QImage picture = reader.read();
  if (picture.size() != size) return {};
  return QPixmap::fromImage(std::move(picture));
}
