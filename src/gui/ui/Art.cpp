#include "gui/ui/Art.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QResource>
#include <QSysInfo>
#include <QtEndian>
#include <cstring>

static void InitResourcesOnce() {
  // The resources live in a static library, whose initialiser the linker would drop.
  static const bool done = [] {
    Q_INIT_RESOURCE(resources);
#ifdef TOMBOLIX_ART_RASTER
    Q_INIT_RESOURCE(art_raster);
#endif
    return true;
  }();
  (void)done;
}

void EnsureResources() { InitResourcesOnce(); }

QPixmap ArtPixmap(const QString& name, const QSize& size) {
  QPixmap shipped = PrerenderedArt(name, size);
  return shipped.isNull() ? RenderArt(name, size) : shipped;
}

QPixmap RenderArt(const QString& name, const QSize& size) {
  InitResourcesOnce();
  if (size.isEmpty()) return {};
  const qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  // Drawn by Qt's SVG image plugin, which brings Qt SVG along the first time a picture is
  // drawn: the program starts without it.
#ifdef TOMBOLIX_ART_RASTER
  // A build without Qt SVG: the drawing rasterised large at build time, scaled down smoothly.
  QImageReader reader(QStringLiteral(":/art/raster/%1.png").arg(name), "png");
#else
  QImageReader reader(QStringLiteral(":/art/%1.svg").arg(name), "svg");
#endif
  reader.setAutoDetectImageFormat(false);
  reader.setScaledSize(size * dpr);
  QImage picture = reader.read();
  if (picture.isNull()) return {};
  QPixmap pm = QPixmap::fromImage(std::move(picture));
  pm.setDevicePixelRatio(dpr);
  return pm;
}

QIcon ArtIcon(const QString& name, const QSize& size) { return QIcon(ArtPixmap(name, size)); }

QPixmap PrerenderedArt(const QString& name, const QSize& size) {
  InitResourcesOnce();
  if constexpr (QSysInfo::ByteOrder != QSysInfo::LittleEndian) return {};
  if (size.isEmpty() || (qGuiApp && qGuiApp->devicePixelRatio() != 1.0)) return {};
  const QResource file(QStringLiteral(":/art/prerendered/%1_%2x%3.argb32")
                           .arg(name)
                           .arg(size.width())
                           .arg(size.height()));
  const qint64 rowBytes = qint64(size.width()) * 4;
  if (!file.isValid() || file.compressionAlgorithm() != QResource::NoCompression ||
      file.size() != rowBytes * size.height())
    return {};
  QImage picture(size, QImage::Format_ARGB32_Premultiplied);
  if (picture.isNull()) return {};
  for (int y = 0; y < size.height(); ++y)
    std::memcpy(picture.scanLine(y), file.data() + y * rowBytes, size_t(rowBytes));
  // Already in the format the screen's pixmaps use: nothing is scanned or converted.
  return QPixmap::fromImage(std::move(picture), Qt::NoOpaqueDetection);
}

QByteArray PrerenderedArtBytes(const QImage& picture) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QByteArray bytes;
  bytes.reserve(qsizetype(argb.width()) * argb.height() * 4);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      const quint32 le = qToLittleEndian(row[x]);
      bytes.append(reinterpret_cast<const char*>(&le), 4);
    }
  }
  return bytes;
}
